// The dictionary of databases that ocilite-load wrote: descending and function-based indexes
// listed through their hidden SYS_NC columns, and the USER_ views of a database with several
// owners holding only the connected user's objects.
#include <gtest/gtest.h>

#include "loaded_db.h"
#include "oci_client.h"

namespace ocilite_test {
namespace {

using rows_t = std::vector<text_row>;

// The reader's index query (from Oracle 8 on) for one table.
std::string reader_index_query(const std::string& table) {
    return "SELECT user_indexes.index_name, user_indexes.uniqueness, user_ind_columns.column_name "
           "FROM user_ind_columns, user_indexes where user_ind_columns.table_name = '" +
           table +
           "' AND user_indexes.generated='N' AND user_ind_columns.index_name = "
           "user_indexes.index_name AND user_ind_columns.table_name = user_indexes.table_name "
           "ORDER BY user_indexes.index_name, user_ind_columns.column_position";
}

TEST(IndexColumns, DescendingAndExpressionColumnsAreHiddenSysNcColumns) {
    loaded_db db(
        "CREATE TABLE emp (empno NUMBER PRIMARY KEY, ename VARCHAR2(10), deptno NUMBER,\n"
        "  hired DATE);\n"
        "CREATE INDEX emp_name_desc ON emp (ename DESC, empno);\n"
        "CREATE UNIQUE INDEX emp_dept_desc ON emp (deptno DESC, empno);\n"
        "CREATE INDEX emp_hired_name ON emp (hired, ename DESC);\n"
        "CREATE INDEX emp_upper ON emp (UPPER(ename));\n"
        "CREATE INDEX emp_plain ON emp (hired);\n");
    oci_api api;
    session s(api);
    ASSERT_EQ(OCI_SUCCESS, s.connect(db.path())) << s.error_text();
    // Four columns: the hidden ones are numbered from 5; indexes over the same expression
    // share its column.
    EXPECT_EQ((rows_t{{"EMP_DEPT_DESC", "UNIQUE", "SYS_NC00006$"},
                      {"EMP_DEPT_DESC", "UNIQUE", "EMPNO"},
                      {"EMP_HIRED_NAME", "NONUNIQUE", "HIRED"},
                      {"EMP_HIRED_NAME", "NONUNIQUE", "SYS_NC00005$"},
                      {"EMP_NAME_DESC", "NONUNIQUE", "SYS_NC00005$"},
                      {"EMP_NAME_DESC", "NONUNIQUE", "EMPNO"},
                      {"EMP_PLAIN", "NONUNIQUE", "HIRED"},
                      {"EMP_UPPER", "NONUNIQUE", "SYS_NC00007$"}}),
              s.rows(reader_index_query("EMP")));
    EXPECT_EQ((rows_t{{"EMP_DEPT_DESC", "FUNCTION-BASED NORMAL"},
                      {"EMP_HIRED_NAME", "FUNCTION-BASED NORMAL"},
                      {"EMP_NAME_DESC", "FUNCTION-BASED NORMAL"},
                      {"EMP_PLAIN", "NORMAL"},
                      {"EMP_UPPER", "FUNCTION-BASED NORMAL"}}),
              s.rows("select index_name, index_type from user_indexes where generated = 'N' "
                     "order by index_name"));
    EXPECT_EQ((rows_t{{"SYS_NC00005$", "DESC"}, {"EMPNO", "ASC"}}),
              s.rows("select column_name, descend from user_ind_columns where index_name = "
                     "'EMP_NAME_DESC' order by column_position"));
    EXPECT_EQ((rows_t{{"EMP_DEPT_DESC", "\"DEPTNO\"", "1"},
                      {"EMP_HIRED_NAME", "\"ENAME\"", "2"},
                      {"EMP_NAME_DESC", "\"ENAME\"", "1"},
                      {"EMP_UPPER", "UPPER(\"ENAME\")", "1"}}),
              s.rows("select index_name, column_expression, column_position from "
                     "user_ind_expressions where table_name = 'EMP' order by index_name"));
    // The table's own columns are unchanged: a hidden column is no column of the table.
    EXPECT_EQ("4", *s.rows("select count(*) from user_tab_columns where table_name = 'EMP'")[0][0]);
}

class Owners : public ::testing::Test {
  protected:
    // SCOTT and HR in one database; HR's REGIONS is referenced by SCOTT's OFFICES.
    Owners()
        : db({{{false, "", {{"SCOTT", "tiger", false}, {"HR", "hr", false}}, "HR"},
               "CREATE TABLE regions (region_id NUMBER CONSTRAINT reg_pk PRIMARY KEY,\n"
               "  name VARCHAR2(20));\n"
               "CREATE INDEX reg_name_ix ON regions (name);\n"
               "CREATE VIEW reg_v AS SELECT region_id, name FROM regions;\n"
               "INSERT INTO regions VALUES (1, 'Europe');\n"},
              {{false, "", {}, "SCOTT"},
               "CREATE TABLE offices (office_id NUMBER CONSTRAINT off_pk PRIMARY KEY,\n"
               "  region_id NUMBER CONSTRAINT off_reg_fk REFERENCES regions);\n"
               "CREATE VIEW off_v AS SELECT office_id FROM offices;\n"
               "INSERT INTO offices VALUES (10, 1);\n"}}) {}

    std::vector<std::string> column(session& s, const std::string& sql) {
        std::vector<std::string> out;
        for (const auto& r : s.rows(sql)) out.push_back(r[0].value_or("<NULL>"));
        return out;
    }

    loaded_db db;
    oci_api api;
};

using names = std::vector<std::string>;

TEST_F(Owners, UserViewsHoldOnlyTheConnectedUsersObjects) {
    struct expect {
        const char* user;
        const char* password;
        names tables, views, view_columns, indexes, constraints;
    };
    const expect users[] = {
        {"scott", "tiger", {"OFFICES"}, {"OFF_V"}, {"OFFICE_ID"}, {"OFF_PK"},
         {"OFF_PK", "OFF_REG_FK"}},
        {"hr", "hr", {"REGIONS"}, {"REG_V"}, {"REGION_ID", "NAME"}, {"REG_NAME_IX", "REG_PK"},
         {"REG_PK"}},
    };
    for (const expect& e : users) {
        SCOPED_TRACE(e.user);
        session s(api);
        ASSERT_EQ(OCI_SUCCESS, s.connect(db.path(), e.user, e.password)) << s.error_text();
        EXPECT_EQ(e.tables, column(s, "select table_name from user_tables order by 1"));
        EXPECT_EQ(e.views, column(s, "select VIEW_NAME, TEXT from SYS.USER_VIEWS"));
        EXPECT_EQ(e.view_columns,
                  column(s, "select column_name from user_tab_columns where table_name = '" +
                                e.views[0] + "' order by column_id"));
        // Another owner's view has no columns among the user's.
        EXPECT_EQ(e.views.size(),
                  column(s, "select distinct table_name from user_tab_columns where table_name "
                            "like '%_V'")
                      .size());
        EXPECT_EQ(e.indexes, column(s, "select index_name from user_indexes order by 1"));
        EXPECT_EQ(e.constraints,
                  column(s, "select constraint_name from user_constraints order by 1"));
        // The ALL_ views show both owners, each object under its own.
        EXPECT_EQ((names{"HR.REG_V", "SCOTT.OFF_V"}),
                  column(s, "select owner || '.' || view_name from all_views order by 1"));
        EXPECT_EQ((names{"HR", "SCOTT"}),
                  column(s, "select distinct owner from all_tab_columns where table_name in "
                            "('REG_V', 'OFF_V') order by 1"));
        // Another owner's objects are reached through their owner's name.
        EXPECT_EQ("Europe", *s.rows("select name from hr.reg_v")[0][0]);
        EXPECT_EQ("10", *s.rows("select office_id from \"SCOTT\".\"OFF_V\"")[0][0]);
    }
    // A foreign key names the owner of the key it refers to.
    session scott(api);
    ASSERT_EQ(OCI_SUCCESS, scott.connect(db.path(), "scott", "tiger"));
    EXPECT_EQ((rows_t{{"HR", "REG_PK"}}),
              scott.rows("select r_owner, r_constraint_name from user_constraints where "
                         "constraint_type = 'R'"));
}

}  // namespace
}  // namespace ocilite_test
