// Text services of the ocilite engine: UTF-8/UTF-16 conversion at the interface boundary and
// the text forms in which Oracle hands values to a client (TO_CHAR of a NUMBER, the default
// NLS date and timestamp formats, binary floating point, RAW as hex).
//
// Pure functions over values; no state, safe from any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace ocilite {

// UTF-8 -> UTF-16 code units.  Invalid bytes become U+FFFD.
std::u16string utf8_to_utf16(std::string_view s);
// UTF-16 code units -> UTF-8.  Unpaired surrogates become U+FFFD.
std::string utf16_to_utf8(std::u16string_view s);
// Number of UTF-16 code units that the UTF-8 text would take.
std::size_t utf16_length(std::string_view utf8);

// Oracle's text form of a NUMBER (TO_CHAR without a format): no leading zero before the
// decimal point, no trailing zeros, at most 40 significant digits, and scientific notation
// ("1.0E+100") only when the fixed form would exceed 64 characters.
// `decimal` is an exact decimal text: optional sign, digits, optional point and fraction,
// optional exponent ("-0.250", "1e40", "12345678901234567890123").  Returns false when the
// text is not a number.
bool number_text(std::string_view decimal, std::string& out);
std::string number_text(std::int64_t v);
// Shortest text of a double that reads back the same, in Oracle's NUMBER form.
std::string number_text(double v);

// BINARY_FLOAT / BINARY_DOUBLE as Oracle prints them: "1.2345600000000001E+003", "Nan",
// "Inf", "-Inf".
std::string binary_float_text(double v, bool single);

// A date and time as the catalog stores them: "YYYY-MM-DD HH24:MI:SS[.fffffffff]".
struct date_time {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    std::uint32_t nanos = 0;
};
bool parse_date_time(std::string_view s, date_time& out);
// The same followed by an optional zone, as a TIMESTAMP WITH TIME ZONE is stored:
// "YYYY-MM-DD HH24:MI:SS[.fffffffff][ ZONE]".  `zone` receives the text after the blank
// ("+02:00", "UTC", "US/Pacific"), empty when there is none.
bool parse_date_time_zone(std::string_view s, date_time& out, std::string& zone);
// "05-MAR-24" (DD-MON-RR).
std::string date_text(const date_time& d);
// "05-MAR-24 01.14.15.000000 PM" (DD-MON-RR HH.MI.SSXFF AM) with `digits` fraction digits.
std::string timestamp_text(const date_time& d, int digits);

// INTERVAL values.  YEAR TO MONTH is a signed number of months; DAY TO SECOND a sign and its
// fields.  The text forms are Oracle's: a sign, the leading field padded with zeros to the
// leading precision, then the rest ("+02-03", "-03 04:05:06.123000").
struct interval_ds {
    bool negative = false;
    std::int64_t days = 0;
    int hours = 0;
    int minutes = 0;
    int seconds = 0;
    std::uint32_t nanos = 0;
};
// Reads "[+|-]Y-M" (M 0..11) or "[+|-]Y", blanks around allowed.  False for anything else.
bool parse_interval_ym(std::string_view s, std::int64_t& months);
// Reads "[+|-]D HH:MI:SS[.f]" (also without the seconds, or without the minutes) with
// HH 0..23 and MI, SS 0..59; fraction digits past nine are dropped.  False for anything else.
bool parse_interval_ds(std::string_view s, interval_ds& out);
// Rounds the fraction half up to `fraction` digits (0..9), carrying into the larger fields.
interval_ds round_interval(interval_ds v, int fraction);
std::string interval_ym_text(std::int64_t months, int leading);
// The fraction is rounded to `fraction` digits; with 0 digits there is no decimal point.
std::string interval_ds_text(const interval_ds& v, int leading, int fraction);
// Number of decimal digits of v (at least 1), without a sign.
int digit_count(std::int64_t v);

// Oracle's 18-character extended ROWID text (data object number, relative file number, block
// and row slot, in Oracle's base-64 digits) for the row `row` (SQLite rowid, 1 and up) of the
// table whose data object number is `object`.  Empty when the row cannot be numbered so.
std::string rowid_text(std::int64_t object, std::int64_t row);
// Reads a ROWID text back.  False when the text is no ROWID (ORA-01410); `row` is 0 for a
// well-formed ROWID that names no row of an ocilite table.
bool parse_rowid(std::string_view text, std::int64_t& object, std::int64_t& row);

// Upper-case hexadecimal, two digits per byte.
std::string hex_text(std::string_view bytes);

}  // namespace ocilite
