#include "ole_types.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace {

using u128 = unsigned __int128;

// 2^96 - 1: the largest DECIMAL magnitude.
constexpr u128 kMax96 = (static_cast<u128>(1) << 96) - 1;
// Enough digits for any magnitude of 96 bits (79,228,162,514,264,337,593,543,950,335).
constexpr size_t kMaxDigits96 = 29;

u128 pow10_u128(unsigned n) {
    u128 r = 1;
    for (unsigned i = 0; i < n; ++i) r *= 10;
    return r;
}

u128 magnitude(const ole_decimal& d) {
    return (static_cast<u128>(d.hi32) << 64) | d.lo64;
}

void set_magnitude(ole_decimal& d, u128 m) {
    d.hi32 = static_cast<uint32_t>(m >> 64);
    d.lo64 = static_cast<uint64_t>(m);
}

std::string u128_digits(u128 m) {
    if (m == 0) return "0";
    char buf[48];
    size_t n = 0;
    while (m != 0) {
        buf[n++] = static_cast<char>('0' + static_cast<int>(m % 10));
        m /= 10;
    }
    return std::string(std::make_reverse_iterator(buf + n), std::make_reverse_iterator(buf));
}

// The digits of a magnitude placed at a scale: "12345", 2 -> "123.45";
// trailing fraction zeros are dropped, and the point with them.
std::string place_point(u128 m, unsigned scale, bool negative) {
    std::string digits = u128_digits(m);
    if (scale > 0) {
        if (digits.size() <= scale) digits.insert(0, scale + 1 - digits.size(), '0');
        digits.insert(digits.size() - scale, 1, '.');
        while (digits.back() == '0') digits.pop_back();
        if (digits.back() == '.') digits.pop_back();
    }
    if (negative && m != 0) digits.insert(0, 1, '-');
    return digits;
}

bool is_blank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// A number text split into its parts: value = digits * 10^exponent.
struct number_parts {
    bool negative = false;
    std::string digits;  // significant digits, no leading zeros ("" for zero)
    int64_t exponent = 0;
};

// Reads a whole text in the automation number notation; false when the text
// holds anything else.
bool split_number(std::string_view s, number_parts& out) {
    size_t i = 0;
    const size_t n = s.size();
    while (i < n && is_blank(s[i])) ++i;
    bool paren = false;
    bool sign_seen = false;
    if (i < n && s[i] == '(') {
        paren = true;
        ++i;
    }
    if (i < n && (s[i] == '+' || s[i] == '-')) {
        out.negative = s[i] == '-';
        sign_seen = true;
        ++i;
    }
    size_t digit_count = 0;
    int64_t fraction_digits = 0;
    bool point = false;
    for (; i < n; ++i) {
        const char c = s[i];
        if (c >= '0' && c <= '9') {
            ++digit_count;
            if (point) ++fraction_digits;
            if (c != '0' || !out.digits.empty()) out.digits.push_back(c);
        } else if (c == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (digit_count == 0) return false;
    int64_t exponent = 0;
    if (i < n && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        bool exp_negative = false;
        if (i < n && (s[i] == '+' || s[i] == '-')) {
            exp_negative = s[i] == '-';
            ++i;
        }
        size_t exp_digits = 0;
        for (; i < n && s[i] >= '0' && s[i] <= '9'; ++i) {
            ++exp_digits;
            // Far beyond any representable value; saturate rather than wrap.
            if (exponent < 1000000) exponent = exponent * 10 + (s[i] - '0');
        }
        if (exp_digits == 0) return false;
        if (exp_negative) exponent = -exponent;
    }
    if (!sign_seen && i < n && (s[i] == '+' || s[i] == '-')) {
        out.negative = s[i] == '-';
        sign_seen = true;
        ++i;
    }
    if (paren) {
        if (i >= n || s[i] != ')' || sign_seen) return false;
        out.negative = true;
        ++i;
    }
    while (i < n && is_blank(s[i])) ++i;
    if (i != n) return false;
    // The digits kept include trailing zeros of the integer part; fold the
    // position of the point into the exponent.
    out.exponent = exponent - fraction_digits;
    return true;
}

u128 digits_value(std::string_view digits) {
    u128 v = 0;
    for (char c : digits) v = v * 10 + static_cast<unsigned>(c - '0');
    return v;
}

// Divides m by 10^n, rounding half to even.
u128 divide_pow10_even(u128 m, unsigned n) {
    if (n == 0) return m;
    const u128 p = pow10_u128(n);
    u128 q = m / p;
    const u128 r = m % p;
    const u128 twice = r * 2;
    if (twice > p || (twice == p && (q & 1) != 0)) ++q;
    return q;
}

// Days from 1 January 1970 to a proleptic Gregorian date.
int64_t days_from_civil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void civil_from_days(int64_t z, int64_t& y, unsigned& m, unsigned& d) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = static_cast<int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    if (m <= 2) ++y;
}

// The automation date epoch, 30 December 1899, in days from 1970.
const int64_t kEpochDays = days_from_civil(1899, 12, 30);
// The automation date range: 1 January 100 to 31 December 9999.
const int64_t kFirstDay = days_from_civil(100, 1, 1) - kEpochDays;
const int64_t kLastDay = days_from_civil(9999, 12, 31) - kEpochDays;

}  // namespace

// ---------------------------------------------------------------------------
// Automation dates

bool ole_systemtime_to_variant_time(const ole_systemtime& r, double& out) {
    if (r.year < 100 || r.year > 9999 || r.month < 1 || r.month > 12 || r.day < 1 || r.day > 31 ||
        r.hour > 23 || r.minute > 59 || r.second > 59) {
        return false;
    }
    const int64_t days = days_from_civil(r.year, r.month, r.day) - kEpochDays;
    if (days > kLastDay) return false;
    const double fraction = (r.hour * 3600.0 + r.minute * 60.0 + r.second) / 86400.0;
    // Before the epoch the whole days count backwards but the time of day
    // still counts forwards: -1.25 is 29 December 1899, 06:00.
    out = days >= 0 ? static_cast<double>(days) + fraction : static_cast<double>(days) - fraction;
    return true;
}

bool ole_variant_time_to_systemtime(double date, ole_systemtime& out) {
    if (!std::isfinite(date) || date < static_cast<double>(kFirstDay) - 1.0 ||
        date >= static_cast<double>(kLastDay) + 1.0) {
        return false;
    }
    int64_t days = static_cast<int64_t>(date);  // toward zero
    int64_t seconds = std::llround(std::fabs(date - static_cast<double>(days)) * 86400.0);
    if (seconds >= 86400) {
        seconds -= 86400;
        ++days;
    }
    if (days < kFirstDay || days > kLastDay) return false;
    int64_t y = 0;
    unsigned m = 0, d = 0;
    civil_from_days(days + kEpochDays, y, m, d);
    ole_systemtime r;
    r.year = static_cast<uint16_t>(y);
    r.month = static_cast<uint16_t>(m);
    r.day = static_cast<uint16_t>(d);
    // 30 December 1899 was a Saturday (6).
    r.day_of_week = static_cast<uint16_t>(((days % 7) + 7 + 6) % 7);
    r.hour = static_cast<uint16_t>(seconds / 3600);
    r.minute = static_cast<uint16_t>(seconds / 60 % 60);
    r.second = static_cast<uint16_t>(seconds % 60);
    out = r;
    return true;
}

// ---------------------------------------------------------------------------
// DECIMAL

uint32_t ole_decimal::parse(std::string_view text, ole_decimal& out) {
    number_parts parts;
    if (!split_number(text, parts)) return ole_e_type_mismatch;
    ole_decimal result;
    const std::string& s = parts.digits;
    if (s.empty()) {
        out = result;  // zero, whatever its sign or scale
        return ole_s_ok;
    }
    if (parts.exponent >= 0) {
        // An integer: every digit must be kept.
        if (static_cast<int64_t>(s.size()) + parts.exponent > static_cast<int64_t>(kMaxDigits96)) {
            return ole_e_overflow;
        }
        const u128 m = digits_value(s) * pow10_u128(static_cast<unsigned>(parts.exponent));
        if (m > kMax96) return ole_e_overflow;
        set_magnitude(result, m);
    } else {
        // Fraction digits beyond scale 28, and then beyond what fits in 96
        // bits, are dropped and rounded (half away from zero).  Integer
        // digits are never dropped.
        const int64_t scale = -parts.exponent;
        const int64_t size = static_cast<int64_t>(s.size());
        int64_t drop = scale > max_scale ? scale - max_scale : 0;
        for (;;) {
            if (drop > scale) return ole_e_overflow;  // the integer part does not fit
            const int64_t keep = size - drop;
            if (keep > static_cast<int64_t>(kMaxDigits96)) {
                drop = std::max(drop + 1, size - static_cast<int64_t>(kMaxDigits96));
                continue;
            }
            u128 m = keep > 0 ? digits_value(std::string_view(s).substr(0, keep)) : 0;
            if (keep >= 0 && keep < size && s[keep] >= '5') ++m;
            if (m > kMax96) {
                ++drop;
                continue;
            }
            set_magnitude(result, m);
            result.scale = static_cast<uint8_t>(scale - drop);
            break;
        }
    }
    if (parts.negative && !result.is_zero()) result.sign = sign_negative;
    out = result;
    return ole_s_ok;
}

std::optional<ole_decimal> ole_decimal::from_string(std::string_view text) {
    ole_decimal d;
    if (parse(text, d) != ole_s_ok) return std::nullopt;
    return d;
}

ole_decimal ole_decimal::from_int64(int64_t value) noexcept {
    ole_decimal d;
    if (value < 0) {
        d.sign = sign_negative;
        d.lo64 = static_cast<uint64_t>(0) - static_cast<uint64_t>(value);
    } else {
        d.lo64 = static_cast<uint64_t>(value);
    }
    return d;
}

ole_decimal ole_decimal::from_uint64(uint64_t value) noexcept {
    ole_decimal d;
    d.lo64 = value;
    return d;
}

std::string ole_decimal::to_string() const {
    return place_point(magnitude(*this), scale, is_negative());
}

double ole_decimal::to_double() const noexcept {
    const std::string text = to_string();
    double value = 0.0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

std::optional<int64_t> ole_decimal::to_int64() const noexcept {
    const u128 q = divide_pow10_even(magnitude(*this), scale);
    if (is_negative()) {
        if (q > static_cast<u128>(1) << 63) return std::nullopt;
        return static_cast<int64_t>(static_cast<uint64_t>(0) - static_cast<uint64_t>(q));
    }
    if (q > static_cast<u128>(std::numeric_limits<int64_t>::max())) return std::nullopt;
    return static_cast<int64_t>(q);
}

std::optional<int32_t> ole_decimal::to_long() const noexcept {
    const std::optional<int64_t> v = to_int64();
    if (!v || *v < std::numeric_limits<int32_t>::min() ||
        *v > std::numeric_limits<int32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<int32_t>(*v);
}

std::optional<ole_decimal> ole_decimal::rescaled(uint8_t new_scale) const {
    if (new_scale > max_scale) return std::nullopt;
    ole_decimal d = *this;
    u128 m = magnitude(*this);
    if (new_scale >= scale) {
        const unsigned up = new_scale - scale;
        // 10^28 * 2^96 would not fit in 128 bits; test by division instead.
        if (m > kMax96 / pow10_u128(up)) return std::nullopt;
        m *= pow10_u128(up);
    } else {
        const u128 p = pow10_u128(scale - new_scale);
        const u128 r = m % p;
        m /= p;
        if (r * 2 >= p) ++m;
        if (m > kMax96) return std::nullopt;
    }
    set_magnitude(d, m);
    d.scale = new_scale;
    if (m == 0) d.sign = 0;
    return d;
}

// ---------------------------------------------------------------------------
// CY

uint32_t ole_cy::parse(std::string_view text, ole_cy& out) {
    ole_decimal d;
    const uint32_t hr = ole_decimal::parse(text, d);
    if (hr != ole_s_ok) return hr;
    const std::optional<ole_cy> cy = from_decimal(d);
    if (!cy) return ole_e_overflow;
    out = *cy;
    return ole_s_ok;
}

std::optional<ole_cy> ole_cy::from_string(std::string_view text) {
    ole_cy cy;
    if (parse(text, cy) != ole_s_ok) return std::nullopt;
    return cy;
}

std::optional<ole_cy> ole_cy::from_decimal(const ole_decimal& value) {
    // magnitude * 10^4 < 2^110: no overflow in 128 bits.
    const u128 units = divide_pow10_even(magnitude(value) * 10000, value.scale);
    const u128 limit = value.is_negative() ? static_cast<u128>(1) << 63
                                           : static_cast<u128>(std::numeric_limits<int64_t>::max());
    if (units > limit) return std::nullopt;
    ole_cy cy;
    const uint64_t u = static_cast<uint64_t>(units);
    cy.int64 = value.is_negative() ? static_cast<int64_t>(static_cast<uint64_t>(0) - u)
                                   : static_cast<int64_t>(u);
    return cy;
}

std::string ole_cy::to_string() const {
    const bool negative = int64 < 0;
    const uint64_t m = negative ? static_cast<uint64_t>(0) - static_cast<uint64_t>(int64)
                                : static_cast<uint64_t>(int64);
    return place_point(m, 4, negative);
}

ole_decimal ole_cy::to_decimal() const noexcept {
    ole_decimal d = ole_decimal::from_int64(int64);
    d.scale = 4;
    return d;
}
