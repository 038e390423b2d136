// dbf_record and dbf_field: one record of an opened DBF table, decoded into
// the fields of the universal data model.
//
// The recordset builds a dbf_record from the record's bytes (get_item) and
// owns it; the record owns its fields.  The descriptors and the memo file
// belong to the recordset, which outlives the record.  Not thread-safe.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "dbf_exception.h"
#include "dbf_format.h"
#include "udb_field.h"
#include "udb_record.h"

class dbf_memo_file;

// A field decoded from its bytes.
class dbf_field : public udb_field {
public:
    // Decodes bytes by the descriptor (dbf_get_variant).  Logs
    // "dbf_field::ctor".
    dbf_field(std::u16string name, std::string_view bytes, const dbf_field_descriptor7& fd,
              int code_page, bool level7);
    // A field of an already decoded value (memo fields).
    dbf_field(std::u16string name, int32_t size, const ole_variant& value);
};

// Where the memo values of a table's records come from.
struct dbf_memo_access {
    dbf_memo_type type = dbf_memo_none;  // the table's memo format
    dbf_memo_file* file = nullptr;       // null when there is none to read
    // Why there is none although the format has one ("Memo file not found",
    // "Memo file is corrupted").
    std::string unreadable;
};

// Which record of which table is decoded, for the reports.
struct dbf_record_place {
    std::u16string table;
    uint32_t number = 0;  // counted from 1
};

class dbf_record : public udb_record {
public:
    // Decodes the record bytes (deletion flag first), one field per
    // descriptor (a field of width 0 reads as from no bytes).  A field that
    // cannot be decoded raises dbf_exception; a memo that cannot be read
    // reads as empty and is reported (reports()).  The memo file, if any,
    // belongs to the caller.
    dbf_record(std::string_view bytes, const dbf_table_layout& layout,
               const std::vector<std::u16string>& names, const dbf_memo_access& memo,
               int code_page, dbf_record_place place);

    bool deleted() const noexcept { return deleted_; }
    uint8_t code_page_mark() const noexcept { return code_page_mark_; }

    // The values this record lost while it was decoded: one level-0
    // dbf_exception per field read as empty, naming the table, the record
    // and the field, for the caller to report.
    const std::vector<dbf_exception>& reports() const noexcept { return reports_; }

    // The value of a memo field: empty without a memo file or block; else the
    // memo text (converted from the table's code page for text fields, the
    // raw bytes for binary ones).  A reference to a memo that cannot be read
    // (past the end of the memo file, a broken or missing memo file) gives
    // the empty value and a report.
    std::unique_ptr<udb_field> get_memo_field(const std::u16string& name,
                                              std::string_view field_bytes, bool is_text);

    // Whether the null flags of a Visual FoxPro record mark the field NULL.
    static bool is_null(std::string_view bytes, const dbf_table_layout& layout, size_t field);

private:
    void report_lost_memo(const std::u16string& name, const std::string& why);

    const dbf_memo_access& memo_;
    int code_page_;
    dbf_record_place place_;
    uint8_t code_page_mark_ = 0;
    bool deleted_ = false;
    std::vector<dbf_exception> reports_;
};
