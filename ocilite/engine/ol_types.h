// Oracle column types as a select-list describe reports them, and the way the engine turns a
// stored SQLite value of such a column into what the client asked for.
//
// A column_desc is computed from the catalog row of a table column (ocilite_columns), or from
// a declared type text (the dictionary tables and tables without catalog rows declare their
// columns with Oracle type names), or from the value of an expression.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ocilite {

// How a value of the column is stored and delivered.
enum class value_kind {
    text,           // VARCHAR2, CHAR, NVARCHAR2, NCHAR, ROWID: UTF-8 text
    number,         // NUMBER, FLOAT, INTEGER: INTEGER or exact decimal TEXT
    binary_float,   // BINARY_FLOAT: REAL
    binary_double,  // BINARY_DOUBLE: REAL
    date,           // DATE: 'YYYY-MM-DD HH24:MI:SS'
    timestamp,      // TIMESTAMP(n): 'YYYY-MM-DD HH24:MI:SS.fffffffff'
    timestamp_tz,   // TIMESTAMP(n) WITH TIME ZONE: the local time as above, a blank, the zone
    timestamp_ltz,  // TIMESTAMP(n) WITH LOCAL TIME ZONE: as TIMESTAMP, in the database zone
    interval_ym,    // INTERVAL YEAR(p) TO MONTH: '+02-03' (also read: '2-3')
    interval_ds,    // INTERVAL DAY(p) TO SECOND(s): '+03 04:05:06.123000' (also '3 4:5:6.123')
    display,        // XMLTYPE, object types: display text
    raw,            // RAW: BLOB bytes
    long_text,      // LONG
    long_raw,       // LONG RAW
    clob,           // CLOB, NCLOB
    blob,           // BLOB, BFILE
};

struct column_desc {
    std::string name;             // UTF-8, as the describe reports it
    std::uint16_t data_type = 1;  // SQLT code
    std::uint16_t data_size = 0;  // bytes
    std::int16_t precision = 0;
    std::int8_t scale = 0;
    std::uint8_t nullable = 1;
    std::uint8_t charset_form = 1;  // SQLCS_IMPLICIT or SQLCS_NCHAR
    std::uint8_t char_used = 0;     // 1 when the length was declared in characters
    std::uint16_t char_size = 0;    // declared length in characters for character types
    std::string type_name;          // object types: the type's name
    value_kind kind = value_kind::text;
    bool expression = false;  // no table column behind it: typed from its first value
};

// Describe of a column from its catalog row (USER_TAB_COLUMNS terms).
column_desc describe_catalog(std::string_view data_type, std::int64_t data_length,
                             std::optional<std::int64_t> data_precision,
                             std::optional<std::int64_t> data_scale, std::string_view char_used);

// Describe of a column from a declared Oracle type text such as "VARCHAR2(30)",
// "NUMBER(7,2)", "TIMESTAMP(6)", "INTERVAL DAY(2) TO SECOND(6)".  Returns nullopt when the
// text names no Oracle type.
std::optional<column_desc> describe_declared(std::string_view declared);

}  // namespace ocilite
