#include "ol_loader.h"

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <variant>

#include "ol_catalog.h"
#include "ol_lexer.h"
#include "ol_script.h"
#include "ol_text.h"
#include "ol_values.h"

namespace ocilite::load {

namespace {

// ------------------------------------------------------------ SQLite RAII

struct db_closer {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
struct stmt_finalizer {
    void operator()(sqlite3_stmt* st) const { sqlite3_finalize(st); }
};
using db_ptr = std::unique_ptr<sqlite3, db_closer>;
using stmt_ptr = std::unique_ptr<sqlite3_stmt, stmt_finalizer>;

struct blob {
    std::string bytes;
};
using cell = std::variant<std::nullptr_t, int64_t, double, std::string, blob>;

// An SQLite failure while writing the database: not a script problem.
struct sqlite_failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

std::string quote_ident(std::string_view name) {
    std::string r = "\"";
    for (char c : name) {
        if (c == '"') r += '"';
        r += c;
    }
    return r + "\"";
}

// ------------------------------------------------------------ column types

enum class kind {
    number,
    floating,
    varchar,
    fixed_char,
    clob,
    long_text,
    date,
    timestamp,
    timestamp_tz,
    timestamp_ltz,
    interval_ym,
    interval_ds,
    raw,
    long_raw,
    blob_lob,
    bfile,
    binary_float,
    binary_double,
    rowid,
    named
};

struct column_type {
    kind k = kind::number;
    std::string data_type;
    int data_length = 22;
    std::optional<int> precision, scale;
    int char_length = 0;
    std::optional<std::string> char_used;
    bool char_semantics = false;  // lengths count characters (n CHAR, national types)
};

bool is_numeric(kind k) {
    return k == kind::number || k == kind::floating;
}

// Rebuilds the type from its USER_TAB_COLUMNS facts (tables of an earlier run).
column_type type_from_catalog(const std::string& dt, int len, std::optional<int> prec,
                              std::optional<int> scale, int char_len,
                              const std::optional<std::string>& used) {
    column_type t;
    t.data_type = dt;
    t.data_length = len;
    t.precision = prec;
    t.scale = scale;
    t.char_length = char_len;
    t.char_used = used;
    t.char_semantics = used && *used == "C";
    auto starts = [&](std::string_view p) { return dt.rfind(p, 0) == 0; };
    if (dt == "NUMBER")
        t.k = kind::number;
    else if (dt == "FLOAT")
        t.k = kind::floating;
    else if (dt == "VARCHAR2" || dt == "NVARCHAR2")
        t.k = kind::varchar;
    else if (dt == "CHAR" || dt == "NCHAR")
        t.k = kind::fixed_char;
    else if (dt == "CLOB" || dt == "NCLOB")
        t.k = kind::clob;
    else if (dt == "LONG")
        t.k = kind::long_text;
    else if (dt == "DATE")
        t.k = kind::date;
    else if (starts("TIMESTAMP") && dt.find("LOCAL") != std::string::npos)
        t.k = kind::timestamp_ltz;
    else if (starts("TIMESTAMP") && dt.find("ZONE") != std::string::npos)
        t.k = kind::timestamp_tz;
    else if (starts("TIMESTAMP"))
        t.k = kind::timestamp;
    else if (starts("INTERVAL YEAR"))
        t.k = kind::interval_ym;
    else if (starts("INTERVAL DAY"))
        t.k = kind::interval_ds;
    else if (dt == "RAW")
        t.k = kind::raw;
    else if (dt == "LONG RAW")
        t.k = kind::long_raw;
    else if (dt == "BLOB")
        t.k = kind::blob_lob;
    else if (dt == "BFILE")
        t.k = kind::bfile;
    else if (dt == "BINARY_FLOAT")
        t.k = kind::binary_float;
    else if (dt == "BINARY_DOUBLE")
        t.k = kind::binary_double;
    else if (dt == "ROWID" || dt == "UROWID")
        t.k = kind::rowid;
    else
        t.k = kind::named;
    return t;
}

int read_length(token_stream& ts, int max,
                const char* too_long = "ORA-00910: specified length too long for its datatype") {
    const token& t = ts.peek();
    if (t.kind != tok_kind::number)
        ts.fail("ORA-00910: specified length too long for its datatype");
    const auto d = decimal::parse(t.text);
    if (!d || !d->is_integer()) ts.fail("ORA-00910: specified length too long for its datatype");
    const auto v = d->to_int64();
    if (!v || *v > max) ts.fail(too_long);
    if (*v == 0) ts.fail("ORA-01723: zeros not permitted");
    ts.next();
    return static_cast<int>(*v);
}

std::optional<int> read_signed(token_stream& ts) {
    bool neg = false;
    if (ts.accept_op("-"))
        neg = true;
    else
        ts.accept_op("+");
    const token& t = ts.peek();
    if (t.kind != tok_kind::number) return std::nullopt;
    const auto d = decimal::parse(t.text);
    if (!d || !d->is_integer()) return std::nullopt;
    const auto v = d->to_int64();
    if (!v || *v > 100000) return std::nullopt;
    ts.next();
    return static_cast<int>(neg ? -*v : *v);
}

// The type names Oracle itself supplies that a column may use by name.
bool known_named_type(const std::string& n) {
    static const std::set<std::string> names = {
        "XMLTYPE",     "SDO_GEOMETRY", "SDO_TOPO_GEOMETRY", "SDO_GEORASTER", "ANYDATA",
        "ANYTYPE",     "ANYDATASET",   "URITYPE",           "DBURITYPE",     "XDBURITYPE",
        "HTTPURITYPE", "ORDIMAGE",     "ORDAUDIO",          "ORDVIDEO",      "ORDDOC",
        "JSON",        "BOOLEAN",      "SI_STILLIMAGE",     "MLSLABEL"};
    return names.count(n) > 0;
}

// Parses a column's data type at the cursor.  `user_types` holds the names
// of types the scripts created.
column_type parse_type(token_stream& ts, const std::set<std::string>& user_types) {
    column_type t;
    const token& first = ts.peek();
    if (first.kind != tok_kind::ident) ts.fail("ORA-00902: invalid datatype");
    std::string n = ts.next().text;
    auto paren_length = [&](int max, bool required) -> std::optional<int> {
        if (!ts.is_op("(")) {
            if (required) ts.fail("ORA-00906: missing left parenthesis");
            return std::nullopt;
        }
        ts.next();
        const int len = read_length(ts, max);
        return len;
    };
    auto semantics = [&](column_type& ct, int n_len, int max_bytes) {
        if (ts.accept("CHAR")) {
            ct.char_semantics = true;
            ct.char_used = "C";
            ct.data_length = std::min(4 * n_len, max_bytes);
        } else {
            ts.accept("BYTE");
            ct.char_used = "B";
            ct.data_length = n_len;
        }
        ct.char_length = n_len;
    };
    if (n == "CHARACTER" || n == "CHAR") {
        if (ts.accept("VARYING")) n = "VARCHAR2";
    } else if (n == "NATIONAL") {
        if (!ts.accept("CHARACTER")) ts.expect("CHAR", "ORA-00902: invalid datatype");
        n = ts.accept("VARYING") ? "NVARCHAR2" : "NCHAR";
    } else if (n == "NCHAR" && ts.accept("VARYING")) {
        n = "NVARCHAR2";
    } else if (n == "LONG" && ts.accept("RAW")) {
        n = "LONG RAW";
    } else if (n == "LONG" && ts.accept("VARCHAR")) {
        n = "LONG";
    } else if (n == "DOUBLE") {
        ts.expect("PRECISION", "ORA-00902: invalid datatype");
        n = "DOUBLE PRECISION";
    }
    if (n == "VARCHAR2" || n == "VARCHAR") {
        t.k = kind::varchar;
        t.data_type = "VARCHAR2";
        const int len = *paren_length(32767, true);
        if (len > 4000) ts.fail("ORA-00910: specified length too long for its datatype");
        semantics(t, len, 4000);
        ts.expect_op(")", "ORA-00907: missing right parenthesis");
    } else if (n == "CHAR") {
        t.k = kind::fixed_char;
        t.data_type = "CHAR";
        int len = 1;
        if (ts.accept_op("(")) {
            len = read_length(ts, 2000);
            semantics(t, len, 2000);
            ts.expect_op(")", "ORA-00907: missing right parenthesis");
        } else {
            t.char_used = "B";
            t.data_length = t.char_length = 1;
        }
    } else if (n == "NVARCHAR2" || n == "NCHAR") {
        const bool var = n == "NVARCHAR2";
        t.k = var ? kind::varchar : kind::fixed_char;
        t.data_type = n;
        int len = 1;
        if (ts.accept_op("(")) {
            len = read_length(ts, var ? 2000 : 1000);
            ts.expect_op(")", "ORA-00907: missing right parenthesis");
        } else if (var) {
            ts.fail("ORA-00906: missing left parenthesis");
        }
        t.char_semantics = true;
        t.char_used = "C";
        t.char_length = len;
        t.data_length = 2 * len;
    } else if (n == "NUMBER" || n == "NUMERIC" || n == "DECIMAL" || n == "DEC") {
        t.k = kind::number;
        t.data_type = "NUMBER";
        const bool ansi = n != "NUMBER";
        if (ts.accept_op("(")) {
            std::optional<int> p;
            if (!ts.accept_op("*")) {
                p = read_signed(ts);
                if (!p || *p < 1 || *p > 38)
                    ts.fail("ORA-01727: numeric precision specifier is out of range (1 to 38)");
            }
            int s = 0;
            if (ts.accept_op(",")) {
                const auto sc = read_signed(ts);
                if (!sc || *sc < -84 || *sc > 127)
                    ts.fail("ORA-01728: numeric scale specifier is out of range (-84 to 127)");
                s = *sc;
            } else if (!p) {
                ts.expect_op(")", "ORA-00907: missing right parenthesis");
                return t;  // NUMBER(*)
            }
            ts.expect_op(")", "ORA-00907: missing right parenthesis");
            t.precision = p;
            t.scale = s;
        } else if (ansi) {
            t.scale = 0;
        }
    } else if (n == "INTEGER" || n == "INT" || n == "SMALLINT") {
        t.k = kind::number;
        t.data_type = "NUMBER";
        t.scale = 0;
    } else if (n == "FLOAT" || n == "REAL" || n == "DOUBLE PRECISION") {
        t.k = kind::floating;
        t.data_type = "FLOAT";
        t.precision = n == "REAL" ? 63 : 126;
        if (n == "FLOAT" && ts.accept_op("(")) {
            const auto b = read_signed(ts);
            if (!b || *b < 1 || *b > 126)
                ts.fail("ORA-01724: floating point precision is out of range (1 to 126)");
            t.precision = *b;
            ts.expect_op(")", "ORA-00907: missing right parenthesis");
        }
    } else if (n == "BINARY_FLOAT" || n == "BINARY_DOUBLE") {
        t.k = n == "BINARY_FLOAT" ? kind::binary_float : kind::binary_double;
        t.data_type = n;
        t.data_length = n == "BINARY_FLOAT" ? 4 : 8;
    } else if (n == "DATE") {
        t.k = kind::date;
        t.data_type = "DATE";
        t.data_length = 7;
    } else if (n == "TIMESTAMP") {
        int f = 6;
        if (ts.accept_op("(")) {
            const auto v = read_signed(ts);
            if (!v || *v < 0 || *v > 9)
                ts.fail("ORA-30088: datetime/interval precision is out of range");
            f = *v;
            ts.expect_op(")", "ORA-00907: missing right parenthesis");
        }
        t.k = kind::timestamp;
        t.data_length = 11;
        std::string suffix;
        if (ts.accept("WITH")) {
            if (ts.accept("LOCAL")) {
                t.k = kind::timestamp_ltz;
                suffix = " WITH LOCAL TIME ZONE";
            } else {
                t.k = kind::timestamp_tz;
                t.data_length = 13;
                suffix = " WITH TIME ZONE";
            }
            ts.expect("TIME", "ORA-00902: invalid datatype");
            ts.expect("ZONE", "ORA-00902: invalid datatype");
        }
        t.data_type = "TIMESTAMP(" + std::to_string(f) + ")" + suffix;
        t.scale = f;
    } else if (n == "INTERVAL") {
        auto prec = [&](int def) {
            int v = def;
            if (ts.accept_op("(")) {
                const auto p = read_signed(ts);
                if (!p || *p < 0 || *p > 9)
                    ts.fail("ORA-30088: datetime/interval precision is out of range");
                v = *p;
                ts.expect_op(")", "ORA-00907: missing right parenthesis");
            }
            return v;
        };
        if (ts.accept("YEAR")) {
            const int y = prec(2);
            ts.expect("TO", "ORA-00902: invalid datatype");
            ts.expect("MONTH", "ORA-00902: invalid datatype");
            t.k = kind::interval_ym;
            t.data_type = "INTERVAL YEAR(" + std::to_string(y) + ") TO MONTH";
            t.data_length = 5;
            t.precision = y;
            t.scale = 0;
        } else if (ts.accept("DAY")) {
            const int d = prec(2);
            ts.expect("TO", "ORA-00902: invalid datatype");
            ts.expect("SECOND", "ORA-00902: invalid datatype");
            const int f = prec(6);
            t.k = kind::interval_ds;
            t.data_type =
                "INTERVAL DAY(" + std::to_string(d) + ") TO SECOND(" + std::to_string(f) + ")";
            t.data_length = 11;
            t.precision = d;
            t.scale = f;
        } else {
            ts.fail("ORA-00902: invalid datatype");
        }
    } else if (n == "RAW") {
        t.k = kind::raw;
        t.data_type = "RAW";
        t.data_length = *paren_length(2000, true);
        ts.expect_op(")", "ORA-00907: missing right parenthesis");
    } else if (n == "LONG" || n == "LONG RAW") {
        t.k = n == "LONG" ? kind::long_text : kind::long_raw;
        t.data_type = n;
        t.data_length = 0;
    } else if (n == "CLOB" || n == "NCLOB" || n == "BLOB") {
        t.k = n == "BLOB" ? kind::blob_lob : kind::clob;
        t.data_type = n;
        t.data_length = 4000;
    } else if (n == "BFILE") {
        t.k = kind::bfile;
        t.data_type = n;
        t.data_length = 530;
    } else if (n == "ROWID") {
        t.k = kind::rowid;
        t.data_type = n;
        t.data_length = 10;
    } else if (n == "UROWID") {
        t.k = kind::rowid;
        t.data_type = n;
        t.data_length = 4000;
        if (ts.accept_op("(")) {
            t.data_length = read_length(ts, 4000);
            ts.expect_op(")", "ORA-00907: missing right parenthesis");
        }
    } else {
        // A named (object) type: Oracle's own, a script's, or schema-qualified.
        std::string name = n;
        bool qualified = false;
        if (ts.is_op(".") && ts.peek(1).kind == tok_kind::ident) {
            ts.next();
            name = ts.next().text;
            qualified = true;
        }
        if (!qualified && !known_named_type(name) && !user_types.count(name))
            throw sql_error{"ORA-00902: invalid datatype", first.line};
        t.k = kind::named;
        t.data_type = name;
        t.data_length = name == "XMLTYPE" ? 2000 : 1;
    }
    return t;
}

// ------------------------------------------------------------ values

struct value {
    enum class tag { null, number, text, date, raw, real } t = tag::null;
    decimal num;
    std::string str;  // text, or raw bytes
    date_time dt;
    bool timestamp = false;  // a date with fractional seconds (TIMESTAMP)
    std::string zone;        // a TIMESTAMP WITH TIME ZONE's zone in TZR form; empty: none
    double real = 0;

    static value null() { return {}; }
    static value of_number(decimal d) {
        value v;
        v.t = tag::number;
        v.num = std::move(d);
        return v;
    }
    static value of_text(std::string s) {
        value v;
        if (s.empty()) return v;  // '' is NULL
        v.t = tag::text;
        v.str = std::move(s);
        return v;
    }
    static value of_date(date_time d, bool ts) {
        value v;
        v.t = tag::date;
        v.dt = d;
        v.timestamp = ts;
        if (!ts) v.dt.nanos = 0;
        return v;
    }
    static value of_raw(std::string bytes) {
        value v;
        v.t = tag::raw;
        v.str = std::move(bytes);
        return v;
    }
    bool is_null() const { return t == tag::null; }
};

const char* type_word(const value& v) {
    switch (v.t) {
        case value::tag::number:
            return "NUMBER";
        case value::tag::text:
            return "CHAR";
        case value::tag::date:
            return v.timestamp ? "TIMESTAMP" : "DATE";
        case value::tag::raw:
            return "BINARY";
        case value::tag::real:
            return "BINARY_DOUBLE";
        default:
            return "NULL";
    }
}

std::string hex_upper(std::string_view bytes) {
    static const char* digits = "0123456789ABCDEF";
    std::string r;
    for (unsigned char c : bytes) {
        r += digits[c >> 4];
        r += digits[c & 15];
    }
    return r;
}

std::optional<std::string> unhex(std::string_view s) {
    std::string r;
    auto nib = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    std::size_t i = 0;
    if (s.size() % 2) {
        if (nib(s[0]) < 0) return std::nullopt;
        r += static_cast<char>(nib(s[0]));
        i = 1;
    }
    for (; i < s.size(); i += 2) {
        const int a = nib(s[i]), b = nib(s[i + 1]);
        if (a < 0 || b < 0) return std::nullopt;
        r += static_cast<char>(a * 16 + b);
    }
    return r;
}

std::size_t utf8_length(std::string_view s) {
    std::size_t n = 0;
    for (unsigned char c : s)
        if ((c & 0xC0) != 0x80) ++n;
    return n;
}

std::string real_text(double d) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.17g", d);
    return buf;
}

// ------------------------------------------------------------ catalog model

struct column_info {
    std::string name;
    column_type type;
    bool not_null = false;
    std::optional<std::string> default_text;
    std::string identity_seq;  // ISEQ$$_n of an identity column
};

struct table_info {
    std::string name;
    std::vector<column_info> cols;
    stmt_ptr insert;  // INSERT of all columns, prepared on first use

    int find(const std::string& c) const {
        for (std::size_t i = 0; i < cols.size(); ++i)
            if (cols[i].name == c) return static_cast<int>(i);
        return -1;
    }
};

struct sequence_info {
    std::string name;
    int64_t min = 1, max = INT64_MAX, increment = 1, next = 1;
    bool cycle = false;
    std::optional<int64_t> current;  // CURRVAL once NEXTVAL ran in this session
};

struct constraint_def {
    std::string name;
    bool generated_name = false;
    char type = 'C';
    std::vector<std::string> cols;
    std::string ref_table;
    std::vector<std::string> ref_cols;
    std::string delete_rule = "NO ACTION";
    std::string condition;
    bool enabled = true;
    std::string using_index;
    bool not_null_check = false;
    int line = 0;
};

// Thrown to end a script under --strict.
struct strict_stop {};

// The 40 significant digits Oracle keeps in a NUMBER.
constexpr int kNumberDigits = 40;

}  // namespace

bool parse_user_spec(std::string_view text, user_spec& out) {
    const std::size_t a = text.find('/');
    if (a == std::string_view::npos || a == 0 || a + 1 >= text.size()) return false;
    std::string_view rest = text.substr(a + 1);
    const std::size_t b = rest.find('/');
    out.name = upper_ascii(text.substr(0, a));
    out.locked = false;
    if (b != std::string_view::npos) {
        if (upper_ascii(rest.substr(b + 1)) != "LOCKED" || b == 0) return false;
        out.locked = true;
        rest = rest.substr(0, b);
    }
    out.password = std::string(rest);
    return true;
}

// ================================================================== impl

struct loader::impl {
    impl(const std::string& path, loader_options opts, std::ostream& diag);

    loader_options opts;
    std::ostream& diag;
    db_ptr db;
    std::string owner;
    std::string script;  // name for messages
    int errors = 0, unsupported = 0;
    std::map<std::string, std::unique_ptr<table_info>> tables;
    std::map<std::string, sequence_info> sequences;
    std::set<std::string> user_types;
    std::map<std::string, value> variables;      // PL/SQL block variables
    std::map<std::string, int64_t> row_nextval;  // NEXTVAL values of the current row
    std::string nls_date_format = "DD-MON-RR";
    std::string nls_timestamp_format = "DD-MON-RR HH.MI.SSXFF AM";
    std::string nls_timestamp_tz_format = "DD-MON-RR HH.MI.SSXFF AM TZR";
    date_time now;
    bool stop_script = false;

    // ---- SQLite helpers
    void exec(const std::string& sql) {
        char* err = nullptr;
        if (sqlite3_exec(db.get(), sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
            std::string m = err ? err : "unknown error";
            sqlite3_free(err);
            throw sqlite_failure(m + " [" + sql + "]");
        }
    }
    stmt_ptr prepare(const std::string& sql) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db.get(), sql.c_str(), static_cast<int>(sql.size()), &st, nullptr) !=
            SQLITE_OK)
            throw sqlite_failure(std::string(sqlite3_errmsg(db.get())) + " [" + sql + "]");
        return stmt_ptr(st);
    }
    static void bind(sqlite3_stmt* st, int i, const cell& c) {
        if (std::holds_alternative<std::nullptr_t>(c))
            sqlite3_bind_null(st, i);
        else if (auto* n = std::get_if<int64_t>(&c))
            sqlite3_bind_int64(st, i, *n);
        else if (auto* d = std::get_if<double>(&c))
            sqlite3_bind_double(st, i, *d);
        else if (auto* s = std::get_if<std::string>(&c))
            sqlite3_bind_text(st, i, s->data(), static_cast<int>(s->size()), SQLITE_TRANSIENT);
        else {
            const auto& b = std::get<blob>(c);
            sqlite3_bind_blob(st, i, b.bytes.data(), static_cast<int>(b.bytes.size()),
                              SQLITE_TRANSIENT);
        }
    }
    // Runs a statement with parameters; returns the rows (each a vector of cells).
    std::vector<std::vector<cell>> query(const std::string& sql,
                                         const std::vector<cell>& args = {}) {
        stmt_ptr st = prepare(sql);
        for (std::size_t i = 0; i < args.size(); ++i)
            bind(st.get(), static_cast<int>(i + 1), args[i]);
        std::vector<std::vector<cell>> rows;
        for (;;) {
            const int rc = sqlite3_step(st.get());
            if (rc == SQLITE_DONE) break;
            if (rc != SQLITE_ROW)
                throw sqlite_failure(std::string(sqlite3_errmsg(db.get())) + " [" + sql + "]");
            std::vector<cell> row;
            for (int c = 0; c < sqlite3_column_count(st.get()); ++c) {
                switch (sqlite3_column_type(st.get(), c)) {
                    case SQLITE_INTEGER:
                        row.emplace_back(static_cast<int64_t>(sqlite3_column_int64(st.get(), c)));
                        break;
                    case SQLITE_FLOAT:
                        row.emplace_back(sqlite3_column_double(st.get(), c));
                        break;
                    case SQLITE_TEXT:
                        row.emplace_back(std::string(
                            reinterpret_cast<const char*>(sqlite3_column_text(st.get(), c)),
                            static_cast<std::size_t>(sqlite3_column_bytes(st.get(), c))));
                        break;
                    case SQLITE_BLOB: {
                        const void* p = sqlite3_column_blob(st.get(), c);
                        blob b;
                        if (p)
                            b.bytes.assign(
                                static_cast<const char*>(p),
                                static_cast<std::size_t>(sqlite3_column_bytes(st.get(), c)));
                        row.emplace_back(std::move(b));
                        break;
                    }
                    default:
                        row.emplace_back(nullptr);
                }
            }
            rows.push_back(std::move(row));
        }
        return rows;
    }
    static std::string text_of(const cell& c) {
        if (auto* s = std::get_if<std::string>(&c)) return *s;
        if (auto* n = std::get_if<int64_t>(&c)) return std::to_string(*n);
        return {};
    }
    static std::optional<int> int_of(const cell& c) {
        if (auto* n = std::get_if<int64_t>(&c)) return static_cast<int>(*n);
        return std::nullopt;
    }
    bool exists(const std::string& sql, const std::vector<cell>& args) {
        return !query(sql, args).empty();
    }

    // ---- diagnostics
    void report_error(int line, const std::string& ora) {
        ++errors;
        diag << script << ":" << line << ": " << ora << "\n";
        if (opts.strict) throw strict_stop{};
    }
    void report_unsupported(int line, const std::string& what) {
        ++unsupported;
        diag << script << ":" << line << ": unsupported statement skipped (" << what << ")\n";
        if (opts.strict) throw strict_stop{};
    }
    void note(int line, const std::string& text) {
        diag << script << ":" << line << ": note: " << text << "\n";
    }

    // ---- catalog access
    std::string next_sys_name() {
        const auto rows = query("SELECT value FROM ocilite_settings WHERE name=?",
                                {std::string(kSysCounterSetting)});
        int64_t n = 10000;
        if (!rows.empty()) {
            const auto d = decimal::parse(text_of(rows[0][0]));
            if (d && d->to_int64()) n = *d->to_int64();
        }
        query("INSERT OR REPLACE INTO ocilite_settings(name, value) VALUES(?, ?)",
              {std::string(kSysCounterSetting), std::to_string(n + 1)});
        return "SYS_C00" + std::to_string(n);
    }
    bool object_exists(const std::string& name) {
        return exists(
                   "SELECT 1 FROM ocilite_tables WHERE table_name=?1 UNION ALL SELECT 1 FROM "
                   "ocilite_views "
                   "WHERE view_name=?1 UNION ALL SELECT 1 FROM ocilite_sequences WHERE "
                   "sequence_name=?1",
                   {name}) ||
               exists(
                   "SELECT 1 FROM sqlite_master WHERE name=?1 COLLATE NOCASE AND type IN "
                   "('table','view')",
                   {name});
    }
    bool is_table(const std::string& name) {
        return exists("SELECT 1 FROM ocilite_tables WHERE table_name=?", {name});
    }
    bool is_view(const std::string& name) {
        return exists("SELECT 1 FROM ocilite_views WHERE view_name=?", {name});
    }

    table_info* table(const std::string& name, int line) {
        auto it = tables.find(name);
        if (it != tables.end()) return it->second.get();
        if (!is_table(name)) throw sql_error{"ORA-00942: table or view does not exist", line};
        auto t = std::make_unique<table_info>();
        t->name = name;
        for (const auto& r :
             query("SELECT column_name, data_type, data_length, data_precision, data_scale, "
                   "nullable, "
                   "data_default, char_length, char_used FROM ocilite_columns WHERE table_name=? "
                   "ORDER BY column_id",
                   {name})) {
            column_info c;
            c.name = text_of(r[0]);
            std::optional<std::string> used;
            if (!std::holds_alternative<std::nullptr_t>(r[8])) used = text_of(r[8]);
            c.type = type_from_catalog(text_of(r[1]), int_of(r[2]).value_or(0), int_of(r[3]),
                                       int_of(r[4]), int_of(r[7]).value_or(0), used);
            c.not_null = text_of(r[5]) == "N";
            if (!std::holds_alternative<std::nullptr_t>(r[6])) {
                c.default_text = text_of(r[6]);
                const std::string& d = *c.default_text;
                const std::size_t p = d.find("\"ISEQ$$_");
                if (p != std::string::npos && d.find("\".nextval") != std::string::npos) {
                    const std::size_t e = d.find('"', p + 1);
                    c.identity_seq = d.substr(p + 1, e - p - 1);
                }
            }
            t->cols.push_back(std::move(c));
        }
        auto* raw = t.get();
        tables[name] = std::move(t);
        return raw;
    }
    void forget_table(const std::string& name) { tables.erase(name); }
    void forget_all() {
        tables.clear();
        sequences.clear();
    }

    sequence_info* sequence(const std::string& name) {
        auto it = sequences.find(name);
        if (it != sequences.end()) return &it->second;
        const auto rows = query(
            "SELECT min_value, max_value, increment_by, last_number FROM ocilite_sequences "
            "WHERE sequence_name=?",
            {name});
        if (rows.empty()) return nullptr;
        sequence_info s;
        s.name = name;
        auto num = [&](const cell& c, int64_t def) {
            const auto d = decimal::parse(text_of(c));
            if (!d) return def;
            const auto v = d->to_int64();
            return v ? *v : (d->neg ? INT64_MIN : INT64_MAX);
        };
        s.min = num(rows[0][0], 1);
        s.max = num(rows[0][1], INT64_MAX);
        s.increment = num(rows[0][2], 1);
        s.next = num(rows[0][3], s.min);
        return &(sequences[name] = s);
    }
    int64_t nextval(const std::string& name, int line) {
        auto cached = row_nextval.find(name);
        if (cached != row_nextval.end()) return cached->second;
        sequence_info* s = sequence(name);
        if (!s) throw sql_error{"ORA-02289: sequence does not exist", line};
        int64_t v = s->next;
        if ((s->increment > 0 && v > s->max) || (s->increment < 0 && v < s->min)) {
            if (!s->cycle)
                throw sql_error{
                    "ORA-08004: sequence " + name + ".NEXTVAL " +
                        (s->increment > 0 ? "exceeds MAXVALUE" : "goes below MINVALUE") +
                        " and cannot be instantiated",
                    line};
            v = s->increment > 0 ? s->min : s->max;
        }
        s->current = v;
        s->next = v + s->increment;
        query("UPDATE ocilite_sequences SET last_number=? WHERE sequence_name=?",
              {std::to_string(s->next), name});
        row_nextval[name] = v;
        return v;
    }

    // ---- the pieces below are defined after the struct
    void run_unit(const script_unit& u);
    void run_sql(const std::string& text, int line);
    void run_plsql(const std::string& text, int line);
    void run_sqlplus(const std::string& text, int line);
    void statement(token_stream& ts, int line);
    void create_table(token_stream& ts, int line, bool temporary);
    void create_index(token_stream& ts, int line, bool unique, bool bitmap);
    void create_view(token_stream& ts, int line, bool replace);
    void create_sequence(token_stream& ts, int line);
    void alter_table(token_stream& ts, int line);
    void drop(token_stream& ts, int line);
    void insert(token_stream& ts, int line);
    void comment(token_stream& ts, int line);
    column_info parse_column(token_stream& ts, std::vector<constraint_def>& cons,
                             const std::string& table_name);
    constraint_def parse_out_of_line(token_stream& ts);
    void parse_constraint_state(token_stream& ts, constraint_def& c);
    static void parse_reference_target(token_stream& ts, constraint_def& c, bool one_column);
    static void parse_check_body(token_stream& ts, constraint_def& c);
    void add_constraint(const std::string& table_name, constraint_def c);
    std::string ensure_index(const std::string& table_name, const constraint_def& c);
    void enforce_unique(const std::string& table_name, const std::string& cons_name,
                        const std::vector<std::string>& cols, const char* violated, int line);
    void set_constraint_status(const std::string& table_name, const std::string& cons_name,
                               bool enable, int line);
    void drop_constraint(const std::string& table_name, const std::string& cons_name, int line);
    void write_column(const std::string& table_name, int column_id, const column_info& c);
    void add_identity(column_info& c, token_stream& ts);
    std::vector<std::string> column_list(token_stream& ts, const table_info* t);
    cell store(const value& v, const column_info& c, const std::string& table_name, int line);
    void insert_row(table_info& t, std::vector<std::optional<value>> values, int line);
    std::string unique_violation(const std::string& table_name);
    std::string fk_orphans(const std::string& cons_name);
    void check_foreign_keys(const std::string& table_name, int line);
    // NULLABLE is 'N' while an enabled NOT NULL check or primary key covers the column.
    void refresh_nullable(const std::string& table_name, const std::string& col) {
        const bool nn = exists(
            "SELECT 1 FROM ocilite_constraints c JOIN ocilite_cons_columns cc ON "
            "cc.constraint_name=c.constraint_name WHERE c.table_name=?1 AND cc.column_name=?2 AND "
            "c.status='ENABLED' AND (c.constraint_type='P' OR (c.constraint_type='C' AND "
            "c.search_condition='\"' || ?2 || '\" IS NOT NULL'))",
            {table_name, col});
        query("UPDATE ocilite_columns SET nullable=? WHERE table_name=? AND column_name=?",
              {std::string(nn ? "N" : "Y"), table_name, col});
    }
    int64_t row_count(const std::string& table_name) {
        return std::get<int64_t>(query("SELECT count(*) FROM " + quote_ident(table_name))[0][0]);
    }

    // expressions
    value expr(token_stream& ts);
    value concat_level(token_stream& ts);
    value mul_level(token_stream& ts);
    value unary(token_stream& ts);
    value primary(token_stream& ts);
    value call(const std::string& fn, std::vector<value>& args, int line);
    value eval_default(const std::string& text, int line);
    decimal as_number(const value& v, int line);
    std::string as_text(const value& v);
    date_time as_date(const value& v, const std::string& mask, int line);
    // A value for a TIMESTAMP WITH [LOCAL] TIME ZONE column: its date and time and its zone
    // (empty when it has none; the session zone UTC then applies).
    date_time as_zoned(const value& v, std::string& zone, int line);
    value interval_literal(token_stream& ts, const std::string& text, int line);
};

// ------------------------------------------------------------ expressions

decimal loader::impl::as_number(const value& v, int line) {
    switch (v.t) {
        case value::tag::number:
            return v.num;
        case value::tag::text: {
            const auto d = decimal::parse(v.str);
            if (!d) throw sql_error{"ORA-01722: invalid number", line};
            return *d;
        }
        case value::tag::real: {
            if (!std::isfinite(v.real)) throw sql_error{"ORA-01722: invalid number", line};
            return *decimal::parse(real_text(v.real));
        }
        default:
            throw sql_error{std::string("ORA-00932: inconsistent datatypes: expected NUMBER got ") +
                                type_word(v),
                            line};
    }
}

std::string loader::impl::as_text(const value& v) {
    switch (v.t) {
        case value::tag::number:
            return v.num.text();
        case value::tag::text:
            return v.str;
        case value::tag::date:
            return format_datetime(v.dt, v.timestamp ? nls_timestamp_format : nls_date_format);
        case value::tag::raw:
            return hex_upper(v.str);
        case value::tag::real:
            return real_text(v.real);
        default:
            return {};
    }
}

date_time loader::impl::as_date(const value& v, const std::string& mask, int line) {
    if (v.t == value::tag::date) return v.dt;
    if (v.t != value::tag::text)
        throw sql_error{
            std::string("ORA-00932: inconsistent datatypes: expected DATE got ") + type_word(v),
            line};
    std::string ora;
    const auto d = parse_datetime(v.str, mask, now, ora);
    if (!d) throw sql_error{ora, line};
    return *d;
}

date_time loader::impl::as_zoned(const value& v, std::string& zone, int line) {
    if (v.t == value::tag::date) {
        zone = v.zone;
        return v.dt;
    }
    if (v.t != value::tag::text)
        throw sql_error{
            std::string("ORA-00932: inconsistent datatypes: expected TIMESTAMP WITH TIME ZONE "
                        "got ") +
                type_word(v),
            line};
    // Text converts by NLS_TIMESTAMP_TZ_FORMAT; without a zone by the timestamp or date format.
    std::string ora;
    auto d = parse_datetime(v.str, nls_timestamp_tz_format, now, ora, &zone);
    if (d) return *d;
    std::string ignored;
    zone.clear();
    d = parse_datetime(v.str, nls_timestamp_format, now, ignored);
    if (!d) d = parse_datetime(v.str, nls_date_format, now, ignored);
    if (!d) throw sql_error{ora, line};
    return *d;
}

// INTERVAL 'text' YEAR[(p)] TO MONTH | DAY[(p)] TO SECOND[(s)], or one field: YEAR, MONTH,
// DAY, HOUR, MINUTE or SECOND with an optional leading precision.  The value is the interval
// text, which the column it is stored in checks and writes in its own precision.
value loader::impl::interval_literal(token_stream& ts, const std::string& text, int line) {
    auto precision = [&](int dflt) {
        int p = dflt;
        if (ts.accept_op("(")) {
            const token& t = ts.next();
            const auto d = decimal::parse(t.text);
            const auto v = d ? d->to_int64() : std::nullopt;
            if (t.kind != tok_kind::number || !v || *v < 0 || *v > 9)
                throw sql_error{"ORA-30088: datetime/interval precision is out of range", line};
            p = static_cast<int>(*v);
            ts.expect_op(")", "ORA-00907: missing right parenthesis");
        }
        return p;
    };
    const auto invalid = [&] { return sql_error{"ORA-01867: the interval is invalid", line}; };
    const auto too_small = [&] {
        return sql_error{"ORA-01873: the leading precision of the interval is too small", line};
    };
    const token& unit = ts.next();
    const std::string field = unit.kind == tok_kind::ident ? unit.text : std::string();
    const int leading = precision(2);
    if (field == "YEAR" || field == "MONTH") {
        std::int64_t months = 0;
        if (field == "YEAR" && ts.accept("TO")) {
            ts.expect("MONTH", "ORA-00905: missing keyword");
            if (!ocilite::parse_interval_ym(text, months) || text.find('-', 1) == std::string::npos)
                throw invalid();
            if (ocilite::digit_count(months / 12) > leading) throw too_small();
        } else {
            // One field: a whole number of years or months.
            if (!ocilite::parse_interval_ym(text, months) || text.find('-', 1) != std::string::npos)
                throw invalid();
            const std::int64_t n = months / 12;
            if (ocilite::digit_count(n) > leading) throw too_small();
            if (field == "MONTH") months = n;
        }
        return value::of_text(ocilite::interval_ym_text(months, 1));
    }
    if (field == "DAY" && ts.accept("TO")) {
        ts.expect("SECOND", "ORA-00905: missing keyword");
        precision(6);
        ocilite::interval_ds v;
        if (!ocilite::parse_interval_ds(text, v)) throw invalid();
        if (ocilite::digit_count(v.days) > leading) throw too_small();
        return value::of_text(ocilite::interval_ds_text(v, 1, 9));
    }
    if (field == "DAY" || field == "HOUR" || field == "MINUTE" || field == "SECOND") {
        if (field == "SECOND") precision(6);
        const auto d = decimal::parse(text);
        if (!d || (field != "SECOND" && !d->is_integer())) throw invalid();
        // The whole part and (for seconds) the fraction, from the canonical text "12.5".
        std::string digits = (d->neg ? negate(*d) : *d).text();
        const auto point = digits.find('.');
        std::string fraction = point == std::string::npos ? "" : digits.substr(point + 1);
        digits = digits.substr(0, point);
        if (digits.size() > static_cast<std::size_t>(std::max(leading, 1))) throw too_small();
        const std::int64_t n = digits.empty() ? 0 : std::stoll(digits);
        fraction.resize(9, '0');
        const std::int64_t per_day = field == "DAY"      ? 1
                                     : field == "HOUR"   ? 24
                                     : field == "MINUTE" ? 1440
                                                         : 86400;
        std::int64_t rest = n % per_day * (86400 / per_day);  // seconds within the day
        ocilite::interval_ds v;
        v.negative = d->neg;
        v.days = n / per_day;
        v.hours = static_cast<int>(rest / 3600);
        v.minutes = static_cast<int>(rest / 60 % 60);
        v.seconds = static_cast<int>(rest % 60);
        v.nanos = static_cast<std::uint32_t>(std::stoul(fraction.substr(0, 9)));
        return value::of_text(ocilite::interval_ds_text(v, 1, 9));
    }
    throw sql_error{"ORA-03001: unimplemented feature", line};
}

value loader::impl::expr(token_stream& ts) {
    return concat_level(ts);
}

value loader::impl::concat_level(token_stream& ts) {
    value left = mul_level(ts);
    for (;;) {
        const int line = ts.peek().line;
        if (ts.accept_op("||")) {
            value right = mul_level(ts);
            left = value::of_text(as_text(left) + as_text(right));
        } else if (ts.is_op("+") || ts.is_op("-")) {
            const bool minus = ts.next().text == "-";
            value right = mul_level(ts);
            if (left.is_null() || right.is_null()) {
                left = value::null();
            } else if (left.t == value::tag::date && right.t == value::tag::date && minus) {
                const int64_t a =
                    days_from_civil(left.dt.year, left.dt.month, left.dt.day) * 86400 +
                    left.dt.hour * 3600 + left.dt.minute * 60 + left.dt.second;
                const int64_t b =
                    days_from_civil(right.dt.year, right.dt.month, right.dt.day) * 86400 +
                    right.dt.hour * 3600 + right.dt.minute * 60 + right.dt.second;
                char buf[64];
                std::snprintf(buf, sizeof buf, "%.12f", static_cast<double>(a - b) / 86400.0);
                left = value::of_number(round_significant(*decimal::parse(buf), 15));
            } else if (left.t == value::tag::date || right.t == value::tag::date) {
                if (right.t == value::tag::date && minus)
                    throw sql_error{"ORA-00932: inconsistent datatypes: expected NUMBER got DATE",
                                    line};
                const value& d = left.t == value::tag::date ? left : right;
                decimal n = as_number(left.t == value::tag::date ? right : left, line);
                if (minus) n = negate(n);
                const auto r = add_days(d.dt, n);
                if (!r)
                    throw sql_error{
                        "ORA-01841: (full) year must be between -4713 and +9999, and not be 0",
                        line};
                left = value::of_date(*r, false);
            } else {
                decimal b = as_number(right, line);
                left = value::of_number(add(as_number(left, line), minus ? negate(b) : b));
            }
        } else {
            return left;
        }
    }
}

value loader::impl::mul_level(token_stream& ts) {
    value left = unary(ts);
    for (;;) {
        const int line = ts.peek().line;
        if (!(ts.is_op("*") || ts.is_op("/"))) return left;
        const bool div = ts.next().text == "/";
        value right = unary(ts);
        if (left.is_null() || right.is_null()) {
            left = value::null();
            continue;
        }
        const decimal a = as_number(left, line), b = as_number(right, line);
        if (!div) {
            left = value::of_number(round_significant(multiply(a, b), kNumberDigits));
        } else {
            if (b.is_zero()) throw sql_error{"ORA-01476: divisor is equal to zero", line};
            char buf[80];
            std::snprintf(buf, sizeof buf, "%.30Le",
                          static_cast<long double>(a.to_double()) / b.to_double());
            left = value::of_number(round_significant(*decimal::parse(buf), 17));
        }
    }
}

value loader::impl::unary(token_stream& ts) {
    const int line = ts.peek().line;
    if (ts.accept_op("-")) {
        value v = unary(ts);
        if (v.is_null()) return v;
        if (v.t == value::tag::real) {
            v.real = -v.real;
            return v;
        }
        return value::of_number(negate(as_number(v, line)));
    }
    if (ts.accept_op("+")) return unary(ts);
    return primary(ts);
}

value loader::impl::primary(token_stream& ts) {
    const token& t = ts.peek();
    const int line = t.line;
    if (t.kind == tok_kind::number) {
        const auto d = decimal::parse(ts.next().text);
        if (!d) throw sql_error{"ORA-01722: invalid number", line};
        return value::of_number(*d);
    }
    if (t.kind == tok_kind::string) return value::of_text(ts.next().text);
    if (ts.accept_op("(")) {
        value v = expr(ts);
        ts.expect_op(")", "ORA-00907: missing right parenthesis");
        return v;
    }
    if (t.kind != tok_kind::ident) {
        if (t.kind == tok_kind::end || ts.is_op(")") || ts.is_op(","))
            throw sql_error{"ORA-00936: missing expression", line};
        throw sql_error{"ORA-00936: missing expression", line};
    }
    const bool quoted = t.quoted;
    std::string name = ts.next().text;
    if (!quoted) {
        if (name == "NULL") return value::null();
        if ((name == "DATE" || name == "TIMESTAMP") && ts.peek().kind == tok_kind::string) {
            const std::string lit = ts.next().text;
            std::string ora;
            std::string zone;
            // A TIMESTAMP literal may end in a zone: '1999-12-01 11:00:00 -8:00', '... UTC'.
            const auto time_at = lit.find(':');
            const bool zoned = time_at != std::string::npos &&
                               lit.find_first_of(" \t", time_at) != std::string::npos;
            const std::string mask =
                std::string("YYYY-MM-DD HH24:MI:SS") +
                (lit.find('.', time_at == std::string::npos ? 0 : time_at) != std::string::npos
                     ? ".FF"
                     : "") +
                (zoned ? " TZR" : "");
            const auto d = name == "DATE" ? parse_datetime(lit, "YYYY-MM-DD", now, ora)
                                          : parse_datetime(lit, mask, now, ora, &zone);
            if (!d) throw sql_error{ora, line};
            value v = value::of_date(*d, name == "TIMESTAMP");
            v.zone = zone;
            return v;
        }
        if (name == "INTERVAL" && ts.peek().kind == tok_kind::string) {
            const std::string lit = ts.next().text;
            return interval_literal(ts, lit, line);
        }
        if (name == "SYSDATE" || name == "CURRENT_DATE") return value::of_date(now, false);
        if (name == "SYSTIMESTAMP" || name == "CURRENT_TIMESTAMP" || name == "LOCALTIMESTAMP") {
            if (ts.is_op("(")) ts.skip_group();
            return value::of_date(now, true);
        }
        if (name == "USER") return value::of_text(owner);
    }
    // name.name: sequence pseudo-columns or package functions (UTL_RAW.CAST_TO_RAW).
    if (ts.is_op(".") && ts.peek(1).kind == tok_kind::ident) {
        ts.next();
        const std::string member = ts.next().text;
        if (member == "NEXTVAL") return value::of_number(decimal::from_int(nextval(name, line)));
        if (member == "CURRVAL") {
            sequence_info* s = sequence(name);
            if (!s) throw sql_error{"ORA-02289: sequence does not exist", line};
            if (!s->current)
                throw sql_error{
                    "ORA-08002: sequence " + name + ".CURRVAL is not yet defined in this session",
                    line};
            return value::of_number(decimal::from_int(*s->current));
        }
        name += "." + member;
    }
    if (ts.accept_op("(")) {
        std::vector<value> args;
        if (!ts.accept_op(")")) {
            for (;;) {
                args.push_back(expr(ts));
                if (ts.accept_op(")")) break;
                ts.expect_op(",", "ORA-00907: missing right parenthesis");
            }
        }
        return call(name, args, line);
    }
    auto var = variables.find(name);
    if (var != variables.end()) return var->second;
    if (name == "EMPTY_BLOB" || name == "EMPTY_CLOB")
        throw sql_error{"ORA-00936: missing expression", line};
    throw sql_error{"ORA-00904: \"" + name + "\": invalid identifier", line};
}

value loader::impl::call(const std::string& fn, std::vector<value>& a, int line) {
    auto arity = [&](std::size_t lo, std::size_t hi) {
        if (a.size() < lo || a.size() > hi)
            throw sql_error{"ORA-00909: invalid number of arguments", line};
    };
    if (fn == "TO_TIMESTAMP_TZ") {
        arity(1, 3);
        if (a[0].is_null()) return value::null();
        const std::string mask = a.size() > 1 ? as_text(a[1]) : nls_timestamp_tz_format;
        std::string ora;
        std::string zone;
        const auto d = parse_datetime(as_text(a[0]), mask, now, ora, &zone);
        if (!d) throw sql_error{ora, line};
        value v = value::of_date(*d, true);
        v.zone = zone;
        return v;
    }
    if (fn == "TO_DATE" || fn == "TO_TIMESTAMP") {
        arity(1, 3);
        if (a[0].is_null()) return value::null();
        const bool ts = fn == "TO_TIMESTAMP";
        std::string mask =
            a.size() > 1 ? as_text(a[1]) : (ts ? nls_timestamp_format : nls_date_format);
        if (a[0].t == value::tag::date) return value::of_date(a[0].dt, ts);
        return value::of_date(as_date(value::of_text(as_text(a[0])), mask, line), ts);
    }
    if (fn == "TO_NUMBER") {
        arity(1, 3);
        if (a[0].is_null()) return a[0];
        return value::of_number(as_number(a[0], line));
    }
    if (fn == "TO_CHAR" || fn == "TO_NCHAR" || fn == "TO_CLOB" || fn == "TO_NCLOB") {
        arity(1, 3);
        if (a[0].t == value::tag::date && a.size() > 1)
            return value::of_text(format_datetime(a[0].dt, as_text(a[1])));
        return value::of_text(as_text(a[0]));
    }
    if (fn == "CHR" || fn == "NCHR") {
        arity(1, 1);
        if (a[0].is_null()) return a[0];
        const auto n = as_number(a[0], line).to_int64();
        if (!n || *n < 0) throw sql_error{"ORA-01722: invalid number", line};
        std::string s;
        int64_t c = *n;
        std::string bytes;
        while (c > 0) {  // CHR(n) yields the bytes of n in the database character set
            bytes.insert(bytes.begin(), static_cast<char>(c & 0xFF));
            c >>= 8;
        }
        return value::of_text(bytes.empty() ? std::string(1, '\0') : bytes);
    }
    if (fn == "UTL_RAW.CAST_TO_RAW" || fn == "TO_BLOB") {
        arity(1, 1);
        if (a[0].is_null() || a[0].t == value::tag::raw) return a[0];
        return value::of_raw(as_text(a[0]));
    }
    if (fn == "UTL_RAW.CAST_TO_VARCHAR2") {
        arity(1, 1);
        if (a[0].t == value::tag::raw) return value::of_text(a[0].str);
        return a[0];
    }
    if (fn == "HEXTORAW") {
        arity(1, 1);
        if (a[0].is_null()) return a[0];
        const auto b = unhex(as_text(a[0]));
        if (!b) throw sql_error{"ORA-01465: invalid hex number", line};
        return value::of_raw(*b);
    }
    if (fn == "RAWTOHEX") {
        arity(1, 1);
        if (a[0].is_null()) return a[0];
        return value::of_text(a[0].t == value::tag::raw ? hex_upper(a[0].str) : as_text(a[0]));
    }
    if (fn == "EMPTY_BLOB") {
        arity(0, 0);
        value v;
        v.t = value::tag::raw;  // a zero-length LOB, not NULL
        return v;
    }
    if (fn == "EMPTY_CLOB") {
        arity(0, 0);
        value v;
        v.t = value::tag::text;
        return v;
    }
    if (fn == "NVL") {
        arity(2, 2);
        return a[0].is_null() ? a[1] : a[0];
    }
    if (fn == "UPPER" || fn == "LOWER") {
        arity(1, 1);
        if (a[0].is_null()) return a[0];
        std::string s = as_text(a[0]);
        for (char& c : s)
            c = static_cast<char>(fn == "UPPER" ? std::toupper(static_cast<unsigned char>(c))
                                                : std::tolower(static_cast<unsigned char>(c)));
        return value::of_text(s);
    }
    if (fn == "TRIM" || fn == "LTRIM" || fn == "RTRIM") {
        arity(1, 1);
        if (a[0].is_null()) return a[0];
        std::string s = as_text(a[0]);
        if (fn != "RTRIM")
            s.erase(0, s.find_first_not_of(' ') == std::string::npos ? s.size()
                                                                     : s.find_first_not_of(' '));
        if (fn != "LTRIM") s.erase(s.find_last_not_of(' ') + 1);
        return value::of_text(s);
    }
    if (fn == "ROUND" || fn == "TRUNC") {
        arity(1, 2);
        if (a[0].is_null()) return a[0];
        if (a[0].t == value::tag::date) {
            date_time d = a[0].dt;
            d.hour = d.minute = d.second = 0;
            d.nanos = 0;
            return value::of_date(d, false);
        }
        const int places =
            a.size() > 1 ? static_cast<int>(as_number(a[1], line).to_int64().value_or(0)) : 0;
        decimal d = as_number(a[0], line);
        if (fn == "ROUND") return value::of_number(round_to_scale(d, places));
        if (d.exp < -places) {
            const long keep = static_cast<long>(d.digits.size()) + d.exp + places;
            d.digits = keep > 0 ? d.digits.substr(0, static_cast<std::size_t>(keep)) : "";
            d.exp = -places;
            d.normalize();
        }
        return value::of_number(d);
    }
    if (fn == "ABS") {
        arity(1, 1);
        if (a[0].is_null()) return a[0];
        decimal d = as_number(a[0], line);
        d.neg = false;
        return value::of_number(d);
    }
    if (fn == "ADD_MONTHS") {
        arity(2, 2);
        if (a[0].is_null() || a[1].is_null()) return value::null();
        date_time d = as_date(a[0], nls_date_format, line);
        const auto m = as_number(a[1], line).to_int64();
        if (!m) throw sql_error{"ORA-01722: invalid number", line};
        int64_t months = d.year * 12 + (d.month - 1) + *m;
        d.year = static_cast<int>(months / 12);
        d.month = static_cast<int>(months % 12) + 1;
        static constexpr int md[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
        const bool leap = (d.year % 4 == 0 && d.year % 100 != 0) || d.year % 400 == 0;
        const int last = d.month == 2 && leap ? 29 : md[d.month - 1];
        if (d.day > last) d.day = last;
        if (d.year < 1 || d.year > 9999)
            throw sql_error{"ORA-01841: (full) year must be between -4713 and +9999, and not be 0",
                            line};
        return value::of_date(d, false);
    }
    if (fn == "CONCAT") {
        arity(2, 2);
        return value::of_text(as_text(a[0]) + as_text(a[1]));
    }
    if (fn == "SUBSTR") {
        arity(2, 3);
        if (a[0].is_null()) return a[0];
        const std::string s = as_text(a[0]);
        int64_t from = as_number(a[1], line).to_int64().value_or(1);
        if (from == 0) from = 1;
        if (from < 0) from = static_cast<int64_t>(s.size()) + from + 1;
        if (from < 1 || from > static_cast<int64_t>(s.size())) return value::null();
        const int64_t len = a.size() > 2 ? as_number(a[2], line).to_int64().value_or(0)
                                         : static_cast<int64_t>(s.size());
        if (len < 1) return value::null();
        return value::of_text(
            s.substr(static_cast<std::size_t>(from - 1), static_cast<std::size_t>(len)));
    }
    if (fn == "LENGTH") {
        arity(1, 1);
        if (a[0].is_null()) return a[0];
        return value::of_number(
            decimal::from_int(static_cast<int64_t>(utf8_length(as_text(a[0])))));
    }
    throw sql_error{"ORA-00904: \"" + fn + "\": invalid identifier", line};
}

value loader::impl::eval_default(const std::string& text, int line) {
    std::vector<token> toks;
    try {
        toks = tokenize(text, line);
    } catch (sql_error& e) {
        e.line = line;
        throw;
    }
    token_stream ts(std::move(toks), text);
    value v = expr(ts);
    if (!ts.at_end()) throw sql_error{"ORA-00933: SQL command not properly ended", line};
    return v;
}

// ------------------------------------------------------------ storage

cell loader::impl::store(const value& v, const column_info& c, const std::string& table_name,
                         int line) {
    if (v.is_null()) {
        if (c.not_null)
            throw sql_error{"ORA-01400: cannot insert NULL into (\"" + owner + "\".\"" +
                                table_name + "\".\"" + c.name + "\")",
                            line};
        return nullptr;
    }
    const column_type& t = c.type;
    auto too_large = [&](std::size_t actual, int maximum) {
        return sql_error{"ORA-12899: value too large for column \"" + owner + "\".\"" + table_name +
                             "\".\"" + c.name + "\" (actual: " + std::to_string(actual) +
                             ", maximum: " + std::to_string(maximum) + ")",
                         line};
    };
    switch (t.k) {
        case kind::number:
        case kind::floating: {
            decimal d = as_number(v, line);
            if (t.k == kind::floating) {
                const int digits = static_cast<int>(std::ceil(t.precision.value_or(126) * 0.30103));
                d = round_significant(d, std::min(digits, kNumberDigits));
            } else {
                if (t.scale) d = round_to_scale(d, *t.scale);
                d = round_significant(d, kNumberDigits);
                const int p = t.precision.value_or(38);
                if (t.precision || t.scale) {
                    decimal limit;
                    limit.digits = "1";
                    limit.exp = p - t.scale.value_or(0);
                    decimal mag = d;
                    mag.neg = false;
                    if (!d.is_zero() && compare(mag, limit) >= 0)
                        throw sql_error{
                            "ORA-01438: value larger than specified precision allowed for this "
                            "column",
                            line};
                }
            }
            if (d.integer_digits() > 126) throw sql_error{"ORA-01426: numeric overflow", line};
            if (!d.is_zero() && static_cast<int>(d.digits.size()) + d.exp < -129) d = decimal{};
            if (const auto n = d.to_int64()) return *n;
            return d.text();
        }
        case kind::varchar:
        case kind::fixed_char: {
            std::string s = as_text(v);
            const std::size_t chars = utf8_length(s);
            if (t.char_semantics) {
                if (chars > static_cast<std::size_t>(t.char_length))
                    throw too_large(chars, t.char_length);
                if (t.k == kind::fixed_char)
                    s.append(static_cast<std::size_t>(t.char_length) - chars, ' ');
            } else {
                if (s.size() > static_cast<std::size_t>(t.data_length))
                    throw too_large(s.size(), t.data_length);
                if (t.k == kind::fixed_char)
                    s.append(static_cast<std::size_t>(t.data_length) - s.size(), ' ');
            }
            return s;
        }
        case kind::clob:
        case kind::long_text:
        case kind::rowid:
        case kind::named:
            if (v.t == value::tag::raw) return v.str;
            return as_text(v);
        case kind::interval_ym:
        case kind::interval_ds: {
            // Stored in Oracle's text form at the column's precisions ("+02-03",
            // "+03 04:05:06.123000"); a character value converts as Oracle converts it.
            if (v.t != value::tag::text)
                throw sql_error{std::string("ORA-00932: inconsistent datatypes: expected ") +
                                    (t.k == kind::interval_ym ? "INTERVAL YEAR TO MONTH"
                                                              : "INTERVAL DAY TO SECOND") +
                                    " got " + type_word(v),
                                line};
            const int leading = t.precision.value_or(2);
            const sql_error too_small{
                "ORA-01873: the leading precision of the interval is too small", line};
            if (t.k == kind::interval_ym) {
                std::int64_t months = 0;
                if (!ocilite::parse_interval_ym(v.str, months))
                    throw sql_error{"ORA-01867: the interval is invalid", line};
                if (ocilite::digit_count(months / 12) > leading) throw too_small;
                return ocilite::interval_ym_text(months, leading);
            }
            ocilite::interval_ds ds;
            if (!ocilite::parse_interval_ds(v.str, ds))
                throw sql_error{"ORA-01867: the interval is invalid", line};
            const int fraction = t.scale.value_or(6);
            ds = ocilite::round_interval(ds, fraction);
            if (ocilite::digit_count(ds.days) > leading) throw too_small;
            return ocilite::interval_ds_text(ds, leading, fraction);
        }
        case kind::date: {
            date_time d = as_date(v, nls_date_format, line);
            d.nanos = 0;
            return storage_date(d);
        }
        case kind::timestamp: {
            date_time d;
            if (v.t == value::tag::text) {
                std::string ora;
                auto p = parse_datetime(v.str, nls_timestamp_format, now, ora);
                if (!p) p = parse_datetime(v.str, nls_date_format, now, ora);
                if (!p) throw sql_error{ora, line};
                d = *p;
            } else {
                d = as_date(v, nls_timestamp_format, line);
            }
            return storage_timestamp(d, t.scale.value_or(6));
        }
        case kind::timestamp_tz:
        case kind::timestamp_ltz: {
            // WITH TIME ZONE keeps the local time and its zone; WITH LOCAL TIME ZONE is kept in
            // the database zone, UTC.  A value without a zone is in the session zone, UTC.
            std::string zone;
            date_time d = as_zoned(v, zone, line);
            if (t.k == kind::timestamp_tz)
                return storage_timestamp(d, t.scale.value_or(6)) + " " +
                       (zone.empty() ? "+00:00" : zone);
            if (!zone.empty()) {
                const auto offset = zone_offset_minutes(zone);
                if (!offset) throw sql_error{"ORA-01882: timezone region not found", line};
                d = shift_minutes(d, -*offset);
            }
            return storage_timestamp(d, t.scale.value_or(6));
        }
        case kind::raw:
        case kind::long_raw:
        case kind::blob_lob:
        case kind::bfile: {
            std::string bytes;
            if (v.t == value::tag::raw) {
                bytes = v.str;
            } else if (v.t == value::tag::text) {
                const auto b = unhex(v.str);
                if (!b) throw sql_error{"ORA-01465: invalid hex number", line};
                bytes = *b;
            } else {
                throw sql_error{
                    std::string("ORA-00932: inconsistent datatypes: expected BINARY got ") +
                        type_word(v),
                    line};
            }
            if (t.k == kind::raw && bytes.size() > static_cast<std::size_t>(t.data_length))
                throw too_large(bytes.size(), t.data_length);
            return blob{std::move(bytes)};
        }
        case kind::binary_float:
        case kind::binary_double: {
            double d = v.t == value::tag::real ? v.real : as_number(v, line).to_double();
            if (t.k == kind::binary_float) d = static_cast<double>(static_cast<float>(d));
            return d;
        }
    }
    return nullptr;
}

std::string loader::impl::unique_violation(const std::string& table_name) {
    // SQLite names the columns, Oracle the constraint: find the constraint (or
    // unique index) over exactly the columns SQLite reported.
    const std::string msg = sqlite3_errmsg(db.get());
    std::set<std::string> cols;
    std::size_t p = msg.find(": ");
    if (p != std::string::npos) {
        std::string list = msg.substr(p + 2);
        std::size_t start = 0;
        while (start < list.size()) {
            std::size_t e = list.find(", ", start);
            std::string item =
                list.substr(start, e == std::string::npos ? std::string::npos : e - start);
            const std::size_t dot = item.find('.');
            cols.insert(dot == std::string::npos ? item : item.substr(dot + 1));
            if (e == std::string::npos) break;
            start = e + 2;
        }
    }
    std::map<std::string, std::set<std::string>> candidates;
    for (const auto& r :
         query("SELECT c.constraint_name, cc.column_name FROM ocilite_constraints c JOIN "
               "ocilite_cons_columns cc ON cc.constraint_name=c.constraint_name WHERE "
               "c.table_name=? AND c.constraint_type IN ('P','U')",
               {table_name}))
        candidates[text_of(r[0])].insert(text_of(r[1]));
    for (const auto& [name, set] : candidates)
        if (set == cols) return name;
    for (const auto& r :
         query("SELECT i.index_name, ic.column_name FROM ocilite_indexes i JOIN "
               "ocilite_ind_columns ic "
               "ON ic.index_name=i.index_name WHERE i.table_name=? AND i.uniqueness='UNIQUE'",
               {table_name}))
        candidates["#" + text_of(r[0])].insert(text_of(r[1]));
    for (const auto& [name, set] : candidates)
        if (name[0] == '#' && set == cols) return name.substr(1);
    return candidates.empty() ? std::string("SYS_C") : candidates.begin()->first;
}

void loader::impl::insert_row(table_info& t, std::vector<std::optional<value>> values, int line) {
    std::vector<cell> cells(t.cols.size());
    for (std::size_t i = 0; i < t.cols.size(); ++i) {
        const column_info& c = t.cols[i];
        value v;
        if (values[i]) {
            v = std::move(*values[i]);
        } else if (!c.identity_seq.empty()) {
            v = value::null();
        } else if (c.default_text) {
            v = eval_default(*c.default_text, line);
        }
        if (v.is_null() && !c.identity_seq.empty())
            v = value::of_number(decimal::from_int(nextval(c.identity_seq, line)));
        cells[i] = store(v, c, t.name, line);
    }
    if (!t.insert) {
        std::string sql = "INSERT INTO " + quote_ident(t.name) + "(";
        std::string qs;
        for (std::size_t i = 0; i < t.cols.size(); ++i) {
            sql += (i ? "," : "") + quote_ident(t.cols[i].name);
            qs += i ? ",?" : "?";
        }
        t.insert = prepare(sql + ") VALUES(" + qs + ")");
    }
    sqlite3_stmt* st = t.insert.get();
    sqlite3_reset(st);
    sqlite3_clear_bindings(st);
    for (std::size_t i = 0; i < cells.size(); ++i) bind(st, static_cast<int>(i + 1), cells[i]);
    const int rc = sqlite3_step(st);
    if (rc == SQLITE_DONE) {
        sqlite3_reset(st);
        check_foreign_keys(t.name, line);
        return;
    }
    const int ext = sqlite3_extended_errcode(db.get());
    std::string detail = sqlite3_errmsg(db.get());
    if (ext == SQLITE_CONSTRAINT_UNIQUE || ext == SQLITE_CONSTRAINT_PRIMARYKEY) {
        const std::string name = unique_violation(t.name);
        sqlite3_reset(st);
        throw sql_error{"ORA-00001: unique constraint (" + owner + "." + name + ") violated", line};
    }
    sqlite3_reset(st);
    throw sqlite_failure(detail);
}

// ------------------------------------------------------------ DDL pieces

namespace {

bool constraint_start(const token_stream& ts) {
    return ts.is("CONSTRAINT") || ts.is("PRIMARY") || ts.is("UNIQUE") || ts.is("FOREIGN") ||
           ts.is("CHECK");
}

// Words that end a DEFAULT expression inside a column definition.
bool ends_default(const token_stream& ts) {
    static const std::set<std::string> words = {
        "CONSTRAINT", "NOT",     "NULL",    "PRIMARY", "UNIQUE",  "REFERENCES", "CHECK",
        "ENABLE",     "DISABLE", "ENCRYPT", "COLLATE", "VISIBLE", "INVISIBLE"};
    const token& t = ts.peek();
    if (t.kind == tok_kind::end) return true;
    if (t.kind == tok_kind::op && (t.text == "," || t.text == ")")) return true;
    return t.kind == tok_kind::ident && !t.quoted && words.count(t.text);
}

}  // namespace

std::vector<std::string> loader::impl::column_list(token_stream& ts, const table_info* t) {
    ts.expect_op("(", "ORA-00906: missing left parenthesis");
    std::vector<std::string> cols;
    for (;;) {
        const int line = ts.peek().line;
        std::string c = ts.name("ORA-00904: : invalid identifier");
        if (t && t->find(c) < 0)
            throw sql_error{"ORA-00904: \"" + c + "\": invalid identifier", line};
        if (std::find(cols.begin(), cols.end(), c) != cols.end())
            throw sql_error{"ORA-00957: duplicate column name", line};
        cols.push_back(c);
        if (ts.accept_op(")")) return cols;
        ts.expect_op(",", "ORA-00907: missing right parenthesis");
    }
}

void loader::impl::parse_constraint_state(token_stream& ts, constraint_def& c) {
    for (;;) {
        if (ts.accept("ENABLE"))
            c.enabled = true;
        else if (ts.accept("DISABLE"))
            c.enabled = false;
        else if (ts.accept("VALIDATE") || ts.accept("NOVALIDATE") || ts.accept("RELY") ||
                 ts.accept("NORELY") || ts.accept("DEFERRABLE")) {
        } else if (ts.is("NOT") && ts.is("DEFERRABLE", 1)) {
            ts.next();
            ts.next();
        } else if (ts.accept("INITIALLY")) {
            if (!ts.accept("IMMEDIATE")) ts.expect("DEFERRED", "ORA-00905: missing keyword");
        } else if (ts.accept("EXCEPTIONS")) {
            ts.expect("INTO", "ORA-00905: missing keyword");
            ts.name("ORA-00903: invalid table name");
            if (ts.accept_op(".")) ts.name("ORA-00903: invalid table name");
        } else if (ts.accept("USING")) {
            ts.expect("INDEX", "ORA-00905: missing keyword");
            static const std::set<std::string> props = {
                "TABLESPACE", "PCTFREE",   "INITRANS",  "MAXTRANS",   "STORAGE",  "COMPUTE",
                "LOGGING",    "NOLOGGING", "LOCAL",     "GLOBAL",     "REVERSE",  "COMPRESS",
                "NOCOMPRESS", "SORT",      "NOSORT",    "STATISTICS", "PARALLEL", "NOPARALLEL",
                "ONLINE",     "VISIBLE",   "INVISIBLE", "NOREVERSE"};
            if (ts.is_op("(")) {
                // USING INDEX (CREATE INDEX name ON ...): take the index name.
                const std::size_t at = ts.pos();
                ts.next();
                if (ts.is("CREATE")) {
                    ts.next();
                    ts.accept("UNIQUE");
                    if (ts.accept("INDEX")) {
                        c.using_index = ts.name("ORA-00953: missing or invalid index name");
                        if (ts.accept_op("."))
                            c.using_index = ts.name("ORA-00953: missing or invalid index name");
                    }
                }
                ts.seek(at);
                ts.skip_group();
            } else if (ts.peek().kind == tok_kind::ident && !props.count(ts.peek().text)) {
                c.using_index = ts.next().text;
                if (ts.accept_op("."))
                    c.using_index = ts.name("ORA-00953: missing or invalid index name");
            }
            while (ts.peek().kind == tok_kind::ident && props.count(ts.peek().text)) {
                ts.next();
                if (ts.is_op("("))
                    ts.skip_group();
                else if (ts.peek().kind == tok_kind::number ||
                         (ts.peek().kind == tok_kind::ident && !props.count(ts.peek().text) &&
                          !ts.is("ENABLE") && !ts.is("DISABLE") && !ts.is("CONSTRAINT")))
                    ts.next();
            }
        } else {
            return;
        }
    }
}

// After REFERENCES: [schema.]table [(columns)] [ON DELETE CASCADE | SET NULL].
// A column constraint names one referenced column, a table constraint a list.
void loader::impl::parse_reference_target(token_stream& ts, constraint_def& c, bool one_column) {
    c.ref_table = ts.name("ORA-00903: invalid table name");
    if (ts.accept_op(".")) c.ref_table = ts.name("ORA-00903: invalid table name");
    if (ts.accept_op("(")) {
        for (;;) {
            c.ref_cols.push_back(ts.name("ORA-00904: : invalid identifier"));
            if (ts.accept_op(")")) break;
            if (one_column) ts.fail("ORA-00907: missing right parenthesis");
            ts.expect_op(",", "ORA-00907: missing right parenthesis");
        }
    }
    if (ts.accept("ON")) {
        ts.expect("DELETE", "ORA-00905: missing keyword");
        if (ts.accept("CASCADE")) {
            c.delete_rule = "CASCADE";
        } else {
            ts.expect("SET", "ORA-00905: missing keyword");
            ts.expect("NULL", "ORA-00905: missing keyword");
            c.delete_rule = "SET NULL";
        }
    }
}

// After CHECK: the parenthesised condition, kept as typed.
void loader::impl::parse_check_body(token_stream& ts, constraint_def& c) {
    c.type = 'C';
    if (!ts.is_op("(")) ts.fail("ORA-00906: missing left parenthesis");
    const std::size_t open = ts.pos();
    ts.skip_group();
    c.condition = ts.slice(open + 1, ts.pos() - 2);
}

// [CONSTRAINT name] PRIMARY KEY (..) | UNIQUE (..) | FOREIGN KEY (..) REFERENCES .. | CHECK (..)
constraint_def loader::impl::parse_out_of_line(token_stream& ts) {
    constraint_def c;
    c.line = ts.peek().line;
    if (ts.accept("CONSTRAINT")) c.name = ts.name("ORA-02250: missing or invalid constraint name");
    auto cols = [&] {
        std::vector<std::string> v;
        ts.expect_op("(", "ORA-00906: missing left parenthesis");
        for (;;) {
            v.push_back(ts.name("ORA-00904: : invalid identifier"));
            if (ts.accept_op(")")) return v;
            ts.expect_op(",", "ORA-00907: missing right parenthesis");
        }
    };
    if (ts.accept("PRIMARY")) {
        ts.expect("KEY", "ORA-00905: missing keyword");
        c.type = 'P';
        c.cols = cols();
    } else if (ts.accept("UNIQUE")) {
        c.type = 'U';
        c.cols = cols();
    } else if (ts.accept("FOREIGN")) {
        ts.expect("KEY", "ORA-00905: missing keyword");
        c.type = 'R';
        c.cols = cols();
        ts.expect("REFERENCES", "ORA-00905: missing keyword");
        parse_reference_target(ts, c, false);
    } else if (ts.accept("CHECK")) {
        parse_check_body(ts, c);
    } else {
        ts.fail("ORA-00902: invalid datatype");
    }
    parse_constraint_state(ts, c);
    return c;
}

void loader::impl::add_identity(column_info& c, token_stream& ts) {
    // GENERATED {ALWAYS | BY DEFAULT [ON NULL]} AS IDENTITY [( options )]
    if (!ts.accept("ALWAYS")) {
        ts.expect("BY", "ORA-00905: missing keyword");
        ts.expect("DEFAULT", "ORA-00905: missing keyword");
        if (ts.accept("ON")) ts.expect("NULL", "ORA-00905: missing keyword");
    }
    ts.expect("AS", "ORA-00905: missing keyword");
    ts.expect("IDENTITY", "ORA-00905: missing keyword");
    int64_t start = 1, inc = 1;
    if (ts.accept_op("(")) {
        while (!ts.accept_op(")")) {
            if (ts.at_end()) ts.fail("ORA-00907: missing right parenthesis");
            if (ts.accept("START")) {
                ts.accept("WITH");
                if (const auto v = read_signed(ts)) start = *v;
            } else if (ts.accept("INCREMENT")) {
                ts.accept("BY");
                if (const auto v = read_signed(ts)) inc = *v;
            } else {
                ts.next();
            }
        }
    }
    const std::string n = next_sys_name();
    c.identity_seq = "ISEQ$$_" + n.substr(5);
    query(
        "INSERT INTO ocilite_sequences(sequence_name, min_value, max_value, increment_by, "
        "last_number) "
        "VALUES(?, ?, ?, ?, ?)",
        {c.identity_seq, std::string("1"), std::string("9999999999999999999999999999"),
         std::to_string(inc), std::to_string(start)});
    c.default_text = "\"" + owner + "\".\"" + c.identity_seq + "\".nextval";
    c.not_null = true;
}

column_info loader::impl::parse_column(token_stream& ts, std::vector<constraint_def>& cons,
                                       const std::string& table_name) {
    column_info c;
    const int line = ts.peek().line;
    c.name = ts.name("ORA-00904: : invalid identifier");
    (void)table_name;
    if (ts.is("GENERATED") || ts.is("AS")) throw sql_error{"ORA-00902: invalid datatype", line};
    c.type = parse_type(ts, user_types);
    ts.accept("SORT");
    bool identity_not_null = false;
    for (;;) {
        if (ts.accept("VISIBLE") || ts.accept("INVISIBLE")) continue;
        if (ts.accept("COLLATE")) {
            ts.name("ORA-00905: missing keyword");
            continue;
        }
        if (ts.accept("ENCRYPT")) {
            while (!ends_default(ts) || ts.is("ENCRYPT")) ts.next();
            continue;
        }
        if (ts.accept("DEFAULT")) {
            if (ts.is("ON") && ts.is("NULL", 1)) {
                ts.next();
                ts.next();
            }
            const std::size_t first = ts.pos();
            int depth = 0;
            // The expression runs to a top-level "," or ")" or a constraint keyword.
            ts.next();
            while (depth > 0 || !ends_default(ts)) {
                if (ts.is_op("(")) ++depth;
                if (ts.is_op(")")) --depth;
                if (ts.at_end()) break;
                ts.next();
            }
            c.default_text = ts.slice_until(first, ts.pos());
            continue;
        }
        if (ts.accept("GENERATED")) {
            add_identity(c, ts);
            identity_not_null = true;
            continue;
        }
        break;
    }
    if (identity_not_null) {
        constraint_def nn;
        nn.type = 'C';
        nn.cols = {c.name};
        nn.not_null_check = true;
        nn.condition = "\"" + c.name + "\" IS NOT NULL";
        nn.line = line;
        cons.push_back(nn);
    }
    // Inline constraints.
    for (;;) {
        constraint_def k;
        k.line = ts.peek().line;
        if (ts.accept("CONSTRAINT"))
            k.name = ts.name("ORA-02250: missing or invalid constraint name");
        if (ts.is("NOT") && ts.is("NULL", 1)) {
            ts.next();
            ts.next();
            k.type = 'C';
            k.not_null_check = true;
            k.cols = {c.name};
            k.condition = "\"" + c.name + "\" IS NOT NULL";
        } else if (ts.accept("NULL")) {
            parse_constraint_state(ts, k);
            continue;
        } else if (ts.accept("PRIMARY")) {
            ts.expect("KEY", "ORA-00905: missing keyword");
            k.type = 'P';
            k.cols = {c.name};
        } else if (ts.accept("UNIQUE")) {
            k.type = 'U';
            k.cols = {c.name};
        } else if (ts.accept("REFERENCES")) {
            k.type = 'R';
            k.cols = {c.name};
            parse_reference_target(ts, k, true);
        } else if (ts.accept("CHECK")) {
            parse_check_body(ts, k);
        } else {
            if (!k.name.empty()) ts.fail("ORA-02253: constraint specification not allowed here");
            break;
        }
        parse_constraint_state(ts, k);
        if (k.not_null_check && k.enabled) c.not_null = true;
        cons.push_back(std::move(k));
    }
    return c;
}

void loader::impl::write_column(const std::string& table_name, int column_id,
                                const column_info& c) {
    const column_type& t = c.type;
    auto opt = [](const std::optional<int>& v) -> cell {
        if (v) return static_cast<int64_t>(*v);
        return nullptr;
    };
    query(
        "INSERT INTO ocilite_columns(table_name, column_id, column_name, data_type, data_length, "
        "data_precision, "
        "data_scale, nullable, data_default, char_length, char_used) VALUES(?,?,?,?,?,?,?,?,?,?,?)",
        {table_name, static_cast<int64_t>(column_id), c.name, t.data_type,
         static_cast<int64_t>(t.data_length), opt(t.precision), opt(t.scale),
         std::string(c.not_null ? "N" : "Y"),
         c.default_text ? cell(*c.default_text) : cell(nullptr),
         static_cast<int64_t>(t.char_length), t.char_used ? cell(*t.char_used) : cell(nullptr)});
}

void loader::impl::enforce_unique(const std::string& table_name, const std::string& cons_name,
                                  const std::vector<std::string>& cols, const char* violated,
                                  int line) {
    std::string list;
    for (const auto& c : cols) list += (list.empty() ? "" : ",") + quote_ident(c);
    char* err = nullptr;
    const std::string sql = "CREATE UNIQUE INDEX " + quote_ident("ocilite$ck$" + cons_name) +
                            " ON " + quote_ident(table_name) + "(" + list + ")";
    if (sqlite3_exec(db.get(), sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
        sqlite3_free(err);
        throw sql_error{std::string(violated), line};
    }
}

// Finds or creates the index of a primary key or unique constraint; returns its name.
std::string loader::impl::ensure_index(const std::string& table_name, const constraint_def& c) {
    std::map<std::string, std::vector<std::string>> indexes;
    for (const auto& r :
         query("SELECT ic.index_name, ic.column_name FROM ocilite_ind_columns ic JOIN "
               "ocilite_indexes i "
               "ON i.index_name=ic.index_name WHERE i.table_name=? ORDER BY ic.index_name, "
               "ic.column_position",
               {table_name}))
        indexes[text_of(r[0])].push_back(text_of(r[1]));
    if (!c.using_index.empty()) {
        auto it = indexes.find(c.using_index);
        if (it != indexes.end()) return it->first;
    }
    const std::set<std::string> key(c.cols.begin(), c.cols.end());
    auto leads_with_key = [&](const std::vector<std::string>& icols) {
        if (icols.size() < c.cols.size()) return false;
        return std::set<std::string>(icols.begin(),
                                     icols.begin() + static_cast<long>(c.cols.size())) == key;
    };
    auto named = indexes.find(c.name);
    if (named != indexes.end() && leads_with_key(named->second)) return named->first;
    for (const auto& [name, icols] : indexes)
        if (leads_with_key(icols)) return name;
    const std::string iname = c.using_index.empty() ? c.name : c.using_index;
    if (exists("SELECT 1 FROM ocilite_indexes WHERE index_name=?", {iname}))
        throw sql_error{"ORA-00955: name is already used by an existing object", c.line};
    query(
        "INSERT INTO ocilite_indexes(index_name, table_name, index_type, uniqueness, generated) "
        "VALUES(?,?,?,?,?)",
        {iname, table_name, std::string("NORMAL"), std::string("UNIQUE"),
         std::string(c.generated_name && c.using_index.empty() ? "Y" : "N")});
    for (std::size_t i = 0; i < c.cols.size(); ++i)
        query(
            "INSERT INTO ocilite_ind_columns(index_name, table_name, column_name, column_position) "
            "VALUES(?,?,?,?)",
            {iname, table_name, c.cols[i], static_cast<int64_t>(i + 1)});
    return iname;
}

// The query that finds a row of the table of foreign key `cons_name` whose key columns are
// all set and match no row of the referenced key (columns paired by POSITION, which follows
// the referenced key's order, as in Oracle).  Empty when the constraint has no columns.
std::string loader::impl::fk_orphans(const std::string& cons_name) {
    const auto rows = query(
        "SELECT c.table_name, cc.column_name, r.table_name, rc.column_name "
        "FROM ocilite_constraints c "
        "JOIN ocilite_constraints r ON r.constraint_name=c.r_constraint_name "
        "JOIN ocilite_cons_columns cc ON cc.constraint_name=c.constraint_name "
        "JOIN ocilite_cons_columns rc ON rc.constraint_name=r.constraint_name "
        "AND rc.position=cc.position WHERE c.constraint_name=? ORDER BY cc.position",
        {cons_name});
    if (rows.empty()) return {};
    std::string set, match;
    for (const auto& r : rows) {
        set += " AND x." + quote_ident(text_of(r[1])) + " IS NOT NULL";
        match += std::string(match.empty() ? "" : " AND ") + "y." + quote_ident(text_of(r[3])) +
                 "=x." + quote_ident(text_of(r[1]));
    }
    return "SELECT 1 FROM " + quote_ident(text_of(rows[0][0])) + " AS x WHERE 1" + set +
           " AND NOT EXISTS (SELECT 1 FROM " + quote_ident(text_of(rows[0][2])) + " AS y WHERE " +
           match + ")";
}

// The row just inserted into the table must have a parent for every enabled foreign key.
void loader::impl::check_foreign_keys(const std::string& table_name, int line) {
    const auto fks = query(
        "SELECT constraint_name FROM ocilite_constraints WHERE table_name=? AND "
        "constraint_type='R' AND status='ENABLED'",
        {table_name});
    if (fks.empty()) return;
    const int64_t rowid = sqlite3_last_insert_rowid(db.get());
    for (const auto& fk : fks) {
        const std::string name = text_of(fk[0]);
        const std::string orphans = fk_orphans(name);
        if (!orphans.empty() && exists(orphans + " AND x.rowid=? LIMIT 1", {cell(rowid)}))
            throw sql_error{"ORA-02291: integrity constraint (" + owner + "." + name +
                                ") violated - parent key not found",
                            line};
    }
}

void loader::impl::add_constraint(const std::string& table_name, constraint_def c) {
    table_info* t = table(table_name, c.line);
    for (const auto& col : c.cols)
        if (t->find(col) < 0)
            throw sql_error{"ORA-00904: \"" + col + "\": invalid identifier", c.line};
    if (c.name.empty()) {
        c.name = next_sys_name();
        c.generated_name = true;
    } else if (exists("SELECT 1 FROM ocilite_constraints WHERE constraint_name=?", {c.name})) {
        throw sql_error{"ORA-02264: name already used by an existing constraint", c.line};
    }
    std::string index_name, r_name;
    if (c.type == 'P' || c.type == 'U') {
        if (c.type == 'P' &&
            exists("SELECT 1 FROM ocilite_constraints WHERE table_name=? AND constraint_type='P'",
                   {table_name}))
            throw sql_error{"ORA-02260: table can have only one primary key", c.line};
        std::map<std::string, std::set<std::string>> keys;
        for (const auto& r :
             query("SELECT c.constraint_name, cc.column_name FROM ocilite_constraints c JOIN "
                   "ocilite_cons_columns cc ON cc.constraint_name=c.constraint_name WHERE "
                   "c.table_name=? AND c.constraint_type IN ('P','U')",
                   {table_name}))
            keys[text_of(r[0])].insert(text_of(r[1]));
        for (const auto& [n, set] : keys)
            if (set == std::set<std::string>(c.cols.begin(), c.cols.end()))
                throw sql_error{"ORA-02261: such unique or primary key already exists in the table",
                                c.line};
        index_name = ensure_index(table_name, c);
        if (c.enabled) {
            if (c.type == 'P') {
                std::string cond;
                for (const auto& col : c.cols)
                    cond += (cond.empty() ? "" : " OR ") + quote_ident(col) + " IS NULL";
                if (exists(
                        "SELECT 1 FROM " + quote_ident(table_name) + " WHERE " + cond + " LIMIT 1",
                        {}))
                    throw sql_error{
                        "ORA-01449: column contains NULL values; cannot alter to NOT NULL", c.line};
            }
            enforce_unique(
                table_name, c.name, c.cols,
                (std::string("ORA-02437: cannot validate (") + owner + "." + c.name + ") - " +
                 (c.type == 'P' ? "primary key violated" : "unique key violated"))
                    .c_str(),
                c.line);
        }
        if (c.type == 'P')
            for (const auto& col : c.cols) {
                query(
                    "UPDATE ocilite_columns SET nullable='N' WHERE table_name=? AND column_name=?",
                    {table_name, col});
            }
    } else if (c.type == 'R') {
        const std::string ref = c.ref_table.empty() ? table_name : c.ref_table;
        if (!is_table(ref)) throw sql_error{"ORA-00942: table or view does not exist", c.line};
        table_info* rt = table(ref, c.line);
        for (const auto& col : c.ref_cols)
            if (rt->find(col) < 0)
                throw sql_error{"ORA-00904: \"" + col + "\": invalid identifier", c.line};
        std::map<std::string, std::vector<std::string>> keys;
        std::string pk;
        for (const auto& r :
             query("SELECT c.constraint_name, cc.column_name, c.constraint_type FROM "
                   "ocilite_constraints c "
                   "JOIN ocilite_cons_columns cc ON cc.constraint_name=c.constraint_name WHERE "
                   "c.table_name=? AND c.constraint_type IN ('P','U') ORDER BY c.constraint_name, "
                   "cc.position",
                   {ref})) {
            keys[text_of(r[0])].push_back(text_of(r[1]));
            if (text_of(r[2]) == "P") pk = text_of(r[0]);
        }
        if (c.ref_cols.empty()) {
            if (pk.empty())
                throw sql_error{"ORA-02268: referenced table does not have a primary key", c.line};
            c.ref_cols = keys[pk];
        }
        if (c.ref_cols.size() != c.cols.size())
            throw sql_error{
                "ORA-02256: number of referencing columns must match referenced columns", c.line};
        const std::set<std::string> want(c.ref_cols.begin(), c.ref_cols.end());
        for (const auto& [n, cols] : keys)
            if (std::set<std::string>(cols.begin(), cols.end()) == want) r_name = n;
        if (r_name.empty())
            throw sql_error{"ORA-02270: no matching unique or primary key for this column-list",
                            c.line};
        // The key's columns take the positions of the columns they refer to.
        std::vector<std::string> ordered;
        for (const auto& k : keys[r_name])
            for (std::size_t j = 0; j < c.ref_cols.size(); ++j)
                if (c.ref_cols[j] == k) ordered.push_back(c.cols[j]);
        if (ordered.size() == c.cols.size()) c.cols = std::move(ordered);
    } else if (c.not_null_check) {
        if (c.enabled) {
            if (exists("SELECT 1 FROM " + quote_ident(table_name) + " WHERE " +
                           quote_ident(c.cols[0]) + " IS NULL LIMIT 1",
                       {}))
                throw sql_error{
                    "ORA-02296: cannot enable (" + owner + "." + c.name + ") - null values found",
                    c.line};
            query("UPDATE ocilite_columns SET nullable='N' WHERE table_name=? AND column_name=?",
                  {table_name, c.cols[0]});
        }
    } else {
        // A CHECK names the columns its condition mentions.
        std::vector<token> toks = tokenize(c.condition, c.line);
        for (const token& k : toks)
            if (k.kind == tok_kind::ident && t->find(k.text) >= 0 &&
                std::find(c.cols.begin(), c.cols.end(), k.text) == c.cols.end())
                c.cols.push_back(k.text);
    }
    query(
        "INSERT INTO ocilite_constraints(constraint_name, constraint_type, table_name, "
        "r_constraint_name, "
        "delete_rule, search_condition, status, generated, index_name) VALUES(?,?,?,?,?,?,?,?,?)",
        {c.name, std::string(1, c.type), table_name, r_name.empty() ? cell(nullptr) : cell(r_name),
         c.type == 'R' ? cell(c.delete_rule) : cell(nullptr),
         c.type == 'C' ? cell(c.condition) : cell(nullptr),
         std::string(c.enabled ? "ENABLED" : "DISABLED"),
         std::string(c.generated_name ? "GENERATED NAME" : "USER NAME"),
         index_name.empty() ? cell(nullptr) : cell(index_name)});
    for (std::size_t i = 0; i < c.cols.size(); ++i)
        query(
            "INSERT INTO ocilite_cons_columns(constraint_name, table_name, column_name, position) "
            "VALUES(?,?,?,?)",
            {c.name, table_name, c.cols[i],
             c.type == 'C' ? cell(nullptr) : cell(static_cast<int64_t>(i + 1))});
    if (c.type == 'R' && c.enabled) {
        const std::string orphans = fk_orphans(c.name);
        if (!orphans.empty() && exists(orphans + " LIMIT 1", {}))
            throw sql_error{"ORA-02298: cannot validate (" + owner + "." + c.name +
                                ") - parent keys not found",
                            c.line};
    }
    forget_table(table_name);
}

void loader::impl::set_constraint_status(const std::string& table_name,
                                         const std::string& cons_name, bool enable, int line) {
    const auto rows = query(
        "SELECT constraint_type, search_condition, status FROM ocilite_constraints WHERE "
        "constraint_name=? AND table_name=?",
        {cons_name, table_name});
    if (rows.empty())
        throw sql_error{
            std::string(enable ? "ORA-02430: cannot enable" : "ORA-02431: cannot disable") +
                " constraint (" + cons_name + ") - no such constraint",
            line};
    const std::string type = text_of(rows[0][0]);
    const bool was = text_of(rows[0][2]) == "ENABLED";
    if (was == enable) return;
    std::vector<std::string> cols;
    for (const auto& r : query("SELECT column_name FROM ocilite_cons_columns WHERE "
                               "constraint_name=? ORDER BY position",
                               {cons_name}))
        cols.push_back(text_of(r[0]));
    const std::string cond = text_of(rows[0][1]);
    const bool not_null =
        type == "C" && cols.size() == 1 && cond == "\"" + cols[0] + "\" IS NOT NULL";
    if (type == "P" || type == "U") {
        if (enable)
            enforce_unique(table_name, cons_name, cols,
                           ("ORA-02437: cannot validate (" + owner + "." + cons_name +
                            ") - primary key violated")
                               .c_str(),
                           line);
        else
            exec("DROP INDEX IF EXISTS " + quote_ident("ocilite$ck$" + cons_name));
    } else if (type == "R" && enable) {
        const std::string orphans = fk_orphans(cons_name);
        if (!orphans.empty() && exists(orphans + " LIMIT 1", {}))
            throw sql_error{"ORA-02298: cannot validate (" + owner + "." + cons_name +
                                ") - parent keys not found",
                            line};
    } else if (not_null) {
        if (enable && exists("SELECT 1 FROM " + quote_ident(table_name) + " WHERE " +
                                 quote_ident(cols[0]) + " IS NULL LIMIT 1",
                             {}))
            throw sql_error{
                "ORA-02296: cannot enable (" + owner + "." + cons_name + ") - null values found",
                line};
    }
    query("UPDATE ocilite_constraints SET status=? WHERE constraint_name=?",
          {std::string(enable ? "ENABLED" : "DISABLED"), cons_name});
    if (type == "P" || not_null)
        for (const auto& col : cols) refresh_nullable(table_name, col);
    forget_table(table_name);
}

void loader::impl::drop_constraint(const std::string& table_name, const std::string& cons_name,
                                   int line) {
    const auto rows = query(
        "SELECT constraint_type, index_name FROM ocilite_constraints WHERE constraint_name=? AND "
        "table_name=?",
        {cons_name, table_name});
    if (rows.empty())
        throw sql_error{"ORA-02443: Cannot drop constraint  - nonexistent constraint", line};
    const std::string type = text_of(rows[0][0]);
    if (type == "P" || type == "U") {
        if (exists("SELECT 1 FROM ocilite_constraints WHERE r_constraint_name=?", {cons_name}))
            throw sql_error{"ORA-02273: this unique/primary key is referenced by some foreign keys",
                            line};
        exec("DROP INDEX IF EXISTS " + quote_ident("ocilite$ck$" + cons_name));
        const std::string index = text_of(rows[0][1]);
        if (index == cons_name || index.rfind("SYS_C", 0) == 0) {
            query("DELETE FROM ocilite_indexes WHERE index_name=?", {index});
            query("DELETE FROM ocilite_ind_columns WHERE index_name=?", {index});
            exec("DROP INDEX IF EXISTS " + quote_ident("ocilite$ix$" + index));
        }
    }
    set_constraint_status(table_name, cons_name, false, line);
    std::vector<std::string> cols;
    for (const auto& r :
         query("SELECT column_name FROM ocilite_cons_columns WHERE constraint_name=?", {cons_name}))
        cols.push_back(text_of(r[0]));
    query("DELETE FROM ocilite_constraints WHERE constraint_name=?", {cons_name});
    query("DELETE FROM ocilite_cons_columns WHERE constraint_name=?", {cons_name});
    for (const auto& col : cols) refresh_nullable(table_name, col);
    forget_table(table_name);
}

// ------------------------------------------------------------ statements

namespace {

// "[schema.]name": the schema is accepted and ignored (one schema per file).
std::string object_name(token_stream& ts, const char* ora) {
    std::string n = ts.name(ora);
    if (ts.is_op(".") && ts.peek(1).kind == tok_kind::ident) {
        ts.next();
        n = ts.next().text;
    }
    return n;
}

void check_user_name(const std::string& n, int line) {
    const std::string u = upper_ascii(n);
    if (u.rfind("OCILITE_", 0) == 0 || u.rfind("OCILITE$", 0) == 0 || u.rfind("SQLITE_", 0) == 0)
        throw sql_error{"ORA-00903: invalid table name", line};
}

}  // namespace

void loader::impl::create_table(token_stream& ts, int line, bool temporary) {
    const std::string name = object_name(ts, "ORA-00903: invalid table name");
    check_user_name(name, line);
    if (object_exists(name))
        throw sql_error{"ORA-00955: name is already used by an existing object", line};
    if (ts.is("AS") || ts.is("OF")) {
        report_unsupported(line, ts.is("AS") ? "CREATE TABLE AS SELECT" : "CREATE TABLE OF type");
        return;
    }
    ts.expect_op("(", "ORA-00906: missing left parenthesis");
    std::vector<column_info> cols;
    std::vector<constraint_def> cons;
    for (;;) {
        if (constraint_start(ts)) {
            cons.push_back(parse_out_of_line(ts));
        } else {
            column_info c = parse_column(ts, cons, name);
            for (const auto& other : cols)
                if (other.name == c.name) throw sql_error{"ORA-00957: duplicate column name", line};
            cols.push_back(std::move(c));
        }
        if (ts.accept_op(")")) break;
        if (!ts.is_op(",")) {
            if (ts.at_end()) ts.fail("ORA-00907: missing right parenthesis");
            ts.fail("ORA-00907: missing right parenthesis");
        }
        ts.next();
    }
    if (cols.empty()) throw sql_error{"ORA-00904: : invalid identifier", line};
    if (cols.size() > 1000)
        throw sql_error{"ORA-01792: maximum number of columns in a table or view is 1000", line};
    // Physical properties are ignored; only the organisation is kept.
    std::optional<std::string> iot;
    while (!ts.at_end()) {
        if (ts.is("ORGANIZATION") && ts.is("INDEX", 1)) {
            iot = "IOT";
            ts.next();
        } else if (ts.is("AS") && (ts.is("SELECT", 1) || ts.is("WITH", 1) || ts.is_op("(", 1))) {
            report_unsupported(line, "CREATE TABLE AS SELECT");
            return;
        }
        if (ts.is_op("("))
            ts.skip_group();
        else
            ts.next();
    }
    query(
        "INSERT INTO ocilite_tables(table_name, owner, temporary, nested, iot_type) "
        "VALUES(?,?,?,?,?)",
        {name, owner, std::string(temporary ? "Y" : "N"), std::string("NO"),
         iot ? cell(*iot) : cell(nullptr)});
    std::string ddl = "CREATE TABLE " + quote_ident(name) + "(";
    for (std::size_t i = 0; i < cols.size(); ++i) {
        // No declared type: SQLite must keep each value exactly as bound.
        ddl += (i ? ", " : "") + quote_ident(cols[i].name);
        write_column(name, static_cast<int>(i + 1), cols[i]);
    }
    exec(ddl + ")");
    forget_table(name);
    // Foreign keys last, so that one may refer to a key of its own table.
    std::stable_sort(cons.begin(), cons.end(),
                     [](const constraint_def& a, const constraint_def& b) {
                         auto rank = [](const constraint_def& c) { return c.type == 'R' ? 1 : 0; };
                         return rank(a) < rank(b);
                     });
    for (auto& c : cons) add_constraint(name, c);
}

namespace {

// Oracle's text of an index expression (USER_IND_EXPRESSIONS.COLUMN_EXPRESSION), rebuilt
// from its tokens first..last the way the server prints an expression back: names of the
// table's columns in double quotes, other words in upper case, literals as written, and no
// blanks except between two words.  Indexes over the same expression share one hidden
// column, so two spellings of one expression must give one text.
std::string index_expression_text(const token_stream& ts, std::size_t first, std::size_t last,
                                  const table_info& t) {
    std::string out;
    bool word_before = false;
    for (std::size_t k = first; k <= last; ++k) {
        const token& tk = ts.at(k);
        const bool word = tk.kind != tok_kind::op;
        if (word && word_before) out += ' ';
        word_before = word;
        if (tk.kind == tok_kind::ident) {
            const bool call =
                k < last && ts.at(k + 1).kind == tok_kind::op && ts.at(k + 1).text == "(";
            if (tk.quoted || (!call && t.find(tk.text) >= 0))
                out += "\"" + tk.text + "\"";
            else
                out += tk.text;
        } else if (tk.kind == tok_kind::op) {
            out += tk.text;
        } else {
            out += ts.slice(k, k);
        }
    }
    return out;
}

}  // namespace

void loader::impl::create_index(token_stream& ts, int line, bool unique, bool bitmap) {
    const std::string name = object_name(ts, "ORA-00953: missing or invalid index name");
    ts.expect("ON", "ORA-00969: missing ON keyword");
    const std::string tname = object_name(ts, "ORA-00903: invalid table name");
    table_info* t = table(tname, line);
    if (exists("SELECT 1 FROM ocilite_indexes WHERE index_name=?", {name}))
        throw sql_error{"ORA-00955: name is already used by an existing object", line};
    ts.expect_op("(", "ORA-00906: missing left parenthesis");
    struct part {
        std::string column;      // a plain column; empty for an expression
        std::string expression;  // Oracle's text of an expression or of a descending column
        bool desc = false;
        std::string indexed;  // the name USER_IND_COLUMNS lists
    };
    std::vector<part> parts;
    for (;;) {
        part p;
        const std::size_t first = ts.pos();
        const token& tk = ts.peek();
        if (tk.kind == tok_kind::ident &&
            (ts.is_op(",", 1) || ts.is_op(")", 1) || ts.is("ASC", 1) || ts.is("DESC", 1))) {
            p.column = ts.next().text;
            if (t->find(p.column) < 0)
                throw sql_error{"ORA-00904: \"" + p.column + "\": invalid identifier", line};
        } else {
            int depth = 0;
            while (!ts.at_end() && (depth > 0 || !(ts.is_op(",") || ts.is_op(")") || ts.is("ASC") ||
                                                   ts.is("DESC")))) {
                if (ts.is_op("(")) ++depth;
                if (ts.is_op(")")) --depth;
                ts.next();
            }
            if (ts.pos() == first) ts.fail("ORA-00936: missing expression");
            p.expression = index_expression_text(ts, first, ts.pos() - 1, *t);
        }
        if (ts.accept("DESC"))
            p.desc = true;
        else
            ts.accept("ASC");
        if (p.desc && p.expression.empty()) p.expression = "\"" + p.column + "\"";
        parts.push_back(p);
        if (ts.accept_op(")")) break;
        ts.expect_op(",", "ORA-00907: missing right parenthesis");
    }
    // Oracle indexes an expression, and a column in descending order, through a hidden
    // virtual column of the table named SYS_NC<internal column number, 5 digits>$;
    // USER_IND_COLUMNS lists that name and USER_IND_EXPRESSIONS the expression ('"ENAME"' for
    // a descending column).  An expression that an index of the table already holds keeps its
    // column.  A new column takes the next internal number after the table's columns and
    // hidden columns; past the highest hidden number too, since a dropped index leaves a gap
    // that a later column must not fill with a name still in use.
    const auto numbers = query(
        "SELECT (SELECT count(*) FROM ocilite_columns WHERE table_name=?1) + "
        "(SELECT count(DISTINCT column_name) FROM ocilite_ind_columns "
        "WHERE table_name=?1 AND column_expression IS NOT NULL), "
        "(SELECT ifnull(max(CAST(substr(column_name, 7, 5) AS INTEGER)), 0) "
        "FROM ocilite_ind_columns WHERE table_name=?1 AND column_expression IS NOT NULL)",
        {tname});
    int64_t next_hidden =
        std::max(std::get<int64_t>(numbers[0][0]), std::get<int64_t>(numbers[0][1])) + 1;
    bool functional = false;
    bool has_expression = false;
    std::vector<std::string> names;
    for (auto& p : parts) {
        if (p.expression.empty()) {
            p.indexed = p.column;
        } else {
            functional = true;
            has_expression = has_expression || p.column.empty();
            const auto same = query(
                "SELECT column_name FROM ocilite_ind_columns WHERE table_name=? AND "
                "column_expression=? LIMIT 1",
                {tname, p.expression});
            if (!same.empty()) {
                p.indexed = text_of(same[0][0]);
            } else {
                // A second part with the same expression reuses the name made for the first.
                for (const auto& q : parts) {
                    if (&q == &p) break;
                    if (q.expression == p.expression) p.indexed = q.indexed;
                }
                if (p.indexed.empty()) {
                    char buf[32];
                    std::snprintf(buf, sizeof buf, "SYS_NC%05lld$",
                                  static_cast<long long>(next_hidden++));
                    p.indexed = buf;
                }
            }
        }
        if (std::find(names.begin(), names.end(), p.indexed) != names.end())
            throw sql_error{"ORA-00957: duplicate column name", line};
        names.push_back(p.indexed);
    }
    // Oracle refuses a second index over the same column list, hidden columns included.
    std::map<std::string, std::vector<std::string>> existing;
    for (const auto& r :
         query("SELECT ic.index_name, ic.column_name FROM ocilite_ind_columns ic JOIN "
               "ocilite_indexes i "
               "ON i.index_name=ic.index_name WHERE i.table_name=? ORDER BY ic.index_name, "
               "ic.column_position",
               {tname}))
        existing[text_of(r[0])].push_back(text_of(r[1]));
    for (const auto& [n, cols] : existing)
        if (cols == names) throw sql_error{"ORA-01408: such column list already indexed", line};
    query(
        "INSERT INTO ocilite_indexes(index_name, table_name, index_type, uniqueness, generated) "
        "VALUES(?,?,?,?,'N')",
        {name, tname,
         std::string(bitmap       ? (functional ? "FUNCTION-BASED BITMAP" : "BITMAP")
                     : functional ? "FUNCTION-BASED NORMAL"
                                  : "NORMAL"),
         std::string(unique ? "UNIQUE" : "NONUNIQUE")});
    for (std::size_t i = 0; i < parts.size(); ++i)
        query(
            "INSERT INTO ocilite_ind_columns(index_name, table_name, column_name, column_position, "
            "descend, column_expression) "
            "VALUES(?,?,?,?,?,?)",
            {name, tname, parts[i].indexed, static_cast<int64_t>(i + 1),
             std::string(parts[i].desc ? "DESC" : "ASC"),
             parts[i].expression.empty() ? cell(nullptr) : cell(parts[i].expression)});
    // Columns, descending or not, are indexed in SQLite too (which enforces UNIQUE);
    // expressions stay in the catalog only.
    if (!has_expression) {
        std::string list;
        for (const auto& p : parts)
            list += (list.empty() ? "" : ",") + quote_ident(p.column) + (p.desc ? " DESC" : "");
        char* err = nullptr;
        const std::string sql = std::string("CREATE ") + (unique ? "UNIQUE " : "") + "INDEX " +
                                quote_ident("ocilite$ix$" + name) + " ON " + quote_ident(tname) +
                                "(" + list + ")";
        if (sqlite3_exec(db.get(), sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
            sqlite3_free(err);
            throw sql_error{"ORA-01452: cannot CREATE UNIQUE INDEX; duplicate keys found", line};
        }
    }
    // Storage and other index properties after the column list are ignored.
}

void loader::impl::create_view(token_stream& ts, int line, bool replace) {
    const std::string name = object_name(ts, "ORA-00903: invalid table name");
    check_user_name(name, line);
    std::vector<std::string> aliases;
    if (ts.is_op("(")) {
        ts.next();
        for (;;) {
            aliases.push_back(ts.name("ORA-00904: : invalid identifier"));
            while (!ts.is_op(",") && !ts.is_op(")") && !ts.at_end())
                ts.next();  // inline constraints
            if (ts.accept_op(")")) break;
            ts.expect_op(",", "ORA-00907: missing right parenthesis");
        }
    }
    if (ts.is("SHARING") || ts.is("DEFAULT") || ts.is("BEQUEATH")) {
        while (!ts.at_end() && !ts.is("AS")) ts.next();
    }
    ts.expect("AS", "ORA-00905: missing keyword");
    if (ts.at_end()) ts.fail("ORA-00936: missing expression");
    const std::size_t first = ts.pos();
    // The query ends before a top-level WITH READ ONLY / WITH CHECK OPTION.
    std::size_t stop = 0;
    int depth = 0;
    while (!ts.at_end()) {
        if (ts.is_op("(")) ++depth;
        if (ts.is_op(")")) --depth;
        if (depth == 0 && ts.is("WITH") && (ts.is("READ", 1) || ts.is("CHECK", 1)) && stop == 0)
            stop = ts.pos();
        ts.next();
    }
    const std::size_t end_tok = ts.pos();  // the end token
    std::string text = ts.slice(first, end_tok - 1);
    const std::string query_text = stop ? ts.slice(first, stop - 1) : text;
    if (is_table(name) || exists("SELECT 1 FROM ocilite_sequences WHERE sequence_name=?", {name}))
        throw sql_error{"ORA-00955: name is already used by an existing object", line};
    if (is_view(name)) {
        if (!replace)
            throw sql_error{"ORA-00955: name is already used by an existing object", line};
        query("DELETE FROM ocilite_views WHERE view_name=?", {name});
        query("DELETE FROM ocilite_columns WHERE table_name=?", {name});
        exec("DROP VIEW IF EXISTS " + quote_ident(name));
    }
    query("INSERT INTO ocilite_views(view_name, text, owner) VALUES(?, ?, ?)", {name, text, owner});
    // The SQLite view lets the engine query it; Oracle-only syntax keeps it catalog-only.
    std::string ddl = "CREATE VIEW " + quote_ident(name);
    if (!aliases.empty()) {
        ddl += "(";
        for (std::size_t i = 0; i < aliases.size(); ++i)
            ddl += (i ? "," : "") + quote_ident(aliases[i]);
        ddl += ")";
    }
    ddl += " AS " + query_text;
    exec("SAVEPOINT view_ddl");
    char* err = nullptr;
    stmt_ptr probe;
    std::string why;
    if (sqlite3_exec(db.get(), ddl.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
        why = err ? err : "error";
        sqlite3_free(err);
    } else {
        sqlite3_stmt* st = nullptr;
        const std::string sel = "SELECT * FROM " + quote_ident(name);
        if (sqlite3_prepare_v2(db.get(), sel.c_str(), -1, &st, nullptr) != SQLITE_OK)
            why = sqlite3_errmsg(db.get());
        probe.reset(st);
    }
    if (!why.empty()) {
        probe.reset();
        exec("ROLLBACK TO view_ddl");
        exec("RELEASE view_ddl");
        note(line, "view " + name + " is kept in the catalog only; SQLite cannot run its query (" +
                       why + ")");
        return;
    }
    exec("RELEASE view_ddl");
    // Columns: a column taken straight from a table keeps that column's type.
    const int n = sqlite3_column_count(probe.get());
    for (int i = 0; i < n; ++i) {
        column_info c;
        c.name = i < static_cast<int>(aliases.size())
                     ? aliases[static_cast<std::size_t>(i)]
                     : upper_ascii(sqlite3_column_name(probe.get(), i));
        const char* tab = sqlite3_column_table_name(probe.get(), i);
        const char* col = sqlite3_column_origin_name(probe.get(), i);
        bool typed = false;
        if (tab && col && is_table(tab)) {
            table_info* src = table(tab, line);
            const int k = src->find(col);
            if (k >= 0) {
                c.type = src->cols[static_cast<std::size_t>(k)].type;
                c.not_null = src->cols[static_cast<std::size_t>(k)].not_null;
                typed = true;
            }
        }
        if (!typed) {
            c.type = type_from_catalog("VARCHAR2", 4000, std::nullopt, std::nullopt, 4000,
                                       std::string("B"));
        }
        write_column(name, i + 1, c);
    }
}

void loader::impl::create_sequence(token_stream& ts, int line) {
    const std::string name = object_name(ts, "ORA-02277: invalid sequence name");
    check_user_name(name, line);
    if (object_exists(name))
        throw sql_error{"ORA-00955: name is already used by an existing object", line};
    std::optional<int64_t> start, minv, maxv;
    int64_t inc = 1;
    std::string max_text;
    auto number = [&]() -> int64_t {
        bool neg = ts.accept_op("-");
        if (!neg) ts.accept_op("+");
        const token& t = ts.peek();
        const auto d = t.kind == tok_kind::number ? decimal::parse(t.text) : std::nullopt;
        if (!d || !d->is_integer()) ts.fail("ORA-01722: invalid number");
        ts.next();
        const auto v = d->to_int64();
        if (!v) return neg ? INT64_MIN : INT64_MAX;
        return neg ? -*v : *v;
    };
    while (!ts.at_end()) {
        if (ts.accept("START")) {
            ts.accept("WITH");
            start = number();
        } else if (ts.accept("INCREMENT")) {
            ts.accept("BY");
            inc = number();
            if (inc == 0) ts.fail("ORA-04002: INCREMENT must be a non-zero integer");
        } else if (ts.accept("MINVALUE")) {
            minv = number();
        } else if (ts.accept("MAXVALUE")) {
            maxv = number();
        } else if (ts.accept("CACHE")) {
            number();
        } else if (ts.peek().kind == tok_kind::ident) {
            ts.next();  // NOCACHE, NOCYCLE, ORDER, NOMAXVALUE, KEEP, SCALE, ...
        } else {
            ts.fail("ORA-00933: SQL command not properly ended");
        }
    }
    const int64_t lo = minv.value_or(inc > 0 ? 1 : INT64_MIN);
    const int64_t hi = maxv.value_or(inc > 0 ? INT64_MAX : -1);
    const int64_t first = start.value_or(inc > 0 ? lo : hi);
    if (lo >= hi) throw sql_error{"ORA-04021: MINVALUE must be less than MAXVALUE", line};
    if (first < lo) throw sql_error{"ORA-04006: START WITH cannot be less than MINVALUE", line};
    if (first > hi) throw sql_error{"ORA-04008: START WITH cannot be more than MAXVALUE", line};
    auto text = [](int64_t v, const char* unbounded) {
        return v == INT64_MAX || v == INT64_MIN ? std::string(unbounded) : std::to_string(v);
    };
    query(
        "INSERT INTO ocilite_sequences(sequence_name, min_value, max_value, increment_by, "
        "last_number) "
        "VALUES(?,?,?,?,?)",
        {name, text(lo, "-999999999999999999999999999"), text(hi, "9999999999999999999999999999"),
         std::to_string(inc), std::to_string(first)});
    sequences.erase(name);
}

void loader::impl::comment(token_stream& ts, int line) {
    ts.expect("ON", "ORA-00905: missing keyword");
    if (ts.accept("TABLE")) {
        const std::string name = object_name(ts, "ORA-00903: invalid table name");
        ts.expect("IS", "ORA-00905: missing keyword");
        const token& t = ts.next();
        if (t.kind != tok_kind::string)
            throw sql_error{"ORA-01780: string literal required", t.line};
        const std::string text = t.text;
        if (is_table(name))
            query("UPDATE ocilite_tables SET comments=? WHERE table_name=?", {text, name});
        else if (!is_view(name))
            throw sql_error{"ORA-00942: table or view does not exist", line};
    } else if (ts.accept("COLUMN")) {
        std::vector<std::string> parts{ts.name("ORA-00903: invalid table name")};
        while (ts.accept_op(".")) parts.push_back(ts.name("ORA-00904: : invalid identifier"));
        if (parts.size() < 2) throw sql_error{"ORA-00905: missing keyword", line};
        const std::string col = parts.back(), tab = parts[parts.size() - 2];
        ts.expect("IS", "ORA-00905: missing keyword");
        const token& t = ts.next();
        if (t.kind != tok_kind::string)
            throw sql_error{"ORA-01780: string literal required", t.line};
        const std::string text = t.text;
        if (!is_table(tab) && !is_view(tab))
            throw sql_error{"ORA-00942: table or view does not exist", line};
        // A view SQLite could not run has no catalog columns to comment on.
        if (is_view(tab) && !exists("SELECT 1 FROM ocilite_columns WHERE table_name=?", {tab}))
            return;
        if (!exists("SELECT 1 FROM ocilite_columns WHERE table_name=? AND column_name=?",
                    {tab, col}))
            throw sql_error{"ORA-00904: \"" + col + "\": invalid identifier", line};
        query("UPDATE ocilite_columns SET comments=? WHERE table_name=? AND column_name=?",
              {text, tab, col});
    } else {
        report_unsupported(line, "COMMENT ON " + ts.peek().text);
        return;
    }
    if (!ts.at_end()) ts.fail("ORA-00933: SQL command not properly ended");
}

void loader::impl::alter_table(token_stream& ts, int line) {
    const std::string name = object_name(ts, "ORA-00903: invalid table name");
    table(name, line);
    auto add_column = [&](token_stream& s) {
        std::vector<constraint_def> cons;
        column_info c = parse_column(s, cons, name);
        table_info* t = table(name, line);
        if (t->find(c.name) >= 0)
            throw sql_error{"ORA-01430: column being added already exists in table", line};
        const int64_t rows = row_count(name);
        const bool fill = rows > 0 && c.default_text && c.identity_seq.empty();
        if (rows > 0 && c.not_null && !fill && c.identity_seq.empty())
            throw sql_error{"ORA-01758: table must be empty to add mandatory (NOT NULL) column",
                            line};
        exec("ALTER TABLE " + quote_ident(name) + " ADD COLUMN " + quote_ident(c.name));
        write_column(name, static_cast<int>(t->cols.size() + 1), c);
        if (fill) {
            const cell v = store(eval_default(*c.default_text, line), c, name, line);
            query("UPDATE " + quote_ident(name) + " SET " + quote_ident(c.name) + "=?", {v});
        }
        forget_table(name);
        for (auto& k : cons) add_constraint(name, k);
    };
    auto modify_column = [&](token_stream& s) {
        const std::string col = s.name("ORA-00904: : invalid identifier");
        table_info* t = table(name, line);
        const int k = t->find(col);
        if (k < 0) throw sql_error{"ORA-00904: \"" + col + "\": invalid identifier", line};
        column_info c = t->cols[static_cast<std::size_t>(k)];
        static const std::set<std::string> not_types = {
            "DEFAULT", "NOT",     "NULL",  "CONSTRAINT", "GENERATED", "VISIBLE",   "INVISIBLE",
            "ENABLE",  "DISABLE", "CHECK", "PRIMARY",    "UNIQUE",    "REFERENCES"};
        if (s.peek().kind == tok_kind::ident && !not_types.count(s.peek().text)) {
            column_type nt = parse_type(s, user_types);
            if (nt.k != c.type.k && row_count(name) > 0)
                throw sql_error{"ORA-01439: column to be modified must be empty to change datatype",
                                line};
            c.type = nt;
        }
        std::optional<bool> nullability;
        std::string nn_name;
        for (;;) {
            if (s.accept("DEFAULT")) {
                const std::size_t first = s.pos();
                int depth = 0;
                s.next();
                while (depth > 0 || !ends_default(s)) {
                    if (s.is_op("(")) ++depth;
                    if (s.is_op(")")) --depth;
                    if (s.at_end()) break;
                    s.next();
                }
                c.default_text = s.slice_until(first, s.pos());
            } else if (s.accept("GENERATED")) {
                // Re-declaring the identity: only "START WITH LIMIT VALUE" changes anything.
                while (!s.at_end() && !s.is_op("(") && !s.is_op(",")) s.next();
                if (s.accept_op("(")) {
                    int depth = 1;
                    bool limit = false;
                    while (depth > 0 && !s.at_end()) {
                        if (s.is("LIMIT")) limit = true;
                        if (s.is_op("(")) ++depth;
                        if (s.is_op(")")) --depth;
                        s.next();
                    }
                    if (limit && !c.identity_seq.empty()) {
                        sequence_info* seq = sequence(c.identity_seq);
                        const auto rows =
                            query("SELECT max(" + quote_ident(col) + ") FROM " + quote_ident(name));
                        const cell& m = rows[0][0];
                        if (seq && std::holds_alternative<int64_t>(m)) {
                            seq->next = std::get<int64_t>(m) + seq->increment;
                            query(
                                "UPDATE ocilite_sequences SET last_number=? WHERE sequence_name=?",
                                {std::to_string(seq->next), c.identity_seq});
                        }
                    }
                }
            } else if (s.is("CONSTRAINT") || (s.is("NOT") && s.is("NULL", 1))) {
                if (s.accept("CONSTRAINT"))
                    nn_name = s.name("ORA-02250: missing or invalid constraint name");
                s.expect("NOT", "ORA-00905: missing keyword");
                s.expect("NULL", "ORA-00905: missing keyword");
                nullability = false;
            } else if (s.accept("NULL")) {
                nullability = true;
            } else if (s.accept("ENABLE") || s.accept("DISABLE") || s.accept("VISIBLE") ||
                       s.accept("INVISIBLE")) {
            } else {
                break;
            }
        }
        query(
            "UPDATE ocilite_columns SET data_type=?, data_length=?, data_precision=?, "
            "data_scale=?, char_length=?, "
            "char_used=?, data_default=? WHERE table_name=? AND column_name=?",
            {c.type.data_type, static_cast<int64_t>(c.type.data_length),
             c.type.precision ? cell(static_cast<int64_t>(*c.type.precision)) : cell(nullptr),
             c.type.scale ? cell(static_cast<int64_t>(*c.type.scale)) : cell(nullptr),
             static_cast<int64_t>(c.type.char_length),
             c.type.char_used ? cell(*c.type.char_used) : cell(nullptr),
             c.default_text ? cell(*c.default_text) : cell(nullptr), name, col});
        forget_table(name);
        if (nullability && !*nullability) {
            if (!c.not_null) {
                constraint_def nn;
                nn.name = nn_name;
                nn.type = 'C';
                nn.not_null_check = true;
                nn.cols = {col};
                nn.condition = "\"" + col + "\" IS NOT NULL";
                nn.line = line;
                add_constraint(name, nn);
            }
        } else if (nullability && *nullability) {
            if (exists("SELECT 1 FROM ocilite_constraints c JOIN ocilite_cons_columns cc ON "
                       "cc.constraint_name=c.constraint_name WHERE c.table_name=? AND "
                       "c.constraint_type='P' AND "
                       "cc.column_name=?",
                       {name, col}))
                throw sql_error{
                    "ORA-01451: column to be modified to NULL cannot be modified to NULL", line};
            for (const auto& r :
                 query("SELECT constraint_name FROM ocilite_constraints WHERE table_name=? AND "
                       "constraint_type='C' AND search_condition=?",
                       {name, "\"" + col + "\" IS NOT NULL"}))
                drop_constraint(name, text_of(r[0]), line);
            query("UPDATE ocilite_columns SET nullable='Y' WHERE table_name=? AND column_name=?",
                  {name, col});
        }
        forget_table(name);
    };
    auto status_clause = [&](bool enable) {
        ts.accept("VALIDATE") || ts.accept("NOVALIDATE");
        std::string cons;
        if (ts.accept("CONSTRAINT")) {
            cons = ts.name("ORA-02250: missing or invalid constraint name");
        } else if (ts.accept("PRIMARY")) {
            ts.expect("KEY", "ORA-00905: missing keyword");
            const auto r = query(
                "SELECT constraint_name FROM ocilite_constraints WHERE table_name=? AND "
                "constraint_type='P'",
                {name});
            if (r.empty())
                throw sql_error{
                    "ORA-02432: cannot enable primary key - primary key not defined for table",
                    line};
            cons = text_of(r[0][0]);
        } else if (ts.accept("ALL")) {
            ts.expect("TRIGGERS", "ORA-00905: missing keyword");
            return;
        } else {
            ts.fail("ORA-00905: missing keyword");
        }
        set_constraint_status(name, cons, enable, line);
        while (ts.accept("KEEP") || ts.accept("DROP") || ts.accept("INDEX") ||
               ts.accept("CASCADE")) {
        }
    };
    bool any = false;
    while (!ts.at_end()) {
        any = true;
        if (ts.accept("ADD")) {
            if (ts.accept_op("(")) {
                for (;;) {
                    if (constraint_start(ts))
                        add_constraint(name, parse_out_of_line(ts));
                    else
                        add_column(ts);
                    if (ts.accept_op(")")) break;
                    ts.expect_op(",", "ORA-00907: missing right parenthesis");
                }
            } else if (constraint_start(ts)) {
                add_constraint(name, parse_out_of_line(ts));
            } else {
                add_column(ts);
            }
        } else if (ts.accept("MODIFY")) {
            if (ts.accept("CONSTRAINT")) {
                const std::string cons = ts.name("ORA-02250: missing or invalid constraint name");
                ts.accept("RELY") || ts.accept("NORELY");
                if (ts.accept("ENABLE"))
                    set_constraint_status(name, cons, true, line);
                else if (ts.accept("DISABLE"))
                    set_constraint_status(name, cons, false, line);
                while (ts.peek().kind == tok_kind::ident && !ts.is("MODIFY") && !ts.is("ADD"))
                    ts.next();
            } else if (ts.accept_op("(")) {
                for (;;) {
                    modify_column(ts);
                    if (ts.accept_op(")")) break;
                    ts.expect_op(",", "ORA-00907: missing right parenthesis");
                }
            } else {
                modify_column(ts);
            }
        } else if (ts.accept("ENABLE")) {
            status_clause(true);
        } else if (ts.accept("DISABLE")) {
            status_clause(false);
        } else if (ts.is("DROP") && (ts.is("CONSTRAINT", 1) || ts.is("PRIMARY", 1))) {
            ts.next();
            std::string cons;
            if (ts.accept("CONSTRAINT")) {
                cons = ts.name("ORA-02250: missing or invalid constraint name");
            } else {
                ts.next();
                ts.expect("KEY", "ORA-00905: missing keyword");
                const auto r = query(
                    "SELECT constraint_name FROM ocilite_constraints WHERE table_name=? AND "
                    "constraint_type='P'",
                    {name});
                if (r.empty())
                    throw sql_error{"ORA-02441: Cannot drop nonexistent primary key", line};
                cons = text_of(r[0][0]);
            }
            if (ts.accept("CASCADE")) {
                for (const auto& r :
                     query("SELECT constraint_name, table_name FROM ocilite_constraints WHERE "
                           "r_constraint_name=?",
                           {cons}))
                    drop_constraint(text_of(r[1]), text_of(r[0]), line);
            }
            ts.accept("KEEP") || ts.accept("DROP");
            ts.accept("INDEX");
            drop_constraint(name, cons, line);
        } else if (ts.accept("NOLOGGING") || ts.accept("LOGGING") || ts.accept("NOPARALLEL") ||
                   ts.accept("CACHE") || ts.accept("NOCACHE") || ts.accept("NOCOMPRESS")) {
        } else if (ts.is("PCTFREE") || ts.is("PCTUSED") || ts.is("INITRANS") || ts.is("PARALLEL") ||
                   ts.is("COMPRESS")) {
            ts.next();
            if (ts.peek().kind == tok_kind::number) ts.next();
        } else {
            report_unsupported(line, "ALTER TABLE ... " + ts.peek().text);
            return;
        }
    }
    if (!any) throw sql_error{"ORA-01735: invalid ALTER TABLE option", line};
}

void loader::impl::drop(token_stream& ts, int line) {
    if (ts.accept("TABLE")) {
        const std::string name = object_name(ts, "ORA-00903: invalid table name");
        bool cascade = false;
        while (!ts.at_end()) {
            if (ts.accept("CASCADE")) {
                ts.expect("CONSTRAINTS", "ORA-00905: missing keyword");
                cascade = true;
            } else if (!ts.accept("PURGE")) {
                ts.fail("ORA-00933: SQL command not properly ended");
            }
        }
        if (!is_table(name)) throw sql_error{"ORA-00942: table or view does not exist", line};
        const auto refs = query(
            "SELECT r.constraint_name, r.table_name FROM ocilite_constraints r JOIN "
            "ocilite_constraints k ON k.constraint_name=r.r_constraint_name WHERE "
            "k.table_name=?1 AND r.table_name<>?1",
            {name});
        if (!refs.empty() && !cascade)
            throw sql_error{"ORA-02449: unique/primary keys in table referenced by foreign keys",
                            line};
        for (const auto& r : refs) {
            query("DELETE FROM ocilite_constraints WHERE constraint_name=?", {text_of(r[0])});
            query("DELETE FROM ocilite_cons_columns WHERE constraint_name=?", {text_of(r[0])});
            forget_table(text_of(r[1]));
        }
        for (const auto& r : query("SELECT data_default FROM ocilite_columns WHERE table_name=? "
                                   "AND data_default LIKE "
                                   "'%\"ISEQ$$%'",
                                   {name})) {
            const std::string d = text_of(r[0]);
            const std::size_t p = d.find("\"ISEQ$$_");
            const std::size_t e = d.find('"', p + 1);
            if (p != std::string::npos && e != std::string::npos) {
                query("DELETE FROM ocilite_sequences WHERE sequence_name=?",
                      {d.substr(p + 1, e - p - 1)});
                sequences.erase(d.substr(p + 1, e - p - 1));
            }
        }
        query("DELETE FROM ocilite_cons_columns WHERE table_name=?", {name});
        query("DELETE FROM ocilite_constraints WHERE table_name=?", {name});
        query("DELETE FROM ocilite_ind_columns WHERE table_name=?", {name});
        query("DELETE FROM ocilite_indexes WHERE table_name=?", {name});
        query("DELETE FROM ocilite_columns WHERE table_name=?", {name});
        query("DELETE FROM ocilite_tables WHERE table_name=?", {name});
        exec("DROP TABLE IF EXISTS " + quote_ident(name));
        forget_table(name);
    } else if (ts.accept("VIEW")) {
        const std::string name = object_name(ts, "ORA-00903: invalid table name");
        ts.accept("CASCADE") && ts.accept("CONSTRAINTS");
        if (!ts.at_end()) ts.fail("ORA-00933: SQL command not properly ended");
        if (!is_view(name)) throw sql_error{"ORA-00942: table or view does not exist", line};
        query("DELETE FROM ocilite_views WHERE view_name=?", {name});
        query("DELETE FROM ocilite_columns WHERE table_name=?", {name});
        exec("DROP VIEW IF EXISTS " + quote_ident(name));
    } else if (ts.accept("SEQUENCE")) {
        const std::string name = object_name(ts, "ORA-02277: invalid sequence name");
        if (!ts.at_end()) ts.fail("ORA-00933: SQL command not properly ended");
        if (!exists("SELECT 1 FROM ocilite_sequences WHERE sequence_name=?", {name}))
            throw sql_error{"ORA-02289: sequence does not exist", line};
        query("DELETE FROM ocilite_sequences WHERE sequence_name=?", {name});
        sequences.erase(name);
    } else if (ts.accept("INDEX")) {
        const std::string name = object_name(ts, "ORA-00953: missing or invalid index name");
        while (ts.accept("FORCE") || ts.accept("ONLINE")) {
        }
        if (!ts.at_end()) ts.fail("ORA-00933: SQL command not properly ended");
        if (!exists("SELECT 1 FROM ocilite_indexes WHERE index_name=?", {name}))
            throw sql_error{"ORA-01418: specified index does not exist", line};
        if (exists("SELECT 1 FROM ocilite_constraints WHERE index_name=? AND status='ENABLED'",
                   {name}))
            throw sql_error{
                "ORA-02429: cannot drop index used for enforcement of unique/primary key", line};
        query("UPDATE ocilite_constraints SET index_name=NULL WHERE index_name=?", {name});
        query("DELETE FROM ocilite_indexes WHERE index_name=?", {name});
        query("DELETE FROM ocilite_ind_columns WHERE index_name=?", {name});
        exec("DROP INDEX IF EXISTS " + quote_ident("ocilite$ix$" + name));
    } else {
        std::string what = "DROP";
        for (std::size_t i = 0; i < 2 && ts.peek(i).kind == tok_kind::ident; ++i)
            what += " " + ts.peek(i).text;
        report_unsupported(line, what);
    }
}

void loader::impl::insert(token_stream& ts, int line) {
    ts.expect("INTO", "ORA-00925: missing INTO keyword");
    const std::string name = object_name(ts, "ORA-00903: invalid table name");
    if (is_view(name)) {
        report_unsupported(line, "INSERT into a view");
        return;
    }
    table_info* t = table(name, line);
    if (ts.peek().kind == tok_kind::ident && !ts.is("VALUES") && !ts.is("SELECT") && !ts.is("WITH"))
        ts.next();  // alias
    std::vector<int> targets;
    if (ts.is_op("(") && !(ts.is("SELECT", 1) || ts.is("WITH", 1))) {
        for (const auto& c : column_list(ts, t)) targets.push_back(t->find(c));
    } else {
        for (std::size_t i = 0; i < t->cols.size(); ++i) targets.push_back(static_cast<int>(i));
    }
    if (ts.accept("VALUES")) {
        ts.expect_op("(", "ORA-00906: missing left parenthesis");
        row_nextval.clear();
        std::vector<std::optional<value>> values(t->cols.size());
        std::size_t n = 0;
        for (;;) {
            // DEFAULT leaves the value unset, so the column's default applies.
            const bool use_default = ts.is("DEFAULT") && (ts.is_op(",", 1) || ts.is_op(")", 1));
            std::optional<value> v;
            if (use_default)
                ts.next();
            else
                v = expr(ts);
            if (n >= targets.size()) throw sql_error{"ORA-00913: too many values", line};
            values[static_cast<std::size_t>(targets[n++])] = std::move(v);
            if (ts.accept_op(")")) break;
            if (ts.at_end()) ts.fail("ORA-00907: missing right parenthesis");
            ts.expect_op(",", "ORA-00917: missing comma");
        }
        if (n < targets.size()) throw sql_error{"ORA-00947: not enough values", line};
        if (!ts.at_end()) ts.fail("ORA-00933: SQL command not properly ended");
        insert_row(*t, std::move(values), line);
        row_nextval.clear();
        return;
    }
    if (!(ts.is("SELECT") || ts.is("WITH") || ts.is_op("(")))
        ts.fail("ORA-00926: missing VALUES keyword");
    // INSERT ... SELECT: SQLite runs the query; each row goes through the same
    // conversions as VALUES.
    const std::string sel = ts.slice(ts.pos(), [&] {
        std::size_t p = ts.pos();
        while (!ts.at_end()) ts.next();
        const std::size_t last = ts.pos() - 1;
        ts.seek(p);
        return last;
    }());
    stmt_ptr st;
    {
        sqlite3_stmt* raw = nullptr;
        if (sqlite3_prepare_v2(db.get(), sel.c_str(), -1, &raw, nullptr) != SQLITE_OK) {
            std::string why = sqlite3_errmsg(db.get());
            sqlite3_finalize(raw);
            if (why.find("no such table") != std::string::npos)
                throw sql_error{"ORA-00942: table or view does not exist", line};
            if (why.find("no such column") != std::string::npos)
                throw sql_error{"ORA-00904: \"" + upper_ascii(why.substr(why.rfind(' ') + 1)) +
                                    "\": invalid identifier",
                                line};
            report_unsupported(line, "INSERT ... SELECT the loader cannot run (" + why + ")");
            return;
        }
        st.reset(raw);
    }
    if (sqlite3_column_count(st.get()) != static_cast<int>(targets.size()))
        throw sql_error{sqlite3_column_count(st.get()) > static_cast<int>(targets.size())
                            ? "ORA-00913: too many values"
                            : "ORA-00947: not enough values",
                        line};
    std::vector<std::vector<std::optional<value>>> rows;
    for (;;) {
        const int rc = sqlite3_step(st.get());
        if (rc == SQLITE_DONE) break;
        if (rc != SQLITE_ROW) throw sqlite_failure(sqlite3_errmsg(db.get()));
        std::vector<std::optional<value>> values(t->cols.size());
        for (std::size_t i = 0; i < targets.size(); ++i) {
            const int ci = static_cast<int>(i);
            const column_info& target = t->cols[static_cast<std::size_t>(targets[i])];
            value v;
            switch (sqlite3_column_type(st.get(), ci)) {
                case SQLITE_INTEGER:
                    v = value::of_number(decimal::from_int(sqlite3_column_int64(st.get(), ci)));
                    break;
                case SQLITE_FLOAT:
                    v.t = value::tag::real;
                    v.real = sqlite3_column_double(st.get(), ci);
                    break;
                case SQLITE_TEXT: {
                    std::string s(reinterpret_cast<const char*>(sqlite3_column_text(st.get(), ci)),
                                  static_cast<std::size_t>(sqlite3_column_bytes(st.get(), ci)));
                    // Stored dates come back as their storage text.
                    const auto d = (target.type.k == kind::date || target.type.k == kind::timestamp)
                                       ? parse_storage(s)
                                       : std::nullopt;
                    if (d && s.size() >= 19 && s[4] == '-' && s[10] == ' ')
                        v = value::of_date(*d, s.size() > 19);
                    else if (is_numeric(target.type.k) && decimal::parse(s))
                        v = value::of_number(*decimal::parse(s));
                    else
                        v = value::of_text(std::move(s));
                    break;
                }
                case SQLITE_BLOB: {
                    const void* p = sqlite3_column_blob(st.get(), ci);
                    v = value::of_raw(p ? std::string(static_cast<const char*>(p),
                                                      static_cast<std::size_t>(
                                                          sqlite3_column_bytes(st.get(), ci)))
                                        : std::string());
                    break;
                }
                default:
                    break;
            }
            values[static_cast<std::size_t>(targets[i])] = std::move(v);
        }
        rows.push_back(std::move(values));
    }
    st.reset();
    for (auto& r : rows) insert_row(*t, std::move(r), line);
}

// ------------------------------------------------------------ dispatch

void loader::impl::statement(token_stream& ts, int line) {
    const token& first = ts.peek();
    if (first.kind != tok_kind::ident) {
        if (ts.is_op("(")) throw sql_error{"ORA-00928: missing SELECT keyword", line};
        throw sql_error{"ORA-00900: invalid SQL statement", line};
    }
    if (ts.accept("CREATE")) {
        const bool replace = ts.is("OR") && ts.is("REPLACE", 1);
        if (replace) {
            ts.next();
            ts.next();
        }
        if (ts.accept("GLOBAL") || ts.accept("PRIVATE")) {
            ts.expect("TEMPORARY", "ORA-00901: invalid CREATE command");
            ts.expect("TABLE", "ORA-00901: invalid CREATE command");
            return create_table(ts, line, true);
        }
        if (!replace && ts.accept("TABLE")) return create_table(ts, line, false);
        if (!replace && (ts.is("UNIQUE") || ts.is("BITMAP") || ts.is("INDEX"))) {
            const bool unique = ts.accept("UNIQUE");
            const bool bitmap = ts.accept("BITMAP");
            ts.expect("INDEX", "ORA-00901: invalid CREATE command");
            return create_index(ts, line, unique, bitmap);
        }
        while (ts.accept("FORCE") || ts.accept("NOFORCE") || ts.accept("EDITIONABLE") ||
               ts.accept("NONEDITIONABLE") || ts.accept("EDITIONING")) {
        }
        if (ts.is("NO") && ts.is("FORCE", 1)) {
            ts.next();
            ts.next();
        }
        if (ts.accept("VIEW")) return create_view(ts, line, replace);
        if (!replace && ts.accept("SEQUENCE")) return create_sequence(ts, line);
        std::string what = "CREATE";
        if (replace) what += " OR REPLACE";
        if (ts.peek().kind == tok_kind::ident) what += " " + ts.peek().text;
        if (ts.is("PUBLIC") && ts.peek(1).kind == tok_kind::ident) what += " " + ts.peek(1).text;
        return report_unsupported(line, what);
    }
    if (ts.accept("INSERT")) return insert(ts, line);
    if (ts.accept("ALTER")) {
        if (ts.accept("TABLE")) return alter_table(ts, line);
        if (ts.accept("SESSION")) {
            // NLS date formats matter for implicit conversions; the rest is ignored.
            ts.expect("SET", "ORA-00922: missing or invalid option");
            while (!ts.at_end()) {
                const std::string param = ts.name("ORA-00922: missing or invalid option");
                ts.expect_op("=", "ORA-00922: missing or invalid option");
                const token& v = ts.next();
                if (param == "NLS_DATE_FORMAT" && v.kind == tok_kind::string)
                    nls_date_format = v.text;
                if (param == "NLS_TIMESTAMP_FORMAT" && v.kind == tok_kind::string)
                    nls_timestamp_format = v.text;
                if (param == "NLS_TIMESTAMP_TZ_FORMAT" && v.kind == tok_kind::string)
                    nls_timestamp_tz_format = v.text;
            }
            return;
        }
        return report_unsupported(line, "ALTER " + ts.peek().text);
    }
    if (ts.accept("DROP")) return drop(ts, line);
    if (ts.accept("COMMENT")) return comment(ts, line);
    if (ts.accept("COMMIT")) {
        ts.accept("WORK");
        exec("RELEASE work");
        exec("SAVEPOINT work");
        return;
    }
    if (ts.accept("ROLLBACK")) {
        ts.accept("WORK");
        if (!ts.at_end()) return report_unsupported(line, "ROLLBACK TO SAVEPOINT");
        exec("ROLLBACK TO work");
        forget_all();
        return;
    }
    if (ts.accept("TRUNCATE")) {
        ts.expect("TABLE",
                  "ORA-03290: Invalid truncate command - missing CLUSTER or TABLE keyword");
        const std::string name = object_name(ts, "ORA-00903: invalid table name");
        table(name, line);
        // Oracle refuses while an enabled foreign key of another table refers to its keys.
        if (exists("SELECT 1 FROM ocilite_constraints c JOIN ocilite_constraints r ON "
                   "r.constraint_name=c.r_constraint_name WHERE c.constraint_type='R' AND "
                   "c.status='ENABLED' AND r.table_name=?1 AND c.table_name<>?1",
                   {name}))
            throw sql_error{
                "ORA-02266: unique/primary keys in table referenced by enabled foreign keys",
                line};
        exec("DELETE FROM " + quote_ident(name));
        return;
    }
    if (ts.is("GRANT") || ts.is("REVOKE")) return report_unsupported(line, first.text);
    std::string what = first.text;
    if (ts.peek(1).kind == tok_kind::ident &&
        (what == "ALTER" || what == "CREATE" || what == "SET"))
        what += " " + ts.peek(1).text;
    static const std::set<std::string> known = {
        "SELECT",  "UPDATE", "DELETE",    "MERGE",     "SAVEPOINT",    "SET",
        "ANALYZE", "AUDIT",  "NOAUDIT",   "CALL",      "EXPLAIN",      "LOCK",
        "PURGE",   "RENAME", "FLASHBACK", "ASSOCIATE", "DISASSOCIATE", "WITH"};
    if (known.count(first.text)) return report_unsupported(line, what);
    throw sql_error{"ORA-00900: invalid SQL statement", line};
}

void loader::impl::run_sql(const std::string& text, int line) {
    std::vector<token> toks = tokenize(text, line);
    token_stream ts(std::move(toks), text);
    if (ts.at_end()) return;
    if (ts.is("COMMIT") || ts.is("ROLLBACK"))
        return statement(ts, line);  // they end the "work" savepoint
    exec("SAVEPOINT stmt");
    try {
        statement(ts, line);
        exec("RELEASE stmt");
    } catch (...) {
        exec("ROLLBACK TO stmt");
        exec("RELEASE stmt");
        forget_all();
        throw;
    }
}

// Anonymous blocks made only of INSERTs, COMMITs, NULL; and assignments to
// declared variables are run statement by statement (sample scripts wrap
// their data in such blocks).  Anything else is reported and skipped.
void loader::impl::run_plsql(const std::string& text, int line) {
    std::vector<token> toks;
    toks = tokenize(text, line);
    token_stream ts(std::move(toks), text);
    const std::string head = ts.peek().text;
    if (ts.is("CREATE")) {
        std::string what = "CREATE";
        std::size_t i = 1;
        if (ts.is("OR", 1) && ts.is("REPLACE", 2)) {
            i = 3;
            what += " OR REPLACE";
        }
        while (ts.is("EDITIONABLE", i) || ts.is("NONEDITIONABLE", i)) ++i;
        what += " " + ts.peek(i).text;
        if (ts.is("TYPE", i) && ts.peek(i + 1).kind == tok_kind::ident && !ts.is("BODY", i + 1)) {
            std::size_t k = i + 1;
            std::string tname = ts.peek(k).text;
            if (ts.is_op(".", k + 1) && ts.peek(k + 2).kind == tok_kind::ident)
                tname = ts.peek(k + 2).text;
            user_types.insert(tname);  // columns may use the type by name
        }
        return report_unsupported(line, what);
    }
    struct step {
        std::size_t first, last;  // token range of one statement (without ";")
        int line;
    };
    std::vector<std::pair<std::string, std::string>> declared;  // name, initial expression text
    std::vector<step> steps;
    auto reject = [&](const std::string& why) { report_unsupported(line, "PL/SQL block: " + why); };
    auto statement_end = [&](std::size_t from) {
        // The ";" that ends the statement starting at token `from`.
        ts.seek(from);
        int depth = 0;
        while (!ts.at_end() && (depth > 0 || !ts.is_op(";"))) {
            if (ts.is_op("(")) ++depth;
            if (ts.is_op(")")) --depth;
            ts.next();
        }
        return ts.pos();
    };
    std::vector<std::pair<std::string, std::pair<std::size_t, std::size_t>>> inits;
    if (ts.accept("DECLARE")) {
        while (!ts.is("BEGIN")) {
            if (ts.at_end()) return reject("no BEGIN");
            const token& v = ts.peek();
            if (v.kind != tok_kind::ident) return reject("unsupported declaration");
            const std::string var = ts.next().text;
            const std::size_t start = ts.pos();
            const std::size_t semi = statement_end(start);
            if (ts.at_end()) return reject("unterminated declaration");
            std::size_t assign = semi;
            for (std::size_t p = start; p < semi; ++p) {
                ts.seek(p);
                if (ts.is_op(":=") || ts.is("DEFAULT")) {
                    assign = p;
                    break;
                }
            }
            ts.seek(start);
            if (ts.is("CURSOR") || ts.is("TYPE") || ts.is("PROCEDURE") || ts.is("FUNCTION") ||
                ts.is("EXCEPTION"))
                return reject("unsupported declaration");
            inits.push_back({var, {assign < semi ? assign + 1 : semi, semi}});
            ts.seek(semi + 1);
        }
    }
    if (!ts.accept("BEGIN")) return reject(head);
    for (;;) {
        if (ts.at_end()) return reject("no END");
        if (ts.is("END") &&
            (ts.is_op(";", 1) || (ts.peek(1).kind == tok_kind::ident && ts.is_op(";", 2))))
            break;
        if (ts.is("EXCEPTION")) return reject("exception handler");
        const std::size_t start = ts.pos();
        const int sline = ts.peek().line;
        const bool ok = ts.is("INSERT") || ts.is("COMMIT") || ts.is("NULL") ||
                        (ts.peek().kind == tok_kind::ident && ts.is_op(":=", 1));
        if (!ok) return reject(ts.peek().text + " statement");
        const std::size_t semi = statement_end(start);
        if (ts.at_end()) return reject("unterminated statement");
        steps.push_back({start, semi, sline});
        ts.seek(semi + 1);
    }
    variables.clear();
    for (const auto& [var, range] : inits) {
        if (range.first >= range.second) {
            variables[var] = value::null();
            continue;
        }
        const std::string init = ts.slice(range.first, range.second - 1);
        try {
            variables[var] = eval_default(init, line);
        } catch (const sql_error& e) {
            report_error(e.line, e.ora);
            variables[var] = value::null();
        }
    }
    for (const step& s : steps) {
        ts.seek(s.first);
        if (ts.peek().kind == tok_kind::ident && ts.is_op(":=", 1) && !ts.is("INSERT")) {
            const std::string var = ts.next().text;
            ts.next();
            if (!variables.count(var)) {
                report_error(s.line, "PLS-00201: identifier '" + var + "' must be declared");
                continue;
            }
            try {
                std::string expr_text = ts.slice(ts.pos(), s.last - 1);
                variables[var] = eval_default(expr_text, s.line);
            } catch (const sql_error& e) {
                report_error(e.line, e.ora);
            }
            continue;
        }
        const std::string sql = ts.slice(s.first, s.last - 1);
        if (ts.is("NULL")) continue;
        try {
            run_sql(sql, s.line);
        } catch (const sql_error& e) {
            report_error(e.line, e.ora);
        }
    }
    variables.clear();
}

void loader::impl::run_sqlplus(const std::string& text, int line) {
    std::string word;
    for (char c : text) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') break;
        word.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
    }
    if (word == "EXIT" || word == "QUIT") {
        stop_script = true;
        return;
    }
    if (word == "EXEC" || word == "EXECUTE") return report_unsupported(line, "PL/SQL call " + word);
    if (!text.empty() && (text[0] == '@' || word == "START" || word == "STA"))
        return note(line, "nested script not run: " + text);
    // SET, PROMPT, REM, SPOOL, DEFINE, WHENEVER, CONNECT, ...: nothing to do.
}

void loader::impl::run_unit(const script_unit& u) {
    try {
        switch (u.kind) {
            case script_unit::sql:
                run_sql(u.text, u.line);
                break;
            case script_unit::plsql:
                run_plsql(u.text, u.line);
                break;
            case script_unit::sqlplus:
                run_sqlplus(u.text, u.line);
                break;
            case script_unit::error:
                report_error(u.line, u.text);
                break;
        }
    } catch (const sql_error& e) {
        report_error(e.line, e.ora);
    }
}

// ------------------------------------------------------------ set-up

loader::impl::impl(const std::string& path, loader_options o, std::ostream& d)
    : opts(std::move(o)), diag(d) {
    sqlite3* raw = nullptr;
    const int rc =
        sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    db.reset(raw);
    if (rc != SQLITE_OK)
        throw std::runtime_error("cannot open " + path + ": " +
                                 (raw ? sqlite3_errmsg(raw) : "out of memory"));
    sqlite3_extended_result_codes(db.get(), 1);
    // One transaction for the catalog and the settings: a new database costs
    // one sync, not one per catalog table.
    try {
        exec("BEGIN");
        exec(kCatalogSchemaSql);
        for (const catalog_column& c : kAddedCatalogColumns)
            if (!exists(
                    std::string("SELECT 1 FROM pragma_table_info('") + c.table + "') WHERE name=?",
                    {std::string(c.column)}))
                exec(std::string("ALTER TABLE ") + c.table + " ADD COLUMN " + c.column + " " +
                     c.declaration);
    } catch (const sqlite_failure& e) {
        throw std::runtime_error(path + " is not a usable database: " + e.what());
    }
    const auto banner = query("SELECT value FROM ocilite_settings WHERE name='banner'");
    if (!opts.banner.empty() || banner.empty())
        query("INSERT OR REPLACE INTO ocilite_settings(name, value) VALUES('banner', ?)",
              {opts.banner.empty() ? std::string(kDefaultBanner) : opts.banner});
    query("INSERT OR IGNORE INTO ocilite_settings(name, value) VALUES(?, '10000')",
          {std::string(kSysCounterSetting)});
    for (const auto& u : opts.users)
        query(
            "INSERT OR REPLACE INTO ocilite_users(username, password, account_status) "
            "VALUES(?,?,?)",
            {u.name, u.password, std::string(u.locked ? "LOCKED" : "OPEN")});
    exec("COMMIT");
    if (!opts.owner.empty())
        owner = upper_ascii(opts.owner);
    else if (!opts.users.empty())
        owner = opts.users.front().name;
    else {
        const auto rows = query("SELECT owner FROM ocilite_tables LIMIT 1");
        owner = rows.empty() ? "OCILITE" : text_of(rows[0][0]);
    }
    const std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    now.year = tm.tm_year + 1900;
    now.month = tm.tm_mon + 1;
    now.day = tm.tm_mday;
    now.hour = tm.tm_hour;
    now.minute = tm.tm_min;
    now.second = tm.tm_sec;
}

loader::loader(const std::string& db_path, loader_options options, std::ostream& diagnostics)
    : impl_(std::make_unique<impl>(db_path, std::move(options), diagnostics)) {}

loader::~loader() = default;

bool loader::run_script(std::string_view text, const std::string& name) {
    impl& m = *impl_;
    m.script = name;
    m.stop_script = false;
    m.forget_all();
    m.exec("BEGIN");
    m.exec("SAVEPOINT work");
    try {
        for (const script_unit& u : split_script(text)) {
            m.run_unit(u);
            if (m.stop_script) break;
        }
    } catch (const strict_stop&) {
        m.exec("ROLLBACK");
        m.forget_all();
        return false;
    } catch (...) {
        m.exec("ROLLBACK");
        m.forget_all();
        throw;
    }
    m.exec("RELEASE work");
    m.exec("COMMIT");
    return true;
}

int loader::error_count() const {
    return impl_->errors;
}
int loader::unsupported_count() const {
    return impl_->unsupported;
}

}  // namespace ocilite::load
