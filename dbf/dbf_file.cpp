#include "dbf_file.h"

#include "tk_exception.h"
#include "tk_huge_file.h"
#include "tk_path.h"

struct dbf_file_impl {
    explicit dbf_file_impl(const std::string& path, bool writable) : file(path, writable) {}
    tk_huge_file file;
};

dbf_file::dbf_file(std::string path, bool writable, std::unique_ptr<dbf_file_impl> impl)
    : path_(std::move(path)), writable_(writable), impl_(std::move(impl)) {
    size_ = impl_->file.size();
}

dbf_file::dbf_file(const std::string& path, bool writable)
    : path_(path), writable_(writable) {
    // The toolkit's file creates a missing file; opening an existing table or
    // memo file must not.
    if (!tk_is_file_exist(path, writable ? tk_file_mode_write : tk_file_mode_read))
        throw tk_exception("Error opening file", 1);
    impl_ = std::make_unique<dbf_file_impl>(path, writable);
    size_ = impl_->file.size();
}

std::unique_ptr<dbf_file> dbf_file::create(const std::string& path) {
    auto impl = std::make_unique<dbf_file_impl>(path, true);
    impl->file.set_size(0);
    return std::unique_ptr<dbf_file>(new dbf_file(path, true, std::move(impl)));
}

dbf_file::~dbf_file() = default;

bool dbf_file::exists(const std::string& path) {
    return tk_is_file_exist(path, tk_file_mode_read);
}

void dbf_file::get_at(uint64_t offset, void* destination, size_t length) {
    if (offset > size_ || length > size_ - offset) throw tk_exception("Error reading from file", 1);
    if (length != 0) impl_->file.get_at(offset, destination, length);
}

size_t dbf_file::get_some(uint64_t offset, void* destination, size_t length) {
    if (offset >= size_) return 0;
    if (length > size_ - offset) length = size_t(size_ - offset);
    get_at(offset, destination, length);
    return length;
}

void dbf_file::put_at(uint64_t offset, const void* source, size_t length) {
    if (length == 0) return;
    impl_->file.put_at(offset, source, length);
    if (offset + length > size_) size_ = offset + length;
}

void dbf_file::set_size(uint64_t size) {
    impl_->file.set_size(size);
    size_ = size;
}

uint32_t dbf_file::get_u32(uint64_t offset) {
    unsigned char b[4];
    get_at(offset, b, 4);
    return dbf_le32(b);
}
