#include "ol_script.h"

#include <gtest/gtest.h>

using namespace ocilite::load;

namespace {

TEST(SplitScript, SeparatesSqlPlusCommandsStatementsAndBlocks) {
    const std::string script =
        "REM a remark with 'quote\n"
        "SET ECHO OFF\n"
        "Prompt Creating ...;\n"
        "-- comment line\n"
        "CREATE TABLE t (a NUMBER); INSERT INTO t VALUES (1);\n"
        "/* block\n comment */\n"
        "INSERT INTO t\n  VALUES ('x;y')\n/\n"
        "BEGIN\n  INSERT INTO t VALUES (2);\nEND;\n/\n"
        "CREATE OR REPLACE\n PROCEDURE p IS BEGIN NULL; END;\n/\n"
        "@other.sql\n"
        "exit\n";
    const auto units = split_script(script);
    ASSERT_EQ(units.size(), 10u);
    EXPECT_EQ(units[0].kind, script_unit::sqlplus);
    EXPECT_EQ(units[2].kind, script_unit::sqlplus);
    EXPECT_EQ(units[2].line, 3);
    EXPECT_EQ(units[3].text, "CREATE TABLE t (a NUMBER)");
    EXPECT_EQ(units[3].line, 5);
    EXPECT_EQ(units[4].text, "INSERT INTO t VALUES (1)");
    EXPECT_EQ(units[5].kind, script_unit::sql);
    EXPECT_EQ(units[5].text, "INSERT INTO t\n  VALUES ('x;y')");
    EXPECT_EQ(units[5].line, 8);
    EXPECT_EQ(units[6].kind, script_unit::plsql);
    EXPECT_EQ(units[6].line, 11);
    EXPECT_EQ(units[6].text, "BEGIN\n  INSERT INTO t VALUES (2);\nEND;");
    EXPECT_EQ(units[7].kind, script_unit::plsql);
    EXPECT_EQ(units[7].line, 15);
    EXPECT_EQ(units[8].kind, script_unit::sqlplus);
    EXPECT_EQ(units[8].text, "@other.sql");
    EXPECT_EQ(units[9].text, "exit");
}

TEST(SplitScript, SetTransactionIsSqlNotSqlPlus) {
    const auto units = split_script("SET TRANSACTION READ ONLY;\nSET LINESIZE 80\n");
    ASSERT_EQ(units.size(), 2u);
    EXPECT_EQ(units[0].kind, script_unit::sql);
    EXPECT_EQ(units[1].kind, script_unit::sqlplus);
}

TEST(SplitScript, MultiLineStringKeepsLineNumbersOfLaterStatements) {
    const auto units =
        split_script("INSERT INTO t VALUES ('a\nb\nc');\nINSERT INTO t VALUES ('d');\n");
    ASSERT_EQ(units.size(), 2u);
    EXPECT_EQ(units[1].line, 4);
}

TEST(SplitScript, QQuotedStringMayHoldQuotesAndSemicolons) {
    const auto units = split_script("INSERT INTO t VALUES (q'[it's; fine]');\nCOMMIT;\n");
    ASSERT_EQ(units.size(), 2u);
    EXPECT_EQ(units[0].text, "INSERT INTO t VALUES (q'[it's; fine]')");
}

TEST(SplitScript, UnterminatedStringOrCommentIsAnErrorAtItsStartLine) {
    auto units = split_script("COMMIT;\nINSERT INTO t VALUES ('open\n\n");
    ASSERT_EQ(units.size(), 2u);
    EXPECT_EQ(units[1].kind, script_unit::error);
    EXPECT_EQ(units[1].line, 2);
    EXPECT_NE(units[1].text.find("ORA-01756"), std::string::npos);
    units = split_script("COMMIT;\n/* never closed\n");
    ASSERT_EQ(units.size(), 2u);
    EXPECT_EQ(units[1].kind, script_unit::error);
    EXPECT_NE(units[1].text.find("ORA-01742"), std::string::npos);
}

TEST(SplitScript, LastStatementWithoutTerminatorIsStillReturned) {
    const auto units = split_script("COMMIT;\nINSERT INTO t VALUES (1)");
    ASSERT_EQ(units.size(), 2u);
    EXPECT_EQ(units[1].text, "INSERT INTO t VALUES (1)");
}

}  // namespace
