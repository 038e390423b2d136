// dbf_file: the positioned file access that the DBF codec and the memo files
// use for every table and memo file.
//
// A thin owner of one open file with 64-bit offsets.  Reads never go beyond
// the end of the file: a read that would is refused with an exception before
// any system call, so callers that check the size first get bounded I/O even on
// hostile files.  The size is kept in the object (it changes only through this
// object's writes), so asking for it costs nothing.  One thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

struct dbf_file_impl;

class dbf_file {
public:
    // Opens an existing file, read-only or for reading and writing.  A missing
    // file or an open failure raises tk_exception "Error opening file".
    dbf_file(const std::string& path, bool writable);
    // Creates the file (truncating an existing one) for reading and writing.
    static std::unique_ptr<dbf_file> create(const std::string& path);
    ~dbf_file();
    // Whether a file exists at the path and can be opened for reading.
    static bool exists(const std::string& path);
    dbf_file(const dbf_file&) = delete;
    dbf_file& operator=(const dbf_file&) = delete;

    const std::string& path() const { return path_; }
    uint64_t size() const { return size_; }
    bool writable() const { return writable_; }

    // Copies length bytes at offset.  REQUIRES offset + length <= size(),
    // otherwise tk_exception "Error reading from file" without any read.
    void get_at(uint64_t offset, void* destination, size_t length);
    // Reads up to length bytes at offset; returns how many were read (fewer
    // only at the end of the file).
    size_t get_some(uint64_t offset, void* destination, size_t length);
    // Writes length bytes at offset in one call, extending the file as needed
    // (bytes skipped over read as zeros).  Failure: tk_exception
    // "Cannot write into file".
    void put_at(uint64_t offset, const void* source, size_t length);

    // Cuts (or extends with zeros) the file to size bytes.  Failure:
    // tk_exception "Cannot write into file".
    void set_size(uint64_t size);

    uint32_t get_u32(uint64_t offset);

private:
    dbf_file(std::string path, bool writable, std::unique_ptr<dbf_file_impl> impl);

    std::string path_;
    bool writable_;
    uint64_t size_ = 0;
    std::unique_ptr<dbf_file_impl> impl_;
};

// Little-endian and big-endian loads and stores over byte buffers.
inline uint16_t dbf_le16(const unsigned char* p) { return uint16_t(p[0] | (p[1] << 8)); }
inline uint32_t dbf_le32(const unsigned char* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) |
           (uint32_t(p[3]) << 24);
}
inline uint16_t dbf_be16(const unsigned char* p) { return uint16_t((p[0] << 8) | p[1]); }
inline uint32_t dbf_be32(const unsigned char* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) |
           uint32_t(p[3]);
}
inline void dbf_put_le16(unsigned char* p, uint16_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
inline void dbf_put_le32(unsigned char* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}
