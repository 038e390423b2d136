// The Oracle sample schemas shipped in examples/ load completely, with the
// catalog the dictionary views are answered from.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "load_test_util.h"

using ol_test::read_file;
using ol_test::temp_db;

namespace {

std::string example(const char* name) {
    return read_file(std::string(OL_EXAMPLES_DIR) + "/" + name);
}

// Every "unsupported statement" line of a report, as its kind in parentheses.
std::vector<std::string> unsupported_kinds(const std::string& diag) {
    static const std::string marker = "unsupported statement skipped (";
    std::vector<std::string> kinds;
    std::istringstream lines(diag);
    for (std::string line; std::getline(lines, line);) {
        const std::size_t p = line.find(marker);
        if (p != std::string::npos && line.back() == ')')
            kinds.push_back(line.substr(p + marker.size(), line.size() - p - marker.size() - 1));
    }
    return kinds;
}

TEST(Samples, ScottLoadsWithOnlyUserAdministrationSkipped) {
    temp_db db;
    ocilite::load::loader_options o;
    ocilite::load::user_spec u;
    ASSERT_TRUE(ocilite::load::parse_user_spec("SCOTT/TIGER", u));
    o.users.push_back(u);
    int errors = -1;
    const std::string diag = db.load(example("utlsampl.sql"), o, nullptr, &errors);
    EXPECT_EQ(errors, 0) << diag;
    for (const std::string& k : unsupported_kinds(diag))
        EXPECT_TRUE(k.rfind("DROP USER", 0) == 0 || k == "GRANT" || k == "DROP PUBLIC SYNONYM")
            << k;
    EXPECT_EQ(unsupported_kinds(diag).size(), 7u) << diag;
    EXPECT_EQ(db.count("EMP"), 14);
    EXPECT_EQ(db.count("DEPT"), 4);
    EXPECT_EQ(db.count("BONUS"), 0);
    EXPECT_EQ(db.count("SALGRADE"), 5);
    EXPECT_EQ(
        db.column("SELECT column_name || ' ' || data_type || ' ' || data_length || ' ' || "
                  "ifnull(data_precision,'-') || ' ' || ifnull(data_scale,'-') || ' ' || nullable "
                  "|| ' ' || "
                  "char_length FROM ocilite_columns WHERE table_name='EMP' ORDER BY column_id"),
        (std::vector<std::string>{"EMPNO NUMBER 22 4 0 N 0", "ENAME VARCHAR2 10 - - Y 10",
                                  "JOB VARCHAR2 9 - - Y 9", "MGR NUMBER 22 4 0 Y 0",
                                  "HIREDATE DATE 7 - - Y 0", "SAL NUMBER 22 7 2 Y 0",
                                  "COMM NUMBER 22 7 2 Y 0", "DEPTNO NUMBER 22 2 0 Y 0"}));
    EXPECT_EQ(db.column("SELECT constraint_name || ' ' || constraint_type || ' ' || "
                        "ifnull(r_constraint_name,'-') || "
                        "' ' || ifnull(delete_rule,'-') || ' ' || ifnull(index_name,'-') FROM "
                        "ocilite_constraints "
                        "ORDER BY 1"),
              (std::vector<std::string>{"FK_DEPTNO R PK_DEPT NO ACTION -", "PK_DEPT P - - PK_DEPT",
                                        "PK_EMP P - - PK_EMP"}));
    EXPECT_EQ(db.value("SELECT hiredate FROM emp WHERE ename='SCOTT'"), "1987-04-19 00:00:00");
    EXPECT_EQ(db.value("SELECT hiredate FROM emp WHERE ename='ADAMS'"), "1987-05-23 00:00:00");
    EXPECT_EQ(db.typed("SELECT comm FROM emp WHERE ename='SMITH'"), "null:");
    EXPECT_EQ(db.value("SELECT password FROM ocilite_users WHERE username='SCOTT'"), "TIGER");
    EXPECT_EQ(db.value("SELECT group_concat(DISTINCT owner) FROM ocilite_tables"), "SCOTT");
}

TEST(Samples, HrLoadsCompletelyWithItsKeysIndexesAndView) {
    temp_db db;
    int errors = -1;
    std::string diag = db.load(example("hr_create.sql"), {}, nullptr, &errors);
    EXPECT_EQ(diag, "");
    diag = db.load(example("hr_populate.sql"), {}, nullptr, &errors);
    EXPECT_EQ(diag, "") << "the populate script's anonymous blocks run as plain inserts";
    EXPECT_EQ(errors, 0);
    // Row counts as hr_populate.sql of this version has them (5 regions).
    for (const auto& [table, rows] :
         std::vector<std::pair<std::string, long long>>{{"REGIONS", 5},
                                                        {"COUNTRIES", 25},
                                                        {"LOCATIONS", 23},
                                                        {"DEPARTMENTS", 27},
                                                        {"JOBS", 19},
                                                        {"EMPLOYEES", 107},
                                                        {"JOB_HISTORY", 10}})
        EXPECT_EQ(db.count(table), rows) << table;
    EXPECT_EQ(db.value("SELECT iot_type FROM ocilite_tables WHERE table_name='COUNTRIES'"), "IOT");
    EXPECT_EQ(db.value("SELECT count(*) FROM ocilite_constraints WHERE constraint_type='R'"), "10");
    EXPECT_EQ(
        db.value("SELECT status FROM ocilite_constraints WHERE constraint_name='DEPT_MGR_FK'"),
        "ENABLED");
    EXPECT_EQ(db.value("SELECT r_constraint_name FROM ocilite_constraints WHERE "
                       "constraint_name='EMP_MANAGER_FK'"),
              "EMP_EMP_ID_PK");
    EXPECT_EQ(db.column("SELECT column_name FROM ocilite_cons_columns WHERE "
                        "constraint_name='JHIST_EMP_ID_ST_DATE_PK' "
                        "ORDER BY position"),
              (std::vector<std::string>{"EMPLOYEE_ID", "START_DATE"}));
    EXPECT_EQ(db.value("SELECT count(*) FROM ocilite_indexes WHERE generated='N'"), "19");
    EXPECT_EQ(
        db.column(
            "SELECT column_name FROM ocilite_ind_columns WHERE index_name='EMP_NAME_IX' ORDER BY "
            "column_position"),
        (std::vector<std::string>{"LAST_NAME", "FIRST_NAME"}));
    EXPECT_EQ(db.value("SELECT count(*) FROM ocilite_columns WHERE table_name='EMP_DETAILS_VIEW'"),
              "16");
    EXPECT_EQ(db.value("SELECT count(*) FROM EMP_DETAILS_VIEW"), "106");
    EXPECT_EQ(
        db.value(
            "SELECT typeof(commission_pct) || commission_pct FROM employees WHERE employee_id=145"),
        "text.4");
    EXPECT_EQ(
        db.value("SELECT last_number FROM ocilite_sequences WHERE sequence_name='EMPLOYEES_SEQ'"),
        "207");
    EXPECT_EQ(db.value("SELECT comments FROM ocilite_columns WHERE table_name='REGIONS' AND "
                       "column_name='REGION_ID'"),
              "Primary key of regions table.");
}

TEST(Samples, CustomerOrdersLoadsItsDataAndKeepsOracleOnlyViewsInTheCatalog) {
    temp_db db;
    int errors = -1;
    const std::string diag =
        db.load(example("co_create.sql") + "\n" + example("co_populate.sql"), {}, nullptr, &errors);
    EXPECT_EQ(errors, 0) << diag;
    EXPECT_TRUE(unsupported_kinds(diag).empty()) << diag;
    for (const auto& [table, rows] :
         std::vector<std::pair<std::string, long long>>{{"CUSTOMERS", 392},
                                                        {"STORES", 23},
                                                        {"PRODUCTS", 46},
                                                        {"ORDERS", 1950},
                                                        {"SHIPMENTS", 1892},
                                                        {"ORDER_ITEMS", 3914},
                                                        {"INVENTORY", 566}})
        EXPECT_EQ(db.count(table), rows) << table;
    EXPECT_EQ(db.value("SELECT count(*) FROM ocilite_views"), "4");
    EXPECT_EQ(db.value("SELECT order_tms FROM orders WHERE order_id=1"),
              "2021-02-04 13:20:22.245677000");
    EXPECT_EQ(
        db.value(
            "SELECT substr(CAST(product_details AS TEXT), 1, 18) FROM products WHERE product_id=4"),
        "{\"colour\":\"white\",");
    EXPECT_EQ(db.value("SELECT instr(CAST(product_details AS TEXT), char(10)) > 0 FROM products "
                       "WHERE product_id=4"),
              "1");
    // START WITH LIMIT VALUE moved each identity past the loaded keys.
    EXPECT_EQ(db.value("SELECT s.last_number FROM ocilite_sequences s JOIN ocilite_columns c ON "
                       "c.data_default LIKE "
                       "'%' || s.sequence_name || '%' WHERE c.table_name='CUSTOMERS'"),
              "393");
}

TEST(Program, ExitStatusReflectsFailuresAndStrictMode) {
    temp_db db;
    const std::string script = db.path() + ".sql";
    {
        std::ofstream out(script);
        out << "CREATE TABLE t (a VARCHAR2(2));\nGRANT SELECT ON t TO x;\nINSERT INTO t VALUES "
               "('ok');\n";
    }
    auto run = [&](const std::string& args) {
        const int status =
            std::system((std::string(OL_LOADER_EXE) + " " + args + " 2>/dev/null").c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    EXPECT_EQ(run(db.path() + " " + script), 0) << "a skipped GRANT is not a failure";
    EXPECT_EQ(run("--strict " + db.path() + ".2 " + script), 1);
    {
        std::ofstream out(script);
        out << "INSERT INTO t VALUES ('too long');\n";
    }
    EXPECT_EQ(run(db.path() + " " + script), 1);
    EXPECT_EQ(run(db.path() + " " + script + ".missing"), 2);
    EXPECT_EQ(run("--user nopassword " + db.path()), 2);
    EXPECT_EQ(db.count("T"), 1);
    std::remove(script.c_str());
    std::remove((db.path() + ".2").c_str());
}

}  // namespace
