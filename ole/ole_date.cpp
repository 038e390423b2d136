#include "ole_date.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

#include "ole_number_text.h"
#include "ole_trace.h"
#include "tk_exception.h"
#include "tk_logger.h"
#include "tk_string.h"

namespace {

bool is_blank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// Reads a text the way the scanf notations "%4d%02d", "%hd:%hd:%s" and
// "%hd-%hd-%hd %hd:%hd:%s" do, without their hazards: numbers saturate
// instead of overflowing, words are copied into a string of their own size.
class notation_reader {
  public:
    explicit notation_reader(std::string_view text) : text_(text) {}

    // "%Nd" (width 0: no limit): blanks skipped, then an optional sign and
    // digits, at most width characters.  Stored as the 16-bit field would
    // receive it (two's complement truncation).
    bool number(size_t width, uint16_t& out) {
        skip_blanks();
        size_t limit = width == 0 ? std::numeric_limits<size_t>::max() : width;
        size_t i = pos_;
        bool negative = false;
        if (i < text_.size() && limit > 0 && (text_[i] == '+' || text_[i] == '-')) {
            negative = text_[i] == '-';
            ++i;
            --limit;
        }
        int64_t value = 0;
        size_t digits = 0;
        while (i < text_.size() && limit > 0 && text_[i] >= '0' && text_[i] <= '9') {
            if (value < 1000000000000LL) value = value * 10 + (text_[i] - '0');
            ++i;
            --limit;
            ++digits;
        }
        if (digits == 0) return false;
        pos_ = i;
        if (negative) value = -value;
        out = static_cast<uint16_t>(static_cast<uint64_t>(value) & 0xFFFF);
        return true;
    }

    // "%s": blanks skipped, then the run of non-blank characters (at least one).
    bool word(std::string& out) {
        skip_blanks();
        size_t i = pos_;
        while (i < text_.size() && !is_blank(text_[i])) ++i;
        if (i == pos_) return false;
        out.assign(text_.substr(pos_, i - pos_));
        pos_ = i;
        return true;
    }

    // A literal character of the notation; a blank matches any run of blanks,
    // none included.
    bool literal(char c) {
        if (c == ' ') {
            skip_blanks();
            return true;
        }
        if (pos_ < text_.size() && text_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }

  private:
    void skip_blanks() {
        while (pos_ < text_.size() && is_blank(text_[pos_])) ++pos_;
    }

    std::string_view text_;
    size_t pos_ = 0;
};

// A date alone needs a date: "00000000" and "0000-00-00" are no value (they
// would pass is_valid() as a time of 00:00:00 and print as "2000-00-00").
bool has_date(const ole_systemtime& r) {
    return r.year != 0 || r.month != 0 || r.day != 0;
}

std::string format_date(const char* format, const ole_systemtime& r, int extra = 0) {
    char buf[96];
    std::snprintf(buf, sizeof buf, format, r.year, r.month, r.day, r.hour, r.minute, r.second,
                  extra);
    return buf;
}

}  // namespace

ole_date::ole_date(const ole_systemtime& record) : kind_(kind_date_time), record_(record) {
    tk_log(1, "ole_date::ole_date(SYSTEMTIME)");
    refine_type();
}

ole_date::ole_date(std::string_view text) {
    parse(text);
}

ole_date::ole_date(std::u16string_view text) {
    std::string narrow;
    if (!tk_ucs2_to_ansi(text, narrow)) {
        tk_log(2, "Invalid date/time format: '%s'", "<not convertible>");
        return;
    }
    parse(narrow);
}

bool ole_date::is_valid() const {
    tk_log(2, "ole_date::is_valid");
    if (kind_ == kind_invalid) return false;
    const ole_systemtime& r = record_;
    if (r.year == 0 && r.month == 0 && r.day == 0) {
        tk_log(1, "DATETIME is a pute time");
    } else {
        if (r.month == 0 || r.month > 12) {
            tk_log(1, "Invalid month");
            return false;
        }
        if (r.day == 0 || r.year == 0 || (r.year > 31 && r.day > 31)) {
            tk_log(1, "Invalid day and/or year");
            return false;
        }
    }
    if (r.hour > 60 || r.minute > 60 || r.second > 60) {
        tk_log(1, "Invalid time");
        return false;
    }
    return true;
}

void ole_date::refine_type() {
    const ole_systemtime& r = record_;
    tk_log(2, "ole_date::refine_type(%d,%d,%d,%d,%d,%d)", r.year, r.month, r.day, r.hour, r.minute,
           r.second);
    if (r.year == 0 && r.month == 0 && r.day == 0) {
        kind_ = kind_time;
    } else if (r.hour == 0 && r.minute == 0 && r.second == 0 && r.year != 0 && r.month != 0 &&
               r.day != 0) {
        kind_ = kind_date;
    }
}

void ole_date::process_milliseconds(const char* seconds_text) {
    tk_log(2, "ole_date::process_milliseconds");
    TK_ASSERT(seconds_text != nullptr);
    tk_log(1, "Got row sec: '%s'", seconds_text);
    const double s = ole_leading_double(seconds_text);
    if (!(s >= 0.0 && s < 65535.0)) {
        // Not a second of any valid time: leave one that is_valid() rejects.
        record_.second = 0xFFFF;
        record_.milliseconds = 0;
        tk_log(1, "Got sec: %d", record_.second);
        return;
    }
    const double whole = std::trunc(s);
    record_.second = static_cast<uint16_t>(whole);
    // Truncation, with a margin for the binary representation: 5.123 is
    // stored as 5.12299999..., which still means 123 milliseconds.
    double ms = std::floor((s - whole) * 1000.0 + 1e-6);
    if (ms > 999.0) ms = 999.0;
    record_.milliseconds = static_cast<uint16_t>(ms);
    tk_log(1, "Got sec: %d", record_.second);
    tk_log(1, "Got msec: %d", record_.milliseconds);
}

bool ole_date::try_timestamp14(std::string_view text) {
    tk_log(1, "Trying timestamp format (1)...");
    notation_reader in(text);
    ole_systemtime& r = record_;
    if (in.number(4, r.year) && in.number(2, r.month) && in.number(2, r.day) &&
        in.number(2, r.hour) && in.number(2, r.minute) && in.number(2, r.second)) {
        // No date at all is a time alone (otherwise it would print with the
        // year 2000 and month 0).
        kind_ = r.year == 0 && r.month == 0 && r.day == 0 ? kind_time : kind_date_time;
        if (is_valid()) return true;
    }
    record_ = {};
    kind_ = kind_invalid;
    return false;
}

bool ole_date::try_timestamp8(std::string_view text) {
    tk_log(1, "Trying timestamp format (2)...");
    notation_reader in(text);
    ole_systemtime& r = record_;
    if (in.number(4, r.year) && in.number(2, r.month) && in.number(2, r.day)) {
        kind_ = kind_date;
        if (has_date(r) && is_valid()) return true;
    }
    record_ = {};
    kind_ = kind_invalid;
    return false;
}

bool ole_date::try_pure_time(std::string_view text) {
    tk_log(1, "Trying pure time format...");
    notation_reader in(text);
    ole_systemtime& r = record_;
    std::string seconds;
    int items = 0;
    if (in.number(0, r.hour)) {
        ++items;
        if (in.literal(':') && in.number(0, r.minute)) {
            ++items;
            if (in.literal(':') && in.word(seconds)) ++items;
        }
    }
    if (items == 3 || (items == 2 && seconds.empty())) {
        kind_ = kind_time;
        if (is_valid()) {
            if (items == 3) process_milliseconds(seconds.c_str());
            // The seconds are known only now: check them too.
            if (is_valid()) return true;
        }
    }
    record_ = {};
    kind_ = kind_invalid;
    return false;
}

bool ole_date::try_notation(int index, std::string_view text) {
    static constexpr char kSeparators[] = {'-', '/', '.'};
    const char sep = kSeparators[index];
    tk_log(1, "Trying datetime format #%d", index);
    record_ = {};
    notation_reader in(text);
    ole_systemtime& r = record_;
    std::string seconds;
    int items = 0;
    // "%hd<sep>%hd<sep>%hd %hd:%hd:%s": count the items read, as scanf does.
    if (in.number(0, r.year)) {
        ++items;
        if (in.literal(sep) && in.number(0, r.month)) {
            ++items;
            if (in.literal(sep) && in.number(0, r.day)) {
                ++items;
                if (in.literal(' ') && in.number(0, r.hour)) {
                    ++items;
                    if (in.literal(':') && in.number(0, r.minute)) {
                        ++items;
                        if (in.literal(':') && in.word(seconds)) ++items;
                    }
                }
            }
        }
    }
    if (items == 3) {
        tk_log(1, "Format #%d succeeded (3 items)", index);
        r.hour = r.minute = 0;
        kind_ = kind_date;
        if (has_date(r) && is_valid()) return true;
    } else if (items == 6) {
        tk_log(1, "Format #%d succeeded (6 items)", index);
        kind_ = kind_date_time;
        if (is_valid()) {
            process_milliseconds(seconds.c_str());
            if (is_valid()) {
                refine_type();
                return true;
            }
        }
    }
    record_ = {};
    kind_ = kind_invalid;
    return false;
}

void ole_date::import_from_string(std::string_view text) {
    tk_log(2, "ole_date::import_from_string");
    record_ = {};
    kind_ = kind_invalid;
    if (text.size() == 14 && try_timestamp14(text)) return;
    if (text.size() == 8 && try_timestamp8(text)) return;
    if (try_pure_time(text)) return;
    // The locale's own date parser would come here; this system has none,
    // so texts go straight on to the explicit notations.
    for (int index = 0; index < 3; ++index) {
        if (try_notation(index, text)) return;
    }
    kind_ = kind_invalid;
    ole_trace(2, "Invalid date/time format: '%s'", text);
}

void ole_date::parse(std::string_view text) {
    ole_trace(2, "ole_date::ole_date('%s')", text);
    record_ = {};
    kind_ = kind_invalid;
    std::string buf = tk_trim(text);
    tk_log(1, "After tk_trim: %s", buf);
    // A 12-hour clock marker ends the date and time; what follows is dropped.
    static constexpr const char* kMarkers[] = {"AM", "PM", "am", "pm"};
    bool morning = false;
    for (const char* marker : kMarkers) {
        const size_t at = buf.find(marker);
        if (at != std::string::npos) {
            morning = marker[0] == 'A' || marker[0] == 'a';
            buf = tk_trim(std::string_view(buf).substr(0, at));
            break;
        }
    }
    tk_log(1, "Again buf1=%s", buf);
    if (buf.size() < 5) {
        tk_log(2, "Invalid date/time format: '%s'", buf);
        return;
    }
    import_from_string(buf);
    ole_systemtime& r = record_;
    if ((kind_ == kind_date_time || kind_ == kind_date) && r.day > 31 && r.year < 32) {
        std::swap(r.day, r.year);
    }
    const bool afternoon =
        text.find("PM") != std::string_view::npos || text.find("pm") != std::string_view::npos;
    if (afternoon) {
        if (r.hour < 12) r.hour = static_cast<uint16_t>(r.hour + 12);
    } else if (morning && r.hour == 12) {
        // 12 AM is midnight.
        r.hour = 0;
        if (kind_ == kind_date_time) refine_type();
    }
}

std::string ole_date::to_string(bool with_milliseconds) const {
    tk_log(2, "ole_date::to_string");
    ole_systemtime r = record_;
    if (r.year < 50) {
        r.year = static_cast<uint16_t>(r.year + 2000);
    } else if (r.year < 100) {
        r.year = static_cast<uint16_t>(r.year + 1900);
    }
    switch (kind_) {
        case kind_date_time:
            tk_log(1, "printing datetime...");
            if (r.hour == 0 && r.minute == 0 && r.second == 0 && date_only_at_midnight_) {
                return format_date("%04d-%02d-%02d", r);
            }
            if (r.milliseconds == 0 || !with_milliseconds) {
                return format_date("%04d-%02d-%02d %02d:%02d:%02d", r);
            }
            return format_date("%04d-%02d-%02d %02d:%02d:%02d.%03d", r, r.milliseconds);
        case kind_date:
            tk_log(1, "printing date...");
            return format_date("%04d-%02d-%02d", r);
        case kind_time: {
            tk_log(1, "printing time...");
            char buf[64];
            if (r.milliseconds == 0) {
                std::snprintf(buf, sizeof buf, "0000-00-00 %02d:%02d:%02d", r.hour, r.minute,
                              r.second);
            } else {
                std::snprintf(buf, sizeof buf, "0000-00-00 %02d:%02d:%02d.%03d", r.hour, r.minute,
                              r.second, r.milliseconds);
            }
            return buf;
        }
        case kind_invalid:
            break;
    }
    return std::string();
}

std::u16string ole_date::to_wstring(bool with_milliseconds) const {
    tk_log(2, "ole_date::to_wstring");
    const std::string narrow = to_string(with_milliseconds);
    // The printed forms hold ASCII digits and separators only.
    return std::u16string(narrow.begin(), narrow.end());
}
