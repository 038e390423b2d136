// tk_logger: the process-wide trace logger.
//
// Lines go to a plain text file, each "[HH:MM:SS ]message\r\n"; the file is
// opened and closed for every line so it is complete whatever ends the process.
// Lines from narrow messages carry their bytes unchanged, lines from wide
// messages are UTF-8.  The file is emptied at the first log call after logging
// was turned on, whatever that call's level.  Levels: 1 detail, 2 entry of an
// operation, 3 events for the user.  Without a logger instance, or while it is
// disabled, logging does nothing.  Takes no lock: use from one thread.
//
// Use tk_log / tk_wlog below rather than the instance.
#pragma once

#include <cstdarg>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>

#include "tk_singleton.h"

class tk_logger : public tk_singleton<tk_logger> {
  public:
    static constexpr size_t kWideBufferChars = 10240;

    // file_name may be null: the program's own path with the extension ".log".
    // When enabled, the file is emptied now.
    tk_logger(const char* file_name, bool enabled, int min_level, bool time_stamps);
    ~tk_logger() override = default;

    // REQUIRES: name is not null (otherwise tk_mail_assertion).
    void set_file_name(const char* name);
    void set_enabled(bool enabled) { enabled_ = enabled; }

    const std::string& file_name() const { return file_name_; }
    bool enabled() const { return enabled_; }
    int min_level() const { return min_level_; }
    bool emptied() const { return emptied_; }

    // Whether a call at this level has any effect (writes, or empties the file).
    bool wants(int level) const { return enabled_ && (!emptied_ || level >= min_level_); }
    // One line from an already formatted message.
    void write(int level, std::string_view message);
    void write_wide(int level, std::u16string_view message);

  private:
    bool begin_line(int level);  // steps shared by both forms; false: write nothing
    void append_to_file(std::string_view prefix, std::string_view message);
    void empty_file();

    std::string file_name_;
    int min_level_;
    bool line_end_ = true;
    bool enabled_;
    bool emptied_ = false;
    bool time_stamps_;
};

// C-style entry points.  Narrow "%s" takes const char*; wide "%s" takes
// const char16_t* (see tk_wformat).
void tk_log_c(int level, const char* format, ...) __attribute__((format(printf, 2, 3)));
void tk_wlog_c(int level, const char16_t* format, ...);

namespace tk_log_detail {
inline const char* arg(const std::string& s) {
    return s.c_str();
}
inline const char16_t* arg(const std::u16string& s) {
    return s.c_str();
}
template <class T>
T arg(T v) {
    static_assert(std::is_arithmetic_v<T> || std::is_pointer_v<T> || std::is_enum_v<T>,
                  "log arguments are numbers, C strings, std::string or std::u16string");
    return v;
}
inline bool wants(int level) {
    const tk_logger* logger = tk_logger::instance_or_null();
    return logger != nullptr && logger->wants(level);
}
}  // namespace tk_log_detail

// Logs one printf-style line; std::string / std::u16string arguments may be
// passed directly.  Formats nothing when the line would not be written.
template <class... A>
void tk_log(int level, const char* format, const A&... args) {
    if (tk_log_detail::wants(level)) tk_log_c(level, format, tk_log_detail::arg(args)...);
}
template <class... A>
void tk_wlog(int level, const char16_t* format, const A&... args) {
    if (tk_log_detail::wants(level)) tk_wlog_c(level, format, tk_log_detail::arg(args)...);
}
