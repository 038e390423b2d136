#include "ol_sql.h"

#include <cctype>
#include <cstdio>
#include <vector>

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
    {1002, "fetch out of sequence"},
    {1007, "variable not in select list"},
    {1012, "not logged on"},
    {1017, "invalid username/password; logon denied"},
    {1036, "illegal variable name/number"},
    {1031, "insufficient privileges"},
    {1403, "no data found"},
    {1405, "fetched column value is NULL"},
    {1406, "fetched column value was truncated"},
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
void oracle_concat(std::string& out, const std::vector<token>& toks) {
    std::vector<int> opens(toks.size() + 1, 0);
    std::vector<int> closes(toks.size() + 1, 0);
    bool any = false;
    for (std::size_t k = 0; k < toks.size(); ++k) {
        if (toks[k].kind != '|' || k == 0) continue;
        std::size_t first = 0, last = 0;
        if (!operand_left(out, toks, k - 1, first) || !operand_right(out, toks, k + 1, last))
            continue;
        ++opens[first];
        ++closes[k - 1];
        ++opens[k + 1];
        ++closes[last];
        any = true;
    }
    if (!any) return;
    std::string result;
    std::size_t pos = 0;
    for (std::size_t k = 0; k < toks.size(); ++k) {
        result.append(out, pos, toks[k].begin - pos);
        for (int m = 0; m < opens[k]; ++m) result += "coalesce(";
        result.append(out, toks[k].begin, toks[k].end - toks[k].begin);
        for (int m = 0; m < closes[k]; ++m) result += ", '')";
        pos = toks[k].end;
    }
    result.append(out, pos, std::string::npos);
    out = std::move(result);
}

}  // namespace

bool rewrite_sql(std::string_view in, std::string& out, ora_error& err,
                 const std::set<std::string>& schemas) {
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
    if (first_word == "SELECT" || first_word == "WITH" || opens_with_paren) {
        oracle_concat(out, toks);
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
