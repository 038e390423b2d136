// The handles and descriptors that ocilite hands out through the OCI interface.
//
// Every handle is a C++ object derived from handle_base and owned by the process-wide
// registry; the pointers the client holds are the objects' addresses.  Each call looks the
// pointer up in the registry first, so a stale, foreign or wrong-type pointer is answered
// with OCI_INVALID_HANDLE instead of being dereferenced.  Freeing a handle frees the handles
// allocated under it (an environment everything, a statement its defines and parameters).
//
// The interface is meant for one thread at a time per environment; the registry itself is
// guarded by a mutex so that separate environments on separate threads do not corrupt it.
#pragma once

#include <sqlite3.h>

#include <cstddef>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "koci.h"
#include "ol_sql.h"
#include "ol_text.h"
#include "ol_types.h"

namespace ocilite {

struct handle_base {
    handle_base(ub4 t, handle_base* p) : type(t), parent(p) {}
    virtual ~handle_base() = default;
    handle_base(const handle_base&) = delete;
    handle_base& operator=(const handle_base&) = delete;
    // Called when a child handle is freed before its parent.
    virtual void forget_child(handle_base*) {}

    const ub4 type;
    handle_base* const parent;
    std::vector<std::max_align_t> user_memory;  // the caller's xtramem_sz bytes
};

struct env_h;

struct sqlite_closer {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
struct stmt_finalizer {
    void operator()(sqlite3_stmt* st) const { sqlite3_finalize(st); }
};
using db_ptr = std::unique_ptr<sqlite3, sqlite_closer>;
using sqlite_stmt_ptr = std::unique_ptr<sqlite3_stmt, stmt_finalizer>;

// One open database file: what a server attachment holds.  Statements keep it alive while
// they use it, so a detach under an open cursor does not pull the database away.
struct connection {
    db_ptr db;
    std::string path;
    std::string user;               // the session user, upper case
    std::set<std::string> schemas;  // names that qualify tables: SYS, the user, the owners
    bool session_active = false;
    sqlite_stmt_ptr catalog_lookup;  // ocilite_columns by (table, column); null without catalog
    // The data object number of a main table (its ROWIDs name it); nullopt for none.
    std::optional<std::int64_t> table_object(const std::string& table);
};

struct lob_h;

struct env_h : handle_base {
    env_h() : handle_base(OCI_HTYPE_ENV, nullptr) {}
    void forget_child(handle_base* child) override;
    bool utf16 = true;
    lob_h* streaming_lob = nullptr;  // the locator whose polling read is under way
    std::vector<ora_error> records;  // errors of calls that had no error handle
};

struct err_h : handle_base {
    using handle_base::handle_base;
    std::vector<ora_error> records;
    void set(ora_error e) {
        records.clear();
        records.push_back(std::move(e));
    }
};

struct server_h : handle_base {
    using handle_base::handle_base;
    std::shared_ptr<connection> conn;
};

struct session_h : handle_base {
    using handle_base::handle_base;
    std::string username;  // UTF-8 as set by the client
    std::string password;
    std::string username_raw;  // the bytes as set, for OCIAttrGet
    bool begun = false;
};

struct svcctx_h : handle_base {
    using handle_base::handle_base;
    server_h* server = nullptr;  // not owned; validated through the registry on use
    session_h* session = nullptr;
};

struct param_h : handle_base {
    using handle_base::handle_base;
    column_desc desc;
    std::string name_bytes;       // the name in the environment's character set
    std::string type_name_bytes;  // likewise the type name of a named type
    std::string schema_bytes;
};

struct stmt_h;

struct define_h : handle_base {
    using handle_base::handle_base;
    ub4 position = 0;
    void* valuep = nullptr;
    sb4 value_sz = 0;
    ub2 dty = 0;
    sb2* indp = nullptr;
    ub2* rlenp = nullptr;
    ub2* rcodep = nullptr;
};

struct stmt_h : handle_base {
    using handle_base::handle_base;
    void forget_child(handle_base* child) override;

    std::string sql;  // Oracle SQL text, UTF-8
    bool prepared = false;
    ub2 stmt_type = 0;
    std::shared_ptr<connection> conn;
    sqlite_stmt_ptr st;
    std::vector<column_desc> columns;
    std::vector<rowid_column> rowid_columns;  // select-list columns that are ROWID
    std::vector<define_h*> defines;  // by position - 1; children of this statement
    std::vector<param_h*> params;    // by position - 1, made on first OCIParamGet
    bool executed = false;           // describe available
    bool fetchable = false;          // a cursor is open (not parse/describe only)
    bool has_row = false;            // sqlite3_step stands on a row not yet handed out
    bool ended = false;              // OCI_NO_DATA was returned
    ub4 row_count = 0;
    ub4 rows_fetched = 0;
    ub4 prefetch_rows = 1;
    std::string scratch;  // reused text buffer for value conversion
};

// A LOB locator: the value of one fetched LOB, read in pieces.
struct lob_h : handle_base {
    using handle_base::handle_base;
    std::shared_ptr<const std::string> data;  // null: no LOB (NULL or never fetched)
    bool is_clob = false;
    ub1 form = 0;  // SQLCS_IMPLICIT, SQLCS_NCHAR; 0 for BLOB
    // Polling state: while `streaming`, calls continue at `next` (a byte index into data).
    bool streaming = false;
    std::size_t next = 0;
    std::size_t stream_end = 0;
};

struct datetime_h : handle_base {
    using handle_base::handle_base;
    date_time value;
};

// ---- registry ------------------------------------------------------------------------------

// Takes ownership of a new handle and returns it.
handle_base* registry_add(std::unique_ptr<handle_base> h);
// The live handle at that address, or null.
handle_base* registry_find(const void* p);
// Frees a handle and everything allocated under it.
void registry_free(handle_base* h);

template <class T>
T* find_as(const void* p, ub4 type) {
    handle_base* h = registry_find(p);
    return h && h->type == type ? static_cast<T*>(h) : nullptr;
}
datetime_h* find_datetime(const void* p);
env_h* env_of(handle_base* h);

// ---- fetch -------------------------------------------------------------------------------

// Describes the select list of an executed statement (s.st compiled, before the first step).
void describe_columns(stmt_h& s);
// Refines the describe of expression columns from the first row (s.has_row).
void refine_expression_columns(stmt_h& s);
// Delivers the current row into the defines, at array index `row`.  Sets `truncated` when a
// value was cut.  Returns OCI_SUCCESS, or OCI_ERROR / OCI_INVALID_HANDLE with `err` set.
sword deliver_row(stmt_h& s, bool utf16, ub4 row, ora_error& err, bool& truncated);

}  // namespace ocilite
