#include "tk_codepage.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_err.h>

#include <atomic>
#include <clocale>
#include <cstdlib>
#include <initializer_list>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

std::atomic<int> g_override_code_page{0};

struct converter_closer {
    void operator()(UConverter* c) const { ucnv_close(c); }
};
using converter_ptr = std::unique_ptr<UConverter, converter_closer>;

// ICU's name for a Windows code page number.
std::string icu_name(int code_page) {
    switch (code_page) {
        case 65001: return "UTF-8";
        case 1200: return "UTF-16LE";
        case 1201: return "UTF-16BE";
        case 20127: return "US-ASCII";
        case 874: return "windows-874-2000";
        case 10000: return "macintosh";
        case 10006: return "x-mac-greek";
        case 10007: return "x-mac-cyrillic";
        case 10029: return "x-mac-centraleurroman";
        case 10081: return "x-mac-turkish";
        default: break;
    }
    if (code_page >= 28591 && code_page <= 28605) {
        return "ISO-8859-" + std::to_string(code_page - 28590);
    }
    if ((code_page >= 1250 && code_page <= 1258) || code_page == 932 || code_page == 936 ||
        code_page == 949 || code_page == 950) {
        return "windows-" + std::to_string(code_page);
    }
    return "cp" + std::to_string(code_page);
}

converter_ptr open_converter(int code_page) {
    UErrorCode status = U_ZERO_ERROR;
    converter_ptr converter(ucnv_open(icu_name(code_page).c_str(), &status));
    if (U_FAILURE(status)) return nullptr;
    // Windows replaces what a code page cannot hold by '?' and malformed
    // input by U+FFFD; ICU's substitution callbacks do the same.
    status = U_ZERO_ERROR;
    ucnv_setFromUCallBack(converter.get(), UCNV_FROM_U_CALLBACK_SUBSTITUTE, nullptr, nullptr,
                          nullptr, &status);
    ucnv_setToUCallBack(converter.get(), UCNV_TO_U_CALLBACK_SUBSTITUTE, nullptr, nullptr,
                        nullptr, &status);
    if (code_page != 65001 && code_page != 1200 && code_page != 1201) {
        static const char question[] = "?";
        ucnv_setSubstChars(converter.get(), question, 1, &status);
    }
    return U_FAILURE(status) ? nullptr : std::move(converter);
}

// A byte whose character in ICU's table differs from the one the Windows
// table of the same code page gives it.
struct windows_patch {
    unsigned char byte;
    char16_t character;
};

// Bytes where ICU's IBM tables of DOS code pages differ from the Windows
// tables (Windows maps 0xE6 of code page 437 to the micro sign, ICU to the
// Greek mu).  DBF files written on Windows follow the Windows tables.
struct fixed_patch {
    int code_page;
    windows_patch patch;
};
const fixed_patch kWindowsPatches[] = {
    {437, {0xE6, u'\u00B5'}}, {860, {0xE6, u'\u00B5'}}, {861, {0xE6, u'\u00B5'}},
    {862, {0xE6, u'\u00B5'}}, {863, {0xE6, u'\u00B5'}}, {865, {0xE6, u'\u00B5'}},
    {852, {0xAA, u'\u00AC'}}, {869, {0x88, u'\u00B7'}}, {869, {0xEF, u'\u0384'}},
};

// One code page's conversion for one thread: ICU's converter and what makes
// it give the Windows results.
struct code_page_state {
    converter_ptr converter;
    // Bytes decoded (and characters encoded) as Windows does, not as ICU does.
    std::vector<windows_patch> patches;
    // Single-byte code pages: the character of every byte, patches included,
    // so that decoding is a table lookup (these conversions are stateless).
    // Empty for the others.
    std::u16string byte_table;
};

// ICU's character for one byte alone, or 0 when it gives none or several.
char16_t icu_character(UConverter* converter, unsigned char byte) {
    ucnv_reset(converter);
    const char in = static_cast<char>(byte);
    UChar out[4];
    UErrorCode status = U_ZERO_ERROR;
    const int32_t n = ucnv_toUChars(converter, out, 4, &in, 1, &status);
    ucnv_reset(converter);
    return U_SUCCESS(status) && n == 1 ? static_cast<char16_t>(out[0]) : 0;
}

std::unique_ptr<code_page_state> open_state(int code_page) {
    auto state = std::make_unique<code_page_state>();
    state->converter = open_converter(code_page);
    UConverter* converter = state->converter.get();
    if (converter == nullptr) return state;
    for (const fixed_patch& p : kWindowsPatches) {
        if (p.code_page == code_page) state->patches.push_back(p.patch);
    }
    // ICU's IBM tables of the PC code pages (437, 850, 866, ..., and 932)
    // rotate three control codes, as IBM's own conversions do: 0x1A reads as
    // U+001C, 0x1C as U+007F and 0x7F as U+001A.  The Windows tables map the
    // whole ASCII range unchanged, and so do DBF files: undo the rotation
    // wherever ICU applies it.  None of the three is a trail byte of a
    // double-byte code page, so the runs between them convert on their own.
    if (icu_character(converter, 0x1A) == u'\u001C' &&
        icu_character(converter, 0x1C) == u'\u007F' &&
        icu_character(converter, 0x7F) == u'\u001A') {
        for (unsigned char b : {0x1A, 0x1C, 0x7F}) state->patches.push_back({b, char16_t(b)});
    }
    if (ucnv_getMaxCharSize(converter) == 1) {
        std::u16string table(256, u'\0');
        bool complete = true;
        for (int b = 0; b < 256 && complete; ++b) {
            table[b] = icu_character(converter, static_cast<unsigned char>(b));
            complete = table[b] != 0 || b == 0;
        }
        if (complete) {
            for (const windows_patch& p : state->patches) table[p.byte] = p.character;
            state->byte_table = std::move(table);
        }
    }
    return state;
}

// Converters are not thread-safe; each thread keeps its own, opened once.
// nullptr when ICU does not know the code page.
code_page_state* state_for(int code_page) {
    thread_local std::map<int, std::unique_ptr<code_page_state>> cache;
    auto it = cache.find(code_page);
    if (it == cache.end()) it = cache.emplace(code_page, open_state(code_page)).first;
    code_page_state* state = it->second.get();
    if (!state->converter) return nullptr;
    ucnv_reset(state->converter.get());
    return state;
}

UConverter* converter_for(int code_page) {
    code_page_state* state = state_for(code_page);
    return state != nullptr ? state->converter.get() : nullptr;
}

int resolve(int code_page) { return code_page == tk_cp_acp ? tk_ansi_code_page() : code_page; }

// The ANSI code page holds one character per byte: DBF fields are cut and
// padded by bytes, so a multi-byte code page (UTF-8, UTF-16, the East Asian
// ones) there would split characters.
bool is_single_byte(int code_page) {
    const UConverter* converter = converter_for(code_page);
    return converter != nullptr && ucnv_getMaxCharSize(converter) == 1;
}

int environment_code_page() {
    if (const char* env = std::getenv("KESTREL_CODEPAGE"); env != nullptr && *env != '\0') {
        char* end = nullptr;
        const long value = std::strtol(env, &end, 10);
        if (end != nullptr && *end == '\0' && value > 0 && value < 65536 &&
            is_single_byte(static_cast<int>(value))) {
            return static_cast<int>(value);
        }
    }
    const char* names[] = {std::getenv("LC_ALL"), std::getenv("LC_CTYPE"), std::getenv("LANG")};
    for (const char* name : names) {
        if (name != nullptr && *name != '\0') return tk_code_page_for_locale(name);
    }
    return 1252;
}

}  // namespace

int tk_code_page_for_locale(std::string_view locale_name) {
    const std::string_view language = locale_name.substr(0, locale_name.find_first_of("_.@-"));
    struct entry {
        const char* language;
        int code_page;
    };
    static const entry table[] = {
        {"ru", 1251}, {"uk", 1251}, {"bg", 1251}, {"sr", 1251}, {"be", 1251}, {"mk", 1251},
        {"pl", 1250}, {"cs", 1250}, {"sk", 1250}, {"hu", 1250}, {"hr", 1250}, {"sl", 1250},
        {"ro", 1250}, {"sq", 1250}, {"el", 1253}, {"tr", 1254}, {"az", 1254}, {"he", 1255},
        {"ar", 1256}, {"fa", 1256}, {"ur", 1256}, {"et", 1257}, {"lv", 1257}, {"lt", 1257},
        {"vi", 1258}, {"th", 874},
    };
    for (const entry& e : table) {
        if (language == e.language) return e.code_page;
    }
    return 1252;
}

int tk_ansi_code_page() {
    if (int cp = g_override_code_page.load(); cp != 0) return cp;
    static const int from_environment = environment_code_page();
    return from_environment;
}

void tk_set_ansi_code_page(int code_page) { g_override_code_page.store(code_page); }

bool tk_is_code_page_supported(int code_page) {
    return converter_for(resolve(code_page)) != nullptr;
}

namespace {

std::optional<std::string> icu_encode(std::u16string_view text, int code_page) {
    UConverter* converter = converter_for(code_page);
    if (converter == nullptr) return std::nullopt;
    std::string out;
    if (text.empty()) return out;
    out.resize(UCNV_GET_MAX_BYTES_FOR_STRING(text.size(), ucnv_getMaxCharSize(converter)));
    UErrorCode status = U_ZERO_ERROR;
    const int32_t n =
        ucnv_fromUChars(converter, out.data(), static_cast<int32_t>(out.size()),
                        reinterpret_cast<const UChar*>(text.data()),
                        static_cast<int32_t>(text.size()), &status);
    if (U_FAILURE(status)) return std::nullopt;
    out.resize(static_cast<size_t>(n));
    return out;
}

std::optional<std::u16string> icu_decode(std::string_view bytes, int code_page) {
    UConverter* converter = converter_for(code_page);
    if (converter == nullptr) return std::nullopt;
    std::u16string out;
    if (bytes.empty()) return out;
    // Every byte gives at most two UTF-16 units (a surrogate pair).
    out.resize(bytes.size() * 2 + 2);
    UErrorCode status = U_ZERO_ERROR;
    const int32_t n = ucnv_toUChars(converter, reinterpret_cast<UChar*>(out.data()),
                                    static_cast<int32_t>(out.size()), bytes.data(),
                                    static_cast<int32_t>(bytes.size()), &status);
    if (U_FAILURE(status)) return std::nullopt;
    out.resize(static_cast<size_t>(n));
    return out;
}

// The patched byte for a character, or -1.
int patched_byte(const code_page_state& state, char16_t c) {
    for (const windows_patch& p : state.patches) {
        if (p.character == c) return p.byte;
    }
    return -1;
}

// The patched character for a byte, or 0.
char16_t patched_character(const code_page_state& state, unsigned char b) {
    for (const windows_patch& p : state.patches) {
        if (p.byte == b) return p.character;
    }
    return 0;
}

}  // namespace

std::optional<std::string> tk_encode(std::u16string_view text, int code_page) {
    code_page = resolve(code_page);
    const code_page_state* state = state_for(code_page);
    if (state == nullptr) return std::nullopt;
    if (state->patches.empty()) return icu_encode(text, code_page);
    // Runs between patched characters go through ICU; the patched ones are
    // written directly.
    std::string out;
    size_t start = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
        const int byte = i < text.size() ? patched_byte(*state, text[i]) : -1;
        if (byte < 0 && i < text.size()) continue;
        auto run = icu_encode(text.substr(start, i - start), code_page);
        if (!run) return std::nullopt;
        out += *run;
        if (byte >= 0) out += static_cast<char>(byte);
        start = i + 1;
    }
    return out;
}

std::optional<std::u16string> tk_decode(std::string_view bytes, int code_page) {
    code_page = resolve(code_page);
    const code_page_state* state = state_for(code_page);
    if (state == nullptr) return std::nullopt;
    if (!state->byte_table.empty()) {
        std::u16string out(bytes.size(), u'\0');
        const char16_t* table = state->byte_table.data();
        for (size_t i = 0; i < bytes.size(); ++i)
            out[i] = table[static_cast<unsigned char>(bytes[i])];
        return out;
    }
    if (state->patches.empty()) return icu_decode(bytes, code_page);
    std::u16string out;
    size_t start = 0;
    for (size_t i = 0; i <= bytes.size(); ++i) {
        const char16_t c =
            i < bytes.size() ? patched_character(*state, static_cast<unsigned char>(bytes[i])) : 0;
        if (c == 0 && i < bytes.size()) continue;
        auto run = icu_decode(bytes.substr(start, i - start), code_page);
        if (!run) return std::nullopt;
        out += *run;
        if (c != 0) out += c;
        start = i + 1;
    }
    return out;
}
