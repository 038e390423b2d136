#include "ol_values.h"

#include <gtest/gtest.h>

using namespace ocilite::load;

namespace {

struct number_case {
    const char* in;
    const char* canonical;
};
void PrintTo(const number_case& c, std::ostream* os) {
    *os << c.in;
}

class DecimalText : public ::testing::TestWithParam<number_case> {};

TEST_P(DecimalText, ParsesToOracleCanonicalText) {
    const auto d = decimal::parse(GetParam().in);
    ASSERT_TRUE(d.has_value()) << GetParam().in;
    EXPECT_EQ(d->text(), GetParam().canonical);
}

INSTANTIATE_TEST_SUITE_P(
    Numbers, DecimalText,
    ::testing::Values(number_case{"0", "0"}, number_case{"-0.00", "0"}, number_case{"0.25", ".25"},
                      number_case{"-0.25", "-.25"}, number_case{"1234.50", "1234.5"},
                      number_case{"007", "7"}, number_case{"+7", "7"}, number_case{"1e3", "1000"},
                      number_case{"1.5E-3", ".0015"},
                      number_case{"1E40", "10000000000000000000000000000000000000000"},
                      number_case{" 12 ", "12"}, number_case{".5", ".5"}));

TEST(Decimal, RejectsWhatIsNotANumber) {
    for (const char* bad : {"", "-", "1.2.3", "12a", "e5", "1e", "--1", "1 2"})
        EXPECT_FALSE(decimal::parse(bad).has_value()) << bad;
}

TEST(Decimal, RoundsHalfAwayFromZeroToScale) {
    struct c {
        const char* in;
        int scale;
        const char* out;
    };
    for (const c& k :
         {c{"1.005", 2, "1.01"}, c{"-1.005", 2, "-1.01"}, c{"1.004", 2, "1"},
          c{"999.995", 2, "1000"}, c{"0.4", 0, "0"}, c{"0.5", 0, "1"}, c{"1234", -2, "1200"},
          c{"1250", -2, "1300"}, c{"0.0004", 3, "0"}, c{"12.3", 5, "12.3"}})
        EXPECT_EQ(round_to_scale(*decimal::parse(k.in), k.scale).text(), k.out)
            << k.in << " scale " << k.scale;
    EXPECT_EQ(round_significant(*decimal::parse("123456"), 3).text(), "123000");
}

TEST(Decimal, ArithmeticIsExact) {
    EXPECT_EQ(add(*decimal::parse("0.1"), *decimal::parse("0.2")).text(), ".3");
    EXPECT_EQ(add(*decimal::parse("1"), *decimal::parse("-1.5")).text(), "-.5");
    EXPECT_EQ(multiply(*decimal::parse("-1.5"), *decimal::parse("86400")).text(), "-129600");
    EXPECT_EQ(
        multiply(*decimal::parse("99999999999999999999"), *decimal::parse("99999999999999999999"))
            .text(),
        "9999999999999999999800000000000000000001");
    EXPECT_LT(compare(*decimal::parse("-2"), *decimal::parse("1")), 0);
}

TEST(Decimal, Int64OnlyWhenIntegralAndInRange) {
    EXPECT_EQ(decimal::parse("9223372036854775807")->to_int64(), INT64_MAX);
    EXPECT_EQ(decimal::parse("-9223372036854775808")->to_int64(), INT64_MIN);
    EXPECT_FALSE(decimal::parse("9223372036854775808")->to_int64());
    EXPECT_FALSE(decimal::parse("1.5")->to_int64());
    EXPECT_EQ(decimal::parse("1.5e1")->to_int64(), 15);
}

struct mask_case {
    const char* value;
    const char* mask;
    const char* stored;  // storage_timestamp(.., 9) of the result
};
void PrintTo(const mask_case& c, std::ostream* os) {
    *os << c.value << " " << c.mask;
}

class DateMask : public ::testing::TestWithParam<mask_case> {};

TEST_P(DateMask, ParsesLikeToDate) {
    const date_time now{2026, 12, 7, 0, 0, 0, 0};
    std::string ora;
    const auto d = parse_datetime(GetParam().value, GetParam().mask, now, ora);
    ASSERT_TRUE(d.has_value()) << GetParam().value << " / " << GetParam().mask << ": " << ora;
    EXPECT_EQ(storage_timestamp(*d, 9), GetParam().stored);
}

INSTANTIATE_TEST_SUITE_P(
    Masks, DateMask,
    ::testing::Values(mask_case{"17-12-1980", "dd-mm-yyyy", "1980-12-17 00:00:00.000000000"},
                      mask_case{"2-4-1981", "dd-mm-yyyy", "1981-04-02 00:00:00.000000000"},
                      // MM accepts a month name; RR puts 87 in the last century.
                      mask_case{"13-JUL-87", "dd-mm-rr", "1987-07-13 00:00:00.000000000"},
                      mask_case{"13-jul-25", "DD-MON-RR", "2025-07-13 00:00:00.000000000"},
                      mask_case{"04-FEB-2021 13.20.22.245676861", "DD-MON-YYYY HH24.MI.SS.FF",
                                "2021-02-04 13:20:22.245676861"},
                      mask_case{"2020/01/31 11:05:09 PM", "YYYY/MM/DD HH:MI:SS AM",
                                "2020-01-31 23:05:09.000000000"},
                      mask_case{"12 AM 2020-01-01", "HH AM YYYY-MM-DD",
                                "2020-01-01 00:00:00.000000000"},
                      mask_case{"20240229", "YYYYMMDD", "2024-02-29 00:00:00.000000000"},
                      mask_case{"1 January 2000", "DD MONTH YYYY", "2000-01-01 00:00:00.000000000"},
                      mask_case{"2000", "YYYY", "2000-12-01 00:00:00.000000000"},
                      mask_case{"10-OCT-10 10.10.10.5 AM", "DD-MON-RR HH.MI.SSXFF AM",
                                "2010-10-10 10:10:10.500000000"}));

TEST(DateMask, ReportsOracleErrors) {
    const date_time now{2026, 12, 7, 0, 0, 0, 0};
    struct c {
        const char* value;
        const char* mask;
        const char* ora;
    };
    for (const c& k :
         {c{"31-02-2020", "DD-MM-YYYY", "ORA-01839"}, c{"32-01-2020", "DD-MM-YYYY", "ORA-01847"},
          c{"01-13-2020", "DD-MM-YYYY", "ORA-01843"}, c{"01-XYZ-2020", "DD-MON-YYYY", "ORA-01843"},
          c{"01-01-2020 25:00", "DD-MM-YYYY HH24:MI", "ORA-01850"},
          c{"01-01-2020 10:61", "DD-MM-YYYY HH24:MI", "ORA-01851"},
          c{"01-01-2020 extra", "DD-MM-YYYY", "ORA-01830"},
          c{"ab-01-2020", "DD-MM-YYYY", "ORA-01858"}, c{"01-01-2020", "DD-MM-QQQQ", "ORA-01821"},
          c{"01-01-0000", "DD-MM-YYYY", "ORA-01841"}}) {
        std::string ora;
        EXPECT_FALSE(parse_datetime(k.value, k.mask, now, ora).has_value()) << k.value;
        EXPECT_EQ(ora.substr(0, 9), k.ora) << k.value << " / " << k.mask << " gave " << ora;
    }
}

TEST(DateArithmetic, AddsWholeAndFractionalDays) {
    const date_time d{1987, 7, 13, 0, 0, 0, 0};
    EXPECT_EQ(storage_date(*add_days(d, *decimal::parse("-85"))), "1987-04-19 00:00:00");
    EXPECT_EQ(storage_date(*add_days(d, *decimal::parse("0.5"))), "1987-07-13 12:00:00");
    EXPECT_EQ(storage_date(*add_days(date_time{2000, 2, 28}, *decimal::parse("1"))),
              "2000-02-29 00:00:00");
    EXPECT_FALSE(add_days(date_time{9999, 12, 31}, *decimal::parse("1")).has_value());
}

TEST(TimestampStorage, RoundsFractionToPrecisionAndCarries) {
    EXPECT_EQ(storage_timestamp(date_time{2021, 2, 4, 13, 20, 22, 245676861}, 6),
              "2021-02-04 13:20:22.245677000");
    EXPECT_EQ(storage_timestamp(date_time{2021, 2, 4, 13, 20, 22, 245676861}, 0),
              "2021-02-04 13:20:22.000000000");
    EXPECT_EQ(storage_timestamp(date_time{2020, 12, 31, 23, 59, 59, 999999999}, 3),
              "2021-01-01 00:00:00.000000000");
}

TEST(DateFormat, FormatsWithMask) {
    const date_time d{1980, 12, 17, 15, 4, 5, 120000000};
    EXPECT_EQ(format_datetime(d, "DD-MON-RR"), "17-DEC-80");
    EXPECT_EQ(format_datetime(d, "YYYY-MM-DD HH24:MI:SS"), "1980-12-17 15:04:05");
    EXPECT_EQ(format_datetime(d, "DD-MON-RR HH.MI.SSXFF3 AM"), "17-DEC-80 03.04.05.120 PM");
}

}  // namespace
