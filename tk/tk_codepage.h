// The process-wide ANSI code page and conversions between UTF-16 and any
// code page by its Windows number.
//
// Narrow *data* (DBF texts, ole_variant narrow strings, table-names files) is
// in one single-byte Windows code page for the whole process: the number in the
// environment variable KESTREL_CODEPAGE when it names a single-byte code page
// that ICU knows, otherwise the code page that Windows would pick for the language of the user's locale (1252 for the
// C/POSIX locale).  Code page 0 always means "the ANSI code page"; 65001 is
// UTF-8.  Conversions substitute characters that a code page cannot hold ("?")
// and malformed input (U+FFFD), as the Windows conversions do; they fail only
// when a code page is not known.  Where ICU's IBM tables of the DOS code pages
// differ from the Windows tables (the control codes 0x1A, 0x1C and 0x7F, a few
// letters), the Windows mapping holds, so that their whole ASCII range maps
// unchanged.  Thread-safe.
#pragma once

#include <optional>
#include <string>
#include <string_view>

inline constexpr int tk_cp_acp = 0;
inline constexpr int tk_cp_utf8 = 65001;

// The ANSI code page of the process (never 0).
int tk_ansi_code_page();
// Overrides the ANSI code page for the rest of the process (tests, the
// program's own options).  0 returns to the environment's choice.
void tk_set_ansi_code_page(int code_page);
// The code page Windows picks for a POSIX locale name such as "ru_RU.UTF-8".
int tk_code_page_for_locale(std::string_view locale_name);
// True when conversions for the code page are available.
bool tk_is_code_page_supported(int code_page);

// UTF-16 -> bytes in a code page; nullopt when the code page is unknown.
std::optional<std::string> tk_encode(std::u16string_view text, int code_page);
// Bytes in a code page -> UTF-16; nullopt when the code page is unknown.
std::optional<std::u16string> tk_decode(std::string_view bytes, int code_page);
