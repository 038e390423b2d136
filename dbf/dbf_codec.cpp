#include "dbf_codec.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include "dbf_exception.h"
#include "dbf_memo_file.h"
#include "ole_date.h"
#include "tk_codepage.h"
#include "tk_logger.h"
#include "tk_string.h"

namespace {

bool is_number_tag(VARTYPE vt) {
    switch (vt) {
        case VT_I1: case VT_I2: case VT_I4: case VT_I8: case VT_UI1: case VT_UI2: case VT_UI4:
        case VT_UI8: case VT_INT: case VT_UINT: case VT_R4: case VT_R8: case VT_CY:
        case VT_DECIMAL: case VT_BOOL:
            return true;
        default:
            return false;
    }
}

// The value as a number of the given tag when it is a text (parsed into
// storage), else the value itself.
const ole_variant& as_number(const ole_variant& value, VARTYPE vt, ole_variant& storage) {
    if (value.vt() != VT_BSTR) return value;
    storage = ole_variant::from_wstring(value.get_bstr(), vt);
    return storage;
}

double to_double_safe(const ole_variant& value) {
    ole_variant storage;
    const ole_variant& v = as_number(value, VT_R8, storage);
    if (v.vt() == VT_DATE) return v.get_date_number();
    return is_number_tag(v.vt()) ? v.to_double() : 0.0;
}

// A date record of the value, or false when it has no calendar date.
bool date_of(const ole_variant& value, ole_systemtime& out) {
    if (value.vt() == VT_BSTR) {
        ole_variant parsed = ole_variant::from_wstring(value.get_bstr(), VT_DATE);
        if (parsed.vt() != VT_DATE) return false;
        out = parsed.get_date();
        // A text date keeps a two-digit year as typed ("31.12.99"); widen it
        // as the date's own printing does, so that the field does not say 0099.
        if (out.year != 0 && out.year < 50) {
            out.year = static_cast<uint16_t>(out.year + 2000);
        } else if (out.year >= 50 && out.year < 100) {
            out.year = static_cast<uint16_t>(out.year + 1900);
        }
    } else if (value.vt() == VT_DATE) {
        out = value.get_date();
    } else {
        return false;
    }
    return out.year != 0 && out.month != 0 && out.day != 0;
}


// The number at the field's decimal count, for a value whose own text is
// wider than the field; empty when there is no such form.
std::string rounded_text(const ole_variant& value, unsigned decimals) {
    switch (value.vt()) {
        case VT_R4: case VT_R8: {
            double d = value.to_double();
            if (!std::isfinite(d) || std::fabs(d) >= 1e300) return {};
            char buffer[400];
            std::snprintf(buffer, sizeof buffer, "%.*f", int(decimals), d);
            return buffer;
        }
        case VT_DECIMAL: {
            auto r = value.get_decimal().rescaled(uint8_t(decimals));
            return r ? r->to_string() : std::string();
        }
        case VT_CY: {
            auto r = value.get_cy().to_decimal().rescaled(uint8_t(decimals));
            return r ? r->to_string() : std::string();
        }
        default:
            return {};
    }
}

// The bytes of a binary field of width that a value of size bytes leaves
// unwritten are zero: all of them when the field is narrower than the value
// (which is then not written), those after the value when it is wider.
void zero_rest(unsigned char* out, uint32_t size, uint32_t width) {
    if (width < size)
        std::memset(out, 0, width);
    else if (width > size)
        std::memset(out + size, 0, width - size);
}

// count decimal digits of value (modulo 10^count), zero-padded.
void put_digits(char* out, int count, unsigned value) {
    for (int i = count - 1; i >= 0; --i) {
        out[i] = char('0' + value % 10);
        value /= 10;
    }
}

ole_variant decode_datetime(uint32_t day, uint32_t milliseconds) {
    tk_log(1, "Processing as DATETIME");
    if (day < dbf_julian_day_1) return {};
    int year, month, d;
    dbf_civil_from_julian(day, year, month, d);
    const uint32_t seconds = uint32_t((uint64_t(milliseconds) + 1) / 1000);
    if (year > 9999 || seconds >= 86400) return {};
    ole_systemtime st;
    st.year = uint16_t(year);
    st.month = uint16_t(month);
    st.day = uint16_t(d);
    st.hour = uint16_t(seconds / 3600);
    st.minute = uint16_t(seconds / 60 % 60);
    st.second = uint16_t(seconds % 60);
    tk_log(1, "lDay=%d, lHour=%d, lMin=%d, lSec=%d", int(day - dbf_julian_day_1), int(st.hour),
           int(st.minute), int(st.second));
    tk_log(1, "SYSTEMTIME=%04d-%02d-%02d %02d:%02d:%02d", int(st.year), int(st.month),
           int(st.day), int(st.hour), int(st.minute), int(st.second));
    return ole_variant(st);
}

}  // namespace

namespace {

constexpr size_t kNoFastText = size_t(-1);

// 5^n for n up to 54, the largest power below 2^128.
struct five_powers {
    unsigned __int128 p[55];
    constexpr five_powers() : p() {
        p[0] = 1;
        for (int i = 1; i < 55; ++i) p[i] = p[i - 1] * 5;
    }
};
constexpr five_powers kFive;

// Upper bound of the bit length of 5^n.
constexpr int five_bits(int n) { return n * 2322 / 1000 + 1; }

// A float as "%.6e" prints it (correctly rounded, ties to even), by exact
// integer arithmetic: |f| * 10^(6-k) is split into powers of 5 and 2 and
// divided out in 128 bits.  Returns kNoFastText for values whose scaling
// would not fit (far outside 1e-20 .. 1e30), which the general conversion
// then handles.
size_t float_e6_chars(float f, char* out) {
    if (!std::isfinite(f)) return kNoFastText;
    uint32_t bits;
    std::memcpy(&bits, &f, 4);
    char* p = out;
    if (bits >> 31) *p++ = '-';
    const uint32_t biased = (bits >> 23) & 0xFF;
    uint32_t m = bits & 0x7FFFFF;
    int e;
    if (biased == 0) {
        if (m == 0) {
            std::memcpy(p, "0.000000e+00", 12);
            return size_t(p - out) + 12;
        }
        e = -149;
    } else {
        m |= 0x800000;
        e = int(biased) - 150;
    }
    // |f| = m * 2^e lies in [2^top, 2^(top+1)), so its decimal exponent is
    // floor(top * log10 2) or one more.
    const int top = int(std::bit_width(m)) - 1 + e;
    int k = (top * 78913) >> 18;
    uint64_t q = 0;
    for (int attempt = 0; attempt < 2; ++attempt) {
        const int j = 6 - k;  // |f| * 10^j = m * 5^j * 2^(e + j)
        const int b = e + j;
        if (j > 54 || -j > 54) return kNoFastText;
        const int num_bits = 24 + (j > 0 ? five_bits(j) : 0) + (b > 0 ? b : 0);
        const int den_bits = (j < 0 ? five_bits(-j) : 0) + (b < 0 ? -b : 0);
        if (num_bits > 124 || den_bits > 124) return kNoFastText;
        unsigned __int128 num = m, den = 1;
        if (j > 0) num *= kFive.p[j];
        if (j < 0) den = kFive.p[-j];
        if (b > 0) num <<= b;
        if (b < 0) den <<= -b;
        // Values below 10^7 divide by a power of two only: a shift.
        const unsigned __int128 quotient = j >= 0 ? num >> (b < 0 ? -b : 0) : num / den;
        const unsigned __int128 rest = num - quotient * den;
        if (quotient >= 10000000) {
            ++k;
            continue;
        }
        q = uint64_t(quotient);
        if (2 * rest > den || (2 * rest == den && (q & 1) != 0)) ++q;
        if (q == 10000000) {
            q = 1000000;
            ++k;
        }
        break;
    }
    if (q < 1000000 || q >= 10000000) return kNoFastText;
    char digits[7];
    put_digits(digits, 7, unsigned(q));
    p[0] = digits[0];
    p[1] = '.';
    std::memcpy(p + 2, digits + 1, 6);
    p[8] = 'e';
    p[9] = k < 0 ? '-' : '+';
    const int a = k < 0 ? -k : k;
    p[10] = char('0' + a / 10);
    p[11] = char('0' + a % 10);
    return size_t(p - out) + 12;
}

// The text of a number (or of the empty value) written into buffer (64
// bytes), identical to dbf_value_text; kNoFastText for every other value and
// for numbers that need the general conversion.
size_t number_chars(const ole_variant& value, char* buffer) {
    constexpr size_t room = 64;
    std::to_chars_result r{};
    switch (value.vt()) {
        case VT_EMPTY: case VT_NULL:
            return 0;
        case VT_I1: case VT_I2: case VT_I4: case VT_INT:
            r = std::to_chars(buffer, buffer + room, value.to_long());
            break;
        case VT_UI1: case VT_UI2: case VT_UI4: case VT_UINT:
            r = std::to_chars(buffer, buffer + room, uint32_t(value.to_long()));
            break;
        case VT_R4: {
            const double d = value.to_double();
            const size_t n = float_e6_chars(float(d), buffer);
            if (n != kNoFastText) return n;
            r = std::to_chars(buffer, buffer + room, d, std::chars_format::scientific, 6);
            break;
        }
        case VT_R8:
            r = std::to_chars(buffer, buffer + room, value.to_double(),
                              std::chars_format::scientific, 16);
            break;
        case VT_DECIMAL: {
            // Plain notation: sign, integer digits ("0" when none), the
            // fraction without trailing zeros.
            const ole_decimal d = value.get_decimal();
            if (d.hi32 != 0 || d.scale > 19) return kNoFastText;
            char digits[24];
            const auto dr = std::to_chars(digits, digits + sizeof digits, d.lo64);
            const size_t n = size_t(dr.ptr - digits), scale = d.scale;
            char* p = buffer;
            if (d.is_negative() && d.lo64 != 0) *p++ = '-';
            if (n > scale) {
                std::memcpy(p, digits, n - scale);
                p += n - scale;
            } else {
                *p++ = '0';
            }
            char fraction[24];
            size_t f = 0;
            for (size_t i = 0; i < scale; ++i) {
                const size_t k = n - scale + i;  // may wrap: leading zeros
                fraction[f++] = (n >= scale - i) ? digits[k] : '0';
            }
            while (f > 0 && fraction[f - 1] == '0') --f;
            if (f > 0) {
                *p++ = '.';
                std::memcpy(p, fraction, f);
                p += f;
            }
            return size_t(p - buffer);
        }
        default:
            return kNoFastText;
    }
    if (r.ec != std::errc()) return kNoFastText;
    return size_t(r.ptr - buffer);
}

// Narrows n characters into out when all of them are ASCII (the same byte in
// every code page); false, with out untouched, otherwise.  Two plain loops
// so that the compiler vectorises both.
bool narrow_ascii(const char16_t* text, size_t n, unsigned char* out) {
    // Four units per 64-bit word: a unit of 0x80 or more shows in the mask,
    // and the four low bytes are packed into one 32-bit store.  (Long memo
    // texts pass through here.)  out may be partly written on false.
    constexpr uint64_t kHigh = 0xFF80FF80FF80FF80ull;
    size_t i = 0;
    if constexpr (std::endian::native == std::endian::little) {
        for (; i + 4 <= n; i += 4) {
            uint64_t w;
            std::memcpy(&w, text + i, sizeof w);
            if ((w & kHigh) != 0) return false;
            const uint32_t bytes = uint32_t(w & 0xFF) | uint32_t((w >> 8) & 0xFF00) |
                                   uint32_t((w >> 16) & 0xFF0000) |
                                   uint32_t((w >> 24) & 0xFF000000);
            std::memcpy(out + i, &bytes, sizeof bytes);
        }
    }
    for (; i < n; ++i) {
        if (text[i] >= 0x80) return false;
        out[i] = uint8_t(text[i]);
    }
    return true;
}

// The single-byte characters of a code page: for every character that one
// byte decodes to and that encodes back to that byte alone, the byte (-1
// for every other character).  The code pages' conversions are stateless, so
// a text made only of such characters is coded character by character into
// the bytes the general conversion gives, without it.
class single_byte_map {
public:
    explicit single_byte_map(int code_page) : code_page_(code_page), byte_(65536, -1) {
        for (int b = 0; b < 256; ++b) {
            const char c = char(b);
            const auto wide = tk_decode(std::string_view(&c, 1), code_page);
            if (!wide || wide->size() != 1) continue;
            const auto back = tk_encode(*wide, code_page);
            if (back && back->size() == 1 && (*back)[0] == c) byte_[(*wide)[0]] = int16_t(b);
        }
    }
    int code_page() const { return code_page_; }
    // Codes text into out, one byte per character; false (out partly
    // written) when a character is not in the map.
    bool encode(std::u16string_view text, unsigned char* out) const {
        for (size_t i = 0; i < text.size(); ++i) {
            const int16_t b = byte_[text[i]];
            if (b < 0) return false;
            out[i] = uint8_t(b);
        }
        return true;
    }

private:
    int code_page_;
    std::vector<int16_t> byte_;
};

// The map of the ANSI code page, built once per code page and thread (the
// ANSI code page may be changed while the process runs).
const single_byte_map& ansi_map() {
    thread_local std::unique_ptr<single_byte_map> map;
    const int code_page = tk_ansi_code_page();
    if (!map || map->code_page() != code_page) map = std::make_unique<single_byte_map>(code_page);
    return *map;
}

// A text coded into the ANSI code page without the general conversion, when
// every character is ASCII or a single-byte character of the code page.
bool fast_ansi(std::u16string_view text, unsigned char* out) {
    return narrow_ascii(text.data(), text.size(), out) || ansi_map().encode(text, out);
}

}  // namespace

std::string dbf_value_text(const ole_variant& value) {
    if (value.vt() == VT_BSTR) {
        const std::u16string& text = value.get_bstr();
        std::string out(text.size(), '\0');
        if (!fast_ansi(text, reinterpret_cast<unsigned char*>(out.data())))
            return value.to_string();
        return out;
    }
    char buffer[64];
    const size_t n = number_chars(value, buffer);
    if (n == kNoFastText) return value.to_string();
    return std::string(buffer, n);
}

namespace {

// Visual FoxPro has a type for each kind: 32-bit integers, doubles, currency
// and binary memos keep their values exactly without a text form.
dbf_field_descriptor vfp_field(const t_ftd& ftd) {
    switch (ftd.vartype) {
        case VT_I1: case VT_I2: case VT_UI1: case VT_I4: case VT_UI2: case VT_INT:
            return dbf_make_descriptor("", 'I', 4, 0);
        // Every 64-bit integer as digits (a sign and 19 digits).
        case VT_UI4: case VT_I8: case VT_UI8:
            return dbf_make_descriptor("", 'N', 20, 0);
        // A float is exactly a double too.
        case VT_R4: case VT_R8:
            return dbf_make_descriptor("", 'B', 8, 0);
        case VT_CY:
            return dbf_make_descriptor("", 'Y', 8, 4);
        case VT_BLOB: case VT_BINARY: case VT_BLOB_OBJECT: {
            dbf_field_descriptor fd = dbf_make_descriptor("", 'M', 4, 0);
            fd[18] = dbf_flag_binary;
            return fd;
        }
        default: {
            // The other kinds as in dBASE III tables, with 4-byte memo references.
            dbf_field_descriptor fd = dbf_create_field(ftd, dbf_format::dbase3);
            if (fd[11] == 'M') fd[16] = 4;
            return fd;
        }
    }
}

}  // namespace

dbf_field_descriptor dbf_create_field(const t_ftd& ftd, dbf_format format) {
    tk_wlog(1, u"dbf_create_field(%s, vt=%d, size=%d)", ftd.name, int(ftd.vartype),
            int(ftd.size));
    if (format == dbf_format::vfp) return vfp_field(ftd);
    char type = 'M';
    unsigned width = 10, decimals = 0;
    switch (ftd.vartype) {
        case VT_I1: type = 'N'; width = 4; break;
        case VT_I2: case VT_UI1: type = 'N'; width = 6; break;
        case VT_I4: case VT_UI2: case VT_INT: type = 'N'; width = 11; break;
        case VT_R4: case VT_CY: case VT_UI4:
            type = 'N'; width = 19; decimals = 5; break;
        // A 64-bit integer has up to 20 digits (19 and a sign): with 5
        // decimals in 19 places, every value past 10^13 would not fit.
        case VT_I8: case VT_UI8: type = 'N'; width = 20; break;
        case VT_R8: type = 'B'; width = 8; break;
        case VT_DATE:
            if (ftd.reserved == 1 || ftd.reserved == 3) {
                type = 'T'; width = 8;
            } else if (ftd.reserved == 2) {
                type = 'D'; width = 8;
            } else {
                type = 'C'; width = 19;
            }
            break;
        case VT_BSTR:
            if (ftd.size >= 1 && ftd.size <= 254) {
                tk_log(1, "GOT BSTR SIZE=%d", int(ftd.size));
                type = 'C';
                width = ftd.size + 1;
            }
            break;
        case VT_BOOL: type = 'L'; width = 1; break;
        case VT_DECIMAL:
            type = 'N';
            if (ftd.reserved != 0) {
                width = std::min(255u, ((ftd.reserved >> 8) & 0xFF) + 2);
                decimals = ftd.reserved & 0xFF;
            } else {
                width = 2;
            }
            break;
        default: break;
    }
    return dbf_make_descriptor("", type, uint8_t(width), uint8_t(decimals));
}

std::u16string dbf_decode_name(std::string_view bytes, int code_page) {
    // A code page without a converter (620, 895) cannot refuse the table for
    // its field names: they are read in the ANSI code page then.
    if (code_page != 0 && !tk_is_code_page_supported(code_page)) code_page = 0;
    return tk_ansi_to_ucs2(bytes, code_page);
}

t_ftd dbf_ftd_from_descriptor(const dbf_field_descriptor7& fd, int code_page) {
    const char type = dbf_fd_type(fd);
    const uint32_t size = dbf_get_size_2(fd);
    const uint16_t vartype = dbf_get_vartype_2(fd);
    uint32_t reserved = 0;
    if (type == 'T' || type == '@') reserved = 1;
    if (type == 'D') reserved = 2;
    if (vartype == VT_DECIMAL) {
        const uint32_t decimals = dbf_fd_decimals(fd);
        reserved = (size + decimals) * 256 + decimals;
        tk_log(1, "Got VT_DECIMAL(%d,%d)", int(size + decimals), int(decimals));
    }
    t_ftd ftd(size, dbf_decode_name(dbf_fd_name(fd), code_page), vartype, false, false,
              ole_variant(), reserved);
    tk_wlog(2, u"Got field: %s, type=%c, size=%d", ftd.name, int(type), int(size));
    return ftd;
}

dbf_put_result dbf_put_value(unsigned char* out, const dbf_field_descriptor7& fd, uint32_t width,
                             const ole_variant& value, dbf_memo_file* memo) {
    const char type = dbf_fd_type(fd);
    switch (type) {
        case 'B':
            tk_log(1, "Processing as DOUBLE");
            if (width >= 8) dbf_put_double(out, to_double_safe(value));
            zero_rest(out, 8, width);
            return dbf_put_result::ok;
        case 'O':
            tk_log(1, "Processing as DOUBLE");
            // All zero bytes are no number at all (they read as the empty value).
            std::memset(out, 0, width);
            if (width >= 8 && !value.is_empty())
                dbf_put_sortable_double(out, to_double_safe(value));
            return dbf_put_result::ok;
        case 'L': {
            tk_log(1, "Processing as LOGICAL");
            if (width < 1) return dbf_put_result::ok;
            char c;
            if (value.is_empty()) {
                c = '?';  // unknown: readers show it as empty, not as false
            } else if (value.vt() == VT_BSTR) {
                std::string text = value.to_string();
                c = !text.empty() && std::strchr("TtYy1", text[0]) != nullptr ? 'T' : 'F';  // NOLINT
            } else {
                c = is_number_tag(value.vt()) && value.to_bool() ? 'T' : 'F';
            }
            std::memset(out, ' ', width);
            out[0] = uint8_t(c);
            return dbf_put_result::ok;
        }
        case 'I': {
            tk_log(1, "Processing as INTEGER");
            ole_variant storage;
            const ole_variant& v = as_number(value, VT_I4, storage);
            if (width >= 4) dbf_put_int32(out, is_number_tag(v.vt()) ? v.to_long() : 0);
            zero_rest(out, 4, width);
            return dbf_put_result::ok;
        }
        case 'T': {
            tk_log(1, "Processing as DATETIME");
            zero_rest(out, 8, width);
            if (width < 8) return dbf_put_result::ok;
            ole_systemtime st;
            if (date_of(value, st)) {
                const uint32_t ms = ((uint32_t(st.hour) * 60 + st.minute) * 60 + st.second) * 1000;
                dbf_put_datetime(out, dbf_julian_day(st.year, st.month, st.day), ms);
            } else {
                dbf_put_datetime(out, 0, 0);  // reads back as the empty value
            }
            return dbf_put_result::ok;
        }
        case 'M':
        case 'G': {
            tk_log(1, "Processing as MEMO");
            // A 4-byte reference is a binary number: no block is 0.
            const bool binary_reference = width == 4;
            const bool binary = dbf_is_binary_memo(fd);
            std::string text;
            if (binary && (value.vt() & VT_ARRAY) != 0) {
                const uint8_t* bytes = nullptr;
                const int32_t n = value.get_bytes(bytes);
                if (n > 0) text.assign(reinterpret_cast<const char*>(bytes), size_t(n));
            } else if (!value.is_empty()) {
                text = dbf_value_text(value);
            }
            if (text.empty()) {
                tk_log(1, "Skip empty MEMO");
                std::memset(out, binary_reference ? 0 : ' ', width);
                return dbf_put_result::ok;
            }
            if (memo == nullptr) throw dbf_no_memo_exception();
            const uint32_t block = memo->append_memo(text, binary);
            if (binary_reference) {
                dbf_put_le32(out, block);
                return dbf_put_result::ok;
            }
            char digits[16];
            const auto r = std::to_chars(digits, digits + sizeof digits, block);
            dbf_put_left_padded(out, width, std::string_view(digits, size_t(r.ptr - digits)));
            return dbf_put_result::ok;
        }
        case 'D': {
            ole_systemtime st;
            if (value.vt() == VT_DATE || value.vt() == VT_BSTR) {
                if (date_of(value, st)) {
                    char digits[8];
                    put_digits(digits, 4, st.year);
                    put_digits(digits + 4, 2, st.month);
                    put_digits(digits + 6, 2, st.day);
                    dbf_put_left_padded(out, width, std::string_view(digits, 8));
                } else if (value.vt() == VT_BSTR) {
                    dbf_put_date_text(out, width, value.to_string());
                } else {
                    std::memset(out, ' ', width);
                }
                return dbf_put_result::ok;
            }
            dbf_put_date_text(out, width, dbf_value_text(value));
            return dbf_put_result::ok;
        }
        case 'C':
            if (value.vt() == VT_BSTR) {
                // A text whose first width characters are each one byte of
                // the code page needs no conversion: those bytes are the
                // field's (the rest of the text is cut anyway).
                const std::u16string& text = value.get_bstr();
                const size_t n = std::min<size_t>(width, text.size());
                if (fast_ansi(std::u16string_view(text.data(), n), out)) {
                    std::memset(out + n, ' ', width - n);
                    return dbf_put_result::ok;
                }
            }
            dbf_put_character(out, width, dbf_value_text(value));
            return dbf_put_result::ok;
        case 'Y': {
            // Visual FoxPro currency: a 64-bit count of ten-thousandths.
            ole_variant storage;
            const ole_variant& v = as_number(value, VT_CY, storage);
            int64_t count = 0;
            if (v.vt() == VT_CY) {
                count = v.get_cy().int64;
            } else if (v.vt() == VT_DECIMAL) {
                auto cy = ole_cy::from_decimal(v.get_decimal());
                count = cy ? cy->int64 : 0;
            } else if (is_number_tag(v.vt())) {
                count = std::llround(v.to_double() * 10000.0);
            }
            if (width >= 8)
                for (int i = 0; i < 8; ++i) out[i] = uint8_t(uint64_t(count) >> (8 * i));
            zero_rest(out, 8, width);
            return dbf_put_result::ok;
        }
        case 'N':
        case 'F': {
            // The common case, a number whose text fits, goes from a stack
            // buffer straight into the field.
            char buffer[64];
            const size_t n = number_chars(value, buffer);
            if (n != kNoFastText && n <= width) {
                dbf_put_left_padded(out, width, std::string_view(buffer, n));
                return dbf_put_result::ok;
            }
            std::string text = dbf_value_text(value);
            if (text.size() > width) {
                std::string rounded = rounded_text(value, dbf_fd_decimals(fd));
                if (!rounded.empty() && rounded.size() <= width) text = std::move(rounded);
            }
            return dbf_put_numeric(out, width, text) ? dbf_put_result::ok
                                                      : dbf_put_result::number_too_wide;
        }
        default:
            dbf_put_left_padded(out, width, dbf_value_text(value));
            return dbf_put_result::ok;
    }
}

std::u16string dbf_decode_text(std::string_view bytes, int code_page) {
    if (code_page == 0 || tk_is_code_page_supported(code_page)) return tk_ansi_to_ucs2(bytes, code_page);
    // Every DOS code page agrees with ASCII below 0x80: such texts read the
    // same whatever the table's code page.  Anything else would be guessed.
    std::u16string text;
    text.reserve(bytes.size());
    for (char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            char message[80];
            std::snprintf(message, sizeof message, "Code page %d is not supported", code_page);
            throw dbf_exception(message);
        }
        text.push_back(char16_t(c));
    }
    return text;
}

namespace {

// The nearest double of a whole number text ("1.5E+40", "-2,5"), or nullopt.
std::optional<double> strict_double(std::string_view text) {
    std::string copy(text);
    for (char& c : copy)
        if (c == ',') c = '.';
    const char* first = copy.data();
    const char* last = first + copy.size();
    if (first != last && *first == '+') ++first;
    double d = 0;
    const auto r = std::from_chars(first, last, d);
    if (r.ec != std::errc() || r.ptr != last) return std::nullopt;
    return d;
}

// An 'N' or 'F' field: decimal text, right-aligned by this system and most
// writers, left-aligned or NUL-padded by some.  A text without a digit (all
// blanks, " .", "-") is no number, nor is one with asterisks (a number that
// did not fit its field): the empty value.  A number beyond the field's type
// (an integer wider than 64 bits, a text a DECIMAL cannot hold) reads as the
// nearest double rather than as nothing.
ole_variant decode_number(std::string_view text, const dbf_field_descriptor7& fd) {
    tk_log(1, "Processing as NUMBER");
    const size_t first = text.find_first_not_of(std::string_view(" \0", 2));
    if (first == text.npos) return {};
    text = text.substr(first, text.find_last_not_of(std::string_view(" \0", 2)) + 1 - first);
    if (text.find('*') != text.npos || text.find_first_of("0123456789") == text.npos) return {};
    ole_variant value = ole_variant::from_string(text, dbf_get_vartype_2(fd));
    if (value.is_empty()) {
        if (auto d = strict_double(text)) return ole_variant(*d);
    }
    return value;
}

}  // namespace

ole_variant dbf_get_variant(std::string_view bytes, const dbf_field_descriptor7& fd,
                            int code_page, bool level7) {
    const char type = dbf_fd_type(fd);
    const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
    tk_log(1, "dbf_field::get_variant(%s, '%c')", dbf_fd_name(fd), type);
    switch (type) {
        case 'L': {
            tk_log(1, "Processing as BOOLEAN");
            const char c = bytes.empty() ? ' ' : bytes[0];
            return ole_variant(c == 'T' || c == 't' || c == 'Y' || c == 'y');
        }
        case 'Y': {
            tk_log(1, "Processing as CURRENCY");
            if (bytes.size() < 8) return {};
            ole_cy cy;
            cy.int64 = int64_t(uint64_t(dbf_le32(b)) | (uint64_t(dbf_le32(b + 4)) << 32));
            return ole_variant(cy);
        }
        case 'I':
        case '+': {
            tk_log(1, "Processing as INTEGER");
            if (bytes.size() < 4) return {};
            // Level 7 keeps integers big-endian with the sign bit flipped, so
            // that they sort as bytes.
            if (level7 || type == '+') return ole_variant(int32_t(dbf_be32(b) ^ 0x80000000u));
            return ole_variant(int32_t(dbf_le32(b)));
        }
        case 'T':
            if (bytes.size() < 8) return {};
            return decode_datetime(dbf_le32(b), dbf_le32(b + 4));
        case '@': {
            if (bytes.size() < 8) return {};
            uint64_t bits = (uint64_t(dbf_be32(b)) << 32) | dbf_be32(b + 4);
            double ms;
            std::memcpy(&ms, &bits, 8);
            if (!std::isfinite(ms) || ms < 86400000.0 || ms > 4e14) return {};
            const double days = std::floor(ms / 86400000.0) - 1;
            const double rest = ms - (days + 1) * 86400000.0;
            return decode_datetime(uint32_t(dbf_julian_day_1 + days), uint32_t(rest));
        }
        case 'O': {
            tk_log(1, "Processing as DOUBLE");
            if (bytes.size() < 8) return {};
            // All zero bytes (a field never written) give a NaN: no number.
            const double d = dbf_get_sortable_double(b);
            if (std::isnan(d)) return {};
            return ole_variant(d);
        }
        case 'N':
        case 'F':
            return decode_number(bytes, fd);
        case 'B': {
            tk_log(1, "Processing as DOUBLE");
            if (bytes.size() < 8) return {};
            uint64_t bits = uint64_t(dbf_le32(b)) | (uint64_t(dbf_le32(b + 4)) << 32);
            double d;
            std::memcpy(&d, &bits, 8);
            return ole_variant(d);
        }
        case 'C': {
            std::string_view text = bytes;
            while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
            return ole_variant::from_wstring(dbf_decode_text(text, code_page), VT_BSTR);
        }
        default: {
            std::string_view text = bytes;
            while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
            return ole_variant::from_wstring(dbf_decode_text(text, code_page),
                                             dbf_get_vartype_2(fd));
        }
    }
}
