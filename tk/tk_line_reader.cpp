#include "tk_line_reader.h"

#include <algorithm>

namespace {

constexpr size_t kBlockBytes = 64 * 1024;

}  // namespace

tk_line_reader::tk_line_reader(const std::string& name) : file_(name, false, false) {}

bool tk_line_reader::fill() {
    // The size is asked for each block, so a file that grows while it is read
    // is read to its new end.
    const uint64_t size = file_.size();
    if (offset_ >= size) return false;
    const size_t length = static_cast<size_t>(std::min<uint64_t>(size - offset_, kBlockBytes));
    block_.resize(length);
    file_.get_at(offset_, block_.data(), length);
    offset_ += length;
    next_ = 0;
    return true;
}

tk_line_reader::result tk_line_reader::read_line(std::string& line, size_t limit) {
    line.clear();
    bool any = false;
    bool too_long = false;
    for (;;) {
        if (next_ == block_.size() && !fill()) break;
        const auto begin = block_.begin() + static_cast<std::ptrdiff_t>(next_);
        const auto feed = std::find(begin, block_.end(), '\n');
        any = true;
        // One byte more than the limit is kept so that a "\r" before the line
        // feed does not count against it.
        if (!too_long) {
            const size_t room = limit + 1 - line.size();
            const size_t count = static_cast<size_t>(feed - begin);
            line.append(begin, begin + static_cast<std::ptrdiff_t>(std::min(count, room)));
            too_long = count > room;
        }
        next_ = static_cast<size_t>(feed - block_.begin());
        if (feed != block_.end()) {
            ++next_;  // past the line feed
            break;
        }
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (too_long || line.size() > limit) return result::too_long;
    return any ? result::line : result::end;
}
