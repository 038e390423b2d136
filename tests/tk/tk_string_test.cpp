#include "tk_string.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>

#include "test_support.h"
#include "tk_exception.h"

using namespace kestrel_test;

namespace {

struct trim_case {
    const char* input;
    const char* left;
    const char* right;
    const char* both;
};

// Only U+0020 is trimmed; inner spaces and tabs stay.
const trim_case kTrimCases[] = {
    {"  ab cd  ", "ab cd  ", "  ab cd", "ab cd"},
    {"\tab \t ", "\tab \t ", "\tab \t", "\tab \t"},
    {"x", "x", "x", "x"},
    {"", "", "", ""},
    {"   ", "", "", ""},
};

std::u16string widen(const char* ascii) {
    return std::u16string(ascii, ascii + strlen(ascii));
}

TEST(tk_trim, NarrowAndWideRemoveOnlyOuterSpaces) {
    for (const trim_case& c : kTrimCases) {
        SCOPED_TRACE(c.input);
        EXPECT_EQ(tk_trim_left(std::string_view(c.input)), c.left);
        EXPECT_EQ(tk_trim_right(std::string_view(c.input)), c.right);
        EXPECT_EQ(tk_trim(std::string_view(c.input)), c.both);
        const std::u16string wide = widen(c.input);
        EXPECT_EQ(tk_trim_left(std::u16string_view(wide)), widen(c.left));
        EXPECT_EQ(tk_trim_right(std::u16string_view(wide)), widen(c.right));
        EXPECT_EQ(tk_trim(std::u16string_view(wide)), widen(c.both));
    }
}

TEST(tk_trim, AllSpacesLogsTheSpecialCase) {
    const char kLine[] = "Special processing for all-spaces-string\r\n";
    {
        log_capture log;
        EXPECT_EQ(tk_trim(std::string_view("   ")), "");
        EXPECT_EQ(log.text(), kLine);
    }
    {
        log_capture log;
        EXPECT_EQ(tk_trim(std::u16string_view(u"   ")), u"");
        EXPECT_EQ(log.text(), kLine);
    }
    {
        log_capture log;
        EXPECT_EQ(tk_trim(std::string_view(" a ")), "a");
        EXPECT_EQ(log.text(), "");
    }
}

TEST(tk_string, PadChangesTheStringItselfAndReturnsACopy) {
    tk_string right("ab");
    EXPECT_EQ(right.pad_right(5, '.'), "ab...");
    EXPECT_EQ(right, "ab...");
    tk_string left("ab");
    EXPECT_EQ(left.pad_left(5, '0'), "000ab");
    EXPECT_EQ(left, "000ab");
    tk_string narrow("ab");
    EXPECT_EQ(narrow.pad_right(1, '.'), "ab");
    EXPECT_EQ(narrow.pad_left(2, '.'), "ab");
    EXPECT_EQ(narrow, "ab");
}

TEST(tk_wstring, CaseFoldingChangesOnlyAsciiLetters) {
    tk_wstring word(u"Stra\u00dfe \u00e9t\u00e9 \u0436z");
    const tk_wstring upper = word.to_upper();
    EXPECT_EQ(upper, u"STRA\u00dfE \u00e9T\u00e9 \u0436Z");
    EXPECT_EQ(word, upper);
    tk_wstring loud(u"STRA\u00dfE \u00c9T\u00c9 \u0416Z");
    EXPECT_EQ(loud.to_lower(), u"stra\u00dfe \u00c9t\u00c9 \u0416z");
    EXPECT_EQ(loud, u"stra\u00dfe \u00c9t\u00c9 \u0416z");
    tk_wstring empty;
    EXPECT_EQ(empty.to_upper(), u"");
}

struct replace_case {
    std::u16string text, searched, replacement, expected;
};

TEST(tk_wstring, ReplaceAll) {
    const replace_case cases[] = {
        // Bracketed names quoted for Oracle.
        {u"[ORDERS] join [ITEMS]", u"[", u"\"", u"\"ORDERS] join \"ITEMS]"},
        {u"abc", u"x", u"y", u"abc"},
        {u"", u"a", u"b", u""},
        // The scan goes on one character after the start of a replacement,
        // so text the replacement forms with what precedes it is not seen.
        {u"abb", u"ab", u"a", u"ab"},
        // Replacements that hold the searched text must still end.
        {u"banana", u"a", u"aa", u"baanaanaa"},
        {u"abab", u"ab", u"xab", u"xabxab"},
        {u"aaa", u"a", u"", u""},
        {u"x", u"", u"y", u"x"},
    };
    for (const replace_case& c : cases) {
        tk_wstring s(c.text);
        const tk_wstring copy = s.replace_all(c.searched, c.replacement);
        EXPECT_EQ(copy, c.expected) << tk_ucs2_to_utf8(c.text);
        EXPECT_EQ(s, c.expected);
    }
}

TEST(tk_hex, TextOfBytes) {
    const unsigned char bytes[] = {0x00, 0xAB, 0x7F, 0xFF, 0x10};
    char buffer[2 * sizeof bytes + 1];
    std::memset(buffer, 'z', sizeof buffer);
    tk_hex_text(sizeof bytes, bytes, buffer);
    EXPECT_STREQ(buffer, "00AB7FFF10");
    tk_hex_text(0, bytes, buffer);
    EXPECT_STREQ(buffer, "");
    EXPECT_THROW(tk_hex_text(1, bytes, nullptr), tk_mail_assertion);
    EXPECT_EQ(tk_hex_text(std::string_view("\x01\xfe", 2)), "01FE");
    EXPECT_STREQ(tk_hex_dump("Az"), "417A");
    EXPECT_STREQ(tk_hex_dump(""), "");
}

TEST(tk_wformat, Conversions) {
    const code_page_scope cp(1252);
    const std::u16string out = tk_wformat(
        200, u"%s|%S|%d|%x|%X|%I64d|%lld|%u|%c|%%|%5.2f", u"wide \u0436", "n\xe4rrow", -42, 255u,
        255u, static_cast<long long>(-9000000000LL), 9000000000LL, 7u, 'Q', 3.14159);
    EXPECT_EQ(out, u"wide \u0436|n\u00e4rrow|-42|ff|FF|-9000000000|9000000000|7|Q|%| 3.14");
}

TEST(tk_wformat, WidthPrecisionAndFlags) {
    EXPECT_EQ(tk_wformat(100, u"[%5s][%-5s][%.2s][%*s]", u"ab", u"ab", u"abcdef", 4, u"x"),
              u"[   ab][ab   ][ab][   x]");
    EXPECT_EQ(tk_wformat(100, u"[%05d][%-4d][%+d][%.3d][%10.3e]", 42, 7, 5, 9, 1234.56),
              u"[00042][7   ][+5][009][ 1.235e+03]");
    EXPECT_EQ(tk_wformat(100, u"[%.*d]", -1, 12), u"[12]");
    EXPECT_EQ(tk_wformat(100, u"%s", static_cast<const char16_t*>(nullptr)), u"(null)");
}

TEST(tk_wformat, WidthAndPrecisionArgumentsAreBounded) {
    // The most negative width left-aligns; widths and precisions from
    // arguments are capped, so the result stays small and is cut at the limit.
    EXPECT_EQ(tk_wformat(8, u"[%*d]", INT_MIN, 7), u"[7      ");
    EXPECT_EQ(tk_wformat(8, u"[%*d]", INT_MAX, 7), u"[       ");
    EXPECT_EQ(tk_wformat(8, u"[%.*d]", INT_MAX, 7), u"[0000000");
    EXPECT_EQ(tk_wformat(200000, u"%*s", INT_MAX, u"x").size(), 100000u);
}

TEST(tk_wformat, CutAtTheLimit) {
    EXPECT_EQ(tk_wformat(5, u"%s", u"abcdefgh"), u"abcde");
    EXPECT_EQ(tk_wformat(3, u"%d%d", 1234, 5), u"123");
    EXPECT_EQ(tk_wformat(3, u"abcdef"), u"abc");
    EXPECT_EQ(tk_wformat(0, u"abc"), u"");
}

TEST(tk_compare_nocase, FoldsUnicodeCase) {
    EXPECT_TRUE(tk_equal_nocase(u"Orders.DBF", u"orders.dbf"));
    EXPECT_TRUE(tk_equal_nocase(u"\u0416\u0418\u0412", u"\u0436\u0438\u0432"));
    EXPECT_FALSE(tk_equal_nocase(u"a", u"b"));
    EXPECT_LT(tk_compare_nocase(u"apple", u"BANANA"), 0);
    EXPECT_TRUE(tk_is_alpha(u'\u0436'));
    EXPECT_FALSE(tk_is_alpha(u'1'));
    EXPECT_TRUE(tk_is_alnum(u'1'));
    EXPECT_FALSE(tk_is_alnum(u'_'));
}

}  // namespace
