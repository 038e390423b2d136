#include "udb_schema.h"

#include "tk_exception.h"
#include "tk_logger.h"
#include "tk_string.h"

namespace {

bool is_string(VARTYPE vt) {
    return vt == VT_BSTR || vt == VT_LPSTR || vt == VT_LPWSTR;
}

bool is_binary(VARTYPE vt) {
    return vt == VT_BLOB || vt == VT_BLOB_OBJECT || vt == (VT_ARRAY | VT_UI1);
}

bool is_numeric(VARTYPE vt) {
    switch (vt) {
        case VT_BOOL:
        case VT_I1:
        case VT_I2:
        case VT_I4:
        case VT_I8:
        case VT_UI1:
        case VT_UI2:
        case VT_UI4:
        case VT_UI8:
        case VT_R4:
        case VT_R8:
        case VT_DECIMAL:
        case VT_CY:
            return true;
        default:
            return false;
    }
}

}  // namespace

t_ftd::t_ftd(uint32_t size_, std::u16string name_, uint16_t vartype_, bool b_not_null_,
             bool b_auto_increment_, const ole_variant& default_value_, uint32_t reserved_,
             std::u16string type_name_)
    : size(size_),
      name(std::move(name_)),
      vartype(vartype_),
      type_name(std::move(type_name_)),
      b_auto_increment(b_auto_increment_),
      b_not_null(b_not_null_),
      default_value(default_value_),
      reserved(reserved_) {
    tk_log(1, "t_ftd::ctor2");
    tk_wlog(1, u"\tfield name='%s', vartype=%d, size=%d, b_not_null=%d, reserved=%d", name,
            static_cast<int>(vartype), static_cast<int>(size), static_cast<int>(b_not_null),
            static_cast<int>(reserved));
}

bool t_ftd::conform_to(const t_ftd& dest) const {
    tk_log(2, "t_ftd::conform_to");
    tk_log(1, "t_ftd::operator ==");
    const VARTYPE s = vartype;
    const VARTYPE d = dest.vartype;
    const bool fits = dest.size == 0 || dest.size >= size;

    // Each rule below decides as soon as its condition on the tags holds.
    if ((s == VT_DECIMAL && d == VT_CY) || (s == VT_CY && d == VT_DECIMAL)) return true;
    if (s == d && (s != VT_BSTR || size == dest.size)) return true;
    // Texts of different sizes fall through to the text rule; the date and
    // number rules cannot match a text destination.
    if (d == VT_DATE) return s == VT_DATE || (s == VT_BSTR && size == 19);
    if (d == VT_EMPTY || d == VT_NULL) return false;
    if (d == VT_I2 || d == VT_I4 || d == VT_R4 || d == VT_R8 || d == VT_CY) return is_numeric(s);
    if (is_string(d)) return is_string(s) ? fits : !is_binary(s);
    if (d == VT_BOOL || d == VT_DECIMAL || (d >= VT_I1 && d <= VT_UINT)) return is_numeric(s);
    if (is_binary(d)) return (is_string(s) || is_binary(s)) ? fits : true;
    return false;
}

udb_schema::udb_schema(const udb_schema& other) : flag_(other.flag_) {
    reserve(other.size());
    for (const t_ftd& ftd : other) emplace_back(ftd);
}

udb_schema& udb_schema::operator=(const udb_schema& other) {
    if (this != &other) {
        udb_schema copy(other);
        *this = std::move(copy);
    }
    return *this;
}

udb_schema::~udb_schema() = default;

bool udb_schema::find_field(const std::u16string& name, const t_ftd*& ftd) const {
    tk_wlog(2, u"udb_schema::find_field(%s)", name);
    for (const t_ftd& f : *this) {
        tk_wlog(1, u"Processing %s", f.name);
        if (tk_equal_nocase(f.name, name)) {
            ftd = &f;
            return true;
        }
    }
    return false;
}

bool udb_schema::has_field(const std::u16string& name) const {
    const t_ftd* ftd = nullptr;
    return find_field(name, ftd);
}

const t_ftd& udb_schema::find_field(const std::u16string& name) const {
    const t_ftd* ftd = nullptr;
    TK_ASSERT(find_field(name, ftd));
    return *ftd;
}

t_ftd& udb_schema::find_field(const std::u16string& name) {
    return const_cast<t_ftd&>(static_cast<const udb_schema&>(*this).find_field(name));
}

int udb_schema::get_field_idx(const std::u16string& name) const {
    tk_wlog(2, u"udb_schema::get_field_idx(%s)", name);
    int i = 0;
    for (const t_ftd& f : *this) {
        if (tk_equal_nocase(f.name, name)) return i;
        ++i;
    }
    return -1;
}

bool udb_schema::conform_to(const udb_schema& dest) const {
    tk_log(2, "udb_schema::conform_to");
    if (size() != dest.size()) {
        tk_log(2, "Tables are not conformed: src_size=%d, dest_size=%d", static_cast<int>(size()),
               static_cast<int>(dest.size()));
        return false;
    }
    for (size_t i = 0; i < size(); ++i) {
        const t_ftd& s = (*this)[i];
        const t_ftd& d = dest[i];
        if (!s.conform_to(d)) {
            tk_log(2,
                   "Column #%d doesn't conform (src_vt=%d, src_size=%d, dest_vt=%d, dest_size=%d)",
                   static_cast<int>(i + 1), static_cast<int>(s.vartype), static_cast<int>(s.size),
                   static_cast<int>(d.vartype), static_cast<int>(d.size));
            return false;
        }
    }
    return true;
}
