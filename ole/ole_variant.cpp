#include "ole_variant.h"

#include <algorithm>
#include <charconv>
#include <cinttypes>
#include <cmath>
#include <limits>
#include <utility>

#include "ole_date.h"
#include "ole_number_text.h"
#include "ole_trace.h"
#include "tk_logger.h"
#include "tk_string.h"

namespace {

// A binary prints at most this many bytes.
constexpr size_t kMaxPrintedBytes = 10000000;
// Byte arrays are indexed by 32-bit signed bounds.
constexpr size_t kMaxArrayBytes = static_cast<size_t>(std::numeric_limits<int32_t>::max());

bool is_binary_tag(VARTYPE vt) {
    return vt == VT_BINARY || vt == VT_SAFEARRAY;
}

int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// One byte from two hexadecimal characters.  A pair that is not hexadecimal
// reads like "%02X" would: its leading hex digit alone, or 0.
uint8_t hex_pair(char hi, char lo) {
    const int h = hex_value(hi);
    const int l = hex_value(lo);
    if (h < 0) return 0;
    if (l < 0) return static_cast<uint8_t>(h);
    return static_cast<uint8_t>(h * 16 + l);
}

std::string format_scientific(double value, int precision) {
    char buf[64];
    const std::to_chars_result r =
        std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, precision);
    return std::string(buf, r.ptr);
}

std::string with_points(std::string text) {
    std::replace(text.begin(), text.end(), ',', '.');
    return text;
}

}  // namespace

ole_type_exception::ole_type_exception()
    : tk_exception("The operating type is not supported yet", 1) {}

// ---------------------------------------------------------------------------
// Construction, copy, destruction

ole_variant::ole_variant() noexcept = default;

ole_variant::ole_variant(const ole_systemtime& date) {
    tk_log(1, "Construct ole_variant from SYSTEMTIME");
    set_date(date);
}

ole_variant::ole_variant(const ole_cy& cy) : vt_(VT_CY), cy_(cy) {
    tk_log(1, "Construct ole_variant from CY");
}

ole_variant::ole_variant(const ole_decimal& decimal) : vt_(VT_DECIMAL), decimal_(decimal) {
    tk_log(1, "Construct ole_variant from DECIMAL");
}

ole_variant::ole_variant(bool value)
    : vt_(VT_BOOL), integer_(value ? VARIANT_TRUE : VARIANT_FALSE) {
    tk_log(1, "ole_variant::ctor from bool (%d)", value ? 1 : 0);
}

ole_variant::ole_variant(char value) : vt_(VT_I1), integer_(static_cast<signed char>(value)) {
    tk_log(1, "ole_variant::ctor from char(%d)", static_cast<int>(integer_));
}

ole_variant::ole_variant(signed char value) : vt_(VT_I1), integer_(value) {
    tk_log(1, "ole_variant::ctor from char(%d)", static_cast<int>(value));
}

ole_variant::ole_variant(unsigned char value) : vt_(VT_UI1), integer_(value) {
    tk_log(1, "ole_variant::ctor from byte(%d)", static_cast<int>(value));
}

ole_variant::ole_variant(short value) : vt_(VT_I2), integer_(value) {
    tk_log(1, "ole_variant::ctor from short(%d)", static_cast<int>(value));
}

ole_variant::ole_variant(unsigned short value) : vt_(VT_UI2), integer_(value) {
    tk_log(1, "ole_variant::ctor from ushort(%d)", static_cast<int>(value));
}

ole_variant::ole_variant(int value) : vt_(VT_I4), integer_(value) {
    tk_log(1, "ole_variant::ctor from int(%d)", value);
}

ole_variant::ole_variant(unsigned int value) : vt_(VT_UI4), integer_(value) {
    tk_log(1, "ole_variant::ctor from uint(%u)", value);
}

ole_variant::ole_variant(int64_t value) : i8_(value), vt_(VT_I8) {
    tk_log(1, "ole_variant::ctor(hyper, %" PRId64 ")", value);
}

ole_variant::ole_variant(uint64_t value) : ui8_(value), vt_(VT_UI8) {
    tk_log(1, "ole_variant::ctor(uhyper, %" PRIu64 ")", value);
}

ole_variant::ole_variant(float value) : vt_(VT_R4), real4_(value) {
    tk_log(1, "ole_variant::ctor from float(%f)", static_cast<double>(value));
}

ole_variant::ole_variant(double value) : vt_(VT_R8), real_(value) {
    tk_log(1, "ole_variant::ctor from double(%e)", value);
}

ole_variant::ole_variant(std::string_view text) {
    ole_trace(1, "ole_variant::ctor from string(%s)", text);
    attach_string(text);
}

ole_variant::ole_variant(const std::string& text) : ole_variant(std::string_view(text)) {}

ole_variant::ole_variant(const char* text)
    : ole_variant(text != nullptr ? std::string_view(text) : std::string_view()) {}

ole_variant::ole_variant(std::u16string_view text) {
    ole_wtrace(1, u"ole_variant::ctor from wstring(%s)", text);
    attach_wstring(text);
}

ole_variant::ole_variant(const std::u16string& text) : ole_variant(std::u16string_view(text)) {}

ole_variant::ole_variant(const char16_t* text)
    : ole_variant(text != nullptr ? std::u16string_view(text) : std::u16string_view()) {}

ole_variant::ole_variant(size_t size, const uint8_t* bytes) {
    attach_binary(size, bytes);
}

ole_variant::ole_variant(const std::vector<uint8_t>& bytes) {
    attach_binary(bytes);
}

ole_variant ole_variant::from_variant_bool(int16_t word) {
    ole_variant v;
    v.vt_ = VT_BOOL;
    v.integer_ = word;
    return v;
}

ole_variant::ole_variant(const ole_variant& other) {
    tk_log(1, "ole_variant::copy ctor");
    if (other.vt_ == VT_I8 || other.vt_ == VT_UI8)
        tk_log(1, "Special processing for VT_(U)I8 type");
    if (other.vt_ == VT_DATE) tk_log(1, "Special processing for VT_DATE");
    copy_from(other);
}

ole_variant::ole_variant(ole_variant&& other) noexcept {
    move_from(other);
}

ole_variant& ole_variant::operator=(const ole_variant& other) {
    if (this == &other) return *this;
    if (other.vt_ == VT_DATE) {
        const ole_systemtime& d = other.date_;
        tk_log(1, "%04d-%02d-%02d %02d:%02d:%02d", d.year, d.month, d.day, d.hour, d.minute,
               d.second);
    }
    // Build the copy before giving up the old value, so that a failed
    // allocation leaves this value as it was.
    ole_variant copy;
    copy.copy_from(other);
    if (is_binary_tag(other.vt_)) copy.vt_ = VT_BINARY;
    move_from(copy);
    return *this;
}

ole_variant& ole_variant::operator=(ole_variant&& other) noexcept {
    if (this != &other) move_from(other);
    return *this;
}

ole_variant::~ole_variant() = default;

void ole_variant::copy_from(const ole_variant& other) {
    i8_ = other.i8_;
    ui8_ = other.ui8_;
    date_ = other.date_;
    vt_ = other.vt_;
    integer_ = other.integer_;
    real_ = other.real_;
    real4_ = other.real4_;
    cy_ = other.cy_;
    decimal_ = other.decimal_;
    bstr_ = other.bstr_;
    bytes_ = other.bytes_;
}

void ole_variant::move_from(ole_variant& other) noexcept {
    i8_ = other.i8_;
    ui8_ = other.ui8_;
    date_ = other.date_;
    vt_ = other.vt_;
    integer_ = other.integer_;
    real_ = other.real_;
    real4_ = other.real4_;
    cy_ = other.cy_;
    decimal_ = other.decimal_;
    bstr_ = std::move(other.bstr_);
    bytes_ = std::move(other.bytes_);
    other.clear();
}

void ole_variant::clear() noexcept {
    i8_ = 0;
    ui8_ = 0;
    date_ = {};
    vt_ = VT_EMPTY;
    integer_ = 0;
    real_ = 0.0;
    real4_ = 0.0f;
    cy_ = {};
    decimal_ = {};
    bstr_.clear();
    bstr_.shrink_to_fit();
    bytes_.clear();
    bytes_.shrink_to_fit();
}

void ole_variant::set_date(const ole_systemtime& date) {
    clear();
    vt_ = VT_DATE;
    date_ = date;
    if (!ole_systemtime_to_variant_time(date, real_)) {
        tk_log(2, "Failed to convert SYSTEMTIME->VARIANT");
        real_ = 0.0;
    }
}

// ---------------------------------------------------------------------------
// Attaching

void ole_variant::attach_string(std::string_view text) {
    ole_trace(1, "ole_variant::attach_string('%s')", text);
    std::u16string wide;
    tk_log(1, "=== RIGHT BEFORE A2W_EX ===");
    // The code page conversion substitutes what it cannot map and fails only
    // for an unknown code page: a broken set-up, not a data error.
    TK_ASSERT(tk_ansi_to_ucs2(text, wide));
    clear();
    vt_ = VT_BSTR;
    bstr_ = std::move(wide);
}

void ole_variant::attach_wstring(std::u16string_view text) {
    ole_wtrace(1, u"ole_variant::attach_wstring('%s')", text);
    tk_log(1, "=== RIGHT BEFORE SysAllocStringLen ===");
    std::u16string copy(text);
    clear();
    vt_ = VT_BSTR;
    bstr_ = std::move(copy);
}

void ole_variant::attach_binary(size_t size, const uint8_t* bytes) {
    tk_log(1, "ole_variant::attach_binary(2)");
    TK_ASSERT(bytes != nullptr);
    allocate_safe_array(size);
    std::copy(bytes, bytes + size, bytes_.begin());
}

void ole_variant::attach_binary(const std::vector<uint8_t>& bytes) {
    tk_log(1, "ole_variant::attach_binary(1)");
    allocate_safe_array(bytes.size());
    std::copy(bytes.begin(), bytes.end(), bytes_.begin());
}

void ole_variant::allocate_safe_array(size_t n) {
    tk_log(1, "ole_variant::allocate_safe_array (size=%d)",
           static_cast<int>(std::min(n, kMaxArrayBytes)));
    TK_ASSERT(n <= kMaxArrayBytes);
    if (vt_ == VT_BINARY) {
        tk_log(1, "Redimension array");
        if (bytes_.size() != n) bytes_.resize(n, 0);
        return;
    }
    std::vector<uint8_t> fresh(n, 0);
    clear();
    vt_ = VT_BINARY;
    bytes_ = std::move(fresh);
}

// ---------------------------------------------------------------------------
// Reading

int32_t ole_variant::get_bytes(const uint8_t*& bytes) const {
    tk_log(2, "ole_variant::get_bytes(%d)", static_cast<int>(vt_));
    if (is_empty()) return 0;
    TK_ASSERT(vt_ == VT_BINARY);
    bytes = bytes_.empty() ? nullptr : bytes_.data();
    return get_safe_array_size();
}

int32_t ole_variant::get_bytes(uint8_t*& bytes) {
    const uint8_t* p = nullptr;
    const int32_t n = std::as_const(*this).get_bytes(p);
    if (!is_empty()) bytes = bytes_.empty() ? nullptr : bytes_.data();
    (void)p;
    return n;
}

int32_t ole_variant::get_safe_array_size() const noexcept {
    tk_log(1, "get_safe_array_size");
    if (!is_binary_tag(vt_)) return 0;
    const int32_t upper = static_cast<int32_t>(bytes_.size()) - 1;
    tk_log(1, "lower=%d, upper=%d", 0, upper);
    return upper < 0 ? 0 : upper + 1;
}

ole_systemtime ole_variant::get_date() const noexcept {
    return vt_ == VT_DATE ? date_ : ole_systemtime{};
}

double ole_variant::get_date_number() const noexcept {
    return vt_ == VT_DATE ? real_ : 0.0;
}

ole_cy ole_variant::get_cy() const noexcept {
    return vt_ == VT_CY ? cy_ : ole_cy{};
}

ole_decimal ole_variant::get_decimal() const noexcept {
    return vt_ == VT_DECIMAL ? decimal_ : ole_decimal{};
}

int32_t ole_variant::to_long() const {
    tk_log(2, "ole_variant::to_long(vt=%08X)", static_cast<unsigned>(vt_));
    switch (vt_) {
        case VT_EMPTY:
        case VT_NULL:
            return 0;
        case VT_I1:
        case VT_I2:
        case VT_BOOL:
        case VT_I4:
        case VT_UI1:
        case VT_UI2:
        case VT_UI4:
            // VT_UI4 keeps its 32 bits as they stand.
            return static_cast<int32_t>(static_cast<uint32_t>(integer_));
        case VT_R4:
        case VT_R8: {
            const double v = vt_ == VT_R4 ? static_cast<double>(real4_) : real_;
            // Truncation toward zero; a value no 32-bit integer holds gives 0.
            if (!(v > -2147483649.0 && v < 2147483648.0)) return 0;
            return static_cast<int32_t>(v);
        }
        case VT_DECIMAL: {
            const std::optional<int32_t> v = decimal_.to_long();
            tk_log(1, "from DECIMAL, hr=%08X", v ? ole_s_ok : ole_e_overflow);
            return v.value_or(0);
        }
        case VT_I8:
            return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(i8_)));
        case VT_UI8:
            return static_cast<int32_t>(static_cast<uint32_t>(ui8_));
        default:
            throw TK_MAIL_ASSERTION();
    }
}

double ole_variant::to_double() const {
    tk_log(2, "ole_variant::to_double(%08X)", static_cast<unsigned>(vt_));
    switch (vt_) {
        case VT_EMPTY:
        case VT_NULL:
            return 0.0;
        case VT_I1:
        case VT_I2:
        case VT_BOOL:
        case VT_I4:
        case VT_UI1:
        case VT_UI2:
        case VT_UI4:
            return static_cast<double>(integer_);
        case VT_R4:
            return static_cast<double>(real4_);
        case VT_R8:
            return real_;
        case VT_CY: {
            const double v = cy_.to_double();
            tk_log(1, "from CURRECY: res=%lg, hr=%08X", v, ole_s_ok);
            return v;
        }
        case VT_DECIMAL: {
            const double v = decimal_.to_double();
            tk_log(1, "from DECIMAL: res=%lg, hr=%08X", v, ole_s_ok);
            return v;
        }
        case VT_I8:
            return static_cast<double>(i8_);
        case VT_UI8:
            return static_cast<double>(ui8_);
        default:
            throw TK_MAIL_ASSERTION();
    }
}

bool ole_variant::to_bool() const {
    tk_log(2, "ole_variant::to_bool(vt=%08X)", static_cast<unsigned>(vt_));
    switch (vt_) {
        case VT_EMPTY:
        case VT_NULL:
            return false;
        case VT_BOOL:
            return integer_ == VARIANT_TRUE;
        case VT_I1:
        case VT_I2:
        case VT_I4:
        case VT_UI1:
        case VT_UI2:
        case VT_UI4:
            return integer_ != 0;
        case VT_R4:
            return real4_ != 0.0f;
        case VT_R8:
            return real_ != 0.0;
        case VT_DECIMAL:
            return to_long() != 0;
        case VT_I8:
            return i8_ != 0;
        case VT_UI8:
            return ui8_ != 0;
        default:
            throw TK_MAIL_ASSERTION();
    }
}

std::string ole_variant::to_string() const {
    tk_log(2, "ole_variant::to_string (vt=%08X)", static_cast<unsigned>(vt_));
    switch (vt_) {
        case VT_BINARY: {
            tk_log(1, "Converting VT_ARRAY");
            if (bytes_.empty()) return std::string();
            const size_t n = std::min(bytes_.size(), kMaxPrintedBytes);
            std::string text(2 + 2 * n + 1, '\0');
            text[0] = '0';
            text[1] = 'x';
            tk_hex_text(n, bytes_.data(), text.data() + 2);
            text.pop_back();  // the terminating zero
            return text;
        }
        case VT_DECIMAL:
            tk_log(1, "Converting VT_DECIMAL");
            return with_points(decimal_.to_string());
        case VT_DATE:
            tk_log(1, "Converting VT_DATE");
            return ole_date(date_).to_string(true);
        case VT_CY:
            tk_log(1, "Converting VT_CY");
            return with_points(cy_.to_string());
        case VT_BSTR: {
            std::string narrow;
            if (!tk_ucs2_to_ansi(bstr_, narrow)) return std::string();
            return narrow;
        }
        case VT_BOOL:
            tk_log(1, "to_string - bool: %d", static_cast<int>(integer_));
            tk_log(1, "Mapping BOOL like ANSI!");
            return integer_ == VARIANT_TRUE ? "1" : "0";
        case VT_I1:
        case VT_I2:
        case VT_I4:
        case VT_UI1:
        case VT_UI2:
        case VT_UI4:
        case VT_UINT:
            return std::to_string(integer_);
        case VT_R4:
            return format_scientific(static_cast<double>(real4_), 6);
        case VT_R8:
            return format_scientific(real_, 16);
        case VT_I8:
            return std::to_string(i8_);
        case VT_UI8:
            return std::to_string(ui8_);
        default:
            return std::string();
    }
}

std::u16string ole_variant::to_wstring() const {
    if (vt_ == VT_BSTR) return bstr_;
    std::u16string wide;
    if (!tk_ansi_to_ucs2(to_string(), wide)) return std::u16string();
    return wide;
}

// ---------------------------------------------------------------------------
// Parsing

namespace {

// An integer tag from the number at the start of the text; out of the tag's
// range gives the empty value.
ole_variant integer_from_string(std::string_view text, VARTYPE vt) {
    int64_t min = 0;
    int64_t max = 0;
    switch (vt) {
        case VT_I1:
            min = INT8_MIN, max = INT8_MAX;
            break;
        case VT_UI1:
            max = UINT8_MAX;
            break;
        case VT_I2:
            min = INT16_MIN, max = INT16_MAX;
            break;
        case VT_UI2:
            max = UINT16_MAX;
            break;
        case VT_I4:
            min = INT32_MIN, max = INT32_MAX;
            break;
        case VT_UI4:
            max = UINT32_MAX;
            break;
        case VT_I8:
            min = INT64_MIN, max = INT64_MAX;
            break;
        default:
            break;
    }
    if (vt == VT_UI8) {
        uint64_t u = 0;
        if (ole_leading_unsigned(text, UINT64_MAX, u) == ole_integer_reading::out_of_range) {
            ole_trace(2, "Value out of range for type %d: '%s'", static_cast<int>(vt), text);
            return ole_variant();
        }
        return ole_variant(u);
    }
    int64_t v = 0;
    if (ole_leading_integer(text, min, max, v) == ole_integer_reading::out_of_range) {
        ole_trace(2, "Value out of range for type %d: '%s'", static_cast<int>(vt), text);
        return ole_variant();
    }
    switch (vt) {
        case VT_I1:
            return ole_variant(static_cast<signed char>(v));
        case VT_UI1:
            return ole_variant(static_cast<unsigned char>(v));
        case VT_I2:
            return ole_variant(static_cast<short>(v));
        case VT_UI2:
            return ole_variant(static_cast<unsigned short>(v));
        case VT_I4:
            return ole_variant(static_cast<int>(v));
        case VT_UI4:
            return ole_variant(static_cast<unsigned int>(v));
        default:
            return ole_variant(v);
    }
}

ole_variant binary_from_string(std::string_view text) {
    if (text.size() % 2 != 0) {
        tk_log(2, "Incorrect BLOB (size is odd)");
        return ole_variant();
    }
    if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
    }
    const size_t size = text.size() / 2;
    tk_log(1, "Got BLOB size: %d", static_cast<int>(std::min(size, kMaxArrayBytes)));
    ole_variant v;
    v.allocate_safe_array(size);
    uint8_t* bytes = nullptr;
    v.get_bytes(bytes);
    for (size_t i = 0; i < size; ++i) bytes[i] = hex_pair(text[2 * i], text[2 * i + 1]);
    return v;
}

bool integer_text_is_nonzero(std::string_view text) {
    int64_t v = 0;
    // Any whole part not 0 counts, however large.
    switch (ole_leading_integer(text, INT64_MIN, INT64_MAX, v)) {
        case ole_integer_reading::none:
            return false;
        case ole_integer_reading::out_of_range:
            return true;
        case ole_integer_reading::value:
            return v != 0;
    }
    return false;
}

}  // namespace

ole_variant ole_variant::from_string(std::string_view text, VARTYPE vt) {
    ole_trace(2, "ole_variant::from_string('%s', 0x%08X)", text, static_cast<unsigned>(vt));
    if (text.empty()) return vt == VT_BSTR ? ole_variant(std::u16string_view()) : ole_variant();
    switch (vt) {
        case VT_BINARY:
        case VT_BLOB:
            return binary_from_string(text);
        case VT_I1:
        case VT_I2:
        case VT_I4:
        case VT_UI1:
        case VT_UI2:
        case VT_UI4:
        case VT_I8:
        case VT_UI8:
            // The number at the start of the text, truncated toward zero (an
            // exponent is read too, so that "1.0E+3" is 1000, not 1).
            return integer_from_string(text, vt);
        case VT_R4:
        case VT_R8: {
            const double v = ole_leading_double(with_points(std::string(text)));
            if (vt == VT_R4) {
                // A magnitude beyond float's range becomes infinity (the
                // plain conversion would be undefined).
                constexpr double kMaxFloat = std::numeric_limits<float>::max();
                if (std::isfinite(v) && std::fabs(v) > kMaxFloat) {
                    return ole_variant(v > 0 ? std::numeric_limits<float>::infinity()
                                             : -std::numeric_limits<float>::infinity());
                }
                return ole_variant(static_cast<float>(v));
            }
            return ole_variant(v);
        }
        case VT_CY: {
            tk_log(1, "GOT VT_CY");
            ole_cy cy;
            const uint32_t hr = ole_cy::parse(with_points(std::string(text)), cy);
            if (hr != ole_s_ok) {
                tk_log(3, "VarCyFromStr failed: %08X", hr);
                return ole_variant();
            }
            return ole_variant(cy);
        }
        case VT_DECIMAL: {
            tk_log(1, "GOT VT_DECIMAL");
            ole_decimal d;
            const uint32_t hr = ole_decimal::parse(with_points(std::string(text)), d);
            if (hr != ole_s_ok) {
                tk_log(3, "VarDecFromStr failed: %08X", hr);
                return ole_variant();
            }
            return ole_variant(d);
        }
        case VT_DATE: {
            tk_log(1, "GOT VT_DATE");
            const ole_date date(text);
            if (!date.is_valid()) return ole_variant();
            return ole_variant(date.record());
        }
        case VT_BOOL: {
            std::u16string wide;
            if (tk_ansi_to_ucs2(text, wide)) {
                if (tk_equal_nocase(wide, u"yes") || tk_equal_nocase(wide, u"true")) {
                    return ole_variant(true);
                }
                if (tk_equal_nocase(wide, u"no") || tk_equal_nocase(wide, u"false")) {
                    return ole_variant(false);
                }
            }
            return ole_variant(integer_text_is_nonzero(text));
        }
        case VT_BSTR:
            return ole_variant(text);
        case VT_EMPTY:
            tk_log(1, "VariantChangeType succeeded");
            return ole_variant();
        case VT_INT:
        case VT_UINT: {
            // The whole text as a number, rounded half to even, as the
            // automation conversion does.
            ole_decimal d;
            if (ole_decimal::parse(text, d) == ole_s_ok) {
                const std::optional<int64_t> v = d.to_int64();
                const bool fits = v && (vt == VT_INT ? *v >= INT32_MIN && *v <= INT32_MAX
                                                     : *v >= 0 && *v <= UINT32_MAX);
                if (fits) {
                    tk_log(1, "VariantChangeType succeeded");
                    ole_variant result;
                    result.vt_ = vt;
                    result.integer_ = *v;
                    return result;
                }
            }
            throw ole_type_exception();
        }
        default:
            throw ole_type_exception();
    }
}

ole_variant ole_variant::from_wstring(std::u16string_view text, VARTYPE vt) {
    tk_log(2, "ole_variant::from_wstring");
    if (vt == VT_BSTR) {
        tk_log(1, "Construct ole_variant from BSTR");
        return ole_variant(text);
    }
    tk_log(1, "=== RIGHT BEFORE W2A_EX ===");
    std::string narrow;
    TK_ASSERT(tk_ucs2_to_ansi(text, narrow));
    return from_string(narrow, vt);
}
