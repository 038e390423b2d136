// The value core under ole_variant: the variant type codes, the calendar
// record, the 96-bit DECIMAL and the CY currency, with the text and number
// conversions the system needs.
//
// The codes are the published OLE Automation VARTYPE numbers, so that values
// keep their meaning in files and logs.  DECIMAL and CY follow the automation
// types: a DECIMAL is a 96-bit magnitude with a sign and a scale 0..28 (the
// value is magnitude / 10^scale); a CY is a 64-bit integer counting
// ten-thousandths.  The conversions give the results of the automation
// functions for the texts this system meets; they never depend on the
// process's C locale (the decimal point is always '.').
//
// Plain values; every function here is thread-safe.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

using VARTYPE = uint16_t;

inline constexpr VARTYPE VT_EMPTY = 0;
inline constexpr VARTYPE VT_NULL = 1;
inline constexpr VARTYPE VT_I2 = 2;
inline constexpr VARTYPE VT_I4 = 3;
inline constexpr VARTYPE VT_R4 = 4;
inline constexpr VARTYPE VT_R8 = 5;
inline constexpr VARTYPE VT_CY = 6;
inline constexpr VARTYPE VT_DATE = 7;
inline constexpr VARTYPE VT_BSTR = 8;
inline constexpr VARTYPE VT_DISPATCH = 9;
inline constexpr VARTYPE VT_ERROR = 10;
inline constexpr VARTYPE VT_BOOL = 11;
inline constexpr VARTYPE VT_VARIANT = 12;
inline constexpr VARTYPE VT_UNKNOWN = 13;
inline constexpr VARTYPE VT_DECIMAL = 14;
inline constexpr VARTYPE VT_I1 = 16;
inline constexpr VARTYPE VT_UI1 = 17;
inline constexpr VARTYPE VT_UI2 = 18;
inline constexpr VARTYPE VT_UI4 = 19;
inline constexpr VARTYPE VT_I8 = 20;
inline constexpr VARTYPE VT_UI8 = 21;
inline constexpr VARTYPE VT_INT = 22;
inline constexpr VARTYPE VT_UINT = 23;
inline constexpr VARTYPE VT_SAFEARRAY = 27;
inline constexpr VARTYPE VT_LPSTR = 30;
inline constexpr VARTYPE VT_LPWSTR = 31;
inline constexpr VARTYPE VT_BLOB = 65;
inline constexpr VARTYPE VT_BLOB_OBJECT = 70;
inline constexpr VARTYPE VT_ARRAY = 0x2000;
// The system's binary value: a one-dimensional array of bytes (8209).
inline constexpr VARTYPE VT_BINARY = VT_ARRAY | VT_UI1;

// Result codes of the automation conversions, for trace lines.
inline constexpr uint32_t ole_s_ok = 0;
inline constexpr uint32_t ole_e_type_mismatch = 0x80020005;  // DISP_E_TYPEMISMATCH
inline constexpr uint32_t ole_e_overflow = 0x8002000A;       // DISP_E_OVERFLOW

inline constexpr int16_t VARIANT_TRUE = -1;
inline constexpr int16_t VARIANT_FALSE = 0;

// A calendar date and time of day, field for field the Windows SYSTEMTIME
// record.  The day of the week is carried but never read.
struct ole_systemtime {
    uint16_t year = 0;
    uint16_t month = 0;
    uint16_t day_of_week = 0;
    uint16_t day = 0;
    uint16_t hour = 0;
    uint16_t minute = 0;
    uint16_t second = 0;
    uint16_t milliseconds = 0;

    friend bool operator==(const ole_systemtime&, const ole_systemtime&) = default;
};

// The automation date number: days since 30 December 1899, the time of day
// as the fraction (for days before that date the fraction still counts
// forward from midnight, as the automation format has it).  Years 100..9999,
// months 1..12, days 1..31 (a day past the month's end runs into the next
// month), hour, minute and second below 24, 60 and 60.  false when the
// record lies outside those ranges; out is then left alone.
bool ole_systemtime_to_variant_time(const ole_systemtime& record, double& out);
// The reverse, rounded to whole seconds as the automation function does;
// false for numbers outside years 100..9999 (or not finite).
bool ole_variant_time_to_systemtime(double date, ole_systemtime& out);

// The automation DECIMAL: 96-bit magnitude, sign, scale.
struct ole_decimal {
    static constexpr uint8_t sign_negative = 0x80;
    static constexpr uint8_t max_scale = 28;

    uint16_t reserved = 0;
    uint8_t scale = 0;
    uint8_t sign = 0;  // 0 or sign_negative
    uint32_t hi32 = 0;
    uint64_t lo64 = 0;

    bool is_negative() const noexcept { return (sign & sign_negative) != 0; }
    bool is_zero() const noexcept { return hi32 == 0 && lo64 == 0; }

    // Parses a number text the way the automation text-to-DECIMAL function
    // does with '.' as the decimal point: surrounding white space, a leading
    // or trailing sign, or the whole number in parentheses for a negative;
    // digits with at most one point (".5", "5." and "-.5" are numbers); an
    // optional exponent "E"/"e" with an optional sign ("1E3", "1.5E-3",
    // "1.0E+40").  Up to 29 significant digits are kept exactly when they fit
    // in 96 bits; digits beyond what fits (or beyond scale 28) are rounded
    // away, half away from zero.  nullopt when the text is not such a number
    // (grouping separators are not accepted) or its integer part does not fit
    // in 96 bits.
    static std::optional<ole_decimal> from_string(std::string_view text);
    // The same, giving the automation result code: 0 (S_OK), ole_e_type_mismatch
    // for a text that is not a number, ole_e_overflow for one that does not fit.
    // out is set only on success.
    static uint32_t parse(std::string_view text, ole_decimal& out);
    // The exact value of a 64-bit integer.
    static ole_decimal from_int64(int64_t value) noexcept;
    static ole_decimal from_uint64(uint64_t value) noexcept;

    // The value in plain notation, '.' as the decimal point: "-" for a
    // negative non-zero value, the integer digits ("0" when there are none),
    // then the fraction without trailing zeros ("1.5", "-0.001", "100").
    std::string to_string() const;
    // The nearest double.
    double to_double() const noexcept;
    // Rounded to an integer, half to even, as the automation function does;
    // nullopt when that does not fit in 32 bits.
    std::optional<int32_t> to_long() const noexcept;
    // The same for 64 bits.
    std::optional<int64_t> to_int64() const noexcept;
    // The same value with a different scale (0..28), rounding half away
    // from zero when the scale shrinks; nullopt when it does not fit.
    std::optional<ole_decimal> rescaled(uint8_t new_scale) const;

    friend bool operator==(const ole_decimal&, const ole_decimal&) = default;
};

// The automation currency: a 64-bit count of ten-thousandths.
struct ole_cy {
    int64_t int64 = 0;

    // Parses as ole_decimal::from_string does, then rounds to four decimals
    // (half to even, as the automation function does); nullopt when the text
    // is not a number or the value does not fit.
    static std::optional<ole_cy> from_string(std::string_view text);
    // The same with the result code, as ole_decimal::parse.
    static uint32_t parse(std::string_view text, ole_cy& out);
    // The decimal's value rounded to four decimals (half to even); nullopt
    // when it does not fit.
    static std::optional<ole_cy> from_decimal(const ole_decimal& value);

    // Plain notation with '.', no trailing zeros ("1.5", "-0.0001", "12").
    std::string to_string() const;
    double to_double() const noexcept { return static_cast<double>(int64) / 10000.0; }
    ole_decimal to_decimal() const noexcept;

    friend bool operator==(const ole_cy&, const ole_cy&) = default;
};
