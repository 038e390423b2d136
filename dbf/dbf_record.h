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

class dbf_record : public udb_record {
public:
    // Decodes the record bytes (deletion flag first).  A field that cannot be
    // decoded raises dbf_exception.  memo may be null.
    dbf_record(std::string_view bytes, const dbf_table_layout& layout,
               const std::vector<std::u16string>& names, dbf_memo_file* memo, int code_page);

    bool deleted() const noexcept { return deleted_; }
    uint8_t code_page_mark() const noexcept { return code_page_mark_; }

    // The value of a memo field: empty without a memo file or block; else the
    // memo text (converted from the table's code page for text fields, the
    // raw bytes for binary ones).
    std::unique_ptr<udb_field> get_memo_field(const std::u16string& name,
                                              std::string_view field_bytes, bool is_text);

private:
    dbf_memo_file* memo_;
    int code_page_;
    uint8_t code_page_mark_ = 0;
    bool deleted_ = false;
};
