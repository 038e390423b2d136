#include "conv_console.h"

#include <algorithm>

#include "tk_cmd_line.h"
#include "tk_string.h"

namespace {

// Longest part of a table name shown in the progress line: the line must
// stay narrower than a terminal, or rewriting it in place would wrap.
constexpr size_t kTableChars = 24;

// Characters (not bytes) of UTF-8 text: what the line occupies on screen.
size_t display_width(std::string_view utf8) {
    return size_t(std::count_if(utf8.begin(), utf8.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

// 1234567 -> "1,234,567".
std::string grouped(uint64_t n) {
    std::string digits = std::to_string(n);
    std::string out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i != 0 && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return out;
}

// Seconds as "m:ss" or "h:mm:ss".
std::string clock_text(uint64_t seconds) {
    const uint64_t h = seconds / 3600, m = seconds / 60 % 60, s = seconds % 60;
    char buffer[48];
    if (h != 0)
        std::snprintf(buffer, sizeof buffer, "%llu:%02llu:%02llu", (unsigned long long)h,
                      (unsigned long long)m, (unsigned long long)s);
    else
        std::snprintf(buffer, sizeof buffer, "%llu:%02llu", (unsigned long long)m,
                      (unsigned long long)s);
    return buffer;
}

}  // namespace

conv_console::conv_console(bool enabled, bool terminal, std::FILE* out, std::FILE* err,
                           clock_function now)
    : enabled_(enabled), terminal_(terminal), out_(out), err_(err), now_(now) {}

conv_console::~conv_console() {
    clear();
}

void conv_console::write(std::FILE* stream, std::u16string_view text) {
    std::string narrow;
    // A name the system encoding cannot show is printed with what survives
    // of it rather than not at all.
    if (!tk_ucs2_to_system(text, narrow)) narrow = tk_ucs2_to_utf8(text);
    std::fwrite(narrow.data(), 1, narrow.size(), stream);
}

void conv_console::line(std::u16string_view text) {
    if (!enabled_) return;
    clear();
    write(out_, text);
    std::fputc('\n', out_);
    std::fflush(out_);
}

void conv_console::error_line(std::u16string_view text) {
    if (!enabled_) return;
    clear();
    std::fflush(out_);
    write(err_, text);
    std::fputc('\n', err_);
    std::fflush(err_);
}

void conv_console::begin_table(std::u16string_view table, uint32_t total) {
    clear();
    drawing_ = enabled_ && terminal_ && total != 0;
    if (!drawing_) return;
    table_.assign(table.substr(0, kTableChars));
    total_ = total;
    started_ = now_();
    // The first drawing waits one interval: small tables end before it and
    // never show a progress line.
    last_draw_ = started_;
}

void conv_console::end_table() {
    clear();
    drawing_ = false;
}

void conv_console::clear() {
    if (shown_width_ == 0) return;
    std::string blank = "\r";
    blank.append(shown_width_, ' ');
    blank += '\r';
    std::fwrite(blank.data(), 1, blank.size(), out_);
    std::fflush(out_);
    shown_width_ = 0;
}

void conv_console::progress_slow(uint32_t done) {
    const clock::time_point now = now_();
    if (now - last_draw_ < kRedrawInterval) return;
    last_draw_ = now;
    const std::string text = progress_text(table_, done, total_, now - started_);
    const size_t width = display_width(text);
    std::string drawn = "\r" + text;
    // Spaces over what a longer previous line left behind.
    if (width < shown_width_) drawn.append(shown_width_ - width, ' ');
    std::fwrite(drawn.data(), 1, drawn.size(), out_);
    std::fflush(out_);
    shown_width_ = std::max(width, shown_width_);
}

std::string conv_console::progress_text(std::u16string_view table, uint32_t done, uint32_t total,
                                        clock::duration elapsed) {
    std::string name;
    if (!tk_ucs2_to_system(table.substr(0, kTableChars), name))
        name = tk_ucs2_to_utf8(table.substr(0, kTableChars));
    const uint64_t percent = total == 0 ? 100 : uint64_t(std::min(done, total)) * 100 / total;
    const double seconds = std::chrono::duration<double>(elapsed).count();
    std::string text = name + ": " + grouped(done) + " of " + grouped(total) + " records (" +
                       std::to_string(percent) + "%)";
    if (seconds > 0 && done != 0) {
        const double rate = done / seconds;
        text += ", " + grouped(uint64_t(rate)) + " rows/s";
        const uint64_t left = total > done ? uint64_t((total - done) / rate + 0.5) : 0;
        text += ", " + clock_text(left) + " left";
    }
    return text;
}
