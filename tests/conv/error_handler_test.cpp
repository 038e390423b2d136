// The known-error table and the console error handler: what reaches standard
// output and the log for each level, with and without context and silence.
#include "error_handler.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "tk_codepage.h"
#include "tk_error_converter.h"
#include "tk_logger.h"

namespace {

namespace fs = std::filesystem;

struct process_end {
    int status;
};
[[noreturn]] void throw_process_end(int status) {
    throw process_end{status};
}

TEST(tk_error_converter, holds_the_twelve_oracle_errors) {
    const tk_error_converter table(tk_oracle_error_table());
    EXPECT_EQ(table.size(), 12u);
    EXPECT_EQ(table.convert(1049593), "Invalid user name or password.");  // ORA-01017
    EXPECT_EQ(table.convert(tk_oracle_error_code(12154)),
              "Oracle data source does not exist. Check to verify the correct name was given.");
    EXPECT_EQ(table.convert(1061090),  // ORA-12514 keeps its trailing line feed
              "Cannot resolve Oracle service name. Check to verify the correct name was given.\n");
    EXPECT_EQ(table.convert(1076576),
              "Wrong password was entered the maximum number of times or\n"
              "the DBA has locked the account.");
    const uint32_t codes[] = {1048577, 1049593, 1050234, 1050526, 1050874, 1060730,
                              1061076, 1061081, 1061090, 1061117, 1061121, 1076576};
    for (const uint32_t code : codes) EXPECT_FALSE(table.convert(code).empty()) << code;
    EXPECT_EQ(table.convert(1017), "");  // the bare Oracle number is not a code
    EXPECT_EQ(table.convert(0), "");
}

TEST(tk_error_converter, code_is_low_16_bits_of_the_oracle_number) {
    EXPECT_EQ(tk_oracle_error_code(1), 1048577u);
    EXPECT_EQ(tk_oracle_error_code(28000), 1076576u);
    EXPECT_EQ(tk_oracle_error_code(0x10000 + 1017), 1049593u);
}

TEST(tk_error_converter, duplicate_code_keeps_the_first_message) {
    const tk_error_entry entries[] = {{7, "first"}, {8, "other"}, {7, "second"}};
    const tk_error_converter table(entries);
    EXPECT_EQ(table.size(), 2u);
    EXPECT_EQ(table.convert(7), "first");
}

TEST(tk_error_converter, null_table_is_an_internal_error) {
    EXPECT_THROW(tk_error_converter(3, nullptr), tk_mail_assertion);
    EXPECT_EQ(tk_error_converter(0, nullptr).size(), 0u);
}

class error_handler_test : public ::testing::Test {
  protected:
    void SetUp() override {
        static std::atomic<int> counter{0};
        log_path_ = (fs::temp_directory_path() /
                     ("error_handler_test_" +
                      std::to_string(::getpid()) + "_" +
                      std::to_string(counter++) + ".log"))
                        .string();
        previous_exit_ = conv_set_exit_function(&throw_process_end);
        logger_ = std::make_unique<tk_logger>(log_path_.c_str(), true, 3, false);
        handler_ = std::make_unique<error_handler>(tk_oracle_error_table());
    }
    void TearDown() override {
        handler_.reset();
        logger_.reset();
        conv_set_exit_function(previous_exit_);
        tk_set_ansi_code_page(0);
        std::error_code ec;
        fs::remove(log_path_, ec);
    }

    struct outcome {
        std::string out;
        bool ended = false;
        int status = 0;
    };
    outcome handle(const tk_exception& e) {
        outcome result;
        ::testing::internal::CaptureStdout();
        try {
            handler_->handle(e, 0);
        } catch (const process_end& end) {
            result.ended = true;
            result.status = end.status;
        }
        result.out = ::testing::internal::GetCapturedStdout();
        return result;
    }
    std::string log_text() const {
        std::ifstream in(log_path_, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    std::string log_path_;
    conv_exit_function previous_exit_ = nullptr;
    std::unique_ptr<tk_logger> logger_;
    std::unique_ptr<error_handler> handler_;
};

TEST_F(error_handler_test, levels_contexts_and_silence) {
    struct check {
        const char* name;
        std::string context;
        bool silent;
        int level;
        std::string out;
        bool ended;
    };
    const std::vector<check> cases = {
        {"level 0", "", false, 0, "Error:\nline one line two\n", false},
        {"level 0 context", "EMP", false, 0, "Error:\nEMP: line one line two\n", false},
        {"level 0 silent", "EMP", true, 0, "", false},
        {"level 1", "", false, 1, "Error:\nline one line two\n", true},
        {"level 1 context", "DEPT", false, 1, "Error:\nDEPT: line one line two\n", true},
        {"level 1 silent", "", true, 1, "", true},
        {"level 2", "EMP", false, 2, "Internal error: line one\nline two\n", true},
        {"level 2 silent", "", true, 2, "Internal error: line one\nline two\n", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        handler_->context() = c.context;
        handler_->set_silent(c.silent);
        const outcome o = handle(tk_exception("line one\nline two", c.level));
        EXPECT_EQ(o.out, c.out);
        EXPECT_EQ(o.ended, c.ended);
        if (o.ended) {
            EXPECT_EQ(o.status, -1);
        }
    }
}

TEST_F(error_handler_test, log_keeps_line_feeds) {
    handler_->set_context(u"EMP");
    handle(tk_exception("first\nsecond", 0));
    handler_->context().clear();
    handle(tk_exception("broken", 2));
    EXPECT_EQ(log_text(), "Error:\nEMP: first\nsecond\r\nInternal error:\nbroken\r\n");
}

TEST_F(error_handler_test, known_code_replaces_the_server_text) {
    const outcome o = handle(tk_exception("ORA-01017: invalid username/password; logon denied",
                                          tk_oracle_error_code(1017), 0));
    EXPECT_EQ(o.out, "Error:\nInvalid user name or password.\n");
    EXPECT_FALSE(o.ended);
    const outcome unknown = handle(
        tk_exception("ORA-00942: table or view\ndoes not exist", tk_oracle_error_code(942), 0));
    EXPECT_EQ(unknown.out, "Error:\nORA-00942: table or view does not exist\n");
}

TEST_F(error_handler_test, record_context) {
    handler_->set_context(u"EMP", 3);
    EXPECT_EQ(handler_->context(), "EMP, record #3");
    EXPECT_EQ(handle(tk_exception("bad date", 0)).out, "Error:\nEMP, record #3: bad date\n");
    handler_->set_context(std::u16string(300, u'T'), 12345);
    EXPECT_EQ(handler_->context(), std::string(255, 'T'));
    handler_->set_context(u"T", -1);
    EXPECT_EQ(handler_->context(), "T, record #-1");
}

TEST_F(error_handler_test, context_is_kept_in_the_ansi_code_page_and_printed_in_utf8) {
    tk_set_ansi_code_page(1251);
    handler_->set_context(u"КЛИЕНТЫ");
    EXPECT_EQ(handler_->context(), "\xCA\xCB\xC8\xC5\xCD\xD2\xDB");
    EXPECT_EQ(handle(tk_exception("x", 0)).out, "Error:\nКЛИЕНТЫ: x\n");
    EXPECT_EQ(log_text(), "Error:\n\xCA\xCB\xC8\xC5\xCD\xD2\xDB: x\r\n");
}

TEST_F(error_handler_test, second_instance_is_an_internal_error) {
    EXPECT_THROW(error_handler{tk_oracle_error_table()}, tk_mail_assertion);
    EXPECT_EQ(&error_handler::instance(), handler_.get());
}

}  // namespace
