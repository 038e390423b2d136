// Connection, session, counting, version and error reporting through the OCI interface.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "fixture_db.h"
#include "oci_client.h"

namespace ocilite_test {
namespace {

class SessionTest : public ::testing::Test {
  protected:
    oci_api api;
};

TEST_F(SessionTest, ConnectsAndCountsRowsLikeTheEngine) {
    fixture_db db;
    session s(api);
    ASSERT_EQ(OCI_SUCCESS, s.connect(db.path())) << s.error_text();
    // The engine's row count: SQLT_INT define, execute with one iteration, no fetch call.
    OCIStmt* st = s.new_stmt();
    sb4 count = 0;
    OCIDefine* def = nullptr;
    const std::u16string q = u16("SELECT COUNT(*) FROM \"EMP\"");
    ASSERT_EQ(OCI_SUCCESS,
              api.StmtPrepare(st, s.err, reinterpret_cast<const OraText*>(q.data()),
                              static_cast<ub4>(q.size() * 2), OCI_NTV_SYNTAX, OCI_DEFAULT));
    ASSERT_EQ(OCI_SUCCESS, api.DefineByPos(st, &def, s.err, 1, &count, 4, SQLT_INT, nullptr,
                                           nullptr, nullptr, OCI_DEFAULT));
    ASSERT_EQ(OCI_SUCCESS, api.StmtExecute(s.svc, st, s.err, 1, 0, nullptr, nullptr, OCI_DEFAULT))
        << s.error_text();
    EXPECT_EQ(3, count);
    s.free_stmt(st);

    // A sub-select count of a query text, and an empty table.
    EXPECT_EQ("2", *s.rows("SELECT COUNT(*) FROM (select * from emp where deptno = 10)")[0][0]);
    EXPECT_EQ("0", *s.rows("SELECT COUNT(*) FROM \"TMP_T\"")[0][0]);
}

TEST_F(SessionTest, ConnectFailuresGiveOracleErrors) {
    fixture_db db;
    const std::string not_a_db = ::testing::TempDir() + "ocilite_not_a_db.txt";
    std::ofstream(not_a_db) << "this is not a database file, just some text that is long enough";
    const std::string empty_file = ::testing::TempDir() + "ocilite_empty.db";
    std::ofstream{empty_file};
    struct row {
        std::string target, user, password;
        int code;
        const char* text;
    };
    const row rows[] = {
        {"/nonexistent/folder/x.db", "scott", "tiger", 12154,
         "ORA-12154: TNS:could not resolve the connect identifier specified\n"},
        {"", "scott", "tiger", 12154,
         "ORA-12154: TNS:could not resolve the connect identifier specified\n"},
        {not_a_db, "scott", "tiger", 12154,
         "ORA-12154: TNS:could not resolve the connect identifier specified\n"},
        {empty_file, "scott", "tiger", 12154,
         "ORA-12154: TNS:could not resolve the connect identifier specified\n"},
        {::testing::TempDir(), "scott", "tiger", 12154,
         "ORA-12154: TNS:could not resolve the connect identifier specified\n"},
        {db.path(), "scott", "TIGER", 1017, "ORA-01017: invalid username/password; logon denied\n"},
        {db.path(), "nobody", "tiger", 1017,
         "ORA-01017: invalid username/password; logon denied\n"},
        {db.path(), "lockme", "secret", 28000, "ORA-28000: the account is locked\n"},
        {db.path(), "lockme", "wrong", 1017,
         "ORA-01017: invalid username/password; logon denied\n"},
    };
    for (const auto& r : rows) {
        session s(api);
        EXPECT_EQ(OCI_ERROR, s.connect(r.target, r.user, r.password)) << r.target << r.user;
        EXPECT_EQ(r.code, s.error_code()) << r.target << " " << r.user;
        EXPECT_EQ(r.text, s.error_text());
    }
    std::remove(not_a_db.c_str());
    std::remove(empty_file.c_str());
}

TEST_F(SessionTest, DatabaseWithoutUsersAcceptsAnyLogon) {
    fixture_options no_users;
    no_users.users = false;
    fixture_db db(no_users);
    session s(api);
    ASSERT_EQ(OCI_SUCCESS, s.connect(db.path(), "whoever", "x")) << s.error_text();
    // Without users every table is the connected user's.
    EXPECT_EQ(1u, s.rows("select TABLE_NAME from user_tables where table_name = 'REGIONS'").size());
}

TEST_F(SessionTest, ExecuteWithoutSessionIsNotLoggedOn) {
    fixture_db db;
    session s(api);
    const std::u16string d = u16(db.path());
    ASSERT_EQ(OCI_SUCCESS,
              api.ServerAttach(s.srv, s.err, reinterpret_cast<const OraText*>(d.data()),
                               static_cast<sb4>(d.size() * 2), OCI_DEFAULT));
    ASSERT_EQ(OCI_SUCCESS, api.AttrSet(s.svc, OCI_HTYPE_SVCCTX, s.srv, 0, OCI_ATTR_SERVER, s.err));
    OCIStmt* st = s.new_stmt();
    EXPECT_EQ(OCI_ERROR, s.execute(st, "select * from emp"));
    EXPECT_EQ(1012, s.error_code());
    s.free_stmt(st);
}

TEST_F(SessionTest, SessionEndAndDetachEndTheConversation) {
    fixture_db db;
    session s(api);
    ASSERT_EQ(OCI_SUCCESS, s.connect(db.path()));
    OCIStmt* st = s.new_stmt();
    // A cursor opened before the session ends keeps its rows.
    ASSERT_EQ(OCI_SUCCESS, s.execute(st, "select empno from emp"));
    ASSERT_EQ(OCI_SUCCESS, api.SessionEnd(s.svc, s.err, s.usr, OCI_DEFAULT));
    OCIStmt* st2 = s.new_stmt();
    EXPECT_EQ(OCI_ERROR, s.execute(st2, "select * from emp"));
    EXPECT_EQ("ORA-01012: not logged on\n", s.error_text());
    ASSERT_EQ(OCI_SUCCESS, api.ServerDetach(s.srv, s.err, OCI_DEFAULT));
    EXPECT_EQ(OCI_ERROR, s.execute(st2, "select * from emp"));
    EXPECT_EQ(3114, s.error_code());
    sb4 v = 0;
    OCIDefine* d = nullptr;
    ASSERT_EQ(OCI_SUCCESS, api.DefineByPos(st, &d, s.err, 1, &v, 4, SQLT_INT, nullptr, nullptr,
                                           nullptr, OCI_DEFAULT));
    EXPECT_EQ(OCI_SUCCESS, api.StmtFetch(st, s.err, 1, OCI_FETCH_NEXT, OCI_DEFAULT));
    EXPECT_NE(0, v);
    // Attaching again gives a working connection.
    ASSERT_EQ(OCI_SUCCESS, s.connect(db.path()));
    EXPECT_EQ(3u, s.rows("select * from emp").size());
    s.free_stmt(st);
    s.free_stmt(st2);
}

// The version query of the engine: first row of v$version into a 128 KiB SQLT_STR buffer.
std::string first_banner(session& s) {
    OCIStmt* st = s.new_stmt();
    std::u16string buf(65536, u'\0');
    OCIDefine* def = nullptr;
    const std::u16string q = u16("select * from v$version");
    EXPECT_EQ(OCI_SUCCESS,
              s.api.StmtPrepare(st, s.err, reinterpret_cast<const OraText*>(q.data()),
                                static_cast<ub4>(q.size() * 2), OCI_NTV_SYNTAX, OCI_DEFAULT));
    EXPECT_EQ(OCI_SUCCESS, s.api.DefineByPos(st, &def, s.err, 1, buf.data(), 131072, SQLT_STR,
                                             nullptr, nullptr, nullptr, OCI_DEFAULT));
    EXPECT_EQ(OCI_SUCCESS, s.api.StmtExecute(s.svc, st, s.err, 1, 0, nullptr, nullptr, OCI_DEFAULT))
        << s.error_text();
    s.free_stmt(st);
    return u8(buf.c_str());
}

TEST_F(SessionTest, VersionBannerComesFromTheSettings) {
    {
        fixture_db db;
        session s(api);
        ASSERT_EQ(OCI_SUCCESS, s.connect(db.path()));
        EXPECT_EQ("Oracle Database 19c Enterprise Edition Release 19.0.0.0.0 - Production",
                  first_banner(s));
    }
    for (const std::string banner :
         {"Oracle7 Server Release 7.3.4.0.0 - Production", "Personal Edition (unparsable)"}) {
        fixture_options o;
        o.banner = banner;
        o.banner2 = "PL/SQL Release 7.3.4.0.0";
        fixture_db db(o);
        session s(api);
        ASSERT_EQ(OCI_SUCCESS, s.connect(db.path()));
        EXPECT_EQ(banner, first_banner(s));
        const auto all = s.rows("select BANNER from v$version");
        ASSERT_EQ(2u, all.size());
        EXPECT_EQ("PL/SQL Release 7.3.4.0.0", *all[1][0]);
    }
}

// V$VERSION has the columns and rows of the release its banner names.
TEST_F(SessionTest, VersionViewHasTheShapeOfItsRelease) {
    struct shape {
        std::string banner;
        std::vector<std::string> columns;
        std::vector<ub2> sizes;
        std::vector<text_row> rows;
    };
    const std::string b19 =
        "Oracle Database 19c Enterprise Edition Release 19.0.0.0.0 - Production";
    const std::string b23 =
        "Oracle Database 23ai Free Release 23.0.0.0.0 - Develop, Learn, and Run for Free";
    const std::string b12 =
        "Oracle Database 12c Enterprise Edition Release 12.1.0.2.0 - 64bit Production";
    const std::string b11 =
        "Oracle Database 11g Enterprise Edition Release 11.2.0.1.0 - 64bit Production";
    const std::string b8 = "Oracle8i Enterprise Edition Release 8.1.7.0.0 - Production";
    const shape shapes[] = {
        {b19,
         {"BANNER", "BANNER_FULL", "BANNER_LEGACY", "CON_ID"},
         {80, 160, 80, 22},
         {{b19, b19 + "\nVersion 19.0.0.0.0", b19, "0"}}},
        {b23,
         {"BANNER", "BANNER_FULL", "BANNER_LEGACY", "CON_ID"},
         {129, 258, 129, 22},
         {{b23, b23 + "\nVersion 23.0.0.0.0", b23, "0"}}},
        {b12,
         {"BANNER", "CON_ID"},
         {80, 22},
         {{b12, "0"},
          {"PL/SQL Release 12.1.0.2.0 - Production", "0"},
          {"CORE\t12.1.0.2.0\tProduction", "0"},
          {"TNS for Linux: Version 12.1.0.2.0 - Production", "0"},
          {"NLSRTL Version 12.1.0.2.0 - Production", "0"}}},
        {b11,
         {"BANNER"},
         {80},
         {{b11},
          {"PL/SQL Release 11.2.0.1.0 - Production"},
          {"CORE\t11.2.0.1.0\tProduction"},
          {"TNS for Linux: Version 11.2.0.1.0 - Production"},
          {"NLSRTL Version 11.2.0.1.0 - Production"}}},
        {b8, {"BANNER"}, {80}, {{b8}}},
    };
    for (const shape& sh : shapes) {
        SCOPED_TRACE(sh.banner);
        fixture_options o;
        o.banner = sh.banner;
        fixture_db db(o);
        session s(api);
        ASSERT_EQ(OCI_SUCCESS, s.connect(db.path()));
        const auto d = s.describe("select * from v$version");
        ASSERT_EQ(sh.columns.size(), d.size());
        for (std::size_t i = 0; i < d.size(); ++i) {
            EXPECT_EQ(sh.columns[i], d[i].name);
            EXPECT_EQ(sh.sizes[i], d[i].size);
            EXPECT_EQ(sh.columns[i] == "CON_ID" ? SQLT_NUM : SQLT_CHR, d[i].type);
        }
        EXPECT_EQ(sh.rows, s.rows("select * from v$version"));
        EXPECT_EQ(sh.banner, first_banner(s));
    }
    // The real release level, when the database gives it, is BANNER_FULL's second line.
    fixture_db db;
    db.exec("INSERT INTO ocilite_settings VALUES('banner_full', '" + b19 +
            "' || char(10) || 'Version 19.3.0.0.0')");
    session s(api);
    ASSERT_EQ(OCI_SUCCESS, s.connect(db.path()));
    EXPECT_EQ(b19 + "\nVersion 19.3.0.0.0", *s.rows("select BANNER_FULL from v$version")[0][0]);
}

TEST_F(SessionTest, SqlErrorsSurfaceAtExecuteWithOracleTexts) {
    fixture_db db;
    session s(api);
    ASSERT_EQ(OCI_SUCCESS, s.connect(db.path()));
    struct row {
        const char* sql;
        const char* text;
    };
    const row rows[] = {
        {"select * from no_such_table", "ORA-00942: table or view does not exist\n"},
        {"select * from SYS.NO_VIEW", "ORA-00942: table or view does not exist\n"},
        {"select nope from emp", "ORA-00904: \"NOPE\": invalid identifier\n"},
        {"select e.nope from emp e", "ORA-00904: \"E\".\"NOPE\": invalid identifier\n"},
        {"select from emp", "ORA-00936: missing expression\n"},
        {"select * from emp where", "ORA-00936: missing expression\n"},
        {"select * from emp where empno =", "ORA-00936: missing expression\n"},
        {"select * from emp x y", "ORA-00933: SQL command not properly ended\n"},
        {"select * from emp;", "ORA-00911: invalid character\n"},
        {"select 'open from emp", "ORA-01756: quoted string not properly terminated\n"},
        {"explain everything", "ORA-00900: invalid SQL statement\n"},
        {"select nosuchfunc(1) from emp", "ORA-00904: \"NOSUCHFUNC\": invalid identifier\n"},
    };
    for (const auto& r : rows) {
        OCIStmt* st = s.new_stmt();
        const std::u16string q = u16(r.sql);
        // Prepare does no round trip: it succeeds even for bad SQL.
        EXPECT_EQ(OCI_SUCCESS,
                  api.StmtPrepare(st, s.err, reinterpret_cast<const OraText*>(q.data()),
                                  static_cast<ub4>(q.size() * 2), OCI_NTV_SYNTAX, OCI_DEFAULT))
            << r.sql;
        EXPECT_EQ(OCI_ERROR, api.StmtExecute(s.svc, st, s.err, 0, 0, nullptr, nullptr, OCI_DEFAULT))
            << r.sql;
        EXPECT_EQ(r.text, s.error_text()) << r.sql;
        // Parse-only execution reports the same error (the engine's test_query).
        EXPECT_EQ(OCI_ERROR,
                  api.StmtExecute(s.svc, st, s.err, 1, 0, nullptr, nullptr, OCI_PARSE_ONLY))
            << r.sql;
        EXPECT_EQ(r.text, s.error_text()) << r.sql;
        s.free_stmt(st);
    }
    OCIStmt* st = s.new_stmt();
    EXPECT_EQ(OCI_SUCCESS, s.execute(st, "select * from emp", 1, OCI_PARSE_ONLY));
    s.free_stmt(st);
}

// OCI_PARSE_ONLY parses a statement that changes data and runs nothing; it fails only for a
// statement that does not parse or names what does not exist.  Run for real, such a
// statement is refused: the engine serves its databases read-only.
TEST_F(SessionTest, ParseOnlyParsesStatementsThatChangeData) {
    fixture_db db;
    session s(api);
    ASSERT_EQ(OCI_SUCCESS, s.connect(db.path()));
    struct row {
        const char* sql;
        ub2 type;
        const char* error;  // empty: the parse succeeds
    };
    const row rows[] = {
        {"DELETE FROM emp WHERE empno = 7369", OCI_STMT_DELETE, ""},
        {"delete emp where empno = :1", OCI_STMT_DELETE, ""},
        {"UPDATE emp SET ename = 'X' WHERE deptno = 10", OCI_STMT_UPDATE, ""},
        {"UPDATE emp e SET e.ename = :name WHERE e.ROWID = :rid", OCI_STMT_UPDATE, ""},
        {"INSERT INTO emp (empno, ename) VALUES (:1, :2)", OCI_STMT_INSERT, ""},
        {"INSERT /*+ APPEND */ INTO emp (empno) VALUES (:1) RETURNING ROWID INTO :2",
         OCI_STMT_INSERT, ""},
        {"DELETE FROM no_such", OCI_STMT_DELETE, "ORA-00942: table or view does not exist\n"},
        {"UPDATE emp SET nope = 1", OCI_STMT_UPDATE, "ORA-00904: \"NOPE\": invalid identifier\n"},
        {"INSERT INTO emp (nope) VALUES (1)", OCI_STMT_INSERT,
         "ORA-00904: \"NOPE\": invalid identifier\n"},
        {"INSERT INTO emp VALUES (1, 'A')", OCI_STMT_INSERT, "ORA-00947: not enough values\n"},
        {"INSERT INTO emp VALUES (1, 'A', 10, 4)", OCI_STMT_INSERT, "ORA-00913: too many values\n"},
        {"delete from emp;", OCI_STMT_DELETE, "ORA-00911: invalid character\n"},
        {"create table x (a number)", OCI_STMT_CREATE, "ORA-01031: insufficient privileges\n"},
    };
    for (const auto& r : rows) {
        OCIStmt* st = s.new_stmt();
        const sword rc = s.execute(st, r.sql, 0, OCI_PARSE_ONLY);
        if (*r.error) {
            EXPECT_EQ(OCI_ERROR, rc) << r.sql;
            EXPECT_EQ(r.error, s.error_text()) << r.sql;
        } else {
            EXPECT_EQ(OCI_SUCCESS, rc) << r.sql << ": " << s.error_text();
            ub4 count = 7;
            api.AttrGet(st, OCI_HTYPE_STMT, &count, nullptr, OCI_ATTR_PARAM_COUNT, s.err);
            EXPECT_EQ(0u, count) << r.sql;
        }
        ub2 type = 0;
        api.AttrGet(st, OCI_HTYPE_STMT, &type, nullptr, OCI_ATTR_STMT_TYPE, s.err);
        EXPECT_EQ(r.type, type) << r.sql;
        s.free_stmt(st);
    }
    // Nothing ran.
    EXPECT_EQ(3u, s.rows("select * from emp").size());
    EXPECT_EQ(1031, s.query_error("delete from emp"));
    OCIStmt* st = s.new_stmt();
    EXPECT_EQ(OCI_ERROR, s.execute(st, "UPDATE emp SET ename = 'X'", 1));
    EXPECT_EQ("ORA-01031: insufficient privileges\n", s.error_text());
    s.free_stmt(st);
}

// Malformed statements made of random SQL pieces: each one either runs or fails with an ORA
// error; none may crash or report success without a cursor.
TEST_F(SessionTest, RandomMalformedStatementsFailCleanly) {
    fixture_db db;
    session s(api);
    ASSERT_EQ(OCI_SUCCESS, s.connect(db.path()));
    const char* pieces[] = {
        "select", "*",  "from",   "emp",    "where", "(",     ")",         ",",        "'x",
        "'y'",    "\"", "\"E\"",  "||",     "=",     "and",   "or",        "1e",       ".5",
        "--",     "/*", "*/",     "sys.",   "dual",  "count", "v$version", "group by", "order",
        "é",      "\t", "null",   "?",      ":b",    "@",     ";",         "rowid",    "e.",
        "join",   "on", "delete", "update", "set",   "into",  "returning"};
    unsigned seed = 12345;
    auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) & 0x7FFF;
    };
    for (int i = 0; i < 400; ++i) {
        std::string sql = i % 2 ? "select " : "";
        const int n = 1 + static_cast<int>(next() % 9);
        for (int k = 0; k < n; ++k) {
            sql += pieces[next() % std::size(pieces)];
            sql += ' ';
        }
        OCIStmt* st = s.new_stmt();
        const sword rc = s.execute(st, sql);
        if (rc == OCI_ERROR) {
            const std::string text = s.error_text();
            EXPECT_EQ(0u, text.rfind("ORA-", 0)) << sql << " -> " << text;
            EXPECT_EQ('\n', text.back()) << sql;
        } else {
            EXPECT_EQ(OCI_SUCCESS, rc) << sql;
            ub4 count = 0;
            api.AttrGet(st, OCI_HTYPE_STMT, &count, nullptr, OCI_ATTR_PARAM_COUNT, s.err);
            EXPECT_GT(count, 0u) << sql;
        }
        s.free_stmt(st);
    }
}

TEST_F(SessionTest, ErrorGetHonoursRecordNumbersAndSmallBuffers) {
    fixture_db db;
    session s(api);
    ASSERT_EQ(OCI_SUCCESS, s.connect(db.path()));
    EXPECT_EQ(942, s.query_error("select * from missing"));
    sb4 code = 0;
    char16_t buf[8];
    std::fill(std::begin(buf), std::end(buf), u'#');
    ASSERT_EQ(OCI_SUCCESS, api.ErrorGet(s.err, 1, nullptr, &code, reinterpret_cast<OraText*>(buf),
                                        10, OCI_HTYPE_ERROR));
    EXPECT_EQ(u"ORA-", std::u16string(buf));  // 4 units + terminator in 10 bytes
    EXPECT_EQ(u'#', buf[5]);
    EXPECT_EQ(OCI_NO_DATA, api.ErrorGet(s.err, 2, nullptr, &code, reinterpret_cast<OraText*>(buf),
                                        sizeof buf, OCI_HTYPE_ERROR));
}

TEST_F(SessionTest, WrongHandlesAreInvalidHandles) {
    fixture_db db;
    session s(api);
    ASSERT_EQ(OCI_SUCCESS, s.connect(db.path()));
    int not_a_handle = 0;
    sb4 code = 0;
    EXPECT_EQ(OCI_INVALID_HANDLE, api.HandleFree(&not_a_handle, OCI_HTYPE_STMT));
    EXPECT_EQ(OCI_INVALID_HANDLE, api.HandleFree(nullptr, OCI_HTYPE_STMT));
    // A handle of another type than the call names.
    EXPECT_EQ(OCI_INVALID_HANDLE, api.HandleFree(s.err, OCI_HTYPE_STMT));
    EXPECT_EQ(OCI_INVALID_HANDLE,
              api.ErrorGet(s.svc, 1, nullptr, &code, nullptr, 0, OCI_HTYPE_ERROR));
    EXPECT_EQ(OCI_INVALID_HANDLE, api.StmtExecute(s.svc, reinterpret_cast<OCIStmt*>(s.err), s.err,
                                                  0, 0, nullptr, nullptr, OCI_DEFAULT));
    // A freed statement.
    OCIStmt* st = s.new_stmt();
    s.free_stmt(st);
    EXPECT_EQ(OCI_INVALID_HANDLE, s.execute(st, "select * from emp"));
    EXPECT_EQ(OCI_INVALID_HANDLE, api.StmtFetch(st, s.err, 1, OCI_FETCH_NEXT, OCI_DEFAULT));
    void* h = nullptr;
    EXPECT_EQ(OCI_INVALID_HANDLE, api.HandleAlloc(&not_a_handle, &h, OCI_HTYPE_STMT, 0, nullptr));
    EXPECT_EQ(OCI_INVALID_HANDLE, api.HandleAlloc(s.env, &h, 77, 0, nullptr));
}

TEST_F(SessionTest, UnknownAttributesAreIllegal) {
    fixture_db db;
    session s(api);
    ASSERT_EQ(OCI_SUCCESS, s.connect(db.path()));
    ub4 v = 0;
    EXPECT_EQ(OCI_ERROR, api.AttrSet(s.svc, OCI_HTYPE_SVCCTX, &v, 4, 9999, s.err));
    EXPECT_EQ(24315, s.error_code());
    EXPECT_EQ("ORA-24315: illegal attribute type\n", s.error_text());
    OCIStmt* st = s.new_stmt();
    EXPECT_EQ(OCI_ERROR, api.AttrGet(st, OCI_HTYPE_STMT, &v, nullptr, 4242, s.err));
    EXPECT_EQ(24315, s.error_code());
    // The server attribute must be a server handle.
    EXPECT_EQ(OCI_INVALID_HANDLE,
              api.AttrSet(s.svc, OCI_HTYPE_SVCCTX, st, 0, OCI_ATTR_SERVER, s.err));
    s.free_stmt(st);
}

// True when the library is mapped into this process.
bool library_mapped() {
    std::ifstream maps("/proc/self/maps");
    const std::string name = std::filesystem::path(OCILITE_LIB).filename().string();
    for (std::string line; std::getline(maps, line);)
        if (line.find(name) != std::string::npos) return true;
    return false;
}

// Every entry point that koci.h declares is exported, so a client that resolves its whole table
// of functions at start-up never meets a missing symbol.
TEST_F(SessionTest, ExportsEveryDeclaredFunction) {
    for (const char* name :
         {"OCIEnvNlsCreate", "OCIHandleAlloc", "OCIHandleFree", "OCIDescriptorAlloc",
          "OCIDescriptorFree", "OCIServerAttach", "OCIServerDetach", "OCISessionBegin",
          "OCISessionEnd", "OCIAttrSet", "OCIAttrGet", "OCIParamGet", "OCIErrorGet",
          "OCIStmtPrepare", "OCIStmtExecute", "OCIStmtFetch", "OCIStmtFetch2", "OCIDefineByPos",
          "OCIBindByName", "OCIBindDynamic", "OCILobRead", "OCILobWrite", "OCILobCharSetForm",
          "OCILobGetLength", "OCIDateTimeGetDate", "OCIDateTimeGetTime"})
        EXPECT_NE(nullptr, dlsym(api.lib, name)) << name;
}

// The writer's calls cannot run yet: they check what Oracle checks and answer with Oracle
// errors, never a missing symbol or a success that did nothing.
TEST_F(SessionTest, BindsAndLobWritesAnswerOracleErrors) {
    fixture_db db;
    session s(api);
    ASSERT_EQ(OCI_SUCCESS, s.connect(db.path()));
    auto bind = reinterpret_cast<OCIBindByName_fn>(dlsym(api.lib, "OCIBindByName"));
    auto dynamic = reinterpret_cast<OCIBindDynamic_fn>(dlsym(api.lib, "OCIBindDynamic"));
    auto write = reinterpret_cast<OCILobWrite_fn>(dlsym(api.lib, "OCILobWrite"));
    ASSERT_NE(nullptr, bind);
    ASSERT_NE(nullptr, dynamic);
    ASSERT_NE(nullptr, write);

    OCIStmt* st = s.new_stmt();
    const std::u16string sql =
        u16("INSERT /*+ APPEND */ INTO emp(empno, ename) VALUES (:1, ':2' || :Name) "
            "RETURNING ROWID INTO :rid -- :3");
    ASSERT_EQ(OCI_SUCCESS,
              api.StmtPrepare(st, s.err, reinterpret_cast<const OraText*>(sql.data()),
                              static_cast<ub4>(sql.size() * 2), OCI_NTV_SYNTAX, OCI_DEFAULT));
    struct row {
        const char* name;
        int code;
    };
    const row rows[] = {{":1", 3001},   {":NAME", 3001}, {":name", 3001},
                        {":RID", 3001}, {":2", 1036},    {":3", 1036},
                        {":4", 1036},   {"", 1036},      {":\"rid\"", 1036}};
    for (const auto& r : rows) {
        const std::u16string name = u16(r.name);
        OCIBind* b = nullptr;
        char value[8] = {};
        EXPECT_EQ(OCI_ERROR, bind(st, &b, s.err, reinterpret_cast<const OraText*>(name.data()),
                                  static_cast<sb4>(name.size() * 2), value, sizeof value, SQLT_STR,
                                  nullptr, nullptr, nullptr, 0, nullptr, OCI_DEFAULT))
            << r.name;
        EXPECT_EQ(r.code, s.error_code()) << r.name;
        EXPECT_EQ(nullptr, b) << r.name;
    }
    // An unprepared statement has no placeholders at all.
    OCIStmt* fresh = s.new_stmt();
    const std::u16string one = u":1";
    OCIBind* b = nullptr;
    EXPECT_EQ(OCI_ERROR,
              bind(fresh, &b, s.err, reinterpret_cast<const OraText*>(one.data()), 4, nullptr, 0,
                   SQLT_RDD, nullptr, nullptr, nullptr, 0, nullptr, OCI_DATA_AT_EXEC));
    EXPECT_EQ("ORA-01036: illegal variable name/number\n", s.error_text());
    // A length without a name names nothing either.
    EXPECT_EQ(OCI_ERROR, bind(st, &b, s.err, nullptr, 4, nullptr, 0, SQLT_STR, nullptr, nullptr,
                              nullptr, 0, nullptr, OCI_DEFAULT));
    EXPECT_EQ(1036, s.error_code());
    // No bind handle exists, so none can be given to OCIBindDynamic.
    EXPECT_EQ(OCI_INVALID_HANDLE,
              dynamic(reinterpret_cast<OCIBind*>(st), s.err, nullptr, nullptr, nullptr, nullptr));
    s.free_stmt(fresh);
    s.free_stmt(st);

    // A fetched LOB was selected without FOR UPDATE: its row is not locked.
    st = s.new_stmt();
    ASSERT_EQ(OCI_SUCCESS, s.execute(st, "select cl from alltypes where id = 1"));
    OCILobLocator* lob = nullptr;
    OCILobLocator* unfetched = nullptr;
    api.DescriptorAlloc(s.env, reinterpret_cast<void**>(&lob), OCI_DTYPE_LOB, 0, nullptr);
    api.DescriptorAlloc(s.env, reinterpret_cast<void**>(&unfetched), OCI_DTYPE_LOB, 0, nullptr);
    OCIDefine* d = nullptr;
    sb2 ind = 0;
    api.DefineByPos(st, &d, s.err, 1, &lob, -1, SQLT_CLOB, &ind, nullptr, nullptr, OCI_DEFAULT);
    ASSERT_EQ(OCI_SUCCESS, api.StmtFetch(st, s.err, 1, OCI_FETCH_NEXT, OCI_DEFAULT));
    char text[] = "new text";
    ub4 amount = sizeof text - 1;
    EXPECT_EQ(OCI_ERROR, write(s.svc, s.err, lob, &amount, 1, text, amount, OCI_ONE_PIECE, nullptr,
                               nullptr, 0, SQLCS_IMPLICIT));
    EXPECT_EQ("ORA-22920: row containing the LOB value is not locked\n", s.error_text());
    EXPECT_EQ(OCI_INVALID_HANDLE, write(s.svc, s.err, unfetched, &amount, 1, text, amount,
                                        OCI_ONE_PIECE, nullptr, nullptr, 0, SQLCS_IMPLICIT));
    // The LOB itself is unchanged.
    ub4 len = 0;
    ASSERT_EQ(OCI_SUCCESS, api.LobGetLength(s.svc, s.err, lob, &len));
    EXPECT_EQ(57u, len);
    s.free_stmt(st);
}

// Not a SessionTest: no other load of the library may be alive, so that every dlclose
// really unloads it.
TEST(LibraryLifetime, LoadsAndUnloadsRepeatedly) {
    fixture_db db;
    ASSERT_FALSE(library_mapped());
    for (int i = 0; i < 20; ++i) {
        {
            oci_api fresh;
            ASSERT_NE(nullptr, fresh.lib);
            session s(fresh);
            ASSERT_EQ(OCI_SUCCESS, s.connect(db.path())) << i;
            EXPECT_EQ(3u, s.rows("select * from emp").size());
            // A statement left open and a LOB locator: unloading must clean them up.
            OCIStmt* st = s.new_stmt();
            EXPECT_EQ(OCI_SUCCESS, s.execute(st, "select * from dept"));
            void* lob = nullptr;
            EXPECT_EQ(OCI_SUCCESS, fresh.DescriptorAlloc(s.env, &lob, OCI_DTYPE_LOB, 0, nullptr));
        }
        EXPECT_FALSE(library_mapped()) << "still mapped after dlclose, round " << i;
    }
}

}  // namespace
}  // namespace ocilite_test
