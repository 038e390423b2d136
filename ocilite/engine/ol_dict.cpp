#include "ol_dict.h"

#include <sqlite3.h>

#include <cctype>
#include <cstdlib>
#include <string_view>
#include <vector>

namespace ocilite {

namespace {

// One dictionary table: its TEMP definition, how it is filled, and the catalog tables the
// filling reads (it is left empty when one of them is missing).
struct dict_table {
    const char* name;
    const char* create;
    const char* fill;
    std::vector<const char*> sources;
};

// "LONG VARCHAR" is how the engine declares Oracle LONG columns: SQLite gives a declared type
// containing "CHAR" text affinity, so a default such as 0.50 keeps its text as typed.
// In the fill statements $USER is the session user as a literal, $OWN the ownership test of
// a table, $VOWN that of a view (of the table ocilite_views v) and $VOWNER a view's owner.
// A source "table.column" needs that column too (databases of earlier loaders lack some).
const std::vector<dict_table>& dict_tables() {
    static const std::vector<dict_table> tables = {
        {"USER_TABLES",
         "TABLE_NAME VARCHAR2(128) NOT NULL, TABLESPACE_NAME VARCHAR2(30), "
         "TEMPORARY VARCHAR2(1), NESTED VARCHAR2(3), IOT_TYPE VARCHAR2(12), "
         "SECONDARY VARCHAR2(1), DROPPED VARCHAR2(3), COMMENTS VARCHAR2(4000)",
         "SELECT table_name, CASE WHEN temporary = 'Y' THEN NULL ELSE 'USERS' END, temporary, "
         "nested, iot_type, 'N', 'NO', comments FROM main.ocilite_tables WHERE $OWN "
         "ORDER BY table_name",
         {"ocilite_tables"}},
        {"ALL_TABLES",
         "OWNER VARCHAR2(128) NOT NULL, TABLE_NAME VARCHAR2(128) NOT NULL, "
         "TABLESPACE_NAME VARCHAR2(30), TEMPORARY VARCHAR2(1), NESTED VARCHAR2(3), "
         "IOT_TYPE VARCHAR2(12), SECONDARY VARCHAR2(1), DROPPED VARCHAR2(3)",
         "SELECT owner, table_name, CASE WHEN temporary = 'Y' THEN NULL ELSE 'USERS' END, "
         "temporary, nested, iot_type, 'N', 'NO' FROM main.ocilite_tables "
         "ORDER BY owner, table_name",
         {"ocilite_tables"}},
        {"USER_TAB_COLUMNS",
         "TABLE_NAME VARCHAR2(128) NOT NULL, COLUMN_NAME VARCHAR2(128) NOT NULL, "
         "DATA_TYPE VARCHAR2(128), DATA_TYPE_MOD VARCHAR2(3), DATA_TYPE_OWNER VARCHAR2(128), "
         "DATA_LENGTH NUMBER NOT NULL, DATA_PRECISION NUMBER, DATA_SCALE NUMBER, "
         "NULLABLE VARCHAR2(1), COLUMN_ID NUMBER, DEFAULT_LENGTH NUMBER, "
         "DATA_DEFAULT LONG VARCHAR, CHAR_LENGTH NUMBER, CHAR_USED VARCHAR2(1)",
         "SELECT c.table_name, c.column_name, c.data_type, NULL, NULL, c.data_length, "
         "c.data_precision, c.data_scale, c.nullable, c.column_id, length(c.data_default), "
         "c.data_default, c.char_length, c.char_used FROM main.ocilite_columns c "
         "WHERE c.table_name IN (SELECT table_name FROM main.ocilite_tables WHERE $OWN) "
         "OR c.table_name IN (SELECT view_name FROM main.ocilite_views v WHERE $VOWN) "
         "ORDER BY c.table_name, c.column_id",
         {"ocilite_columns", "ocilite_tables", "ocilite_views"}},
        {"ALL_TAB_COLUMNS",
         "OWNER VARCHAR2(128) NOT NULL, TABLE_NAME VARCHAR2(128) NOT NULL, "
         "COLUMN_NAME VARCHAR2(128) NOT NULL, DATA_TYPE VARCHAR2(128), "
         "DATA_TYPE_MOD VARCHAR2(3), DATA_TYPE_OWNER VARCHAR2(128), "
         "DATA_LENGTH NUMBER NOT NULL, DATA_PRECISION NUMBER, DATA_SCALE NUMBER, "
         "NULLABLE VARCHAR2(1), COLUMN_ID NUMBER, DEFAULT_LENGTH NUMBER, "
         "DATA_DEFAULT LONG VARCHAR, CHAR_LENGTH NUMBER, CHAR_USED VARCHAR2(1)",
         "SELECT coalesce(t.owner, $VOWNER, $USER), c.table_name, c.column_name, c.data_type, "
         "NULL, NULL, c.data_length, c.data_precision, c.data_scale, c.nullable, c.column_id, "
         "length(c.data_default), c.data_default, c.char_length, c.char_used "
         "FROM main.ocilite_columns c LEFT JOIN main.ocilite_tables t "
         "ON t.table_name = c.table_name LEFT JOIN main.ocilite_views v "
         "ON v.view_name = c.table_name "
         "ORDER BY 1, c.table_name, c.column_id",
         {"ocilite_columns", "ocilite_tables", "ocilite_views"}},
        {"USER_CONSTRAINTS",
         "OWNER VARCHAR2(128), CONSTRAINT_NAME VARCHAR2(128), CONSTRAINT_TYPE VARCHAR2(1), "
         "TABLE_NAME VARCHAR2(128) NOT NULL, SEARCH_CONDITION LONG VARCHAR, "
         "R_OWNER VARCHAR2(128), R_CONSTRAINT_NAME VARCHAR2(128), DELETE_RULE VARCHAR2(9), "
         "STATUS VARCHAR2(8), GENERATED VARCHAR2(14), INDEX_NAME VARCHAR2(128)",
         "SELECT $USER, c.constraint_name, c.constraint_type, c.table_name, c.search_condition, "
         "CASE WHEN c.r_constraint_name IS NULL THEN NULL ELSE coalesce((SELECT t.owner FROM "
         "main.ocilite_constraints r JOIN main.ocilite_tables t ON t.table_name = r.table_name "
         "WHERE r.constraint_name = c.r_constraint_name), $USER) END, c.r_constraint_name, "
         "c.delete_rule, c.status, c.generated, c.index_name FROM main.ocilite_constraints c "
         "WHERE c.table_name IN (SELECT table_name FROM main.ocilite_tables WHERE $OWN) "
         "ORDER BY c.table_name, c.constraint_name",
         {"ocilite_constraints", "ocilite_tables"}},
        {"USER_CONS_COLUMNS",
         "OWNER VARCHAR2(128) NOT NULL, CONSTRAINT_NAME VARCHAR2(128) NOT NULL, "
         "TABLE_NAME VARCHAR2(128) NOT NULL, COLUMN_NAME VARCHAR2(4000), POSITION NUMBER",
         "SELECT $USER, constraint_name, table_name, column_name, position "
         "FROM main.ocilite_cons_columns "
         "WHERE table_name IN (SELECT table_name FROM main.ocilite_tables WHERE $OWN) "
         "ORDER BY table_name, constraint_name, position",
         {"ocilite_cons_columns", "ocilite_tables"}},
        {"USER_INDEXES",
         "INDEX_NAME VARCHAR2(128) NOT NULL, INDEX_TYPE VARCHAR2(27), "
         "TABLE_OWNER VARCHAR2(128) NOT NULL, TABLE_NAME VARCHAR2(128) NOT NULL, "
         "TABLE_TYPE VARCHAR2(11), UNIQUENESS VARCHAR2(9), GENERATED VARCHAR2(1)",
         "SELECT index_name, index_type, $USER, table_name, 'TABLE', uniqueness, generated "
         "FROM main.ocilite_indexes "
         "WHERE table_name IN (SELECT table_name FROM main.ocilite_tables WHERE $OWN) "
         "ORDER BY index_name",
         {"ocilite_indexes", "ocilite_tables"}},
        {"USER_IND_COLUMNS",
         "INDEX_NAME VARCHAR2(128), TABLE_NAME VARCHAR2(128), COLUMN_NAME VARCHAR2(4000), "
         "COLUMN_POSITION NUMBER, COLUMN_LENGTH NUMBER, CHAR_LENGTH NUMBER, "
         "DESCEND VARCHAR2(4)",
         "SELECT i.index_name, i.table_name, i.column_name, i.column_position, "
         "coalesce(c.data_length, 0), coalesce(c.char_length, 0), i.descend "
         "FROM main.ocilite_ind_columns i LEFT JOIN main.ocilite_columns c "
         "ON c.table_name = i.table_name AND c.column_name = i.column_name "
         "WHERE i.table_name IN (SELECT table_name FROM main.ocilite_tables WHERE $OWN) "
         "ORDER BY i.index_name, i.column_position",
         {"ocilite_ind_columns", "ocilite_columns", "ocilite_tables"}},
        {"USER_IND_EXPRESSIONS",
         "INDEX_NAME VARCHAR2(128), TABLE_NAME VARCHAR2(128), COLUMN_EXPRESSION LONG VARCHAR, "
         "COLUMN_POSITION NUMBER",
         "SELECT index_name, table_name, column_expression, column_position "
         "FROM main.ocilite_ind_columns WHERE column_expression IS NOT NULL AND "
         "table_name IN (SELECT table_name FROM main.ocilite_tables WHERE $OWN) "
         "ORDER BY index_name, column_position",
         {"ocilite_ind_columns.column_expression", "ocilite_tables"}},
        {"USER_VIEWS",
         "VIEW_NAME VARCHAR2(128) NOT NULL, TEXT_LENGTH NUMBER, TEXT LONG VARCHAR, "
         "TEXT_VC VARCHAR2(4000)",
         "SELECT view_name, length(text), text, substr(text, 1, 4000) FROM main.ocilite_views v "
         "WHERE $VOWN ORDER BY view_name",
         {"ocilite_views"}},
        {"ALL_VIEWS",
         "OWNER VARCHAR2(128) NOT NULL, VIEW_NAME VARCHAR2(128) NOT NULL, TEXT_LENGTH NUMBER, "
         "TEXT LONG VARCHAR, TEXT_VC VARCHAR2(4000)",
         "SELECT coalesce($VOWNER, $USER), view_name, length(text), text, substr(text, 1, 4000) "
         "FROM main.ocilite_views v ORDER BY 1, view_name",
         {"ocilite_views"}},
        {"DUAL", "DUMMY VARCHAR2(1)", nullptr, {}},
    };
    return tables;
}

std::string literal(std::string_view s) {
    std::string out = "'";
    for (char c : s) {
        out += c;
        if (c == '\'') out += '\'';
    }
    out += '\'';
    return out;
}

void replace_all(std::string& s, std::string_view from, const std::string& to) {
    for (auto p = s.find(from); p != std::string::npos; p = s.find(from, p + to.size()))
        s.replace(p, from.size(), to);
}

bool exec(sqlite3* db, const std::string& sql, std::string& error) {
    char* msg = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &msg) == SQLITE_OK) return true;
    error = msg ? msg : sqlite3_errmsg(db);
    sqlite3_free(msg);
    return false;
}

// The text values of a one-column query, in order.
bool query_texts(sqlite3* db, const char* sql, std::vector<std::string>& out, std::string& error) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK) {
        error = sqlite3_errmsg(db);
        return false;
    }
    while (sqlite3_step(st) == SQLITE_ROW) {
        const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
        out.emplace_back(t ? t : "");
    }
    sqlite3_finalize(st);
    return true;
}

// The release a banner names: its first word of dotted numbers ("19.0.0.0.0"); empty if none.
std::string banner_release(const std::string& banner) {
    std::size_t i = 0;
    while (i < banner.size()) {
        while (i < banner.size() && banner[i] == ' ') ++i;
        std::size_t j = i;
        while (j < banner.size() && banner[j] != ' ') ++j;
        const std::string word = banner.substr(i, j - i);
        if (!word.empty() && std::isdigit(static_cast<unsigned char>(word[0])) &&
            word.find('.') != std::string::npos)
            return word;
        i = j;
    }
    return {};
}

// V$VERSION in the shape of the release its banner names.  From 18c one row with BANNER,
// BANNER_FULL (the banner and a "Version" line), BANNER_LEGACY and CON_ID; 12c one row per
// component with CON_ID; earlier releases BANNER alone.  The banner rows come from the
// settings ('banner', 'banner2', ...; 'banner_full'); for 9i to 12c a database that sets only
// the first row gets the other components' rows of that release.
bool build_version_view(sqlite3* db, std::string& error) {
    std::vector<std::string> banners;
    std::vector<std::string> full;
    if (has_main_table(db, "ocilite_settings")) {
        if (!query_texts(db,
                         "SELECT value FROM main.ocilite_settings WHERE name = 'banner' OR "
                         "(name GLOB 'banner[0-9]*' AND name NOT GLOB 'banner*[^0-9]*') "
                         "ORDER BY length(name), name",
                         banners, error) ||
            !query_texts(db, "SELECT value FROM main.ocilite_settings WHERE name = 'banner_full'",
                         full, error))
            return false;
    }
    if (banners.empty()) banners.emplace_back(kDefaultBanner);
    const std::string release = banner_release(banners.front());
    const int major = release.empty() ? 0 : std::atoi(release.c_str());
    std::string columns = "BANNER VARCHAR2(80)";
    std::vector<std::string> rows;
    if (major >= 18) {
        // 23ai widened the columns.
        const bool wide = major >= 23;
        columns = wide ? "BANNER VARCHAR2(129), BANNER_FULL VARCHAR2(258), "
                         "BANNER_LEGACY VARCHAR2(129), CON_ID NUMBER"
                       : "BANNER VARCHAR2(80), BANNER_FULL VARCHAR2(160), "
                         "BANNER_LEGACY VARCHAR2(80), CON_ID NUMBER";
        const std::string b = literal(banners.front());
        const std::string f =
            literal(full.empty() ? banners.front() + "\nVersion " + release : full.front());
        rows.push_back(b + ", " + f + ", " + b + ", 0");
    } else {
        if (banners.size() == 1 && major >= 9 && major <= 12)
            for (const std::string& component :
                 {"PL/SQL Release " + release + " - Production",
                  "CORE\t" + release + "\tProduction",
                  "TNS for Linux: Version " + release + " - Production",
                  "NLSRTL Version " + release + " - Production"})
                banners.push_back(component);
        if (major == 12) columns += ", CON_ID NUMBER";
        for (const std::string& b : banners)
            rows.push_back(literal(b) + (major == 12 ? ", 0" : ""));
    }
    if (!exec(db, "DROP TABLE IF EXISTS temp.\"V$VERSION\"", error) ||
        !exec(db, "CREATE TEMP TABLE \"V$VERSION\"(" + columns + ")", error))
        return false;
    for (const std::string& r : rows)
        if (!exec(db, "INSERT INTO temp.\"V$VERSION\" VALUES(" + r + ")", error)) return false;
    return true;
}

}  // namespace

bool has_main_table(sqlite3* db, const char* name) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT 1 FROM main.sqlite_master WHERE type = 'table' AND name = ?",
                           -1, &st, nullptr) != SQLITE_OK)
        return false;
    sqlite3_bind_text(st, 1, name, -1, SQLITE_STATIC);
    const bool found = sqlite3_step(st) == SQLITE_ROW;
    sqlite3_finalize(st);
    return found;
}

bool has_main_column(sqlite3* db, const std::string& table, const std::string& column) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT 1 FROM pragma_table_info(?1) WHERE name = ?2", -1, &st,
                           nullptr) != SQLITE_OK)
        return false;
    sqlite3_bind_text(st, 1, table.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(st, 2, column.c_str(), -1, SQLITE_TRANSIENT);
    const bool found = sqlite3_step(st) == SQLITE_ROW;
    sqlite3_finalize(st);
    return found;
}

bool build_dictionary(sqlite3* db, const std::string& user, bool own_tables_only,
                      std::string& error) {
    const std::string user_lit = literal(user);
    const std::string own = own_tables_only ? "owner = " + user_lit : std::string("1");
    // Views without a recorded owner belong to every user.
    const bool view_owners = has_main_column(db, "ocilite_views", "owner");
    const std::string view_owner = view_owners ? "v.owner" : "NULL";
    const std::string view_own = own_tables_only && view_owners
                                     ? "coalesce(v.owner, " + user_lit + ") = " + user_lit
                                     : std::string("1");
    for (const auto& t : dict_tables()) {
        const std::string qname = std::string("temp.\"") + t.name + "\"";
        if (!exec(db, "DROP TABLE IF EXISTS " + qname, error)) return false;
        if (!exec(db, "CREATE TEMP TABLE \"" + std::string(t.name) + "\"(" + t.create + ")", error))
            return false;
        bool sources = t.fill != nullptr;
        for (const std::string src : t.sources) {
            const auto dot = src.find('.');
            sources =
                sources && (dot == std::string::npos
                                ? has_main_table(db, src.c_str())
                                : has_main_table(db, src.substr(0, dot).c_str()) &&
                                      has_main_column(db, src.substr(0, dot), src.substr(dot + 1)));
        }
        if (sources) {
            std::string fill = t.fill;
            replace_all(fill, "$USER", user_lit);
            replace_all(fill, "$VOWNER", view_owner);
            replace_all(fill, "$VOWN", view_own);
            replace_all(fill, "$OWN", own);
            if (!exec(db, "INSERT INTO " + qname + " " + fill, error)) return false;
        }
    }
    return build_version_view(db, error) && exec(db, "INSERT INTO temp.DUAL VALUES('X')", error);
}

}  // namespace ocilite
