#include "fuzz_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

// The sanitizers' report channel: libFuzzer's -close_fd_mask closes standard
// error but keeps this one.  Absent from builds without a sanitizer.
extern "C" void __sanitizer_report_error_summary(const char* summary) __attribute__((weak));

namespace kestrel_fuzz {

namespace fs = std::filesystem;

namespace {

std::string make_sandbox() {
    const fs::path path =
        fs::temp_directory_path() / ("kestrel_fuzz_" + std::to_string(::getpid()));
    std::error_code ec;
    fs::remove_all(path, ec);
    fs::create_directories(path);
    return path.string();
}

void remove_sandbox() {
    std::error_code ec;
    fs::remove_all(sandbox(), ec);
}

}  // namespace

const std::string& sandbox() {
    // Never destroyed: remove_sandbox runs at exit, after the destructors of
    // function-local statics made before it was registered.
    static const std::string* const path = [] {
        auto* p = new std::string(make_sandbox());
        std::atexit(remove_sandbox);
        return p;
    }();
    return *path;
}

std::string sandbox_file(std::string_view name) {
    return sandbox() + "/" + std::string(name);
}

void clear_sandbox() {
    std::error_code ec;
    for (fs::directory_iterator it(sandbox(), ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code ignored;
        fs::remove_all(it->path(), ignored);
    }
}

void write_sandbox_file(std::string_view name, std::string_view bytes) {
    const std::string path = sandbox_file(name);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    out.close();
    if (!out) fuzz_fail("cannot write the sandbox file " + path, bytes);
}

std::vector<std::string_view> split(std::string_view text, std::string_view separator) {
    std::vector<std::string_view> parts;
    for (;;) {
        const size_t at = separator.empty() ? text.npos : text.find(separator);
        if (at == text.npos) break;
        parts.push_back(text.substr(0, at));
        text.remove_prefix(at + separator.size());
    }
    parts.push_back(text);
    return parts;
}

void fuzz_fail(std::string_view what, std::string_view input) {
    constexpr size_t kShown = 200;
    std::string shown;
    for (const char c : input.substr(0, kShown)) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x20 && u < 0x7F && u != '\\') {
            shown.push_back(c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", u);
            shown += hex;
        }
    }
    if (input.size() > kShown) shown += "...";
    std::fprintf(stderr, "\nFUZZ PROPERTY BROKEN: %.*s\n  input (%zu bytes): %s\n",
                 int(what.size()), what.data(), input.size(), shown.c_str());
    std::fflush(stderr);
    if (__sanitizer_report_error_summary != nullptr)
        __sanitizer_report_error_summary(("FUZZ PROPERTY BROKEN: " + std::string(what)).c_str());
    std::abort();
}

}  // namespace kestrel_fuzz
