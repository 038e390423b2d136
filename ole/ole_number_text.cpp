#include "ole_number_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

#include "ole_types.h"

namespace {

bool is_blank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// The whole part of the number at the start of text, as exact decimal digits
// with a sign ("-12"); empty when no digit starts the text; "overflow" marks
// a whole part that cannot be any 64-bit value.
std::string leading_whole_part(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && is_blank(text[i])) ++i;
    const size_t start = i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    size_t digits = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, ++digits;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, ++digits;
    }
    if (digits == 0) return std::string();
    const size_t mantissa_end = i;
    // An exponent counts only when digits follow it ("1E3", not "1E").
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        size_t j = i + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
        size_t exp_digits = 0;
        while (j < text.size() && text[j] >= '0' && text[j] <= '9') ++j, ++exp_digits;
        if (exp_digits > 0) i = j;
    }
    std::string_view number = text.substr(start, i - start);
    if (i == mantissa_end) {
        // No exponent: the whole part is the digits before the point.
        const size_t point = number.find('.');
        number = number.substr(0, point);
        std::string whole(number);
        if (whole == "+" || whole == "-" || whole.empty()) return "0";
        return whole;
    }
    const std::optional<ole_decimal> d = ole_decimal::from_string(number);
    if (!d) return "overflow";
    std::string whole = d->to_string();
    whole = whole.substr(0, whole.find('.'));
    return whole == "-0" ? "0" : whole;
}

}  // namespace

// The decimal number at the start of text, as atof reads it (blanks, sign,
// digits with a point, exponent, "inf", "nan"); 0 when there is none.  A
// magnitude too large for a double gives infinity, too small 0.
double ole_leading_double(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && is_blank(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) return 0.0;
    }
    double value = 0.0;
    const char* first = text.data() + i;
    const char* last = text.data() + text.size();
    const std::from_chars_result r = std::from_chars(first, last, value);
    if (r.ec == std::errc::result_out_of_range) {
        // Overflow or underflow: the decimal position of the first
        // significant digit plus the exponent tells which.
        const std::string_view number(first, static_cast<size_t>(r.ptr - first));
        const size_t e_at = number.find_first_of("eE");
        const std::string_view mantissa = number.substr(0, e_at);
        const size_t point = std::min(mantissa.find('.'), mantissa.size());
        const size_t lead = mantissa.find_first_of("123456789");
        int64_t position = 0;
        if (lead != std::string_view::npos) {
            position = lead < point ? static_cast<int64_t>(point - lead)
                                    : -static_cast<int64_t>(lead - point - 1);
        }
        int64_t exponent = 0;
        if (e_at != std::string_view::npos) {
            std::string_view digits = number.substr(e_at + 1);
            bool exp_negative = false;
            if (!digits.empty() && (digits[0] == '+' || digits[0] == '-')) {
                exp_negative = digits[0] == '-';
                digits.remove_prefix(1);
            }
            for (char c : digits) {
                if (exponent < 1000000000) exponent = exponent * 10 + (c - '0');
            }
            if (exp_negative) exponent = -exponent;
        }
        value = position + exponent > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    } else if (r.ec != std::errc()) {
        // No number after the sign: atof gives a plain 0, not -0.
        return 0.0;
    }
    return negative ? -value : value;
}

ole_integer_reading ole_leading_integer(std::string_view text, int64_t min, int64_t max,
                                        int64_t& value) {
    value = 0;
    const std::string whole = leading_whole_part(text);
    if (whole.empty()) return ole_integer_reading::none;
    const char* first = whole.data() + (whole[0] == '+' ? 1 : 0);
    int64_t v = 0;
    const std::from_chars_result r = std::from_chars(first, whole.data() + whole.size(), v);
    if (r.ec != std::errc() || r.ptr != whole.data() + whole.size() || v < min || v > max) {
        return ole_integer_reading::out_of_range;
    }
    value = v;
    return ole_integer_reading::value;
}

ole_integer_reading ole_leading_unsigned(std::string_view text, uint64_t max, uint64_t& value) {
    value = 0;
    const std::string whole = leading_whole_part(text);
    if (whole.empty()) return ole_integer_reading::none;
    // Leading zeros ("-0", "-000") are zero, not negative.
    if (whole[0] == '-') {
        if (whole.find_first_not_of('0', 1) == std::string::npos) return ole_integer_reading::value;
        return ole_integer_reading::out_of_range;
    }
    const char* first = whole.data() + (whole[0] == '+' ? 1 : 0);
    uint64_t v = 0;
    const std::from_chars_result r = std::from_chars(first, whole.data() + whole.size(), v);
    if (r.ec != std::errc() || r.ptr != whole.data() + whole.size() || v > max) {
        return ole_integer_reading::out_of_range;
    }
    value = v;
    return ole_integer_reading::value;
}
