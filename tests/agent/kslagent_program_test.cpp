// Runs the built kslagent and checks what it prints and how it ends.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "test_support.h"

using namespace agent_test;

namespace {

const std::string kProgram = KSLAGENT_PATH;
const std::string kNoDatabase = "You should enter Oracle database name\n";
const std::string kNoDestination = "You should enter path to destination DBF database\n";
const std::string kBadMode = "Invalid merge/overwrite mode\n";
// What a parse that passes every check meets next: the connection to the
// database named by --src=, which here names none.
const std::string kNoConnection =
    "Error:\nOracle data source does not exist. Check to verify the correct name was given.\n";
const std::string kNoTabFile =
    "Table names file does not exist.\nPlease verify the correct path/name was given.\n";

class kslagent_program : public ::testing::Test {
  protected:
    run_result run_agent(const std::vector<std::string>& args,
                         const std::vector<std::string>& env = {}) {
        return run(kProgram, args, folder_, env);
    }
    // A parse that gets through every check ends at the failed connection.
    void expect_parse_passed(const run_result& r) {
        EXPECT_EQ(r.status, 255);
        EXPECT_EQ(r.out, kNoConnection);
        EXPECT_EQ(r.err, "");
    }
    temp_folder folder_;
};

TEST_F(kslagent_program, usage_text_for_no_arguments_help_and_unknown_arguments) {
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"--help"},
        {"--helpme"},  // begins with "--help": treated as "--help"
        {"--src=db", "--dest=d", "--help", "--mode=9"},  // later arguments not looked at
        {"--bogus"},
        {"--src", "--dest=d"},  // "--src" without "=" matches nothing
        {"--help", "--silent"},
        {"-help"},
        {""},
    };
    for (const auto& args : cases) {
        SCOPED_TRACE(::testing::PrintToString(args));
        const run_result r = run_agent(args);
        EXPECT_EQ(r.status, 255);
        EXPECT_EQ(r.err, kUsage + "\n");
        EXPECT_EQ(r.out, "");
    }
}

TEST_F(kslagent_program, silent_before_help_prints_nothing) {
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"--silent", "--help"}, {"--silent", "--bogus"}, {"--silent", "--mode=7"}}) {
        SCOPED_TRACE(::testing::PrintToString(args));
        const run_result r = run_agent(args);
        EXPECT_EQ(r.status, 255);
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(r.out, "");
    }
}

TEST_F(kslagent_program, mode_accepts_exactly_zero_one_two) {
    for (const std::string mode : {"0", "1", "2"}) {
        SCOPED_TRACE(mode);
        expect_parse_passed(
            run_agent({"--src=db", "--dest=" + folder_.file("d"), "--mode=" + mode}));
    }
    for (const std::string mode : {"01", "+1", "-0", " 1", "1a", "3", "", "-1", "1 ", "0x1", "2.0",
                                   "99999999999999999999"}) {
        SCOPED_TRACE("mode '" + mode + "'");
        const run_result r = run_agent({"--src=db", "--dest=d", "--mode=" + mode});
        EXPECT_EQ(r.status, 255);
        EXPECT_EQ(r.err, kBadMode);
    }
}

TEST_F(kslagent_program, missing_database_name_is_reported_before_missing_destination) {
    struct check {
        std::vector<std::string> args;
        std::string err;
    };
    const std::vector<check> cases = {
        {{"--blob2memo"}, kNoDatabase},
        {{"--dest=d"}, kNoDatabase},
        {{"--src=", "--dest=d"}, kNoDatabase},
        {{"--src=db"}, kNoDestination},
        {{"--src=db", "--dest="}, kNoDestination},
        {{"--oraclu=scott", "--oraclp=tiger"}, kNoDatabase},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        const run_result r = run_agent(c.args);
        EXPECT_EQ(r.status, 255);
        EXPECT_EQ(r.err, c.err);
    }
}

TEST_F(kslagent_program, successful_parse_never_ends_as_a_success) {
    expect_parse_passed(run_agent(
        {"--src=db", "--dest=d", "--oraclu=scott", "--oraclp=tiger", "--blob2memo", "--tab_def"}));
    // Silent: nothing on the console, still a failure status.
    const run_result r = run_agent({"--silent", "--src=db", "--dest=d"});
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.err + r.out, "");
}

TEST_F(kslagent_program, logfile_in_a_missing_folder) {
    const run_result r = run_agent({"--logfile=" + folder_.file("no/such/log.txt"), "--src=db"});
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.out,
              "Error:\nLogfile path does not exist. Please verify the correct path was given.\n");
    EXPECT_EQ(r.err, "");
}

TEST_F(kslagent_program, logfile_that_is_a_folder) {
    const std::string read_only = "Error:\nLogfile name specifies an existing read-only file.\n";
    // A folder opens for reading but never for writing, also for root.
    const run_result r = run_agent({"--logfile=" + folder_.path().string()});
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.out, read_only);
}

TEST_F(kslagent_program, logfile_that_is_a_read_only_file) {
    const std::string read_only = "Error:\nLogfile name specifies an existing read-only file.\n";
    std::string file = folder_.file("ro.log");
    write_file(file, "old");
    ::chmod(file.c_str(), 0444);
    // Permission bits do not stop root; a kernel setting that only reads is
    // read-only for root too.
    if (::geteuid() == 0) file = "/proc/sys/kernel/osrelease";
    if (const int fd = ::open(file.c_str(), O_RDWR); fd >= 0) {
        ::close(fd);
        GTEST_SKIP() << file << " can be written here";
    }
    const std::string before = read_file(file);
    const run_result r2 = run_agent({"--logfile=" + file});
    EXPECT_EQ(r2.status, 255);
    EXPECT_EQ(r2.out, read_only);
    EXPECT_EQ(read_file(file), before);
}

TEST_F(kslagent_program, silent_suppresses_error_report_but_not_the_status) {
    const run_result r = run_agent({"--silent", "--logfile=" + folder_.file("no/log.txt")});
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.out + r.err, "");
}

TEST_F(kslagent_program, log_file_receives_level_3_lines_in_the_logger_format) {
    const std::string log = folder_.file("trace.log");
    write_file(log, "stale contents\r\n");
    const run_result r = run_agent({"--logfile=" + log, "--mode=5"});
    EXPECT_EQ(r.status, 255);
    // Emptied when logging started; only the level-3 line, ended by "\r\n".
    EXPECT_EQ(read_file(log), "Invalid merge/overwrite mode\r\n");

    // An error report keeps its line feeds in the log, not on the console.
    const run_result r2 =
        run_agent({"--logfile=" + log, "--logfile=" + folder_.file("missing/x.log")});
    EXPECT_EQ(r2.status, 255);
    EXPECT_EQ(r2.out,
              "Error:\nLogfile path does not exist. Please verify the correct path was given.\n");
    EXPECT_EQ(
        read_file(log),
        "Error:\nLogfile path does not exist.\nPlease verify the correct path was given.\r\n");

    const run_result r3 = run_agent({"--logfile=" + log, "--src=db", "--dest=d"});
    const std::string text = read_file(log);
    EXPECT_NE(text.find("Error:\nOracle data source does not exist. Check to verify the correct "
                        "name was given.\r\n"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
}

TEST_F(kslagent_program, empty_logfile_value_leaves_logging_off) {
    expect_parse_passed(run_agent({"--logfile=", "--src=db", "--dest=d"}));
}

TEST_F(kslagent_program, unrecognised_arguments_twenty_give_usage_twenty_one_an_internal_error) {
    std::vector<std::string> args;
    for (int i = 0; i < 20; ++i) args.push_back("x" + std::to_string(i));
    const run_result r20 = run_agent(args);
    EXPECT_EQ(r20.status, 255);
    EXPECT_EQ(r20.err, kUsage + "\n");

    args.push_back("x20");
    const run_result r21 = run_agent(args);
    EXPECT_EQ(r21.status, 255);
    EXPECT_EQ(r21.out.rfind("Internal error: Internal error: \ncode=", 0), 0u) << r21.out;
    EXPECT_EQ(r21.err, "");
    // Shown even when silent.
    args.insert(args.begin(), "--silent");
    const run_result silent = run_agent(args);
    EXPECT_EQ(silent.status, 255);
    EXPECT_EQ(silent.out.rfind("Internal error: ", 0), 0u);
}

TEST_F(kslagent_program, table_names_file_problems) {
    const std::string missing = folder_.file("none.txt");
    const run_result r1 = run_agent({"--tab_file=" + missing, "--src=db", "--dest=d"});
    EXPECT_EQ(r1.status, 255);
    EXPECT_EQ(r1.err, kNoTabFile);

    // A folder is not a table-names file.
    const run_result r2 = run_agent({"--tab_file=" + folder_.path().string()});
    EXPECT_EQ(r2.status, 255);
    EXPECT_EQ(r2.err, kNoTabFile);

    // Nor is a device that never ends a line, or a FIFO without a writer: both
    // would hang the agent instead of stopping it.
    const std::string fifo = folder_.file("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& device : {std::string("/dev/zero"), fifo}) {
        const run_result r = run_agent({"--tab_file=" + device, "--src=db", "--dest=d"});
        EXPECT_EQ(r.status, 255) << device;
        EXPECT_EQ(r.err, kNoTabFile) << device;
    }

    const std::string garbage = folder_.file("garbage.bin");
    std::string bytes;
    for (int i = 0; i < 4096; ++i) bytes.push_back(static_cast<char>((i * 131 + 7) & 0xFF));
    write_file(garbage, bytes);
    const run_result r3 = run_agent({"--tab_file=" + garbage, "--src=db", "--dest=d"});
    EXPECT_EQ(r3.status, 255);
    EXPECT_NE(r3.err.find("does not hold a valid table name"), std::string::npos) << r3.err;

    const std::string long_line = folder_.file("long.txt");
    write_file(long_line, "EMP\n" + std::string(100000, 'A') + "\n");
    const run_result r4 = run_agent({"--tab_file=" + long_line, "--src=db", "--dest=d"});
    EXPECT_EQ(r4.status, 255);
    EXPECT_EQ(r4.err, "Table names file: line 2 is longer than 254 characters.\n");
}

TEST_F(kslagent_program, non_ascii_paths_and_overlong_arguments) {
    const std::string tables = folder_.file("таблицы.txt");
    write_file(tables, "\xEF\xBB\xBFКЛИЕНТЫ\r\nEMP\r\n");
    const std::string log = folder_.file("журнал.log");
    expect_parse_passed(
        run_agent({"--tab_file=" + tables, "--logfile=" + log, "--src=db", "--dest=папка"}));
    EXPECT_TRUE(fs::exists(fs::u8path(log)));

    // A value that is not valid UTF-8 is ignored: here the destination.
    const run_result bad = run_agent({"--src=db", "--dest=\xFF\xFE"});
    EXPECT_EQ(bad.status, 255);
    EXPECT_EQ(bad.err, kNoDestination);

    expect_parse_passed(run_agent({"--src=" + std::string(100000, 'S'), "--dest=d"}));
    // (one argument may hold at most 128 KiB on Linux)
    const run_result overlong = run_agent({std::string(100000, '-')});
    EXPECT_EQ(overlong.status, 255);
    EXPECT_EQ(overlong.err, kUsage + "\n");
}

TEST_F(kslagent_program, profile_option) {
    const run_result missing = run_agent({"--profile=" + folder_.file("none.ini")});
    EXPECT_EQ(missing.status, 255);
    EXPECT_EQ(missing.out,
              "Error:\nProfile does not exist. Please verify the correct path/name was given.\n");
    // Neither is a device or a FIFO a profile: they stop the agent, not hang it.
    const std::string fifo = folder_.file("fifo.ini");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& device : {std::string("/dev/zero"), fifo}) {
        const run_result r = run_agent({"--profile=" + device});
        EXPECT_EQ(r.status, 255) << device;
        EXPECT_EQ(r.out, missing.out) << device;
    }

    const std::string profile = folder_.file("job.ini");
    write_file(profile, "[Generic settings]\nsrc=db\ndest=" + folder_.file("out") + "\nmode=1\n");
    expect_parse_passed(run_agent({"--profile=" + profile}));

    // An entry before the first section: the profile is not loaded, and the
    // command line must name the database itself.
    write_file(profile, "src=db\n[Generic settings]\ndest=x\n");
    const run_result broken = run_agent({"--profile=" + profile});
    EXPECT_EQ(broken.status, 255);
    EXPECT_EQ(broken.err, kNoDatabase);
}

}  // namespace
