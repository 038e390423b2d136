// udb_recordset: one open table of some storage, with its schema, its
// indexes and a cursor over its records.
//
// The conversion reads a source recordset with
//     move_first(); while (!is_eof()) { use(get_item()); next(); }
// and writes a destination recordset with append_record.  Storages derive
// from this class and override what they support; the base moves nothing and
// is at its end.
//
// Ownership: the recordset owns its schema, its index list and every record
// it hands out; a record from get_item stays valid until the next cursor
// operation or the recordset's destruction.  Whoever opened the recordset
// (udb_database::create_table / get_table) owns it.  Not thread-safe.
#pragma once

#include <cstdint>
#include <string>

#include "udb_indexes.h"
#include "udb_record.h"
#include "udb_schema.h"

class udb_recordset {
  public:
    // name: the table name (empty for a query).  schema_flag: the mark the
    // schema carries (udb_schema::flag).
    udb_recordset(std::u16string name, bool schema_flag);
    udb_recordset(const udb_recordset&) = delete;
    udb_recordset& operator=(const udb_recordset&) = delete;
    virtual ~udb_recordset();

    // Writes one record at the end of the table.  Failures raise the storage's
    // exception; the record stays the caller's.
    virtual void append_record(const udb_record& record) = 0;
    // Updates the row that the record's key values select.  The base logs
    // "udb_recordset::update" and does nothing else.
    virtual void update(const udb_record& record);
    // The current record, owned by the recordset (valid until the next cursor
    // operation), or nullptr when there is none.  The base has none.
    virtual udb_record* get_item();
    // Whether the cursor is past the last record.  The base is always at the end.
    virtual bool is_eof();
    // Whether the auxiliary text (a storage's query text) is set.
    virtual bool has_aux_text() const;
    // Cursor moves: to the next, the previous and the first record.  The base
    // does nothing.
    virtual void next();
    virtual void prev();
    virtual void move_first();

    // Adds the index unless one of that name exists; remembers the position
    // of the first primary or unique index added.  Logs
    // "udb_recordset::add_index (%s)".
    void add_index(const udb_index& index);

    const std::u16string& name() const noexcept { return name_; }
    const std::u16string& aux_text() const noexcept { return aux_text_; }
    void set_aux_text(std::u16string text) { aux_text_ = std::move(text); }
    const udb_schema& schema() const noexcept { return schema_; }
    udb_schema& schema() noexcept { return schema_; }
    const udb_indexes& indexes() const noexcept { return indexes_; }
    // The storage's record counter (the Oracle reader keeps the row count in
    // it); 0 until a storage sets it.
    uint32_t counter() const noexcept { return counter_; }
    void set_counter(uint32_t counter) noexcept { counter_ = counter; }
    // Position in indexes() of the first primary or unique index, or -1.
    int primary_index_pos() const noexcept { return primary_index_pos_; }
    // That index, or nullptr while there is none.
    const udb_index* primary_index() const;

  protected:
    std::u16string aux_text_;
    std::u16string name_;
    udb_schema schema_;
    udb_indexes indexes_;
    uint32_t counter_ = 0;
    int primary_index_pos_ = -1;
};
