// The exported OCI functions of libocilite.
//
// Each function validates its handles through the registry (OCI_INVALID_HANDLE for anything
// that is not a live handle of the expected type), does its work over SQLite, and reports
// failures as Oracle does: OCI_ERROR with an ORA record in the error handle.
#define KOCI_BUILDING_ENGINE 1

#include <sqlite3.h>

#include <algorithm>
#include <bit>
#include <cctype>
#include <cstring>
#include <mutex>
#include <unordered_map>

#include "ol_catalog.h"
#include "ol_dict.h"
#include "ol_handles.h"

namespace ocilite {

namespace {

struct registry {
    std::mutex mu;
    std::unordered_map<const void*, std::unique_ptr<handle_base>> live;
};

registry& reg() {
    static registry r;
    return r;
}

void collect_children(const registry& r, handle_base* h, std::vector<handle_base*>& out) {
    for (const auto& [p, child] : r.live) {
        if (child->parent == h) {
            collect_children(r, child.get(), out);
            out.push_back(child.get());
        }
    }
}

}  // namespace

handle_base* registry_add(std::unique_ptr<handle_base> h) {
    registry& r = reg();
    std::lock_guard lock(r.mu);
    handle_base* p = h.get();
    r.live.emplace(p, std::move(h));
    return p;
}

handle_base* registry_find(const void* p) {
    if (!p) return nullptr;
    registry& r = reg();
    std::lock_guard lock(r.mu);
    auto it = r.live.find(p);
    return it == r.live.end() ? nullptr : it->second.get();
}

void registry_free(handle_base* h) {
    registry& r = reg();
    std::vector<std::unique_ptr<handle_base>> doomed;
    {
        std::lock_guard lock(r.mu);
        std::vector<handle_base*> order;
        collect_children(r, h, order);
        order.push_back(h);
        if (h->parent && r.live.count(h->parent)) h->parent->forget_child(h);
        for (handle_base* x : order) {
            auto it = r.live.find(x);
            doomed.push_back(std::move(it->second));
            r.live.erase(it);
        }
    }
    // Destroyed outside the lock, children first.
    while (!doomed.empty()) doomed.erase(doomed.begin());
}

datetime_h* find_datetime(const void* p) {
    handle_base* h = registry_find(p);
    if (!h) return nullptr;
    switch (h->type) {
        case OCI_DTYPE_DATE:
        case OCI_DTYPE_TIMESTAMP:
        case OCI_DTYPE_TIMESTAMP_TZ:
        case OCI_DTYPE_TIMESTAMP_LTZ:
            return static_cast<datetime_h*>(h);
        default:
            return nullptr;
    }
}

env_h* env_of(handle_base* h) {
    while (h && h->parent) h = h->parent;
    return h && h->type == OCI_HTYPE_ENV ? static_cast<env_h*>(h) : nullptr;
}

void env_h::forget_child(handle_base* child) {
    if (child == streaming_lob) streaming_lob = nullptr;
}

// Data object numbers start where a fresh database's user objects do; the table's entry in
// the SQLite schema tells them apart.
std::optional<std::int64_t> connection::table_object(const std::string& table) {
    constexpr std::int64_t kFirstObject = 73000;
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db.get(),
                           "SELECT rowid FROM main.sqlite_schema WHERE type = 'table' AND "
                           "name = ?1 COLLATE NOCASE",
                           -1, &raw, nullptr) != SQLITE_OK)
        return std::nullopt;
    sqlite_stmt_ptr q(raw);
    sqlite3_bind_text(q.get(), 1, table.c_str(), -1, SQLITE_TRANSIENT);
    if (sqlite3_step(q.get()) != SQLITE_ROW) return std::nullopt;
    return kFirstObject + sqlite3_column_int64(q.get(), 0);
}

void stmt_h::forget_child(handle_base* child) {
    for (auto& d : defines)
        if (d == child) d = nullptr;
    for (auto& p : params)
        if (p == child) p = nullptr;
}

namespace {

sword fail(err_h* err, int code) {
    if (err) err->set(make_error(code));
    return OCI_ERROR;
}

sword fail(err_h* err, ora_error e) {
    if (err) err->set(std::move(e));
    return OCI_ERROR;
}

// Text handed in by the client, in the environment's character set, as UTF-8.
std::string text_in(const env_h* env, const void* p, std::size_t bytes) {
    if (!p || bytes == 0) return {};
    if (env && env->utf16) {
        std::u16string w(bytes / 2, u'\0');
        std::memcpy(w.data(), p, w.size() * 2);
        return utf16_to_utf8(w);
    }
    return std::string(static_cast<const char*>(p), bytes);
}

// UTF-8 text in the environment's character set, for handing out.
std::string text_out(const env_h* env, std::string_view s) {
    if (env && env->utf16) {
        const std::u16string w = utf8_to_utf16(s);
        return std::string(reinterpret_cast<const char*>(w.data()), w.size() * 2);
    }
    return std::string(s);
}

std::string upper(std::string s) {
    for (auto& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// Oracle folds an unquoted user name to upper case and keeps a quoted one as written.
std::string fold_name(const std::string& s) {
    if (s.size() >= 2 && s.front() == '"' && s.back() == '"') return s.substr(1, s.size() - 2);
    return upper(s);
}

void sqlite_concat(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    // Oracle's CONCAT treats NULL as an empty string and yields NULL only for two NULLs.
    std::string out;
    bool any = false;
    for (int i = 0; i < argc; ++i) {
        if (sqlite3_value_type(argv[i]) == SQLITE_NULL) continue;
        any = true;
        const auto* t = reinterpret_cast<const char*>(sqlite3_value_text(argv[i]));
        out.append(t, static_cast<std::size_t>(sqlite3_value_bytes(argv[i])));
    }
    if (!any || out.empty())
        sqlite3_result_null(ctx);
    else
        sqlite3_result_text(ctx, out.data(), static_cast<int>(out.size()), SQLITE_TRANSIENT);
}

void sqlite_nvl(sqlite3_context* ctx, int, sqlite3_value** argv) {
    sqlite3_result_value(ctx, sqlite3_value_type(argv[0]) == SQLITE_NULL ? argv[1] : argv[0]);
}

// OCILITE_ROWID(rowid, object): the ROWID pseudo-column as the rewriter writes it.
void sqlite_rowid(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) != SQLITE_INTEGER) {
        sqlite3_result_null(ctx);
        return;
    }
    const std::string text = rowid_text(sqlite3_value_int64(argv[1]), sqlite3_value_int64(argv[0]));
    if (text.empty())
        sqlite3_result_null(ctx);
    else
        sqlite3_result_text(ctx, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

void reset_cursor(stmt_h& s) {
    for (param_h* p : s.params)
        if (p) registry_free(p);
    s.params.clear();
    s.st.reset();
    s.columns.clear();
    s.executed = s.fetchable = s.has_row = s.ended = false;
    s.row_count = s.rows_fetched = 0;
}

ub2 statement_type(const std::string& sql) {
    std::size_t i = 0;
    while (i < sql.size() && !std::isalpha(static_cast<unsigned char>(sql[i]))) ++i;
    std::size_t j = i;
    while (j < sql.size() && std::isalpha(static_cast<unsigned char>(sql[j]))) ++j;
    const std::string w = upper(sql.substr(i, j - i));
    if (w == "SELECT" || w == "WITH") return OCI_STMT_SELECT;
    if (w == "UPDATE") return OCI_STMT_UPDATE;
    if (w == "DELETE") return OCI_STMT_DELETE;
    if (w == "INSERT") return OCI_STMT_INSERT;
    if (w == "CREATE") return OCI_STMT_CREATE;
    if (w == "DROP") return OCI_STMT_DROP;
    if (w == "ALTER") return OCI_STMT_ALTER;
    if (w == "BEGIN") return OCI_STMT_BEGIN;
    if (w == "DECLARE") return OCI_STMT_DECLARE;
    if (w == "CALL") return OCI_STMT_CALL;
    if (w == "MERGE") return OCI_STMT_MERGE;
    return 0;
}

// Steps the cursor to its next row; returns OCI_SUCCESS or OCI_ERROR with err set.
sword advance(stmt_h& s, err_h* err) {
    const int rc = sqlite3_step(s.st.get());
    if (rc == SQLITE_ROW) {
        s.has_row = true;
        return OCI_SUCCESS;
    }
    s.has_row = false;
    if (rc == SQLITE_DONE) return OCI_SUCCESS;
    return fail(err, map_sqlite_error(sqlite3_errmsg(s.conn->db.get())));
}

sword fetch_rows(stmt_h& s, err_h* err, ub4 nrows) {
    if (!s.executed) return fail(err, 24338);
    if (s.ended) return fail(err, 1002);
    if (!s.fetchable) return fail(err, 24338);
    bool any_define = false;
    for (const define_h* d : s.defines) {
        if (!d) continue;
        any_define = true;
        if (d->position > s.columns.size()) return fail(err, 1007);
    }
    if (!any_define) return fail(err, 24374);
    const env_h* env = env_of(&s);
    const bool utf16 = env == nullptr || env->utf16;
    bool truncated = false;
    s.rows_fetched = 0;
    for (ub4 r = 0; r < nrows; ++r) {
        if (!s.has_row) {
            s.ended = true;
            if (err) err->set(make_error(1403));
            return OCI_NO_DATA;
        }
        ora_error e;
        const sword rc = deliver_row(s, utf16, r, e, truncated);
        ++s.row_count;
        ++s.rows_fetched;
        const sword step = advance(s, err);
        if (rc == OCI_INVALID_HANDLE) return rc;
        if (rc != OCI_SUCCESS) return fail(err, std::move(e));
        if (step != OCI_SUCCESS) return step;
    }
    if (truncated) {
        if (err) err->set(make_error(1406));
        return OCI_SUCCESS_WITH_INFO;
    }
    return OCI_SUCCESS;
}

sword lob_piece_bounds(const lob_h& lob, ub4 offset, ub4 amount, std::size_t& start,
                       std::size_t& end) {
    const std::string& d = *lob.data;
    if (!lob.is_clob) {
        start = std::min<std::size_t>(offset - 1, d.size());
        end = amount == 0 ? d.size() : std::min<std::size_t>(d.size(), start + amount);
        return OCI_SUCCESS;
    }
    // CLOB offsets and amounts count characters (UTF-16 code units); data holds UTF-8.
    auto skip_units = [&](std::size_t from, std::size_t units) {
        std::size_t i = from;
        while (i < d.size() && units > 0) {
            const auto c = static_cast<unsigned char>(d[i]);
            const std::size_t len = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
            units -= std::min<std::size_t>(units, len == 4 ? 2 : 1);
            i = std::min(d.size(), i + len);
        }
        return i;
    };
    start = skip_units(0, offset - 1);
    end = amount == 0 ? d.size() : skip_units(start, amount);
    return OCI_SUCCESS;
}

// Bytes of whole characters from `from` that fit in `room` bytes of output.
std::size_t clob_piece(const std::string& d, std::size_t from, std::size_t end, std::size_t room,
                       bool utf16, std::string& out) {
    std::size_t i = from;
    out.clear();
    const std::size_t unit = utf16 ? 2 : 1;
    while (i < end) {
        // A run of ASCII characters, one unit each, is copied as a whole:
        // converting character by character made long CLOBs the slowest part
        // of a table's read.
        const std::size_t limit = std::min(end, i + (room - out.size()) / unit);
        const auto* src = reinterpret_cast<const unsigned char*>(d.data());
        std::size_t run = i;
        while (run < limit && src[run] < 0x80) ++run;
        if (run > i) {
            if (utf16) {
                const std::size_t at = out.size();
                out.resize(at + (run - i) * 2);
                // UTF-16 units in the machine's byte order, as OCI hands them.
                auto* dst = reinterpret_cast<unsigned char*>(out.data() + at);
                constexpr int low = std::endian::native == std::endian::little ? 0 : 1;
                for (std::size_t k = 0; k < run - i; ++k) {
                    dst[2 * k + low] = src[i + k];
                    dst[2 * k + 1 - low] = 0;
                }
            } else {
                out.append(d, i, run - i);
            }
            i = run;
            continue;
        }
        const auto c = static_cast<unsigned char>(d[i]);
        if (c < 0x80) break;  // an ASCII character that does not fit
        const std::size_t len = std::min<std::size_t>(c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4, end - i);
        std::string piece;
        if (utf16) {
            const std::u16string w = utf8_to_utf16(std::string_view(d).substr(i, len));
            piece.assign(reinterpret_cast<const char*>(w.data()), w.size() * 2);
        } else {
            piece.assign(d, i, len);
        }
        if (out.size() + piece.size() > room) break;
        out += piece;
        i += len;
    }
    return i;
}

}  // namespace

}  // namespace ocilite

using namespace ocilite;

extern "C" {

KOCI_API sword OCIEnvNlsCreate(OCIEnv** envhpp, ub4 mode, void* /*ctxp*/,
                               void* (* /*malocfp*/)(void*, size_t),
                               void* (* /*ralocfp*/)(void*, void*, size_t),
                               void (* /*mfreefp*/)(void*, void*), size_t xtramem_sz,
                               void** usrmempp, ub2 charset, ub2 ncharset) {
    if (!envhpp) return OCI_INVALID_HANDLE;
    auto env = std::make_unique<env_h>();
    // Text is UTF-16 for charset 1000 (or the UTF-16 mode), else UTF-8.
    env->utf16 = charset == OCI_UTF16ID || (mode & OCI_UTF16) != 0;
    (void)ncharset;
    if (xtramem_sz) {
        env->user_memory.resize((xtramem_sz + sizeof(std::max_align_t) - 1) /
                                sizeof(std::max_align_t));
        if (usrmempp) *usrmempp = env->user_memory.data();
    }
    *envhpp = reinterpret_cast<OCIEnv*>(registry_add(std::move(env)));
    return OCI_SUCCESS;
}

namespace {
// Gives a new handle or descriptor the caller's extra memory (OCI's xtramem)
// and enters it in the registry; returns the pointer handed to the caller.
void* register_handle(std::unique_ptr<handle_base> h, size_t xtramem_sz, void** usrmempp) {
    if (xtramem_sz) {
        h->user_memory.resize((xtramem_sz + sizeof(std::max_align_t) - 1) /
                              sizeof(std::max_align_t));
        if (usrmempp) *usrmempp = h->user_memory.data();
    }
    return registry_add(std::move(h));
}
}  // namespace

KOCI_API sword OCIHandleAlloc(const void* parenth, void** hndlpp, const ub4 type,
                              const size_t xtramem_sz, void** usrmempp) {
    auto* env = find_as<env_h>(parenth, OCI_HTYPE_ENV);
    if (!env || !hndlpp) return OCI_INVALID_HANDLE;
    std::unique_ptr<handle_base> h;
    switch (type) {
        case OCI_HTYPE_ERROR:
            h = std::make_unique<err_h>(type, env);
            break;
        case OCI_HTYPE_SVCCTX:
            h = std::make_unique<svcctx_h>(type, env);
            break;
        case OCI_HTYPE_STMT:
            h = std::make_unique<stmt_h>(type, env);
            break;
        case OCI_HTYPE_SERVER:
            h = std::make_unique<server_h>(type, env);
            break;
        case OCI_HTYPE_SESSION:
            h = std::make_unique<session_h>(type, env);
            break;
        default:
            return OCI_INVALID_HANDLE;
    }
    *hndlpp = register_handle(std::move(h), xtramem_sz, usrmempp);
    return OCI_SUCCESS;
}

KOCI_API sword OCIHandleFree(void* hndlp, const ub4 type) {
    handle_base* h = registry_find(hndlp);
    if (!h || h->type != type || type >= OCI_DTYPE_LOB) return OCI_INVALID_HANDLE;
    registry_free(h);
    return OCI_SUCCESS;
}

KOCI_API sword OCIDescriptorAlloc(const void* parenth, void** descpp, const ub4 type,
                                  const size_t xtramem_sz, void** usrmempp) {
    auto* env = find_as<env_h>(parenth, OCI_HTYPE_ENV);
    if (!env || !descpp) return OCI_INVALID_HANDLE;
    std::unique_ptr<handle_base> h;
    switch (type) {
        case OCI_DTYPE_LOB:
            h = std::make_unique<lob_h>(type, env);
            break;
        case OCI_DTYPE_DATE:
        case OCI_DTYPE_TIMESTAMP:
        case OCI_DTYPE_TIMESTAMP_TZ:
        case OCI_DTYPE_TIMESTAMP_LTZ:
            h = std::make_unique<datetime_h>(type, env);
            break;
        default:
            return OCI_INVALID_HANDLE;
    }
    *descpp = register_handle(std::move(h), xtramem_sz, usrmempp);
    return OCI_SUCCESS;
}

KOCI_API sword OCIDescriptorFree(void* descp, const ub4 type) {
    handle_base* h = registry_find(descp);
    if (!h || h->type != type || type < OCI_DTYPE_LOB) return OCI_INVALID_HANDLE;
    registry_free(h);
    return OCI_SUCCESS;
}

KOCI_API sword OCIServerAttach(OCIServer* srvhp, OCIError* errhp, const OraText* dblink,
                               sb4 dblink_len, ub4 /*mode*/) {
    auto* srv = find_as<server_h>(srvhp, OCI_HTYPE_SERVER);
    auto* err = find_as<err_h>(errhp, OCI_HTYPE_ERROR);
    if (!srv || !err) return OCI_INVALID_HANDLE;
    const env_h* env = env_of(srv);
    const std::string path =
        dblink_len > 0 ? text_in(env, dblink, static_cast<std::size_t>(dblink_len)) : "";
    srv->conn.reset();
    if (path.empty()) return fail(err, 12154);
    sqlite3* raw = nullptr;
    // OCI handles are used by one thread at a time, so the connection needs no
    // mutex of its own; serialized mode would lock one around every column read.
    const int rc =
        sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
    db_ptr db(raw);
    if (rc != SQLITE_OK) return fail(err, 12154);
    // A file that is not an SQLite database, or an empty one, names no database either.
    {
        sqlite3_stmt* raw_pc = nullptr;
        sqlite3_prepare_v2(db.get(), "PRAGMA page_count", -1, &raw_pc, nullptr);
        sqlite_stmt_ptr pc(raw_pc);
        if (!pc || sqlite3_step(pc.get()) != SQLITE_ROW || sqlite3_column_int64(pc.get(), 0) == 0)
            return fail(err, 12154);
    }
    // Double-quoted words are identifiers only, as in Oracle.
    sqlite3_db_config(db.get(), SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
    sqlite3_db_config(db.get(), SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
    sqlite3_create_function(db.get(), "CONCAT", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                            sqlite_concat, nullptr, nullptr);
    sqlite3_create_function(db.get(), "NVL", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                            sqlite_nvl, nullptr, nullptr);
    sqlite3_create_function(db.get(), "OCILITE_ROWID", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC,
                            nullptr, sqlite_rowid, nullptr, nullptr);
    auto conn = std::make_shared<connection>();
    conn->db = std::move(db);
    conn->path = path;
    if (has_main_table(conn->db.get(), "ocilite_columns")) {
        sqlite3_stmt* q = nullptr;
        if (sqlite3_prepare_v3(conn->db.get(),
                               "SELECT data_type, data_length, data_precision, data_scale, "
                               "nullable, char_used FROM main.ocilite_columns "
                               "WHERE table_name = ?1 AND column_name = ?2",
                               -1, SQLITE_PREPARE_PERSISTENT, &q, nullptr) == SQLITE_OK)
            conn->catalog_lookup.reset(q);
    }
    srv->conn = std::move(conn);
    return OCI_SUCCESS;
}

KOCI_API sword OCIServerDetach(OCIServer* srvhp, OCIError* errhp, ub4 /*mode*/) {
    auto* srv = find_as<server_h>(srvhp, OCI_HTYPE_SERVER);
    auto* err = find_as<err_h>(errhp, OCI_HTYPE_ERROR);
    if (!srv || !err) return OCI_INVALID_HANDLE;
    if (!srv->conn) return fail(err, 3114);
    srv->conn.reset();
    return OCI_SUCCESS;
}

KOCI_API sword OCISessionBegin(OCISvcCtx* svchp, OCIError* errhp, OCISession* usrhp, ub4 /*credt*/,
                               ub4 /*mode*/) {
    auto* svc = find_as<svcctx_h>(svchp, OCI_HTYPE_SVCCTX);
    auto* err = find_as<err_h>(errhp, OCI_HTYPE_ERROR);
    auto* usr = find_as<session_h>(usrhp, OCI_HTYPE_SESSION);
    if (!svc || !err || !usr) return OCI_INVALID_HANDLE;
    auto* srv = find_as<server_h>(svc->server, OCI_HTYPE_SERVER);
    if (!srv || !srv->conn) return fail(err, 3114);
    connection& c = *srv->conn;
    const std::string user = fold_name(usr->username);
    bool has_users = false;
    if (has_main_table(c.db.get(), "ocilite_users")) {
        sqlite3_stmt* raw = nullptr;
        sqlite3_prepare_v2(c.db.get(),
                           "SELECT (SELECT count(*) FROM main.ocilite_users), password, "
                           "account_status FROM (SELECT 1) LEFT JOIN main.ocilite_users "
                           "ON username = ?1",
                           -1, &raw, nullptr);
        sqlite_stmt_ptr q(raw);
        if (!q) return fail(err, 1017);
        sqlite3_bind_text(q.get(), 1, user.c_str(), -1, SQLITE_TRANSIENT);
        if (sqlite3_step(q.get()) == SQLITE_ROW && sqlite3_column_int(q.get(), 0) > 0) {
            has_users = true;
            const auto* pw = reinterpret_cast<const char*>(sqlite3_column_text(q.get(), 1));
            const auto* st = reinterpret_cast<const char*>(sqlite3_column_text(q.get(), 2));
            if (!pw || usr->password != pw) return fail(err, 1017);
            if (st && std::strncmp(st, "LOCKED", 6) == 0) return fail(err, 28000);
        }
    }
    std::string msg;
    if (!build_dictionary(c.db.get(), user, has_users, msg))
        return fail(err, ora_error{3113, std::string(ora_message(3113))});
    c.user = user;
    c.schemas = {"SYS", "PUBLIC", user};
    if (has_main_table(c.db.get(), "ocilite_tables")) {
        sqlite3_stmt* raw = nullptr;
        sqlite3_prepare_v2(c.db.get(),
                           has_main_column(c.db.get(), "ocilite_views", "owner")
                               ? "SELECT owner FROM main.ocilite_tables UNION SELECT owner FROM "
                                 "main.ocilite_views WHERE owner IS NOT NULL"
                               : "SELECT DISTINCT owner FROM main.ocilite_tables",
                           -1, &raw, nullptr);
        sqlite_stmt_ptr q(raw);
        while (q && sqlite3_step(q.get()) == SQLITE_ROW)
            if (const auto* o = sqlite3_column_text(q.get(), 0))
                c.schemas.insert(reinterpret_cast<const char*>(o));
    }
    c.session_active = true;
    usr->begun = true;
    svc->session = usr;
    return OCI_SUCCESS;
}

KOCI_API sword OCISessionEnd(OCISvcCtx* svchp, OCIError* errhp, OCISession* usrhp, ub4 /*mode*/) {
    auto* svc = find_as<svcctx_h>(svchp, OCI_HTYPE_SVCCTX);
    auto* err = find_as<err_h>(errhp, OCI_HTYPE_ERROR);
    if (!svc || !err) return OCI_INVALID_HANDLE;
    auto* usr = usrhp ? find_as<session_h>(usrhp, OCI_HTYPE_SESSION)
                      : find_as<session_h>(svc->session, OCI_HTYPE_SESSION);
    if (!usr) return OCI_INVALID_HANDLE;
    if (!usr->begun) return fail(err, 1012);
    usr->begun = false;
    if (auto* srv = find_as<server_h>(svc->server, OCI_HTYPE_SERVER); srv && srv->conn)
        srv->conn->session_active = false;
    return OCI_SUCCESS;
}

KOCI_API sword OCIAttrSet(void* trgthndlp, ub4 trghndltyp, void* attributep, ub4 size, ub4 attrtype,
                          OCIError* errhp) {
    handle_base* h = registry_find(trgthndlp);
    if (!h || h->type != trghndltyp) return OCI_INVALID_HANDLE;
    auto* err = find_as<err_h>(errhp, OCI_HTYPE_ERROR);
    const env_h* env = env_of(h);
    switch (trghndltyp) {
        case OCI_HTYPE_SVCCTX: {
            auto* svc = static_cast<svcctx_h*>(h);
            if (attrtype == OCI_ATTR_SERVER) {
                auto* srv = find_as<server_h>(attributep, OCI_HTYPE_SERVER);
                if (!srv) return OCI_INVALID_HANDLE;
                svc->server = srv;
                return OCI_SUCCESS;
            }
            if (attrtype == OCI_ATTR_SESSION) {
                auto* usr = find_as<session_h>(attributep, OCI_HTYPE_SESSION);
                if (!usr) return OCI_INVALID_HANDLE;
                svc->session = usr;
                return OCI_SUCCESS;
            }
            break;
        }
        case OCI_HTYPE_SESSION: {
            auto* usr = static_cast<session_h*>(h);
            if (attrtype == OCI_ATTR_USERNAME || attrtype == OCI_ATTR_PASSWORD) {
                if (!attributep && size) return fail(err, 24315);
                std::string v = text_in(env, attributep, size);
                if (attrtype == OCI_ATTR_USERNAME) {
                    usr->username = std::move(v);
                    usr->username_raw.assign(static_cast<const char*>(attributep ? attributep : ""),
                                             size);
                } else {
                    usr->password = std::move(v);
                }
                return OCI_SUCCESS;
            }
            break;
        }
        case OCI_HTYPE_STMT:
            if (attrtype == OCI_ATTR_PREFETCH_ROWS) {
                if (!attributep) return fail(err, 24315);
                std::memcpy(&static_cast<stmt_h*>(h)->prefetch_rows, attributep, sizeof(ub4));
                return OCI_SUCCESS;
            }
            if (attrtype == OCI_ATTR_PREFETCH_MEMORY) return OCI_SUCCESS;
            break;
        case OCI_HTYPE_DEFINE:
            // The charset form and id of a define are accepted; values go out in the
            // environment's character set either way.
            if (attrtype == OCI_ATTR_CHARSET_FORM || attrtype == OCI_ATTR_CHARSET_ID)
                return OCI_SUCCESS;
            break;
        default:
            break;
    }
    return fail(err, 24315);
}

KOCI_API sword OCIAttrGet(const void* trgthndlp, ub4 trghndltyp, void* attributep, ub4* sizep,
                          ub4 attrtype, OCIError* errhp) {
    handle_base* h = registry_find(trgthndlp);
    if (!h || h->type != trghndltyp) return OCI_INVALID_HANDLE;
    auto* err = find_as<err_h>(errhp, OCI_HTYPE_ERROR);
    if (!attributep) return fail(err, 24315);
    auto put = [&](const auto& v) {
        std::memcpy(attributep, &v, sizeof v);
        if (sizep) *sizep = sizeof v;
        return OCI_SUCCESS;
    };
    auto put_text = [&](const std::string& bytes) {
        const void* p = bytes.data();
        std::memcpy(attributep, &p, sizeof p);
        if (sizep) *sizep = static_cast<ub4>(bytes.size());
        return OCI_SUCCESS;
    };
    switch (trghndltyp) {
        case OCI_HTYPE_STMT: {
            auto* s = static_cast<stmt_h*>(h);
            switch (attrtype) {
                case OCI_ATTR_PARAM_COUNT:
                    return put(static_cast<ub4>(s->executed ? s->columns.size() : 0));
                case OCI_ATTR_ROW_COUNT:
                    return put(s->row_count);
                case OCI_ATTR_ROWS_FETCHED:
                    return put(s->rows_fetched);
                case OCI_ATTR_PREFETCH_ROWS:
                    return put(s->prefetch_rows);
                case OCI_ATTR_STMT_TYPE:
                    return put(s->stmt_type);
                case OCI_ATTR_PARSE_ERROR_OFFSET:
                    return put(static_cast<ub2>(0));
                default:
                    break;
            }
            break;
        }
        case OCI_DTYPE_PARAM: {
            auto* p = static_cast<param_h*>(h);
            const column_desc& d = p->desc;
            switch (attrtype) {
                case OCI_ATTR_DATA_SIZE:
                    return put(d.data_size);
                case OCI_ATTR_DATA_TYPE:
                    return put(d.data_type);
                case OCI_ATTR_NAME:
                    return put_text(p->name_bytes);
                case OCI_ATTR_PRECISION:
                    return put(d.precision);
                case OCI_ATTR_SCALE:
                    return put(d.scale);
                case OCI_ATTR_IS_NULL:
                    return put(d.nullable);
                case OCI_ATTR_TYPE_NAME:
                    return put_text(p->type_name_bytes);
                case OCI_ATTR_SCHEMA_NAME:
                    return put_text(p->schema_bytes);
                case OCI_ATTR_FSPRECISION:
                    return put(static_cast<ub1>(d.scale < 0 ? 0 : d.scale));
                case OCI_ATTR_LFPRECISION:
                    return put(static_cast<ub1>(d.precision < 0 ? 0 : d.precision));
                case OCI_ATTR_CHARSET_ID:
                    return put(static_cast<ub2>(d.charset_form == SQLCS_NCHAR ? 2000 : 873));
                case OCI_ATTR_CHARSET_FORM:
                    return put(d.charset_form);
                case OCI_ATTR_CHAR_USED:
                    return put(d.char_used);
                case OCI_ATTR_CHAR_SIZE:
                    return put(d.char_size);
                default:
                    break;
            }
            break;
        }
        case OCI_HTYPE_SVCCTX: {
            auto* svc = static_cast<svcctx_h*>(h);
            if (attrtype == OCI_ATTR_SERVER) return put(static_cast<void*>(svc->server));
            if (attrtype == OCI_ATTR_SESSION) return put(static_cast<void*>(svc->session));
            break;
        }
        case OCI_HTYPE_SESSION:
            if (attrtype == OCI_ATTR_USERNAME)
                return put_text(static_cast<session_h*>(h)->username_raw);
            break;
        default:
            break;
    }
    return fail(err, 24315);
}

KOCI_API sword OCIParamGet(const void* hndlp, ub4 htype, OCIError* errhp, void** parmdpp, ub4 pos) {
    auto* err = find_as<err_h>(errhp, OCI_HTYPE_ERROR);
    if (htype != OCI_HTYPE_STMT || !err || !parmdpp) return OCI_INVALID_HANDLE;
    auto* s = find_as<stmt_h>(hndlp, OCI_HTYPE_STMT);
    if (!s) return OCI_INVALID_HANDLE;
    if (!s->executed) return fail(err, 24338);
    if (pos < 1 || pos > s->columns.size()) return fail(err, 24334);
    if (s->params.size() < s->columns.size()) s->params.resize(s->columns.size(), nullptr);
    param_h*& slot = s->params[pos - 1];
    if (!slot) {
        auto p = std::make_unique<param_h>(OCI_DTYPE_PARAM, s);
        const env_h* env = env_of(s);
        p->desc = s->columns[pos - 1];
        p->name_bytes = text_out(env, p->desc.name);
        p->type_name_bytes = text_out(env, p->desc.type_name);
        p->schema_bytes = text_out(env, p->desc.type_name.empty() ? "" : "SYS");
        slot = static_cast<param_h*>(registry_add(std::move(p)));
    }
    *parmdpp = slot;
    return OCI_SUCCESS;
}

KOCI_API sword OCIErrorGet(void* hndlp, ub4 recordno, OraText* /*sqlstate*/, sb4* errcodep,
                           OraText* bufp, ub4 bufsiz, ub4 type) {
    const std::vector<ora_error>* records = nullptr;
    handle_base* h = registry_find(hndlp);
    if (!h || h->type != type) return OCI_INVALID_HANDLE;
    if (type == OCI_HTYPE_ERROR)
        records = &static_cast<err_h*>(h)->records;
    else if (type == OCI_HTYPE_ENV)
        records = &static_cast<env_h*>(h)->records;
    else
        return OCI_INVALID_HANDLE;
    if (recordno < 1 || recordno > records->size()) return OCI_NO_DATA;
    const ora_error& e = (*records)[recordno - 1];
    if (errcodep) *errcodep = e.code;
    if (bufp && bufsiz > 0) {
        const env_h* env = env_of(h);
        const std::string text = text_out(env, format_error(e));
        const std::size_t unit = env && env->utf16 ? 2 : 1;
        if (bufsiz < unit) {
            bufp[0] = 0;
        } else {
            std::size_t n = std::min<std::size_t>(text.size(), bufsiz - unit);
            n -= n % unit;
            std::memcpy(bufp, text.data(), n);
            std::memset(bufp + n, 0, unit);
        }
    }
    return OCI_SUCCESS;
}

KOCI_API sword OCIStmtPrepare(OCIStmt* stmtp, OCIError* errhp, const OraText* stmt, ub4 stmt_len,
                              ub4 /*language*/, ub4 /*mode*/) {
    auto* s = find_as<stmt_h>(stmtp, OCI_HTYPE_STMT);
    auto* err = find_as<err_h>(errhp, OCI_HTYPE_ERROR);
    if (!s || !err) return OCI_INVALID_HANDLE;
    reset_cursor(*s);
    s->conn.reset();
    s->prepared = false;
    if (!stmt || stmt_len == 0) return fail(err, 24373);
    // No round trip: the text is only kept; it is checked when executed, as Oracle does.
    s->sql = text_in(env_of(s), stmt, stmt_len);
    s->stmt_type = statement_type(s->sql);
    s->prepared = true;
    return OCI_SUCCESS;
}

KOCI_API sword OCIStmtExecute(OCISvcCtx* svchp, OCIStmt* stmtp, OCIError* errhp, ub4 iters,
                              ub4 /*rowoff*/, const OCISnapshot* /*snap_in*/,
                              OCISnapshot* /*snap_out*/, ub4 mode) {
    auto* svc = find_as<svcctx_h>(svchp, OCI_HTYPE_SVCCTX);
    auto* s = find_as<stmt_h>(stmtp, OCI_HTYPE_STMT);
    auto* err = find_as<err_h>(errhp, OCI_HTYPE_ERROR);
    if (!svc || !s || !err) return OCI_INVALID_HANDLE;
    if (!s->prepared) return fail(err, 24337);
    auto* srv = find_as<server_h>(svc->server, OCI_HTYPE_SERVER);
    if (!srv || !srv->conn) return fail(err, 3114);
    if (!srv->conn->session_active) return fail(err, 1012);
    reset_cursor(*s);
    s->conn = srv->conn;

    std::string sql;
    ora_error e;
    rewrite_options options;
    options.schemas = s->conn->schemas;
    options.parse_only = (mode & OCI_PARSE_ONLY) != 0;
    connection* conn = s->conn.get();
    options.table_object = [conn](const std::string& t) { return conn->table_object(t); };
    if (!rewrite_sql(s->sql, sql, e, options, &s->rowid_columns)) return fail(err, std::move(e));
    sqlite3_stmt* raw = nullptr;
    const char* tail = nullptr;
    if (sqlite3_prepare_v2(s->conn->db.get(), sql.c_str(), static_cast<int>(sql.size()), &raw,
                           &tail) != SQLITE_OK)
        return fail(err, map_sqlite_error(sqlite3_errmsg(s->conn->db.get())));
    s->st.reset(raw);
    // One statement only: anything after it is not properly ended.
    while (tail && *tail && std::isspace(static_cast<unsigned char>(*tail))) ++tail;
    if (!s->st || (tail && *tail)) {
        const int code = s->st ? 933 : 900;
        s->st.reset();
        return fail(err, code);
    }
    // A statement that changes data is only parsed: it named existing tables and columns,
    // and nothing ran.
    if (options.parse_only && s->stmt_type != OCI_STMT_SELECT) {
        s->st.reset();
        s->executed = true;
        return OCI_SUCCESS;
    }
    if (sqlite3_column_count(s->st.get()) == 0 || !sqlite3_stmt_readonly(s->st.get())) {
        s->st.reset();
        return fail(err, 900);
    }
    describe_columns(*s);
    s->executed = true;
    if (mode & (OCI_PARSE_ONLY | OCI_DESCRIBE_ONLY)) {
        refine_expression_columns(*s);
        return OCI_SUCCESS;
    }
    s->fetchable = true;
    if (const sword rc = advance(*s, err); rc != OCI_SUCCESS) {
        s->fetchable = false;
        return rc;
    }
    refine_expression_columns(*s);
    if (iters == 0) return OCI_SUCCESS;
    return fetch_rows(*s, err, iters);
}

KOCI_API sword OCIStmtFetch2(OCIStmt* stmtp, OCIError* errhp, ub4 nrows, ub2 orientation,
                             sb4 /*fetchOffset*/, ub4 /*mode*/) {
    auto* s = find_as<stmt_h>(stmtp, OCI_HTYPE_STMT);
    auto* err = find_as<err_h>(errhp, OCI_HTYPE_ERROR);
    if (!s || !err) return OCI_INVALID_HANDLE;
    if (orientation != OCI_FETCH_NEXT && orientation != OCI_DEFAULT) return fail(err, 24391);
    if (nrows == 0) return OCI_SUCCESS;
    return fetch_rows(*s, err, nrows);
}

KOCI_API sword OCIStmtFetch(OCIStmt* stmtp, OCIError* errhp, ub4 nrows, ub2 orientation, ub4 mode) {
    return OCIStmtFetch2(stmtp, errhp, nrows, orientation, 0, mode);
}

KOCI_API sword OCIDefineByPos(OCIStmt* stmtp, OCIDefine** defnpp, OCIError* errhp, ub4 position,
                              void* valuep, sb4 value_sz, ub2 dty, void* indp, ub2* rlenp,
                              ub2* rcodep, ub4 /*mode*/) {
    auto* s = find_as<stmt_h>(stmtp, OCI_HTYPE_STMT);
    auto* err = find_as<err_h>(errhp, OCI_HTYPE_ERROR);
    if (!s || !err || !defnpp) return OCI_INVALID_HANDLE;
    if (position == 0 || position > 1000) return fail(err, 1007);
    if (!valuep) return fail(err, 1007);
    if (s->defines.size() < position) s->defines.resize(position, nullptr);
    define_h*& slot = s->defines[position - 1];
    if (!slot)
        slot =
            static_cast<define_h*>(registry_add(std::make_unique<define_h>(OCI_HTYPE_DEFINE, s)));
    define_h& d = *slot;
    d.position = position;
    d.valuep = valuep;
    d.value_sz = value_sz;
    d.dty = dty;
    d.indp = static_cast<sb2*>(indp);
    d.rlenp = rlenp;
    d.rcodep = rcodep;
    // Pointer defines (locators, date-time descriptors) step by pointer in array fetches.
    if (dty == SQLT_CLOB || dty == SQLT_BLOB || dty == SQLT_TIMESTAMP || dty == SQLT_TIMESTAMP_TZ ||
        dty == SQLT_TIMESTAMP_LTZ || dty == SQLT_DATE)
        d.value_sz = static_cast<sb4>(sizeof(void*));
    *defnpp = reinterpret_cast<OCIDefine*>(slot);
    return OCI_SUCCESS;
}

KOCI_API sword OCILobRead(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, ub4* amtp,
                          ub4 offset, void* bufp, ub4 bufl, void* ctxp, OCICallbackLobRead cbfp,
                          ub2 csid, ub1 csfrm) {
    auto* svc = find_as<svcctx_h>(svchp, OCI_HTYPE_SVCCTX);
    auto* err = find_as<err_h>(errhp, OCI_HTYPE_ERROR);
    auto* lob = find_as<lob_h>(locp, OCI_DTYPE_LOB);
    if (!svc || !err || !lob || !lob->data) return OCI_INVALID_HANDLE;
    if (!amtp || !bufp) return fail(err, 24801);
    env_h* env = env_of(lob);
    if (lob->is_clob && (csfrm == 0 ? SQLCS_IMPLICIT : csfrm) != lob->form) return fail(err, 24806);
    if (env && env->streaming_lob && env->streaming_lob != lob) return fail(err, 24804);
    const std::string& data = *lob->data;
    if (!lob->streaming) {
        if (offset == 0) return fail(err, 24801);
        std::size_t start = 0;
        std::size_t end = 0;
        lob_piece_bounds(*lob, offset, *amtp, start, end);
        if (start >= end) {
            *amtp = 0;
            return OCI_SUCCESS;
        }
        lob->streaming = true;
        lob->next = start;
        lob->stream_end = end;
    }
    // CLOB text goes out as UTF-8 unless the caller asks for UTF-16 by character set id.
    const bool utf16 = lob->is_clob && csid == OCI_UTF16ID;
    std::string piece;
    auto take = [&]() -> std::size_t {
        if (!lob->is_clob) {
            const std::size_t n = std::min<std::size_t>(bufl, lob->stream_end - lob->next);
            std::memcpy(bufp, data.data() + lob->next, n);
            lob->next += n;
            return n;
        }
        lob->next = clob_piece(data, lob->next, lob->stream_end, bufl, utf16, piece);
        std::memcpy(bufp, piece.data(), piece.size());
        return piece.size();
    };
    if (cbfp) {
        ub4 total = 0;
        bool first = true;
        while (lob->next < lob->stream_end) {
            const std::size_t n = take();
            if (n == 0) break;
            total += static_cast<ub4>(utf16 ? n / 2 : n);
            const bool last = lob->next >= lob->stream_end;
            const ub1 piece_kind = first && last ? OCI_ONE_PIECE
                                   : first       ? OCI_FIRST_PIECE
                                   : last        ? OCI_LAST_PIECE
                                                 : OCI_NEXT_PIECE;
            first = false;
            if (cbfp(ctxp, bufp, static_cast<ub4>(n), piece_kind) != OCI_CONTINUE) break;
        }
        lob->streaming = false;
        if (env) env->streaming_lob = nullptr;
        *amtp = total;
        return OCI_SUCCESS;
    }
    const std::size_t n = take();
    *amtp = static_cast<ub4>(utf16 ? n / 2 : n);
    if (lob->next < lob->stream_end) {
        if (env) env->streaming_lob = lob;
        return OCI_NEED_DATA;
    }
    lob->streaming = false;
    if (env) env->streaming_lob = nullptr;
    return OCI_SUCCESS;
}

KOCI_API sword OCILobCharSetForm(OCIEnv* envhp, OCIError* errhp, const OCILobLocator* locp,
                                 ub1* csfrm) {
    auto* env = find_as<env_h>(envhp, OCI_HTYPE_ENV);
    auto* err = find_as<err_h>(errhp, OCI_HTYPE_ERROR);
    auto* lob = find_as<lob_h>(locp, OCI_DTYPE_LOB);
    if (!env || !err || !lob) return OCI_INVALID_HANDLE;
    if (!csfrm) return fail(err, 24801);
    *csfrm = lob->is_clob ? lob->form : 0;
    return OCI_SUCCESS;
}

KOCI_API sword OCILobGetLength(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, ub4* lenp) {
    auto* svc = find_as<svcctx_h>(svchp, OCI_HTYPE_SVCCTX);
    auto* err = find_as<err_h>(errhp, OCI_HTYPE_ERROR);
    auto* lob = find_as<lob_h>(locp, OCI_DTYPE_LOB);
    if (!svc || !err || !lob || !lob->data) return OCI_INVALID_HANDLE;
    if (!lenp) return fail(err, 24801);
    *lenp = static_cast<ub4>(lob->is_clob ? utf16_length(*lob->data) : lob->data->size());
    return OCI_SUCCESS;
}

KOCI_API sword OCIDateTimeGetDate(void* hndl, OCIError* errhp, const OCIDateTime* datetime, sb2* yr,
                                  ub1* mnth, ub1* dy) {
    handle_base* h = registry_find(hndl);
    auto* err = find_as<err_h>(errhp, OCI_HTYPE_ERROR);
    auto* dt = find_datetime(datetime);
    if (!h || (h->type != OCI_HTYPE_ENV && h->type != OCI_HTYPE_SESSION) || !err || !dt)
        return OCI_INVALID_HANDLE;
    if (yr) *yr = static_cast<sb2>(dt->value.year);
    if (mnth) *mnth = static_cast<ub1>(dt->value.month);
    if (dy) *dy = static_cast<ub1>(dt->value.day);
    return OCI_SUCCESS;
}

KOCI_API sword OCIDateTimeGetTime(void* hndl, OCIError* errhp, OCIDateTime* datetime, ub1* hr,
                                  ub1* mm, ub1* ss, ub4* fsec) {
    handle_base* h = registry_find(hndl);
    auto* err = find_as<err_h>(errhp, OCI_HTYPE_ERROR);
    auto* dt = find_datetime(datetime);
    if (!h || (h->type != OCI_HTYPE_ENV && h->type != OCI_HTYPE_SESSION) || !err || !dt)
        return OCI_INVALID_HANDLE;
    if (hr) *hr = static_cast<ub1>(dt->value.hour);
    if (mm) *mm = static_cast<ub1>(dt->value.minute);
    if (ss) *ss = static_cast<ub1>(dt->value.second);
    if (fsec) *fsec = dt->value.nanos;
    return OCI_SUCCESS;
}

// Binds and LOB writes belong to statements that change data, which this engine does not run
// through the interface yet.  The calls check what Oracle checks first (handles, the
// placeholder's name, the locator) and then answer as a server without the feature would.
KOCI_API sword OCIBindByName(OCIStmt* stmtp, OCIBind** bindpp, OCIError* errhp,
                             const OraText* placeholder, sb4 placeh_len, void* /*valuep*/,
                             sb4 /*value_sz*/, ub2 /*dty*/, void* /*indp*/, ub2* /*alenp*/,
                             ub2* /*rcodep*/, ub4 /*maxarr_len*/, ub4* /*curelep*/, ub4 /*mode*/) {
    auto* s = find_as<stmt_h>(stmtp, OCI_HTYPE_STMT);
    auto* err = find_as<err_h>(errhp, OCI_HTYPE_ERROR);
    if (!s || !err || !bindpp) return OCI_INVALID_HANDLE;
    // A name that the prepared text does not hold is an illegal variable name.
    const std::string name =
        placeholder && placeh_len > 0
            ? text_in(env_of(s), placeholder, static_cast<std::size_t>(placeh_len))
            : "";
    if (!s->prepared || !has_placeholder(s->sql, name)) return fail(err, 1036);
    return fail(err, 3001);
}

KOCI_API sword OCIBindDynamic(OCIBind* bindp, OCIError* errhp, void* /*ictxp*/,
                              OCICallbackInBind /*icbfp*/, void* /*octxp*/,
                              OCICallbackOutBind /*ocbfp*/) {
    // OCIBindByName hands out no bind handle yet, so every handle given here is invalid.
    (void)bindp;
    (void)errhp;
    return OCI_INVALID_HANDLE;
}

KOCI_API sword OCILobWrite(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, ub4* amtp,
                           ub4 /*offset*/, void* /*bufp*/, ub4 /*buflen*/, ub1 /*piece*/,
                           void* /*ctxp*/, OCICallbackLobWrite /*cbfp*/, ub2 /*csid*/,
                           ub1 /*csfrm*/) {
    auto* err = find_as<err_h>(errhp, OCI_HTYPE_ERROR);
    auto* lob = find_as<lob_h>(locp, OCI_DTYPE_LOB);
    // A locator that holds no LOB (never fetched, or NULL) is no LOB, as for the reads.
    if (!find_as<svcctx_h>(svchp, OCI_HTYPE_SVCCTX) || !err || !lob || !lob->data)
        return OCI_INVALID_HANDLE;
    if (!amtp) return fail(err, 24801);
    // Every locator comes from a query without FOR UPDATE, whose rows are not locked.
    return fail(err, 22920);
}

}  // extern "C"
