// ora_table: one Oracle table, or one query, opened for reading as a
// udb_recordset.
//
// On opening it picks the columns it can read (the native types of
// ora_type_map.h; others are left out with a level-3 line), builds the
// SELECT over them, describes the columns (ora_query_results), completes the
// schema from the catalog (default values, NCHAR/NVARCHAR2 sizes in
// characters, LONG columns of size 0), reads the primary key, unique and plain
// indexes and the foreign keys that refer to the table, and counts the rows.
// The reader then reads that many rows:
//
//     while (!t.is_eof()) { const udb_record* r = t.get_item(); ...; t.next(); }
//
// Rows added after the opening are not read; when rows were removed meanwhile
// the table ends at the last row the server still has.  move_first does
// nothing: a table is read once.
//
// The Oracle writer's operations (append_record, update,
// reset_not_null_flag) are not part of this build: they raise
// tk_mail_assertion.
//
// Ownership: created by ora_database::get_table and owned by the caller; the
// database (whose relationship list it fills) and the engine must outlive it.
// The record from get_item stays owned by the table (ora_query_results).
// One thread.
#pragma once

#include <cstdint>
#include <string>

#include "ora_query_results.h"

class ora_database;
class udb_relationships;

class ora_table : public ora_query_results {
  public:
    // Opens a table by name with its indexes and foreign keys (the form
    // ora_database::get_table(name, open_mode) uses).  Logs
    // "ora_table::ora_table(%s)".  Raises ora_exception when a catalog query
    // or the table's query fails (for example when no column can be read).
    ora_table(ora_database& database, std::u16string name, udb_relationships& relationships);
    // Opens a table (query_text empty) or a query without reading indexes;
    // the row count is that of the query when one is given.
    ora_table(ora_database& database, std::u16string name, std::u16string query_text,
              udb_relationships& relationships, int flag);
    // Logs "ora_table::dtor".
    ~ora_table() override;

    // Fetches the next row unless the counted rows have been read.
    // REQUIRES: initialized (otherwise tk_mail_assertion).
    bool is_eof() override;
    // Logs "ora_table::next" and counts the row as consumed.
    void next() override;

    // The Oracle writer's operations: tk_mail_assertion.
    void append_record(const udb_record& record) override;
    void update(const udb_record& record) override;
    void reset_not_null_flag(uint32_t field_index);

    // The default value of a column of the VT code from the catalog's
    // DATA_DEFAULT text: a quoted text loses its quotes (and '' becomes '),
    // other texts are converted to the VT code; an unquoted text for a text
    // column, any default of a date column, and a text that does not convert
    // give the empty value.  Logs "ora_table::get_def_value(...)".
    static ole_variant get_def_value(VARTYPE vartype, const std::u16string& text);

    // Rows consumed so far.
    uint32_t position() const noexcept { return position_; }
    ora_database& database() const noexcept { return *database_; }

  private:
    void open(bool with_indexes);
    void init_schema();
    int32_t get_columns_cnt();
    std::u16string get_safe_select_query(uint32_t& n_columns);
    void init_indexes();

    uint32_t position_ = 0;
    ora_database* database_;
    udb_relationships* relationships_;
};
