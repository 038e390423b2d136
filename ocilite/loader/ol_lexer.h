// Tokens of one Oracle SQL (or simple PL/SQL) statement.  The lexer keeps the
// byte offsets of every token in the statement text so that parts such as a
// DEFAULT expression, a CHECK condition or a view query can be stored exactly
// as typed, and it maps offsets to script lines for messages.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace ocilite::load {

enum class tok_kind { ident, number, string, op, end };

struct token {
    tok_kind kind = tok_kind::end;
    std::string text;       // identifiers: upper case unless quoted; strings: the value
    bool quoted = false;    // "Quoted" identifier
    bool national = false;  // N'...' string
    std::size_t begin = 0;  // byte offsets in the statement text
    std::size_t end = 0;
    int line = 0;  // script line of the token's first character
};

// Thrown for a statement that cannot be tokenised or parsed; `ora` is the
// Oracle error text ("ORA-00907: missing right parenthesis").
struct sql_error {
    std::string ora;
    int line = 0;
};

// Splits `text` (which starts at script line `first_line`) into tokens; the
// last token has kind end.  Comments are dropped.  Throws sql_error for an
// unterminated string or quoted identifier and for characters Oracle rejects.
std::vector<token> tokenize(std::string_view text, int first_line);

// A cursor over the tokens with the small helpers every parser uses.
class token_stream {
  public:
    token_stream(std::vector<token> tokens, std::string_view text)
        : toks_(std::move(tokens)), text_(text) {}

    const token& peek(std::size_t ahead = 0) const;
    const token& next();
    bool at_end() const { return peek().kind == tok_kind::end; }
    // True (and consumed) when the next token is the unquoted keyword `word`.
    bool accept(std::string_view word);
    bool accept_op(std::string_view op);
    bool is(std::string_view word, std::size_t ahead = 0) const;
    bool is_op(std::string_view op, std::size_t ahead = 0) const;
    void expect(std::string_view word, const char* ora);
    void expect_op(std::string_view op, const char* ora);
    // An identifier (keyword or quoted name); throws ORA-00903-like `ora` otherwise.
    std::string name(const char* ora);
    std::size_t pos() const { return pos_; }
    // The token at position p (the end token past the last).
    const token& at(std::size_t p) const { return p < toks_.size() ? toks_[p] : toks_.back(); }
    void seek(std::size_t p) { pos_ = p; }
    // Skips one balanced parenthesised group starting at "(".
    void skip_group();
    // The statement text from token `first` to token `last` inclusive, as typed.
    std::string slice(std::size_t first, std::size_t last) const;
    // The text from the start of token `first` up to the start of token `stop`
    // (so trailing blanks are kept, as Oracle keeps them for DATA_DEFAULT).
    std::string slice_until(std::size_t first, std::size_t stop) const;
    std::string_view text() const { return text_; }
    [[noreturn]] void fail(const char* ora) const;
    [[noreturn]] void fail(const std::string& ora) const;

  private:
    std::vector<token> toks_;
    std::string_view text_;
    std::size_t pos_ = 0;
};

std::string upper_ascii(std::string_view s);

}  // namespace ocilite::load
