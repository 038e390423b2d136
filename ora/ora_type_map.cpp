#include "ora_type_map.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

#include "ole_date.h"
#include "tk_exception.h"
#include "tk_logger.h"
#include "tk_string.h"
#include "udb_field.h"
#include "udb_schema.h"

namespace {

std::u16string widen_ascii(const std::string& s) {
    return std::u16string(s.begin(), s.end());
}

std::u16string format_number(const char* format, int a, int b = 0) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, a, b);
    return widen_ascii(buffer);
}

bool is_hex(char16_t c) {
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

bool is_digit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

// A number text as the C locale reads it, whatever the process's locale.
bool read_double(const std::string& text, double& out) {
    std::string_view t = text;
    if (!t.empty() && t.front() == '+') t.remove_prefix(1);
    const auto r = std::from_chars(t.data(), t.data() + t.size(), out);
    return r.ec == std::errc() || r.ec == std::errc::result_out_of_range;
}

std::u16string date_literal(const std::u16string& text) {
    ole_date date{std::u16string_view(text)};
    if (!date.is_valid()) return {};
    switch (date.kind()) {
        case ole_date::kind_time: {
            std::u16string printed = date.to_wstring();
            const size_t at = printed.find(u"0000-00-00 ");
            if (at != std::u16string::npos) {
                tk_log(1, "Null date has been found");
                printed.erase(at, 11);
            }
            return u"to_date('" + printed + u"', 'HH24-MI-SS')";
        }
        case ole_date::kind_date:
            return u"to_date('" + date.to_wstring() + u"', 'YYYY-MM-DD')";
        default:
            return u"to_date('" + date.to_wstring() + u"', 'YYYY-MM-DD HH24:MI:SS')";
    }
}

std::u16string binary_literal(const std::u16string& text) {
    tk_log(1, "GOT BLOB");
    bool valid = text.size() >= 2 && is_digit(text[0]);
    if (valid) {
        if (text[1] == u'x' || text[1] == u'X') {
            valid = text[0] == u'0';
            for (size_t i = 2; valid && i < text.size(); ++i) valid = is_hex(text[i]);
        } else {
            for (size_t i = 1; valid && i < text.size(); ++i) valid = is_digit(text[i]);
        }
    }
    if (!valid) return u"''";
    tk_log(1, "BLOB IS VALID");
    return u"'" + text.substr(2) + u"'";
}

}  // namespace

const std::set<std::u16string>& get_native_types() {
    static const std::set<std::u16string> types = {
        u"VARCHAR",      u"VARCHAR2",     u"NVARCHAR2",    u"NUMBER",        u"FLOAT",
        u"LONG",         u"DATE",         u"BINARY_FLOAT", u"BINARY_DOUBLE", u"TIMESTAMP",
        u"TIMESTAMP(3)", u"TIMESTAMP(6)", u"RAW",          u"LONG RAW",      u"ROWID",
        u"UROWID",       u"CHAR",         u"BYTE",         u"NCHAR",         u"CLOB",
        u"NCLOB",        u"BLOB",         u"BFILE"};
    return types;
}

VARTYPE get_refined_num_type(uint32_t& precision, uint32_t& scale) {
    tk_log(2, "get_refined_num_type(prec=%d,scale=%d)", static_cast<int>(precision),
           static_cast<int>(scale));
    if (precision == 0 || precision > 38) return VT_R8;
    if (scale != 0) {
        if (precision == scale) ++precision;
        return VT_DECIMAL;
    }
    tk_log(1, "Refine type mapping for int (prec=%d)", static_cast<int>(precision));
    if (precision < 3) return VT_I1;
    if (precision < 5) return VT_I2;
    if (precision < 10) return VT_I4;
    if (precision <= 20) return VT_I8;
    return VT_R8;
}

std::u16string get_ora_native_type(const t_ftd& ftd, bool b_no_size) {
    tk_log(2, "get_ora_native_type [Oracle]");
    switch (ftd.vartype) {
        case VT_BOOL:
        case VT_I1:
            return b_no_size ? u"NUMBER" : u"NUMBER(3,0)";
        case VT_I2:
        case VT_UI1:
            return b_no_size ? u"NUMBER" : u"NUMBER(5,0)";
        case VT_I4:
        case VT_UI2:
        case VT_INT:
            return b_no_size ? u"NUMBER" : u"NUMBER(11,0)";
        case VT_UI4:
        case VT_I8:
        case VT_UI8:
        case VT_UINT:
            return b_no_size ? u"NUMBER" : u"NUMBER(19,0)";
        case VT_R4:
        case VT_R8:
        case VT_CY:
            return u"NUMBER";
        case VT_DECIMAL: {
            if (b_no_size) return u"NUMBER";
            const int scale = static_cast<int>(ftd.reserved & 0xFF);
            const int precision =
                ftd.reserved == 0 ? 0 : static_cast<int>((ftd.reserved >> 8) & 0xFF);
            return format_number("NUMBER(%d,%d)", precision, scale);
        }
        case VT_DATE:
            return ftd.reserved == 1 ? u"TIMESTAMP" : u"DATE";
        case VT_BSTR:
            tk_log(1, "process as text");
            if (ftd.size >= 1 && ftd.size <= 2000) {
                return b_no_size ? u"NVARCHAR2"
                                 : format_number("NVARCHAR2(%d) ", static_cast<int>(ftd.size));
            }
            return ftd.reserved == 10 ? u"LONG" : u"CLOB";
        case VT_BLOB:
            tk_log(1, "process as binary");
            if (ftd.size >= 1 && ftd.size <= 2000) {
                return b_no_size ? u"RAW" : format_number("RAW(%d)", static_cast<int>(ftd.size));
            }
            return u"BLOB";
        default:
            throw TK_MAIL_ASSERTION();
    }
}

std::u16string to_oracle_str(const std::u16string& text, VARTYPE vartype) {
    tk_wlog(2, u"to_oracle_str(%s,%d)", text, static_cast<int>(vartype));
    if (text.empty()) return u"''";
    switch (vartype) {
        case VT_DATE:
            return date_literal(text);
        case VT_BLOB:
        case VT_BLOB_OBJECT:
        case VT_BINARY:
            return binary_literal(text);
        default: {
            std::u16string doubled = tk_wstring(text).replace_all(u"'", u"''");
            if (vartype == VT_BSTR) return u"'" + doubled + u"'";
            return doubled;
        }
    }
}

ole_guid_extractor::ole_guid_extractor(const std::u16string& text) {
    extract(text);
}

ole_guid_extractor::ole_guid_extractor(const std::string& text) {
    std::u16string wide;
    if (!tk_ansi_to_ucs2(text, wide)) wide.clear();
    extract(wide);
}

void ole_guid_extractor::extract(const std::u16string& text) {
    tk_wlog(2, u"ole_guid_extractor::ctor(%s)", text);
    if (text.size() < 45) return;
    const size_t lower = text.find(u"guid");
    const size_t upper = text.find(u"GUID");
    tk_log(1, "Locating 'guid' (%d : %d)",
           lower == std::u16string::npos ? -1 : static_cast<int>(lower),
           upper == std::u16string::npos ? -1 : static_cast<int>(upper));
    const size_t found = lower != std::u16string::npos ? lower : upper;
    if (found == std::u16string::npos) return;
    const size_t brace = text.find(u'{', found + 4);
    if (brace == std::u16string::npos) return;
    is_guid_ = true;
    size_t at = brace + 1;
    for (const size_t group : {8u, 4u, 4u, 4u, 12u}) {
        const size_t take = std::min(group, text.size() - std::min(at, text.size()));
        digits_.append(text, std::min(at, text.size()), take);
        at += take;
        if (at < text.size() && text[at] == u'-') ++at;
    }
}

std::u16string to_oracle_str(const udb_field* field) {
    tk_log(2, "to_oracle_str( const udb_field *  )");
    TK_ASSERT(field != nullptr);
    const VARTYPE vt = field->vt();
    const std::u16string text = field->to_wstring();
    if (vt == VT_BSTR || vt == VT_BLOB || vt == VT_BINARY) {
        const ole_guid_extractor guid(text);
        if (guid.is_guid()) {
            tk_log(1, "FIELD IS A GUID!");
            const std::u16string& d = guid.digits();
            TK_ASSERT(d.size() == 32);
            std::u16string bytes;
            for (const size_t pair : {6u, 4u, 2u, 0u, 10u, 8u, 14u, 12u}) bytes.append(d, pair, 2);
            bytes.append(d, 16, 16);
            tk_wlog(1, u"ora_guid=%s", bytes);
            return u"HEXTORAW('" + bytes + u"')";
        }
    }
    return to_oracle_str(text, vt);
}

std::u16string make_ora_def_val(const t_ftd* ftd) {
    TK_ASSERT(ftd != nullptr);
    std::u16string text = ftd->default_value.to_wstring();
    tk_wlog(2, u"make_ora_def_val(%s)", text);
    if (text.empty()) {
        tk_log(1, "Got empty def value");
        return {};
    }
    std::string narrow;
    if (!tk_ucs2_to_ansi(text, narrow)) narrow.clear();
    switch (ftd->vartype) {
        case VT_BSTR:
            tk_wlog(1, u"Got BSTR or DATE def value: %s", text);
            // Size 0 is a text without a declared limit.
            if (ftd->size > 0 && text.size() > ftd->size) text.resize(ftd->size);
            return to_oracle_str(text, VT_BSTR);
        case VT_I1:
        case VT_I2:
        case VT_I4:
        case VT_INT:
        case VT_UI1:
        case VT_UI2:
        case VT_UI4:
        case VT_UINT:
        case VT_BOOL: {
            const long long value = std::strtoll(narrow.c_str(), nullptr, 10);
            if (std::to_string(value) != narrow) return {};
            return text;
        }
        case VT_DECIMAL:
        case VT_R4:
        case VT_CY:
        case VT_R8: {
            double value = 0;
            if (!read_double(narrow, value)) value = 0;
            if (!(value >= -1e126 && value <= 1e126)) {
                tk_log(1, "def value is out of range");
                return u"0";
            }
            if (value != 0) return text;
            if (narrow.find_first_not_of("eE-+.,0") == std::string::npos) return text;
            return {};
        }
        case VT_DATE: {
            tk_log(1, "Got DATE def value");
            const ole_date date{std::u16string_view(text)};
            if (!date.is_valid()) return {};
            const std::u16string printed = date.to_wstring();
            tk_wlog(1, u"After canonization: %s", printed);
            return to_oracle_str(printed, VT_DATE);
        }
        default:
            return {};
    }
}
