#include "ol_lexer.h"

#include <cctype>

namespace ocilite::load {

std::string upper_ascii(std::string_view s) {
    std::string r(s);
    for (char& c : r) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return r;
}

namespace {

bool ident_start(unsigned char c) {
    return std::isalpha(c) || c >= 0x80;
}
bool ident_part(unsigned char c) {
    return std::isalnum(c) || c == '_' || c == '$' || c == '#' || c >= 0x80;
}

char closing_delimiter(char open) {
    switch (open) {
        case '[':
            return ']';
        case '{':
            return '}';
        case '<':
            return '>';
        case '(':
            return ')';
        default:
            return open;
    }
}

}  // namespace

std::vector<token> tokenize(std::string_view s, int first_line) {
    std::vector<token> out;
    std::size_t i = 0;
    int line = first_line;
    const std::size_t n = s.size();
    auto advance_to = [&](std::size_t j) {
        for (; i < j && i < n; ++i)
            if (s[i] == '\n') ++line;
    };
    while (i < n) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (std::isspace(c)) {
            advance_to(i + 1);
            continue;
        }
        if (c == '-' && i + 1 < n && s[i + 1] == '-') {
            std::size_t j = s.find('\n', i);
            advance_to(j == std::string_view::npos ? n : j);
            continue;
        }
        if (c == '/' && i + 1 < n && s[i + 1] == '*') {
            std::size_t j = s.find("*/", i + 2);
            if (j == std::string_view::npos)
                throw sql_error{"ORA-01742: comment not terminated properly", line};
            advance_to(j + 2);
            continue;
        }
        token t;
        t.begin = i;
        t.line = line;
        // String literals: '...', N'...', Q'x...x', NQ'x...x'.
        std::size_t q = i;
        bool national = false;
        if ((c == 'n' || c == 'N') && i + 1 < n &&
            (s[i + 1] == '\'' || s[i + 1] == 'q' || s[i + 1] == 'Q')) {
            national = true;
            q = i + 1;
        }
        const bool alt_quote = q + 2 < n && (s[q] == 'q' || s[q] == 'Q') && s[q + 1] == '\'';
        if (s[q] == '\'' && (q == i || national)) {
            std::string value;
            std::size_t j = q + 1;
            for (;;) {
                if (j >= n)
                    throw sql_error{"ORA-01756: quoted string not properly terminated", line};
                if (s[j] == '\'') {
                    if (j + 1 < n && s[j + 1] == '\'') {
                        value += '\'';
                        j += 2;
                        continue;
                    }
                    break;
                }
                value += s[j++];
            }
            t.kind = tok_kind::string;
            t.text = std::move(value);
            t.national = national;
            advance_to(j + 1);
            t.end = i;
            out.push_back(std::move(t));
            continue;
        }
        if (alt_quote && (q == i || national)) {
            const char open = s[q + 2];
            const char close = closing_delimiter(open);
            std::size_t j = q + 3;
            std::size_t stop = std::string_view::npos;
            for (; j + 1 < n; ++j)
                if (s[j] == close && s[j + 1] == '\'') {
                    stop = j;
                    break;
                }
            if (stop == std::string_view::npos)
                throw sql_error{"ORA-01756: quoted string not properly terminated", line};
            t.kind = tok_kind::string;
            t.text = std::string(s.substr(q + 3, stop - (q + 3)));
            t.national = national;
            advance_to(stop + 2);
            t.end = i;
            out.push_back(std::move(t));
            continue;
        }
        if (c == '"') {
            std::size_t j = s.find('"', i + 1);
            if (j == std::string_view::npos)
                throw sql_error{"ORA-01740: missing double quote in identifier", line};
            if (j == i + 1) throw sql_error{"ORA-01741: illegal zero-length identifier", line};
            t.kind = tok_kind::ident;
            t.quoted = true;
            t.text = std::string(s.substr(i + 1, j - i - 1));
            advance_to(j + 1);
            t.end = i;
            out.push_back(std::move(t));
            continue;
        }
        if (ident_start(c)) {
            std::size_t j = i + 1;
            while (j < n && ident_part(static_cast<unsigned char>(s[j]))) ++j;
            t.kind = tok_kind::ident;
            t.text = upper_ascii(s.substr(i, j - i));
            advance_to(j);
            t.end = i;
            out.push_back(std::move(t));
            continue;
        }
        const bool after_name =
            !out.empty() && (out.back().kind == tok_kind::ident ||
                             (out.back().kind == tok_kind::op && out.back().text == ")"));
        if (std::isdigit(c) ||
            (c == '.' && i + 1 < n && std::isdigit(static_cast<unsigned char>(s[i + 1])) &&
             !after_name)) {
            std::size_t j = i;
            while (j < n && std::isdigit(static_cast<unsigned char>(s[j]))) ++j;
            if (j < n && s[j] == '.' && !(j + 1 < n && s[j + 1] == '.')) {
                ++j;
                while (j < n && std::isdigit(static_cast<unsigned char>(s[j]))) ++j;
            }
            if (j < n && (s[j] == 'e' || s[j] == 'E')) {
                std::size_t k = j + 1;
                if (k < n && (s[k] == '+' || s[k] == '-')) ++k;
                if (k < n && std::isdigit(static_cast<unsigned char>(s[k]))) {
                    while (k < n && std::isdigit(static_cast<unsigned char>(s[k]))) ++k;
                    j = k;
                }
            }
            t.kind = tok_kind::number;
            t.text = std::string(s.substr(i, j - i));
            advance_to(j);
            t.end = i;
            out.push_back(std::move(t));
            continue;
        }
        static constexpr std::string_view two[] = {
            "||", ":=", "=>", "<>", "!=", "^=", "<=", ">=", "**", ".."};
        bool matched = false;
        for (std::string_view op : two)
            if (s.substr(i, 2) == op) {
                t.kind = tok_kind::op;
                t.text = std::string(op);
                advance_to(i + 2);
                matched = true;
                break;
            }
        if (!matched) {
            static constexpr std::string_view one = "(),;.+-*/=<>@%:?&|";
            if (one.find(static_cast<char>(c)) == std::string_view::npos)
                throw sql_error{"ORA-00911: invalid character", line};
            t.kind = tok_kind::op;
            t.text = std::string(1, static_cast<char>(c));
            advance_to(i + 1);
        }
        t.end = i;
        out.push_back(std::move(t));
    }
    token e;
    e.kind = tok_kind::end;
    e.begin = e.end = n;
    e.line = line;
    out.push_back(e);
    return out;
}

const token& token_stream::peek(std::size_t ahead) const {
    std::size_t p = pos_ + ahead;
    return p < toks_.size() ? toks_[p] : toks_.back();
}

const token& token_stream::next() {
    const token& t = peek();
    if (pos_ + 1 < toks_.size()) ++pos_;
    return t;
}

bool token_stream::is(std::string_view word, std::size_t ahead) const {
    const token& t = peek(ahead);
    return t.kind == tok_kind::ident && !t.quoted && t.text == word;
}

bool token_stream::is_op(std::string_view op, std::size_t ahead) const {
    const token& t = peek(ahead);
    return t.kind == tok_kind::op && t.text == op;
}

bool token_stream::accept(std::string_view word) {
    if (!is(word)) return false;
    next();
    return true;
}

bool token_stream::accept_op(std::string_view op) {
    if (!is_op(op)) return false;
    next();
    return true;
}

void token_stream::expect(std::string_view word, const char* ora) {
    if (!accept(word)) fail(ora);
}

void token_stream::expect_op(std::string_view op, const char* ora) {
    if (!accept_op(op)) fail(ora);
}

std::string token_stream::name(const char* ora) {
    const token& t = peek();
    if (t.kind != tok_kind::ident) fail(ora);
    return next().text;
}

void token_stream::skip_group() {
    if (!is_op("(")) return;
    int depth = 0;
    do {
        const token& t = next();
        if (t.kind == tok_kind::end) fail("ORA-00907: missing right parenthesis");
        if (t.kind == tok_kind::op && t.text == "(") ++depth;
        if (t.kind == tok_kind::op && t.text == ")") --depth;
    } while (depth > 0);
}

std::string token_stream::slice(std::size_t first, std::size_t last) const {
    if (first > last || last >= toks_.size()) return {};
    return std::string(text_.substr(toks_[first].begin, toks_[last].end - toks_[first].begin));
}

std::string token_stream::slice_until(std::size_t first, std::size_t stop) const {
    if (first >= stop || stop >= toks_.size()) return {};
    return std::string(text_.substr(toks_[first].begin, toks_[stop].begin - toks_[first].begin));
}

void token_stream::fail(const char* ora) const {
    throw sql_error{ora, peek().line};
}
void token_stream::fail(const std::string& ora) const {
    throw sql_error{ora, peek().line};
}

}  // namespace ocilite::load
