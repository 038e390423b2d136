// Oracle's data dictionary for one ocilite connection.
//
// At session begin the engine fills TEMP tables named like Oracle's dictionary views
// (USER_TABLES, ALL_TAB_COLUMNS, USER_CONSTRAINTS, ..., V$VERSION in the shape of the release
// its banner names, DUAL) from the catalog tables of ol_catalog.h.  The TEMP schema belongs
// to the connection, so the database file itself stays read-only.  Columns are declared with
// Oracle type names so that a describe of a dictionary query reports Oracle's types; rows are
// inserted in the order Oracle returns them where readers rely on it (a table's columns by
// COLUMN_ID).
#pragma once

#include <string>

struct sqlite3;

namespace ocilite {

// Banner of V$VERSION when the database sets none (ocilite_settings 'banner').
inline constexpr const char* kDefaultBanner =
    "Oracle Database 19c Enterprise Edition Release 19.0.0.0.0 - Production";

// (Re)builds the dictionary for `user` (upper case).  With `own_tables_only` the USER_ views
// show the tables and views whose owner is `user` (views of a database written before views
// had owners belong to every user); otherwise (a database without users) every object.
// Returns false with SQLite's message on failure.
bool build_dictionary(sqlite3* db, const std::string& user, bool own_tables_only,
                      std::string& error);

// True when the main schema has a table of that name.
bool has_main_table(sqlite3* db, const char* name);
// True when that main table has a column of that name.
bool has_main_column(sqlite3* db, const std::string& table, const std::string& column);

}  // namespace ocilite
