// dbf_recordset: one open DBF table as a recordset of the universal data
// model, for reading its records and appending new ones.
//
// Appending assembles each record in memory and collects records in a batch
// that is written with one call; the header's record count is rewritten
// after each batch is on disk, so it never counts a record that is not
// completely written.  The records end in the end-of-file byte 0x1A, which
// readers that walk records up to the end of the file stop at: a batch is
// written behind the old end byte first and only then joined to the table,
// so such readers never meet a part of a batch either (see flush()).  The batch is written when it is full, before any read
// of the table, by flush() and on destruction (where a failure can only be
// logged: call flush() to see it).  Memo texts are collected the same way
// and written before the records that refer to them.
//
// Owns its files, its schema and the current record.  Not thread-safe.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dbf_format.h"
#include "dbf_record.h"
#include "udb_recordset.h"

class dbf_file;
class dbf_memo_file;
class old_memo_file;

class dbf_recordset : public udb_recordset {
public:
    // Open modes: 1 read only, 8 read and append.  Any other mode opens the
    // file for writing but reads no header or schema.
    static constexpr int mode_read = 1;
    static constexpr int mode_append = 8;

    // Opens the table file at path (UTF-8 on POSIX).  codepage_mark: a
    // caller's code-page mark that replaces the file's own when not 0.
    // Failures: tk_exception when the file does not open, dbf_exception
    // "File does not comply with DBF format" for a broken header.  A missing
    // or unreadable memo file is logged and the table is read without memos
    // (each lost memo reported with its record); an unreadable one is not
    // written into.  Field names are read in the table's code page.
    dbf_recordset(const std::string& path, std::u16string name, int open_mode,
                  uint8_t codepage_mark);
    ~dbf_recordset() override;

    // Codes the record's fields (in schema order) into one record and adds it
    // to the batch.  A number wider than its field is written as asterisks;
    // the rest of the record is written, the record counts, and then a
    // dbf_exception (level 0) names the table, the record and the field.
    void append_record(const udb_record& record) override;
    // The current record, owned by the recordset; nullptr at the end.  A memo
    // that cannot be read reads as empty: the record's reports() name it, and
    // they are logged at level 3.  Failures: dbf_exception for a text in a
    // code page without converter.
    udb_record* get_item() override;
    bool is_eof() override;
    void next() override;
    void prev() override;
    void move_first() override;

    // Writes the collected records and the new record count.  Failures:
    // tk_exception for a write that cannot be completed; the file then holds
    // exactly the records its header counts.
    void flush();

    const std::string& path() const { return path_; }
    const dbf_table_layout& layout() const { return layout_; }
    // Records in the table, the collected ones included.
    uint32_t record_count() const { return layout_.header.record_count + pending_count_; }
    dbf_memo_type memo_type() const { return memo_type_; }
    bool has_memo_file() const { return memo_ != nullptr; }
    // The code page texts are read in (0: the ANSI code page).
    int get_codepage() const;

    // Records collected before a batch is written.
    static constexpr size_t batch_bytes = 256 * 1024;

private:
    void init_memo_file();
    void init_indexes();
    std::string companion_path(const char* extension) const;
    dbf_memo_file* memo_writer();
    // dBASE III and Visual FoxPro memo files are appended to.
    bool is_writable_memo_type() const;

    std::string path_;
    int open_mode_;
    uint8_t user_codepage_mark_;
    std::unique_ptr<dbf_file> file_;
    dbf_table_layout layout_;
    std::vector<std::u16string> names_;
    dbf_memo_type memo_type_ = dbf_memo_none;
    std::unique_ptr<dbf_memo_file> memo_;
    // Why the memo file cannot be read (empty when it can or none is due),
    // and whether it exists but is broken.
    std::string memo_unreadable_;
    bool memo_broken_ = false;
    dbf_memo_access memo_access_;
    bool header_read_ = false;
    uint32_t cursor_ = 0;
    std::unique_ptr<dbf_record> current_;

    // Whole records not yet written: pending_size_ bytes of a buffer of
    // pending_room_, allocated at the first append and not zero-filled (every
    // byte of a record is coded before it counts).
    std::unique_ptr<unsigned char[]> pending_;
    size_t pending_size_ = 0;
    size_t pending_room_ = 0;
    uint32_t pending_count_ = 0;
    // True once the byte after the counted records is known to be 0x1A.
    bool end_marked_ = false;
};
