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

int environment_code_page() {
    if (const char* env = std::getenv("KESTREL_CODEPAGE"); env != nullptr && *env != '\0') {
        char* end = nullptr;
        const long value = std::strtol(env, &end, 10);
        if (end != nullptr && *end == '\0' && value > 0 && value < 65536 &&
            tk_is_code_page_supported(static_cast<int>(value))) {
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

std::optional<std::string> tk_encode(std::u16string_view text, int code_page) {
    UConverter* converter = converter_for(resolve(code_page));
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

std::optional<std::u16string> tk_decode(std::string_view bytes, int code_page) {
    UConverter* converter = converter_for(resolve(code_page));
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
