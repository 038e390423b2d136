// The SQL front of the ocilite engine: Oracle SQL texts as the reader sends them, rewritten
// into SQLite's dialect, and SQLite's complaints turned into Oracle's errors.
//
// This is no general Oracle SQL engine.  It keeps a query's meaning where both dialects agree
// and mends the few places where they differ in what the reader sends:
//   - unquoted identifiers are upper-cased, as Oracle stores them; names holding $ or # (the
//     V$ views) are quoted so that SQLite reads them as one name;
//   - a schema prefix ("SYS.", "SCOTT.") is dropped: an ocilite database is one schema, and
//     the dictionary lives in the connection's TEMP schema;
//   - '' is NULL, as in Oracle;
//   - statements other than queries are refused (the engine serves read-only databases),
//     except that INSERT, UPDATE and DELETE are rewritten for a parse that runs nothing
//     (OCI_PARSE_ONLY);
//   - the ROWID pseudo-column becomes Oracle's 18-character text of the row (below);
//   - the operands of "||" become coalesce(x, ''), since Oracle concatenates NULL as an
//     empty string (an empty result then reads as NULL, as every empty text does here).
// Oracle-only functions (CONCAT with Oracle's NULL rule, NVL) are registered as SQLite
// functions by the connection.  Not mended: quoted identifiers match regardless of case.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace ocilite {

struct ora_error {
    int code = 0;         // the ORA number
    std::string message;  // the text after "ORA-nnnnn: "
};

// Oracle's message text for an ORA number the engine reports ("table or view does not
// exist").  Empty for numbers it does not know.
std::string_view ora_message(int code);
ora_error make_error(int code);
// "ORA-00942: table or view does not exist\n", the form OCIErrorGet hands out.
std::string format_error(const ora_error& e);

struct rewrite_options {
    // The names that qualify a table (upper case); a qualifier among them is dropped.
    std::set<std::string> schemas = {"SYS"};
    // INSERT, UPDATE and DELETE are rewritten too, for a parse that does not run them:
    // "DELETE t" gets its FROM and RETURNING loses its INTO list.
    bool parse_only = false;
    // The data object number of a table of the database, for the ROWID pseudo-column;
    // nullopt for a name that is no table (a view, the dictionary).  Without it ROWID is
    // left to SQLite.
    std::function<std::optional<std::int64_t>(const std::string& table)> table_object;
};

// A select-list column that is the ROWID pseudo-column: its position counted from the first
// column or, when a "*" before it makes that unknown, from the last.
struct rowid_column {
    bool from_end = false;
    int index = 0;
};

// Rewrites an Oracle query into SQLite SQL.  Returns false and fills `err` when the text is
// not a query the engine accepts (ORA-00911 for a stray ";", ORA-01756 for an open quote,
// ORA-01031 for statements that would write, ORA-00900 for anything else; for ROWID
// ORA-00918 when the table is ambiguous, ORA-01445 when it is no table, ORA-01410 for a text
// compared with it that is no ROWID).
// ROWID becomes OCILITE_ROWID(table.rowid, object), the function the engine registers, which
// gives Oracle's 18-character text; "ROWID = 'text'" becomes a test of the SQLite rowid.
bool rewrite_sql(std::string_view oracle, std::string& sqlite, ora_error& err,
                 const rewrite_options& options, std::vector<rowid_column>* rowid_columns);
bool rewrite_sql(std::string_view oracle, std::string& sqlite, ora_error& err,
                 const std::set<std::string>& schemas = {"SYS"});

// True when the statement text has the placeholder `name` (":1", "1", ":id"; unquoted names
// compare without regard to case), outside literals, quoted names and comments.
bool has_placeholder(std::string_view sql, std::string_view name);

// Maps an error message of sqlite3_prepare / sqlite3_step to Oracle's error.
ora_error map_sqlite_error(std::string_view message);

}  // namespace ocilite
