#include "fixture_db.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>

#include "ol_catalog.h"

namespace ocilite_test {

namespace {

// Every Oracle type the reader meets, one column each (catalog row fields: name, DATA_TYPE,
// DATA_LENGTH, DATA_PRECISION, DATA_SCALE, NULLABLE, DATA_DEFAULT, SQLite declaration).
constexpr const char* kAllTypesCatalog = R"sql(
INSERT INTO ocilite_tables(table_name, owner) VALUES('ALLTYPES', 'SCOTT');
INSERT INTO ocilite_columns(table_name, column_id, column_name, data_type, data_length,
    data_precision, data_scale, nullable, data_default, char_length, char_used) VALUES
 ('ALLTYPES', 1, 'ID', 'NUMBER', 22, 4, 0, 'N', NULL, 0, NULL),
 ('ALLTYPES', 2, 'VC', 'VARCHAR2', 10, NULL, NULL, 'Y', '''abc''', 10, 'B'),
 ('ALLTYPES', 3, 'CH', 'CHAR', 5, NULL, NULL, 'Y', NULL, 5, 'B'),
 ('ALLTYPES', 4, 'NVC', 'NVARCHAR2', 40, NULL, NULL, 'Y', NULL, 20, 'C'),
 ('ALLTYPES', 5, 'NCH', 'NCHAR', 6, NULL, NULL, 'Y', NULL, 3, 'C'),
 ('ALLTYPES', 6, 'NUM', 'NUMBER', 22, NULL, NULL, 'Y', NULL, 0, NULL),
 ('ALLTYPES', 7, 'NUM72', 'NUMBER', 22, 7, 2, 'Y', '0.50 ', 0, NULL),
 ('ALLTYPES', 8, 'FLT', 'FLOAT', 22, 126, NULL, 'Y', NULL, 0, NULL),
 ('ALLTYPES', 9, 'INTG', 'NUMBER', 22, NULL, 0, 'Y', NULL, 0, NULL),
 ('ALLTYPES', 10, 'DT', 'DATE', 7, NULL, NULL, 'Y', 'SYSDATE', 0, NULL),
 ('ALLTYPES', 11, 'TS', 'TIMESTAMP(6)', 11, NULL, 6, 'Y', NULL, 0, NULL),
 ('ALLTYPES', 12, 'CL', 'CLOB', 4000, NULL, NULL, 'Y', NULL, 0, NULL),
 ('ALLTYPES', 13, 'NCL', 'NCLOB', 4000, NULL, NULL, 'Y', NULL, 0, NULL),
 ('ALLTYPES', 14, 'BL', 'BLOB', 4000, NULL, NULL, 'Y', NULL, 0, NULL),
 ('ALLTYPES', 15, 'RW', 'RAW', 16, NULL, NULL, 'Y', NULL, 0, NULL),
 ('ALLTYPES', 16, 'LNG', 'LONG', 0, NULL, NULL, 'Y', NULL, 0, NULL),
 ('ALLTYPES', 17, 'BF', 'BINARY_FLOAT', 4, NULL, NULL, 'Y', NULL, 0, NULL),
 ('ALLTYPES', 18, 'BD', 'BINARY_DOUBLE', 8, NULL, NULL, 'Y', NULL, 0, NULL),
 ('ALLTYPES', 19, 'RID', 'ROWID', 10, NULL, NULL, 'Y', NULL, 0, NULL),
 ('ALLTYPES', 20, 'TSTZ', 'TIMESTAMP(9) WITH TIME ZONE', 13, NULL, 9, 'Y', NULL, 0, NULL),
 ('ALLTYPES', 21, 'IDS', 'INTERVAL DAY(2) TO SECOND(6)', 11, 2, 6, 'Y', NULL, 0, NULL),
 ('ALLTYPES', 22, 'XML', 'XMLTYPE', 2000, NULL, NULL, 'Y', NULL, 0, NULL),
 ('ALLTYPES', 23, 'ADDR', 'ADDRESS_T', 1, NULL, NULL, 'Y', NULL, 0, NULL),
 ('ALLTYPES', 24, 'LR', 'LONG RAW', 0, NULL, NULL, 'Y', NULL, 0, NULL),
 ('ALLTYPES', 25, 'TS3', 'TIMESTAMP(3)', 11, NULL, 3, 'Y', NULL, 0, NULL);
CREATE TABLE ALLTYPES(ID NOT NULL, VC TEXT, CH TEXT, NVC TEXT, NCH TEXT, NUM, NUM72, FLT,
  INTG, DT TEXT, TS TEXT, CL TEXT, NCL TEXT, BL BLOB,
  RW BLOB, LNG TEXT, BF REAL, BD REAL, RID TEXT, TSTZ TEXT, IDS TEXT, XML TEXT, ADDR TEXT,
  LR BLOB, TS3 TEXT);
INSERT INTO ALLTYPES VALUES(1, 'hello', 'ab   ', 'Привет', 'xy ', '-.25', 1234.5, '.5', 85,
  '2024-03-05 13:14:15', '2024-03-05 13:14:15.123456000',
  'The quick brown fox jumps over the lazy dog. Grüße, €uro!', 'nclob text',
  x'000102FF', x'DEADBEEF', 'long text', 1.5, 2.25, 'AAAR3sAAEAAAACXAAA',
  '2024-03-05 13:14:15.000000000 +02:00', '+03 04:05:06.123000', '<a/>', 'ADDRESS_T(1)',
  x'CAFE', '1999-12-31 23:59:59.999000000');
INSERT INTO ALLTYPES(ID) VALUES(2);
INSERT INTO ALLTYPES(ID, VC, CL, BL, RW) VALUES(3, '', '', x'', x'');
)sql";

constexpr const char* kNumbersCatalog = R"sql(
INSERT INTO ocilite_tables(table_name, owner) VALUES('NUMS', 'SCOTT');
INSERT INTO ocilite_columns(table_name, column_id, column_name, data_type, data_length,
    data_precision, data_scale, nullable) VALUES ('NUMS', 1, 'K', 'NUMBER', 22, 3, 0, 'N'),
    ('NUMS', 2, 'N', 'NUMBER', 22, NULL, NULL, 'Y');
-- Without a declared type (no affinity), as the loader creates them: text keeps every digit.
CREATE TABLE NUMS(K NOT NULL, N);
INSERT INTO NUMS VALUES (1, 0), (2, 85), (3, '.5'), (4, '-.5'), (5, '1234.5'),
  (6, '10000000000000000000000000000000000000000'),
  (7, '1' || printf('%.*c', 100, '0')), (8, '.3333333333333333333333333333333333333333'),
  (9, '-12345678901234567890123456789.123456789'), (10, 9007199254740993),
  (11, '.' || printf('%.*c', 70, '0') || '1');
)sql";

// DEPT and EMP with every kind of constraint and index, a view, and tables that the
// catalog queries must leave out (temporary, nested, IOT overflow) or show (IOT), plus a
// table of another owner.
constexpr const char* kSchemaCatalog = R"sql(
INSERT INTO ocilite_tables(table_name, owner, temporary, nested, iot_type) VALUES
  ('DEPT', 'SCOTT', 'N', 'NO', NULL), ('EMP', 'SCOTT', 'N', 'NO', NULL),
  ('TMP_T', 'SCOTT', 'Y', 'NO', NULL), ('NEST_T', 'SCOTT', 'N', 'YES', NULL),
  ('IOT_T', 'SCOTT', 'N', 'NO', 'IOT'), ('OVF_T', 'SCOTT', 'N', 'NO', 'IOT_OVERFLOW'),
  ('REGIONS', 'HR', 'N', 'NO', NULL);
INSERT INTO ocilite_columns(table_name, column_id, column_name, data_type, data_length,
    data_precision, data_scale, nullable) VALUES
  ('DEPT', 1, 'DEPTNO', 'NUMBER', 22, 2, 0, 'N'), ('DEPT', 2, 'DNAME', 'VARCHAR2', 14, NULL, NULL, 'Y'),
  ('EMP', 1, 'EMPNO', 'NUMBER', 22, 4, 0, 'N'), ('EMP', 2, 'ENAME', 'VARCHAR2', 10, NULL, NULL, 'Y'),
  ('EMP', 3, 'DEPTNO', 'NUMBER', 22, 2, 0, 'Y'),
  ('EMP_VIEW', 1, 'EMPNO', 'NUMBER', 22, 4, 0, 'N'), ('EMP_VIEW', 2, 'ENAME', 'VARCHAR2', 10, NULL, NULL, 'Y'),
  ('REGIONS', 1, 'REGION_ID', 'NUMBER', 22, NULL, NULL, 'N');
CREATE TABLE DEPT(DEPTNO INTEGER NOT NULL PRIMARY KEY, DNAME TEXT);
CREATE TABLE EMP(EMPNO INTEGER NOT NULL PRIMARY KEY, ENAME TEXT, DEPTNO INTEGER);
CREATE TABLE TMP_T(X INTEGER); CREATE TABLE NEST_T(X INTEGER); CREATE TABLE IOT_T(X INTEGER);
CREATE TABLE OVF_T(X INTEGER); CREATE TABLE REGIONS(REGION_ID INTEGER);
CREATE VIEW EMP_VIEW AS SELECT EMPNO, ENAME FROM EMP;
INSERT INTO ocilite_views(view_name, text, owner)
  VALUES('EMP_VIEW', 'select empno, ename from emp', 'SCOTT');
INSERT INTO DEPT VALUES (10, 'ACCOUNTING'), (20, 'RESEARCH');
INSERT INTO EMP VALUES (7369, 'SMITH', 20), (7782, 'CLARK', 10), (7839, 'KING', 10);
INSERT INTO ocilite_constraints(constraint_name, constraint_type, table_name, r_constraint_name,
    delete_rule, search_condition, generated, index_name) VALUES
  ('PK_DEPT', 'P', 'DEPT', NULL, NULL, NULL, 'USER NAME', 'PK_DEPT'),
  ('SYS_C0010000', 'U', 'DEPT', NULL, NULL, NULL, 'GENERATED NAME', 'SYS_C0010000'),
  ('SYS_C0010001', 'P', 'EMP', NULL, NULL, NULL, 'GENERATED NAME', 'SYS_C0010001'),
  ('FK_DEPTNO', 'R', 'EMP', 'PK_DEPT', 'CASCADE', NULL, 'USER NAME', NULL),
  ('SYS_C0010002', 'C', 'EMP', NULL, NULL, '"EMPNO" IS NOT NULL', 'GENERATED NAME', NULL);
INSERT INTO ocilite_cons_columns VALUES ('PK_DEPT', 'DEPT', 'DEPTNO', 1),
  ('SYS_C0010000', 'DEPT', 'DNAME', 1), ('SYS_C0010001', 'EMP', 'EMPNO', 1),
  ('FK_DEPTNO', 'EMP', 'DEPTNO', 1), ('SYS_C0010002', 'EMP', 'EMPNO', NULL);
INSERT INTO ocilite_indexes(index_name, table_name, uniqueness, generated) VALUES
  ('PK_DEPT', 'DEPT', 'UNIQUE', 'N'), ('SYS_C0010000', 'DEPT', 'UNIQUE', 'Y'),
  ('SYS_C0010001', 'EMP', 'UNIQUE', 'Y'), ('EMP_NAME_DEPT_IX', 'EMP', 'NONUNIQUE', 'N');
INSERT INTO ocilite_ind_columns(index_name, table_name, column_name, column_position) VALUES
  ('PK_DEPT', 'DEPT', 'DEPTNO', 1), ('SYS_C0010000', 'DEPT', 'DNAME', 1),
  ('SYS_C0010001', 'EMP', 'EMPNO', 1), ('EMP_NAME_DEPT_IX', 'EMP', 'DEPTNO', 2),
  ('EMP_NAME_DEPT_IX', 'EMP', 'ENAME', 1);
)sql";

void run(sqlite3* db, const std::string& sql) {
    char* msg = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &msg) != SQLITE_OK) {
        ADD_FAILURE() << "fixture SQL failed: " << (msg ? msg : "?");
        sqlite3_free(msg);
    }
}

std::string quote(const std::string& s) {
    std::string out = "'";
    for (char c : s) {
        out += c;
        if (c == '\'') out += '\'';
    }
    return out + "'";
}

}  // namespace

fixture_db::fixture_db(const fixture_options& o) {
    static std::atomic<int> counter{0};
    path_ = ::testing::TempDir() + "ocilite_fixture_" + std::to_string(getpid()) + "_" +
            std::to_string(counter++) + ".db";
    std::remove(path_.c_str());
    sqlite3* db = nullptr;
    EXPECT_EQ(SQLITE_OK, sqlite3_open(path_.c_str(), &db));
    run(db, "BEGIN");
    run(db, ocilite::kCatalogSchemaSql);
    if (o.users)
        run(db,
            "INSERT INTO ocilite_users VALUES('SCOTT', 'tiger', 'OPEN'), "
            "('LOCKME', 'secret', 'LOCKED')");
    if (o.banner)
        run(db, "INSERT INTO ocilite_settings VALUES('banner', " + quote(*o.banner) + ")");
    if (o.banner2)
        run(db, "INSERT INTO ocilite_settings VALUES('banner2', " + quote(*o.banner2) + ")");
    run(db, kAllTypesCatalog);
    run(db, kNumbersCatalog);
    run(db, kSchemaCatalog);
    run(db, "COMMIT");
    sqlite3_close(db);
}

fixture_db::~fixture_db() {
    std::remove(path_.c_str());
}

void fixture_db::exec(const std::string& sql) const {
    sqlite3* db = nullptr;
    EXPECT_EQ(SQLITE_OK, sqlite3_open(path_.c_str(), &db));
    run(db, sql);
    sqlite3_close(db);
}

}  // namespace ocilite_test
