// Drives parse_cmd_line and process_tab_file inside the test process, with the
// process end replaced by an exception, and checks the converter's settings.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "error_handler.h"
#include "kestrel_convertor.h"
#include "kslagent.h"
#include "test_support.h"
#include "tk_codepage.h"
#include "tk_error_converter.h"
#include "tk_logger.h"

using namespace agent_test;

namespace {

struct process_end {
    int status;
};

[[noreturn]] void throw_process_end(int status) {
    throw process_end{status};
}

class parse_cmd_line_test : public ::testing::Test {
  protected:
    void SetUp() override {
        previous_exit_ = conv_set_exit_function(&throw_process_end);
        logger_ = std::make_unique<tk_logger>(nullptr, false, 3, false);
        handler_ = std::make_unique<error_handler>(tk_oracle_error_table());
        converter_ = std::make_unique<kestrel_convertor>();
    }
    void TearDown() override {
        converter_.reset();
        handler_.reset();
        logger_.reset();
        conv_set_exit_function(previous_exit_);
        tk_set_ansi_code_page(0);
    }

    bool parse(std::vector<std::string> args) {
        args.insert(args.begin(), "kslagent");
        std::vector<const char*> argv;
        for (const auto& a : args) argv.push_back(a.c_str());
        return parse_cmd_line(static_cast<int>(argv.size()), argv.data());
    }
    // Runs a parse that must end the process; returns what it wrote on
    // standard error.  A fresh converter for each call, so that calls do not see each other's
    // settings.
    std::string parse_expecting_end(const std::vector<std::string>& args) {
        converter_.reset();
        converter_ = std::make_unique<kestrel_convertor>();
        ::testing::internal::CaptureStderr();
        try {
            parse(args);
        } catch (const process_end& e) {
            EXPECT_EQ(e.status, -1);
            return ::testing::internal::GetCapturedStderr();
        }
        ::testing::internal::GetCapturedStderr();
        ADD_FAILURE() << "the parse did not end the process";
        return {};
    }
    std::vector<std::u16string> tables_of(const std::string& bytes, int code_page = 1252) {
        tk_set_ansi_code_page(code_page);
        const std::string path = folder_.file("tables.txt");
        write_file(path, bytes);
        process_tab_file(path);
        return converter_->table_list();
    }

    temp_folder folder_;
    conv_exit_function previous_exit_ = nullptr;
    std::unique_ptr<tk_logger> logger_;
    std::unique_ptr<error_handler> handler_;
    std::unique_ptr<kestrel_convertor> converter_;
};

TEST_F(parse_cmd_line_test, options_reach_the_converter) {
    ASSERT_TRUE(parse({"--src=ORCL", "--dest=/data/dbf", "--oraclu=scott", "--oraclp=tiger",
                       "--mode=1", "--blob2memo", "--tab_def"}));
    EXPECT_EQ(converter_->database(), u"ORCL");
    EXPECT_EQ(converter_->user(), u"scott");
    EXPECT_EQ(converter_->password(), u"tiger");
    EXPECT_EQ(converter_->destination(), u"/data/dbf");
    EXPECT_EQ(converter_->mode(), 1);
    EXPECT_TRUE(converter_->blob_to_memo());
    EXPECT_TRUE(converter_->definitions_only());
    EXPECT_FALSE(converter_->silent());
    EXPECT_FALSE(handler_->silent());
}

TEST_F(parse_cmd_line_test, later_option_overrides_earlier_and_values_keep_their_bytes) {
    ASSERT_TRUE(parse({"--dest=a", "--src=x", "--dest=b b", "--mode=2", "--mode=0",
                       "--src=--dest=y", "--oraclp=p=q"}));
    EXPECT_EQ(converter_->destination(), u"b b");
    EXPECT_EQ(converter_->mode(), 0);
    EXPECT_EQ(converter_->database(), u"--dest=y");
    EXPECT_EQ(converter_->password(), u"p=q");
}

TEST_F(parse_cmd_line_test, silent_reaches_converter_and_error_handler) {
    ASSERT_TRUE(parse({"--silent", "--src=x", "--dest=d"}));
    EXPECT_TRUE(converter_->silent());
    EXPECT_TRUE(handler_->silent());
}

TEST_F(parse_cmd_line_test, unrecognised_argument_returns_false_after_applying_the_others) {
    EXPECT_FALSE(parse({"--mode=2", "--src", "--dest=d", "--tab_def"}));
    EXPECT_EQ(converter_->mode(), 2);
    EXPECT_EQ(converter_->destination(), u"d");
    EXPECT_TRUE(converter_->definitions_only());
    // The Oracle settings are stored only after a complete parse.
    EXPECT_EQ(converter_->database(), u"");
}

TEST_F(parse_cmd_line_test, fatal_messages) {
    EXPECT_EQ(parse_expecting_end({"--mode=3"}), "Invalid merge/overwrite mode\n");
    EXPECT_EQ(parse_expecting_end({"--dest=d"}), "You should enter Oracle database name\n");
    EXPECT_EQ(parse_expecting_end({"--src=x"}),
              "You should enter path to destination DBF database\n");
    EXPECT_EQ(parse_expecting_end({"--help"}), kUsage + "\n");
}

TEST_F(parse_cmd_line_test, profile_replaces_the_command_line_oracle_settings) {
    const std::string profile = folder_.file("job.ini");
    write_file(profile,
               "[Generic settings]\nsrc=FROMPROFILE\ndest=/p\nmode=2\nBLOB to text=1\n"
               "[Oracle settings]\nuser=puser\npassword=ppass\n"
               "[Selected Tables]\nB\nA\nC=RENAMED\n");
    ASSERT_TRUE(
        parse({"--mode=1", "--profile=" + profile, "--src=cmd", "--oraclu=cu", "--dest=/after"}));
    EXPECT_EQ(converter_->source_name(), u"FROMPROFILE");
    EXPECT_EQ(converter_->destination(), u"/after");  // the option after the profile wins
    EXPECT_EQ(converter_->mode(), 2);                 // the profile beats the option before it
    EXPECT_TRUE(converter_->blob_to_memo());
    EXPECT_EQ(converter_->user(), u"puser");  // "--oraclu=" dropped
    EXPECT_EQ(converter_->password(), u"ppass");
    // "--src=" dropped: the profile's "src" is the connect identifier.
    EXPECT_EQ(converter_->database(), u"FROMPROFILE");
    EXPECT_EQ(converter_->table_list(), (std::vector<std::u16string>{u"A", u"B"}));
    EXPECT_EQ(converter_->name_map().at(u"C"), u"RENAMED");
}

TEST_F(parse_cmd_line_test, table_names_file_with_utf8_mark) {
    // "Café", "Ärzte", "Ελλάδα" after the mark; the mark itself is dropped.
    const std::string bytes =
        "\xEF\xBB\xBF"
        "Caf\xC3\xA9\n\xC3\x84rzte\r\n\xCE\x95\xCE\xBB\xCE\xBB\xCE\xAC\xCE\xB4\xCE\xB1\n";
    for (const int cp : {1252, 1251}) {  // the mark makes the code page irrelevant
        EXPECT_EQ(tables_of(bytes, cp),
                  (std::vector<std::u16string>{u"Café", u"Ärzte", u"Ελλάδα"}));
    }
}

TEST_F(parse_cmd_line_test, table_names_file_without_mark_uses_the_ansi_code_page) {
    // The UTF-8 bytes of "Café" read as code page 1252.
    EXPECT_EQ(tables_of("Caf\xC3\xA9\n", 1252), (std::vector<std::u16string>{u"CafÃ©"}));
    // Single-byte names: E9 is "é" in 1252 and "й" in 1251.
    EXPECT_EQ(tables_of("Caf\xE9\n\xCA\xCB\xC8\xC5\xCD\xD2\n", 1252),
              (std::vector<std::u16string>{u"Café", u"ÊËÈÅÍÒ"}));
    EXPECT_EQ(tables_of("Caf\xE9\n\xCA\xCB\xC8\xC5\xCD\xD2\n", 1251),
              (std::vector<std::u16string>{u"Cafй", u"КЛИЕНТ"}));
}

TEST_F(parse_cmd_line_test, table_names_file_without_mark_follows_kestrel_codepage) {
    // The environment is read once per process: each code page in a fresh one.
    const std::string path = folder_.file("env.txt");
    write_file(path, "Caf\xE9\n\xCA\xCB\xC8\xC5\xCD\xD2\n");
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const struct {
        const char* code_page;
        std::vector<std::u16string> names;
    } cases[] = {{"1252", {u"Café", u"ÊËÈÅÍÒ"}}, {"1251", {u"Cafй", u"КЛИЕНТ"}}};
    for (const auto& c : cases) {
        EXPECT_EXIT(
            {
                setenv("KESTREL_CODEPAGE", c.code_page, 1);
                tk_set_ansi_code_page(0);
                process_tab_file(path);
                std::exit(converter_->table_list() == c.names ? 0 : 1);
            },
            ::testing::ExitedWithCode(0), "")
            << c.code_page;
    }
}

TEST_F(parse_cmd_line_test, table_names_file_mark_only_counts_on_the_first_non_empty_line) {
    // Blank lines before the mark do not hide it.
    EXPECT_EQ(tables_of("\n\r\n\xEF\xBB\xBF\xC3\xA9\n"), (std::vector<std::u16string>{u"é"}));
    // A mark on a later line is not a mark: in 1252 it reads as three letters.
    EXPECT_EQ(tables_of("A\n\xEF\xBB\xBFX\n"), (std::vector<std::u16string>{u"A", u"ï»¿X"}));
    // A line that holds only the mark names no table.
    EXPECT_EQ(tables_of("\xEF\xBB\xBF\nEMP\n"), (std::vector<std::u16string>{u"EMP"}));
}

TEST_F(parse_cmd_line_test, table_names_file_keeps_order_duplicates_and_spaces) {
    EXPECT_EQ(tables_of("EMP\n\nDEPT\r\n\r\nEMP\n  padded \nlast-without-line-end"),
              (std::vector<std::u16string>{u"EMP", u"DEPT", u"EMP", u"  padded ",
                                           u"last-without-line-end"}));
    EXPECT_TRUE(tables_of("").empty());
    EXPECT_TRUE(tables_of("\n\n\r\n").empty());
}

TEST_F(parse_cmd_line_test, second_table_names_file_replaces_the_first) {
    const std::string first = folder_.file("first.txt");
    const std::string second = folder_.file("second.txt");
    write_file(first, "A\nB\n");
    write_file(second, "C\n");
    ASSERT_TRUE(parse({"--tab_file=" + first, "--tab_file=" + second, "--src=x", "--dest=d"}));
    EXPECT_EQ(converter_->table_list(), (std::vector<std::u16string>{u"C"}));
}

TEST_F(parse_cmd_line_test, table_name_length_limit) {
    const std::string name254(254, 'N');
    EXPECT_EQ(tables_of(name254 + "\r\n"),
              (std::vector<std::u16string>{std::u16string(254, u'N')}));
    // 254 two-byte characters in UTF-8 still fit.
    std::string wide_name = "\xEF\xBB\xBF";
    for (int i = 0; i < 254; ++i) wide_name += "\xC3\xA9";
    EXPECT_EQ(tables_of(wide_name).at(0).size(), 254u);

    EXPECT_EQ(parse_expecting_end({"--tab_file=" +
                                   [&] {
                                       write_file(folder_.file("t.txt"), "OK\n" + name254 + "X\n");
                                       return folder_.file("t.txt");
                                   }()}),
              "Table names file: line 2 is longer than 254 characters.\n");
}

TEST_F(parse_cmd_line_test, table_names_file_rejects_control_bytes_and_bad_utf8) {
    const std::string path = folder_.file("bad.txt");
    const std::string message = "Table names file: line 2 does not hold a valid table name.\n";
    for (const std::string& bad :
         {std::string("A\nB\0C\n", 6), std::string("A\nB\tC\n"), std::string("A\n\x1A\n")}) {
        write_file(path, bad);
        EXPECT_EQ(parse_expecting_end({"--tab_file=" + path}), message);
    }
    write_file(path,
               "\xEF\xBB\xBF"
               "A\n\xC3\n");  // a truncated UTF-8 sequence
    EXPECT_EQ(parse_expecting_end({"--tab_file=" + path}), message);
}

}  // namespace

namespace {

// The entry with a job of the test's own, in the test's process.
class kslagent_entry_test : public ::testing::Test {
  protected:
    void SetUp() override { previous_exit_ = conv_set_exit_function(&throw_process_end); }
    void TearDown() override { conv_set_exit_function(previous_exit_); }

    struct outcome {
        int status = 0;
        bool ended = false;
        std::string out, err;
    };
    outcome run(std::vector<std::string> args, const std::function<void()>& job) {
        args.insert(args.begin(), "kslagent");
        std::vector<const char*> argv;
        for (const auto& a : args) argv.push_back(a.c_str());
        outcome o;
        ::testing::internal::CaptureStdout();
        ::testing::internal::CaptureStderr();
        try {
            o.status = kslagent_run(static_cast<int>(argv.size()), argv.data(), job);
        } catch (const process_end& e) {
            o.ended = true;
            o.status = e.status;
        }
        o.err = ::testing::internal::GetCapturedStderr();
        o.out = ::testing::internal::GetCapturedStdout();
        // Every path leaves no instance behind for the next test.
        EXPECT_FALSE(tk_logger::has_instance() && !o.ended);
        return o;
    }
    conv_exit_function previous_exit_ = nullptr;
};

TEST_F(kslagent_entry_test, job_runs_after_a_complete_parse_with_the_settings_in_place) {
    std::u16string seen;
    const outcome o = run({"--src=ORCL", "--dest=/d"}, [&] {
        seen = kestrel_convertor::instance().database() + u"|" +
               kestrel_convertor::instance().destination();
    });
    EXPECT_EQ(seen, u"ORCL|/d");
    EXPECT_EQ(o.status, 0);
    EXPECT_FALSE(o.ended);
    EXPECT_FALSE(kestrel_convertor::has_instance());
    EXPECT_FALSE(error_handler::has_instance());
    EXPECT_FALSE(tk_logger::has_instance());
}

TEST_F(kslagent_entry_test, level_0_error_is_reported_and_is_not_a_success) {
    const outcome o = run({"--src=ORCL", "--dest=/d"}, [] {
        throw tk_exception("ORA-01017: invalid username/password", tk_oracle_error_code(1017), 0);
    });
    EXPECT_FALSE(o.ended);
    EXPECT_EQ(o.status, -1);
    EXPECT_EQ(o.out, "Error:\nInvalid user name or password.\n");
    EXPECT_FALSE(kestrel_convertor::has_instance());
}

TEST_F(kslagent_entry_test, level_1_error_ends_the_process) {
    const outcome o = run({"--src=ORCL", "--dest=/d"}, [] {
        throw tk_exception("You should enter path to FoxPro/DBase database, not a file name", 1);
    });
    EXPECT_TRUE(o.ended);
    EXPECT_EQ(o.status, -1);
    EXPECT_EQ(o.out, "Error:\nYou should enter path to FoxPro/DBase database, not a file name\n");
}

TEST_F(kslagent_entry_test, other_standard_exception_goes_to_standard_error) {
    const outcome o =
        run({"--src=ORCL", "--dest=/d"}, [] { throw std::runtime_error("disk on fire"); });
    EXPECT_TRUE(o.ended);
    EXPECT_EQ(o.status, -1);
    EXPECT_EQ(o.err, "disk on fire\n");
    EXPECT_EQ(o.out, "");
}

TEST_F(kslagent_entry_test, job_does_not_run_after_an_incomplete_parse) {
    bool ran = false;
    const outcome o = run({"--src=ORCL"}, [&] { ran = true; });
    EXPECT_FALSE(ran);
    EXPECT_TRUE(o.ended);
    // The test's replacement of the process end is an exception that the
    // entry's last-resort handler sees too; only the first line is the agent's.
    EXPECT_EQ(o.err.rfind("You should enter path to destination DBF database\n", 0), 0u) << o.err;
}

}  // namespace
