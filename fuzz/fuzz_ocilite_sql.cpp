// ocilite_sql: an Oracle query as the reader sends it to ocilite.
//
// Input: the query's text.
//
// The query is rewritten into SQLite's dialect by rewrite_sql, then prepared
// and run the way the engine runs it, on a fresh in-memory copy of a small
// sample database (made once by the loader) whose data dictionary is built
// for the user SCOTT.  A run is cut after a fixed amount of work, as a query
// of any length may be asked.  What must hold:
//   - a refused query carries an ORA number and text, printed as
//     "ORA-nnnnn: text\n";
//   - an SQLite error of a rewritten query maps to an ORA error as well;
//   - nothing raises, and the same text always gives the same rewrite.
#include <sqlite3.h>

#include <cstring>
#include <memory>
#include <set>
#include <sstream>
#include <string>

#include "fuzz_support.h"
#include "fuzz_targets.h"
#include "ol_dict.h"
#include "ol_loader.h"
#include "ol_sql.h"

namespace kestrel_fuzz {

namespace {

// The sample schema: the classic two tables with keys, an index and a view,
// and one table with the other Oracle types the reader meets.
const char kSampleScript[] = R"sql(
CREATE TABLE DEPT (DEPTNO NUMBER(2) CONSTRAINT PK_DEPT PRIMARY KEY, DNAME VARCHAR2(14),
  LOC VARCHAR2(13));
CREATE TABLE EMP (EMPNO NUMBER(4) CONSTRAINT PK_EMP PRIMARY KEY, ENAME VARCHAR2(10),
  JOB VARCHAR2(9), MGR NUMBER(4), HIREDATE DATE, SAL NUMBER(7,2), COMM NUMBER(7,2),
  DEPTNO NUMBER(2) CONSTRAINT FK_DEPTNO REFERENCES DEPT);
CREATE INDEX EMP_NAME_IX ON EMP (ENAME);
INSERT INTO DEPT VALUES (10, 'ACCOUNTING', 'NEW YORK');
INSERT INTO DEPT VALUES (20, 'RESEARCH', 'DALLAS');
INSERT INTO EMP VALUES (7369, 'SMITH', 'CLERK', 7902, TO_DATE('17-12-1980','dd-mm-yyyy'), 800,
  NULL, 20);
INSERT INTO EMP VALUES (7499, 'ALLEN', 'SALESMAN', 7698, TO_DATE('20-2-1981','dd-mm-yyyy'), 1600,
  300, 10);
CREATE VIEW EMP_DEPT AS SELECT E.ENAME, D.DNAME FROM EMP E, DEPT D WHERE E.DEPTNO = D.DEPTNO;
CREATE TABLE ALLTYPES (ID NUMBER NOT NULL, NV NVARCHAR2(20), CH CHAR(5), NC NCHAR(3),
  FL FLOAT, TS TIMESTAMP(6), CL CLOB, BL BLOB, RW RAW(16), BD BINARY_DOUBLE, BF BINARY_FLOAT,
  LG LONG);
INSERT INTO ALLTYPES (ID, NV, CH, FL, TS, CL, RW, BD) VALUES (1, 'Grüße', 'ab', .5,
  TO_TIMESTAMP('2024-03-05 13:14:15.123456', 'YYYY-MM-DD HH24:MI:SS.FF'), 'text', '0A0B', 2.25);
CREATE SEQUENCE EMP_SEQ START WITH 8000;
COMMIT;
)sql";

// Steps of SQLite's machine after which a query is cut.
constexpr int kProgressSteps = 1000;
constexpr int kProgressCalls = 200;
constexpr int kMaxRows = 200;

struct db_closer {
    void operator()(sqlite3* db) const { sqlite3_close(db); }
};
struct stmt_finalizer {
    void operator()(sqlite3_stmt* st) const { sqlite3_finalize(st); }
};
using db_ptr = std::unique_ptr<sqlite3, db_closer>;
using stmt_ptr = std::unique_ptr<sqlite3_stmt, stmt_finalizer>;

// The sample database's bytes, made once.
const std::string& sample_image() {
    static const std::string image = [] {
        const std::string path = sandbox_file("sample.db");
        {
            std::ostringstream diagnostics;
            ocilite::load::loader_options options;
            options.users.push_back({"SCOTT", "tiger", false});
            ocilite::load::loader load(path, options, diagnostics);
            load.run_script(kSampleScript, "sample.sql");
            if (load.error_count() != 0)
                fuzz_fail("the sample schema does not load: " + diagnostics.str(), {});
        }
        sqlite3* raw = nullptr;
        sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr);
        db_ptr db(raw);
        sqlite3_int64 size = 0;
        unsigned char* bytes = sqlite3_serialize(db.get(), "main", &size, 0);
        if (bytes == nullptr) fuzz_fail("the sample database cannot be serialized", {});
        std::string copy(reinterpret_cast<const char*>(bytes), size_t(size));
        sqlite3_free(bytes);
        return copy;
    }();
    return image;
}

// A fresh connection on a private copy of the sample, set up as the engine
// sets up its connections, with the dictionary of SCOTT.
db_ptr fresh_database() {
    const std::string& image = sample_image();
    sqlite3* raw = nullptr;
    sqlite3_open_v2(":memory:", &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    db_ptr db(raw);
    auto* copy = static_cast<unsigned char*>(sqlite3_malloc64(image.size()));
    std::memcpy(copy, image.data(), image.size());
    if (sqlite3_deserialize(
            db.get(), "main", copy, sqlite3_int64(image.size()), sqlite3_int64(image.size()),
            SQLITE_DESERIALIZE_FREEONCLOSE | SQLITE_DESERIALIZE_RESIZEABLE) != SQLITE_OK)
        fuzz_fail("the sample database cannot be copied", {});
    sqlite3_db_config(db.get(), SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
    sqlite3_db_config(db.get(), SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
    std::string error;
    if (!ocilite::build_dictionary(db.get(), "SCOTT", true, error))
        fuzz_fail("the dictionary cannot be built: " + error, {});
    return db;
}

void check_error(const ocilite::ora_error& e, std::string_view what, std::string_view input) {
    fuzz_check(e.code > 0 && !e.message.empty(),
               std::string(what) + " without an ORA number and text", input);
    const std::string text = ocilite::format_error(e);
    fuzz_check(text.rfind("ORA-", 0) == 0 && text.back() == '\n',
               std::string(what) + " prints as no ORA error line", input);
}

}  // namespace

int ocilite_sql(const uint8_t* data, size_t size) {
    const std::string_view input = as_text(data, size);
    const std::set<std::string> schemas = {"SYS", "PUBLIC", "SCOTT"};
    try {
        std::string sql;
        ocilite::ora_error e;
        const bool accepted = ocilite::rewrite_sql(input, sql, e, schemas);
        std::string again;
        ocilite::ora_error e2;
        fuzz_check(ocilite::rewrite_sql(input, again, e2, schemas) == accepted && again == sql &&
                       e2.code == e.code,
                   "the same text gave two rewrites", input);
        if (!accepted) {
            check_error(e, "a refused query", input);
            return 0;
        }

        db_ptr db = fresh_database();
        int calls = 0;
        sqlite3_progress_handler(
            db.get(), kProgressSteps,
            [](void* counter) -> int { return ++*static_cast<int*>(counter) > kProgressCalls; },
            &calls);
        sqlite3_stmt* raw = nullptr;
        const char* tail = nullptr;
        if (sqlite3_prepare_v2(db.get(), sql.c_str(), int(sql.size()), &raw, &tail) != SQLITE_OK) {
            check_error(ocilite::map_sqlite_error(sqlite3_errmsg(db.get())),
                        "an SQLite error of a rewritten query", input);
            return 0;
        }
        stmt_ptr st(raw);
        // The engine runs one read-only query with columns and refuses the rest.
        if (!st || sqlite3_column_count(st.get()) == 0 || !sqlite3_stmt_readonly(st.get()))
            return 0;
        for (int rows = 0; rows < kMaxRows; ++rows) {
            const int rc = sqlite3_step(st.get());
            if (rc == SQLITE_ROW) {
                for (int c = 0; c < sqlite3_column_count(st.get()); ++c)
                    (void)sqlite3_column_text(st.get(), c);
                continue;
            }
            if (rc != SQLITE_DONE && rc != SQLITE_INTERRUPT)
                check_error(ocilite::map_sqlite_error(sqlite3_errmsg(db.get())),
                            "an SQLite error of a running query", input);
            break;
        }
    } catch (const std::exception& e) {
        fuzz_fail(std::string("the query raised ") + e.what(), input);
    }
    return 0;
}

}  // namespace kestrel_fuzz
