// udb_record: one row, the ordered fields of a table's record.
//
// The record owns its fields and destroys each (through its virtual
// destructor) when it is destroyed or cleared.  Storages derive their own
// records (dbf_record, ora_record) and fill the list with their own field
// classes.  A record handed out by a recordset (udb_recordset::get_item)
// stays owned by the recordset.  Records are not copyable, since their fields
// may be of derived classes; copy the fields you keep (udb_field is copyable).
// Not thread-safe.
#pragma once

#include <string>

#include "udb_field.h"
#include "udb_ptr_list.h"

class udb_record : public udb_ptr_list<udb_field> {
  public:
    udb_record() = default;
    udb_record(udb_record&&) noexcept = default;
    udb_record& operator=(udb_record&&) noexcept = default;
    virtual ~udb_record();

    // The first field whose name equals name without regard to case, or
    // nullptr.  Not owned by the caller.
    const udb_field* find(const std::u16string& name) const;
    udb_field* find(const std::u16string& name);
};
