#include "conv_files.h"

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

bool conv_is_existing_entry(const std::string& path) {
    std::error_code ec;
    return !path.empty() && fs::exists(fs::path(path), ec);
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
