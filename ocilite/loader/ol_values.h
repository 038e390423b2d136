// Values of the loader's expression evaluator and their conversion to the
// storage form of ol_catalog.h: exact decimals for NUMBER, Oracle date format
// masks for TO_DATE/TO_TIMESTAMP, and the text forms of dates and timestamps.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ocilite::load {

// An exact decimal: value = (neg ? -1 : 1) * digits * 10^exp.  `digits` has no
// leading or trailing zeros; an empty `digits` is zero (never negative).
struct decimal {
    bool neg = false;
    std::string digits;
    int exp = 0;

    // Parses "12", "-1.50", ".5", "1e3", " +7 " (blanks around allowed).
    static std::optional<decimal> parse(std::string_view text);
    static decimal from_int(int64_t v);
    bool is_zero() const { return digits.empty(); }
    bool is_integer() const { return exp >= 0 || digits.empty(); }
    // Digits left of the decimal point (0 for |value| < 1).
    int integer_digits() const;
    // The value when it is integral and fits 64 bits.
    std::optional<int64_t> to_int64() const;
    double to_double() const;
    // Oracle's canonical text: "-.25", "1234.5", "100" (never an exponent).
    std::string text() const;
    void normalize();
};

// Rounds half away from zero to `scale` digits after the point (negative:
// to tens, hundreds, ...).
decimal round_to_scale(decimal d, int scale);
// Rounds half away from zero to `digits` significant digits.
decimal round_significant(decimal d, int digits);
decimal add(const decimal& a, const decimal& b);
decimal negate(decimal a);
decimal multiply(const decimal& a, const decimal& b);
int compare(const decimal& a, const decimal& b);

// A calendar date and time of day (proleptic Gregorian, years 1..9999 as
// Oracle allows for DATE; BC years are not supported).
struct date_time {
    int year = 1, month = 1, day = 1, hour = 0, minute = 0, second = 0;
    int64_t nanos = 0;  // fraction of the second, 0..999999999
};

int64_t days_from_civil(int y, int m, int d);
date_time civil_from_days(int64_t days);
// Adds a (possibly fractional) number of days, as DATE arithmetic does.
// Returns nullopt when the result leaves years 1..9999.
std::optional<date_time> add_days(const date_time& d, const decimal& days);

// Parses `value` with an Oracle datetime format mask (TO_DATE/TO_TIMESTAMP
// rules: case-insensitive, punctuation matches punctuation, MM also takes a
// month name, RR picks the century).  On failure returns nullopt and sets
// `ora` to the Oracle error text.  `now` supplies the defaults Oracle uses for
// missing year and month.  With `zone`, the time zone that TZH, TZM or TZR read is stored
// there in Oracle's TZR form ("+02:00", "-08:00", or the region name as written), empty when
// the mask reads none.
std::optional<date_time> parse_datetime(std::string_view value, std::string_view mask,
                                        const date_time& now, std::string& ora,
                                        std::string* zone = nullptr);
// Formats with a mask made of the common elements (DD, MON, MONTH, MM, YYYY,
// YY, RR, HH, HH12, HH24, MI, SS, FF[n], AM/PM, punctuation, "text").
std::string format_datetime(const date_time& d, std::string_view mask);

// The offset from UTC in minutes of a zone in TZR form: "+02:00" 120, "-08:30" -510; UTC,
// GMT and Z are 0.  nullopt for another region (no time zone file is at hand).
std::optional<int> zone_offset_minutes(std::string_view zone);
// The same wall-clock reading `minutes` later (earlier when negative); the fraction is kept.
date_time shift_minutes(const date_time& d, int minutes);

// 'YYYY-MM-DD HH24:MI:SS'.
std::string storage_date(const date_time& d);
// 'YYYY-MM-DD HH24:MI:SS.fffffffff' with the fraction rounded to `precision`
// digits (0..9) and written with 9 digits; rounding may carry into seconds.
std::string storage_timestamp(date_time d, int precision);
// Rounds the fraction to `precision` digits, carrying into the seconds.
date_time round_fraction(date_time d, int precision);
// Parses the storage forms above back (used for values read from SQLite).
std::optional<date_time> parse_storage(std::string_view s);

}  // namespace ocilite::load
