#include "tk_file.h"

#include <cerrno>
#include <cstring>

#include "tk_exception.h"
#include "tk_logger.h"
#include "tk_path.h"

namespace {

struct file_closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using file_ptr = std::unique_ptr<std::FILE, file_closer>;

}  // namespace

// Binary mode: the "\r\n" line ends of the log are written as they stand on
// every platform.
bool tk_empty_file(const std::string& name) {
    return file_ptr(std::fopen(name.c_str(), "wb")) != nullptr;
}

bool tk_append_file(const std::string& name, std::initializer_list<std::string_view> parts) {
    file_ptr f(std::fopen(name.c_str(), "ab"));
    if (!f) return false;
    bool written = true;
    for (std::string_view part : parts)
        written &= std::fwrite(part.data(), 1, part.size(), f.get()) == part.size();
    return std::fclose(f.release()) == 0 && written;
}

namespace {

[[noreturn]] void throw_reading() {
    throw tk_exception("Error reading from file", 1);
}

}  // namespace

tk_file::tk_file(const std::string& name, unsigned mode) : mode_(mode) {
    tk_log(2, "tk_file::tk_file(%s)", name);
    if (name.empty()) throw TK_MAIL_ASSERTION();
    name_ = tk_file_name(name).full_name();
    tk_log(1, "Canonized file name: %s", name_);
    if (!writable() && !tk_is_file_exist(std::string_view(name_), tk_file_mode_read)) {
        throw tk_exception("Bad path or busy with another process", 1);
    }
}

tk_file::~tk_file() {
    tk_log(2, "tk_file::~tk_file");
    close_stream();
}

bool tk_file::close_stream() {
    std::FILE* f = stream_.release();
    return f == nullptr || std::fclose(f) == 0;
}

bool tk_file::open_stream(const char* how) {
    stream_.reset(std::fopen(name_.c_str(), how));
    return stream_ != nullptr;
}

tk_memory_file::tk_memory_file(const std::string& name, unsigned mode) : tk_file(name, mode) {
    tk_log(2, "tk_memory_file::ctor");
    initialize();
}

void tk_memory_file::initialize() {
    tk_log(2, "tk_memory_file::initialize");
    const char* how = (mode() & mode_create) != 0     ? "w+b"
                      : (mode() & mode_writable) != 0 ? "r+b"
                                                      : "rb";
    if (!open_stream(how)) throw tk_exception("Error opening file", 1);
    if (std::fseek(stream(), 0, SEEK_END) != 0) throw_reading();
    const long end = std::ftell(stream());
    // Offsets are 32-bit: a file of 4 GiB or more cannot be held.
    if (end < 0 || static_cast<unsigned long>(end) > UINT32_MAX - 1UL) throw_reading();
    if (std::fseek(stream(), 0, SEEK_SET) != 0) throw_reading();
    size_ = static_cast<uint32_t>(end);
    buffer_.assign(static_cast<size_t>(size_) + 1, 0);
    if (size_ > 0 && std::fread(buffer_.data(), 1, size_, stream()) != size_) throw_reading();
    close_stream();
}

tk_memory_file::~tk_memory_file() {
    tk_log(2, "tk_memory_file::~tk_memory_file");
    if (!writable()) return;
    try {
        flush();
    } catch (const tk_exception& e) {
        tk_log(2, "tk_memory_file: changes lost: %s", e.message());
    } catch (...) {
    }
}

const unsigned char* tk_memory_file::get_at(uint32_t offset, uint32_t length) const {
    tk_log(2, "tk_memory_file::get_at(%d,%d)", offset, length);
    // Summed in 64 bits: a large offset must not wrap around into range.
    if (uint64_t{offset} + length > size_) {
        tk_log(2, "Reading out of range: offset=%d, length=%d, file size=%d", offset, length,
               size_);
        throw_reading();
    }
    return buffer_.data() + offset;
}

void tk_memory_file::get_at(uint32_t offset, void* destination, uint32_t length) const {
    const unsigned char* source = get_at(offset, length);
    if (length > 0) std::memcpy(destination, source, length);
}

uint8_t tk_memory_file::get_byte(uint32_t offset) const {
    return *get_at(offset, 1);
}

uint16_t tk_memory_file::get_word(uint32_t offset) const {
    const unsigned char* p = get_at(offset, 2);
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t tk_memory_file::get_dword(uint32_t offset) const {
    const unsigned char* p = get_at(offset, 4);
    return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}

void tk_memory_file::put_at(uint32_t offset, const void* source, uint32_t length) {
    tk_log(2, "tk_memory_file::put_at(%d,%d)", offset, length);
    const uint64_t end = uint64_t{offset} + length;
    if (end > UINT32_MAX - 1UL) throw tk_exception("Cannot write into file", 1);
    if (end > size_) set_size(static_cast<uint32_t>(end));
    if (length > 0) std::memcpy(buffer_.data() + offset, source, length);
}

void tk_memory_file::set_size(uint32_t size) {
    tk_log(2, "tk_memory_file::set_size(%d)", size);
    if (size > size_) {
        // Bytes past the old size may be left from an earlier shrink: the
        // grown part must read as zeros.
        buffer_.resize(size_);
        buffer_.resize(static_cast<size_t>(size) + 1, 0);
    }
    size_ = size;
}

void tk_memory_file::flush() {
    tk_log(2, "tk_memory_file::flush(name='%s')", file_name());
    if (!writable()) throw TK_MAIL_ASSERTION();
    if (!open_stream("w+b")) {
        tk_log(2, "fopen_s returns error: %08X", static_cast<unsigned>(errno));
        throw tk_exception("Error opening file", 1);
    }
    const bool written = size_ == 0 || std::fwrite(buffer_.data(), 1, size_, stream()) == size_;
    // fclose writes what the stream still buffers; its failure is a failed write.
    const bool closed = close_stream();
    if (!written || !closed) throw tk_exception("Cannot write into file", 1);
}
