// The type vocabulary between Oracle and the universal data model: the
// Oracle column types the table reader accepts, the refinement of a NUMBER's
// precision and scale into a VT code, and, for the Oracle writer, the Oracle
// type of a field descriptor and the SQL literal of a value or a default.
//
// Free functions without state, apart from the set of native type names,
// built on first use (thread-safe) and kept until the process ends.
#pragma once

#include <cstdint>
#include <set>
#include <string>

#include "ole_types.h"

class t_ftd;
class udb_field;

// The 23 Oracle DATA_TYPE names the table reader reads, compared exactly:
// VARCHAR, VARCHAR2, NVARCHAR2, NUMBER, FLOAT, LONG, DATE, BINARY_FLOAT,
// BINARY_DOUBLE, TIMESTAMP, TIMESTAMP(3), TIMESTAMP(6), RAW, LONG RAW, ROWID,
// UROWID, CHAR, BYTE, NCHAR, CLOB, NCLOB, BLOB, BFILE.
const std::set<std::u16string>& get_native_types();

// The VT code for a NUMBER of that precision and scale: precision 0 or above
// 38 VT_R8; a scale VT_DECIMAL (a precision equal to the scale is raised by
// one); scale 0 by precision VT_I1 (< 3), VT_I2 (< 5), VT_I4 (< 10), VT_I8
// (up to 20) or VT_R8.  Logs "get_refined_num_type(prec=%d,scale=%d)".
VARTYPE get_refined_num_type(uint32_t& precision, uint32_t& scale);

// The Oracle type text for a column to be created from the descriptor
// ("NUMBER(11,0)", "NVARCHAR2(40) ", "CLOB", "RAW(16)", ...); with b_no_size
// the bare type name where a sized form exists.  Raises tk_mail_assertion
// for VT codes without an Oracle type.
std::u16string get_ora_native_type(const t_ftd& ftd, bool b_no_size);

// The SQL literal for a value given as text with its VT code: '' for an
// empty text; to_date(...) for dates ('' ... an empty text when the text is
// no date); the hexadecimal digits in quotes for binaries given as 0x...
// (or decimal digits), else ''; quoted text with doubled quotes for VT_BSTR;
// the bare text with doubled quotes for numbers.
std::u16string to_oracle_str(const std::u16string& text, VARTYPE vartype);
// The SQL literal for a field's current value: HEXTORAW('...') for a text or
// binary field holding a GUID literal, else to_oracle_str(text, VT code).
// REQUIRES: field not null (otherwise tk_mail_assertion).
std::u16string to_oracle_str(const udb_field* field);

// The SQL literal for the descriptor's default value, or an empty text when
// the column is to have no default.  REQUIRES: ftd not null.
std::u16string make_ora_def_val(const t_ftd* ftd);

// Finds a GUID literal ("... guid {00112233-4455-6677-8899-AABBCCDDEEFF} ...")
// in a text and gives its 32 hexadecimal digits in text order.
class ole_guid_extractor {
  public:
    // Logs "ole_guid_extractor::ctor(%s)".
    explicit ole_guid_extractor(const std::u16string& text);
    explicit ole_guid_extractor(const std::string& text);

    bool is_guid() const noexcept { return is_guid_; }
    // The digits found (32 for a well-formed GUID).
    const std::u16string& digits() const noexcept { return digits_; }

  private:
    void extract(const std::u16string& text);

    bool is_guid_ = false;
    std::u16string digits_;
};
