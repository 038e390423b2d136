#include "ol_script.h"

#include <algorithm>
#include <array>
#include <cctype>

#include "ol_lexer.h"

namespace ocilite::load {

namespace {

bool blank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return s;
}

// The SQL*Plus commands a script may hold, matched on the first word of a
// line that starts a statement (abbreviations as SQL*Plus accepts them).
bool is_sqlplus_word(const std::string& w) {
    static constexpr std::array<std::string_view, 62> words = {
        "SET",       "PRO",      "PROM",      "PROMP",   "PROMPT",   "REM",        "REMA",
        "REMAR",     "REMARK",   "SPO",       "SPOOL",   "DEF",      "DEFINE",     "UNDEF",
        "UNDEFINE",  "WHENEVER", "CONN",      "CONNECT", "DISC",     "DISCONNECT", "EXIT",
        "QUIT",      "SHO",      "SHOW",      "COL",     "COLUMN",   "TTITLE",     "BTITLE",
        "BRE",       "BREAK",    "COMP",      "COMPUTE", "CL",       "CLEAR",      "PAU",
        "PAUSE",     "VAR",      "VARIABLE",  "PRI",     "PRINT",    "DESC",       "DESCRIBE",
        "HO",        "HOST",     "ACC",       "ACCEPT",  "TIMING",   "STA",        "START",
        "EXEC",      "EXECUTE",  "PASSWORD",  "STORE",   "SAVE",     "GET",        "REPHEADER",
        "REPFOOTER", "ARCHIVE",  "ATTRIBUTE", "STARTUP", "SHUTDOWN", "RECOVER"};
    return std::find(words.begin(), words.end(), w) != words.end();
}

std::string first_word(std::string_view line) {
    std::string w;
    for (char c : line) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') break;
        w.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
    }
    return w;
}

// True when a statement opening with these words runs until a "/" line.
bool starts_plsql(const std::vector<std::string>& w) {
    if (w.empty()) return false;
    if (w[0] == "BEGIN" || w[0] == "DECLARE") return true;
    if (w[0] != "CREATE") return false;
    std::size_t i = 1;
    if (i + 1 < w.size() && w[i] == "OR" && w[i + 1] == "REPLACE") i += 2;
    while (i < w.size() && (w[i] == "EDITIONABLE" || w[i] == "NONEDITIONABLE" || w[i] == "AND" ||
                            w[i] == "COMPILE" || w[i] == "RESOLVE" || w[i] == "NOFORCE"))
        ++i;
    if (i >= w.size()) return false;
    static constexpr std::array<std::string_view, 7> kinds = {
        "PROCEDURE", "FUNCTION", "PACKAGE", "TRIGGER", "TYPE", "LIBRARY", "JAVA"};
    return std::find(kinds.begin(), kinds.end(), w[i]) != kinds.end();
}

}  // namespace

std::vector<script_unit> split_script(std::string_view s) {
    std::vector<script_unit> out;
    std::size_t i = 0;
    int line = 1;
    const std::size_t n = s.size();
    auto line_end = [&](std::size_t from) {
        std::size_t e = s.find('\n', from);
        return e == std::string_view::npos ? n : e;
    };
    while (i < n) {
        // At the start of a unit: skip blanks and comments, find the next line.
        if (blank(s[i])) {
            if (s[i] == '\n') ++line;
            ++i;
            continue;
        }
        if (s.compare(i, 2, "--") == 0) {
            i = line_end(i);
            continue;
        }
        if (s.compare(i, 2, "/*") == 0) {
            std::size_t e = s.find("*/", i + 2);
            if (e == std::string_view::npos) {
                out.push_back(
                    {script_unit::error, "ORA-01742: comment not terminated properly", line});
                return out;
            }
            line += static_cast<int>(std::count(s.begin() + static_cast<long>(i),
                                                s.begin() + static_cast<long>(e), '\n'));
            i = e + 2;
            continue;
        }
        const std::size_t le = line_end(i);
        const std::string_view rest_of_line = trim(s.substr(i, le - i));
        if (rest_of_line == "/" ||
            rest_of_line == ".") {  // re-run / end of buffer: nothing buffered
            i = le;
            continue;
        }
        if (s[i] == '@' || s[i] == '!' || is_sqlplus_word(first_word(rest_of_line))) {
            const std::string w = first_word(rest_of_line);
            const bool sql_set =
                w == "SET" &&
                (first_word(trim(rest_of_line.substr(3))) == "TRANSACTION" ||
                 first_word(trim(rest_of_line.substr(3))) == "ROLE" ||
                 first_word(trim(rest_of_line.substr(3))).rfind("CONSTRAINT", 0) == 0);
            if (!sql_set) {
                // A trailing "-" continues a SQL*Plus command on the next line.
                std::size_t e = le;
                std::string text(rest_of_line);
                int extra = 0;
                while (!text.empty() && text.back() == '-' && e < n) {
                    text.pop_back();
                    std::size_t ne = line_end(e + 1);
                    text += std::string(trim(s.substr(e + 1, ne - e - 1)));
                    e = ne;
                    ++extra;
                }
                out.push_back({script_unit::sqlplus, text, line});
                line += extra;
                i = e;
                continue;
            }
        }
        // A SQL statement or PL/SQL block.  Peek at its first words.
        std::vector<std::string> words;
        {
            std::size_t j = i;
            while (j < n && words.size() < 6) {
                if (blank(s[j])) {
                    ++j;
                } else if (s.compare(j, 2, "--") == 0) {
                    j = line_end(j);
                } else if (s.compare(j, 2, "/*") == 0) {
                    std::size_t e = s.find("*/", j + 2);
                    j = e == std::string_view::npos ? n : e + 2;
                } else if (std::isalpha(static_cast<unsigned char>(s[j]))) {
                    std::size_t k = j;
                    while (k < n && (std::isalnum(static_cast<unsigned char>(s[k])) ||
                                     s[k] == '_' || s[k] == '$' || s[k] == '#'))
                        ++k;
                    words.push_back(upper_ascii(s.substr(j, k - j)));
                    j = k;
                } else {
                    break;
                }
            }
        }
        const bool plsql = starts_plsql(words);
        const int start_line = line;
        const std::size_t start = i;
        std::size_t j = i;
        bool done = false;
        std::size_t stop = n, resume = n;
        bool at_line_start = false;
        while (j < n && !done) {
            const char c = s[j];
            if (at_line_start) {
                // A line holding only "/" ends the unit.
                std::size_t e = line_end(j);
                if (trim(s.substr(j, e - j)) == "/") {
                    stop = j;
                    resume = e;
                    done = true;
                    break;
                }
                at_line_start = false;
            }
            if (c == '\n') {
                ++line;
                at_line_start = true;
                ++j;
                continue;
            }
            if (c == '-' && j + 1 < n && s[j + 1] == '-') {
                j = line_end(j);
                continue;
            }
            if (c == '/' && j + 1 < n && s[j + 1] == '*') {
                std::size_t e = s.find("*/", j + 2);
                if (e == std::string_view::npos) {
                    out.push_back(
                        {script_unit::error, "ORA-01742: comment not terminated properly", line});
                    return out;
                }
                line += static_cast<int>(std::count(s.begin() + static_cast<long>(j),
                                                    s.begin() + static_cast<long>(e), '\n'));
                j = e + 2;
                continue;
            }
            const bool q_quote =
                (c == 'q' || c == 'Q') && j + 2 < n && s[j + 1] == '\'' &&
                (j == 0 ||
                 !(std::isalnum(static_cast<unsigned char>(s[j - 1])) || s[j - 1] == '_') ||
                 ((s[j - 1] == 'n' || s[j - 1] == 'N') &&
                  (j < 2 || !std::isalnum(static_cast<unsigned char>(s[j - 2])))));
            if (q_quote) {
                const char open = s[j + 2];
                const char close = open == '['   ? ']'
                                   : open == '{' ? '}'
                                   : open == '<' ? '>'
                                   : open == '(' ? ')'
                                                 : open;
                std::size_t k = j + 3;
                while (k + 1 < n && !(s[k] == close && s[k + 1] == '\'')) ++k;
                if (k + 1 >= n) {
                    out.push_back({script_unit::error,
                                   "ORA-01756: quoted string not properly terminated", line});
                    return out;
                }
                line += static_cast<int>(std::count(s.begin() + static_cast<long>(j),
                                                    s.begin() + static_cast<long>(k), '\n'));
                j = k + 2;
                continue;
            }
            if (c == '\'' || c == '"') {
                const int open_line = line;
                std::size_t k = j + 1;
                for (;;) {
                    if (k >= n) {
                        out.push_back({script_unit::error,
                                       c == '\''
                                           ? "ORA-01756: quoted string not properly terminated"
                                           : "ORA-01740: missing double quote in identifier",
                                       open_line});
                        return out;
                    }
                    if (s[k] == '\n') ++line;
                    if (s[k] == c) {
                        if (c == '\'' && k + 1 < n && s[k + 1] == '\'') {
                            k += 2;
                            continue;
                        }
                        break;
                    }
                    ++k;
                }
                j = k + 1;
                continue;
            }
            if (c == ';' && !plsql) {
                stop = j;
                resume = j + 1;
                done = true;
                break;
            }
            ++j;
        }
        std::string text(trim(s.substr(start, (done ? stop : n) - start)));
        if (!text.empty())
            out.push_back(
                {plsql ? script_unit::plsql : script_unit::sql, std::move(text), start_line});
        i = done ? resume : n;
    }
    return out;
}

}  // namespace ocilite::load
