#include "conv_files.h"

#include <filesystem>
#include <fstream>
#include <system_error>

namespace fs = std::filesystem;

bool conv_is_folder(const std::string& path) {
    std::error_code ec;
    return !path.empty() && fs::is_directory(fs::path(path), ec);
}

bool conv_is_existing_entry(const std::string& path) {
    std::error_code ec;
    return !path.empty() && fs::exists(fs::path(path), ec);
}

bool conv_is_readable_file(const std::string& path) {
    if (path.empty() || conv_is_folder(path)) return false;
    std::ifstream in(path, std::ios::binary);
    return in.is_open();
}

bool conv_is_writable_file(const std::string& path) {
    if (path.empty() || conv_is_folder(path)) return false;
    std::error_code ec;
    if (!fs::exists(fs::path(path), ec)) return false;  // never create it here
    std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
    return f.is_open();
}

std::string conv_folder_of(const std::string& path) {
    if (path.empty()) return {};
    std::error_code ec;
    const fs::path absolute = fs::absolute(fs::path(path), ec);
    if (ec) return {};
    return absolute.parent_path().string();
}

conv_line_result conv_read_line(std::istream& in, std::string& line, size_t limit) {
    line.clear();
    std::streambuf* buffer = in.rdbuf();
    bool any = false;
    bool too_long = false;
    for (;;) {
        const int c = buffer->sbumpc();
        if (c == std::char_traits<char>::eof()) {
            in.setstate(std::ios::eofbit);
            break;
        }
        any = true;
        if (c == '\n') break;
        if (too_long) continue;
        // One byte more than the limit is kept so that a "\r" before the line
        // feed does not count against it.
        if (line.size() > limit) {
            too_long = true;
            continue;
        }
        line.push_back(static_cast<char>(c));
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (too_long || line.size() > limit) return conv_line_result::too_long;
    return any ? conv_line_result::line : conv_line_result::end;
}
