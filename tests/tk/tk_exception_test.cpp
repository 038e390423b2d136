#include "tk_exception.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include "test_support.h"
#include "tk_codepage.h"

using namespace kestrel_test;

namespace {

TEST(tk_exception, EmptyMessageBecomesUnknownException) {
    const tk_exception e(std::string(), 1);
    EXPECT_STREQ(e.what(), "Unknown exception");
    EXPECT_EQ(e.code(), 0u);
    EXPECT_EQ(e.level(), 1);
    const tk_exception wide(std::u16string_view(u""), 0);
    EXPECT_STREQ(wide.what(), "Unknown exception");
    const tk_exception coded("server text", 1049593u, 0);
    EXPECT_EQ(coded.message(), "server text");
    EXPECT_EQ(coded.code(), 1049593u);
}

TEST(tk_exception, WideMessageInTheAnsiCodePage) {
    const tk_exception e = [] {
        const code_page_scope cp(1251);
        return tk_exception(std::u16string_view(u"\u041e\u0448\u0438\u0431\u043a\u0430"), 1);
    }();
    EXPECT_STREQ(e.what(), "\xce\xf8\xe8\xe1\xea\xe0");
    EXPECT_EQ(e.level(), 1);
}

TEST(tk_exception_ex, CarriesTheSystemErrorAndItsText) {
    const tk_exception_ex given("Cannot open: ", ENOENT, 0);
    EXPECT_EQ(given.code(), static_cast<uint32_t>(ENOENT));
    EXPECT_EQ(given.message(), std::string("Cannot open: ") + std::strerror(ENOENT));
    EXPECT_EQ(given.level(), 0);

    errno = EACCES;
    const tk_exception_ex last;
    EXPECT_EQ(last.code(), static_cast<uint32_t>(EACCES));
    EXPECT_EQ(last.message(), std::strerror(EACCES));
    EXPECT_EQ(last.level(), 1);

    errno = 0;
    const tk_exception_ex none("prefix: ", 1);
    EXPECT_STREQ(none.what(), "Unknown exception");
    EXPECT_EQ(none.code(), 0u);
}

TEST(tk_exception_ex, LogsTheSystemText) {
    log_capture log(1);
    const tk_exception_ex e("x", ENOSPC, 1);
    EXPECT_EQ(log.text(), std::string("GetLastError: ") + std::strerror(ENOSPC) + "\r\n");
}

TEST(tk_mail_assertion, MessageEncodesFileAndLine) {
    log_capture log(1);
    const tk_mail_assertion e("src/dbf/dbf_table.cpp", 42);
    // "dbf_table.cpp\42", each byte as two lower-case hexadecimal digits.
    EXPECT_EQ(e.message(), "Internal error: \ncode=6462665f7461626c652e6370705c3432");
    EXPECT_EQ(e.level(), 2);
    EXPECT_EQ(e.code(), 0u);
    EXPECT_EQ(log.text(), "tk_mail_assertion::ctor(src/dbf/dbf_table.cpp)\r\n");
}

TEST(tk_mail_assertion, MacrosThrowWithThisFile) {
    const std::string this_file = tk_mail_assertion::encode_location("tk_exception_test.cpp", 0);
    const std::string prefix = this_file.substr(0, this_file.size() - 2);  // without "0"
    try {
        TK_ASSERT(1 + 1 == 3);
        FAIL() << "TK_ASSERT did not throw";
    } catch (const tk_mail_assertion& e) {
        EXPECT_NE(e.message().find(prefix), std::string::npos);
    }
    EXPECT_NO_THROW(TK_ASSERT(true));
    EXPECT_THROW(throw TK_MAIL_ASSERTION(), tk_mail_assertion);
}

}  // namespace
