#include "tk_system.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>

#if defined(_WIN32)
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

#include "tk_exception.h"

std::string tk_program_path() {
#if defined(_WIN32)
    char buffer[MAX_PATH + 1];
    DWORD n = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) throw TK_MAIL_ASSERTION();
    return std::string(buffer, n);
#else
    char buffer[4096];
    ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) throw TK_MAIL_ASSERTION();
    return std::string(buffer, static_cast<size_t>(n));
#endif
}

std::string tk_system_error_text(int error_number) {
    if (error_number == 0) return {};
#if defined(_WIN32)
    char buffer[512];
    if (strerror_s(buffer, sizeof buffer, error_number) != 0) return {};
    return buffer;
#else
    char buffer[512];
    // GNU strerror_r may return a static string instead of filling the buffer.
    const char* text = strerror_r(error_number, buffer, sizeof buffer);
    return text != nullptr ? std::string(text) : std::string();
#endif
}

int tk_last_system_error() { return errno; }

bool tk_stdout_is_terminal() {
#if defined(_WIN32)
    return _isatty(_fileno(stdout)) != 0;
#else
    return isatty(STDOUT_FILENO) == 1;
#endif
}

tk_local_time tk_now() {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t t = system_clock::to_time_t(now);
    std::tm tm{};
#if defined(_WIN32)
    localtime_s(&tm, &t);
#else
    localtime_r(&t, &tm);
#endif
    const int ms = static_cast<int>(
        duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min,
            tm.tm_sec,         ms,             tm.tm_wday};
}
