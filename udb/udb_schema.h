// Field type descriptors and schemas of the universal data model.
//
// A schema (udb_schema) is the ordered list of field type descriptors (t_ftd)
// that describes a table whatever its storage: the Oracle reader builds one
// descriptor per readable column, the DBF layer turns descriptors into DBF
// field descriptors and back.  Before rows are appended to an existing table,
// the conversion asks whether the source schema conforms to the destination's.
//
// Ownership: a schema owns its descriptors (heap objects, destroyed with the
// schema); copying a schema copies every descriptor.  Not thread-safe; used by
// the conversion's thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "ole_variant.h"
#include "udb_ptr_list.h"

// One field type descriptor: what a column is called, which values it holds
// and how large they may be.  A plain value; copy it freely.
class t_ftd {
  public:
    // Logs "t_ftd::ctor2" and the descriptor (level 1).  The default value is
    // copied; VT_EMPTY means the column has no default.
    t_ftd(uint32_t size, std::u16string name, uint16_t vartype, bool b_not_null = false,
          bool b_auto_increment = false, const ole_variant& default_value = ole_variant(),
          uint32_t reserved = 0, std::u16string type_name = std::u16string());

    // Whether values described by this (source) descriptor can be stored in
    // a column described by dest.  Names are not compared.  Logs
    // "t_ftd::conform_to" and "t_ftd::operator ==".  The rules, first match
    // wins: DECIMAL and CY are interchangeable; the same tag conforms (texts
    // only with equal sizes, otherwise the text rule applies); a date takes a
    // date or a 19-character text; an empty/null destination takes nothing;
    // I2/I4/R4/R8/CY take any number; a text takes any non-binary value, and a
    // text when it fits; BOOL/DECIMAL/I1..UINT take any number; a binary takes
    // any scalar, and a text or binary when it fits; anything else does not.
    // "Fits": dest.size is 0 (unlimited) or at least this size.
    bool conform_to(const t_ftd& dest) const;

    // Declared length: characters for texts, bytes for binaries, the source's
    // length for numbers (the DBF field width when read from a DBF file).
    uint32_t size;
    // The column name.
    std::u16string name;
    // The VARTYPE tag of the column's values.
    uint16_t vartype;
    // The storage's own type name where it needs one ("LONG"); empty otherwise.
    std::u16string type_name;
    // The storage generates the column's values.
    bool b_auto_increment;
    // The column may not hold nulls.
    bool b_not_null;
    // The column's default value; VT_EMPTY when it has none.
    ole_variant default_value;
    // A tag-dependent refinement: VT_DATE 1 date and time, 2 date only,
    // 3 time only, 0 not refined; VT_DECIMAL precision * 256 + scale (0: no
    // precision given); VT_BSTR 10 marks a long text for the Oracle writer;
    // 0 for every other tag.
    uint32_t reserved;
};

// The ordered field descriptors of one table.
//
// Owns its descriptors.  Name searches compare whole names without regard to
// case (Unicode case folding) and take the first match in column order.
class udb_schema : public udb_ptr_list<t_ftd> {
  public:
    // flag: a storage-chosen mark carried with the schema (the Oracle side
    // sets it); it does not change ownership: the schema always owns its
    // descriptors.
    explicit udb_schema(bool flag = false) : flag_(flag) {}
    // Deep copy: every descriptor is copied.
    udb_schema(const udb_schema& other);
    udb_schema& operator=(const udb_schema& other);
    udb_schema(udb_schema&&) noexcept = default;
    udb_schema& operator=(udb_schema&&) noexcept = default;
    virtual ~udb_schema();

    bool flag() const noexcept { return flag_; }

    // Appends a copy of the descriptor; returns the stored one.
    t_ftd& add(const t_ftd& ftd) { return emplace_back(ftd); }

    // Whether a column of that name exists.  Logs "udb_schema::find_field(%s)"
    // and "Processing %s" for each column inspected.
    bool has_field(const std::u16string& name) const;
    // The same search: returns whether found and, when found, sets ftd.
    bool find_field(const std::u16string& name, const t_ftd*& ftd) const;
    // The descriptor of that name.
    // REQUIRES: the name exists (otherwise tk_mail_assertion).
    const t_ftd& find_field(const std::u16string& name) const;
    t_ftd& find_field(const std::u16string& name);
    // The 0-based position of the column of that name, or -1.  Logs
    // "udb_schema::get_field_idx(%s)".
    int get_field_idx(const std::u16string& name) const;

    // Whether rows of this (source) schema can be appended to a table of the
    // dest schema: the same number of columns, each conforming by position
    // (t_ftd::conform_to).  Two empty schemas conform.  Logs
    // "udb_schema::conform_to" and, at level 2, the reason for a refusal.
    bool conform_to(const udb_schema& dest) const;

  private:
    bool flag_;
};
