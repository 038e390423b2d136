// tk_huge_file: positioned reads and writes at 64-bit offsets on one open
// operating-system file, without a cache.
//
// Every DBF table and memo file is accessed through one of these.  Each call
// is one positioned system call (pread/pwrite), so a caller that writes a
// whole record buffer with one put_at pays one call per record.  The object
// owns its descriptor and closes it on destruction; it can be moved, not
// copied.  One thread at a time.
//
// Failures throw at level 1: tk_exception "Error opening file", "Error
// reading from file" (fewer bytes than asked), "Cannot write into file", and
// tk_exception_ex with the system's text when a read or the size query fails.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Write-failure injection, for tests of full disks and failing devices.
// While a hook is set it is asked before each write how many of its bytes may
// reach the file: when fewer than asked, only those are written and the write
// then fails as a short system write does ("Cannot write into file"), with
// errno set to error_number (ENOSPC for a full disk).
struct tk_write_limit {
    size_t allowed;
    int error_number;
};
using tk_write_hook = tk_write_limit (*)(const std::string& file_name, uint64_t offset,
                                         size_t length);
// Installs hook (nullptr: none); returns the previous one.  Not thread-safe:
// set it while no file is being written.
tk_write_hook tk_set_write_hook(tk_write_hook hook);

class tk_huge_file {
  public:
    // Opens the file for reading, or for reading and writing; a missing file
    // is created either way.  A folder does not open.
    tk_huge_file(const std::string& name, bool writable);
    // The same for a UTF-16 name.
    tk_huge_file(const std::u16string& name, bool writable);
    ~tk_huge_file();
    tk_huge_file(tk_huge_file&& other) noexcept;
    tk_huge_file& operator=(tk_huge_file&& other) noexcept;
    tk_huge_file(const tk_huge_file&) = delete;
    tk_huge_file& operator=(const tk_huge_file&) = delete;

    // Reads exactly length bytes at offset into destination.
    void get_at(uint64_t offset, void* destination, size_t length) const;
    uint8_t get_byte(uint64_t offset) const;
    // Little-endian 32-bit value at offset.
    uint32_t get_dword(uint64_t offset) const;
    // Writes length bytes at offset.  Writing beyond the end extends the file;
    // the bytes skipped over read as zeros.
    void put_at(uint64_t offset, const void* source, size_t length);
    // Little-endian 32-bit value at offset.
    void put_dword(uint64_t offset, uint32_t value);
    // The size in bytes.
    uint64_t size() const;
    // Cuts or extends (with zeros) the file to size bytes; failure throws
    // "Cannot write into file".
    void set_size(uint64_t size);

    const std::string& file_name() const { return name_; }
    bool writable() const { return writable_; }

  private:
    void open(bool writable);

    int fd_ = -1;
    std::string name_;
    bool writable_ = false;
};
