// The sample schemas loaded by ocilite-load (examples/hr.db and examples/scott.db), read with
// the reader's call sequences.  Skipped when the sample databases have not been built.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <map>

#include "oci_client.h"

namespace ocilite_test {
namespace {

struct credentials {
    std::string user = "scott";
    std::string password = "tiger";
};

// The owner of `table` and that user's password, read from the file itself, so the test does
// not depend on the loader's choice of accounts.
credentials owner_of(const std::string& path, const std::string& table) {
    credentials c;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return c;
    }
    sqlite3_stmt* st = nullptr;
    const std::string sql =
        "SELECT t.owner, u.password FROM ocilite_tables t LEFT JOIN ocilite_users u "
        "ON u.username = t.owner WHERE t.table_name = '" +
        table + "'";
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) == SQLITE_OK &&
        sqlite3_step(st) == SQLITE_ROW) {
        if (const auto* o = sqlite3_column_text(st, 0)) c.user = reinterpret_cast<const char*>(o);
        if (const auto* p = sqlite3_column_text(st, 1))
            c.password = reinterpret_cast<const char*>(p);
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return c;
}

class SamplesTest : public ::testing::Test {
  protected:
    void open(const std::string& file, const std::string& table) {
        path = std::string(OCILITE_EXAMPLES) + "/" + file;
        if (!std::filesystem::exists(path)) GTEST_SKIP() << "sample database not built: " << path;
        const credentials c = owner_of(path, table);
        ASSERT_EQ(OCI_SUCCESS, s.connect(path, c.user, c.password)) << s.error_text();
    }
    long count(const std::string& table) {
        const auto r = s.rows("SELECT COUNT(*) FROM \"" + table + "\"");
        return r.empty() ? -1 : std::stol(*r[0][0]);
    }

    oci_api api;
    session s{api};
    std::string path;
};

TEST_F(SamplesTest, HrRowCounts) {
    open("hr.db", "EMPLOYEES");
    if (IsSkipped() || HasFatalFailure()) return;
    // The counts of the sample script (its REGIONS has five rows).
    const std::map<std::string, long> expected = {
        {"EMPLOYEES", 107}, {"DEPARTMENTS", 27}, {"LOCATIONS", 23},  {"COUNTRIES", 25},
        {"REGIONS", 5},     {"JOBS", 19},        {"JOB_HISTORY", 10}};
    for (const auto& [table, n] : expected) EXPECT_EQ(n, count(table)) << table;
    // Every table of the list comes back from the catalog query.
    std::vector<std::string> names;
    for (const auto& r : s.rows("select TABLE_NAME, IOT_TYPE from user_tables where "
                                "TEMPORARY='N' and NESTED='NO' and IOT_TYPE IS NULL OR "
                                "IOT_TYPE='IOT'"))
        names.push_back(*r[0]);
    for (const auto& [table, n] : expected)
        EXPECT_NE(names.end(), std::find(names.begin(), names.end(), table)) << table;
}

TEST_F(SamplesTest, ScottEmpDescribesAndFetchesAsOracle) {
    open("scott.db", "EMP");
    if (IsSkipped() || HasFatalFailure()) return;
    EXPECT_EQ(14, count("EMP"));
    EXPECT_EQ(4, count("DEPT"));
    EXPECT_EQ(0, count("BONUS"));
    EXPECT_EQ(5, count("SALGRADE"));

    const auto d = s.describe("SELECT * FROM \"EMP\"");
    ASSERT_EQ(8u, d.size());
    EXPECT_EQ("EMPNO", d[0].name);
    EXPECT_EQ(SQLT_NUM, d[0].type);
    EXPECT_EQ(4, d[0].precision);
    EXPECT_EQ(0, d[0].scale);
    EXPECT_EQ(0, d[0].is_null);
    EXPECT_EQ("ENAME", d[1].name);
    EXPECT_EQ(SQLT_CHR, d[1].type);
    EXPECT_EQ(10, d[1].size);
    EXPECT_EQ("HIREDATE", d[4].name);
    EXPECT_EQ(SQLT_DAT, d[4].type);
    EXPECT_EQ("SAL", d[5].name);
    EXPECT_EQ(7, d[5].precision);
    EXPECT_EQ(2, d[5].scale);

    const auto king = s.rows("select ENAME, SAL, COMM from emp where empno = 7839");
    ASSERT_EQ(1u, king.size());
    EXPECT_EQ("KING", *king[0][0]);
    EXPECT_EQ("5000", *king[0][1]);
    EXPECT_FALSE(king[0][2].has_value());

    const auto pk = s.rows(
        "SELECT a.constraint_name, a.column_name FROM user_cons_columns a, user_constraints b "
        "WHERE a.table_name='DEPT' AND a.constraint_name=b.constraint_name AND "
        "b.constraint_type='P' ORDER BY a.constraint_name, a.position");
    ASSERT_EQ(1u, pk.size());
    EXPECT_EQ("PK_DEPT", *pk[0][0]);
    EXPECT_EQ("DEPTNO", *pk[0][1]);
    const auto fk = s.rows(
        "select a.TABLE_NAME,a.CONSTRAINT_NAME,a.DELETE_RULE,b.COLUMN_NAME FROM "
        "USER_CONSTRAINTS a, USER_CONS_COLUMNS b WHERE a.CONSTRAINT_NAME=b.CONSTRAINT_NAME and "
        "a.CONSTRAINT_TYPE='R' and a.R_CONSTRAINT_NAME='PK_DEPT'");
    ASSERT_EQ(1u, fk.size());
    EXPECT_EQ((text_row{"EMP", "FK_DEPTNO", "NO ACTION", "DEPTNO"}), fk[0]);
}

// Reads every table of a sample database with the reader's defines per described type: text
// and numbers as SQLT_STR, dates through timestamp descriptors, RAW as bytes, LOBs through
// locators read to the end; every row of the count must arrive without an error.
void read_every_table(session& s) {
    oci_api& api = s.api;
    std::vector<std::string> tables;
    for (const auto& r : s.rows("select TABLE_NAME from user_tables")) tables.push_back(*r[0]);
    ASSERT_FALSE(tables.empty());
    for (const std::string& table : tables) {
        SCOPED_TRACE(table);
        const auto count = s.rows("SELECT COUNT(*) FROM \"" + table + "\"");
        ASSERT_EQ(1u, count.size());
        OCIStmt* st = s.new_stmt();
        ASSERT_EQ(OCI_SUCCESS, s.execute(st, "SELECT * FROM \"" + table + "\"")) << s.error_text();
        ub4 ncols = 0;
        api.AttrGet(st, OCI_HTYPE_STMT, &ncols, nullptr, OCI_ATTR_PARAM_COUNT, s.err);
        std::vector<std::vector<char>> bufs(ncols);
        std::vector<void*> descs(ncols, nullptr);
        std::vector<ub2> types(ncols, 0);
        std::vector<sb2> ind(ncols, 0);
        for (ub4 i = 0; i < ncols; ++i) {
            void* p = nullptr;
            ASSERT_EQ(OCI_SUCCESS, api.ParamGet(st, OCI_HTYPE_STMT, s.err, &p, i + 1));
            ub2 size = 0;
            api.AttrGet(p, OCI_DTYPE_PARAM, &types[i], nullptr, OCI_ATTR_DATA_TYPE, s.err);
            api.AttrGet(p, OCI_DTYPE_PARAM, &size, nullptr, OCI_ATTR_DATA_SIZE, s.err);
            OCIDefine* d = nullptr;
            sword rc = OCI_SUCCESS;
            switch (types[i]) {
                case SQLT_DAT:
                case SQLT_TIMESTAMP:
                case SQLT_TIMESTAMP_TZ:
                case SQLT_TIMESTAMP_LTZ:
                    api.DescriptorAlloc(s.env, &descs[i], OCI_DTYPE_TIMESTAMP, 0, nullptr);
                    rc = api.DefineByPos(st, &d, s.err, i + 1, &descs[i], 4, SQLT_TIMESTAMP,
                                         &ind[i], nullptr, nullptr, OCI_DEFAULT);
                    break;
                case SQLT_CLOB:
                case SQLT_BLOB:
                    api.DescriptorAlloc(s.env, &descs[i], OCI_DTYPE_LOB, 0, nullptr);
                    rc = api.DefineByPos(st, &d, s.err, i + 1, &descs[i], -1, types[i], &ind[i],
                                         nullptr, nullptr, OCI_DEFAULT);
                    break;
                case SQLT_BIN:
                    bufs[i].resize(size);
                    rc = api.DefineByPos(st, &d, s.err, i + 1, bufs[i].data(),
                                         static_cast<sb4>(size), SQLT_BIN, &ind[i], nullptr,
                                         nullptr, OCI_DEFAULT);
                    break;
                default:
                    bufs[i].resize(2u * 100000 + 2);
                    rc = api.DefineByPos(st, &d, s.err, i + 1, bufs[i].data(),
                                         static_cast<sb4>(bufs[i].size()), SQLT_STR, &ind[i],
                                         nullptr, nullptr, OCI_DEFAULT);
                    break;
            }
            ASSERT_EQ(OCI_SUCCESS, rc) << s.error_text();
        }
        long rows = 0;
        while (true) {
            const sword rc = api.StmtFetch(st, s.err, 1, OCI_FETCH_NEXT, OCI_DEFAULT);
            if (rc == OCI_NO_DATA) break;
            ASSERT_EQ(OCI_SUCCESS, rc) << s.error_text();
            ++rows;
            for (ub4 i = 0; i < ncols; ++i) {
                if (ind[i] == -1 || (types[i] != SQLT_CLOB && types[i] != SQLT_BLOB)) continue;
                ub1 form = 1;
                api.LobCharSetForm(s.env, s.err, static_cast<OCILobLocator*>(descs[i]), &form);
                char piece[32768];
                ub4 offset = 1;
                while (true) {
                    ub4 amount = 0;
                    const sword lrc = api.LobRead(
                        s.svc, s.err, static_cast<OCILobLocator*>(descs[i]), &amount, offset, piece,
                        sizeof piece, nullptr, nullptr, 0, types[i] == SQLT_CLOB ? form : 0);
                    ASSERT_TRUE(lrc == OCI_SUCCESS || lrc == OCI_NEED_DATA) << s.error_text();
                    if (amount == 0) break;
                    offset += amount;
                }
            }
        }
        EXPECT_EQ(std::stol(*count[0][0]), rows);
        s.free_stmt(st);
    }
}

TEST_F(SamplesTest, EveryHrTableReadsCompletely) {
    open("hr.db", "EMPLOYEES");
    if (IsSkipped() || HasFatalFailure()) return;
    read_every_table(s);
}

TEST_F(SamplesTest, EveryScottTableReadsCompletely) {
    open("scott.db", "EMP");
    if (IsSkipped() || HasFatalFailure()) return;
    read_every_table(s);
}

TEST_F(SamplesTest, EveryCoTableReadsCompletely) {
    open("co.db", "CUSTOMERS");
    if (IsSkipped() || HasFatalFailure()) return;
    read_every_table(s);
}

}  // namespace
}  // namespace ocilite_test
