#include "ol_values.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <vector>

namespace ocilite::load {

namespace {

bool is_blank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// Adds one unit in the last place of a digit string; may grow it by a digit.
std::string increment_digits(std::string s) {
    int i = static_cast<int>(s.size()) - 1;
    while (i >= 0) {
        if (s[static_cast<std::size_t>(i)] == '9') {
            s[static_cast<std::size_t>(i)] = '0';
            --i;
        } else {
            ++s[static_cast<std::size_t>(i)];
            return s;
        }
    }
    return "1" + s;
}

// Keeps the first `keep` digits of d (rounding on the next one); the kept
// digits then count in units of 10^new_exp.
decimal round_keep(const decimal& d, long keep, int new_exp) {
    decimal r;
    r.neg = d.neg;
    if (keep < 0) return decimal{};
    const std::size_t k = static_cast<std::size_t>(keep);
    std::string kept = d.digits.substr(0, k);
    const bool up = k < d.digits.size() && d.digits[k] >= '5';
    if (kept.empty()) kept = "0";
    if (up) kept = increment_digits(kept);
    r.digits = kept;
    r.exp = new_exp;
    r.normalize();
    return r;
}

int compare_magnitude(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    return a.compare(b) < 0 ? -1 : (a == b ? 0 : 1);
}

std::string add_magnitude(const std::string& a, const std::string& b) {
    std::string r;
    int carry = 0;
    for (std::size_t i = 0; i < std::max(a.size(), b.size()) || carry; ++i) {
        int s = carry;
        if (i < a.size()) s += a[a.size() - 1 - i] - '0';
        if (i < b.size()) s += b[b.size() - 1 - i] - '0';
        r.push_back(static_cast<char>('0' + s % 10));
        carry = s / 10;
    }
    std::reverse(r.begin(), r.end());
    return r;
}

// a - b for magnitudes with a >= b.
std::string sub_magnitude(const std::string& a, const std::string& b) {
    std::string r;
    int borrow = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        int s = (a[a.size() - 1 - i] - '0') - borrow;
        if (i < b.size()) s -= b[b.size() - 1 - i] - '0';
        borrow = s < 0;
        if (s < 0) s += 10;
        r.push_back(static_cast<char>('0' + s));
    }
    std::reverse(r.begin(), r.end());
    return r;
}

}  // namespace

void decimal::normalize() {
    std::size_t lead = digits.find_first_not_of('0');
    if (lead == std::string::npos) {
        digits.clear();
        exp = 0;
        neg = false;
        return;
    }
    digits.erase(0, lead);
    while (!digits.empty() && digits.back() == '0') {
        digits.pop_back();
        ++exp;
    }
}

std::optional<decimal> decimal::parse(std::string_view t) {
    while (!t.empty() && is_blank(t.front())) t.remove_prefix(1);
    while (!t.empty() && is_blank(t.back())) t.remove_suffix(1);
    decimal d;
    std::size_t i = 0;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) d.neg = t[i++] == '-';
    bool any = false;
    int frac = 0;
    bool point = false;
    for (; i < t.size(); ++i) {
        const char c = t[i];
        if (std::isdigit(static_cast<unsigned char>(c))) {
            d.digits.push_back(c);
            any = true;
            if (point) ++frac;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (!any) return std::nullopt;
    long e = 0;
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        ++i;
        bool eneg = false;
        if (i < t.size() && (t[i] == '+' || t[i] == '-')) eneg = t[i++] == '-';
        if (i >= t.size()) return std::nullopt;
        for (; i < t.size(); ++i) {
            if (!std::isdigit(static_cast<unsigned char>(t[i]))) return std::nullopt;
            e = e * 10 + (t[i] - '0');
            if (e > 100000) return std::nullopt;
        }
        if (eneg) e = -e;
    }
    if (i != t.size()) return std::nullopt;
    d.exp = static_cast<int>(e) - frac;
    d.normalize();
    return d;
}

decimal decimal::from_int(int64_t v) {
    decimal d;
    d.neg = v < 0;
    uint64_t m = v < 0 ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
    d.digits = std::to_string(m);
    d.normalize();
    return d;
}

int decimal::integer_digits() const {
    if (digits.empty()) return 0;
    return std::max(0, static_cast<int>(digits.size()) + exp);
}

std::optional<int64_t> decimal::to_int64() const {
    if (digits.empty()) return 0;
    if (exp < 0 || static_cast<int>(digits.size()) + exp > 19) return std::nullopt;
    __int128 v = 0;
    for (char c : digits) v = v * 10 + (c - '0');
    for (int i = 0; i < exp; ++i) v *= 10;
    if (neg) v = -v;
    if (v > std::numeric_limits<int64_t>::max() || v < std::numeric_limits<int64_t>::min())
        return std::nullopt;
    return static_cast<int64_t>(v);
}

double decimal::to_double() const {
    return std::strtod(text().c_str(), nullptr);
}

std::string decimal::text() const {
    if (digits.empty()) return "0";
    std::string r = neg ? "-" : "";
    const long len = static_cast<long>(digits.size());
    if (exp >= 0) {
        r += digits;
        r.append(static_cast<std::size_t>(exp), '0');
        return r;
    }
    const long point = len + exp;
    if (point > 0) {
        r += digits.substr(0, static_cast<std::size_t>(point));
        r += '.';
        r += digits.substr(static_cast<std::size_t>(point));
    } else {
        r += '.';
        r.append(static_cast<std::size_t>(-point), '0');
        r += digits;
    }
    return r;
}

decimal round_to_scale(decimal d, int scale) {
    if (d.is_zero() || d.exp >= -scale) return d;
    const long keep = static_cast<long>(d.digits.size()) + d.exp + scale;
    return round_keep(d, keep, -scale);
}

decimal round_significant(decimal d, int n) {
    if (static_cast<int>(d.digits.size()) <= n) return d;
    const int new_exp = d.exp + static_cast<int>(d.digits.size()) - n;
    return round_keep(d, n, new_exp);
}

decimal negate(decimal a) {
    if (!a.is_zero()) a.neg = !a.neg;
    return a;
}

decimal add(const decimal& a, const decimal& b) {
    if (a.is_zero()) return b;
    if (b.is_zero()) return a;
    const int e = std::min(a.exp, b.exp);
    std::string ma = a.digits + std::string(static_cast<std::size_t>(a.exp - e), '0');
    std::string mb = b.digits + std::string(static_cast<std::size_t>(b.exp - e), '0');
    decimal r;
    r.exp = e;
    if (a.neg == b.neg) {
        r.digits = add_magnitude(ma, mb);
        r.neg = a.neg;
    } else {
        const int c = compare_magnitude(ma, mb);
        if (c == 0) return decimal{};
        r.digits = c > 0 ? sub_magnitude(ma, mb) : sub_magnitude(mb, ma);
        r.neg = c > 0 ? a.neg : b.neg;
    }
    r.normalize();
    return r;
}

decimal multiply(const decimal& a, const decimal& b) {
    if (a.is_zero() || b.is_zero()) return decimal{};
    std::vector<int> acc(a.digits.size() + b.digits.size(), 0);
    for (std::size_t i = 0; i < a.digits.size(); ++i)
        for (std::size_t j = 0; j < b.digits.size(); ++j)
            acc[i + j + 1] += (a.digits[i] - '0') * (b.digits[j] - '0');
    for (std::size_t k = acc.size() - 1; k > 0; --k) {
        acc[k - 1] += acc[k] / 10;
        acc[k] %= 10;
    }
    decimal r;
    for (int v : acc) r.digits.push_back(static_cast<char>('0' + v));
    r.exp = a.exp + b.exp;
    r.neg = a.neg != b.neg;
    r.normalize();
    return r;
}

int compare(const decimal& a, const decimal& b) {
    const decimal d = add(a, negate(b));
    if (d.is_zero()) return 0;
    return d.neg ? -1 : 1;
}

// ---------------------------------------------------------------- dates

int64_t days_from_civil(int y, int m, int d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

date_time civil_from_days(int64_t z) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    date_time r;
    r.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    r.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    r.year = static_cast<int>(yoe + era * 400 + (r.month <= 2));
    return r;
}

std::optional<date_time> add_days(const date_time& d, const decimal& days) {
    const decimal secs = round_to_scale(multiply(days, decimal::from_int(86400)), 0);
    const auto s = secs.to_int64();
    if (!s || *s > int64_t{400000} * 86400 * 366 || *s < -int64_t{400000} * 86400 * 366)
        return std::nullopt;
    int64_t total = days_from_civil(d.year, d.month, d.day) * 86400 + d.hour * 3600 +
                    d.minute * 60 + d.second + *s;
    int64_t day = total >= 0 ? total / 86400 : (total - 86399) / 86400;
    int64_t rem = total - day * 86400;
    date_time r = civil_from_days(day);
    if (r.year < 1 || r.year > 9999) return std::nullopt;
    r.hour = static_cast<int>(rem / 3600);
    r.minute = static_cast<int>(rem / 60 % 60);
    r.second = static_cast<int>(rem % 60);
    return r;
}

namespace {

constexpr std::array<const char*, 12> kMonths = {"JANUARY",   "FEBRUARY", "MARCH",    "APRIL",
                                                 "MAY",       "JUNE",     "JULY",     "AUGUST",
                                                 "SEPTEMBER", "OCTOBER",  "NOVEMBER", "DECEMBER"};
constexpr std::array<const char*, 7> kDays = {"SUNDAY",   "MONDAY", "TUESDAY", "WEDNESDAY",
                                              "THURSDAY", "FRIDAY", "SATURDAY"};

bool leap(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}
int month_days(int y, int m) {
    static constexpr int d[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && leap(y) ? 29 : d[m - 1];
}

bool starts_with_ci(std::string_view s, std::string_view prefix) {
    if (s.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(s[i])) !=
            std::toupper(static_cast<unsigned char>(prefix[i])))
            return false;
    return true;
}

// Mask elements, longest first so that "HH24" wins over "HH".
constexpr std::array<std::string_view, 31> kElements = {
    "SYYYY", "YYYY", "RRRR", "MONTH", "SSSSS", "HH24", "HH12", "A.M.", "P.M.", "YYY", "MON",
    "DDD",   "DAY",  "TZH",  "TZM",   "TZR",   "YY",   "RR",   "MM",   "DD",   "DY",  "HH",
    "MI",    "SS",   "FF",   "AM",    "PM",    "FX",   "FM",   "Y",    "J"};

bool is_punct(char c) {
    return !std::isalnum(static_cast<unsigned char>(c)) && c != '"';
}

}  // namespace

std::optional<date_time> parse_datetime(std::string_view v, std::string_view mask,
                                        const date_time& now, std::string& ora, std::string* zone) {
    int year = -1, month = -1, day = -1, hour = 0, minute = 0, second = 0;
    // The zone read by TZH/TZM (sign, hours, minutes) or TZR (an offset or a region).
    bool zone_read = false, zone_negative = false;
    int zone_hours = 0, zone_minutes = 0;
    std::string zone_region;
    int64_t nanos = 0;
    int meridian = 0;  // 1 AM, 2 PM
    bool hour12 = false;
    std::size_t vi = 0, mi = 0;
    auto fail = [&](const char* text) -> std::optional<date_time> {
        ora = text;
        return std::nullopt;
    };
    auto skip_blanks = [&] {
        while (vi < v.size() && is_blank(v[vi])) ++vi;
    };
    auto read_int = [&](int max_digits, int& out, int* count = nullptr) -> bool {
        skip_blanks();
        int n = 0;
        long val = 0;
        bool neg = false;
        if (vi < v.size() && (v[vi] == '-' || v[vi] == '+') && max_digits >= 4)
            neg = v[vi++] == '-';
        while (vi < v.size() && n < max_digits && std::isdigit(static_cast<unsigned char>(v[vi]))) {
            val = val * 10 + (v[vi++] - '0');
            ++n;
        }
        if (count) *count = n;
        if (n == 0) return false;
        out = static_cast<int>(neg ? -val : val);
        return true;
    };
    auto read_month_name = [&]() -> bool {
        skip_blanks();
        std::string_view rest = v.substr(vi);
        for (int m = 0; m < 12; ++m)
            if (starts_with_ci(rest, kMonths[static_cast<std::size_t>(m)])) {
                month = m + 1;
                vi += std::string_view(kMonths[static_cast<std::size_t>(m)]).size();
                return true;
            }
        for (int m = 0; m < 12; ++m)
            if (starts_with_ci(
                    rest, std::string_view(kMonths[static_cast<std::size_t>(m)]).substr(0, 3))) {
                month = m + 1;
                vi += 3;
                return true;
            }
        return false;
    };
    while (mi < mask.size()) {
        const char mc = mask[mi];
        if (mc == '"') {
            std::size_t close = mask.find('"', mi + 1);
            if (close == std::string_view::npos)
                return fail("ORA-01821: date format not recognized");
            std::string_view lit = mask.substr(mi + 1, close - mi - 1);
            skip_blanks();
            if (!starts_with_ci(v.substr(vi), lit))
                return fail("ORA-01861: literal does not match format string");
            vi += lit.size();
            mi = close + 1;
            continue;
        }
        if (is_punct(mc)) {
            while (mi < mask.size() && is_punct(mask[mi])) ++mi;
            // Before a zone the sign belongs to the zone.
            const bool zone_next = starts_with_ci(mask.substr(mi), "TZ");
            while (vi < v.size() && is_punct(v[vi]) &&
                   !(zone_next && (v[vi] == '+' || v[vi] == '-')))
                ++vi;
            continue;
        }
        if (mc == 'X' || mc == 'x') {  // the radix character before fractional seconds
            ++mi;
            while (vi < v.size() && is_punct(v[vi])) ++vi;
            continue;
        }
        std::string_view el;
        for (std::string_view e : kElements)
            if (starts_with_ci(mask.substr(mi), e)) {
                el = e;
                break;
            }
        if (el.empty()) return fail("ORA-01821: date format not recognized");
        mi += el.size();
        int cnt = 0;
        if (el == "YYYY" || el == "SYYYY" || el == "RRRR" || el == "YY" || el == "RR" ||
            el == "YYY" || el == "Y") {
            int y = 0;
            if (!read_int(el == "SYYYY" || el == "YYYY" || el == "RRRR" || el == "YY" || el == "RR"
                              ? 4
                              : static_cast<int>(el.size()),
                          y, &cnt))
                return fail(
                    "ORA-01858: a non-numeric character was found where a numeric was expected");
            if (cnt <= 2 && (el == "RR" || el == "RRRR")) {
                const int cy = now.year % 100, century = now.year / 100 * 100;
                if (y < 50)
                    year = cy < 50 ? century + y : century + 100 + y;
                else
                    year = cy < 50 ? century - 100 + y : century + y;
            } else if (cnt <= 2 && (el == "YY" || el == "Y")) {
                year = now.year / 100 * 100 + y;
            } else if (cnt == 3 && el == "YYY") {
                year = now.year / 1000 * 1000 + y;
            } else {
                year = y;
            }
        } else if (el == "MM") {
            skip_blanks();
            if (vi < v.size() && std::isalpha(static_cast<unsigned char>(v[vi]))) {
                if (!read_month_name()) return fail("ORA-01843: not a valid month");
            } else if (!read_int(2, month)) {
                return fail(
                    "ORA-01858: a non-numeric character was found where a numeric was expected");
            }
        } else if (el == "MON" || el == "MONTH") {
            if (!read_month_name()) return fail("ORA-01843: not a valid month");
        } else if (el == "DD") {
            if (!read_int(2, day))
                return fail(
                    "ORA-01858: a non-numeric character was found where a numeric was expected");
        } else if (el == "DDD") {
            int doy = 0;
            if (!read_int(3, doy))
                return fail(
                    "ORA-01858: a non-numeric character was found where a numeric was expected");
            if (doy < 1 || doy > 366)
                return fail("ORA-01848: day of year must be between 1 and 365 (366 for leap year)");
            const date_time d =
                civil_from_days(days_from_civil(year > 0 ? year : now.year, 1, 1) + doy - 1);
            month = d.month;
            day = d.day;
        } else if (el == "DY" || el == "DAY") {
            skip_blanks();
            bool ok = false;
            for (const char* dn : kDays) {
                std::string_view full(dn);
                if (starts_with_ci(v.substr(vi), full)) {
                    vi += full.size();
                    ok = true;
                    break;
                }
                if (starts_with_ci(v.substr(vi), full.substr(0, 3))) {
                    vi += 3;
                    ok = true;
                    break;
                }
            }
            if (!ok) return fail("ORA-01846: not a valid day of the week");
        } else if (el == "HH24" || el == "HH" || el == "HH12") {
            hour12 = el != "HH24";
            if (!read_int(2, hour))
                return fail(
                    "ORA-01858: a non-numeric character was found where a numeric was expected");
        } else if (el == "MI") {
            if (!read_int(2, minute))
                return fail(
                    "ORA-01858: a non-numeric character was found where a numeric was expected");
            if (minute > 59) return fail("ORA-01851: minutes must be between 0 and 59");
        } else if (el == "SS") {
            if (!read_int(2, second))
                return fail(
                    "ORA-01858: a non-numeric character was found where a numeric was expected");
            if (second > 59) return fail("ORA-01852: seconds must be between 0 and 59");
        } else if (el == "SSSSS") {
            int s = 0;
            if (!read_int(5, s))
                return fail(
                    "ORA-01858: a non-numeric character was found where a numeric was expected");
            if (s > 86399) return fail("ORA-01853: seconds in day must be between 0 and 86399");
            hour = s / 3600;
            minute = s / 60 % 60;
            second = s % 60;
        } else if (el == "FF") {
            int width = 9;
            if (mi < mask.size() && mask[mi] >= '1' && mask[mi] <= '9') width = mask[mi++] - '0';
            std::string digits;
            while (vi < v.size() && static_cast<int>(digits.size()) < width &&
                   std::isdigit(static_cast<unsigned char>(v[vi])))
                digits.push_back(v[vi++]);
            if (vi < v.size() && std::isdigit(static_cast<unsigned char>(v[vi])))
                return fail("ORA-01880: the fractional seconds must be between 0 and 999999999");
            digits.resize(9, '0');
            nanos = std::stoll(digits);
        } else if (el == "AM" || el == "PM" || el == "A.M." || el == "P.M.") {
            skip_blanks();
            std::string_view rest = v.substr(vi);
            if (starts_with_ci(rest, "A.M.") || starts_with_ci(rest, "P.M.")) {
                meridian = std::toupper(static_cast<unsigned char>(rest[0])) == 'A' ? 1 : 2;
                vi += 4;
            } else if (starts_with_ci(rest, "AM") || starts_with_ci(rest, "PM")) {
                meridian = std::toupper(static_cast<unsigned char>(rest[0])) == 'A' ? 1 : 2;
                vi += 2;
            } else {
                return fail("ORA-01855: AM/A.M. or PM/P.M. required");
            }
        } else if (el == "J") {
            int j = 0;
            if (!read_int(7, j))
                return fail(
                    "ORA-01858: a non-numeric character was found where a numeric was expected");
            // Julian day 2440588 is 1970-01-01.
            const date_time d = civil_from_days(static_cast<int64_t>(j) - 2440588);
            year = d.year;
            month = d.month;
            day = d.day;
        } else if (el == "TZH" || el == "TZM" || el == "TZR") {
            skip_blanks();
            zone_read = true;
            const bool offset = el != "TZR" || (vi < v.size() && (v[vi] == '+' || v[vi] == '-'));
            if (offset && el != "TZM") {
                // [+|-]H[H], and for TZR also :MM.
                if (vi < v.size() && (v[vi] == '+' || v[vi] == '-')) zone_negative = v[vi++] == '-';
                if (vi >= v.size() || !std::isdigit(static_cast<unsigned char>(v[vi])) ||
                    !read_int(2, zone_hours))
                    return fail("ORA-01874: time zone hour must be between -15 and 15");
                if (el == "TZR" && vi < v.size() && v[vi] == ':') {
                    ++vi;
                    if (!read_int(2, zone_minutes))
                        return fail("ORA-01875: time zone minute must be between -59 and 59");
                }
            } else if (offset) {
                if (!read_int(2, zone_minutes))
                    return fail("ORA-01875: time zone minute must be between -59 and 59");
            } else {
                const std::size_t start = vi;
                while (vi < v.size() && !is_blank(v[vi])) ++vi;
                zone_region.assign(v.substr(start, vi - start));
            }
            if (zone_hours > 15)
                return fail("ORA-01874: time zone hour must be between -15 and 15");
            if (zone_minutes > 59)
                return fail("ORA-01875: time zone minute must be between -59 and 59");
        }
        // FX and FM only change matching strictness and padding: accepted.
    }
    skip_blanks();
    if (vi < v.size())
        return fail("ORA-01830: date format picture ends before converting entire input string");
    if (hour12) {
        if (hour < 1 || hour > 12) return fail("ORA-01849: hour must be between 1 and 12");
        if (meridian == 2 && hour != 12) hour += 12;
        if (meridian != 2 && hour == 12) hour = 0;
    } else if (hour > 23) {
        return fail("ORA-01850: hour must be between 0 and 23");
    }
    if (year < 0) year = now.year;
    if (month < 0) month = now.month;
    if (day < 0) day = 1;
    if (year < 1 || year > 9999)
        return fail("ORA-01841: (full) year must be between -4713 and +9999, and not be 0");
    if (month < 1 || month > 12) return fail("ORA-01843: not a valid month");
    if (day < 1 || day > 31)
        return fail("ORA-01847: day of month must be between 1 and last day of month");
    if (day > month_days(year, month)) return fail("ORA-01839: date not valid for month specified");
    date_time r;
    r.year = year;
    r.month = month;
    r.day = day;
    r.hour = hour;
    r.minute = minute;
    r.second = second;
    r.nanos = nanos;
    if (zone) {
        zone->clear();
        if (!zone_region.empty()) {
            *zone = zone_region;
        } else if (zone_read) {
            char buf[16];
            std::snprintf(buf, sizeof buf, "%c%02d:%02d", zone_negative ? '-' : '+',
                          zone_hours % 100, zone_minutes % 100);
            *zone = buf;
        }
    }
    return r;
}

std::optional<int> zone_offset_minutes(std::string_view z) {
    if (z == "UTC" || z == "GMT" || z == "Z" || z == "Etc/UTC" || z == "Etc/GMT") return 0;
    if (z.size() < 2 || (z[0] != '+' && z[0] != '-')) return std::nullopt;
    int hours = 0, minutes = 0;
    std::size_t i = 1;
    int digits = 0;
    for (; i < z.size() && std::isdigit(static_cast<unsigned char>(z[i])) && digits < 2;
         ++i, ++digits)
        hours = hours * 10 + (z[i] - '0');
    if (digits == 0) return std::nullopt;
    if (i < z.size()) {
        if (z[i] != ':' || z.size() - i != 3 ||
            !std::isdigit(static_cast<unsigned char>(z[i + 1])) ||
            !std::isdigit(static_cast<unsigned char>(z[i + 2])))
            return std::nullopt;
        minutes = (z[i + 1] - '0') * 10 + (z[i + 2] - '0');
    }
    if (hours > 15 || minutes > 59) return std::nullopt;
    const int total = hours * 60 + minutes;
    return z[0] == '-' ? -total : total;
}

date_time shift_minutes(const date_time& d, int minutes) {
    const int64_t total =
        days_from_civil(d.year, d.month, d.day) * 1440 + d.hour * 60 + d.minute + minutes;
    const int64_t day = total >= 0 ? total / 1440 : -((-total + 1439) / 1440);
    const int64_t rem = total - day * 1440;
    date_time r = civil_from_days(day);
    r.hour = static_cast<int>(rem / 60);
    r.minute = static_cast<int>(rem % 60);
    r.second = d.second;
    r.nanos = d.nanos;
    return r;
}

std::string format_datetime(const date_time& d, std::string_view mask) {
    std::string out;
    char buf[32];
    std::size_t mi = 0;
    while (mi < mask.size()) {
        if (mask[mi] == '"') {
            std::size_t close = mask.find('"', mi + 1);
            if (close == std::string_view::npos) close = mask.size();
            out += mask.substr(mi + 1, close - mi - 1);
            mi = close + 1;
            continue;
        }
        std::string_view el;
        for (std::string_view e : kElements)
            if (starts_with_ci(mask.substr(mi), e)) {
                el = e;
                break;
            }
        if (el.empty()) {
            out += mask[mi] == 'X' || mask[mi] == 'x' ? '.' : mask[mi];
            ++mi;
            continue;
        }
        mi += el.size();
        if (el == "YYYY" || el == "SYYYY" || el == "RRRR") {
            std::snprintf(buf, sizeof buf, "%04d", d.year);
        } else if (el == "YY" || el == "RR") {
            std::snprintf(buf, sizeof buf, "%02d", d.year % 100);
        } else if (el == "YYY") {
            std::snprintf(buf, sizeof buf, "%03d", d.year % 1000);
        } else if (el == "Y") {
            std::snprintf(buf, sizeof buf, "%d", d.year % 10);
        } else if (el == "MM") {
            std::snprintf(buf, sizeof buf, "%02d", d.month);
        } else if (el == "MON") {
            std::snprintf(buf, sizeof buf, "%.3s", kMonths[static_cast<std::size_t>(d.month - 1)]);
        } else if (el == "MONTH") {
            std::snprintf(buf, sizeof buf, "%-9s", kMonths[static_cast<std::size_t>(d.month - 1)]);
        } else if (el == "DD") {
            std::snprintf(buf, sizeof buf, "%02d", d.day);
        } else if (el == "HH24") {
            std::snprintf(buf, sizeof buf, "%02d", d.hour);
        } else if (el == "HH" || el == "HH12") {
            std::snprintf(buf, sizeof buf, "%02d", d.hour % 12 == 0 ? 12 : d.hour % 12);
        } else if (el == "MI") {
            std::snprintf(buf, sizeof buf, "%02d", d.minute);
        } else if (el == "SS") {
            std::snprintf(buf, sizeof buf, "%02d", d.second);
        } else if (el == "FF") {
            int width = 9;
            if (mi < mask.size() && mask[mi] >= '1' && mask[mi] <= '9') width = mask[mi++] - '0';
            std::snprintf(buf, sizeof buf, "%09lld", static_cast<long long>(d.nanos));
            buf[width] = '\0';
        } else if (el == "AM" || el == "PM") {
            std::snprintf(buf, sizeof buf, "%s", d.hour < 12 ? "AM" : "PM");
        } else if (el == "A.M." || el == "P.M.") {
            std::snprintf(buf, sizeof buf, "%s", d.hour < 12 ? "A.M." : "P.M.");
        } else if (el == "DY" || el == "DAY") {
            const int64_t wd = (days_from_civil(d.year, d.month, d.day) % 7 + 11) %
                               7;  // 1970-01-01 was a Thursday
            std::snprintf(buf, sizeof buf, el == "DY" ? "%.3s" : "%-9s",
                          kDays[static_cast<std::size_t>(wd)]);
        } else if (el == "TZH" || el == "TZR") {
            std::snprintf(buf, sizeof buf, "%s", el == "TZR" ? "+00:00" : "+00");
        } else if (el == "TZM") {
            std::snprintf(buf, sizeof buf, "00");
        } else {
            buf[0] = '\0';
        }
        out += buf;
    }
    return out;
}

std::string storage_date(const date_time& d) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", d.year, d.month, d.day, d.hour,
                  d.minute, d.second);
    return buf;
}

date_time round_fraction(date_time d, int precision) {
    int64_t unit = 1;
    for (int i = precision; i < 9; ++i) unit *= 10;
    int64_t n = (d.nanos + unit / 2) / unit * unit;
    if (n >= 1000000000) {
        // The rounded fraction carries into the next second.
        const int64_t total = days_from_civil(d.year, d.month, d.day) * 86400 + d.hour * 3600 +
                              d.minute * 60 + d.second + 1;
        date_time r = civil_from_days(total / 86400);
        const int64_t rem = total % 86400;
        r.hour = static_cast<int>(rem / 3600);
        r.minute = static_cast<int>(rem / 60 % 60);
        r.second = static_cast<int>(rem % 60);
        return r;
    }
    d.nanos = n;
    return d;
}

std::string storage_timestamp(date_time d, int precision) {
    d = round_fraction(d, precision);
    char buf[48];
    std::snprintf(buf, sizeof buf, "%s.%09lld", storage_date(d).c_str(),
                  static_cast<long long>(d.nanos));
    return buf;
}

std::optional<date_time> parse_storage(std::string_view s) {
    date_time d;
    if (s.size() < 19) return std::nullopt;
    const std::string str(s);
    int n = std::sscanf(str.c_str(), "%4d-%2d-%2d %2d:%2d:%2d", &d.year, &d.month, &d.day, &d.hour,
                        &d.minute, &d.second);
    if (n != 6) return std::nullopt;
    if (s.size() > 20 && s[19] == '.') {
        std::string digits(s.substr(20, 9));
        digits.resize(9, '0');
        d.nanos = std::atoll(digits.c_str());
    }
    return d;
}

}  // namespace ocilite::load
