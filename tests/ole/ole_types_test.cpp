// The value core: DECIMAL and CY from and to text, their conversions, and the
// automation date number.
#include "ole_types.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>

namespace {

struct decimal_case {
    const char* text;
    const char* printed;  // nullptr: the text does not convert
};

void PrintTo(const decimal_case& c, std::ostream* out) {
    *out << '"' << c.text << '"';
}

class ole_decimal_text : public testing::TestWithParam<decimal_case> {};

TEST_P(ole_decimal_text, ParsesAndPrints) {
    const decimal_case& c = GetParam();
    const std::optional<ole_decimal> d = ole_decimal::from_string(c.text);
    if (c.printed == nullptr) {
        EXPECT_FALSE(d.has_value()) << c.text << " gave " << d->to_string();
        return;
    }
    ASSERT_TRUE(d.has_value()) << c.text;
    EXPECT_EQ(d->to_string(), c.printed) << c.text;
    EXPECT_LE(d->scale, ole_decimal::max_scale);
    // What is printed reads back as the same value.
    const std::optional<ole_decimal> again = ole_decimal::from_string(d->to_string());
    ASSERT_TRUE(again.has_value());
    EXPECT_EQ(again->to_string(), d->to_string());
}

INSTANTIATE_TEST_SUITE_P(
    Notations, ole_decimal_text,
    testing::Values(
        // Oracle's own NUMBER texts.
        decimal_case{"123.45", "123.45"}, decimal_case{".5", "0.5"}, decimal_case{"-.5", "-0.5"},
        decimal_case{"-0.001", "-0.001"}, decimal_case{"85", "85"},
        decimal_case{"12345678901234567890.123456789", "12345678901234567890.123456789"},
        decimal_case{"1.0E+40", nullptr},
        // Exponents.
        decimal_case{"1E3", "1000"}, decimal_case{"1.5E-3", "0.0015"},
        decimal_case{"1.5e+2", "150"}, decimal_case{"1E-40", "0"},
        decimal_case{"0.5E-28", "0.0000000000000000000000000001"},
        // Signs, blanks, parentheses.
        decimal_case{"  42  ", "42"}, decimal_case{"+7", "7"}, decimal_case{"5-", "-5"},
        decimal_case{"(5)", "-5"}, decimal_case{"-0", "0"}, decimal_case{"0.000", "0"},
        decimal_case{"5.", "5"}, decimal_case{"1.50", "1.5"},
        // The 96-bit limit.
        decimal_case{"79228162514264337593543950335", "79228162514264337593543950335"},
        decimal_case{"-79228162514264337593543950335", "-79228162514264337593543950335"},
        decimal_case{"79228162514264337593543950336", nullptr},
        decimal_case{"79228162514264337593543950335.5", nullptr},
        decimal_case{"7922816251426433759354395033.55", "7922816251426433759354395034"},
        // Digits beyond what is kept are rounded away.
        decimal_case{"0.1234567890123456789012345678901", "0.1234567890123456789012345679"},
        decimal_case{"1.23456789012345678901234567891", "1.2345678901234567890123456789"},
        decimal_case{"9.99999999999999999999999999999", "10"},
        decimal_case{".3333333333333333333333333333333333333333", "0.3333333333333333333333333333"},
        // Not numbers.
        decimal_case{"", nullptr}, decimal_case{"abc", nullptr}, decimal_case{".", nullptr},
        decimal_case{"-", nullptr}, decimal_case{"1e", nullptr}, decimal_case{"1.2.3", nullptr},
        decimal_case{"1,5", nullptr}, decimal_case{"1 2", nullptr}, decimal_case{"(-5)", nullptr},
        decimal_case{"(5", nullptr}, decimal_case{"12abc", nullptr}));

TEST(ole_decimal, KeepsScaleOfTrailingZeros) {
    const std::optional<ole_decimal> d = ole_decimal::from_string("1.50");
    ASSERT_TRUE(d.has_value());
    EXPECT_EQ(d->scale, 2);
    EXPECT_EQ(d->lo64, 150u);
}

TEST(ole_decimal, ParseGivesResultCodes) {
    ole_decimal d;
    EXPECT_EQ(ole_decimal::parse("1x", d), ole_e_type_mismatch);
    EXPECT_EQ(ole_decimal::parse("1E30", d), ole_e_overflow);
    EXPECT_EQ(ole_decimal::parse("-12.5", d), ole_s_ok);
    EXPECT_TRUE(d.is_negative());
    EXPECT_EQ(d.to_string(), "-12.5");
}

TEST(ole_decimal, ToDoubleIsNearest) {
    EXPECT_EQ(ole_decimal::from_string("0.1")->to_double(), 0.1);
    EXPECT_EQ(ole_decimal::from_string("-12345678901234567890.123456789")->to_double(),
              -12345678901234567890.123456789);
    EXPECT_EQ(ole_decimal::from_string("79228162514264337593543950335")->to_double(),
              7.922816251426434e28);
}

TEST(ole_decimal, ToLongRoundsHalfToEvenAndRefusesOverflow) {
    const struct {
        const char* text;
        std::optional<int32_t> value;
    } cases[] = {
        {"2.5", 2},
        {"3.5", 4},
        {"-2.5", -2},
        {"-2.7", -3},
        {"2.4999", 2},
        {"2147483647.4", 2147483647},
        {"2147483648", std::nullopt},
        {"-2147483648", INT32_MIN},
        {"-2147483648.5", INT32_MIN},
        {"-2147483649", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ole_decimal::from_string(c.text)->to_long(), c.value) << c.text;
    }
}

TEST(ole_decimal, FromIntegersIsExact) {
    EXPECT_EQ(ole_decimal::from_int64(INT64_MIN).to_string(), "-9223372036854775808");
    EXPECT_EQ(ole_decimal::from_uint64(UINT64_MAX).to_string(), "18446744073709551615");
    EXPECT_EQ(ole_decimal::from_int64(INT64_MIN).to_int64(), INT64_MIN);
}

TEST(ole_decimal, Rescaled) {
    const ole_decimal d = *ole_decimal::from_string("1.25");
    EXPECT_EQ(d.rescaled(1)->to_string(), "1.3");  // half away from zero
    EXPECT_EQ(d.rescaled(4)->scale, 4);
    EXPECT_EQ(d.rescaled(4)->lo64, 12500u);
    EXPECT_FALSE(ole_decimal::from_string("79228162514264337593543950335")->rescaled(1));
    EXPECT_FALSE(d.rescaled(29));
}

TEST(ole_cy, FromTextRoundsToFourDecimalsHalfToEven) {
    const struct {
        const char* text;
        std::optional<int64_t> units;
    } cases[] = {
        {"1.23456", 12346},
        {"0.00005", 0},
        {"0.00015", 2},
        {"-1.5", -15000},
        {"922337203685477.5807", INT64_MAX},
        {"922337203685477.5808", std::nullopt},
        {"-922337203685477.5808", INT64_MIN},
        {"x", std::nullopt},
    };
    for (const auto& c : cases) {
        const std::optional<ole_cy> cy = ole_cy::from_string(c.text);
        ASSERT_EQ(cy.has_value(), c.units.has_value()) << c.text;
        if (cy) {
            EXPECT_EQ(cy->int64, *c.units) << c.text;
        }
    }
}

TEST(ole_cy, PrintsWithoutTrailingZeros) {
    EXPECT_EQ(ole_cy{15000}.to_string(), "1.5");
    EXPECT_EQ(ole_cy{-1}.to_string(), "-0.0001");
    EXPECT_EQ(ole_cy{120000}.to_string(), "12");
    EXPECT_EQ(ole_cy{0}.to_string(), "0");
    EXPECT_EQ(ole_cy{INT64_MIN}.to_string(), "-922337203685477.5808");
    EXPECT_EQ(ole_cy{INT64_MIN}.to_decimal().to_string(), "-922337203685477.5808");
    EXPECT_DOUBLE_EQ(ole_cy{-12345}.to_double(), -1.2345);
}

struct date_number_case {
    ole_systemtime record;
    double number;
};

TEST(ole_date_number, KnownDays) {
    const date_number_case cases[] = {
        {{1899, 12, 0, 30, 0, 0, 0, 0}, 0.0},         {{1900, 1, 0, 1, 0, 0, 0, 0}, 2.0},
        {{2004, 1, 0, 15, 10, 30, 0, 0}, 38001.4375}, {{1899, 12, 0, 29, 6, 0, 0, 0}, -1.25},
        {{100, 1, 0, 1, 0, 0, 0, 0}, -657434.0},      {{9999, 12, 0, 31, 0, 0, 0, 0}, 2958465.0},
    };
    for (const date_number_case& c : cases) {
        double n = 12345.0;
        ASSERT_TRUE(ole_systemtime_to_variant_time(c.record, n)) << c.record.year;
        EXPECT_DOUBLE_EQ(n, c.number) << c.record.year;
        ole_systemtime back;
        ASSERT_TRUE(ole_variant_time_to_systemtime(n, back));
        ole_systemtime expected = c.record;
        expected.day_of_week = back.day_of_week;
        EXPECT_EQ(back, expected) << c.number;
    }
}

TEST(ole_date_number, DayOfWeek) {
    ole_systemtime r;
    ASSERT_TRUE(ole_variant_time_to_systemtime(38001.0, r));  // 15 January 2004
    EXPECT_EQ(r.day_of_week, 4);                              // Thursday
    ASSERT_TRUE(ole_variant_time_to_systemtime(-1.0, r));     // 29 December 1899
    EXPECT_EQ(r.day_of_week, 5);
}

TEST(ole_date_number, RefusesRecordsOutsideTheRange) {
    const ole_systemtime bad[] = {
        {99, 12, 0, 31, 0, 0, 0, 0}, {10000, 1, 0, 1, 0, 0, 0, 0}, {2004, 13, 0, 1, 0, 0, 0, 0},
        {2004, 0, 0, 1, 0, 0, 0, 0}, {2004, 1, 0, 0, 0, 0, 0, 0},  {2004, 1, 0, 1, 24, 0, 0, 0},
        {0, 0, 0, 0, 10, 30, 0, 0},
    };
    for (const ole_systemtime& r : bad) {
        double n = 7.0;
        EXPECT_FALSE(ole_systemtime_to_variant_time(r, n)) << r.year << "-" << r.month;
        EXPECT_EQ(n, 7.0);
    }
    ole_systemtime r;
    EXPECT_FALSE(ole_variant_time_to_systemtime(NAN, r));
    EXPECT_FALSE(ole_variant_time_to_systemtime(3e6, r));
    EXPECT_FALSE(ole_variant_time_to_systemtime(-7e5, r));
}

TEST(ole_date_number, RoundsToWholeSecondsAcrossMidnight) {
    ole_systemtime r;
    ASSERT_TRUE(ole_variant_time_to_systemtime(38001.0 + 86399.6 / 86400.0, r));
    EXPECT_EQ(r.day, 16);
    EXPECT_EQ(r.hour, 0);
    EXPECT_EQ(r.second, 0);
}

}  // namespace
