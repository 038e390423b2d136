#include "tk_codepage.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "tk_exception.h"
#include "tk_string.h"

namespace {

// Restores the environment's ANSI code page after each test.
class tk_ansi : public ::testing::Test {
  protected:
    void TearDown() override { tk_set_ansi_code_page(0); }
};

std::string from_hex(const char* hex) {
    std::string out;
    for (size_t i = 0; hex[i] != 0 && hex[i + 1] != 0; i += 2) {
        out += static_cast<char>(std::stoi(std::string(hex + i, 2), nullptr, 16));
    }
    return out;
}

TEST(tk_utf8, RoundTripsEveryPlane) {
    const std::u16string wide = u"Gr\u00fc\u00dfe \u20ac \u0416 \U0001D11E";
    const std::string utf8 =
        "Gr\xc3\xbc\xc3\x9f"
        "e \xe2\x82\xac \xd0\x96 \xf0\x9d\x84\x9e";
    EXPECT_EQ(tk_ucs2_to_utf8(wide), utf8);
    EXPECT_EQ(tk_utf8_to_ucs2(utf8), wide);
    EXPECT_EQ(tk_ucs2_to_utf8(u""), "");
    EXPECT_EQ(tk_utf8_to_ucs2(""), u"");
}

TEST(tk_utf8, MalformedInputBecomesReplacementCharacter) {
    EXPECT_EQ(tk_utf8_to_ucs2("a\xff"
                              "b"),
              u"a\ufffdb");
    EXPECT_EQ(tk_ucs2_to_utf8(std::u16string(1, char16_t(0xD800)) + u"x"), "\xef\xbf\xbdx");
}

TEST_F(tk_ansi, OverrideSelectsTheAnsiCodePage) {
    tk_set_ansi_code_page(1252);
    EXPECT_EQ(tk_ansi_code_page(), 1252);
    EXPECT_EQ(tk_ucs2_to_ansi(u"Gr\u00fc\u00dfe \u20ac"),
              "Gr\xfc\xdf"
              "e \x80");
    EXPECT_EQ(tk_ansi_to_ucs2(std::string_view("Gr\xfc\xdf"
                                               "e \x80")),
              u"Gr\u00fc\u00dfe \u20ac");

    tk_set_ansi_code_page(1251);
    EXPECT_EQ(tk_ucs2_to_ansi(u"\u041f\u0440\u0438\u0432\u0435\u0442"), "\xcf\xf0\xe8\xe2\xe5\xf2");
    EXPECT_EQ(tk_ansi_to_ucs2(std::string_view("\xcf\xf0\xe8\xe2\xe5\xf2")),
              u"\u041f\u0440\u0438\u0432\u0435\u0442");
    std::string narrow;
    ASSERT_TRUE(tk_ucs2_to_ansi(u"\u0416", narrow));
    EXPECT_EQ(narrow, "\xc6");
    std::u16string wide;
    ASSERT_TRUE(tk_ansi_to_ucs2(std::string_view("\xc6"), wide));
    EXPECT_EQ(wide, u"\u0416");
}

TEST_F(tk_ansi, UnmappableCharactersBecomeQuestionMarks) {
    tk_set_ansi_code_page(1252);
    EXPECT_EQ(tk_ucs2_to_ansi(u"a\u0416b\u4e2d"), "a?b?");
    EXPECT_EQ(tk_ucs2_to_ansi(u"\u20ac\u0416", 437), "??");
    EXPECT_EQ(tk_ucs2_to_ansi(u"\u00e9\u0416", 866), "?\x86");
}

TEST_F(tk_ansi, CallersBufferMustHoldTheTextAndItsZero) {
    char buffer[4];
    EXPECT_STREQ(tk_ucs2_to_ansi(buffer, u"\u0416\u0418\u0412", sizeof buffer, 1251),
                 "\xc6\xc8\xc2");
    EXPECT_EQ(tk_ucs2_to_ansi(buffer, u"abcd", sizeof buffer, 1251), nullptr);
    EXPECT_EQ(tk_ucs2_to_ansi(buffer, u"ab", sizeof buffer, 99999), nullptr);
}

TEST_F(tk_ansi, UnknownCodePageFails) {
    EXPECT_FALSE(tk_is_code_page_supported(99999));
    EXPECT_THROW(tk_ucs2_to_ansi(u"x", 99999), tk_exception_ex);
    EXPECT_THROW(tk_ansi_to_ucs2(std::string_view("x"), 99999), tk_exception_ex);
    try {
        tk_ucs2_to_ansi(u"x", 99999);
    } catch (const tk_exception_ex& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Cannot convert to ANSI string: ", 0), 0u);
        EXPECT_EQ(e.level(), 0);
    }
}

TEST(tk_ansi_environment, KestrelCodepageSetsTheAnsiCodePage) {
    // The environment is read once per process: check it in a fresh one.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            setenv("KESTREL_CODEPAGE", "866", 1);
            const bool ok = tk_ansi_code_page() == 866 && tk_ucs2_to_ansi(u"\u0416") == "\x86";
            std::exit(ok ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EXIT(
        {
            setenv("KESTREL_CODEPAGE", "not-a-number", 1);
            setenv("LC_ALL", "pl_PL.UTF-8", 1);
            std::exit(tk_ansi_code_page() == 1250 ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
    // Multi-byte code pages cannot be the ANSI code page: the locale decides.
    for (const char* multi_byte : {"65001", "1200", "932"}) {
        EXPECT_EXIT(
            {
                setenv("KESTREL_CODEPAGE", multi_byte, 1);
                setenv("LC_ALL", "ru_RU.UTF-8", 1);
                std::exit(tk_ansi_code_page() == 1251 ? 0 : 1);
            },
            ::testing::ExitedWithCode(0), "")
            << multi_byte;
    }
}

TEST(tk_ansi_environment, LocaleLanguagePicksTheWindowsCodePage) {
    const std::pair<const char*, int> cases[] = {
        {"ru_RU.UTF-8", 1251}, {"uk_UA", 1251}, {"pl_PL.UTF-8", 1250}, {"cs", 1250},
        {"el_GR", 1253},       {"tr_TR", 1254}, {"he_IL", 1255},       {"ar_EG", 1256},
        {"lt_LT", 1257},       {"vi_VN", 1258}, {"th_TH", 874},        {"de_DE.UTF-8", 1252},
        {"C", 1252},           {"POSIX", 1252}, {"sr_RS@latin", 1251},
    };
    for (const auto& [locale, code_page] : cases) {
        EXPECT_EQ(tk_code_page_for_locale(locale), code_page) << locale;
    }
}

struct code_page_letters {
    int code_page;
    std::u16string letters;
    const char* bytes;  // the letters' bytes in that code page, in hexadecimal
};

// Letters from the upper half of each code page, with their bytes as an
// independent codec table gives them.
const code_page_letters kLetters[] = {
    {437, u"ÇäêîÉöÿáñαΣΦ", "8084888C909498A0A4E0E4E8"},
    {850, u"ÇàèÅöÖáÑÀÊÎÔ", "80858A8F9499A0A5B7D2D7E2"},
    {852, u"ÇćîĺśčąČŻĎěŃ", "80868C92989FA5ACBDD2D8E3"},
    {866, u"АЖМТШЮдкрцьЄ", "80868C92989EA4AAE0E6ECF2"},
    {865, u"ÇäêîÉöÿØóªΓµ", "8084888C9094989DA2A6E2E6"},  // µ: see below
    {861, u"ÇäêðÉöýØóÓΓµ", "8084888C9094989DA2A6E2E6"},
    {737, u"ΑΖΛΠΦβημρφέύ", "80858A8F94999EA3A8ADE2E7"},
    {857, u"ÇàèÅöÖşñÂªÎÔ", "80858A8F94999FA4B6D1D7E2"},
    {10000, u"ÄÖäèîôûµæÕË", "80858A8F94999EB5BECDE8"},
    {10007, u"АИРШҐґЊќязпч", "80889098A2B6BECEDFE7EFF7"},
    {10029, u"ÄáéēúģĻņőŖŤÔ", "80878E959CAEB9C0CEDFE8EF"},
    {10006, u"ÄçôΘΑΜΟœίδκρ", "808D99A3B0BBC3CFDDE4EBF2"},
    {1250, u"ŠśĄşÂČÎÔŰáçí", "8A9CA5BAC2C8CED4DBE1E7ED"},
    {1251, u"ЂЏЎІЅДЛТЩазо", "808FA1B2BDC4CBD2D9E0E7EE"},
    {1252, u"ƒœÀÆÌÒÙßåëñø", "839CC0C6CCD2D9DFE5EBF1F8"},
    {1253, u"ƒΊΑΖΛΠΦΫΰεκο", "83BAC1C6CBD0D6DBE0E5EAEF"},
    {1254, u"ƒŸÂÈÎÔÛáçíóú", "839FC2C8CED4DBE1E7EDF3FA"},
    {1255, u"ƒµױאגהזטךלמנ", "83B5D5E0E2E4E6E8EAECEEF0"},
    {1256, u"پچڑہإتدشعكنé", "818D9AC0C5CACFD4DADFE4E9"},
    {1257, u"ˇøĀĒĢŃÖÜįęėš", "8EB8C2C7CCD1D6DCE1E6EBF0"},
    {1258, u"ƒªÂÇÍÓÙßäéïơ", "83AAC2C7CDD3D9DFE4E9EFF5"},
};

void PrintTo(const code_page_letters& c, std::ostream* os) {
    *os << "cp" << c.code_page;
}

// Where the Windows table of a DOS code page differs from ICU's IBM table, the
// Windows mapping wins; the other character still encodes to the same byte.
TEST(tk_code_pages_windows, DosTablesFollowWindows) {
    for (int code_page : {437, 860, 861, 862, 863, 865}) {
        EXPECT_EQ(tk_ansi_to_ucs2(std::string_view("a\xe6"
                                                   "b"),
                                  code_page),
                  u"a\u00b5b")
            << code_page;
        EXPECT_EQ(tk_ucs2_to_ansi(u"\u00b5\u03bc", code_page), "\xe6\xe6") << code_page;
    }
    EXPECT_EQ(tk_ansi_to_ucs2(std::string_view("\xaa\xa5"), 852), u"\u00ac\u0105");
    EXPECT_EQ(tk_ucs2_to_ansi(u"\u0105\u00ac!", 852), "\xa5\xaa!");
    EXPECT_EQ(tk_ansi_to_ucs2(std::string_view("\x88\xef"), 869), u"\u00b7\u0384");
    EXPECT_EQ(tk_ucs2_to_ansi(u"\u00b7\u0384", 869), "\x88\xef");
}

class tk_code_pages : public ::testing::TestWithParam<code_page_letters> {};

TEST_P(tk_code_pages, LettersRoundTrip) {
    const code_page_letters& c = GetParam();
    ASSERT_TRUE(tk_is_code_page_supported(c.code_page));
    const std::string bytes = from_hex(c.bytes);
    EXPECT_EQ(tk_hex_text(tk_ucs2_to_ansi(c.letters, c.code_page)), c.bytes);
    EXPECT_EQ(tk_ansi_to_ucs2(bytes, c.code_page), c.letters);
    // ASCII is the same in all of them.
    EXPECT_EQ(tk_ucs2_to_ansi(u"Az09 .", c.code_page), "Az09 .");
    // The same code page as the process's ANSI code page.
    tk_set_ansi_code_page(c.code_page);
    EXPECT_EQ(tk_ucs2_to_ansi(c.letters), bytes);
    EXPECT_EQ(tk_ansi_to_ucs2(std::string_view(bytes)), c.letters);
    tk_set_ansi_code_page(0);
}

INSTANTIATE_TEST_SUITE_P(dos_mac_windows, tk_code_pages, ::testing::ValuesIn(kLetters),
                         [](const ::testing::TestParamInfo<code_page_letters>& param_info) {
                             return "cp" + std::to_string(param_info.param.code_page);
                         });

}  // namespace
