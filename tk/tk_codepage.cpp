#include "tk_codepage.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_err.h>

#include <atomic>
#include <clocale>
#include <cstdlib>
#include <map>
#include <memory>

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

// Converters are not thread-safe; each thread keeps its own, opened once.
UConverter* converter_for(int code_page) {
    thread_local std::map<int, converter_ptr> cache;
    auto it = cache.find(code_page);
    if (it == cache.end()) it = cache.emplace(code_page, open_converter(code_page)).first;
    if (it->second) ucnv_reset(it->second.get());
    return it->second.get();
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

// Bytes where ICU's IBM tables differ from the Windows tables of the same DOS
// code page (Windows maps 0xE6 of code page 437 to the micro sign, ICU to the
// Greek mu).  DBF files written on Windows follow the Windows tables.
struct windows_patch {
    int code_page;
    unsigned char byte;
    char16_t character;
};
const windows_patch kWindowsPatches[] = {
    {437, 0xE6, u'\u00B5'}, {860, 0xE6, u'\u00B5'}, {861, 0xE6, u'\u00B5'},
    {862, 0xE6, u'\u00B5'}, {863, 0xE6, u'\u00B5'}, {865, 0xE6, u'\u00B5'},
    {852, 0xAA, u'\u00AC'}, {869, 0x88, u'\u00B7'}, {869, 0xEF, u'\u0384'},
};

bool has_patches(int code_page) {
    for (const windows_patch& p : kWindowsPatches) {
        if (p.code_page == code_page) return true;
    }
    return false;
}

// The patched byte for a character, or -1.
int patched_byte(int code_page, char16_t c) {
    for (const windows_patch& p : kWindowsPatches) {
        if (p.code_page == code_page && p.character == c) return p.byte;
    }
    return -1;
}

// The patched character for a byte, or 0.
char16_t patched_character(int code_page, unsigned char b) {
    for (const windows_patch& p : kWindowsPatches) {
        if (p.code_page == code_page && p.byte == b) return p.character;
    }
    return 0;
}

}  // namespace

std::optional<std::string> tk_encode(std::u16string_view text, int code_page) {
    code_page = resolve(code_page);
    if (!has_patches(code_page)) return icu_encode(text, code_page);
    // Runs between patched characters go through ICU; the patched ones are
    // written directly.
    std::string out;
    size_t start = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
        const int byte = i < text.size() ? patched_byte(code_page, text[i]) : -1;
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
    if (!has_patches(code_page)) return icu_decode(bytes, code_page);
    std::u16string out;
    size_t start = 0;
    for (size_t i = 0; i <= bytes.size(); ++i) {
        const char16_t c =
            i < bytes.size() ? patched_character(code_page, static_cast<unsigned char>(bytes[i]))
                             : 0;
        if (c == 0 && i < bytes.size()) continue;
        auto run = icu_decode(bytes.substr(start, i - start), code_page);
        if (!run) return std::nullopt;
        out += *run;
        if (c != 0) out += c;
        start = i + 1;
    }
    return out;
}
