// udb_field: one named, sized value of a row.
//
// A field is itself a value (it derives from ole_variant) and adds the
// column's name and size.  Storages derive their own fields (the DBF reader
// decodes record bytes into one).  Records own their fields (udb_record.h).
// Not thread-safe.
#pragma once

#include <cstdint>
#include <string>

#include "ole_variant.h"

class udb_field : public ole_variant {
  public:
    // Copies value.  Logs "udb_field::ctor #2" and "name=%s, size=%d" (level 1).
    // The two flags are reserved for storages; everything in this system
    // passes false.
    udb_field(std::u16string name, int32_t size, const ole_variant& value, bool flag1 = false,
              bool flag2 = false);
    udb_field(const udb_field&) = default;
    udb_field& operator=(const udb_field&) = default;
    udb_field(udb_field&&) noexcept = default;
    udb_field& operator=(udb_field&&) noexcept = default;
    ~udb_field() override;

    // The VARTYPE tag of the value.  Logs "ole_variant::get_type".
    virtual uint16_t get_type() const;

    const std::u16string& name() const noexcept { return name_; }
    void set_name(std::u16string name) { name_ = std::move(name); }
    int32_t size() const noexcept { return size_; }
    void set_size(int32_t size) noexcept { size_ = size; }
    bool flag1() const noexcept { return flag1_; }
    bool flag2() const noexcept { return flag2_; }

    // The value part (the field seen as a plain value).
    const ole_variant& value() const noexcept { return *this; }
    ole_variant& value() noexcept { return *this; }

  private:
    int32_t size_;
    std::u16string name_;
    bool flag1_;
    bool flag2_;
};
