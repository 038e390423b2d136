#include "dbf_format.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "dbf_exception.h"
#include "dbf_file.h"
#include "tk_logger.h"

namespace {

// VARTYPE numbers of the values a DBF field yields.
constexpr uint16_t vt_i1 = 16, vt_i2 = 2, vt_i4 = 3, vt_i8 = 20, vt_r8 = 5,
                   vt_cy = 6, vt_date = 7, vt_bstr = 8, vt_bool = 11, vt_decimal = 14,
                   vt_blob = 65;

bool is_fixed_width_type(char type) {
    switch (type) {
        case 'B': case 'D': case 'F': case 'I': case 'L': case 'N': case 'O': case 'T': case 'Y':
            return true;
        default:
            return false;
    }
}

[[noreturn]] void reject(const std::string& why) {
    tk_log(3, "%s", why);
    throw dbf_exception("File does not comply with DBF format");
}

// Types whose width is the 16-bit value of bytes 33 and 34 (character
// fields and the types the reader does not know).
bool has_wide_width(const dbf_field_descriptor7& fd) {
    const char type = dbf_fd_type(fd);
    return !is_fixed_width_type(type) && type != 'M';
}

struct codepage_entry {
    uint8_t mark;
    int code_page;
    const char* name;
};
constexpr codepage_entry codepages[] = {
    {0x00, 0, "Default"},
    {0x01, 437, "U.S. MS-DOS"},
    {0x02, 850, "International MS-DOS"},
    {0x03, 1252, "Windows ANSI"},
    {0x04, 10000, "Standard Macintosh"},
    {0x26, 866, "866 DOS Russian"},
    {0x4D, 936, "Chinese GBK (PRC)"},
    {0x4E, 949, "Korean (ANSI/OEM)"},
    {0x4F, 950, "Chinese Big 5 (Taiwan)"},
    {0x50, 874, "Thai (ANSI/OEM)"},
    // GIS programs write 0x57 for "ANSI" with Western texts, and the
    // readers of their tables read it as 1252.
    {0x57, 1252, "ANSI"},
    {0x64, 852, "Eastern European MS-DOS"},
    {0x65, 866, "Russian MS-DOS"},
    {0x66, 865, "Nordic MS-DOS"},
    {0x67, 861, "Icelandic MS-DOS"},
    {0x68, 895, "Kamenicky (Czech) MS-DOS"},
    {0x69, 620, "Mazovia (Polish) MS-DOS"},
    {0x6A, 737, "Greek MS-DOS (437G)"},
    {0x6B, 857, "Turkish MS-DOS"},
    {0x78, 950, "Traditional Chinese (Hong Kong SAR, Taiwan) Windows"},
    {0x79, 949, "Korean Windows"},
    {0x7A, 936, "Chinese Simplified (PRC, Singapore) Windows"},
    {0x7B, 932, "Japanese Windows"},
    {0x7C, 874, "Thai Windows"},
    {0x7D, 1255, "Hebrew Windows"},
    {0x7E, 1256, "Arabic Windows"},
    {0x96, 10007, "Russian Macintosh"},
    {0x97, 10029, "Eastern European Macintosh"},
    {0x98, 10006, "Greek Macintosh"},
    {0xC8, 1250, "Eastern European Windows"},
    {0xC9, 1251, "Russian Windows"},
    {0xCA, 1254, "Turkish Windows"},
    {0xCB, 1253, "Greek Windows"},
};

const codepage_entry* find_codepage(uint8_t mark) {
    for (const auto& e : codepages)
        if (e.mark == mark) return &e;
    return nullptr;
}

}  // namespace

int dbf_header_year(uint8_t year_byte) {
    return year_byte < 80 ? 2000 + year_byte : 1900 + year_byte;
}

dbf_header dbf_parse_header(const unsigned char* b) {
    dbf_header h;
    h.version = b[0];
    h.year = b[1];
    h.month = b[2];
    h.day = b[3];
    h.record_count = dbf_le32(b + 4);
    h.header_length = dbf_le16(b + 8);
    h.record_length = dbf_le16(b + 10);
    h.flags = b[28];
    h.codepage_mark = b[29];
    return h;
}

void dbf_store_header(const dbf_header& h, unsigned char* b) {
    std::memset(b, 0, dbf_header_size);
    b[0] = h.version;
    b[1] = h.year;
    b[2] = h.month;
    b[3] = h.day;
    dbf_put_le32(b + 4, h.record_count);
    dbf_put_le16(b + 8, h.header_length);
    dbf_put_le16(b + 10, h.record_length);
    b[28] = h.flags;
    b[29] = h.codepage_mark;
}

dbf_field_descriptor7 dbf_normalise(const dbf_field_descriptor& fd) {
    dbf_field_descriptor7 out{};
    std::memcpy(out.data(), fd.data(), 11);
    out[32] = fd[11];
    out[33] = fd[16];
    out[34] = fd[17];
    out[35] = fd[18];
    return out;
}

bool dbf_is_vfp(uint8_t version) { return version >= 0x30 && version <= 0x32; }

bool dbf_is_binary_memo(const dbf_field_descriptor7& fd) {
    switch (dbf_fd_type(fd)) {
        case 'G': case 'P': return true;
        case 'B': return fd[33] == 10;
        case 'M': return (dbf_fd_flags(fd) & dbf_flag_binary) != 0;
        default: return false;
    }
}

std::string dbf_fd_name(const dbf_field_descriptor7& fd) {
    const auto* p = reinterpret_cast<const char*>(fd.data());
    return std::string(p, strnlen(p, 32));
}

uint32_t dbf_get_size_1(const dbf_field_descriptor& fd) {
    tk_log(1, "dbf_get_size_1(fd.field_type=%d)", int(fd[11]));
    char type = char(fd[11]);
    if (type == 'N') tk_log(1, "GOT NUMERIC (%d,%d)", int(fd[16]), int(fd[17]));
    if (is_fixed_width_type(type)) return fd[16];
    if (type == 'M') return 0;
    uint32_t size = dbf_le16(fd.data() + 16);
    tk_log(1, "Processing as STRING (size=%d)", int(size));
    return size;
}

uint32_t dbf_get_size_2(const dbf_field_descriptor7& fd) {
    tk_log(1, "dbf_get_size_2(fd.field_type=%d)", int(fd[32]));
    char type = dbf_fd_type(fd);
    if (type == 'N') tk_log(1, "GOT NUMERIC (%d,%d)", int(fd[33]), int(fd[34]));
    if (is_fixed_width_type(type)) return fd[33];
    if (type == 'M') return 0;
    uint32_t wide = dbf_le16(fd.data() + 33);
    tk_log(1, "Processing as STRING (size1=%d, size2=%d)", int(wide), int(fd[33]));
    return wide != 0 ? wide : fd[33];
}

uint32_t dbf_storage_width(const dbf_field_descriptor7& fd) {
    if (dbf_fd_type(fd) == 'M') return fd[33];
    return dbf_get_size_2(fd);
}

uint16_t dbf_get_vartype_2(const dbf_field_descriptor7& fd) {
    char type = dbf_fd_type(fd);
    tk_log(1, "dbf_get_vartype_2(%c)", type);
    switch (type) {
        // dBASE IV and Level 7 tables use 'B' for a binary memo (a 10-byte
        // block reference); FoxPro, and this system, for an 8-byte double.
        case 'B': return fd[33] == 10 ? vt_blob : vt_r8;
        case 'D': case 'T': return vt_date;
        // Decimal text like 'N', read exactly: a DECIMAL holds up to 29
        // digits, wider fields fall back to doubles.
        case 'F': return fd[33] <= dbf_decimal_digits ? vt_decimal : vt_r8;
        // Level 7 doubles.
        case 'O': return vt_r8;
        case 'G': case 'P':
            tk_log(1, "Got BINARY data type");
            return vt_blob;
        case 'M': return dbf_is_binary_memo(fd) ? vt_blob : vt_bstr;
        case 'I': case '+': return vt_i4;
        case '@': return vt_date;
        case 'L': return vt_bool;
        case 'Y': return vt_cy;
        case 'N': {
            if (dbf_fd_decimals(fd) != 0) return vt_decimal;
            uint8_t width = fd[33];
            if (width < 3) return vt_i1;
            if (width <= 4) return vt_i2;
            if (width <= 9) return vt_i4;
            // Twenty characters hold every 64-bit integer with its sign.
            if (width <= 20) return vt_i8;
            return vt_r8;
        }
        default: return vt_bstr;
    }
}

bool dbf_is_level7(uint8_t version) { return version == 0x04 || version == 0x8C; }

dbf_memo_type dbf_get_memo_type(const dbf_header& header) {
    switch (header.version) {
        case 0x30: case 0x31: case 0x32:
            if (!(header.flags & 0x02)) return dbf_memo_none;
            return (header.flags & 0x04) ? dbf_memo_dct : dbf_memo_vfp;
        case 0x7B: case 0x8B: case 0x8C: case 0xCB: case 0xEB: return dbf_memo_dbt;
        case 0x83: return dbf_memo_old;
        case 0xE5: return dbf_memo_smt;
        case 0xF5: return dbf_memo_fpt;
        default: return dbf_memo_none;
    }
}

const char* dbf_memo_type_text(dbf_memo_type type) {
    switch (type) {
        case dbf_memo_vfp: case dbf_memo_dct: return "MEMO TYPE=Visual FoxPro 3.0";
        case dbf_memo_dbt: return "MEMO TYPE=DBASE IV";
        case dbf_memo_old: return "MEMO TYPE=OLD (FoxBASE/dBASE III)";
        case dbf_memo_smt: return "MEMO TYPE=SMT";
        case dbf_memo_fpt: return "MEMO TYPE=FPT";
        default: return "MEMO TYPE=NO MEMO";
    }
}

const char* dbf_memo_extension(dbf_memo_type type) {
    switch (type) {
        case dbf_memo_old: case dbf_memo_dbt: return "dbt";
        case dbf_memo_fpt: case dbf_memo_vfp: return "fpt";
        case dbf_memo_dct: return "dct";
        case dbf_memo_smt: return "smt";
        default: return "";
    }
}

int dbf_codepage_for_mark(uint8_t mark) {
    const codepage_entry* e = find_codepage(mark);
    return e ? e->code_page : 0;
}

const char* dbf_codepage_name(uint8_t mark) {
    const codepage_entry* e = find_codepage(mark);
    return e ? e->name : "";
}

uint8_t dbf_mark_for_codepage(int code_page) {
    // The Windows mark of a code page with several; the others have one.
    switch (code_page) {
        case 1252: return 0x03;
        case 1251: return 0xC9;
        case 866: return 0x65;
        case 936: return 0x7A;
        case 949: return 0x79;
        case 950: return 0x78;
        case 874: return 0x7C;
        default: break;
    }
    if (code_page == 0) return 0;
    for (const auto& e : codepages)
        if (e.code_page == code_page) return e.mark;
    return 0;
}

const char* dbf_format_name(dbf_format format) {
    return format == dbf_format::vfp ? "vfp" : "dbase3";
}

bool dbf_parse_format(std::string_view name, dbf_format& format) {
    auto same = [name](std::string_view known) {
        if (name.size() != known.size()) return false;
        for (size_t i = 0; i < name.size(); ++i) {
            const char c = name[i] >= 'A' && name[i] <= 'Z' ? char(name[i] - 'A' + 'a') : name[i];
            if (c != known[i]) return false;
        }
        return true;
    };
    if (same("dbase3")) {
        format = dbf_format::dbase3;
        return true;
    }
    if (same("vfp")) {
        format = dbf_format::vfp;
        return true;
    }
    return false;
}

int dbf_codepage_for_language_driver(std::string_view name) {
    if (name.size() < 3 || name.substr(0, 2) != "DB") return 0;
    if (name.substr(2, 3) == "WIN") return 1252;
    int code_page = 0;
    for (size_t i = 2; i < name.size() && i < 7 && name[i] >= '0' && name[i] <= '9'; ++i)
        code_page = code_page * 10 + (name[i] - '0');
    return code_page;
}

dbf_table_layout dbf_read_layout(dbf_file& file) {
    dbf_table_layout layout;
    const uint64_t file_size = file.size();
    if (file_size < dbf_header_size) reject("File is too small");
    unsigned char head[dbf_header_size];
    file.get_at(0, head, sizeof head);
    dbf_header& h = layout.header;
    h = dbf_parse_header(head);
    const bool level7 = dbf_is_level7(h.version);
    // A header length that cannot hold the header itself and a terminator is
    // as impossible as a record without fields.
    const size_t min_header = (level7 ? dbf_header7_size : dbf_header_size) + 1;
    if (h.record_length < 2 || (h.record_count & 0x80000000u) || h.header_length < min_header)
        reject("Invalid DBF header");
    if (file_size < uint64_t(h.header_length) + uint64_t(h.record_length) * h.record_count)
        reject("Invalid file size");

    tk_log(2, "dbf_recordset::init_schema");
    tk_log(1, "rec_size=%d", int(h.record_length));
    // The whole header area lies inside the file (checked above): read it once.
    std::string area(h.header_length, '\0');
    file.get_at(0, area.data(), area.size());
    const auto* bytes = reinterpret_cast<const unsigned char*>(area.data());
    size_t start, step;
    if (level7) {
        tk_log(1, "Processing dBASE Level 7 format");
        const char* name = reinterpret_cast<const char*>(bytes) + dbf_header_size;
        layout.language_driver.assign(name, strnlen(name, dbf_header7_size - dbf_header_size));
        start = dbf_header7_size;
        step = dbf_fd7_size;
    } else {
        tk_log(1, "Default processing");
        start = dbf_header_size;
        step = dbf_fd_size;
    }
    tk_log(1, "DATA OFFSET=%d, sizeof(dbf_header)=%d, sizeof(dbf_field_descriptor)=%d",
           int(h.header_length), 32, int(step));
    const size_t count = (h.header_length - dbf_header_size) / step;
    if (level7) tk_log(1, "Table has %d fields", int(count));
    uint32_t offset = 0;
    const uint32_t room = h.record_length - 1u;
    for (size_t i = 0; i < count; ++i) {
        const size_t pos = start + i * step;
        if (pos >= area.size() || bytes[pos] == dbf_terminator) break;
        if (pos + step > area.size()) break;  // a descriptor cut by the header end
        dbf_field_descriptor7 fd7;
        if (level7) {
            tk_log(1, "Reading FD7 at %d", int(pos));
            std::memcpy(fd7.data(), bytes + pos, dbf_fd7_size);
            fd7[35] = 0;  // reserved in Level 7: no field flags
        } else {
            dbf_field_descriptor fd;
            std::memcpy(fd.data(), bytes + pos, dbf_fd_size);
            fd7 = dbf_normalise(fd);
            // Byte 18 holds field flags in Visual FoxPro tables only.
            if (!dbf_is_vfp(h.version)) fd7[35] = 0;
        }
        uint32_t width = dbf_storage_width(fd7);
        if (width > room - offset && has_wide_width(fd7) && fd7[33] <= room - offset) {
            // A spreadsheet program keeps the decimal count of its character
            // fields in byte 17 (34 here), which is otherwise the high byte of
            // their width: when the 16-bit width cannot be meant, byte 16 is.
            tk_log(1, "Field #%d: width %d does not fit, taking %d", int(i + 1), int(width),
                   int(fd7[33]));
            fd7[34] = 0;
            width = dbf_storage_width(fd7);
        }
        // A field reaching past the record length cannot be read: the
        // descriptors and the record length contradict each other.
        if (width > room - offset) {
            reject("Field #" + std::to_string(i + 1) + " (" + dbf_fd_name(fd7) + ") of " +
                   std::to_string(width) + " bytes does not fit into the record of " +
                   std::to_string(h.record_length) + " bytes");
        }
        if (dbf_is_vfp(h.version) && dbf_fd_type(fd7) == '0' &&
            (dbf_fd_flags(fd7) & dbf_flag_system) != 0 && layout.null_flags_width == 0) {
            // The null flags are no value of the table's own: kept aside.
            layout.null_flags_offset = offset;
            layout.null_flags_width = width;
        } else {
            layout.fields.push_back(fd7);
            layout.offsets.push_back(offset);
            layout.widths.push_back(width);
        }
        offset += width;
    }
    layout.null_bits.assign(layout.fields.size(), -1);
    if (layout.null_flags_width != 0) {
        int bit = 0;
        for (size_t i = 0; i < layout.fields.size(); ++i) {
            const auto& fd = layout.fields[i];
            if (dbf_fd_flags(fd) & dbf_flag_nullable) layout.null_bits[i] = bit++;
            if (dbf_fd_type(fd) == 'V' || dbf_fd_type(fd) == 'Q') ++bit;
        }
        // Bits the flags cannot hold belong to no field.
        for (int& b : layout.null_bits)
            if (b >= int(8 * layout.null_flags_width)) b = -1;
    }
    // A record of no values: no descriptor was readable.
    if (layout.fields.empty()) reject("No field descriptor");
    return layout;
}

dbf_field_descriptor dbf_make_descriptor(std::string_view ansi_name, char type, uint8_t width,
                                         uint8_t decimals) {
    dbf_field_descriptor fd{};
    std::memcpy(fd.data(), ansi_name.data(), std::min<size_t>(ansi_name.size(), 10));
    fd[11] = uint8_t(type);
    fd[16] = width;
    fd[17] = decimals;
    return fd;
}

uint32_t dbf_writer_width(const dbf_field_descriptor& fd) {
    char type = char(fd[11]);
    if ((type == 'M' || type == 'G' || type == 'P') && fd[16] == 0) return 10;
    return fd[16];
}

std::string dbf_build_table_image(std::vector<dbf_field_descriptor> fields, int year, int month,
                                  int day, const dbf_table_options& options) {
    const bool vfp = options.format == dbf_format::vfp;
    bool has_memo = false;
    for (auto& fd : fields) {
        const char type = char(fd[11]);
        if (type == 'M' || type == 'G' || type == 'P') has_memo = true;
        if (vfp) fd[18] = uint8_t(fd[18] | dbf_flag_nullable);
    }
    if (vfp && !fields.empty()) {
        const size_t flag_bytes = (fields.size() + 7) / 8;
        if (flag_bytes > 255) throw dbf_exception("Table is too wide for the DBF format");
        dbf_field_descriptor nulls = dbf_make_descriptor("_NullFlags", '0', uint8_t(flag_bytes), 0);
        nulls[18] = dbf_flag_system | dbf_flag_binary;
        fields.push_back(nulls);
    }
    dbf_header h;
    h.version = vfp ? 0x30 : has_memo ? 0x83 : 0x03;
    if (vfp && has_memo) h.flags = 0x02;
    h.codepage_mark = options.codepage_mark;
    // Counted from 1900, as dBASE counts it (readers take 26 for 1926).
    h.year = uint8_t(std::clamp(year - 1900, 0, 255));
    h.month = uint8_t(month);
    h.day = uint8_t(day);
    const size_t header_length =
        dbf_header_size + dbf_fd_size * fields.size() + 1 + (vfp ? dbf_vfp_backlink_size : 0);
    // Visual FoxPro counts a field's displacement from the record's start,
    // the deletion flag included, and its readers place fields by it.
    uint32_t displacement = vfp ? 1 : 0;
    for (auto& fd : fields) {
        dbf_put_le32(fd.data() + 12, displacement);
        displacement += dbf_writer_width(fd);
    }
    if (vfp) --displacement;
    // Both lengths are 16-bit fields of the header: a wider table cannot be
    // described, and wrapping the numbers would write a corrupt file.
    if (header_length > 0xFFFF || 1 + displacement > 0xFFFF)
        throw dbf_exception("Table is too wide for the DBF format");
    h.header_length = uint16_t(header_length);
    h.record_length = uint16_t(1 + displacement);
    std::string image(h.header_length, '\0');
    auto* out = reinterpret_cast<unsigned char*>(image.data());
    dbf_store_header(h, out);
    for (size_t i = 0; i < fields.size(); ++i)
        std::memcpy(out + dbf_header_size + i * dbf_fd_size, fields[i].data(), dbf_fd_size);
    out[dbf_header_size + dbf_fd_size * fields.size()] = dbf_terminator;
    return image;
}

int64_t dbf_julian_day(int year, int month, int day) {
    // Days from civil (proleptic Gregorian), shifted to the Julian day count.
    const int64_t y = int64_t(year) - (month <= 2);
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t mp = (month + 9) % 12;
    const int64_t doy = (153 * mp + 2) / 5 + day - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const int64_t days_from_1970 = era * 146097 + doe - 719468;
    return days_from_1970 + 2440588;
}

void dbf_civil_from_julian(int64_t julian_day, int& year, int& month, int& day) {
    const int64_t z = julian_day - 2440588 + 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    day = int(doy - (153 * mp + 2) / 5 + 1);
    month = int(mp < 10 ? mp + 3 : mp - 9);
    year = int(yoe + era * 400 + (month <= 2));
}

void dbf_put_character(unsigned char* destination, size_t width, std::string_view text) {
    const size_t n = std::min(width, text.size());
    std::memcpy(destination, text.data(), n);
    std::memset(destination + n, ' ', width - n);
}

bool dbf_put_numeric(unsigned char* destination, size_t width, std::string_view text) {
    if (text.size() > width) {
        std::memset(destination, '*', width);
        return false;
    }
    dbf_put_left_padded(destination, width, text);
    return true;
}

void dbf_put_left_padded(unsigned char* destination, size_t width, std::string_view text) {
    if (text.size() >= width) {
        std::memcpy(destination, text.data(), width);
        return;
    }
    const size_t pad = width - text.size();
    std::memset(destination, ' ', pad);
    std::memcpy(destination + pad, text.data(), text.size());
}

void dbf_put_date_text(unsigned char* destination, size_t width, std::string_view text) {
    const size_t first = text.find('-');
    const size_t second = first == text.npos ? text.npos : text.find('-', first + 1);
    if (second != text.npos && text.find('-', second + 1) == text.npos) {
        std::string joined;
        joined.reserve(text.size());
        joined.append(text.substr(0, first));
        joined.append(text.substr(first + 1, second - first - 1));
        joined.append(text.substr(second + 1));
        dbf_put_left_padded(destination, width, joined);
        return;
    }
    dbf_put_left_padded(destination, width, text);
}

void dbf_put_double(unsigned char* destination, double value) {
    static_assert(sizeof(double) == 8);
    uint64_t bits;
    std::memcpy(&bits, &value, 8);
    for (int i = 0; i < 8; ++i) destination[i] = uint8_t(bits >> (8 * i));
}

void dbf_put_int32(unsigned char* destination, int32_t value) {
    dbf_put_le32(destination, uint32_t(value));
}

void dbf_put_datetime(unsigned char* destination, int64_t julian_day, uint32_t milliseconds) {
    dbf_put_le32(destination, uint32_t(julian_day));
    dbf_put_le32(destination + 4, milliseconds);
}

void dbf_put_sortable_double(unsigned char* destination, double value) {
    uint64_t bits;
    std::memcpy(&bits, &value, 8);
    bits = (bits >> 63) != 0 ? ~bits : bits ^ (uint64_t(1) << 63);
    for (int i = 0; i < 8; ++i) destination[i] = uint8_t(bits >> (56 - 8 * i));
}

double dbf_get_sortable_double(const unsigned char* source) {
    uint64_t bits = 0;
    for (int i = 0; i < 8; ++i) bits = (bits << 8) | source[i];
    bits = (bits >> 63) != 0 ? bits ^ (uint64_t(1) << 63) : ~bits;
    double value;
    std::memcpy(&value, &bits, 8);
    return value;
}
