#include "tk_logger.h"

#include <cstdio>
#include <vector>

#include "tk_file.h"
#include "tk_path.h"
#include "tk_string.h"
#include "tk_system.h"

namespace {

std::string default_log_name() {
    return tk_path_without_extension(tk_program_path()) + ".log";
}

}  // namespace

tk_logger::tk_logger(const char* file_name, bool enabled, int min_level, bool time_stamps)
    : file_name_(file_name != nullptr ? std::string(file_name) : default_log_name()),
      min_level_(min_level),
      enabled_(enabled),
      time_stamps_(time_stamps) {
    if (enabled_) empty_file();
}

void tk_logger::set_file_name(const char* name) {
    if (name == nullptr) throw TK_MAIL_ASSERTION();
    file_name_ = name;
}

void tk_logger::empty_file() {
    tk_empty_file(file_name_);
    emptied_ = true;
}

bool tk_logger::begin_line(int level) {
    if (!enabled_) return false;
    if (!emptied_) empty_file();
    return level >= min_level_;
}

void tk_logger::append_to_file(std::string_view prefix, std::string_view message) {
    // A line that cannot be written is lost, by design.
    tk_append_file(file_name_, {prefix, message, line_end_ ? "\r\n" : ""});
}

void tk_logger::write(int level, std::string_view message) {
    if (!begin_line(level)) return;
    char stamp[16] = "";
    if (time_stamps_) {
        const tk_local_time now = tk_now();
        std::snprintf(stamp, sizeof stamp, "%02d:%02d:%02d ", now.hour, now.minute, now.second);
    }
    append_to_file(stamp, message);
}

void tk_logger::write_wide(int level, std::u16string_view message) {
    if (!enabled_) return;
    auto utf8 = tk_encode(message.substr(0, kWideBufferChars), tk_cp_utf8);
    write(level, utf8 ? std::string_view(*utf8) : std::string_view());
}

void tk_log_c(int level, const char* format, ...) {
    tk_logger* logger = tk_logger::instance_or_null();
    if (logger == nullptr || !logger->wants(level) || format == nullptr) return;
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    char small[512];
    const int n = std::vsnprintf(small, sizeof small, format, args);
    va_end(args);
    if (n < 0) {
        va_end(again);
        return;
    }
    if (static_cast<size_t>(n) < sizeof small) {
        va_end(again);
        logger->write(level, std::string_view(small, static_cast<size_t>(n)));
        return;
    }
    std::vector<char> big(static_cast<size_t>(n) + 1);
    std::vsnprintf(big.data(), big.size(), format, again);
    va_end(again);
    logger->write(level, std::string_view(big.data(), static_cast<size_t>(n)));
}

void tk_wlog_c(int level, const char16_t* format, ...) {
    tk_logger* logger = tk_logger::instance_or_null();
    if (logger == nullptr || !logger->wants(level)) return;
    va_list args;
    va_start(args, format);
    // One less than the buffer: the formatted text and its terminating zero fit.
    std::u16string line = tk_wformat_v(tk_logger::kWideBufferChars - 1, format, args);
    va_end(args);
    logger->write_wide(level, line);
}
