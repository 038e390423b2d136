// Describe of a compiled query and delivery of its rows into the client's defines.
#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string_view>
#include <vector>

#include "ol_handles.h"

namespace ocilite {

namespace {

// Oracle's name of an expression column: its text upper-cased (the rewriter did that) without
// blanks, at most 30 bytes.
// The rewriter's own additions for Oracle's "||" (lower-case "coalesce(" and ", '')", which
// no client text holds once words are upper-cased and '' has become NULL) are taken out
// again, so the name is the client's text; literals are upper-cased too ('A'||ENAME), quoted
// names keep their case.
std::string expression_name(const char* text) {
    std::string name;
    for (const char* p = text ? text : ""; *p; ++p)
        if (*p != ' ' && *p != '\t' && *p != '\n' && *p != '\r') name.push_back(*p);
    for (const std::string_view added : {std::string_view("coalesce("), std::string_view(",'')")})
        for (auto at = name.find(added); at != std::string::npos; at = name.find(added, at))
            name.erase(at, added.size());
    bool quoted = false;
    for (char& c : name) {
        if (c == '"') quoted = !quoted;
        if (!quoted) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    if (name.size() > 30) name.resize(30);
    return name;
}

bool starts_with_any(const std::string& s, std::initializer_list<const char*> heads) {
    for (const char* h : heads)
        if (s.rfind(h, 0) == 0) return true;
    return false;
}

column_desc number_desc() {
    return describe_catalog("NUMBER", 22, {}, {}, "");
}

std::optional<column_desc> from_catalog(stmt_h& s, const char* table, const char* column) {
    sqlite3_stmt* q = s.conn->catalog_lookup.get();
    if (!q) return std::nullopt;
    sqlite3_reset(q);
    sqlite3_bind_text(q, 1, table, -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(q, 2, column, -1, SQLITE_TRANSIENT);
    if (sqlite3_step(q) != SQLITE_ROW) return std::nullopt;
    auto opt_int = [&](int i) -> std::optional<std::int64_t> {
        if (sqlite3_column_type(q, i) == SQLITE_NULL) return std::nullopt;
        return sqlite3_column_int64(q, i);
    };
    auto text = [&](int i) {
        const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(q, i));
        return std::string(t ? t : "");
    };
    column_desc d =
        describe_catalog(text(0), sqlite3_column_int64(q, 1), opt_int(2), opt_int(3), text(5));
    d.nullable = text(4) == "N" ? 0 : 1;
    sqlite3_reset(q);
    return d;
}

const char* type_word(const column_desc& d) {
    switch (d.kind) {
        case value_kind::number:
        case value_kind::binary_float:
        case value_kind::binary_double:
            return "NUMBER";
        case value_kind::date:
            return "DATE";
        case value_kind::timestamp:
            return "TIMESTAMP";
        case value_kind::timestamp_tz:
            return "TIMESTAMP WITH TIME ZONE";
        case value_kind::timestamp_ltz:
            return "TIMESTAMP WITH LOCAL TIME ZONE";
        case value_kind::interval_ym:
            return "INTERVAL YEAR TO MONTH";
        case value_kind::interval_ds:
            return "INTERVAL DAY TO SECOND";
        case value_kind::raw:
        case value_kind::long_raw:
            return "BINARY";
        case value_kind::clob:
            return "CLOB";
        case value_kind::blob:
            return "BLOB";
        default:
            return "CHAR";
    }
}

ora_error inconsistent(const char* expected, const column_desc& d) {
    return ora_error{
        932, std::string("inconsistent datatypes: expected ") + expected + " got " + type_word(d)};
}

bool is_binary_kind(value_kind k) {
    return k == value_kind::raw || k == value_kind::long_raw || k == value_kind::blob;
}

bool is_datetime_kind(value_kind k) {
    return k == value_kind::date || k == value_kind::timestamp || k == value_kind::timestamp_tz ||
           k == value_kind::timestamp_ltz;
}

std::string_view stored_text(sqlite3_stmt* st, int col) {
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st, col));
    return std::string_view(p ? p : "", static_cast<std::size_t>(sqlite3_column_bytes(st, col)));
}

// A stored date or timestamp as the local date and time Oracle converts it to.  A TIMESTAMP
// WITH TIME ZONE keeps its own local time and drops the zone, as Oracle's conversion to
// TIMESTAMP does; WITH LOCAL TIME ZONE is stored in the database zone, which is the session's.
bool stored_date_time(value_kind k, std::string_view text, date_time& dt, std::string& zone) {
    if (k == value_kind::timestamp_tz || k == value_kind::timestamp_ltz)
        return parse_date_time_zone(text, dt, zone);
    zone.clear();
    return parse_date_time(text, dt);
}

// The value's text as Oracle converts it to a character type.  The view points into SQLite's
// row or into s.scratch; valid until the next conversion or step.
bool value_text(stmt_h& s, int col, std::string_view& out, ora_error& err) {
    sqlite3_stmt* st = s.st.get();
    const column_desc& d = s.columns[static_cast<std::size_t>(col)];
    const int t = sqlite3_column_type(st, col);
    auto raw_view = [&] {
        const auto* p = static_cast<const char*>(sqlite3_column_blob(st, col));
        return std::string_view(p ? p : "",
                                static_cast<std::size_t>(sqlite3_column_bytes(st, col)));
    };
    switch (d.kind) {
        case value_kind::number:
            if (t == SQLITE_INTEGER) {
                char buf[32];
                auto r = std::to_chars(buf, buf + sizeof buf, sqlite3_column_int64(st, col));
                s.scratch.assign(buf, r.ptr);
            } else if (t == SQLITE_FLOAT) {
                s.scratch = number_text(sqlite3_column_double(st, col));
            } else if (t == SQLITE_TEXT) {
                const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st, col));
                if (!number_text(std::string_view(
                                     p, static_cast<std::size_t>(sqlite3_column_bytes(st, col))),
                                 s.scratch)) {
                    err = make_error(1722);
                    return false;
                }
            } else {
                err = inconsistent("NUMBER", d);
                return false;
            }
            out = s.scratch;
            return true;
        case value_kind::binary_float:
        case value_kind::binary_double:
            s.scratch = binary_float_text(sqlite3_column_double(st, col),
                                          d.kind == value_kind::binary_float);
            out = s.scratch;
            return true;
        case value_kind::date:
        case value_kind::timestamp:
        case value_kind::timestamp_tz:
        case value_kind::timestamp_ltz: {
            const std::string_view text = stored_text(st, col);
            date_time dt;
            std::string zone;
            if (!stored_date_time(d.kind, text, dt, zone)) {
                out = text;
                return true;
            }
            s.scratch = d.kind == value_kind::date ? date_text(dt) : timestamp_text(dt, d.scale);
            // NLS_TIMESTAMP_TZ_FORMAT ends in TZR; a value stored without a zone is in the
            // session zone, which is UTC here.
            if (d.kind == value_kind::timestamp_tz)
                s.scratch += " " + (zone.empty() ? "+00:00" : zone);
            out = s.scratch;
            return true;
        }
        case value_kind::interval_ym:
        case value_kind::interval_ds: {
            const std::string_view text = stored_text(st, col);
            std::int64_t months = 0;
            interval_ds ds;
            if (d.kind == value_kind::interval_ym && parse_interval_ym(text, months))
                s.scratch = interval_ym_text(months, d.precision);
            else if (d.kind == value_kind::interval_ds && parse_interval_ds(text, ds))
                s.scratch = interval_ds_text(ds, d.precision, d.scale);
            else
                s.scratch.assign(text);
            out = s.scratch;
            return true;
        }
        case value_kind::raw:
        case value_kind::long_raw:
        case value_kind::blob:
            s.scratch = hex_text(raw_view());
            out = s.scratch;
            return true;
        default:
            if (t == SQLITE_INTEGER || t == SQLITE_FLOAT) {
                // A number stored in a character column reads as Oracle's text of it.
                s.scratch =
                    t == SQLITE_INTEGER
                        ? number_text(static_cast<std::int64_t>(sqlite3_column_int64(st, col)))
                        : number_text(sqlite3_column_double(st, col));
                out = s.scratch;
                return true;
            }
            out = raw_view();
            return true;
    }
}

// Writes text into a character define; returns the number of bytes written (without the
// terminator) and sets `total` to the bytes the whole value needs.
std::size_t put_text(char* dst, std::size_t cap, bool utf16, std::string_view utf8,
                     std::size_t& total) {
    if (!utf16) {
        total = utf8.size();
        const std::size_t n = std::min(cap, utf8.size());
        std::memcpy(dst, utf8.data(), n);
        return n;
    }
    const std::size_t cap_units = cap / 2;
    std::size_t units = 0;
    std::size_t i = 0;
    // ASCII runs go straight through; anything else is decoded through the UTF-16 helper.
    while (i < utf8.size()) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x80) {
            if (units < cap_units) {
                const char16_t u = c;
                std::memcpy(dst + 2 * units, &u, 2);
            }
            ++units;
            ++i;
            continue;
        }
        std::size_t j = i + 1;
        while (j < utf8.size() && (static_cast<unsigned char>(utf8[j]) & 0xC0) == 0x80) ++j;
        const std::u16string w = utf8_to_utf16(utf8.substr(i, j - i));
        for (const char16_t u : w) {
            if (units < cap_units) std::memcpy(dst + 2 * units, &u, 2);
            ++units;
        }
        i = j;
    }
    total = units * 2;
    return std::min(units, cap_units) * 2;
}

void set_indicator(define_h& d, ub4 row, sb2 ind, ub2 rlen, ub2 rcode) {
    if (d.indp) d.indp[row] = ind;
    if (d.rlenp) d.rlenp[row] = rlen;
    if (d.rcodep) d.rcodep[row] = rcode;
}

bool value_number(stmt_h& s, int col, long double& v, ora_error& err) {
    sqlite3_stmt* st = s.st.get();
    const column_desc& d = s.columns[static_cast<std::size_t>(col)];
    const int t = sqlite3_column_type(st, col);
    if (is_datetime_kind(d.kind) || is_binary_kind(d.kind) || d.kind == value_kind::clob ||
        d.kind == value_kind::interval_ym || d.kind == value_kind::interval_ds) {
        err = inconsistent("NUMBER", d);
        return false;
    }
    if (t == SQLITE_INTEGER) {
        v = static_cast<long double>(sqlite3_column_int64(st, col));
        return true;
    }
    if (t == SQLITE_FLOAT) {
        v = sqlite3_column_double(st, col);
        return true;
    }
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st, col));
    std::string text(p ? p : "");
    while (!text.empty() && text.back() == ' ') text.pop_back();
    char* end = nullptr;
    v = std::strtold(text.c_str(), &end);
    if (text.empty() || end != text.c_str() + text.size()) {
        err = make_error(1722);
        return false;
    }
    return true;
}

bool value_date(stmt_h& s, int col, date_time& dt, ora_error& err) {
    const column_desc& d = s.columns[static_cast<std::size_t>(col)];
    if (!is_datetime_kind(d.kind) && d.kind != value_kind::text) {
        err = inconsistent("DATE", d);
        return false;
    }
    std::string zone;
    if (!stored_date_time(d.kind, stored_text(s.st.get(), col), dt, zone)) {
        err = inconsistent("DATE", d);
        return false;
    }
    return true;
}

template <class T>
bool store_int(void* dst, long double v, bool& overflow) {
    const long double r = std::round(v);
    if (r < static_cast<long double>(std::numeric_limits<T>::min()) ||
        r > static_cast<long double>(std::numeric_limits<T>::max())) {
        overflow = true;
        return false;
    }
    const T x = static_cast<T>(r);
    std::memcpy(dst, &x, sizeof x);
    return true;
}

}  // namespace

void describe_columns(stmt_h& s) {
    sqlite3_stmt* st = s.st.get();
    const int n = sqlite3_column_count(st);
    s.columns.clear();
    s.columns.reserve(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        const char* table = sqlite3_column_table_name(st, i);
        const char* origin = sqlite3_column_origin_name(st, i);
        const char* dbname = sqlite3_column_database_name(st, i);
        const char* name = sqlite3_column_name(st, i);
        std::optional<column_desc> d;
        if (table && origin && dbname && std::strcmp(dbname, "main") == 0)
            d = from_catalog(s, table, origin);
        if (!d) {
            if (const char* decl = sqlite3_column_decltype(st, i)) d = describe_declared(decl);
            if (d && table && origin && dbname) {
                int notnull = 0;
                int pk = 0;
                if (sqlite3_table_column_metadata(s.conn->db.get(), dbname, table, origin, nullptr,
                                                  nullptr, &notnull, &pk, nullptr) == SQLITE_OK)
                    d->nullable = notnull ? 0 : 1;
            }
        }
        if (d) {
            d->name = name ? name : "";
        } else {
            // An expression: refined from the first row; until then a NUMBER for the
            // aggregates and arithmetic Oracle types as numbers, else a character value.
            const std::string ename = expression_name(name);
            d = starts_with_any(ename, {"COUNT(", "SUM(", "AVG(", "LENGTH(", "INSTR("})
                    ? number_desc()
                    : describe_catalog("VARCHAR2", 4000, {}, {}, "B");
            d->name = ename;
            d->data_size = d->kind == value_kind::number ? 22 : 0;
            d->expression = true;
        }
        s.columns.push_back(std::move(*d));
    }
    // The ROWID pseudo-column: Oracle's ROWID type, never NULL.
    for (const rowid_column& r : s.rowid_columns) {
        const int at = r.from_end ? n - 1 - r.index : r.index;
        if (at < 0 || at >= n) continue;
        column_desc& c = s.columns[static_cast<std::size_t>(at)];
        std::string name = std::move(c.name);
        c = describe_catalog("ROWID", 10, {}, {}, "");
        c.name = std::move(name);
        c.nullable = 0;
    }
}

void refine_expression_columns(stmt_h& s) {
    sqlite3_stmt* st = s.st.get();
    const std::size_t n = s.columns.size();
    // Type of each expression column: from the first row; a column whose first value is not
    // a number is typed by its first non-NULL value over the whole result, and a text or
    // binary one is as wide as its widest value, so that no later row is cut.
    std::vector<int> type(n, SQLITE_NULL);
    std::vector<int> width(n, 0);
    bool scan = false;
    for (std::size_t i = 0; i < n; ++i) {
        if (!s.columns[i].expression) continue;
        const int col = static_cast<int>(i);
        type[i] = s.has_row ? sqlite3_column_type(st, col) : SQLITE_NULL;
        if (type[i] != SQLITE_INTEGER && type[i] != SQLITE_FLOAT) scan = true;
    }
    // A parse or describe without execution reads no rows.
    if (scan && s.fetchable) {
        sqlite3_stmt* raw = nullptr;
        if (sqlite3_prepare_v2(s.conn->db.get(), sqlite3_sql(st), -1, &raw, nullptr) ==
            SQLITE_OK) {
            sqlite_stmt_ptr all(raw);
            while (sqlite3_step(all.get()) == SQLITE_ROW) {
                for (std::size_t i = 0; i < n; ++i) {
                    if (!s.columns[i].expression) continue;
                    const int col = static_cast<int>(i);
                    const int t = sqlite3_column_type(all.get(), col);
                    if (t == SQLITE_NULL) continue;
                    if (type[i] == SQLITE_NULL) type[i] = t;
                    if (type[i] == SQLITE_TEXT || type[i] == SQLITE_BLOB)
                        width[i] = std::max(width[i], sqlite3_column_bytes(all.get(), col));
                }
            }
        }
    }
    for (std::size_t i = 0; i < n; ++i) {
        column_desc& d = s.columns[i];
        if (!d.expression) continue;
        const int t = type[i];
        std::string name = std::move(d.name);
        if (t == SQLITE_INTEGER || t == SQLITE_FLOAT) {
            d = number_desc();
        } else if (t == SQLITE_TEXT) {
            d = describe_catalog("VARCHAR2", std::max(1, width[i]), {}, {}, "B");
        } else if (t == SQLITE_BLOB) {
            d = describe_catalog("RAW", std::max(1, width[i]), {}, {}, "");
        } else if (d.kind != value_kind::number) {
            // No value to go by: without rows, the widest character value Oracle has.
            d = describe_catalog("VARCHAR2", s.fetchable ? 0 : 4000, {}, {}, "B");
        }
        d.name = std::move(name);
        d.nullable = 1;
    }
}

sword deliver_row(stmt_h& s, bool utf16, ub4 row, ora_error& err, bool& truncated) {
    sqlite3_stmt* st = s.st.get();
    for (define_h* def : s.defines) {
        if (!def) continue;
        define_h& d = *def;
        const int col = static_cast<int>(d.position) - 1;
        const column_desc& cd = s.columns[static_cast<std::size_t>(col)];
        const int t = sqlite3_column_type(st, col);
        const bool is_lob_define = d.dty == SQLT_CLOB || d.dty == SQLT_BLOB;
        bool null = t == SQLITE_NULL;
        // Oracle has no empty character or RAW value: a zero-length one is NULL.  An empty
        // LOB is a LOB of length 0.
        if (!null && cd.kind != value_kind::clob && cd.kind != value_kind::blob &&
            (t == SQLITE_TEXT || t == SQLITE_BLOB) && sqlite3_column_bytes(st, col) == 0)
            null = true;
        if (null) {
            if (is_lob_define) {
                if (auto* lob = find_as<lob_h>(static_cast<void**>(d.valuep)[row], OCI_DTYPE_LOB)) {
                    lob->data.reset();
                    lob->streaming = false;
                }
            }
            if (!d.indp) {
                if (d.rcodep) d.rcodep[row] = 1405;
                err = make_error(1405);
                return OCI_ERROR;
            }
            set_indicator(d, row, -1, 0, 1405);
            continue;
        }
        const std::size_t stride = static_cast<std::size_t>(d.value_sz < 0 ? 0 : d.value_sz);
        char* dst = static_cast<char*>(d.valuep) + stride * row;
        switch (d.dty) {
            case SQLT_STR:
            case SQLT_CHR:
            case SQLT_AFC:
            case SQLT_LNG:
            case SQLT_VCS: {
                std::string_view text;
                if (cd.kind == value_kind::clob && d.dty != SQLT_STR && d.dty != SQLT_CHR &&
                    d.dty != SQLT_LNG) {
                    err = inconsistent("CHAR", cd);
                    return OCI_ERROR;
                }
                if (!value_text(s, col, text, err)) return OCI_ERROR;
                const std::size_t unit = utf16 ? 2 : 1;
                const bool nul = d.dty == SQLT_STR;
                std::size_t cap = stride;
                if (nul) cap = cap >= unit ? cap - unit : 0;
                std::size_t total = 0;
                const std::size_t written = put_text(dst, cap, utf16, text, total);
                if (nul && stride >= unit) std::memset(dst + written, 0, unit);
                if (d.dty == SQLT_AFC) {
                    // Fixed-length character output is blank-padded to the buffer.
                    for (std::size_t k = written; k + unit <= stride; k += unit) {
                        if (utf16) {
                            const char16_t sp = u' ';
                            std::memcpy(dst + k, &sp, 2);
                        } else {
                            dst[k] = ' ';
                        }
                    }
                }
                if (written < total) {
                    truncated = true;
                    set_indicator(d, row, total > 32767 ? -2 : static_cast<sb2>(total),
                                  static_cast<ub2>(std::min<std::size_t>(written, 65535)), 1406);
                } else {
                    set_indicator(d, row, 0,
                                  static_cast<ub2>(std::min<std::size_t>(written, 65535)), 0);
                }
                break;
            }
            case SQLT_INT:
            case SQLT_UIN: {
                long double v = 0;
                if (!value_number(s, col, v, err)) return OCI_ERROR;
                bool overflow = false;
                const bool is_signed = d.dty == SQLT_INT;
                switch (d.value_sz) {
                    case 1:
                        is_signed ? store_int<std::int8_t>(dst, v, overflow)
                                  : store_int<std::uint8_t>(dst, v, overflow);
                        break;
                    case 2:
                        is_signed ? store_int<std::int16_t>(dst, v, overflow)
                                  : store_int<std::uint16_t>(dst, v, overflow);
                        break;
                    case 4:
                        is_signed ? store_int<std::int32_t>(dst, v, overflow)
                                  : store_int<std::uint32_t>(dst, v, overflow);
                        break;
                    case 8:
                        is_signed ? store_int<std::int64_t>(dst, v, overflow)
                                  : store_int<std::uint64_t>(dst, v, overflow);
                        break;
                    default:
                        err = inconsistent("NUMBER", cd);
                        return OCI_ERROR;
                }
                if (overflow) {
                    err = make_error(1455);
                    return OCI_ERROR;
                }
                set_indicator(d, row, 0, static_cast<ub2>(d.value_sz), 0);
                break;
            }
            case SQLT_FLT:
            case SQLT_BFLOAT:
            case SQLT_BDOUBLE: {
                long double v = 0;
                if (!value_number(s, col, v, err)) return OCI_ERROR;
                if (d.value_sz == 4) {
                    const float f = static_cast<float>(v);
                    std::memcpy(dst, &f, 4);
                } else if (d.value_sz == 8) {
                    const double x = static_cast<double>(v);
                    std::memcpy(dst, &x, 8);
                } else {
                    err = inconsistent("NUMBER", cd);
                    return OCI_ERROR;
                }
                set_indicator(d, row, 0, static_cast<ub2>(d.value_sz), 0);
                break;
            }
            case SQLT_BIN:
            case SQLT_LBI: {
                if (!is_binary_kind(cd.kind) || cd.kind == value_kind::blob) {
                    err = inconsistent("BINARY", cd);
                    return OCI_ERROR;
                }
                const auto* p = static_cast<const char*>(sqlite3_column_blob(st, col));
                const auto n = static_cast<std::size_t>(sqlite3_column_bytes(st, col));
                const std::size_t w = std::min(n, stride);
                if (w) std::memcpy(dst, p, w);
                if (w < n) {
                    truncated = true;
                    set_indicator(d, row, n > 32767 ? -2 : static_cast<sb2>(n), static_cast<ub2>(w),
                                  1406);
                } else {
                    set_indicator(d, row, 0, static_cast<ub2>(w), 0);
                }
                break;
            }
            case SQLT_CLOB:
            case SQLT_BLOB: {
                const bool want_clob = d.dty == SQLT_CLOB;
                if (want_clob ? cd.kind != value_kind::clob : cd.kind != value_kind::blob) {
                    err = inconsistent(want_clob ? "CLOB" : "BLOB", cd);
                    return OCI_ERROR;
                }
                auto* lob = find_as<lob_h>(static_cast<void**>(d.valuep)[row], OCI_DTYPE_LOB);
                if (!lob) return OCI_INVALID_HANDLE;
                const auto* p = static_cast<const char*>(sqlite3_column_blob(st, col));
                lob->data = std::make_shared<const std::string>(
                    p ? p : "", static_cast<std::size_t>(sqlite3_column_bytes(st, col)));
                lob->is_clob = want_clob;
                lob->form = want_clob ? cd.charset_form : 0;
                lob->streaming = false;
                set_indicator(d, row, 0, 0, 0);
                break;
            }
            case SQLT_TIMESTAMP:
            case SQLT_TIMESTAMP_TZ:
            case SQLT_TIMESTAMP_LTZ:
            case SQLT_DATE: {
                date_time dt;
                if (!value_date(s, col, dt, err)) return OCI_ERROR;
                auto* desc = find_datetime(static_cast<void**>(d.valuep)[row]);
                if (!desc) return OCI_INVALID_HANDLE;
                desc->value = dt;
                set_indicator(d, row, 0, 0, 0);
                break;
            }
            case SQLT_DAT: {
                date_time dt;
                if (!value_date(s, col, dt, err)) return OCI_ERROR;
                if (stride < 7) {
                    err = inconsistent("DATE", cd);
                    return OCI_ERROR;
                }
                const unsigned char b[7] = {static_cast<unsigned char>(dt.year / 100 + 100),
                                            static_cast<unsigned char>(dt.year % 100 + 100),
                                            static_cast<unsigned char>(dt.month),
                                            static_cast<unsigned char>(dt.day),
                                            static_cast<unsigned char>(dt.hour + 1),
                                            static_cast<unsigned char>(dt.minute + 1),
                                            static_cast<unsigned char>(dt.second + 1)};
                std::memcpy(dst, b, 7);
                set_indicator(d, row, 0, 7, 0);
                break;
            }
            default:
                err = inconsistent("CHAR", cd);
                return OCI_ERROR;
        }
    }
    return OCI_SUCCESS;
}

}  // namespace ocilite
