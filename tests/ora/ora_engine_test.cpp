// The session: connecting, Oracle errors and their codes, counts, version
// banners, name quoting, the connect-descriptor forms and bad input.
#include "ora_engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "koci.h"
#include "ol_loader.h"
#include "ora_database.h"
#include "ora_exception.h"
#include "ora_oci.h"
#include "ora_test_support.h"
#include "tk_error_converter.h"

using namespace ora_test;

namespace {

constexpr const char* kScript = R"sql(
CREATE TABLE dept (deptno NUMBER(2) CONSTRAINT pk_dept PRIMARY KEY, dname VARCHAR2(14));
CREATE TABLE emp (empno NUMBER(4) PRIMARY KEY, ename VARCHAR2(10), deptno NUMBER(2));
CREATE TABLE empty_t (x NUMBER);
INSERT INTO dept VALUES (10, 'ACCOUNTING');
INSERT INTO dept VALUES (20, 'RESEARCH');
INSERT INTO dept VALUES (30, 'SALES');
INSERT INTO emp VALUES (7369, 'SMITH', 20);
INSERT INTO emp VALUES (7782, 'CLARK', 10);
CREATE VIEW dept_names AS SELECT dname FROM dept;
)sql";

std::string explanation(const ora_exception& e) {
    return tk_error_converter(tk_oracle_error_table()).convert(e.code());
}

// The ora_exception that f raises (fails the test when it raises none).
template <class F>
ora_exception oracle_error(F f) {
    try {
        f();
    } catch (const ora_exception& e) {
        return e;
    }
    ADD_FAILURE() << "no ora_exception";
    return ora_exception(0, "none");
}

TEST(OraEngine, ConnectsListsTablesAndViews) {
    const temp_db db(kScript);
    log_capture log(1);
    connection c = connect(db.path());
    EXPECT_TRUE(c.engine->attached());
    EXPECT_EQ(db.wpath(), c.engine->data_source());
    EXPECT_EQ(u"T", c.engine->user());
    EXPECT_EQ(u"t", c.engine->password());
    std::vector<std::u16string> tables = c.db->get_tables();
    std::sort(tables.begin(), tables.end());
    EXPECT_EQ((std::vector<std::u16string>{u"DEPT", u"EMP", u"EMPTY_T"}), tables);
    EXPECT_TRUE(log.contains("Tables count: 3"));
    ASSERT_EQ(1u, c.db->views().size());
    EXPECT_EQ("DEPT_NAMES", u8(c.db->views().begin()->first));
    EXPECT_NE(std::string::npos, u8(c.db->views().begin()->second).find("dname"));
    // Asking again refills the list rather than appending to it.
    EXPECT_EQ(3u, c.db->get_tables().size());
}

TEST(OraEngine, OracleErrorsCarryTheirCodes) {
    const temp_db db(kScript);
    use_built_ocilite();
    ora_engine engine;
    const ora_exception wrong = oracle_error([&] { engine.open_db(db.wpath(), u"T", u"wrong"); });
    EXPECT_EQ(0x1003F9u, wrong.code());
    EXPECT_EQ(0, wrong.level());
    EXPECT_NE(std::string::npos, wrong.message().find("ORA-01017"));
    EXPECT_EQ("Invalid user name or password.", explanation(wrong));
    EXPECT_TRUE(engine.data_source().empty());  // stored only once a session has begun

    const ora_exception unknown =
        oracle_error([&] { engine.open_db(u"/no/such/database.db", u"T", u"t"); });
    EXPECT_EQ(0x102F7Au, unknown.code());
    EXPECT_EQ("Oracle data source does not exist. Check to verify the correct name was given.",
              explanation(unknown));

    // The failed attempts leave the engine usable.
    auto database = engine.open_db(db.wpath(), u"t", u"t");
    const ora_exception missing =
        oracle_error([] { ora_engine::get_records_cnt(u"NO_SUCH_TABLE"); });
    EXPECT_EQ(0x1003AEu, missing.code());
    EXPECT_NE(std::string::npos, missing.message().find("ORA-00942"));
    // A code without an explanation keeps the server's text.
    EXPECT_EQ("", explanation(missing));
}

TEST(OraEngine, LockedAccount) {
    const temp_db db(kScript);
    {
        ocilite::load::loader_options o;
        o.users.push_back({"LOCKME", "secret", true});
        std::ostringstream out;
        ocilite::load::loader(db.path(), o, out);
    }
    use_built_ocilite();
    ora_engine engine;
    const ora_exception locked =
        oracle_error([&] { engine.open_db(db.wpath(), u"LOCKME", u"secret"); });
    EXPECT_EQ(0x106D60u, locked.code());
    EXPECT_EQ(
        "Wrong password was entered the maximum number of times or\nthe DBA has locked the "
        "account.",
        explanation(locked));
}

TEST(OraEngine, RecordCounts) {
    const temp_db db(kScript);
    connection c = connect(db.path());
    EXPECT_EQ(3, ora_engine::get_records_cnt(u"DEPT"));
    EXPECT_EQ(0, ora_engine::get_records_cnt(u"EMPTY_T"));
    EXPECT_EQ(2, ora_engine::get_records_cnt(u"SELECT * FROM dept WHERE deptno > 10", true));
    EXPECT_EQ(0, ora_engine::get_records_cnt(u"SELECT * FROM emp WHERE 1 = 0", true));
}

TEST(OraEngine, QueriesAndParses) {
    const temp_db db(kScript);
    connection c = connect(db.path());
    EXPECT_TRUE(c.db->test_query(u"SELECT dname FROM dept"));
    EXPECT_EQ(0x1003AEu,
              oracle_error([&] { c.db->test_query(u"SELECT * FROM missing_t"); }).code());
    // A statement the server refuses raises; nothing is swallowed.
    EXPECT_THROW(c.db->query(u"DELETE FROM nowhere_at_all"), ora_exception);
}

TEST(OraEngine, NameQuoting) {
    const temp_db db(kScript);
    connection c = connect(db.path());
    EXPECT_EQ(u"\"EMP\"", ora_engine::get_safe_name(u"EMP"));
    // In the USER_ catalog a dot is part of the table's name.
    EXPECT_EQ(u"\"A.B.C\"", ora_engine::get_safe_name(u"A.B.C"));
    EXPECT_EQ(u"USER_TAB_COLUMNS", ora_engine::get_tab_columns_view());
    EXPECT_EQ(u"table_name = 'O''Brien'", ora_engine::get_table_condition(u"O'Brien"));
    c.engine->set_owned_by_user(false);
    // Names of the ALL_ catalog are owner, dot, table: only the first dot splits.
    EXPECT_EQ(u"\"A\".\"B.C\"", ora_engine::get_safe_name(u"A.B.C"));
    EXPECT_EQ(u"\"EMP\"", ora_engine::get_safe_name(u"EMP"));
    EXPECT_EQ(u"ALL_TAB_COLUMNS", ora_engine::get_tab_columns_view());
    EXPECT_EQ(u"concat(owner,concat('.',table_name)) = 'T.X''Y'",
              ora_engine::get_table_condition(u"T.X'Y"));
}

TEST(OraEngine, AllViewsNameTablesByOwner) {
    const temp_db db(kScript);
    connection c = connect(db.path());
    c.engine->set_owned_by_user(false);
    const std::vector<std::u16string>& tables = c.db->get_tables();
    EXPECT_NE(tables.end(), std::find(tables.begin(), tables.end(), u"T.EMP"));
    EXPECT_EQ(2, ora_engine::get_records_cnt(u"T.EMP"));
    auto emp = c.db->get_table(u"T.EMP", 1);
    EXPECT_EQ(2u, emp->counter());
    EXPECT_EQ(2u, read_rows(*emp).size());
}

struct banner_case {
    const char* banner;
    uint32_t version;
};

class Banners : public ::testing::TestWithParam<banner_case> {};

TEST_P(Banners, VersionAndCatalogQueries) {
    const banner_case b = GetParam();
    const temp_db db(kScript, b.banner);
    // Tables that only servers from Oracle 8 on can leave out.
    db.exec(
        "INSERT INTO ocilite_tables(table_name, owner, temporary, nested, iot_type) VALUES "
        "('TMP_T', 'T', 'Y', 'NO', NULL), ('NEST_T', 'T', 'N', 'YES', NULL), "
        "('OVF_T', 'T', 'N', 'NO', 'IOT_OVERFLOW'), ('IOT_T', 'T', 'N', 'NO', 'IOT');"
        "CREATE TABLE TMP_T(X); CREATE TABLE NEST_T(X); CREATE TABLE OVF_T(X); "
        "CREATE TABLE IOT_T(X);");
    connection c = connect(db.path());
    EXPECT_EQ(b.version, c.engine->get_version()) << b.banner;
    std::vector<std::u16string> tables = c.db->get_tables();
    std::sort(tables.begin(), tables.end());
    if (b.version >= 0x80000) {
        EXPECT_EQ((std::vector<std::u16string>{u"DEPT", u"EMP", u"EMPTY_T", u"IOT_T"}), tables);
    } else {
        EXPECT_EQ((std::vector<std::u16string>{u"DEPT", u"EMP", u"EMPTY_T", u"IOT_T", u"NEST_T",
                                               u"OVF_T", u"TMP_T"}),
                  tables);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Oracle, Banners,
    ::testing::Values(
        banner_case{"Oracle Database 19c Enterprise Edition Release 19.0.0.0.0 - Production",
                    0x130000},
        banner_case{"Oracle Database 11g Enterprise Edition Release 11.2.0.1.0 - 64bit Production",
                    0x0B0200},
        banner_case{"Oracle8i Enterprise Edition Release 8.1.7.0.0 - Production", 0x080107},
        banner_case{"Oracle7 Server Release 7.3.4.0.0 - Production", 0x070304},
        banner_case{"Personal Oracle Lite  Release 4.0 (build 12)", 0},
        banner_case{"Oracle Database   1.2 x.1.1 3.4.5", 0x030405}));

TEST(OraEngine, HostFormsBuildTheirDescriptors) {
    const temp_db db(kScript);
    use_built_ocilite();
    ora_engine engine;
    log_capture log(1);
    EXPECT_THROW(engine.open_db(u"myhost", u"T", u"t", u""), ora_exception);
    EXPECT_TRUE(log.contains(
        "Connecting to Oracle data source "
        "'(DESCRIPTION=(CONNECT_DATA=(SERVICE_NAME=))(ADDRESS=(PROTOCOL=TCP)(HOST=myhost)(PORT="
        "1521)))'"));
    EXPECT_THROW(engine.open_db(u"h", u"T", u"t", u"1522", u"XE"), ora_exception);
    EXPECT_TRUE(log.contains("Connecting to Oracle data source '//h:1522/XE'"));
    EXPECT_THROW(engine.open_db(u"", u"T", u"t", u"1600", u"XE"), ora_exception);
    EXPECT_TRUE(log.contains("Connecting to Oracle data source '//localhost:1600/XE'"));
    EXPECT_THROW(engine.open_db(u"h", u"T", u"t", u"", u"XE"), ora_exception);
    EXPECT_TRUE(log.contains("Connecting to Oracle data source '//h:1521/XE'"));
    // Without host and port the service is a name the client resolves.
    auto database = engine.open_db(u"", u"T", u"t", u"", db.wpath());
    EXPECT_EQ(db.wpath(), engine.data_source());
    // The password never reaches the trace log.
    EXPECT_FALSE(log.contains("T, t )"));
    EXPECT_TRUE(log.contains("ora_engine::open_db( " + db.path() + ", T, * )"));
}

TEST(OraEngine, ReconnectsAfterAnEarlierSession) {
    const temp_db first(kScript);
    const temp_db second("CREATE TABLE other_t (x NUMBER);");
    use_built_ocilite();
    ora_engine engine;
    auto a = engine.open_db(first.wpath(), u"T", u"t");
    EXPECT_EQ(3u, a->get_tables().size());
    a.reset();
    auto b = engine.open_db(second.wpath(), u"T", u"t");
    EXPECT_EQ((std::vector<std::u16string>{u"OTHER_T"}), b->get_tables());
}

TEST(OraEngine, OneInstanceAtATime) {
    use_built_ocilite();
    ora_engine engine;
    EXPECT_THROW(ora_engine second, tk_mail_assertion);
    EXPECT_EQ(&engine, &ora_engine::instance());
}

TEST(OraEngine, ServicesNeedAnEngine) {
    ASSERT_FALSE(ora_engine::has_instance());
    EXPECT_THROW(ora_engine::get_safe_name(u"X"), tk_mail_assertion);
    EXPECT_THROW(ora_engine::get_records_cnt(u"X"), tk_mail_assertion);
    EXPECT_THROW(ora_engine::get_table_condition(u"X"), tk_mail_assertion);
}

TEST(OraEngine, CheckErrByStatus) {
    const temp_db db(kScript);
    connection c = connect(db.path());
    for (const int status : {OCI_SUCCESS, OCI_SUCCESS_WITH_INFO, OCI_NO_DATA, OCI_NEED_DATA})
        EXPECT_NO_THROW(c.engine->check_err(status)) << status;
    // Going on after an invalid handle would read values OCI never wrote.
    EXPECT_THROW(c.engine->check_err(OCI_INVALID_HANDLE), tk_mail_assertion);
    // OCI_ERROR raises the error handle's record.
    EXPECT_THROW(ora_engine::get_records_cnt(u"MISSING"), ora_exception);
    EXPECT_EQ(0x1003AEu, oracle_error([&] { c.engine->check_err(OCI_ERROR); }).code());
}

TEST(OraEngine, BadConnectInputRaisesOracleErrors) {
    const temp_db db(kScript);
    use_built_ocilite();
    ora_engine engine;
    const std::u16string huge(200000, u'x');
    std::u16string odd = u"a\u0000b'\"";
    odd += static_cast<char16_t>(0xD800);  // an unpaired surrogate
    odd += u"\u00e9\u4e16";
    for (const std::u16string& text : {huge, odd, std::u16string()}) {
        EXPECT_THROW(engine.open_db(text, u"T", u"t"), ora_exception);
        EXPECT_THROW(engine.open_db(db.wpath(), text, u"t"), ora_exception);
        EXPECT_THROW(engine.open_db(db.wpath(), u"T", text), ora_exception);
    }
    // Quotes and odd bytes in a table name are a clear Oracle error, never a crash.
    auto database = engine.open_db(db.wpath(), u"T", u"t");
    for (const std::u16string& name : {huge, odd, std::u16string(u"\"; DROP TABLE dept; --")})
        EXPECT_THROW(ora_engine::get_records_cnt(name), ora_exception);
    EXPECT_EQ(3, ora_engine::get_records_cnt(u"DEPT"));
}

TEST(OraLibrary, CandidatesFollowTheEnvironment) {
    const char* saved = std::getenv("KESTREL_OCI_LIB");
    const std::string keep = saved ? saved : "";
    setenv("KESTREL_OCI_LIB", "/opt/custom/libclient.so", 1);
    EXPECT_EQ((std::vector<std::string>{"/opt/custom/libclient.so"}), ora_oci_candidates());
    setenv("KESTREL_OCI_LIB", "", 1);
    const std::vector<std::string> defaults = ora_oci_candidates();
    ASSERT_EQ(2u, defaults.size());
    EXPECT_EQ("libclntsh.so", defaults[0]);
    // The bundled engine is looked for beside the running program.
    const std::string program = std::filesystem::read_symlink("/proc/self/exe").string();
    EXPECT_EQ(program.substr(0, program.rfind('/') + 1) + "libocilite.so", defaults[1]);
    if (saved)
        setenv("KESTREL_OCI_LIB", keep.c_str(), 1);
    else
        unsetenv("KESTREL_OCI_LIB");
}

TEST(OraLibrary, NoLoadableCandidateIsTheNotFoundError) {
    try {
        ora_oci_open({"/no/such/libclient.so", "libkestrel_not_installed.so"});
        FAIL() << "loaded nothing, yet no error";
    } catch (const tk_exception& e) {
        EXPECT_EQ(1, e.level());
        EXPECT_EQ(
            "The Oracle client and networking components were not found.\nThese components are "
            "supplied by the Oracle Corporation and\nare part of the Oracle Version 7.3.4 (or "
            "later) client\nsoftware installation. You will be unable to use this program\nuntil "
            "these components have been installed.",
            e.message());
    }
}

TEST(OraLibrary, ALibraryLackingAFunctionIsRefusedByName) {
    try {
        ora_oci_open({ORA_FAKE_MISSING_LIB, OCILITE_LIB});
        FAIL() << "a library without OCIDateTimeGetTime was accepted";
    } catch (const tk_exception& e) {
        EXPECT_EQ(1, e.level());
        EXPECT_NE(std::string::npos, e.message().find("OCIDateTimeGetTime")) << e.message();
        EXPECT_NE(std::string::npos, e.message().find(ORA_FAKE_MISSING_LIB)) << e.message();
    }
    // The candidate after a missing one answers.
    const ora_oci_library good = ora_oci_open({"/no/such/lib.so", OCILITE_LIB});
    EXPECT_EQ(OCILITE_LIB, good.library.path());
    EXPECT_NE(nullptr, good.api.OCILobWrite);
}

}  // namespace
