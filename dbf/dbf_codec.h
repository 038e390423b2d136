// The coding between the universal data model and DBF bytes: the type
// mapping of new fields (dbf_create_field), the descriptor of an existing
// field as a t_ftd, and the coding of one value into a field's bytes and
// back.
//
// Plain functions; the memo file a memo value goes to or comes from is given
// by the caller.  Texts are written in the process's ANSI code page and read
// in the code page of the table.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "dbf_format.h"
#include "ole_variant.h"
#include "udb_schema.h"

class dbf_memo_file;

// The descriptor of a new field for a column: type letter, width, decimals
// and (Visual FoxPro) flags by the column's VARTYPE, in the types of the
// format (name bytes left zero).
dbf_field_descriptor dbf_create_field(const t_ftd& ftd, dbf_format format = dbf_format::dbase3);

// The column an existing field describes (size, name in the table's code page
// (0: the ANSI code page), VARTYPE, date kind or decimal precision in
// reserved).
t_ftd dbf_ftd_from_descriptor(const dbf_field_descriptor7& fd, int code_page = 0);

// A field name's bytes as wide text in the table's code page; in the ANSI code
// page when that code page has no converter.
std::u16string dbf_decode_name(std::string_view bytes, int code_page);

// Outcome of coding one value.
enum class dbf_put_result {
    ok,
    // A number wider than its field even at the field's decimal count: the
    // field holds asterisks.
    number_too_wide,
};

// Codes value into the width bytes at destination by the field's type letter
// (see the table in dbf_recordset::append_record).  Memo values ('M', 'G')
// are appended to memo, which may be null only when the value is empty
// (otherwise dbf_no_memo_exception); a memo field of 4 bytes takes the block
// as a binary number (Visual FoxPro), a wider one as decimal digits.  A
// binary memo (dbf_is_binary_memo) receives a binary value's bytes.  Texts that do not read as the
// field's kind (a date text in a 'D' or 'T' field) are parsed first.
dbf_put_result dbf_put_value(unsigned char* destination, const dbf_field_descriptor7& fd,
                             uint32_t width, const ole_variant& value, dbf_memo_file* memo);

// The value's text exactly as ole_variant::to_string gives it, computed
// without the general conversion for plain ASCII texts (the same bytes in
// every ANSI code page), 32-bit integers and floating-point numbers.
std::string dbf_value_text(const ole_variant& value);

// Decodes the bytes of a non-memo field into a value, texts from code_page
// (0: the ANSI code page).  level7 reads 'I' and '+' as the big-endian,
// sign-flipped integers of Level 7 tables; '@' and 'O' are always read as
// their time stamps and sortable doubles.  'N' and 'F' are decimal texts
// (VT_DECIMAL with decimals, an integer or a double by the width otherwise);
// a blank one (no digit) is the empty value.
// A text in a code page that cannot be converted (620 Mazovia, 895
// Kamenicky) raises dbf_exception unless it is plain ASCII.
ole_variant dbf_get_variant(std::string_view bytes, const dbf_field_descriptor7& fd,
                            int code_page, bool level7);

// Wide text from bytes of a table's code page, with the rule above.
std::u16string dbf_decode_text(std::string_view bytes, int code_page);
