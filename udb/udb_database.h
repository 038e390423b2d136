// udb_database: a storage seen as a set of named tables.
//
// The conversion opens a source database (Oracle) and a destination database
// (a DBF folder) and moves rows between their tables through this interface.
// The base keeps what every storage shares: the path, the open mode, the
// list of table names and how they are compared, the views, the foreign keys
// found while tables were read, and the names map of renamed tables and
// fields.  Storages derive and fill the abstract operations.
//
// Ownership: the database owns its lists and its names map; a recordset
// returned by create_table / get_table belongs to the caller and must not
// outlive the database.  Derived classes that override one get_table form
// should bring the other into scope ("using udb_database::get_table;").
// Not thread-safe; used by the conversion's thread.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "udb_indexes.h"
#include "udb_names_map.h"
#include "udb_recordset.h"
#include "udb_schema.h"

class udb_database {
  public:
    // View name -> SQL text, in name order.
    using view_list = std::map<std::u16string, std::u16string>;

    // Logs "udb_database::ctor(%s)" with the path.
    udb_database(std::u16string path, int open_mode, bool case_sensitive = false);
    udb_database(const udb_database&) = delete;
    udb_database& operator=(const udb_database&) = delete;
    // Logs "udb_database::dtor".
    virtual ~udb_database();

    // Creates a table from the schema (and, where the storage supports
    // them, its indexes) and returns it opened for writing; the caller owns it.
    virtual std::unique_ptr<udb_recordset> create_table(const std::u16string& name,
                                                        const udb_schema& schema,
                                                        const udb_indexes& indexes) = 0;
    // Creates the views of the list in the storage.  The base does nothing.
    virtual void create_views(const view_list& views);
    // Removes the table.  The base removes the first listed name that matches
    // (is_table_exist's comparison) from the table list.  Logs
    // "udb_database::delete_tab (%s)".
    // REQUIRES: the name is listed (otherwise tk_mail_assertion).
    virtual void delete_tab(const std::u16string& name);
    // Opens a table, or the result of a query text when it is not empty, for
    // reading; the caller owns the result, which may be null when the storage
    // has no queries.
    virtual std::unique_ptr<udb_recordset> get_table(const std::u16string& name,
                                                     const std::u16string& query_text,
                                                     int flag) = 0;
    // Opens a table with the given open mode; the caller owns it.
    virtual std::unique_ptr<udb_recordset> get_table(const std::u16string& name, int open_mode) = 0;
    // Runs a statement.  The base has no statements: internal error
    // (tk_mail_assertion).
    virtual void query(const std::u16string& statement);
    // Whether the statement can be run; false when the storage has no queries.
    virtual bool test_query(const std::u16string& statement) = 0;
    // Creates the foreign keys of the list.  The base does nothing.
    virtual void create_relationships(const udb_relationships& relationships);
    // The table names (a storage may refresh the list first).
    virtual const std::vector<std::u16string>& get_tables();
    // Whether a table of that name is listed: compared exactly when the
    // database is case-sensitive, else without regard to case.  Logs
    // "udb_database::is_table_exist(%s,case_sensitive=%d)", "Compare with %s"
    // per name and the outcome.
    virtual bool is_table_exist(const std::u16string& name) const;

    const std::u16string& path() const noexcept { return path_; }
    int open_mode() const noexcept { return open_mode_; }
    bool case_sensitive() const noexcept { return case_sensitive_; }
    const std::vector<std::u16string>& table_names() const noexcept { return tables_; }
    const view_list& views() const noexcept { return views_; }
    udb_relationships& relationships() noexcept { return relationships_; }
    const udb_relationships& relationships() const noexcept { return relationships_; }
    udb_names_map& names_map() noexcept { return names_map_; }
    const udb_names_map& names_map() const noexcept { return names_map_; }

  protected:
    // Whether two table names are the same under this database's comparison.
    bool same_table_name(const std::u16string& a, const std::u16string& b) const;

    int open_mode_;
    std::u16string path_;
    bool case_sensitive_;
    std::vector<std::u16string> tables_;
    view_list views_;
    udb_relationships relationships_;
    udb_names_map names_map_;
};
