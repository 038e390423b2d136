// tk_file and tk_memory_file: a whole file loaded into memory, read and
// patched at 32-bit offsets, and written back in one block.
//
// The table creator builds a new DBF header in a tk_memory_file.  Failures
// throw tk_exception at level 1 with the messages "Bad path or busy with
// another process", "Error opening file", "Error reading from file" and
// "Cannot write into file".  An object is used by one thread at a time.
#pragma once

#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// The trace log's file operations.  They never log, since the logger writes
// through them, and never throw: false when the file does not open (the
// caller decides what a lost line means).
// Creates the file or empties it.
bool tk_empty_file(const std::string& name);
// Appends the parts, in order, to the end of the file, creating it.
bool tk_append_file(const std::string& name, std::initializer_list<std::string_view> parts);

// Abstract base of the buffered files: the file's absolute name, its open mode
// and, while the file is open, its stream.
class tk_file {
  public:
    // Open-mode bits.  mode_create truncates or creates the file and implies
    // mode_writable (a created file that is never written back would only
    // have been emptied).
    static constexpr unsigned mode_read = 0;
    static constexpr unsigned mode_writable = 1;
    static constexpr unsigned mode_create = 2;

    // An empty name is an internal error.  The name is made absolute.  A file
    // opened without mode_writable must exist, otherwise tk_exception "Bad
    // path or busy with another process".
    tk_file(const std::string& name, unsigned mode);
    virtual ~tk_file();
    tk_file(const tk_file&) = delete;
    tk_file& operator=(const tk_file&) = delete;

    // Copies length bytes at offset into destination.
    virtual void get_at(uint32_t offset, void* destination, uint32_t length) const = 0;
    // Little-endian loads at an offset.
    virtual uint8_t get_byte(uint32_t offset) const = 0;
    virtual uint16_t get_word(uint32_t offset) const = 0;
    virtual uint32_t get_dword(uint32_t offset) const = 0;
    // Copies length bytes from source to offset.
    virtual void put_at(uint32_t offset, const void* source, uint32_t length) = 0;
    virtual uint32_t size() const = 0;

    const std::string& file_name() const { return name_; }
    unsigned mode() const { return mode_; }
    bool writable() const { return (mode_ & (mode_writable | mode_create)) != 0; }

  protected:
    struct stream_closer {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    // Opens the stream with an fopen mode; false on failure.
    bool open_stream(const char* how);
    // Closes the stream if open; false when closing fails (data the stream
    // still buffered was not written).
    bool close_stream();
    std::FILE* stream() const { return stream_.get(); }

  private:
    std::unique_ptr<std::FILE, stream_closer> stream_;
    unsigned mode_;
    std::string name_;
};

// The whole file in a heap buffer.  Construction reads it (or, with
// mode_create, starts empty); a writable file is written back by flush() and
// on destruction.
class tk_memory_file : public tk_file {
  public:
    // Throws "Error opening file" when the file does not open and "Error
    // reading from file" when it cannot be read (or is 4 GiB or larger).
    tk_memory_file(const std::string& name, unsigned mode);
    // Writes a writable file back; a failure there is logged and the changes
    // are lost (call flush() first to see the error).
    ~tk_memory_file() override;

    // The address of length bytes at offset, valid until the next put_at or
    // set_size.  Out of range: tk_exception "Error reading from file".
    const unsigned char* get_at(uint32_t offset, uint32_t length) const;
    void get_at(uint32_t offset, void* destination, uint32_t length) const override;
    uint8_t get_byte(uint32_t offset) const override;
    uint16_t get_word(uint32_t offset) const override;
    uint32_t get_dword(uint32_t offset) const override;
    // Grows the file to offset + length first when that is beyond its size.
    // A file that would reach 4 GiB: tk_exception "Cannot write into file".
    void put_at(uint32_t offset, const void* source, uint32_t length) override;
    uint32_t size() const override { return size_; }

    // Growing fills the new bytes with zeros; shrinking only lowers the size.
    void set_size(uint32_t size);
    // Writes the whole buffer to the file, replacing its contents.  REQUIRES:
    // the file is writable (otherwise tk_mail_assertion).  Throws "Error
    // opening file" or "Cannot write into file".
    void flush();

  private:
    void initialize();

    std::vector<unsigned char> buffer_;  // at least size_ bytes
    uint32_t size_ = 0;
};
