// The command-line reader: prefix matching in table order, values, the list
// of unrecognised arguments and its limit.
#include "tk_cmd_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tk_exception.h"

namespace {

const tk_cmd_option kOptions[] = {
    {1, "--ab"}, {2, "--a="}, {3, "--a"}, {4, "-x"}, {0, ""},
};

struct step {
    int code;
    std::string value;
};

std::vector<step> read_all(std::vector<const char*> args, size_t* unrecognised = nullptr) {
    args.insert(args.begin(), "prog");
    ansi_cmd_line reader(static_cast<int>(args.size()), args.data(), kOptions);
    std::vector<step> steps;
    while (reader.has_current()) {
        steps.push_back({reader.code(), reader.value()});
        reader.advance();
    }
    if (unrecognised != nullptr) *unrecognised = reader.unrecognised_count();
    return steps;
}

TEST(ansi_cmd_line, first_option_in_table_order_whose_name_is_a_prefix_wins) {
    size_t unrecognised = 0;
    const auto steps =
        read_all({"--abc", "--a=1", "--a", "--a1", "-x=5", "--A", "a", ""}, &unrecognised);
    ASSERT_EQ(steps.size(), 8u);
    const std::vector<std::pair<int, std::string>> expected = {
        {1, "c"}, {2, "1"}, {3, ""}, {3, "1"}, {4, "=5"}, {-1, ""}, {-1, ""}, {-1, ""}};
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(steps[i].code, expected[i].first);
        EXPECT_EQ(steps[i].value, expected[i].second);
    }
    EXPECT_EQ(unrecognised, 3u);
}

TEST(ansi_cmd_line, program_name_is_never_an_argument) {
    const char* argv[] = {"--ab", nullptr};
    ansi_cmd_line reader(1, argv, kOptions);
    EXPECT_FALSE(reader.has_current());
    EXPECT_EQ(reader.unrecognised_count(), 0u);
    EXPECT_THROW(reader.advance(), tk_mail_assertion);
    ansi_cmd_line empty(0, nullptr, kOptions);
    EXPECT_FALSE(empty.has_current());
}

TEST(ansi_cmd_line, keeps_twenty_unrecognised_arguments_and_fails_on_the_twenty_first) {
    std::vector<std::string> texts;
    for (int i = 0; i < 21; ++i) texts.push_back("junk" + std::to_string(i));
    std::vector<const char*> args{"prog"};
    for (const auto& t : texts) args.push_back(t.c_str());

    ansi_cmd_line reader(21, args.data(), kOptions);  // 20 arguments
    while (reader.has_current()) reader.advance();
    ASSERT_EQ(reader.unrecognised_count(), 20u);
    EXPECT_EQ(reader.unrecognised(0), "junk0");
    EXPECT_EQ(reader.unrecognised(19), "junk19");

    ansi_cmd_line over(22, args.data(), kOptions);
    EXPECT_THROW(
        {
            while (over.has_current()) over.advance();
        },
        tk_mail_assertion);
}

TEST(system_text, arguments_must_be_valid_utf8) {
    std::u16string wide;
    EXPECT_TRUE(tk_system_to_ucs2("папка/Café", wide));
    EXPECT_EQ(wide, u"папка/Café");
    for (const char* bad : {"\xFF", "a\xC3", "\xED\xA0\x80", "\xC0\xAF"}) {
        SCOPED_TRACE(bad);
        std::u16string out = u"unchanged";
        EXPECT_FALSE(tk_system_to_ucs2(bad, out));
        EXPECT_EQ(out, u"unchanged");
    }
    std::string narrow;
    EXPECT_TRUE(tk_ucs2_to_system(u"журнал.log", narrow));
    EXPECT_EQ(narrow, "журнал.log");
    EXPECT_FALSE(tk_ucs2_to_system(std::u16string(1, char16_t(0xD800)), narrow));
}

}  // namespace
