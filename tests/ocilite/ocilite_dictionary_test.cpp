// The data dictionary, queried with the exact texts the reader sends.
#include <gtest/gtest.h>

#include "fixture_db.h"
#include "oci_client.h"

namespace ocilite_test {
namespace {

class DictionaryTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(OCI_SUCCESS, s.connect(db.path())) << s.error_text(); }

    // The first column of every row.
    std::vector<std::string> column(const std::string& sql, std::size_t col = 0) {
        std::vector<std::string> out;
        for (const auto& r : s.rows(sql)) out.push_back(r[col].value_or("<NULL>"));
        return out;
    }

    oci_api api;
    fixture_db db;
    session s{api};
};

using names = std::vector<std::string>;

TEST_F(DictionaryTest, TableListsOfTheCatalog) {
    // From 8.0 on: the unbracketed OR lets IOT tables through.
    EXPECT_EQ((names{"ALLTYPES", "DEPT", "EMP", "IOT_T", "NUMS"}),
              column("select TABLE_NAME, IOT_TYPE from user_tables where TEMPORARY='N' and "
                     "NESTED='NO' and IOT_TYPE IS NULL OR IOT_TYPE='IOT'"));
    // Before 8.0: every table of the user, temporary and nested ones included.
    EXPECT_EQ((names{"ALLTYPES", "DEPT", "EMP", "IOT_T", "NEST_T", "NUMS", "OVF_T", "TMP_T"}),
              column("select TABLE_NAME from user_tables"));
    const auto all = s.rows(
        "select OWNER, TABLE_NAME, IOT_TYPE from all_tables where TEMPORARY='N' and NESTED='NO' "
        "and IOT_TYPE IS NULL OR IOT_TYPE='IOT'");
    names owned;
    for (const auto& r : all) owned.push_back(*r[0] + "." + *r[1]);
    EXPECT_EQ((names{"HR.REGIONS", "SCOTT.ALLTYPES", "SCOTT.DEPT", "SCOTT.EMP", "SCOTT.IOT_T",
                     "SCOTT.NUMS"}),
              owned);
    EXPECT_EQ(8u + 1u, s.rows("select OWNER, TABLE_NAME from all_tables").size());
}

TEST_F(DictionaryTest, ViewsAndColumnsOfATable) {
    const auto views = s.rows("select VIEW_NAME, TEXT from SYS.USER_VIEWS");
    ASSERT_EQ(1u, views.size());
    EXPECT_EQ("EMP_VIEW", *views[0][0]);
    EXPECT_EQ("select empno, ename from emp", *views[0][1]);
    // TEXT is a LONG, as in Oracle.
    EXPECT_EQ(SQLT_LNG, s.describe("select VIEW_NAME, TEXT from SYS.USER_VIEWS")[1].type);

    EXPECT_EQ("25", *s.rows("SELECT COUNT(*) FROM USER_TAB_COLUMNS WHERE "
                            "table_name = 'ALLTYPES'")[0][0]);
    const auto cols = s.rows(
        "select COLUMN_NAME, DATA_DEFAULT, DATA_TYPE from USER_TAB_COLUMNS where table_name = "
        "'ALLTYPES'");
    ASSERT_EQ(25u, cols.size());
    EXPECT_EQ("ID", *cols[0][0]);
    EXPECT_EQ("'abc'", *cols[1][1]);  // the default as typed
    EXPECT_EQ("0.50 ", *cols[6][1]);  // trailing blank and zero kept
    EXPECT_EQ("SYSDATE", *cols[9][1]);
    EXPECT_FALSE(cols[0][1].has_value());
    EXPECT_EQ("TIMESTAMP(9) WITH TIME ZONE", *cols[19][2]);
    EXPECT_EQ("TS3", *cols[24][0]);  // by COLUMN_ID

    // The ALL_ form selects by owner and table through concat.
    const auto all_cols = s.rows(
        "SELECT COLUMN_NAME, DATA_TYPE FROM ALL_TAB_COLUMNS WHERE "
        "concat(owner,concat('.',table_name)) = 'SCOTT.EMP'");
    ASSERT_EQ(3u, all_cols.size());
    // CONCAT and || treat NULL as an empty string, as Oracle does; NVL is there too.
    EXPECT_EQ("X", *s.rows("select concat(NULL, 'X') from dual")[0][0]);
    EXPECT_EQ("SMITH-x", *s.rows("select ename || null || '-' || lower('X') from emp "
                                 "where empno = 7369")[0][0]);
    EXPECT_FALSE(s.rows("select null || '' from dual")[0][0].has_value());
    EXPECT_EQ("none", *s.rows("select nvl(iot_type, 'none') from user_tables where "
                              "table_name = 'EMP'")[0][0]);
    EXPECT_EQ("DEPTNO", *all_cols[2][0]);
    EXPECT_EQ("NUMBER", *all_cols[2][1]);

    const auto meta = s.rows(
        "select DATA_LENGTH, DATA_PRECISION, DATA_SCALE, NULLABLE, COLUMN_ID from "
        "user_tab_columns where table_name = 'ALLTYPES' and column_name = 'NUM72'");
    ASSERT_EQ(1u, meta.size());
    EXPECT_EQ((text_row{"22", "7", "2", "Y", "7"}), meta[0]);
}

TEST_F(DictionaryTest, PrimaryKeyIndexesAndForeignKeys) {
    const auto pk = s.rows(
        "SELECT a.constraint_name, a.column_name FROM user_cons_columns a, user_constraints b "
        "WHERE a.table_name='DEPT' AND a.constraint_name=b.constraint_name AND "
        "b.constraint_type='P' ORDER BY a.constraint_name, a.position");
    ASSERT_EQ(1u, pk.size());
    EXPECT_EQ((text_row{"PK_DEPT", "DEPTNO"}), pk[0]);

    const auto emp_pk = s.rows(
        "SELECT a.constraint_name, a.column_name FROM user_cons_columns a, user_constraints b "
        "WHERE a.table_name='EMP' AND a.constraint_name=b.constraint_name AND "
        "b.constraint_type='P' ORDER BY a.constraint_name, a.position");
    ASSERT_EQ(1u, emp_pk.size());
    EXPECT_EQ("SYS_C0010001", *emp_pk[0][0]);

    const std::string idx8 =
        "SELECT user_indexes.index_name, user_indexes.uniqueness, user_ind_columns.column_name "
        "FROM user_ind_columns, user_indexes where user_ind_columns.table_name = '%s' AND "
        "user_indexes.generated='N' AND user_ind_columns.index_name = user_indexes.index_name "
        "AND user_ind_columns.table_name = user_indexes.table_name ORDER BY "
        "user_indexes.index_name, user_ind_columns.column_position";
    auto with = [](std::string sql, const std::string& table) {
        sql.replace(sql.find("%s"), 2, table);
        return sql;
    };
    const auto emp_idx = s.rows(with(idx8, "EMP"));
    ASSERT_EQ(2u, emp_idx.size());  // the generated SYS_C index is left out
    EXPECT_EQ((text_row{"EMP_NAME_DEPT_IX", "NONUNIQUE", "ENAME"}), emp_idx[0]);
    EXPECT_EQ((text_row{"EMP_NAME_DEPT_IX", "NONUNIQUE", "DEPTNO"}), emp_idx[1]);
    const auto dept_idx = s.rows(with(idx8, "DEPT"));
    ASSERT_EQ(1u, dept_idx.size());
    EXPECT_EQ((text_row{"PK_DEPT", "UNIQUE", "DEPTNO"}), dept_idx[0]);

    std::string idx7 = idx8;
    idx7.erase(idx7.find("user_indexes.generated='N' AND "), 31);
    EXPECT_EQ(2u, s.rows(with(idx7, "DEPT")).size());  // pre-8: the SYS_C unique index too

    EXPECT_EQ("1", *s.rows("select count(*) from USER_CONSTRAINTS where "
                           "R_CONSTRAINT_NAME='PK_DEPT' and CONSTRAINT_TYPE='R'")[0][0]);
    const auto fk = s.rows(
        "select a.TABLE_NAME,a.CONSTRAINT_NAME,a.DELETE_RULE,b.COLUMN_NAME FROM "
        "USER_CONSTRAINTS a, USER_CONS_COLUMNS b WHERE a.CONSTRAINT_NAME=b.CONSTRAINT_NAME and "
        "a.CONSTRAINT_TYPE='R' and a.R_CONSTRAINT_NAME='PK_DEPT'");
    ASSERT_EQ(1u, fk.size());
    EXPECT_EQ((text_row{"EMP", "FK_DEPTNO", "CASCADE", "DEPTNO"}), fk[0]);

    // A check constraint's column has no position.
    const auto check = s.rows(
        "select b.position from user_constraints a, user_cons_columns b where "
        "a.constraint_name = b.constraint_name and a.constraint_type = 'C'");
    ASSERT_EQ(1u, check.size());
    EXPECT_FALSE(check[0][0].has_value());
}

TEST_F(DictionaryTest, TheReadersSelectOfATable) {
    // The select text of a table with a skipped column: quoted names in catalog order.
    const auto rows = s.rows("SELECT \"EMPNO\",\"ENAME\" FROM \"EMP\"");
    ASSERT_EQ(3u, rows.size());
    EXPECT_EQ(2u, rows[0].size());
    // The owner-qualified form used with the ALL_ views.
    EXPECT_EQ(3u, s.rows("SELECT * FROM \"SCOTT\".\"EMP\"").size());
    EXPECT_EQ(1u, s.rows("SELECT COUNT(*) FROM \"HR\".\"REGIONS\"").size());
}

// A database written before views had owners and index columns expressions: its views are
// every user's, and the dictionary is built as before.
TEST(DictionaryOfEarlierLayout, ViewsWithoutOwnersBelongToEveryUser) {
    fixture_db db;
    db.exec(
        "ALTER TABLE ocilite_views RENAME TO v_now;"
        "CREATE TABLE ocilite_views(view_name TEXT PRIMARY KEY, text TEXT NOT NULL);"
        "INSERT INTO ocilite_views SELECT view_name, text FROM v_now; DROP TABLE v_now;"
        "ALTER TABLE ocilite_ind_columns RENAME TO ic_now;"
        "CREATE TABLE ocilite_ind_columns(index_name TEXT NOT NULL, table_name TEXT NOT NULL,"
        "  column_name TEXT NOT NULL, column_position INTEGER NOT NULL, descend TEXT NOT NULL);"
        "INSERT INTO ocilite_ind_columns SELECT index_name, table_name, column_name, "
        "  column_position, descend FROM ic_now; DROP TABLE ic_now;"
        "INSERT INTO ocilite_users VALUES('HR', 'hr', 'OPEN');");
    oci_api api;
    for (const char* user : {"scott", "hr"}) {
        session s(api);
        ASSERT_EQ(OCI_SUCCESS,
                  s.connect(db.path(), user, user == std::string("hr") ? "hr" : "tiger"))
            << s.error_text();
        const auto views = s.rows("select VIEW_NAME, TEXT from SYS.USER_VIEWS");
        ASSERT_EQ(1u, views.size()) << user;
        EXPECT_EQ("EMP_VIEW", *views[0][0]);
        EXPECT_TRUE(s.rows("select * from user_ind_expressions").empty());
        EXPECT_EQ(2u, s.rows("select column_name from user_tab_columns where table_name = "
                             "'EMP_VIEW'")
                          .size());
    }
}

}  // namespace
}  // namespace ocilite_test
