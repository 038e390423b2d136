// ora_database: the Oracle side of udb_database, the source database of a
// conversion for one open session.
//
// Created by ora_engine::open_db.  Lists the tables the user may convert
// (get_tables, through the USER_ or ALL_ catalog by the engine's
// owned_by_user), holds the text of the user's views, opens a table or a
// query for reading (ora_table), runs statements, and translates table and
// field names through its names map.  Table names are the bare names while
// the engine reads the USER_ views, owner "." table otherwise.  The writing
// operations (create_table, create_views, create_relationships,
// create_fk_index_if) belong to the Oracle writer, which is not part of this
// build: they raise tk_mail_assertion.
//
// Ownership: the database belongs to whoever opened it and must not outlive
// the engine; the recordsets it returns belong to the caller and must not
// outlive it.  One thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "udb_database.h"

class ora_database : public udb_database {
  public:
    // Logs "ora_database::ctor(%s)".  With the top bit of flags clear (the
    // engine passes 1) reads the views at once; an error there is logged at
    // level 3 ("Error while extracting views:") and the database stays
    // usable.  REQUIRES: an engine with an open session.
    ora_database(std::u16string data_source, uint8_t flags);
    ~ora_database() override;

    // The Oracle writer's operations: tk_mail_assertion.
    std::unique_ptr<udb_recordset> create_table(const std::u16string& name,
                                                const udb_schema& schema,
                                                const udb_indexes& indexes) override;
    void create_views(const view_list& views) override;
    void create_relationships(const udb_relationships& relationships) override;
    void create_fk_index_if(const std::u16string& table, const std::vector<std::u16string>& fields);

    // Opens the table (query_text empty) or the query's result for reading,
    // with the count of rows to read; no indexes are read.  The caller owns
    // the result.  Raises ora_exception when the catalog or the query fails.
    std::unique_ptr<udb_recordset> get_table(const std::u16string& name,
                                             const std::u16string& query_text, int flag) override;
    // Opens a listed table with its schema, indexes, foreign keys and row
    // count.  REQUIRES: the table is listed (is_table_exist; otherwise
    // tk_mail_assertion).  Raises ora_exception when a catalog query or the
    // table's query fails.
    std::unique_ptr<udb_recordset> get_table(const std::u16string& name, int open_mode) override;
    // Runs a statement that returns no rows; ora_exception when it fails.
    void query(const std::u16string& statement) override;
    // Parses the statement without running it: true, or ora_exception for a
    // statement that does not parse.
    bool test_query(const std::u16string& statement) override;
    // Empties the table list and refills it from the catalog (init_tables
    // with the engine's owned_by_user).
    const std::vector<std::u16string>& get_tables() override;

    // Fills the view list from SYS.USER_VIEWS (the user's own views).
    void init_views();
    // Appends the names of the tables of the catalog to the table list:
    // owned_by_user the user's tables, else owner "." table of every visible
    // table; the queries for servers before 8.0 list temporary and nested
    // tables too.  A failing fetch ends the list with the names read so far.
    void init_tables(bool owned_by_user);

    // The table's name after renamings of the names map (itself when it has
    // none); see the comments in the implementation for the matching rules.
    std::u16string get_tn_mapped_name_ex(const std::u16string& table_name) const;
    // The field's name after renamings of the table's field map.
    std::u16string get_fn_mapped_name_ex(const std::u16string& table_name,
                                         const std::u16string& field_name) const;
    // The view text adapted for Oracle: brackets become double quotes (or go,
    // with b_upper_case), DISTINCTROW goes, a ";" among the last three
    // characters becomes a blank, and renamed tables and fields take their
    // new names.
    std::u16string refine_view_in(const std::u16string& text) const;

    bool b_upper_case() const noexcept { return b_upper_case_; }

  private:
    bool b_upper_case_ = false;
};
