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

// The Windows tables of the DOS code pages, bytes 0x80 to 0xFF (0x00 to 0x7F
// map to themselves in all of them): the code points of each byte in rows
// of sixteen, as CPython's codecs (Lib/encodings/cpNNN.py) give them; those
// are generated from Microsoft's tables as the Unicode Consortium publishes
// them (MAPPINGS/VENDORS/MICSFT/PC/CPNNN.TXT).  FFFD marks a byte the table
// leaves undefined, which reads as malformed input does.
struct dos_table {
    int code_page;
    const char* upper_half;
};
const dos_table kDosTables[] = {
    {437,
     "00C700FC00E900E200E400E000E500E700EA00EB00E800EF00EE00EC00C400C5"
     "00C900E600C600F400F600F200FB00F900FF00D600DC00A200A300A520A70192"
     "00E100ED00F300FA00F100D100AA00BA00BF231000AC00BD00BC00A100AB00BB"
     "259125922593250225242561256225562555256325512557255D255C255B2510"
     "25142534252C251C2500253C255E255F255A25542569256625602550256C2567"
     "2568256425652559255825522553256B256A2518250C25882584258C25902580"
     "03B100DF039303C003A303C300B503C403A6039803A903B4221E03C603B52229"
     "226100B1226522642320232100F7224800B0221900B7221A207F00B225A000A0"},
    {737,
     "039103920393039403950396039703980399039A039B039C039D039E039F03A0"
     "03A103A303A403A503A603A703A803A903B103B203B303B403B503B603B703B8"
     "03B903BA03BB03BC03BD03BE03BF03C003C103C303C203C403C503C603C703C8"
     "259125922593250225242561256225562555256325512557255D255C255B2510"
     "25142534252C251C2500253C255E255F255A25542569256625602550256C2567"
     "2568256425652559255825522553256B256A2518250C25882584258C25902580"
     "03C903AC03AD03AE03CA03AF03CC03CD03CB03CE038603880389038A038C038E"
     "038F00B12265226403AA03AB00F7224800B0221900B7221A207F00B225A000A0"},
    {775,
     "010600FC00E9010100E4012300E501070142011301560157012B017900C400C5"
     "00C900E600C6014D00F6012200A2015A015B00D600DC00F800A300D800D700A4"
     "0100012A00F3017B017C017A201D00A600A900AE00AC00BD00BC014100AB00BB"
     "259125922593250225240104010C01180116256325512557255D012E01602510"
     "25142534252C251C2500253C0172016A255A25542569256625602550256C017D"
     "0105010D01190117012F01610173016B017E2518250C25882584258C25902580"
     "00D300DF014C014300F500D500B5014401360137013B013C0146011201452019"
     "00AD00B1201C00BE00B600A700F7201E00B0221900B700B900B300B225A000A0"},
    {850,
     "00C700FC00E900E200E400E000E500E700EA00EB00E800EF00EE00EC00C400C5"
     "00C900E600C600F400F600F200FB00F900FF00D600DC00F800A300D800D70192"
     "00E100ED00F300FA00F100D100AA00BA00BF00AE00AC00BD00BC00A100AB00BB"
     "2591259225932502252400C100C200C000A9256325512557255D00A200A52510"
     "25142534252C251C2500253C00E300C3255A25542569256625602550256C00A4"
     "00F000D000CA00CB00C8013100CD00CE00CF2518250C2588258400A600CC2580"
     "00D300DF00D400D200F500D500B500FE00DE00DA00DB00D900FD00DD00AF00B4"
     "00AD00B1201700BE00B600A700F700B800B000A800B700B900B300B225A000A0"},
    {852,
     "00C700FC00E900E200E4016F010700E7014200EB0150015100EE017900C40106"
     "00C90139013A00F400F6013D013E015A015B00D600DC01640165014100D7010D"
     "00E100ED00F300FA01040105017D017E0118011900AC017A010C015F00AB00BB"
     "2591259225932502252400C100C2011A015E256325512557255D017B017C2510"
     "25142534252C251C2500253C01020103255A25542569256625602550256C00A4"
     "01110110010E00CB010F014700CD00CE011B2518250C258825840162016E2580"
     "00D300DF00D401430144014801600161015400DA0155017000FD00DD016300B4"
     "00AD02DD02DB02C702D800A700F700B800B000A802D901710158015925A000A0"},
    {855,
     "0452040204530403045104010454040404550405045604060457040704580408"
     "04590409045A040A045B040B045C040C045E040E045F040F044E042E044A042A"
     "0430041004310411044604260434041404350415044404240433041300AB00BB"
     "259125922593250225240445042504380418256325512557255D043904192510"
     "25142534252C251C2500253C043A041A255A25542569256625602550256C00A4"
     "043B041B043C041C043D041D043E041E043F2518250C25882584041F044F2580"
     "042F044004200441042104420422044304230436041604320412044C042C2116"
     "00AD044B042B0437041704480428044D042D044904290447042700A725A000A0"},
    {857,
     "00C700FC00E900E200E400E000E500E700EA00EB00E800EF00EE013100C400C5"
     "00C900E600C600F400F600F200FB00F9013000D600DC00F800A300D8015E015F"
     "00E100ED00F300FA00F100D1011E011F00BF00AE00AC00BD00BC00A100AB00BB"
     "2591259225932502252400C100C200C000A9256325512557255D00A200A52510"
     "25142534252C251C2500253C00E300C3255A25542569256625602550256C00A4"
     "00BA00AA00CA00CB00C8FFFD00CD00CE00CF2518250C2588258400A600CC2580"
     "00D300DF00D400D200F500D500B5FFFD00D700DA00DB00D900EC00FF00AF00B4"
     "00AD00B1FFFD00BE00B600A700F700B800B000A800B700B900B300B225A000A0"},
    {860,
     "00C700FC00E900E200E300E000C100E700EA00CA00E800CD00D400EC00C300C2"
     "00C900C000C800F400F500F200DA00F900CC00D500DC00A200A300D920A700D3"
     "00E100ED00F300FA00F100D100AA00BA00BF00D200AC00BD00BC00A100AB00BB"
     "259125922593250225242561256225562555256325512557255D255C255B2510"
     "25142534252C251C2500253C255E255F255A25542569256625602550256C2567"
     "2568256425652559255825522553256B256A2518250C25882584258C25902580"
     "03B100DF039303C003A303C300B503C403A6039803A903B4221E03C603B52229"
     "226100B1226522642320232100F7224800B0221900B7221A207F00B225A000A0"},
    {861,
     "00C700FC00E900E200E400E000E500E700EA00EB00E800D000F000DE00C400C5"
     "00C900E600C600F400F600FE00FB00DD00FD00D600DC00F800A300D820A70192"
     "00E100ED00F300FA00C100CD00D300DA00BF231000AC00BD00BC00A100AB00BB"
     "259125922593250225242561256225562555256325512557255D255C255B2510"
     "25142534252C251C2500253C255E255F255A25542569256625602550256C2567"
     "2568256425652559255825522553256B256A2518250C25882584258C25902580"
     "03B100DF039303C003A303C300B503C403A6039803A903B4221E03C603B52229"
     "226100B1226522642320232100F7224800B0221900B7221A207F00B225A000A0"},
    {862,
     "05D005D105D205D305D405D505D605D705D805D905DA05DB05DC05DD05DE05DF"
     "05E005E105E205E305E405E505E605E705E805E905EA00A200A300A520A70192"
     "00E100ED00F300FA00F100D100AA00BA00BF231000AC00BD00BC00A100AB00BB"
     "259125922593250225242561256225562555256325512557255D255C255B2510"
     "25142534252C251C2500253C255E255F255A25542569256625602550256C2567"
     "2568256425652559255825522553256B256A2518250C25882584258C25902580"
     "03B100DF039303C003A303C300B503C403A6039803A903B4221E03C603B52229"
     "226100B1226522642320232100F7224800B0221900B7221A207F00B225A000A0"},
    {863,
     "00C700FC00E900E200C200E000B600E700EA00EB00E800EF00EE201700C000A7"
     "00C900C800CA00F400CB00CF00FB00F900A400D400DC00A200A300D900DB0192"
     "00A600B400F300FA00A800B800B300AF00CE231000AC00BD00BC00BE00AB00BB"
     "259125922593250225242561256225562555256325512557255D255C255B2510"
     "25142534252C251C2500253C255E255F255A25542569256625602550256C2567"
     "2568256425652559255825522553256B256A2518250C25882584258C25902580"
     "03B100DF039303C003A303C300B503C403A6039803A903B4221E03C603B52229"
     "226100B1226522642320232100F7224800B0221900B7221A207F00B225A000A0"},
    {865,
     "00C700FC00E900E200E400E000E500E700EA00EB00E800EF00EE00EC00C400C5"
     "00C900E600C600F400F600F200FB00F900FF00D600DC00F800A300D820A70192"
     "00E100ED00F300FA00F100D100AA00BA00BF231000AC00BD00BC00A100AB00A4"
     "259125922593250225242561256225562555256325512557255D255C255B2510"
     "25142534252C251C2500253C255E255F255A25542569256625602550256C2567"
     "2568256425652559255825522553256B256A2518250C25882584258C25902580"
     "03B100DF039303C003A303C300B503C403A6039803A903B4221E03C603B52229"
     "226100B1226522642320232100F7224800B0221900B7221A207F00B225A000A0"},
    {866,
     "0410041104120413041404150416041704180419041A041B041C041D041E041F"
     "0420042104220423042404250426042704280429042A042B042C042D042E042F"
     "0430043104320433043404350436043704380439043A043B043C043D043E043F"
     "259125922593250225242561256225562555256325512557255D255C255B2510"
     "25142534252C251C2500253C255E255F255A25542569256625602550256C2567"
     "2568256425652559255825522553256B256A2518250C25882584258C25902580"
     "0440044104420443044404450446044704480449044A044B044C044D044E044F"
     "040104510404045404070457040E045E00B0221900B7221A211600A425A000A0"},
    {869,
     "FFFDFFFDFFFDFFFDFFFDFFFD0386FFFD00B700AC00A620182019038820150389"
     "038A03AA038CFFFDFFFD038E03AB00A9038F00B200B303AC00A303AD03AE03AF"
     "03CA039003CC03CD039103920393039403950396039700BD0398039900AB00BB"
     "25912592259325022524039A039B039C039D256325512557255D039E039F2510"
     "25142534252C251C2500253C03A003A1255A25542569256625602550256C03A3"
     "03A403A503A603A703A803A903B103B203B32518250C2588258403B403B52580"
     "03B603B703B803B903BA03BB03BC03BD03BE03BF03C003C103C303C203C40384"
     "00AD00B103C503C603C700A703C8038500B000A803C903CB03B003CE25A000A0"},
};

std::u16string upper_half_characters(const char* hex) {
    std::u16string out;
    for (size_t i = 0; hex[i] != 0; i += 4) {
        out += static_cast<char16_t>(std::stoi(std::string(hex + i, 4), nullptr, 16));
    }
    return out;
}

// Every byte of every DOS code page reads as the Windows table says (ICU's
// IBM tables swap 0x1A, 0x1C and 0x7F, and differ at a few letters), and
// every character the table defines writes back as its byte.
TEST(tk_code_pages_windows, EveryByteOfTheDosCodePagesFollowsWindows) {
    for (const dos_table& t : kDosTables) {
        SCOPED_TRACE(t.code_page);
        ASSERT_TRUE(tk_is_code_page_supported(t.code_page));
        std::u16string expected;
        for (int b = 0; b < 0x80; ++b) expected += static_cast<char16_t>(b);
        expected += upper_half_characters(t.upper_half);
        ASSERT_EQ(expected.size(), 256u);
        std::string all;
        for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
        const std::u16string decoded = tk_ansi_to_ucs2(all, t.code_page);
        ASSERT_EQ(decoded.size(), 256u);
        for (int b = 0; b < 256; ++b) {
            EXPECT_EQ(int(decoded[b]), int(expected[b])) << "byte " << std::hex << b;
            EXPECT_EQ(tk_ansi_to_ucs2(all.substr(b, 1), t.code_page), expected.substr(b, 1))
                << "byte " << std::hex << b << " alone";
            if (expected[b] == u'\uFFFD') continue;
            EXPECT_EQ(tk_ucs2_to_ansi(expected.substr(b, 1), t.code_page), all.substr(b, 1))
                << "character of byte " << std::hex << b;
        }
        // The control codes inside a text, next to letters of the upper half.
        EXPECT_EQ(
            tk_ansi_to_ucs2(std::string_view("\x1a\x80\x1c\xff\x7f", 5), t.code_page),
            std::u16string(u"\u001a") + expected[0x80] + u"\u001c" + expected[0xFF] + u"\u007f");
        EXPECT_EQ(tk_ucs2_to_ansi(u"\u001a\u001c\u007f", t.code_page), "\x1a\x1c\x7f");
    }
}

// The double-byte Japanese code page has the same swap in ICU; its double-byte
// characters are unaffected.
TEST(tk_code_pages_windows, JapaneseKeepsTheAsciiRange) {
    std::string ascii;
    for (int b = 0; b < 0x80; ++b) ascii += static_cast<char>(b);
    std::u16string wide;
    for (int b = 0; b < 0x80; ++b) wide += static_cast<char16_t>(b);
    EXPECT_EQ(tk_ansi_to_ucs2(ascii, 932), wide);
    EXPECT_EQ(tk_ucs2_to_ansi(wide, 932), ascii);
    const std::string mixed("\x93\xfa\x1a\x96\x7b\x7f", 6);  // 日, 0x1A, 本, 0x7F
    EXPECT_EQ(tk_ansi_to_ucs2(mixed, 932), u"\u65e5\u001a\u672c\u007f");
    EXPECT_EQ(tk_ucs2_to_ansi(u"\u65e5\u001a\u672c\u007f", 932), mixed);
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
