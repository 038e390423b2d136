// ole_date: a date and/or time of day read from text or taken from a calendar
// record, and printed in the system's one date notation.
//
// This is where the system decides which date and time texts it accepts:
//   "YYYYMMDDhhmmss" (exactly 14 characters), "YYYYMMDD" (exactly 8),
//   "h:m" and "h:m:s[.fff]" (a time of day alone),
//   "Y-M-D", "Y/M/D", "Y.M.D", each optionally followed by " h:m:s[.fff]";
//   a day above 31 with a year up to 31 is read the other way round, so
//   "15.01.2004" is 15 January 2004;
//   a trailing "AM"/"PM" ("am"/"pm") marker is dropped; "PM" adds 12 to an
//   hour below 12, and "12 AM" is hour 0 (midnight);
//   a date of all zeros ("00000000", "0000-00-00") is no date.
// (There is no locale-dependent parser: texts in a locale's own notation,
// such as "Jan 15, 2004", are not accepted.)
//
// It prints "YYYY-MM-DD hh:mm:ss[.fff]", "YYYY-MM-DD" for a date alone (and
// for a date and time at midnight) and "0000-00-00 hh:mm:ss[.fff]" for a time
// alone; years below 100 print as 2000-2049 (below 50) and 1950-1999.
//
// A small value class with no resources; parsing never throws.  Not shared
// between threads while being changed.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "ole_types.h"

class ole_date {
  public:
    enum kind_t : int32_t {
        kind_invalid = 0,
        kind_date_time = 1,
        kind_date = 2,
        kind_time = 3,
    };

    // Takes the record as a date and time, then refine_type().
    explicit ole_date(const ole_systemtime& record);
    // Parses text (in the ANSI code page); any text at all is accepted as
    // input: what no notation reads leaves the value invalid.
    explicit ole_date(std::string_view text);
    // The same for a wide text (converted to the ANSI code page first).
    explicit ole_date(std::u16string_view text);

    // Kind not 0; month 1..12; day and year not 0, and not both above 31;
    // hour, minute and second up to 60.  An all-zero date is a time alone and
    // passes with a valid time.
    bool is_valid() const;
    // Kind 3 when year, month and day are all 0; kind 2 when they are all
    // set and hour, minute and second are all 0; otherwise unchanged.
    void refine_type();
    // Reads seconds_text as a decimal number s (as atof would) into second
    // (s truncated) and milliseconds (the fraction times 1000, truncated).  A
    // negative, non-finite or too large s sets a second that is_valid()
    // rejects.  REQUIRES: seconds_text not null (otherwise tk_mail_assertion).
    void process_milliseconds(const char* seconds_text);
    // Tries the notations in order on an already trimmed text, leaving the
    // record and kind of the first that reads a valid value; kind 0 when
    // none does.
    void import_from_string(std::string_view text);

    // The value in the system's notation (see above); milliseconds are
    // printed as three digits after a point, for a date and time only when
    // requested and non-zero, for a time alone whenever non-zero.  A value of
    // kind 0 (a text that did not read) prints as the empty string; a value
    // taken from a record prints the record's numbers by its kind, even when
    // is_valid() rejects them (month 13 prints as 13).
    std::string to_string(bool with_milliseconds = false) const;
    std::u16string to_wstring(bool with_milliseconds = false) const;

    kind_t kind() const noexcept { return kind_; }
    const ole_systemtime& record() const noexcept { return record_; }
    bool date_only_at_midnight() const noexcept { return date_only_at_midnight_; }
    // When set (every constructor sets it), a date and time at 00:00:00
    // prints as the date alone.
    void set_date_only_at_midnight(bool on) noexcept { date_only_at_midnight_ = on; }

  private:
    void parse(std::string_view text);
    bool try_timestamp14(std::string_view text);
    bool try_timestamp8(std::string_view text);
    bool try_pure_time(std::string_view text);
    bool try_notation(int index, std::string_view text);

    bool date_only_at_midnight_ = true;
    kind_t kind_ = kind_invalid;
    ole_systemtime record_{};
};
