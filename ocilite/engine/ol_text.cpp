#include "ol_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace ocilite {

namespace {

// Decodes one code point from UTF-8 at s[i]; advances i.  Invalid input gives U+FFFD.
char32_t next_code_point(std::string_view s, std::size_t& i) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    if (b0 < 0x80) {
        ++i;
        return b0;
    }
    int extra = 0;
    char32_t cp = 0;
    if ((b0 & 0xE0) == 0xC0) {
        extra = 1;
        cp = b0 & 0x1F;
    } else if ((b0 & 0xF0) == 0xE0) {
        extra = 2;
        cp = b0 & 0x0F;
    } else if ((b0 & 0xF8) == 0xF0) {
        extra = 3;
        cp = b0 & 0x07;
    } else {
        ++i;
        return 0xFFFD;
    }
    if (i + static_cast<std::size_t>(extra) >= s.size()) {
        ++i;
        return 0xFFFD;
    }
    for (int k = 1; k <= extra; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80) {
            ++i;
            return 0xFFFD;
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    i += extra + 1;
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0xFFFD;
    return cp;
}

void append_utf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

constexpr const char* kMonths[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                   "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};

bool read_int(std::string_view s, std::size_t& i, int digits, int& out) {
    if (i + digits > s.size()) return false;
    int v = 0;
    for (int k = 0; k < digits; ++k) {
        const char c = s[i + k];
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    i += digits;
    out = v;
    return true;
}

// Reads the digits of a fraction of a second at s[i..] into nanoseconds (digits past nine are
// dropped) and returns how many digits there were.
int read_fraction(std::string_view s, std::size_t& i, std::uint32_t& nanos) {
    std::uint32_t ns = 0;
    int k = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i, ++k)
        if (k < 9) ns = ns * 10 + static_cast<std::uint32_t>(s[i] - '0');
    for (int m = k; m < 9; ++m) ns *= 10;
    nanos = ns;
    return k;
}

}  // namespace

std::u16string utf8_to_utf16(std::string_view s) {
    std::u16string out;
    out.reserve(s.size());
    std::size_t i = 0;
    while (i < s.size()) {
        const char32_t cp = next_code_point(s, i);
        if (cp >= 0x10000) {
            out.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
    }
    return out;
}

std::string utf16_to_utf8(std::u16string_view s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        char32_t cp = s[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 &&
            s[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        append_utf8(out, cp);
    }
    return out;
}

std::size_t utf16_length(std::string_view utf8) {
    std::size_t n = 0;
    std::size_t i = 0;
    while (i < utf8.size()) {
        const char32_t cp = next_code_point(utf8, i);
        n += cp >= 0x10000 ? 2 : 1;
    }
    return n;
}

bool number_text(std::string_view s, std::string& out) {
    std::size_t i = 0;
    while (i < s.size() && s[i] == ' ') ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    std::string digits;
    long long exponent = 0;  // value = 0.digits * 10^exponent
    bool any = false;
    bool point = false;
    for (; i < s.size(); ++i) {
        const char c = s[i];
        if (c >= '0' && c <= '9') {
            any = true;
            if (digits.empty() && c == '0') {
                if (point) --exponent;
                continue;
            }
            digits.push_back(c);
            if (!point) ++exponent;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (!any) return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        bool eneg = false;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) eneg = s[i++] == '-';
        long long e = 0;
        bool edig = false;
        for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
            edig = true;
            if (e < 100000) e = e * 10 + (s[i] - '0');
        }
        if (!edig) return false;
        exponent += eneg ? -e : e;
    }
    while (i < s.size() && s[i] == ' ') ++i;
    if (i != s.size()) return false;
    while (!digits.empty() && digits.back() == '0') digits.pop_back();
    if (digits.empty()) {
        out.assign(1, '0');
        return true;
    }
    // Oracle keeps at most 40 significant decimal digits.
    if (digits.size() > 40) {
        const bool up = digits[40] >= '5';
        digits.resize(40);
        if (up) {
            int k = 39;
            while (k >= 0 && digits[k] == '9') digits[k--] = '0';
            if (k < 0) {
                digits.insert(digits.begin(), '1');
                digits.pop_back();
                ++exponent;
            } else {
                ++digits[k];
            }
        }
        while (!digits.empty() && digits.back() == '0') digits.pop_back();
    }
    const long long n = static_cast<long long>(digits.size());
    // Fixed notation unless it would take more than 64 characters.
    if (exponent > -80 && exponent < 80) {
        std::string fixed;
        if (negative) fixed.push_back('-');
        if (exponent <= 0) {
            fixed.push_back('.');
            fixed.append(static_cast<std::size_t>(-exponent), '0');
            fixed += digits;
        } else if (exponent < n) {
            fixed += digits.substr(0, static_cast<std::size_t>(exponent));
            fixed.push_back('.');
            fixed += digits.substr(static_cast<std::size_t>(exponent));
        } else {
            fixed += digits;
            fixed.append(static_cast<std::size_t>(exponent - n), '0');
        }
        if (fixed.size() <= 64) {
            out = std::move(fixed);
            return true;
        }
    }
    out.clear();
    if (negative) out.push_back('-');
    out.push_back(digits[0]);
    out.push_back('.');
    out += n > 1 ? digits.substr(1) : std::string("0");
    const long long e = exponent - 1;
    char buf[32];
    std::snprintf(buf, sizeof buf, "E%c%02lld", e < 0 ? '-' : '+', e < 0 ? -e : e);
    out += buf;
    return true;
}

std::string number_text(std::int64_t v) {
    char buf[32];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

std::string number_text(double v) {
    if (!std::isfinite(v)) return binary_float_text(v, false);
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    std::string out;
    if (!number_text(std::string_view(buf, static_cast<std::size_t>(r.ptr - buf)), out)) return "0";
    return out;
}

std::string binary_float_text(double v, bool single) {
    if (std::isnan(v)) return "Nan";
    if (std::isinf(v)) return v < 0 ? "-Inf" : "Inf";
    char buf[64];
    std::snprintf(buf, sizeof buf, single ? "%.8E" : "%.16E", v);
    std::string s(buf);
    // printf gives at least two exponent digits; Oracle prints three.
    const auto e = s.find('E');
    if (e != std::string::npos && s.size() - e - 2 < 3)
        s.insert(e + 2, 3 - (s.size() - e - 2), '0');
    return s;
}

namespace {

// Reads the date and time at the start of s; `i` ends after them.
bool parse_date_time_prefix(std::string_view s, date_time& d, std::size_t& i) {
    d = date_time{};
    i = 0;
    if (!read_int(s, i, 4, d.year)) return false;
    if (i >= s.size() || s[i++] != '-' || !read_int(s, i, 2, d.month)) return false;
    if (i >= s.size() || s[i++] != '-' || !read_int(s, i, 2, d.day)) return false;
    if (i < s.size()) {
        if (s[i] != ' ' && s[i] != 'T') return false;
        ++i;
        if (!read_int(s, i, 2, d.hour)) return false;
        if (i >= s.size() || s[i++] != ':' || !read_int(s, i, 2, d.minute)) return false;
        if (i < s.size() && s[i] == ':') {
            ++i;
            if (!read_int(s, i, 2, d.second)) return false;
        }
        if (i < s.size() && s[i] == '.') {
            ++i;
            read_fraction(s, i, d.nanos);
        }
    }
    return d.month >= 1 && d.month <= 12 && d.day >= 1 && d.day <= 31 && d.hour < 24 &&
           d.minute < 60 && d.second < 62;
}

bool is_blank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && is_blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && is_blank(s.back())) s.remove_suffix(1);
    return s;
}

// Reads an unsigned decimal at s[i..]; false when there is no digit.
bool read_number(std::string_view s, std::size_t& i, std::int64_t& out, int max_digits = 18) {
    const std::size_t start = i;
    std::int64_t v = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
        if (static_cast<int>(i - start) >= max_digits) return false;
        v = v * 10 + (s[i] - '0');
        ++i;
    }
    out = v;
    return i > start;
}

bool read_sign(std::string_view s, std::size_t& i) {
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) return s[i++] == '-';
    return false;
}

}  // namespace

bool parse_date_time(std::string_view s, date_time& d) {
    std::size_t i = 0;
    return parse_date_time_prefix(s, d, i) && i == s.size();
}

bool parse_date_time_zone(std::string_view s, date_time& d, std::string& zone) {
    std::size_t i = 0;
    zone.clear();
    if (!parse_date_time_prefix(s, d, i)) return false;
    if (i == s.size()) return true;
    if (!is_blank(s[i])) return false;
    zone = std::string(trim(s.substr(i)));
    return !zone.empty();
}

int digit_count(std::int64_t v) {
    if (v < 0) v = -v;
    int n = 1;
    while (v >= 10) {
        v /= 10;
        ++n;
    }
    return n;
}

bool parse_interval_ym(std::string_view text, std::int64_t& months) {
    const std::string_view s = trim(text);
    std::size_t i = 0;
    const bool negative = read_sign(s, i);
    std::int64_t years = 0;
    std::int64_t m = 0;
    if (!read_number(s, i, years, 9)) return false;
    if (i < s.size()) {
        if (s[i++] != '-' || !read_number(s, i, m, 2) || m > 11 || i != s.size()) return false;
    }
    months = (years * 12 + m) * (negative ? -1 : 1);
    return true;
}

bool parse_interval_ds(std::string_view text, interval_ds& out) {
    const std::string_view s = trim(text);
    out = interval_ds{};
    std::size_t i = 0;
    out.negative = read_sign(s, i);
    if (!read_number(s, i, out.days, 9)) return false;
    std::int64_t field = 0;
    if (i < s.size()) {
        if (!is_blank(s[i])) return false;
        while (i < s.size() && is_blank(s[i])) ++i;
        if (!read_number(s, i, field, 2) || field > 23) return false;
        out.hours = static_cast<int>(field);
        for (int* f : {&out.minutes, &out.seconds}) {
            if (i == s.size()) break;
            if (s[i++] != ':' || !read_number(s, i, field, 2) || field > 59) return false;
            *f = static_cast<int>(field);
        }
        if (i < s.size() && s[i] == '.') {
            ++i;
            if (read_fraction(s, i, out.nanos) == 0) return false;
        }
        if (i != s.size()) return false;
    }
    if (out.days == 0 && out.hours == 0 && out.minutes == 0 && out.seconds == 0 && out.nanos == 0)
        out.negative = false;
    return true;
}

interval_ds round_interval(interval_ds v, int fraction) {
    if (fraction < 0) fraction = 0;
    if (fraction >= 9) return v;
    std::uint32_t unit = 1;
    for (int k = fraction; k < 9; ++k) unit *= 10;
    std::uint32_t ns = (v.nanos + unit / 2) / unit * unit;
    if (ns >= 1000000000u) {
        ns -= 1000000000u;
        if (++v.seconds == 60) {
            v.seconds = 0;
            if (++v.minutes == 60) {
                v.minutes = 0;
                if (++v.hours == 24) {
                    v.hours = 0;
                    ++v.days;
                }
            }
        }
    }
    v.nanos = ns;
    return v;
}

namespace {

// The digits of v, padded with zeros to `width` (a leading precision: 1..9).
std::string padded(std::int64_t v, int width) {
    std::string digits = std::to_string(v);
    const auto w = static_cast<std::size_t>(std::clamp(width, 1, 9));
    if (digits.size() < w) digits.insert(0, w - digits.size(), '0');
    return digits;
}

}  // namespace

std::string interval_ym_text(std::int64_t months, int leading) {
    const bool negative = months < 0;
    const std::int64_t m = negative ? -months : months;
    std::string s(1, negative ? '-' : '+');
    s += padded(m / 12, leading);
    s += '-';
    s += padded(m % 12, 2);
    return s;
}

std::string interval_ds_text(const interval_ds& value, int leading, int fraction) {
    const interval_ds v = round_interval(value, fraction);
    const bool zero =
        v.days == 0 && v.hours == 0 && v.minutes == 0 && v.seconds == 0 && v.nanos == 0;
    std::string s(1, v.negative && !zero ? '-' : '+');
    s += padded(v.days, leading);
    char buf[32];
    std::snprintf(buf, sizeof buf, " %02d:%02d:%02d", v.hours % 100, v.minutes % 100,
                  v.seconds % 100);
    s += buf;
    if (fraction > 0) {
        std::snprintf(buf, sizeof buf, "%09u", static_cast<unsigned>(v.nanos % 1000000000u));
        s.push_back('.');
        s.append(buf, static_cast<std::size_t>(std::min(fraction, 9)));
    }
    return s;
}

std::string date_text(const date_time& d) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d-%s-%02d", d.day, kMonths[(d.month + 11) % 12],
                  ((d.year % 100) + 100) % 100);
    return buf;
}

std::string timestamp_text(const date_time& d, int digits) {
    int h12 = d.hour % 12;
    if (h12 == 0) h12 = 12;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%s %02d.%02d.%02d", date_text(d).c_str(), h12, d.minute,
                  d.second);
    std::string s(buf);
    if (digits > 0) {
        char frac[16];
        std::snprintf(frac, sizeof frac, "%09u", static_cast<unsigned>(d.nanos));
        s.push_back('.');
        s.append(frac, static_cast<std::size_t>(digits > 9 ? 9 : digits));
    }
    s += d.hour < 12 ? " AM" : " PM";
    return s;
}

namespace {

constexpr char kRowidDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
// Every table lies in relative file 4 (the USERS tablespace of a default database); its rows
// fill blocks of kRowsPerBlock slots from block kFirstBlock on.
constexpr std::int64_t kRowidFile = 4;
constexpr std::int64_t kFirstBlock = 131;
constexpr std::int64_t kRowsPerBlock = 512;

void put_digits(std::string& out, std::int64_t v, int digits) {
    for (int k = digits - 1; k >= 0; --k) out.push_back(kRowidDigits[(v >> (6 * k)) & 63]);
}

bool get_digits(std::string_view s, std::int64_t& v) {
    v = 0;
    for (const char c : s) {
        const char* p = std::strchr(kRowidDigits, c);
        if (c == '\0' || !p) return false;
        v = (v << 6) | (p - kRowidDigits);
    }
    return true;
}

}  // namespace

std::string rowid_text(std::int64_t object, std::int64_t row) {
    if (object < 0 || object >= (std::int64_t{1} << 32) || row < 1) return {};
    const std::int64_t block = kFirstBlock + (row - 1) / kRowsPerBlock;
    if (block >= (std::int64_t{1} << 32)) return {};
    std::string s;
    s.reserve(18);
    put_digits(s, object, 6);
    put_digits(s, kRowidFile, 3);
    put_digits(s, block, 6);
    put_digits(s, (row - 1) % kRowsPerBlock, 3);
    return s;
}

bool parse_rowid(std::string_view text, std::int64_t& object, std::int64_t& row) {
    std::int64_t file = 0, block = 0, slot = 0;
    if (text.size() != 18 || !get_digits(text.substr(0, 6), object) ||
        !get_digits(text.substr(6, 3), file) || !get_digits(text.substr(9, 6), block) ||
        !get_digits(text.substr(15, 3), slot))
        return false;
    row = 0;
    if (file == kRowidFile && block >= kFirstBlock && slot < kRowsPerBlock)
        row = (block - kFirstBlock) * kRowsPerBlock + slot + 1;
    return true;
}

std::string hex_text(std::string_view bytes) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string s;
    s.reserve(bytes.size() * 2);
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        s.push_back(kHex[b >> 4]);
        s.push_back(kHex[b & 15]);
    }
    return s;
}

}  // namespace ocilite
