// Strings of the system: narrow strings in the ANSI code page (tk_codepage.h)
// and wide UTF-16 strings; trims, padding, ASCII case folding, replacement,
// hexadecimal texts, conversions between the forms, and Unicode-aware
// case-insensitive comparison and character classes.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <string>
#include <string_view>

#include "tk_codepage.h"

// A narrow string with the toolkit's in-place operations.
class tk_string : public std::string {
  public:
    using std::string::string;
    tk_string() = default;
    tk_string(std::string s) : std::string(std::move(s)) {}  // NOLINT: implicit by design

    // Appends (width - size) copies of c to this string when width exceeds its
    // size; returns a copy of the result.
    tk_string pad_right(size_t width, char c);
    // The same, putting the copies in front.
    tk_string pad_left(size_t width, char c);
};

// A wide (UTF-16) string with the toolkit's in-place operations.
class tk_wstring : public std::u16string {
  public:
    using std::u16string::u16string;
    tk_wstring() = default;
    tk_wstring(std::u16string s) : std::u16string(std::move(s)) {}  // NOLINT: implicit by design

    // Folds the ASCII letters a-z to upper case in place; returns a copy.
    tk_wstring to_upper();
    // Folds the ASCII letters A-Z to lower case in place; returns a copy.
    tk_wstring to_lower();
    // Replaces every occurrence of searched, scanning on from one character
    // after the start of each replacement; returns a copy.  An empty searched
    // text changes nothing.
    tk_wstring replace_all(std::u16string_view searched, std::u16string_view replacement);
};

// Trims remove U+0020 spaces only (tabs stay).
std::string tk_trim_left(std::string_view s);
std::string tk_trim_right(std::string_view s);
std::string tk_trim(std::string_view s);
std::u16string tk_trim_left(std::u16string_view s);
std::u16string tk_trim_right(std::u16string_view s);
std::u16string tk_trim(std::u16string_view s);

// Writes count bytes as upper-case hexadecimal pairs into buffer (room for
// 2 * count + 1) and ends it with a zero.  A null buffer is an internal error.
void tk_hex_text(size_t count, const void* bytes, char* buffer);
// The same into a new string.
std::string tk_hex_text(std::string_view bytes);
// "%02X" per byte in one process-wide buffer that the next call overwrites;
// for trace lines only, one thread at a time.
const char* tk_hex_dump(std::string_view bytes);

// Conversions.  The throwing forms raise tk_exception_ex at level 0 with the
// prefixes "Cannot convert to UTF8 string: ", "Cannot convert to ANSI string: "
// and "Cannot convert to UNICODE string: ".
std::string tk_ucs2_to_utf8(std::u16string_view text);
std::string tk_ucs2_to_ansi(std::u16string_view text, int code_page = tk_cp_acp);
std::u16string tk_utf8_to_ucs2(std::string_view text);
std::u16string tk_ansi_to_ucs2(std::string_view text);
// Logs the input's hexadecimal dump at level 1.
std::u16string tk_ansi_to_ucs2(std::string_view text, int code_page);
// Non-throwing forms into a new buffer: false on failure.
bool tk_ucs2_to_ansi(std::u16string_view text, std::string& out);
bool tk_ansi_to_ucs2(std::string_view text, std::u16string& out);
// Into the caller's buffer of room bytes (zero-terminated); returns buffer,
// or nullptr when the conversion fails or does not fit.
char* tk_ucs2_to_ansi(char* buffer, std::u16string_view text, size_t room, int code_page);

// Case-insensitive comparison by Unicode case folding (<0, 0, >0).
int tk_compare_nocase(std::u16string_view a, std::u16string_view b);
bool tk_equal_nocase(std::u16string_view a, std::u16string_view b);
// Unicode letter / letter-or-digit tests of one UTF-16 unit.
bool tk_is_alpha(char16_t c);
bool tk_is_alnum(char16_t c);

// printf-style formatting of a wide format: "%s" takes a const char16_t*
// (a null pointer prints "(null)"), "%S" a narrow const char* in the ANSI code
// page, "%c" a char16_t passed as int; the numeric conversions and their
// flags, width, precision and length modifiers (hh h l ll z j t L, I64) are
// those of printf.  The result is cut at max_chars UTF-16 units.
std::u16string tk_wformat(size_t max_chars, const char16_t* format, ...);
std::u16string tk_wformat_v(size_t max_chars, const char16_t* format, va_list args);
