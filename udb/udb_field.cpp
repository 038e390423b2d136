#include "udb_field.h"

#include "tk_logger.h"
#include "tk_string.h"
#include "udb_record.h"

udb_field::udb_field(std::u16string name, int32_t size, const ole_variant& value, bool flag1,
                     bool flag2)
    : ole_variant(value), size_(size), name_(std::move(name)), flag1_(flag1), flag2_(flag2) {
    tk_log(1, "udb_field::ctor #2");
    tk_wlog(1, u"name=%s, size=%d", name_, static_cast<int>(size_));
}

udb_field::~udb_field() = default;

uint16_t udb_field::get_type() const {
    tk_log(2, "ole_variant::get_type");
    return vt();
}

udb_record::~udb_record() = default;

const udb_field* udb_record::find(const std::u16string& name) const {
    for (const udb_field& f : *this) {
        if (tk_equal_nocase(f.name(), name)) return &f;
    }
    return nullptr;
}

udb_field* udb_record::find(const std::u16string& name) {
    return const_cast<udb_field*>(static_cast<const udb_record&>(*this).find(name));
}
