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
        "ON u.username = t.owner WHERE t.table_name = '" + table + "'";
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
    // The counts of the sample script (its REGIONS has five rows).
    const std::map<std::string, long> expected = {
        {"EMPLOYEES", 107}, {"DEPARTMENTS", 27}, {"LOCATIONS", 23}, {"COUNTRIES", 25},
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

}  // namespace
}  // namespace ocilite_test
