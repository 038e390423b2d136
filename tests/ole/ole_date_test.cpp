// ole_date: which texts are dates, what they mean, and how they print.
#include "ole_date.h"

#include <gtest/gtest.h>

#include <string>

#include "tk_exception.h"

namespace {

struct parse_case {
    const char* text;
    ole_date::kind_t kind;  // kind_invalid: the text is not accepted
    const char* printed;    // to_string(true)
};

void PrintTo(const parse_case& c, std::ostream* out) {
    *out << '"' << c.text << '"';
}

class ole_date_parse : public testing::TestWithParam<parse_case> {};

TEST_P(ole_date_parse, KindAndPrintedForm) {
    const parse_case& c = GetParam();
    const ole_date d{std::string_view(c.text)};
    EXPECT_EQ(d.is_valid(), c.kind != ole_date::kind_invalid) << c.text;
    EXPECT_EQ(d.kind(), c.kind) << c.text;
    EXPECT_EQ(d.to_string(true), c.printed) << c.text;
    // The printed form is itself accepted and means the same.
    if (d.is_valid()) {
        const ole_date again{std::string_view(d.to_string(true))};
        EXPECT_EQ(again.to_string(true), d.to_string(true)) << c.text;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Timestamps, ole_date_parse,
    testing::Values(parse_case{"20040115103000", ole_date::kind_date_time, "2004-01-15 10:30:00"},
                    parse_case{"20040115", ole_date::kind_date, "2004-01-15"},
                    // Midnight in the 14-digit form stays kind 1 but prints as a date.
                    parse_case{"20040115000000", ole_date::kind_date_time, "2004-01-15"},
                    parse_case{"20041315", ole_date::kind_invalid, ""},
                    // No date and no time is no value.
                    parse_case{"00000000", ole_date::kind_invalid, ""},
                    parse_case{"00000000000000", ole_date::kind_time, "0000-00-00 00:00:00"},
                    parse_case{"00000000103000", ole_date::kind_time, "0000-00-00 10:30:00"},
                    parse_case{"20040115106000", ole_date::kind_date_time, "2004-01-15 10:60:00"},
                    parse_case{"20040115106100", ole_date::kind_invalid, ""}));

INSTANTIATE_TEST_SUITE_P(
    Times, ole_date_parse,
    testing::Values(parse_case{"10:30", ole_date::kind_time, "0000-00-00 10:30:00"},
                    parse_case{"10:30:05.5", ole_date::kind_time, "0000-00-00 10:30:05.500"},
                    parse_case{"10:30:05.005", ole_date::kind_time, "0000-00-00 10:30:05.005"},
                    parse_case{"10:30:", ole_date::kind_time, "0000-00-00 10:30:00"},
                    parse_case{"60:00:00", ole_date::kind_time, "0000-00-00 60:00:00"},
                    parse_case{"61:00:00", ole_date::kind_invalid, ""},
                    // Seconds are checked like hours and minutes.
                    parse_case{"10:30:99", ole_date::kind_invalid, ""},
                    parse_case{"10:30:-5", ole_date::kind_invalid, ""},
                    parse_case{"10:30:1e999", ole_date::kind_invalid, ""},
                    parse_case{"0000-00-00 10:30:00", ole_date::kind_time, "0000-00-00 10:30:00"}));

INSTANTIATE_TEST_SUITE_P(
    Notations, ole_date_parse,
    testing::Values(
        parse_case{"2004-01-15", ole_date::kind_date, "2004-01-15"},
        parse_case{"2004/01/15 10:20:30", ole_date::kind_date_time, "2004-01-15 10:20:30"},
        parse_case{"2004.1.5 1:2:3", ole_date::kind_date_time, "2004-01-05 01:02:03"},
        parse_case{"2004-01-15 10:20:30.25", ole_date::kind_date_time, "2004-01-15 10:20:30.250"},
        parse_case{"2004-01-15 00:00:00", ole_date::kind_date, "2004-01-15"},
        parse_case{"   2004-01-15   ", ole_date::kind_date, "2004-01-15"},
        // Day and year the other way round.
        parse_case{"15.01.2004 10:20:30", ole_date::kind_date_time, "2004-01-15 10:20:30"},
        parse_case{"15-01-49", ole_date::kind_date, "2049-01-15"},
        // Two-digit years.
        parse_case{"49-01-15", ole_date::kind_date, "2049-01-15"},
        parse_case{"50-01-15", ole_date::kind_date, "1950-01-15"},
        parse_case{"99/12/31 23:59:59", ole_date::kind_date_time, "1999-12-31 23:59:59"},
        // Rejected.
        parse_case{"2004-13-01", ole_date::kind_invalid, ""},
        parse_case{"2004-00-01", ole_date::kind_invalid, ""},
        parse_case{"2004-01-00", ole_date::kind_invalid, ""},
        parse_case{"2004-01-32", ole_date::kind_invalid, ""},
        parse_case{"0000-00-00", ole_date::kind_invalid, ""},
        parse_case{"2004-01-15 61:00:00", ole_date::kind_invalid, ""},
        parse_case{"2004-01-15 10:30", ole_date::kind_invalid, ""},
        parse_case{"Jan 15, 2004", ole_date::kind_invalid, ""},
        parse_case{"abcdef", ole_date::kind_invalid, ""}));

INSTANTIATE_TEST_SUITE_P(
    TwelveHourClock, ole_date_parse,
    testing::Values(parse_case{"3:15:00 PM", ole_date::kind_time, "0000-00-00 15:15:00"},
                    parse_case{"12:00:00 PM", ole_date::kind_time, "0000-00-00 12:00:00"},
                    parse_case{"12:30:00 AM", ole_date::kind_time, "0000-00-00 00:30:00"},
                    parse_case{"09:05 am", ole_date::kind_time, "0000-00-00 09:05:00"},
                    parse_case{"2004-01-15 3:00:00 pm", ole_date::kind_date_time,
                               "2004-01-15 15:00:00"},
                    parse_case{"2004-01-15 12:00:00 AM", ole_date::kind_date, "2004-01-15"}));

INSTANTIATE_TEST_SUITE_P(TooShort, ole_date_parse,
                         testing::Values(parse_case{"", ole_date::kind_invalid, ""},
                                         parse_case{"1:2", ole_date::kind_invalid, ""},
                                         parse_case{"   10:5   ", ole_date::kind_invalid, ""},
                                         // Four characters once the marker is cut.
                                         parse_case{"1:05 PM", ole_date::kind_invalid, ""},
                                         parse_case{"12:05PM", ole_date::kind_time,
                                                    "0000-00-00 12:05:00"}));

TEST(ole_date, FromRecordRefinesTheKind) {
    EXPECT_EQ(ole_date(ole_systemtime{2004, 1, 0, 15, 0, 0, 0, 0}).kind(), ole_date::kind_date);
    EXPECT_EQ(ole_date(ole_systemtime{2004, 1, 0, 15, 0, 0, 0, 0}).to_string(), "2004-01-15");
    EXPECT_EQ(ole_date(ole_systemtime{0, 0, 0, 0, 10, 30, 0, 0}).kind(), ole_date::kind_time);
    EXPECT_EQ(ole_date(ole_systemtime{2004, 1, 0, 15, 0, 0, 1, 0}).kind(),
              ole_date::kind_date_time);
    // A year alone set is neither a date nor a time: the kind stays.
    EXPECT_EQ(ole_date(ole_systemtime{2004, 0, 0, 0, 0, 0, 0, 0}).kind(), ole_date::kind_date_time);
    EXPECT_FALSE(ole_date(ole_systemtime{2004, 0, 0, 0, 0, 0, 0, 0}).is_valid());
}

TEST(ole_date, MillisecondsPrintOnlyWhenAskedForADateAndTime) {
    const ole_date d(ole_systemtime{2004, 1, 0, 15, 10, 30, 5, 7});
    EXPECT_EQ(d.to_string(false), "2004-01-15 10:30:05");
    EXPECT_EQ(d.to_string(true), "2004-01-15 10:30:05.007");
    const ole_date t(ole_systemtime{0, 0, 0, 0, 10, 30, 5, 7});
    EXPECT_EQ(t.to_string(false), "0000-00-00 10:30:05.007");
    EXPECT_EQ(t.to_wstring(false), u"0000-00-00 10:30:05.007");
}

TEST(ole_date, YearsBelowOneHundredWidenWhenPrinted) {
    const struct {
        uint16_t year;
        const char* printed;
    } cases[] = {{1, "2001-02-03"},  {49, "2049-02-03"},  {50, "1950-02-03"},
                 {99, "1999-02-03"}, {100, "0100-02-03"}, {2004, "2004-02-03"}};
    for (const auto& c : cases) {
        const ole_date d(ole_systemtime{c.year, 2, 0, 3, 0, 0, 0, 0});
        EXPECT_EQ(d.to_string(), c.printed) << c.year;
        EXPECT_EQ(d.record().year, c.year);  // printing does not change the value
    }
}

TEST(ole_date, MidnightFlag) {
    ole_date d{std::string_view("20040115000000")};
    ASSERT_EQ(d.kind(), ole_date::kind_date_time);
    EXPECT_EQ(d.to_string(), "2004-01-15");
    d.set_date_only_at_midnight(false);
    EXPECT_EQ(d.to_string(), "2004-01-15 00:00:00");
}

TEST(ole_date, ProcessMilliseconds) {
    ole_date d(ole_systemtime{0, 0, 0, 0, 1, 2, 0, 0});
    const struct {
        const char* text;
        uint16_t second, ms;
    } cases[] = {{"05.25", 5, 250}, {"05.123", 5, 123}, {"59.999", 59, 999},
                 {"7", 7, 0},       {"8abc", 8, 0},     {"", 0, 0}};
    for (const auto& c : cases) {
        d.process_milliseconds(c.text);
        EXPECT_EQ(d.record().second, c.second) << c.text;
        EXPECT_EQ(d.record().milliseconds, c.ms) << c.text;
    }
    EXPECT_THROW(d.process_milliseconds(nullptr), tk_mail_assertion);
}

TEST(ole_date, WideTextIsParsedLikeNarrow) {
    const ole_date d{std::u16string_view(u" 15.01.2004 10:20:30 ")};
    EXPECT_EQ(d.to_string(), "2004-01-15 10:20:30");
    EXPECT_FALSE(ole_date{std::u16string_view(u"\u0414\u0430\u0442\u0430:10:30")}.is_valid());
}

TEST(ole_date, ImportFromStringSkipsTheCutAndSwapSteps) {
    ole_date d(ole_systemtime{2004, 1, 0, 15, 0, 0, 0, 0});
    d.import_from_string("15.01.2004");
    // Read as year 15, day 2004: valid as read, swapped only by the text constructor.
    EXPECT_TRUE(d.is_valid());
    EXPECT_EQ(d.record().year, 15);
    EXPECT_EQ(d.record().day, 2004);
    d.import_from_string("nonsense");
    EXPECT_EQ(d.kind(), ole_date::kind_invalid);
    EXPECT_EQ(d.to_string(), "");
}

}  // namespace
