#include "tk_huge_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "tk_exception.h"
#include "tk_logger.h"
#include "tk_path.h"

namespace {

// pread/pwrite take a signed offset.
bool offset_fits(uint64_t offset, size_t length) {
    return offset <= static_cast<uint64_t>(INT64_MAX) &&
           length <= static_cast<uint64_t>(INT64_MAX) - offset;
}

tk_write_hook g_write_hook = nullptr;

}  // namespace

tk_write_hook tk_set_write_hook(tk_write_hook hook) {
    const tk_write_hook previous = g_write_hook;
    g_write_hook = hook;
    return previous;
}

tk_huge_file::tk_huge_file(const std::string& name, bool writable) : name_(name) {
    open(writable);
}

tk_huge_file::tk_huge_file(const std::u16string& name, bool writable) {
    if (!tk_path_to_system(name, name_)) {
        tk_wlog(2, u"tk_huge_file::ctor('%s',%d)", name, static_cast<int>(writable));
        throw tk_exception("Error opening file", 1);
    }
    open(writable);
}

void tk_huge_file::open(bool writable) {
    tk_log(2, "tk_huge_file::ctor('%s',%d)", name_, static_cast<int>(writable));
    writable_ = writable;
    if (name_.empty() || name_.find('\0') != std::string::npos) {
        throw tk_exception("Error opening file", 1);
    }
    // A missing file is created whether or not it is opened for writing.
    const int flags = (writable ? O_RDWR : O_RDONLY) | O_CREAT | O_CLOEXEC;
    int fd;
    do {
        fd = ::open(name_.c_str(), flags, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) throw tk_exception("Error opening file", 1);
    // A folder opens for reading on POSIX but holds no bytes to read.
    struct stat st {};
    if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        throw tk_exception("Error opening file", 1);
    }
    fd_ = fd;
}

tk_huge_file::~tk_huge_file() {
    tk_log(2, "tk_huge_file::dtor");
    if (fd_ >= 0) ::close(fd_);
}

tk_huge_file::tk_huge_file(tk_huge_file&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      name_(std::move(other.name_)),
      writable_(other.writable_) {}

tk_huge_file& tk_huge_file::operator=(tk_huge_file&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
        name_ = std::move(other.name_);
        writable_ = other.writable_;
    }
    return *this;
}

void tk_huge_file::get_at(uint64_t offset, void* destination, size_t length) const {
    tk_log(2, "tk_huge_file::get_at(%lld, %d)", static_cast<long long>(offset),
           static_cast<int>(length));
    if (!offset_fits(offset, length)) throw tk_exception("Error reading from file", 1);
    auto* out = static_cast<unsigned char*>(destination);
    size_t done = 0;
    while (done < length) {
        const ssize_t n = pread(fd_, out + done, length - done, static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            throw tk_exception_ex(std::string(), errno, 1);
        }
        if (n == 0) throw tk_exception("Error reading from file", 1);  // end of file
        done += static_cast<size_t>(n);
    }
}

uint8_t tk_huge_file::get_byte(uint64_t offset) const {
    uint8_t byte = 0;
    get_at(offset, &byte, 1);
    return byte;
}

uint32_t tk_huge_file::get_dword(uint64_t offset) const {
    unsigned char p[4];
    get_at(offset, p, sizeof p);
    return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}

void tk_huge_file::put_at(uint64_t offset, const void* source, size_t length) {
    tk_log(2, "tk_huge_file::put_at(%lld, %d)", static_cast<long long>(offset),
           static_cast<int>(length));
    if (!offset_fits(offset, length)) throw tk_exception("Cannot write into file", 1);
    const auto* in = static_cast<const unsigned char*>(source);
    size_t done = 0;
    size_t allowed = length;
    int injected_error = 0;
    if (g_write_hook != nullptr) {
        const tk_write_limit limit = g_write_hook(name_, offset, length);
        if (limit.allowed < length) {
            allowed = limit.allowed;
            injected_error = limit.error_number;
        }
    }
    // pwrite may write less than asked (a signal, a full disk): go on with the
    // rest; when no progress is possible the short write is a failure, since
    // the caller's record would otherwise be silently cut.
    while (done < length) {
        if (done == allowed) {
            errno = injected_error;
            tk_log(2, "data_length != dwBytesWritten");
            throw tk_exception("Cannot write into file", 1);
        }
        const ssize_t n = pwrite(fd_, in + done, allowed - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (done > 0) tk_log(2, "data_length != dwBytesWritten");
            throw tk_exception("Cannot write into file", 1);
        }
        done += static_cast<size_t>(n);
    }
}

void tk_huge_file::put_dword(uint64_t offset, uint32_t value) {
    const unsigned char p[4] = {
        static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
        static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)};
    put_at(offset, p, sizeof p);
}

uint64_t tk_huge_file::size() const {
    struct stat st {};
    if (fstat(fd_, &st) != 0) throw tk_exception_ex(std::string(), errno, 1);
    return static_cast<uint64_t>(st.st_size);
}

void tk_huge_file::set_size(uint64_t size) {
    tk_log(2, "tk_huge_file::set_size(%lld)", static_cast<long long>(size));
    if (size > static_cast<uint64_t>(INT64_MAX)) throw tk_exception("Cannot write into file", 1);
    int r;
    do {
        r = ftruncate(fd_, static_cast<off_t>(size));
    } while (r != 0 && errno == EINTR);
    if (r != 0) throw tk_exception("Cannot write into file", 1);
}
