// Memo companion files: the texts of memo fields, kept in blocks of a file
// beside the table.
//
// old_memo_file (dBASE III) and fpt_memo_file (FoxPro, Visual FoxPro) are
// the layouts that this system writes and reads; dbt_memo_file (dBASE IV)
// and smt_memo_file (SMT) are read only.  Each object owns its open file.  Every
// read is checked against the file size first, so a hostile block number or
// length yields dbf_exception "Failed to read MEMO field", never a read
// outside the file or an allocation larger than the file.  One thread at a
// time.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "dbf_file.h"
#include "dbf_format.h"

class dbf_memo_file {
public:
    virtual ~dbf_memo_file();
    dbf_memo_file(const dbf_memo_file&) = delete;
    dbf_memo_file& operator=(const dbf_memo_file&) = delete;

    // The block a memo field's bytes refer to; 0 for none.  The base reads the
    // field as a decimal number ("Invalid MEMO block!" and 0 when it is not).
    virtual uint32_t get_block_number(std::string_view field_bytes);
    // The memo text (raw bytes, in the table's code page) at a block.
    // Failure: dbf_exception "Failed to read MEMO field" for a block past the
    // end of the file, a length that runs past it or a failed read.
    virtual std::string read_memo(uint32_t block) = 0;
    // Writes a memo at a block; only the dBASE III file writes.
    virtual void write_memo(uint32_t block, std::string_view text);
    // Appends a memo at the next free block and returns its block number;
    // binary marks bytes that are no text (FoxPro files keep the kind in the
    // block).  Memos may be collected in memory until flush().  The base
    // raises dbf_exception "Memo fields of this table format cannot be
    // written".  REQUIRES: text not empty.
    virtual uint32_t append_memo(std::string_view text, bool binary);
    // Writes what append_memo collected; the base has nothing to write.
    virtual void flush();

    dbf_file& file() { return *file_; }

protected:
    explicit dbf_memo_file(std::unique_ptr<dbf_file> file);
    std::unique_ptr<dbf_file> file_;
};

// dBASE III memo file: a 512-byte header block whose first 4 bytes hold the
// next free block and byte 16 the version 0x03; each memo starts at the first
// byte of its block and ends with 0x1A 0x1A.
class old_memo_file : public dbf_memo_file {
public:
    static constexpr uint32_t block_size = 512;

    // Opens an existing file (read-only or for appending).  A next free block
    // of 0 raises dbf_exception "Failed to read MEMO field".
    old_memo_file(const std::string& path, bool writable);
    // Creates an empty memo file: next free block 1, version byte 0x03, 17 bytes.
    static std::unique_ptr<old_memo_file> create(const std::string& path);

    std::string read_memo(uint32_t block) override;
    // An empty text writes nothing.  Otherwise the text and 0x1A 0x1A go to
    // block * 512 (in one write) and the next free block becomes
    // block + ceil((size + 2) / 512).
    void write_memo(uint32_t block, std::string_view text) override;

    // Writes what append_memo collected, then the next free block number.
    ~old_memo_file() override;

    // The next free block number, counting collected memos.
    uint32_t next_block() const { return next_block_; }
    // Appends a memo at the next free block and returns its block number.
    // The memo is collected in memory with the memos appended after it and
    // written by flush() (or when enough are collected, before any read, and
    // on destruction): the bytes on disk are those write_memo would give.
    // binary is not kept (the layout has no place for it).
    // REQUIRES: text not empty.
    uint32_t append_memo(std::string_view text, bool binary = false) override;
    // Writes the collected memos in one call, then the next free block number
    // at offset 0, so that the header never points past memos not on disk.
    void flush() override;

    static constexpr size_t batch_bytes = 1024 * 1024;

private:
    struct create_tag {};
    old_memo_file(std::unique_ptr<dbf_file> file, create_tag);
    uint32_t next_block_ = 1;
    std::string pending_;      // memos (and the zero gaps between them) not yet written
    uint64_t pending_at_ = 0;  // file offset of pending_
    bool header_dirty_ = false;
};

// dBASE IV memo file: block size at bytes 20..23; a memo block starts with
// four marker bytes and a 32-bit length that counts the 8 header bytes.
class dbt_memo_file : public dbf_memo_file {
public:
    explicit dbt_memo_file(const std::string& path);
    std::string read_memo(uint32_t block) override;
    uint32_t block_size() const { return block_size_; }

private:
    uint32_t block_size_ = 0;
};

// FoxPro memo file: big-endian next free block (0..3) and block size (6..7);
// a memo block starts with a 4-byte type and a big-endian length, which the
// memo's bytes fill (zero bytes included).
class fpt_memo_file : public dbf_memo_file {
public:
    // Block size of the files this system creates (Visual FoxPro's own).
    static constexpr uint32_t default_block_size = 64;
    static constexpr uint32_t header_size = 512;
    // Block types: a picture or other bytes, a text.
    static constexpr uint32_t block_binary = 0;
    static constexpr uint32_t block_text = 1;

    // Opens an existing file, read-only or for appending.  A file shorter
    // than its header fields or of block size 0 raises dbf_exception "Memo
    // file is corrupted"; one opened for appending must hold its whole
    // 512-byte header and a next free block past it (the same exception).
    fpt_memo_file(const std::string& path, dbf_memo_type memo_type, bool writable = false);
    // Creates an empty memo file: the 512-byte header with the next free
    // block 512 / 64 = 8 and the block size 64, both big-endian.
    static std::unique_ptr<fpt_memo_file> create(const std::string& path);
    // Writes what append_memo collected, then the next free block number.
    ~fpt_memo_file() override;

    // Visual FoxPro tables keep the block number as a 4-byte binary integer;
    // FoxPro 2 tables as a decimal text.
    uint32_t get_block_number(std::string_view field_bytes) override;
    std::string read_memo(uint32_t block) override;
    // Appends a block of type binary or text: the type and the length
    // big-endian, the bytes, zeros to the end of the block.  Collected like
    // old_memo_file's memos.  REQUIRES: the file is writable, text not empty.
    uint32_t append_memo(std::string_view text, bool binary) override;
    void flush() override;

    uint32_t block_size() const { return block_size_; }
    uint32_t next_block() const { return next_block_; }

    static constexpr size_t batch_bytes = 1024 * 1024;

    // Whether a reader that takes memo references for decimal digits reads
    // a number from the four bytes of this block number (append_memo does
    // not use such blocks).
    static bool reads_as_decimal_reference(uint32_t block);

private:
    struct create_tag {};
    fpt_memo_file(std::unique_ptr<dbf_file> file, create_tag);
    dbf_memo_type memo_type_;
    uint32_t block_size_ = 0;
    uint32_t next_block_ = 0;
    std::string pending_;
    uint64_t pending_at_ = 0;
    bool header_dirty_ = false;
};

// SMT memo file: a 512-byte header with the block size at bytes 4..7; a memo
// is the text up to the first NUL; the field holds the block at bytes 6..9.
class smt_memo_file : public dbf_memo_file {
public:
    explicit smt_memo_file(const std::string& path);
    uint32_t get_block_number(std::string_view field_bytes) override;
    std::string read_memo(uint32_t block) override;

private:
    uint32_t block_size_ = 0;
};

// The block a memo field's bytes refer to in a memo file of the given type
// (as that file's get_block_number gives it); 0 for none.
uint32_t dbf_memo_block(dbf_memo_type type, std::string_view field_bytes);
// The block of a field holding it as decimal digits ("Invalid MEMO block!"
// and 0 when it holds none).
uint32_t dbf_text_block_number(std::string_view field_bytes);

// The memo file serving a table of the given memo type, opened on the given
// companion path; nullptr for dbf_memo_none.  A missing companion raises
// dbf_no_memo_exception.
std::unique_ptr<dbf_memo_file> dbf_open_memo_file(dbf_memo_type type, const std::string& path,
                                                  bool writable);
