#include "ol_sql.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <vector>

#include "ol_text.h"

namespace ocilite {

namespace {

struct message_row {
    int code;
    const char* text;
};

constexpr message_row kMessages[] = {
    {900, "invalid SQL statement"},
    {904, "invalid identifier"},
    {909, "invalid number of arguments"},
    {911, "invalid character"},
    {913, "too many values"},
    {918, "column ambiguously defined"},
    {923, "FROM keyword not found where expected"},
    {932, "inconsistent datatypes"},
    {933, "SQL command not properly ended"},
    {936, "missing expression"},
    {942, "table or view does not exist"},
    {947, "not enough values"},
    {1002, "fetch out of sequence"},
    {1007, "variable not in select list"},
    {1012, "not logged on"},
    {1017, "invalid username/password; logon denied"},
    {1031, "insufficient privileges"},
    {1036, "illegal variable name/number"},
    {1403, "no data found"},
    {1405, "fetched column value is NULL"},
    {1406, "fetched column value was truncated"},
    {1410, "invalid ROWID"},
    {1445, "cannot select ROWID from, or sample, a join view without a key-preserved table"},
    {1455, "converting column overflows integer datatype"},
    {1722, "invalid number"},
    {1740, "missing double quote in identifier"},
    {1741, "illegal zero-length identifier"},
    {1742, "comment not properly terminated"},
    {1756, "quoted string not properly terminated"},
    {3001, "unimplemented feature"},
    {3113, "end-of-file on communication channel"},
    {3114, "not connected to ORACLE"},
    {12154, "TNS:could not resolve the connect identifier specified"},
    {22920, "row containing the LOB value is not locked"},
    {24315, "illegal attribute type"},
    {24333, "zero iteration count"},
    {24334, "no descriptor for this position"},
    {24337, "statement handle not prepared"},
    {24338, "statement handle not executed"},
    {24373, "invalid length specified for statement"},
    {24374, "define not done before fetch or execute and fetch"},
    {24391, "invalid fetch operation"},
    {24801, "illegal parameter value in OCI lob function"},
    {24804,
     "Lob read/write functions called while another OCI LOB read/write streaming is in "
     "progress"},
    {24806, "LOB form mismatch"},
    {28000, "the account is locked"},
};

bool is_word_start(char c) {
    return std::isalpha(static_cast<unsigned char>(c)) || c == '_' ||
           (static_cast<unsigned char>(c) >= 0x80);
}

bool is_word_char(char c) {
    return is_word_start(c) || std::isdigit(static_cast<unsigned char>(c)) || c == '$' || c == '#';
}

// Oracle shows an invalid identifier as its parts in double quotes: "E"."NOPE".
std::string quote_parts(std::string_view name) {
    std::string out;
    std::size_t start = 0;
    while (true) {
        const auto dot = name.find('.', start);
        std::string_view part = name.substr(
            start, dot == std::string_view::npos ? std::string_view::npos : dot - start);
        out += '"';
        for (char c : part) out += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        out += '"';
        if (dot == std::string_view::npos) break;
        out += '.';
        start = dot + 1;
    }
    return out;
}

}  // namespace

std::string_view ora_message(int code) {
    for (const auto& m : kMessages)
        if (m.code == code) return m.text;
    return {};
}

ora_error make_error(int code) {
    return ora_error{code, std::string(ora_message(code))};
}

std::string format_error(const ora_error& e) {
    char head[32];
    std::snprintf(head, sizeof head, "ORA-%05d: ", e.code);
    return head + e.message + "\n";
}

// True when a "." follows position j (after blanks); sets `after` past it and its blanks.
bool dot_follows(std::string_view in, std::size_t j, std::size_t& after) {
    while (j < in.size() && std::isspace(static_cast<unsigned char>(in[j]))) ++j;
    if (j >= in.size() || in[j] != '.') return false;
    ++j;
    while (j < in.size() && std::isspace(static_cast<unsigned char>(in[j]))) ++j;
    after = j;
    return true;
}

namespace {

struct token {
    std::size_t begin, end;  // in the rewritten text
    char kind;  // 'w' word, 'q' quoted name, 's' string, 'n' number, '|' "||", else punctuation
};

bool is_clause_word(std::string_view w) {
    static constexpr const char* kWords[] = {
        "SELECT", "FROM",  "WHERE",  "AND",    "OR",   "NOT",     "ON",     "IN",   "BY",
        "WHEN",   "THEN",  "ELSE",   "HAVING", "AS",   "IS",      "LIKE",   "CASE", "DISTINCT",
        "ALL",    "UNION", "EXISTS", "END",    "NULL", "BETWEEN", "ESCAPE", "WITH", "JOIN"};
    for (const char* k : kWords)
        if (w == k) return true;
    return false;
}

// Index of the bracket matching toks[k] ("(" forwards, ")" backwards), or npos.
std::size_t match_bracket(const std::string& out, const std::vector<token>& toks, std::size_t k) {
    const bool forward = out[toks[k].begin] == '(';
    int depth = 0;
    for (std::size_t j = k; j < toks.size(); forward ? ++j : --j) {
        const char c = toks[j].kind;
        if (c == '(') depth += forward ? 1 : -1;
        if (c == ')') depth += forward ? -1 : 1;
        if (depth == 0) return j;
        if (!forward && j == 0) break;
    }
    return std::string::npos;
}

bool is_name(const token& t) {
    return t.kind == 'w' || t.kind == 'q';
}

// The operand of "||" that ends at toks[k] (walking left) or starts there (walking right):
// a name (qualified), literal, function call or bracketed expression.  Returns false when
// the text holds no such operand; the statement is then left to fail on its own.
bool operand_left(const std::string& out, const std::vector<token>& toks, std::size_t k,
                  std::size_t& first) {
    if (toks[k].kind == ')') {
        const std::size_t open = match_bracket(out, toks, k);
        if (open == std::string::npos) return false;
        first = open;
        if (open > 0 && toks[open - 1].kind == 'w' &&
            !is_clause_word(std::string_view(out).substr(
                toks[open - 1].begin, toks[open - 1].end - toks[open - 1].begin)))
            first = open - 1;
        return true;
    }
    if (toks[k].kind == 's' || toks[k].kind == 'n') {
        first = k;
        return true;
    }
    if (!is_name(toks[k])) return false;
    first = k;
    while (first >= 2 && toks[first - 1].kind == '.' && is_name(toks[first - 2])) first -= 2;
    return true;
}

bool operand_right(const std::string& out, const std::vector<token>& toks, std::size_t k,
                   std::size_t& last) {
    if (k >= toks.size()) return false;
    if (toks[k].kind == '-' || toks[k].kind == '+') return operand_right(out, toks, k + 1, last);
    if (toks[k].kind == '(') {
        last = match_bracket(out, toks, k);
        return last != std::string::npos;
    }
    if (toks[k].kind == 's' || toks[k].kind == 'n') {
        last = k;
        return true;
    }
    if (!is_name(toks[k])) return false;
    last = k;
    if (toks[k].kind == 'w' && k + 1 < toks.size() && toks[k + 1].kind == '(' &&
        !is_clause_word(std::string_view(out).substr(toks[k].begin, toks[k].end - toks[k].begin))) {
        last = match_bracket(out, toks, k + 1);
        return last != std::string::npos;
    }
    while (last + 2 < toks.size() && toks[last + 1].kind == '.' && is_name(toks[last + 2]))
        last += 2;
    return true;
}

// Oracle's "||" treats NULL as an empty string; SQLite's yields NULL.  Each operand becomes
// coalesce(operand, ''), and an empty result reads as NULL, as every empty text does here.
// Counts, per token, the "coalesce(" to open before it and the ", '')" to close after it.
void oracle_concat(const std::string& out, const std::vector<token>& toks, std::vector<int>& opens,
                   std::vector<int>& closes) {
    opens.assign(toks.size() + 1, 0);
    closes.assign(toks.size() + 1, 0);
    for (std::size_t k = 0; k < toks.size(); ++k) {
        if (toks[k].kind != '|' || k == 0) continue;
        std::size_t first = 0, last = 0;
        if (!operand_left(out, toks, k - 1, first) || !operand_right(out, toks, k + 1, last))
            continue;
        ++opens[first];
        ++closes[k - 1];
        ++opens[k + 1];
        ++closes[last];
    }
}

// A replacement of the tokens first..last (inclusive) by `text`.
struct edit {
    std::size_t first, last;
    std::string text;
};

// ---- query blocks, for the ROWID pseudo-column ------------------------------------------------
//
// A block is one SELECT (or the UPDATE, DELETE or INSERT statement) with the tables its FROM
// list (or target) names.  A ROWID belongs to the innermost block around it; a qualified one
// to the nearest block with a table of that name or alias.

struct table_ref {
    std::string name;       // the table's name, as the catalog spells it; empty for a subquery
    std::string alias;      // as the statement spells it, likewise
    std::string qualifier;  // the text that names it in the SQLite statement
};

struct query_block {
    std::size_t start = 0, end = 0;  // token range
    int depth = 0;
    std::vector<table_ref> refs;
};

class statement_scope {
  public:
    statement_scope(const std::string& out, const std::vector<token>& toks) : out_(out), t_(toks) {
        depth_.resize(t_.size());
        int d = 0;
        for (std::size_t k = 0; k < t_.size(); ++k) {
            if (t_[k].kind == ')' && d > 0) --d;
            depth_[k] = d;
            if (t_[k].kind == '(') ++d;
        }
        for (std::size_t k = 0; k < t_.size(); ++k) {
            const std::string_view w = word(k);
            const bool dml = (w == "UPDATE" && (k == 0 || word(k - 1) != "FOR")) || w == "DELETE" ||
                             w == "INSERT";
            if (w == "SELECT" || dml) blocks_.push_back(make_block(k, w));
        }
    }

    std::string_view word(std::size_t k) const {
        if (k >= t_.size() || t_[k].kind != 'w') return {};
        return std::string_view(out_).substr(t_[k].begin, t_[k].end - t_[k].begin);
    }
    std::string_view text(std::size_t k) const {
        return std::string_view(out_).substr(t_[k].begin, t_[k].end - t_[k].begin);
    }
    // A name token as the catalog spells it: quotes taken off.
    std::string name(std::size_t k) const {
        const std::string_view x = text(k);
        if (t_[k].kind == 'q') return std::string(x.substr(1, x.size() - 2));
        return std::string(x);
    }
    int depth(std::size_t k) const { return depth_[k]; }
    const std::vector<query_block>& blocks() const { return blocks_; }

    // The table that ROWID at token k (qualified by `qualifier` when not empty) belongs to.
    // Returns nullptr with `code` set (918 ambiguous, 0 when no block names a table).
    const table_ref* resolve(std::size_t k, const std::string& qualifier, int& code) const {
        code = 0;
        std::vector<const query_block*> around;
        for (const query_block& b : blocks_)
            if (b.start <= k && k < b.end && b.depth <= depth_[k]) around.push_back(&b);
        // Innermost first: deepest, then latest start.
        std::sort(around.begin(), around.end(), [](const query_block* a, const query_block* b) {
            return a->depth != b->depth ? a->depth > b->depth : a->start > b->start;
        });
        if (around.empty()) return nullptr;
        if (qualifier.empty()) {
            const auto& refs = around.front()->refs;
            if (refs.size() > 1) code = 918;
            return refs.size() == 1 ? &refs.front() : nullptr;
        }
        for (const query_block* b : around)
            for (const table_ref& r : b->refs)
                if (r.alias.empty() ? r.name == qualifier : r.alias == qualifier) return &r;
        return nullptr;
    }

  private:
    static bool is_stop_word(std::string_view w) {
        static constexpr const char* kStop[] = {
            "WHERE",  "GROUP",     "ORDER",  "HAVING",    "CONNECT", "START",  "UNION",
            "MINUS",  "INTERSECT", "EXCEPT", "FOR",       "FETCH",   "OFFSET", "LIMIT",
            "WINDOW", "SET",       "VALUES", "RETURNING", "RETURN",  "MODEL",  "SELECT"};
        for (const char* x : kStop)
            if (w == x) return true;
        return false;
    }
    static bool is_join_word(std::string_view w) {
        static constexpr const char* kJoin[] = {"JOIN",  "INNER", "LEFT",    "RIGHT", "FULL",
                                                "OUTER", "CROSS", "NATURAL", "ON",    "USING"};
        for (const char* x : kJoin)
            if (w == x) return true;
        return false;
    }

    // Reads one table reference at j; returns the index after it.
    std::size_t read_ref(std::size_t j, int d, std::vector<table_ref>& refs) const {
        table_ref r;
        if (j < t_.size() && t_[j].kind == '(') {
            while (j < t_.size() && !(t_[j].kind == ')' && depth_[j] == d)) ++j;
            ++j;
        } else if (j < t_.size() && is_name(t_[j])) {
            r.name = name(j);
            r.qualifier = std::string(text(j));
            ++j;
            // schema.table: the rewriter keeps only qualifiers it does not know.
            if (j + 1 < t_.size() && t_[j].kind == '.' && is_name(t_[j + 1])) {
                r.name = name(j + 1);
                r.qualifier = std::string(text(j + 1));
                j += 2;
            }
        } else {
            return j;
        }
        if (word(j) == "AS") ++j;
        if (j < t_.size() && is_name(t_[j]) && !is_stop_word(word(j)) && !is_join_word(word(j))) {
            r.alias = name(j);
            r.qualifier = std::string(text(j));
            ++j;
        }
        refs.push_back(std::move(r));
        return j;
    }

    query_block make_block(std::size_t k, std::string_view kind) const {
        query_block b;
        b.start = k;
        b.depth = depth_[k];
        const int d = b.depth;
        b.end = t_.size();
        for (std::size_t j = k + 1; j < t_.size(); ++j) {
            const std::string_view w = word(j);
            if (depth_[j] < d || (depth_[j] == d && (w == "UNION" || w == "MINUS" ||
                                                     w == "INTERSECT" || w == "EXCEPT"))) {
                b.end = j;
                break;
            }
        }
        std::size_t j = k + 1;
        if (kind == "SELECT") {
            while (j < b.end && !(depth_[j] == d && word(j) == "FROM")) ++j;
            if (j >= b.end) return b;
            ++j;
            // FROM a [x], b JOIN c ON ... : a reference after FROM, "," or JOIN.
            j = read_ref(j, d, b.refs);
            while (j < b.end) {
                const std::string_view w = word(j);
                if (depth_[j] == d && (t_[j].kind == ',' || w == "JOIN")) {
                    j = read_ref(j + 1, d, b.refs);
                    continue;
                }
                if (depth_[j] == d && is_stop_word(w)) break;
                ++j;
            }
            return b;
        }
        if (kind == "DELETE" && word(j) == "FROM") ++j;
        if (kind == "INSERT" && word(j) == "INTO") ++j;
        read_ref(j, d, b.refs);
        return b;
    }

    const std::string& out_;
    const std::vector<token>& t_;
    std::vector<int> depth_;
    std::vector<query_block> blocks_;
};

bool is_operator(const token& t) {
    return t.kind == '|' || t.kind == '+' || t.kind == '-' || t.kind == '*' || t.kind == '/';
}

// Replaces each ROWID pseudo-column by the engine's function over the SQLite rowid, and a
// comparison of it with a literal by a test of the SQLite rowid, which uses the table's key.
bool rowid_edits(const std::string& out, const std::vector<token>& toks,
                 const rewrite_options& opts, std::vector<edit>& edits,
                 std::vector<rowid_column>* columns, ora_error& err) {
    if (!opts.table_object) return true;
    // Most statements name no ROWID: they need no scope.
    const bool any = std::any_of(toks.begin(), toks.end(), [&](const token& t) {
        return t.kind == 'w' && t.end - t.begin == 5 && out.compare(t.begin, 5, "ROWID") == 0;
    });
    if (!any) return true;
    const statement_scope scope(out, toks);
    // The select list of the statement's first block at depth 0: which items are ROWIDs.
    std::size_t list_first = toks.size(), list_end = toks.size();
    for (const query_block& b : scope.blocks()) {
        if (b.depth != 0 || scope.word(b.start) != "SELECT") continue;
        list_first = b.start + 1;
        while (list_first < b.end &&
               (scope.word(list_first) == "DISTINCT" || scope.word(list_first) == "ALL" ||
                scope.word(list_first) == "UNIQUE"))
            ++list_first;
        list_end = list_first;
        while (list_end < b.end && !(scope.depth(list_end) == 0 && scope.word(list_end) == "FROM"))
            ++list_end;
        break;
    }
    // Select-list items as token ranges.
    std::vector<std::pair<std::size_t, std::size_t>> items;
    for (std::size_t j = list_first, from = list_first; j <= list_end && list_first < list_end;
         ++j) {
        if (j == list_end || (toks[j].kind == ',' && scope.depth(j) == 0)) {
            items.emplace_back(from, j);
            from = j + 1;
        }
    }
    auto is_star = [&](const std::pair<std::size_t, std::size_t>& it) {
        return it.second > it.first && toks[it.second - 1].kind == '*' &&
               (it.second - it.first == 1 || toks[it.second - 2].kind == '.');
    };
    for (std::size_t k = 0; k < toks.size(); ++k) {
        if (scope.word(k) != "ROWID" || (k + 1 < toks.size() && toks[k + 1].kind == '(')) continue;
        std::size_t first = k;
        std::string qualifier;
        if (k >= 2 && toks[k - 1].kind == '.' && is_name(toks[k - 2])) {
            first = k - 2;
            qualifier = scope.name(k - 2);
        }
        int code = 0;
        const table_ref* ref = scope.resolve(k, qualifier, code);
        if (!ref) {
            if (code == 0) continue;  // no table around it: SQLite answers
            err = make_error(code);
            return false;
        }
        const std::optional<std::int64_t> object =
            ref->name.empty() ? std::nullopt : opts.table_object(ref->name);
        if (!object) {
            err = make_error(1445);
            return false;
        }
        const std::string rowid = ref->qualifier + ".rowid";
        // ROWID = 'text' or 'text' = ROWID, not part of a larger expression.
        std::size_t lit = toks.size(), last = k;
        if (k + 2 < toks.size() && scope.text(k + 1) == "=" && toks[k + 2].kind == 's' &&
            (k + 3 >= toks.size() || !is_operator(toks[k + 3])) &&
            (first == 0 || !is_operator(toks[first - 1]))) {
            lit = k + 2;
            last = k + 2;
        } else if (first >= 2 && scope.text(first - 1) == "=" && toks[first - 2].kind == 's' &&
                   (first < 3 || !is_operator(toks[first - 3])) &&
                   (k + 1 >= toks.size() || !is_operator(toks[k + 1]))) {
            lit = first - 2;
            first = first - 2;
        }
        if (lit < toks.size()) {
            const std::string_view quoted = scope.text(lit);
            std::int64_t lit_object = 0, row = 0;
            if (!parse_rowid(quoted.substr(1, quoted.size() - 2), lit_object, row)) {
                err = make_error(1410);
                return false;
            }
            edits.push_back(
                {first, last,
                 lit_object == *object && row > 0 ? rowid + " = " + std::to_string(row) : "0"});
            continue;
        }
        std::string text = "OCILITE_ROWID(" + rowid + ", " + std::to_string(*object) + ")";
        // A select-list item that is this ROWID, with or without an alias.
        for (std::size_t i = 0; i < items.size(); ++i) {
            const auto [a, b] = items[i];
            if (a != first || b < k + 1) continue;
            const std::size_t rest = b - (k + 1);
            const bool alias =
                rest == 1 || (rest == 2 && scope.word(k + 1) == "AS" && is_name(toks[k + 2]));
            if (rest != 0 && !alias) break;
            if (rest == 0) text += " AS ROWID";
            bool star_before = false, star_after = false;
            for (std::size_t m = 0; m < items.size(); ++m)
                (m < i ? star_before : star_after) |= m != i && is_star(items[m]);
            if (columns && !(star_before && star_after))
                columns->push_back(star_before
                                       ? rowid_column{true, static_cast<int>(items.size() - 1 - i)}
                                       : rowid_column{false, static_cast<int>(i)});
            break;
        }
        edits.push_back({first, k, std::move(text)});
    }
    return true;
}

// The parse of a statement that changes data, in SQLite's dialect: Oracle's "DELETE t" takes
// its FROM, a table alias its AS, an assigned column loses its qualifier ("SET e.a = 1"), and
// "RETURNING ... INTO :b" loses the INTO list (SQLite returns the values).
void dml_edits(const std::string& out, const std::vector<token>& toks, std::vector<edit>& edits) {
    const statement_scope scope(out, toks);
    const std::string_view verb = scope.word(0);
    if (verb == "DELETE" && scope.word(1) != "FROM") edits.push_back({0, 0, "DELETE FROM"});
    if (verb == "UPDATE" || verb == "DELETE") {
        std::size_t j = scope.word(1) == "FROM" ? 2 : 1;
        if (j < toks.size() && is_name(toks[j])) ++j;
        if (j + 1 < toks.size() && toks[j].kind == '.' && is_name(toks[j + 1])) j += 2;
        const std::string_view next = scope.word(j);
        if (j < toks.size() && is_name(toks[j]) && next != "SET" && next != "WHERE" &&
            next != "AS" && next != "RETURNING")
            edits.push_back({j, j, "AS " + std::string(scope.text(j))});
    }
    if (verb == "UPDATE") {
        std::size_t j = 0;
        while (j < toks.size() && !(scope.word(j) == "SET" && scope.depth(j) == 0)) ++j;
        for (++j; j + 3 < toks.size(); ++j) {
            if (scope.depth(j) != 0) continue;
            const std::string_view w = scope.word(j);
            if (w == "WHERE" || w == "RETURNING") break;
            const bool starts_item = scope.word(j - 1) == "SET" || toks[j - 1].kind == ',';
            if (starts_item && is_name(toks[j]) && toks[j + 1].kind == '.' &&
                is_name(toks[j + 2]) && scope.text(j + 3) == "=")
                edits.push_back({j, j + 1, ""});
        }
    }
    for (std::size_t k = 0; k < toks.size(); ++k) {
        if (scope.word(k) != "RETURNING" || scope.depth(k) != 0) continue;
        for (std::size_t j = k + 1; j < toks.size(); ++j)
            if (scope.word(j) == "INTO" && scope.depth(j) == 0) {
                edits.push_back({j, toks.size() - 1, ""});
                break;
            }
        break;
    }
}

// The statement with the edits applied and the concatenation operands wrapped.
std::string rebuild(const std::string& out, const std::vector<token>& toks,
                    std::vector<edit> edits) {
    std::vector<int> opens, closes;
    oracle_concat(out, toks, opens, closes);
    std::sort(edits.begin(), edits.end(),
              [](const edit& a, const edit& b) { return a.first < b.first; });
    std::string result;
    result.reserve(out.size() + 16);
    std::size_t pos = 0;
    std::size_t e = 0;
    for (std::size_t k = 0; k < toks.size(); ++k) {
        result.append(out, pos, toks[k].begin - pos);
        while (e < edits.size() && edits[e].first < k) ++e;  // overlapping edits: first wins
        std::size_t last = k;
        if (e < edits.size() && edits[e].first == k) last = edits[e].last;
        int open = 0, close = 0;
        for (std::size_t m = k; m <= last; ++m) {
            open += opens[m];
            close += closes[m];
        }
        for (int m = 0; m < open; ++m) result += "coalesce(";
        if (last != k || (e < edits.size() && edits[e].first == k))
            result += edits[e].text;
        else
            result.append(out, toks[k].begin, toks[k].end - toks[k].begin);
        for (int m = 0; m < close; ++m) result += ", '')";
        pos = toks[last].end;
        k = last;
    }
    result.append(out, pos, std::string::npos);
    return result;
}

}  // namespace

bool rewrite_sql(std::string_view in, std::string& out, ora_error& err,
                 const std::set<std::string>& schemas) {
    rewrite_options opts;
    opts.schemas = schemas;
    return rewrite_sql(in, out, err, opts, nullptr);
}

bool rewrite_sql(std::string_view in, std::string& out, ora_error& err, const rewrite_options& opts,
                 std::vector<rowid_column>* rowid_columns) {
    const std::set<std::string>& schemas = opts.schemas;
    if (rowid_columns) rowid_columns->clear();
    out.clear();
    out.reserve(in.size() + 16);
    std::vector<token> toks;
    auto emit = [&](char kind, std::string_view text) {
        toks.push_back(token{out.size(), out.size() + text.size(), kind});
        out.append(text);
    };
    std::string first_word;
    bool first_token = true;
    bool opens_with_paren = false;
    std::size_t i = 0;
    const std::size_t n = in.size();
    while (i < n) {
        const char c = in[i];
        if (std::isspace(static_cast<unsigned char>(c))) {
            out.push_back(c);
            ++i;
            continue;
        }
        if (c == '-' && i + 1 < n && in[i + 1] == '-') {
            while (i < n && in[i] != '\n') ++i;
            out.push_back(' ');
            continue;
        }
        if (c == '/' && i + 1 < n && in[i + 1] == '*') {
            const auto end = in.find("*/", i + 2);
            if (end == std::string_view::npos) {
                err = make_error(1742);
                return false;
            }
            i = end + 2;
            out.push_back(' ');
            continue;
        }
        const bool was_first = first_token;
        first_token = false;
        if (c == '\'') {
            std::size_t j = i + 1;
            while (true) {
                if (j >= n) {
                    err = make_error(1756);
                    return false;
                }
                if (in[j] == '\'') {
                    if (j + 1 < n && in[j + 1] == '\'') {
                        j += 2;
                        continue;
                    }
                    break;
                }
                ++j;
            }
            if (j == i + 1)
                emit('w', "NULL");  // Oracle has no empty string: '' is NULL
            else
                emit('s', in.substr(i, j + 1 - i));
            i = j + 1;
            continue;
        }
        if (c == '"') {
            const auto end = in.find('"', i + 1);
            if (end == std::string_view::npos) {
                err = make_error(1740);
                return false;
            }
            if (end == i + 1) {
                err = make_error(1741);
                return false;
            }
            std::size_t after = 0;
            if (schemas.count(std::string(in.substr(i + 1, end - i - 1))) &&
                dot_follows(in, end + 1, after)) {
                i = after;
                continue;
            }
            emit('q', in.substr(i, end + 1 - i));
            i = end + 1;
            continue;
        }
        if (is_word_start(c)) {
            std::size_t j = i;
            std::string word;
            while (j < n && is_word_char(in[j])) {
                word.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(in[j]))));
                ++j;
            }
            if (was_first) first_word = word;
            // "SYS.USER_VIEWS" -> "USER_VIEWS", "SCOTT.EMP" -> "EMP".
            std::size_t after = 0;
            if (schemas.count(word) && dot_follows(in, j, after)) {
                i = after;
                continue;
            }
            if (word.find_first_of("$#") != std::string::npos)
                emit('q', '"' + word + '"');
            else
                emit('w', word);
            i = j;
            continue;
        }
        if (std::isdigit(static_cast<unsigned char>(c)) ||
            (c == '.' && i + 1 < n && std::isdigit(static_cast<unsigned char>(in[i + 1])))) {
            std::size_t j = i;
            while (j < n && (std::isdigit(static_cast<unsigned char>(in[j])) || in[j] == '.')) ++j;
            if (j < n && (in[j] == 'e' || in[j] == 'E')) {
                std::size_t k = j + 1;
                if (k < n && (in[k] == '+' || in[k] == '-')) ++k;
                if (k < n && std::isdigit(static_cast<unsigned char>(in[k]))) {
                    j = k;
                    while (j < n && std::isdigit(static_cast<unsigned char>(in[j]))) ++j;
                }
            }
            emit('n', in.substr(i, j - i));
            i = j;
            continue;
        }
        if (c == '|' && i + 1 < n && in[i + 1] == '|') {
            emit('|', "||");
            i += 2;
            continue;
        }
        switch (c) {
            case '(':
                if (was_first) opens_with_paren = true;
                [[fallthrough]];
            case ')':
            case ',':
            case '.':
            case '+':
            case '-':
            case '*':
            case '/':
            case '=':
            case '<':
            case '>':
            case '|':
            case ':':
                emit(c, std::string_view(&in[i], 1));
                ++i;
                continue;
            case '!':
                if (i + 1 < n && in[i + 1] == '=') {
                    emit('=', "!=");
                    i += 2;
                    continue;
                }
                break;
            case '^':
                if (i + 1 < n && in[i + 1] == '=') {
                    emit('=', "!=");
                    i += 2;
                    continue;
                }
                break;
            default:
                break;
        }
        err = make_error(911);
        return false;
    }
    if (first_word.empty() && !opens_with_paren) {
        err = make_error(first_token ? 24373 : 900);
        return false;
    }
    const bool query = first_word == "SELECT" || first_word == "WITH" || opens_with_paren;
    const bool changes_data =
        first_word == "INSERT" || first_word == "UPDATE" || first_word == "DELETE";
    if (query || (changes_data && opts.parse_only)) {
        std::vector<edit> edits;
        if (changes_data) dml_edits(out, toks, edits);
        if (!rowid_edits(out, toks, opts, edits, rowid_columns, err)) return false;
        out = rebuild(out, toks, std::move(edits));
        return true;
    }
    static constexpr const char* kWriting[] = {"INSERT", "UPDATE", "DELETE", "MERGE",
                                               "CREATE", "DROP",   "ALTER",  "TRUNCATE",
                                               "GRANT",  "REVOKE", "RENAME", "COMMENT"};
    for (const char* w : kWriting) {
        if (first_word == w) {
            err = make_error(1031);
            return false;
        }
    }
    err = make_error(900);
    return false;
}

bool has_placeholder(std::string_view sql, std::string_view name) {
    if (!name.empty() && name.front() == ':') name.remove_prefix(1);
    std::string wanted;
    if (name.size() >= 2 && name.front() == '"' && name.back() == '"')
        wanted = name.substr(1, name.size() - 2);
    else
        for (const char c : name)
            wanted.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
    if (wanted.empty()) return false;
    const std::size_t n = sql.size();
    for (std::size_t i = 0; i < n; ++i) {
        const char c = sql[i];
        if (c == '\'' || c == '"') {
            const auto end = sql.find(c, i + 1);
            if (end == std::string_view::npos) return false;
            i = end;
        } else if (c == '-' && i + 1 < n && sql[i + 1] == '-') {
            while (i < n && sql[i] != '\n') ++i;
        } else if (c == '/' && i + 1 < n && sql[i + 1] == '*') {
            const auto end = sql.find("*/", i + 2);
            if (end == std::string_view::npos) return false;
            i = end + 1;
        } else if (c == ':' && i + 1 < n) {
            std::string got;
            std::size_t j = i + 1;
            if (sql[j] == '"') {
                const auto end = sql.find('"', j + 1);
                if (end == std::string_view::npos) return false;
                got = sql.substr(j + 1, end - j - 1);
                j = end + 1;
            } else {
                while (j < n &&
                       (is_word_char(sql[j]) || std::isdigit(static_cast<unsigned char>(sql[j])))) {
                    got.push_back(
                        static_cast<char>(std::toupper(static_cast<unsigned char>(sql[j]))));
                    ++j;
                }
            }
            if (got == wanted) return true;
            i = j - 1;
        }
    }
    return false;
}

ora_error map_sqlite_error(std::string_view msg) {
    auto after = [&](std::string_view prefix) -> std::string_view {
        if (msg.substr(0, prefix.size()) == prefix) return msg.substr(prefix.size());
        return {};
    };
    if (!after("no such table: ").empty() || !after("no such view: ").empty())
        return make_error(942);
    if (auto col = after("no such column: "); !col.empty())
        return ora_error{904, quote_parts(col) + ": invalid identifier"};
    if (auto fn = after("no such function: "); !fn.empty())
        return ora_error{904, quote_parts(fn) + ": invalid identifier"};
    if (!after("wrong number of arguments to function").empty()) return make_error(909);
    if (auto rest = after("table "); !rest.empty()) {
        // "table T has no column named C"; "table T has 3 columns but 2 values were supplied"
        if (const auto at = rest.find(" has no column named "); at != std::string_view::npos)
            return ora_error{904, quote_parts(rest.substr(at + 21)) + ": invalid identifier"};
        int columns = 0, values = 0;
        const std::string text(rest);
        if (const auto at = text.find(" has ");
            at != std::string::npos &&
            std::sscanf(text.c_str() + at, " has %d columns but %d values were supplied", &columns,
                        &values) == 2)
            return make_error(values < columns ? 947 : 913);
    }
    if (!after("all VALUES must have the same number of terms").empty()) return make_error(913);
    if (!after("ambiguous column name").empty()) return make_error(918);
    if (!after("unrecognized token").empty()) return make_error(911);
    if (msg == "incomplete input") return make_error(936);
    if (auto near = after("near \""); !near.empty()) {
        const auto q = near.find('"');
        std::string tok(near.substr(0, q));
        for (auto& ch : tok) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
        // An operand is missing where a clause keyword, an operator or a closing mark
        // follows; otherwise something stands after a complete statement.
        static constexpr const char* kMissingOperand[] = {
            "FROM", "WHERE", "ORDER", "GROUP",   "HAVING", "AND", "OR", "UNION", "BY",    "IS",
            "NOT",  "LIKE",  "IN",    "BETWEEN", ",",      ")",   "=",  "<",     ">",     "+",
            "*",    "/",     "||",    "-",       "!=",     "<>",  "<=", ">=",    "SELECT"};
        for (const char* k : kMissingOperand)
            if (tok == k) return make_error(936);
        return make_error(933);
    }
    if (!after("sub-select returns").empty()) return make_error(913);
    return ora_error{900, std::string(ora_message(900))};
}

}  // namespace ocilite
