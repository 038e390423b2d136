// Select-list describe: data type codes, sizes, precision, scale, nullability and names as
// Oracle reports them for every column type.
#include <gtest/gtest.h>

#include "fixture_db.h"
#include "oci_client.h"

namespace ocilite_test {
namespace {

class DescribeTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(OCI_SUCCESS, s.connect(db.path())) << s.error_text(); }
    oci_api api;
    fixture_db db;
    session s{api};
};

TEST_F(DescribeTest, EveryColumnTypeDescribesAsOracle) {
    struct row {
        const char* name;
        ub2 type, size;
        sb2 precision;
        sb1 scale;
        ub1 is_null, form;
    };
    const row expected[] = {
        {"ID", SQLT_NUM, 22, 4, 0, 0, 1},          {"VC", SQLT_CHR, 10, 0, 0, 1, 1},
        {"CH", SQLT_AFC, 5, 0, 0, 1, 1},           {"NVC", SQLT_CHR, 40, 0, 0, 1, 2},
        {"NCH", SQLT_AFC, 6, 0, 0, 1, 2},          {"NUM", SQLT_NUM, 22, 0, -127, 1, 1},
        {"NUM72", SQLT_NUM, 22, 7, 2, 1, 1},       {"FLT", SQLT_NUM, 22, 126, -127, 1, 1},
        {"INTG", SQLT_NUM, 22, 38, 0, 1, 1},       {"DT", SQLT_DAT, 7, 0, 0, 1, 1},
        {"TS", SQLT_TIMESTAMP, 11, 0, 6, 1, 1},    {"CL", SQLT_CLOB, 4000, 0, 0, 1, 1},
        {"NCL", SQLT_CLOB, 4000, 0, 0, 1, 2},      {"BL", SQLT_BLOB, 4000, 0, 0, 1, 1},
        {"RW", SQLT_BIN, 16, 0, 0, 1, 1},          {"LNG", SQLT_LNG, 0, 0, 0, 1, 1},
        {"BF", SQLT_IBFLOAT, 4, 0, 0, 1, 1},       {"BD", SQLT_IBDOUBLE, 8, 0, 0, 1, 1},
        {"RID", SQLT_RDD, 10, 0, 0, 1, 1},         {"TSTZ", SQLT_TIMESTAMP_TZ, 13, 0, 9, 1, 1},
        {"IDS", SQLT_INTERVAL_DS, 11, 2, 6, 1, 1}, {"XML", SQLT_NTY, 2000, 0, 0, 1, 1},
        {"ADDR", SQLT_NTY, 1, 0, 0, 1, 1},         {"LR", SQLT_LBI, 0, 0, 0, 1, 1},
        {"TS3", SQLT_TIMESTAMP, 11, 0, 3, 1, 1},
    };
    const auto got = s.describe("SELECT * FROM \"ALLTYPES\"");
    ASSERT_EQ(std::size(expected), got.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
        const row& e = expected[i];
        SCOPED_TRACE(e.name);
        EXPECT_EQ(e.name, got[i].name);
        EXPECT_EQ(e.type, got[i].type);
        EXPECT_EQ(e.size, got[i].size);
        EXPECT_EQ(e.precision, got[i].precision);
        EXPECT_EQ(e.scale, got[i].scale);
        EXPECT_EQ(e.is_null, got[i].is_null);
        EXPECT_EQ(e.form, got[i].charset_form);
    }
}

TEST_F(DescribeTest, NamedTypesReportTheirTypeName) {
    OCIStmt* st = s.new_stmt();
    ASSERT_EQ(OCI_SUCCESS, s.execute(st, "select xml, addr from alltypes"));
    for (ub4 pos : {1u, 2u}) {
        void* p = nullptr;
        ASSERT_EQ(OCI_SUCCESS, api.ParamGet(st, OCI_HTYPE_STMT, s.err, &p, pos));
        char16_t* name = nullptr;
        ub4 len = 0;
        ASSERT_EQ(OCI_SUCCESS,
                  api.AttrGet(p, OCI_DTYPE_PARAM, &name, &len, OCI_ATTR_TYPE_NAME, s.err));
        EXPECT_EQ(pos == 1 ? "XMLTYPE" : "ADDRESS_T", u8(std::u16string(name, len / 2)));
    }
    s.free_stmt(st);
}

TEST_F(DescribeTest, ExpressionsAndAliasesGetOracleNames) {
    const auto got = s.describe(
        "select count(*), count( * ) , e.ename, ename as who, \"ENAME\" \"Mixed\" "
        "from emp e");
    ASSERT_EQ(5u, got.size());
    EXPECT_EQ("COUNT(*)", got[0].name);
    EXPECT_EQ(SQLT_NUM, got[0].type);
    EXPECT_EQ(22, got[0].size);
    EXPECT_EQ(0, got[0].precision);
    EXPECT_EQ(-127, got[0].scale);
    EXPECT_EQ("COUNT(*)", got[1].name);
    EXPECT_EQ("ENAME", got[2].name);
    EXPECT_EQ("WHO", got[3].name);
    EXPECT_EQ("Mixed", got[4].name);
    EXPECT_EQ(SQLT_CHR, got[4].type);
    // COUNT(*) of an empty table is still a NUMBER.
    EXPECT_EQ(SQLT_NUM, s.describe("select count(*) from tmp_t")[0].type);
}

// A character expression is as wide as its widest value, not its first one: the reader
// sizes its buffer from the describe, so a longer later row would be cut.  Its name is the
// client's text, without what the engine adds to give "||" Oracle's NULL rule.
TEST_F(DescribeTest, CharacterExpressionsFitEveryRow) {
    const std::string sql = "select ename || '-' || deptno from emp order by length(ename), ename";
    const auto got = s.describe(sql);
    ASSERT_EQ(1u, got.size());
    EXPECT_EQ(SQLT_CHR, got[0].type);
    EXPECT_EQ("ENAME||'-'||DEPTNO", got[0].name);
    EXPECT_EQ(8, got[0].size);  // SMITH-20; the first row, KING-10, has 7
    const auto rows = s.rows(sql, got[0].size);
    ASSERT_EQ(3u, rows.size());
    EXPECT_EQ("KING-10", *rows[0][0]);
    EXPECT_EQ("SMITH-20", *rows[2][0]);
    EXPECT_EQ("'A'||ENAME", s.describe("select 'a' || ename from emp")[0].name);
    // A first value of NULL does not make the column a zero-width one.
    const auto late = s.describe(
        "select case when empno = 7369 then null else ename end from emp order by empno");
    EXPECT_EQ(SQLT_CHR, late[0].type);
    EXPECT_EQ(5, late[0].size);
}

TEST_F(DescribeTest, ParamGetPastTheListAndDefinePastTheList) {
    OCIStmt* st = s.new_stmt();
    ASSERT_EQ(OCI_SUCCESS, s.execute(st, "select empno, ename from emp"));
    void* p = nullptr;
    EXPECT_EQ(OCI_ERROR, api.ParamGet(st, OCI_HTYPE_STMT, s.err, &p, 3));
    EXPECT_EQ("ORA-24334: no descriptor for this position\n", s.error_text());
    EXPECT_EQ(OCI_ERROR, api.ParamGet(st, OCI_HTYPE_STMT, s.err, &p, 0));
    char16_t buf[20];
    OCIDefine* d = nullptr;
    ASSERT_EQ(OCI_SUCCESS, api.DefineByPos(st, &d, s.err, 3, buf, sizeof buf, SQLT_STR, nullptr,
                                           nullptr, nullptr, OCI_DEFAULT));
    EXPECT_EQ(OCI_ERROR, api.StmtFetch(st, s.err, 1, OCI_FETCH_NEXT, OCI_DEFAULT));
    EXPECT_EQ("ORA-01007: variable not in select list\n", s.error_text());
    s.free_stmt(st);
}

TEST_F(DescribeTest, ParseOnlyAndDescribeOnlyDescribeWithoutFetching) {
    OCIStmt* st = s.new_stmt();
    ASSERT_EQ(OCI_SUCCESS, s.execute(st, "select empno from emp", 0, OCI_DESCRIBE_ONLY));
    ub4 count = 0;
    ASSERT_EQ(OCI_SUCCESS,
              api.AttrGet(st, OCI_HTYPE_STMT, &count, nullptr, OCI_ATTR_PARAM_COUNT, s.err));
    EXPECT_EQ(1u, count);
    ub2 type = 0;
    ASSERT_EQ(OCI_SUCCESS,
              api.AttrGet(st, OCI_HTYPE_STMT, &type, nullptr, OCI_ATTR_STMT_TYPE, s.err));
    EXPECT_EQ(OCI_STMT_SELECT, type);
    sb4 v = 0;
    OCIDefine* d = nullptr;
    ASSERT_EQ(OCI_SUCCESS, api.DefineByPos(st, &d, s.err, 1, &v, 4, SQLT_INT, nullptr, nullptr,
                                           nullptr, OCI_DEFAULT));
    EXPECT_EQ(OCI_ERROR, api.StmtFetch(st, s.err, 1, OCI_FETCH_NEXT, OCI_DEFAULT));
    s.free_stmt(st);
}

}  // namespace
}  // namespace ocilite_test
