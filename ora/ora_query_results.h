// ora_query_results: a forward-only result set over one Oracle SELECT.
//
// Describes the query's columns, makes one column object per column
// (ora_type.h), binds their buffers, executes the query and hands out one
// record per fetched row.  It is a udb_recordset, so the conversion can read
// an Oracle query like any table; ora_table derives from it and the catalog
// reads its own queries through it.
//
// Reading:  while (!rs.is_eof()) { const udb_record* r = rs.get_item(); ... }
// get_item without is_eof fetches the next row itself.  Rows are read once,
// forward only.  A fetch that reports the end of the data ends the result:
// is_eof stays true and get_item returns null, no row is built from the
// buffers of an earlier one.  A value that OCI reports as cut by its buffer
// raises ora_exception (ORA-01406) naming the table, column and record; the
// record is not handed out.
//
// Ownership: the result set owns its statement, its column objects and the
// record it hands out, which stays valid until the next is_eof / get_item or
// the result set's destruction.  The engine must outlive the result set.
// One thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ora_stmt.h"
#include "ora_type.h"
#include "udb_recordset.h"

class ora_query_results : public udb_recordset {
  public:
    using column_list = ora_record::column_list;

    // Logs "ora_query_results::ctor(1)" and initializes on the query.
    // n_columns 0: the count is asked from the server.  Raises ora_exception
    // when the query fails; the object is then not built.
    ora_query_results(uint32_t n_columns, const std::u16string& query);
    // Logs "ora_query_results::dtor", releases the record, the column
    // objects and the statement.
    ~ora_query_results() override;

    // Describes the query on a temporary statement, builds the columns and
    // the schema, then prepares, binds and executes it on the reading
    // statement.  REQUIRES: not initialized yet (otherwise tk_mail_assertion).
    // Raises ora_exception for OCI errors; the result set must then be
    // destroyed.
    void initialize(uint32_t n_columns, const std::u16string& query);

    // Fetches the next row; true when there is none.
    // REQUIRES: initialized (otherwise tk_mail_assertion).
    bool is_eof() override;
    // The current row, owned by the result set, or null at the end.
    udb_record* get_item() override;
    // Not supported: logs "ora_query_results::append_record" and raises
    // tk_mail_assertion.
    void append_record(const udb_record& record) override;

    // The column object for an OCI data type code; the parameter descriptor
    // gives the column's name and attributes.  Codes without a reader give an
    // ora_dummy.  Raises ora_exception when OCI refuses an attribute.
    static std::unique_ptr<ora_type> gen_co_by_type(OCIParam* parameter, uint16_t data_type);

    uint32_t n_columns() const noexcept { return n_columns_; }
    bool initialized() const noexcept { return initialized_; }
    const column_list& columns() const noexcept { return columns_; }
    // The number of rows fetched so far.
    uint32_t rows_fetched() const noexcept { return rows_fetched_; }

  protected:
    // For ora_table: name and query text (may be empty) of the recordset;
    // logs "ora_query_results::ctor(2)".  The derived class calls initialize.
    ora_query_results(std::u16string table_name, std::u16string query_text);

    // One OCIStmtFetch of a row on the reading statement: true when a row
    // arrived, false at the end of the data (and from then on).
    bool fetch_row();
    // Marks the fetched row as waiting for get_item.
    void set_fetched(bool fetched) noexcept { fetched_ = fetched; }
    column_list& columns() noexcept { return columns_; }

  private:
    bool fetched_ = false;
    uint32_t n_columns_ = 0;
    bool initialized_ = false;
    ora_stmt stmt_;
    column_list columns_;
    std::unique_ptr<ora_record> current_;
    bool at_end_ = false;
    uint32_t rows_fetched_ = 0;
};
