// ole_variant: construction, copies, conversions, and the parsing of texts
// into every tag the system uses.
#include "ole_variant.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "test_support.h"
#include "tk_exception.h"

namespace {

std::vector<uint8_t> bytes_of(const ole_variant& v) {
    const uint8_t* p = nullptr;
    const int32_t n = v.get_bytes(p);
    if (n == 0) return {};
    return std::vector<uint8_t>(p, p + n);
}

// ---------------------------------------------------------------------------
// Binary values

TEST(ole_variant_binary, HexTextWithAndWithoutPrefix) {
    const struct {
        const char* text;
        VARTYPE vt;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {"0x41FF", VT_BINARY, {0x41, 0xFF}},
        {"41FF", VT_BINARY, {0x41, 0xFF}},
        {"0X41ff", VT_BLOB, {0x41, 0xFF}},
        {"00ab", VT_BINARY, {0x00, 0xAB}},
        {"0x", VT_BINARY, {}},
        {"4G", VT_BINARY, {0x04}},
        {"zz41", VT_BINARY, {0x00, 0x41}},
    };
    for (const auto& c : cases) {
        const ole_variant v = ole_variant::from_string(c.text, c.vt);
        EXPECT_EQ(v.vt(), VT_BINARY) << c.text;
        EXPECT_EQ(bytes_of(v), c.bytes) << c.text;
    }
}

TEST(ole_variant_binary, OddLengthIsEmpty) {
    EXPECT_EQ(ole_variant::from_string("0x4", VT_BINARY).vt(), VT_EMPTY);
    EXPECT_EQ(ole_variant::from_string("41F", VT_BLOB).vt(), VT_EMPTY);
}

TEST(ole_variant_binary, PrintsUpperCaseHexWithPrefix) {
    const uint8_t raw[] = {0x00, 0xAB};
    EXPECT_EQ(ole_variant(2, raw).to_string(), "0x00AB");
    EXPECT_EQ(ole_variant(std::vector<uint8_t>{}).to_string(), "");
    EXPECT_EQ(ole_variant(std::vector<uint8_t>{}).vt(), VT_BINARY);
    // Text and binary meet again: what is printed parses back to the bytes.
    const std::vector<uint8_t> all = [] {
        std::vector<uint8_t> b;
        for (int i = 0; i < 256; ++i) b.push_back(static_cast<uint8_t>(i));
        return b;
    }();
    const ole_variant v(all);
    EXPECT_EQ(bytes_of(ole_variant::from_string(v.to_string(), VT_BINARY)), all);
}

TEST(ole_variant_binary, AllocateResizesKeepingBytes) {
    ole_variant v(std::vector<uint8_t>{1, 2, 3});
    v.allocate_safe_array(5);
    EXPECT_EQ(bytes_of(v), (std::vector<uint8_t>{1, 2, 3, 0, 0}));
    v.allocate_safe_array(2);
    EXPECT_EQ(bytes_of(v), (std::vector<uint8_t>{1, 2}));
    EXPECT_EQ(v.get_safe_array_size(), 2);

    ole_variant s("text");
    s.allocate_safe_array(3);
    EXPECT_EQ(s.vt(), VT_BINARY);
    EXPECT_EQ(bytes_of(s), (std::vector<uint8_t>{0, 0, 0}));
    EXPECT_TRUE(s.get_bstr().empty());
}

TEST(ole_variant_binary, WritableBytesAfterAllocation) {
    ole_variant v;
    v.allocate_safe_array(2);
    uint8_t* p = nullptr;
    ASSERT_EQ(v.get_bytes(p), 2);
    p[0] = 0xDE;
    p[1] = 0xAD;
    EXPECT_EQ(v.to_string(), "0xDEAD");
}

TEST(ole_variant_binary, GetBytesOfEmptyLeavesPointer) {
    const uint8_t marker = 7;
    const uint8_t* p = &marker;
    EXPECT_EQ(ole_variant().get_bytes(p), 0);
    EXPECT_EQ(p, &marker);
}

// ---------------------------------------------------------------------------
// Internal assertions

TEST(ole_variant_assertions, RequestsTheDesignDoesNotAllow) {
    const uint8_t* p = nullptr;
    EXPECT_THROW(ole_variant("text").to_long(), tk_mail_assertion);
    EXPECT_THROW(ole_variant(ole_cy{1}).to_long(), tk_mail_assertion);
    EXPECT_THROW(ole_variant(ole_systemtime{2004, 1, 0, 15}).to_double(), tk_mail_assertion);
    EXPECT_THROW(ole_variant(std::vector<uint8_t>{1}).to_bool(), tk_mail_assertion);
    EXPECT_THROW(ole_variant(42).get_bytes(p), tk_mail_assertion);
    EXPECT_THROW(ole_variant("0x41").get_bytes(p), tk_mail_assertion);
    EXPECT_THROW(ole_variant(size_t{4}, nullptr), tk_mail_assertion);
    try {
        (void)ole_variant("x").to_long();
    } catch (const tk_mail_assertion& e) {
        EXPECT_EQ(e.level(), 2);
    }
}

TEST(ole_variant_assertions, TypeExceptionForTagsTextCannotBuild) {
    const VARTYPE tags[] = {VT_NULL,  VT_DISPATCH, VT_ERROR,     VT_UNKNOWN, VT_VARIANT,
                            VT_LPSTR, VT_LPWSTR,   VT_SAFEARRAY, 99};
    for (VARTYPE vt : tags) {
        EXPECT_THROW(ole_variant::from_string("1", vt), ole_type_exception) << vt;
    }
    try {
        (void)ole_variant::from_string("abc", VT_INT);
        ADD_FAILURE() << "no exception";
    } catch (const ole_type_exception& e) {
        EXPECT_STREQ(e.what(), "The operating type is not supported yet");
        EXPECT_EQ(e.level(), 1);
    }
}

// ---------------------------------------------------------------------------
// Texts into numbers

TEST(ole_variant_parse, EmptyText) {
    EXPECT_EQ(ole_variant::from_string("", VT_I4).vt(), VT_EMPTY);
    EXPECT_EQ(ole_variant::from_string("", VT_DATE).vt(), VT_EMPTY);
    EXPECT_EQ(ole_variant::from_string("", VT_ERROR).vt(), VT_EMPTY);
    const ole_variant s = ole_variant::from_string("", VT_BSTR);
    EXPECT_EQ(s.vt(), VT_BSTR);
    EXPECT_EQ(s.to_string(), "");
}

TEST(ole_variant_parse, IntegerTags) {
    const struct {
        const char* text;
        VARTYPE vt;
        VARTYPE result;
        const char* printed;
    } cases[] = {
        {"42", VT_I4, VT_I4, "42"},
        {"  -17xyz", VT_I4, VT_I4, "-17"},
        {"abc", VT_I4, VT_I4, "0"},
        {"-2.7", VT_I4, VT_I4, "-2"},
        {"1.0E+3", VT_I4, VT_I4, "1000"},
        {"2147483647", VT_I4, VT_I4, "2147483647"},
        {"2147483648", VT_I4, VT_EMPTY, ""},
        {"-128", VT_I1, VT_I1, "-128"},
        {"128", VT_I1, VT_EMPTY, ""},
        {"255", VT_UI1, VT_UI1, "255"},
        {"-1", VT_UI1, VT_EMPTY, ""},
        {"-32768", VT_I2, VT_I2, "-32768"},
        {"70000", VT_I2, VT_EMPTY, ""},
        {"65535", VT_UI2, VT_UI2, "65535"},
        {"4294967295", VT_UI4, VT_UI4, "4294967295"},
        {"-0", VT_UI4, VT_UI4, "0"},
        {"9223372036854775807", VT_I8, VT_I8, "9223372036854775807"},
        {"-9223372036854775808", VT_I8, VT_I8, "-9223372036854775808"},
        {"9223372036854775808", VT_I8, VT_EMPTY, ""},
        {"18446744073709551615", VT_UI8, VT_UI8, "18446744073709551615"},
        {"18446744073709551616", VT_UI8, VT_EMPTY, ""},
        {"-5", VT_UI8, VT_EMPTY, ""},
        {"12", VT_INT, VT_INT, ""},  // VT_INT prints as nothing
        {"12.5", VT_UINT, VT_UINT, "12"},
        {"13.5", VT_UINT, VT_UINT, "14"},
    };
    for (const auto& c : cases) {
        const ole_variant v = ole_variant::from_string(c.text, c.vt);
        EXPECT_EQ(v.vt(), c.result) << c.text << " as " << c.vt;
        EXPECT_EQ(v.to_string(), c.printed) << c.text << " as " << c.vt;
    }
    EXPECT_THROW(ole_variant::from_string("-1", VT_UINT), ole_type_exception);
}

TEST(ole_variant_parse, RealsReadCommaAsPoint) {
    EXPECT_EQ(ole_variant::from_string("3,5", VT_R8).to_double(), 3.5);
    EXPECT_EQ(ole_variant::from_string("1,234.5", VT_R8).to_double(), 1.234);
    EXPECT_EQ(ole_variant::from_string("  -2.5e3xyz", VT_R8).to_double(), -2500.0);
    EXPECT_EQ(ole_variant::from_string("abc", VT_R8).to_double(), 0.0);
    EXPECT_EQ(ole_variant::from_string("+.25", VT_R8).to_double(), 0.25);
    EXPECT_EQ(ole_variant::from_string("+-1", VT_R8).to_double(), 0.0);
    // A sign without a number is 0, not -0, and prints without a sign; "-0"
    // itself keeps its sign, as atof reads it.
    for (const char* text : {"-", "-abc", " -.", "-e5"}) {
        const ole_variant v = ole_variant::from_string(text, VT_R8);
        EXPECT_FALSE(std::signbit(v.to_double())) << text;
        EXPECT_EQ(v.to_string(), "0.0000000000000000e+00") << text;
    }
    EXPECT_TRUE(std::signbit(ole_variant::from_string("-0", VT_R8).to_double()));
    EXPECT_EQ(ole_variant::from_string("1e400", VT_R8).to_double(),
              std::numeric_limits<double>::infinity());
    EXPECT_EQ(ole_variant::from_string("-1e400", VT_R8).to_double(),
              -std::numeric_limits<double>::infinity());
    EXPECT_EQ(ole_variant::from_string("1e-400", VT_R8).to_double(), 0.0);
    EXPECT_EQ(ole_variant::from_string("0.0000001e-400", VT_R8).to_double(), 0.0);
    EXPECT_TRUE(std::isinf(ole_variant::from_string("-Inf", VT_R8).to_double()));
    EXPECT_TRUE(std::isnan(ole_variant::from_string("Nan", VT_R8).to_double()));
    const ole_variant f = ole_variant::from_string("1e39", VT_R4);
    EXPECT_EQ(f.vt(), VT_R4);
    EXPECT_TRUE(std::isinf(f.to_double()));
    EXPECT_EQ(ole_variant::from_string("2,5", VT_R4).to_double(), 2.5);
}

TEST(ole_variant_parse, DecimalAndCurrencyNeedTheWholeText) {
    EXPECT_EQ(ole_variant::from_string("1,234.5", VT_DECIMAL).vt(), VT_EMPTY);
    EXPECT_EQ(ole_variant::from_string("12abc", VT_DECIMAL).vt(), VT_EMPTY);
    EXPECT_EQ(ole_variant::from_string("3,25", VT_DECIMAL).to_string(), "3.25");
    EXPECT_EQ(ole_variant::from_string("3,25", VT_CY).to_string(), "3.25");
    EXPECT_EQ(ole_variant::from_string("1,234.5", VT_CY).vt(), VT_EMPTY);
    EXPECT_EQ(ole_variant::from_string("1E20", VT_CY).vt(), VT_EMPTY);
    EXPECT_EQ(ole_variant::from_string("1.23456", VT_CY).get_cy().int64, 12346);
}

TEST(ole_variant_parse, BoolTexts) {
    const struct {
        const char* text;
        bool value;
    } cases[] = {{"TRUE", true},
                 {"Yes", true},
                 {"yes", true},
                 {"No", false},
                 {"false", false},
                 {"2", true},
                 {"abc", false},
                 {"0", false},
                 {" -1", true},
                 {"0.9", false},
                 {"99999999999999999999", true}};
    for (const auto& c : cases) {
        const ole_variant v = ole_variant::from_string(c.text, VT_BOOL);
        EXPECT_EQ(v.vt(), VT_BOOL) << c.text;
        EXPECT_EQ(v.to_bool(), c.value) << c.text;
        EXPECT_EQ(v.to_string(), c.value ? "1" : "0") << c.text;
    }
}

TEST(ole_variant_parse, DateTextOrEmpty) {
    const ole_variant d = ole_variant::from_string("20040115103000", VT_DATE);
    ASSERT_EQ(d.vt(), VT_DATE);
    EXPECT_EQ(d.get_date(), (ole_systemtime{2004, 1, 0, 15, 10, 30, 0, 0}));
    EXPECT_EQ(d.get_date_number(), 38001.4375);
    EXPECT_EQ(ole_variant::from_string("2004-13-15", VT_DATE).vt(), VT_EMPTY);
    EXPECT_EQ(ole_variant::from_string("tomorrow", VT_DATE).vt(), VT_EMPTY);
}

// ---------------------------------------------------------------------------
// Values into numbers and texts

TEST(ole_variant_convert, BoolHoldingOneIsNotTrue) {
    const ole_variant v = ole_variant::from_variant_bool(1);
    EXPECT_FALSE(v.to_bool());
    EXPECT_EQ(v.to_string(), "0");
    EXPECT_EQ(v.to_long(), 1);
    EXPECT_EQ(ole_variant(true).to_long(), -1);
    EXPECT_EQ(ole_variant(true).to_double(), -1.0);
}

TEST(ole_variant_convert, ExponentFormatsOfReals) {
    EXPECT_EQ(ole_variant(1.5).to_string(), "1.5000000000000000e+00");
    EXPECT_EQ(ole_variant(-0.001).to_string(), "-1.0000000000000000e-03");
    EXPECT_EQ(ole_variant(1e40).to_string(), "1.0000000000000000e+40");
    EXPECT_EQ(ole_variant(1.5f).to_string(), "1.500000e+00");
    EXPECT_EQ(ole_variant(0.1f).to_string(), "1.000000e-01");
    EXPECT_EQ(ole_variant(-std::numeric_limits<double>::infinity()).to_string(), "-inf");
}

TEST(ole_variant_convert, IntegersPrintInDecimal) {
    EXPECT_EQ(ole_variant(static_cast<char>(-5)).to_string(), "-5");
    EXPECT_EQ(ole_variant(static_cast<unsigned char>(200)).to_string(), "200");
    EXPECT_EQ(ole_variant(static_cast<short>(-300)).to_string(), "-300");
    EXPECT_EQ(ole_variant(static_cast<unsigned short>(60000)).to_string(), "60000");
    EXPECT_EQ(ole_variant(4294967295u).to_string(), "4294967295");
    EXPECT_EQ(ole_variant(INT64_MIN).to_string(), "-9223372036854775808");
    EXPECT_EQ(ole_variant(UINT64_MAX).to_string(), "18446744073709551615");
    EXPECT_EQ(ole_variant(5LL).vt(), VT_I8);
    EXPECT_EQ(ole_variant(5ULL).vt(), VT_UI8);
}

TEST(ole_variant_convert, ToLong) {
    EXPECT_EQ(ole_variant(-2.7).to_long(), -2);
    EXPECT_EQ(ole_variant(2.7f).to_long(), 2);
    EXPECT_EQ(ole_variant(1e12).to_long(), 0);
    EXPECT_EQ(ole_variant(std::nan("")).to_long(), 0);
    EXPECT_EQ(ole_variant(4294967295u).to_long(), -1);
    EXPECT_EQ(ole_variant(static_cast<int64_t>(0x100000005LL)).to_long(), 5);
    EXPECT_EQ(ole_variant(*ole_decimal::from_string("2.5")).to_long(), 2);
    EXPECT_EQ(ole_variant(*ole_decimal::from_string("3000000000")).to_long(), 0);
    EXPECT_EQ(ole_variant().to_long(), 0);
}

TEST(ole_variant_convert, ToDouble) {
    EXPECT_EQ(ole_variant(4294967295u).to_double(), 4294967295.0);
    EXPECT_EQ(ole_variant(static_cast<int64_t>(5000000000LL)).to_double(), 5000000000.0);
    EXPECT_EQ(ole_variant(UINT64_MAX).to_double(), 18446744073709551615.0);
    EXPECT_EQ(ole_variant(ole_cy{-12345}).to_double(), -1.2345);
    EXPECT_EQ(ole_variant(*ole_decimal::from_string("-0.001")).to_double(), -0.001);
    EXPECT_EQ(ole_variant().to_double(), 0.0);
}

TEST(ole_variant_convert, ToBool) {
    EXPECT_TRUE(ole_variant(0.5).to_bool());
    EXPECT_FALSE(ole_variant(0.0f).to_bool());
    EXPECT_FALSE(ole_variant(*ole_decimal::from_string("0.4")).to_bool());
    EXPECT_TRUE(ole_variant(*ole_decimal::from_string("0.6")).to_bool());
    EXPECT_TRUE(ole_variant(static_cast<uint64_t>(1) << 40).to_bool());
    EXPECT_FALSE(ole_variant().to_bool());
}

TEST(ole_variant_convert, WideTextOfEveryKind) {
    EXPECT_EQ(ole_variant(u"abc").to_wstring(), u"abc");
    EXPECT_EQ(ole_variant(42).to_wstring(), u"42");
    EXPECT_EQ(ole_variant().to_wstring(), u"");
    EXPECT_EQ(ole_variant(std::u16string(u"a\0b", 3)).to_wstring().size(), 3u);
}

// ---------------------------------------------------------------------------
// Round trips that table data takes: Oracle's NUMBER text to a value and on
// to the text the DBF writer puts in the file.

struct number_case {
    const char* oracle;
    VARTYPE vt;
    const char* written;  // "" for the empty value
};

void PrintTo(const number_case& c, std::ostream* out) {
    *out << '"' << c.oracle << "\" as " << c.vt;
}

class ole_variant_number : public testing::TestWithParam<number_case> {};

TEST_P(ole_variant_number, OracleTextToDbfText) {
    const number_case& c = GetParam();
    const ole_variant v = ole_variant::from_wstring(
        std::u16string(c.oracle, c.oracle + std::char_traits<char>::length(c.oracle)), c.vt);
    EXPECT_EQ(v.to_string(), c.written) << c.oracle;
    if (*c.written == '\0') {
        EXPECT_EQ(v.vt(), VT_EMPTY) << c.oracle;
        return;
    }
    EXPECT_EQ(v.vt(), c.vt);
    // The written text reads back as the same value.
    const ole_variant back = ole_variant::from_string(v.to_string(), c.vt);
    EXPECT_EQ(back.to_string(), v.to_string()) << c.oracle;
    if (c.vt == VT_R8) {
        EXPECT_EQ(back.to_double(), v.to_double()) << c.oracle;
    }
}

INSTANTIATE_TEST_SUITE_P(Decimal, ole_variant_number,
                         testing::Values(number_case{".5", VT_DECIMAL, "0.5"},
                                         number_case{"-.5", VT_DECIMAL, "-0.5"},
                                         number_case{"-0.001", VT_DECIMAL, "-0.001"},
                                         number_case{"85", VT_DECIMAL, "85"},
                                         number_case{"12345678901234567890.123456789", VT_DECIMAL,
                                                     "12345678901234567890.123456789"},
                                         number_case{".3333333333333333333333333333333333333333",
                                                     VT_DECIMAL, "0.3333333333333333333333333333"},
                                         number_case{"1.0E+40", VT_DECIMAL, ""}));

INSTANTIATE_TEST_SUITE_P(
    Double, ole_variant_number,
    testing::Values(number_case{".5", VT_R8, "5.0000000000000000e-01"},
                    number_case{"-0.001", VT_R8, "-1.0000000000000000e-03"},
                    number_case{"12345678901234567890.123456789", VT_R8, "1.2345678901234567e+19"},
                    number_case{"1.0E+40", VT_R8, "1.0000000000000000e+40"},
                    number_case{"1.0E-130", VT_R8, "1.0000000000000001e-130"}));

INSTANTIATE_TEST_SUITE_P(
    Int64, ole_variant_number,
    testing::Values(number_case{"85", VT_I8, "85"}, number_case{"-85", VT_I8, "-85"},
                    number_case{".5", VT_I8, "0"}, number_case{"-0.001", VT_I8, "0"},
                    number_case{"9223372036854775807", VT_I8, "9223372036854775807"},
                    number_case{"12345678901234567890.123456789", VT_I8, ""},
                    number_case{"1.0E+40", VT_I8, ""},
                    number_case{"1.0E+18", VT_I8, "1000000000000000000"}));

// ---------------------------------------------------------------------------
// Dates through values

TEST(ole_variant_date, TextToValueToTextAndBack) {
    const char* texts[] = {"2004-01-15 10:30:00", "2004-01-15", "0000-00-00 10:30:05.500",
                           "1999-12-31 23:59:59.001", "2049-06-01 12:00:00"};
    for (const char* text : texts) {
        const ole_variant v = ole_variant::from_string(text, VT_DATE);
        ASSERT_EQ(v.vt(), VT_DATE) << text;
        EXPECT_EQ(v.to_string(), text);
        const ole_variant back = ole_variant::from_string(v.to_string(), VT_DATE);
        EXPECT_EQ(back.get_date(), v.get_date()) << text;
    }
}

TEST(ole_variant_date, TwoDigitYearPrintsWidened) {
    const ole_variant v(ole_systemtime{49, 1, 0, 15, 0, 0, 0, 0});
    EXPECT_EQ(v.to_string(), "2049-01-15");
    EXPECT_EQ(v.get_date().year, 49);
    EXPECT_EQ(v.get_date_number(), 0.0);  // no automation date for year 49
}

TEST(ole_variant_date, AssignmentCarriesTheRecord) {
    const ole_variant source(ole_systemtime{2004, 1, 0, 15, 10, 30, 0, 0});
    ole_variant target("old text");
    target = source;
    EXPECT_EQ(target.vt(), VT_DATE);
    EXPECT_EQ(target.to_string(), "2004-01-15 10:30:00");
    EXPECT_TRUE(target.get_bstr().empty());
    EXPECT_EQ(ole_variant(42).get_date(), ole_systemtime{});
}

// ---------------------------------------------------------------------------
// Copies and moves

TEST(ole_variant_copy, CopiesAreIndependent) {
    ole_variant a(std::vector<uint8_t>{1, 2});
    ole_variant b(a);
    uint8_t* p = nullptr;
    b.get_bytes(p);
    p[0] = 9;
    EXPECT_EQ(a.to_string(), "0x0102");
    EXPECT_EQ(b.to_string(), "0x0902");

    ole_variant s(u"text");
    ole_variant t;
    t = s;
    s.attach_wstring(u"changed");
    EXPECT_EQ(t.to_wstring(), u"text");
}

TEST(ole_variant_copy, EveryKindSurvivesCopyAndAssignment) {
    const std::vector<ole_variant> values = {
        ole_variant(),
        ole_variant(true),
        ole_variant(static_cast<char>(-3)),
        ole_variant(static_cast<short>(-300)),
        ole_variant(70000),
        ole_variant(4000000000u),
        ole_variant(static_cast<int64_t>(-5000000000LL)),
        ole_variant(static_cast<uint64_t>(1) << 63),
        ole_variant(1.25f),
        ole_variant(-2.5),
        ole_variant(ole_cy{12345}),
        ole_variant(*ole_decimal::from_string("-123.456")),
        ole_variant(ole_systemtime{2004, 1, 0, 15, 10, 30, 5, 250}),
        ole_variant("narrow"),
        ole_variant(u"wide"),
        ole_variant(std::vector<uint8_t>{0xCA, 0xFE}),
    };
    for (const ole_variant& v : values) {
        const ole_variant copy(v);
        EXPECT_EQ(copy.vt(), v.vt());
        EXPECT_EQ(copy.to_string(), v.to_string());
        for (const ole_variant& other : values) {
            ole_variant target(other);
            target = v;
            EXPECT_EQ(target.vt(), v.vt());
            EXPECT_EQ(target.to_string(), v.to_string());
        }
    }
}

TEST(ole_variant_copy, MoveLeavesSourceEmpty) {
    ole_variant a(u"moved text");
    ole_variant b(std::move(a));
    EXPECT_EQ(b.to_wstring(), u"moved text");
    EXPECT_EQ(a.vt(), VT_EMPTY);  // NOLINT: the moved-from state is specified
    ole_variant c(5);
    c = std::move(b);
    EXPECT_EQ(c.to_wstring(), u"moved text");
    EXPECT_EQ(b.vt(), VT_EMPTY);  // NOLINT
}

TEST(ole_variant_copy, SelfAssignment) {
    ole_variant v(std::vector<uint8_t>{1, 2, 3});
    const ole_variant& same = v;
    v = same;
    EXPECT_EQ(v.to_string(), "0x010203");
}

// A derived value (as the data model's field is) copies through the base.
class derived_value : public ole_variant {
  public:
    using ole_variant::ole_variant;
    std::string to_string() const override { return "[" + ole_variant::to_string() + "]"; }
};

TEST(ole_variant_copy, VirtualTextOperations) {
    const derived_value d(7);
    const ole_variant& base = d;
    EXPECT_EQ(base.to_string(), "[7]");
    EXPECT_EQ(base.to_wstring(), u"[7]");
}

// ---------------------------------------------------------------------------
// Narrow texts are in the ANSI code page.

TEST(ole_variant_code_page, NarrowTextIsConvertedBothWays) {
    kestrel_test::code_page_scope cp(1251);
    const ole_variant v = ole_variant::from_wstring(u"\u041F\u0440\u0438", VT_BSTR);
    EXPECT_EQ(v.to_string(), "\xCF\xF0\xE8");
    const ole_variant n("\xCF\xF0\xE8");
    EXPECT_EQ(n.to_wstring(), u"\u041F\u0440\u0438");
    cp.set(1252);
    EXPECT_EQ(ole_variant("\xE9").to_wstring(), u"\u00E9");
}

// ---------------------------------------------------------------------------
// Trace lines

TEST(ole_variant_log, ParseFailuresAreTraced) {
    std::string log;
    {
        const kestrel_test::log_capture capture(1);
        EXPECT_EQ(ole_variant::from_string("0x4", VT_BINARY).vt(), VT_EMPTY);
        EXPECT_EQ(ole_variant::from_string("x", VT_DECIMAL).vt(), VT_EMPTY);
        EXPECT_EQ(ole_variant::from_string("1E30", VT_CY).vt(), VT_EMPTY);
        EXPECT_EQ(ole_variant::from_string("2004-01-15", VT_DATE).to_string(), "2004-01-15");
        (void)ole_variant(static_cast<int64_t>(-5)).to_string();
        log = capture.text();
    }
    EXPECT_NE(log.find("Incorrect BLOB (size is odd)"), std::string::npos);
    EXPECT_NE(log.find("VarDecFromStr failed: 80020005"), std::string::npos);
    EXPECT_NE(log.find("VarCyFromStr failed: 8002000A"), std::string::npos);
    EXPECT_NE(log.find("ole_variant::ctor(hyper, -5)"), std::string::npos);
    EXPECT_NE(log.find("Format #0 succeeded (3 items)"), std::string::npos);
}

}  // namespace
