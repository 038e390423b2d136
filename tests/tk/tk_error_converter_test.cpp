// The table of known errors: the Oracle errors it holds, their codes, and tables given by the
// caller.
#include "tk_error_converter.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "tk_exception.h"

namespace {

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

}  // namespace
