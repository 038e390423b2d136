// The console error handler: what reaches standard output and the log for each level, with and
// without context and silence.
#include "error_handler.h"

#include <gtest/gtest.h>

#include <memory>

#include "test_support.h"
#include "tk_error_converter.h"

namespace {

struct process_end {
    int status;
};
[[noreturn]] void throw_process_end(int status) {
    throw process_end{status};
}

class error_handler_test : public ::testing::Test {
  protected:
    void SetUp() override {
        previous_exit_ = conv_set_exit_function(&throw_process_end);
        log_ = std::make_unique<kestrel_test::log_capture>(3);
        handler_ = std::make_unique<error_handler>(tk_oracle_error_table());
    }
    void TearDown() override {
        handler_.reset();
        log_.reset();
        conv_set_exit_function(previous_exit_);
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
    std::string log_text() const { return log_->text(); }

    kestrel_test::code_page_scope code_page_{0};
    conv_exit_function previous_exit_ = nullptr;
    std::unique_ptr<kestrel_test::log_capture> log_;
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
    code_page_.set(1251);
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
