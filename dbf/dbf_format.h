// The byte-level DBF table format: the table header, the field descriptors of
// the dBASE III/IV, FoxPro, Visual FoxPro, SMT and Level 7 variants, the
// code-page marks, the memo type a version byte selects, and the coding of
// single field values into record bytes.
//
// Plain values and functions over byte buffers and dbf_file; nothing here
// knows the universal data model.  The adapters (dbf_recordset, dbf_record,
// dbf_database) sit on top.  All multi-byte integers are little-endian.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class dbf_file;

inline constexpr size_t dbf_header_size = 32;
inline constexpr size_t dbf_header7_size = 68;
inline constexpr size_t dbf_fd_size = 32;
inline constexpr size_t dbf_fd7_size = 48;
inline constexpr unsigned char dbf_terminator = 0x0D;
// The widest 'F' field read as VT_DECIMAL (the digits a DECIMAL holds).
inline constexpr unsigned dbf_decimal_digits = 29;
// Julian day number of 1 January of year 1 (proleptic Gregorian).
inline constexpr int64_t dbf_julian_day_1 = 1721426;

// The first 32 bytes of every table file.
struct dbf_header {
    uint8_t version = 0x03;
    uint8_t year = 0;   // year of the last update minus 1900 (some writers: modulo 100)
    uint8_t month = 0;  // 1..12
    uint8_t day = 0;    // 1..31
    uint32_t record_count = 0;
    uint16_t header_length = 0;  // offset of the first record
    uint16_t record_length = 0;  // deletion flag + field widths
    uint8_t flags = 0;           // byte 28
    uint8_t codepage_mark = 0;   // byte 29
};
dbf_header dbf_parse_header(const unsigned char* bytes32);
// The year of the last update that a header's year byte gives.  dBASE and the
// readers count it from 1900 (126 is 2026); some writers store the year modulo
// 100 (26).  A byte below 80 names a year of this century, since no DBF table
// was written before 1980.
int dbf_header_year(uint8_t year_byte);
void dbf_store_header(const dbf_header& header, unsigned char* bytes32);

// A 32-byte field descriptor as stored, and the 48-byte Level 7 layout to
// which the reader normalises every descriptor (name 0..31, type at 32,
// width at 33, decimals at 34).
using dbf_field_descriptor = std::array<unsigned char, dbf_fd_size>;
using dbf_field_descriptor7 = std::array<unsigned char, dbf_fd7_size>;

dbf_field_descriptor7 dbf_normalise(const dbf_field_descriptor& fd);
inline char dbf_fd_type(const dbf_field_descriptor7& fd) { return char(fd[32]); }
inline uint8_t dbf_fd_decimals(const dbf_field_descriptor7& fd) { return fd[34]; }
// The Visual FoxPro field flags (byte 18 of a 32-byte descriptor); 0 for
// Level 7 descriptors, whose byte 35 is not read.
inline uint8_t dbf_fd_flags(const dbf_field_descriptor7& fd) { return fd[35]; }
// Whether a memo field holds bytes rather than text: 'G', 'P', a dBASE IV
// 'B' (a 10-byte block reference) and a Visual FoxPro 'M' with the binary
// flag ("Memo (binary)").
bool dbf_is_binary_memo(const dbf_field_descriptor7& fd);
// Visual FoxPro version bytes 0x30 to 0x32.
bool dbf_is_vfp(uint8_t version);
// The name bytes up to the first NUL (bytes after it are often garbage).
std::string dbf_fd_name(const dbf_field_descriptor7& fd);

// The width a reader gives a field: byte 16 (32-byte) or 33 (48-byte) for the
// types B D F I L N O T Y, 0 for M, a 16-bit width for every other type.
uint32_t dbf_get_size_1(const dbf_field_descriptor& fd);
uint32_t dbf_get_size_2(const dbf_field_descriptor7& fd);
// The bytes a field occupies in a record: the width above, except that a
// memo field holds its block reference (normally 10 bytes, 4 in Visual
// FoxPro).
uint32_t dbf_storage_width(const dbf_field_descriptor7& fd);
// The VARTYPE tag of a field's values.
uint16_t dbf_get_vartype_2(const dbf_field_descriptor7& fd);

// Version bytes 0x04 and 0x8C: the Level 7 layout (68-byte header, 48-byte
// descriptors).
bool dbf_is_level7(uint8_t version);

// Memo formats a table can have.  The numbers are those the table opener
// stores: 0 none, 1 dBASE III, 3 dBASE IV, 4 FoxPro (text block references),
// 8 Visual FoxPro (binary references), 12 Visual FoxPro database container
// (".dct"), 16 SMT.
enum dbf_memo_type : int {
    dbf_memo_none = 0,
    dbf_memo_old = 1,
    dbf_memo_dbt = 3,
    dbf_memo_fpt = 4,
    dbf_memo_vfp = 8,
    dbf_memo_dct = 12,
    dbf_memo_smt = 16,
};
dbf_memo_type dbf_get_memo_type(const dbf_header& header);
// "MEMO TYPE=..." trace text of a memo type.
const char* dbf_memo_type_text(dbf_memo_type type);
// The companion's extension without the dot ("dbt", "fpt", "dct", "smt");
// empty for none.
const char* dbf_memo_extension(dbf_memo_type type);

// Code-page marks (header byte 29).  A mark not in the table gives code page
// 0, the process's ANSI code page, and the name "".
int dbf_codepage_for_mark(uint8_t mark);
const char* dbf_codepage_name(uint8_t mark);
// The mark a new table gets for texts in a code page: the one mark of the
// table above that reads back as that code page, the Windows one where there
// are several (0x03 for 1252, 0xC9 for 1251, 0x7A for 936); 0 for a code page
// that no mark names (1257, 1258, 28591, ...).
uint8_t dbf_mark_for_codepage(int code_page);

// The layouts this system writes.
enum class dbf_format {
    // dBASE III tables (0x03, 0x83 with a ".dbt" memo file) with the FoxPro
    // field types 'B' and 'T'.
    dbase3,
    // Visual FoxPro tables (0x30): ".fpt" memo files, 'I', 'B', 'T', 'Y',
    // binary memos and null flags.
    vfp,
};
// "dbase3", "vfp".
const char* dbf_format_name(dbf_format format);
// The format of a name as dbf_format_name gives it (case ignored); false for
// any other text.
bool dbf_parse_format(std::string_view name, dbf_format& format);

// Descriptor byte 18 of Visual FoxPro tables (kept at byte 35 of the
// normalised descriptor).
inline constexpr uint8_t dbf_flag_system = 0x01;
inline constexpr uint8_t dbf_flag_nullable = 0x02;
inline constexpr uint8_t dbf_flag_binary = 0x04;
// The 263 bytes after the descriptor terminator of a Visual FoxPro table
// (the path of its database container, empty for a free table).
inline constexpr size_t dbf_vfp_backlink_size = 263;

// The layout of an opened table: its header and its descriptors with the
// offset and width of each field inside a record.
struct dbf_table_layout {
    dbf_header header;
    // Visual FoxPro: the bytes of the hidden "_NullFlags" field, which is not
    // among the fields below (width 0: the table has none).
    uint32_t null_flags_offset = 0;
    uint32_t null_flags_width = 0;
    // Per field: the bit of the null flags that marks its value NULL, -1 for
    // a field that cannot be NULL.  Bits are given, in field order, to every
    // nullable field and (after its null bit) to every variable-length
    // field ('V', 'Q').
    std::vector<int> null_bits;
    // Level 7 only: the language driver name at offset 32 ("DB866RU0").
    std::string language_driver;
    std::vector<dbf_field_descriptor7> fields;
    std::vector<uint32_t> offsets;  // from the start of the record (after the flag)
    std::vector<uint32_t> widths;   // bytes in the record
};
// The code page a Level 7 language driver name gives ("DB866RU0" -> 866,
// "DBWINUS0" -> 1252); 0 when the name gives none.
int dbf_codepage_for_language_driver(std::string_view name);

// Checks the header of an open table file and reads its descriptors.  Raises
// dbf_exception "File does not comply with DBF format" for a file too small,
// an impossible header, a file shorter than its records, a field that does
// not fit into the record (logged with its name) and a table without fields.
// A character field whose 16-bit width does not fit while byte 16 alone does
// takes byte 16 (its descriptor's byte 34 is cleared).  Never reads outside
// the file or the header area.
dbf_table_layout dbf_read_layout(dbf_file& file);

// Writer.  A descriptor of the given type, width and decimals, name bytes
// zero.  The name is cut to 10 bytes.
dbf_field_descriptor dbf_make_descriptor(std::string_view ansi_name, char type, uint8_t width,
                                         uint8_t decimals);
// The width a new table gives a descriptor in its records: byte 16; 10 for
// the memo types 'M', 'G' and 'P' when it is 0.
uint32_t dbf_writer_width(const dbf_field_descriptor& fd);
// How a new table is laid out.
struct dbf_table_options {
    dbf_format format = dbf_format::dbase3;
    uint8_t codepage_mark = 0;
};
// Header, descriptors (with their displacements filled in) and terminator of
// a new empty table, dated year/month/day.  In the Visual FoxPro format every
// field is nullable and a "_NullFlags" field of one bit per field follows
// them: readers that number the flags by field and those that number them by
// nullable field then read the same bits.  Its 263-byte backlink area follows
// the terminator.
std::string dbf_build_table_image(std::vector<dbf_field_descriptor> fields, int year, int month,
                                  int day, const dbf_table_options& options = {});

// Julian day numbers of the proleptic Gregorian calendar (1 January 2000 is
// 2451545).
int64_t dbf_julian_day(int year, int month, int day);
void dbf_civil_from_julian(int64_t julian_day, int& year, int& month, int& day);

// Field coders: each fills exactly width bytes at destination.
//   Character: text padded on the right with spaces and cut to the width.
void dbf_put_character(unsigned char* destination, size_t width, std::string_view text);
//   Numeric: text right-aligned.  A text wider than the field is not cut (that
//   would store a different number): the field is filled with '*' and false
//   is returned.
bool dbf_put_numeric(unsigned char* destination, size_t width, std::string_view text);
//   Other right-aligned texts: padded on the left and cut by keeping the
//   first characters.
void dbf_put_left_padded(unsigned char* destination, size_t width, std::string_view text);
//   Date: "yyyy-mm-dd..." loses its dashes when it has exactly three parts,
//   then as dbf_put_left_padded (so "2004-01-15 10:30:00" gives 20040115).
void dbf_put_date_text(unsigned char* destination, size_t width, std::string_view text);
//   Binary forms of 'B', 'I', 'T' (day number, milliseconds), little-endian.
void dbf_put_double(unsigned char* destination, double value);
void dbf_put_int32(unsigned char* destination, int32_t value);
void dbf_put_datetime(unsigned char* destination, int64_t julian_day, uint32_t milliseconds);
//   Level 7 'O' doubles, in the form that sorts as bytes: big-endian, the
//   sign bit flipped for positive numbers, every bit inverted for negative
//   ones (-199.99 is 3F 97 00 51 EB 85 1E B7).
void dbf_put_sortable_double(unsigned char* destination, double value);
double dbf_get_sortable_double(const unsigned char* source);
