#include "tk_string.h"

#include <unicode/uchar.h>
#include <unicode/ustring.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "tk_exception.h"
#include "tk_logger.h"

namespace {

template <class S, class V>
S trim_left_impl(V s) {
    size_t i = 0;
    while (i < s.size() && s[i] == 0x20) ++i;
    return S(s.substr(i));
}

template <class S, class V>
S trim_right_impl(V s) {
    size_t n = s.size();
    while (n > 0 && s[n - 1] == 0x20) --n;
    if (n == 0 && !s.empty()) tk_log(1, "Special processing for all-spaces-string");
    return S(s.substr(0, n));
}

// The characters the formatter writes for a failed or missing argument.
const char16_t kNull[] = u"(null)";

}  // namespace

tk_string tk_string::pad_right(size_t width, char c) {
    tk_log(1, "tk_string::pad_right(%d)", static_cast<int>(width));
    if (width > size()) append(width - size(), c);
    return *this;
}

tk_string tk_string::pad_left(size_t width, char c) {
    tk_log(1, "tk_string::pad_left(%d)", static_cast<int>(width));
    if (width > size()) insert(0, width - size(), c);
    return *this;
}

tk_wstring tk_wstring::to_upper() {
    tk_wlog(1, u"tk_wstring::to_upper(%s)", c_str());
    for (char16_t& c : *this) {
        if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
    }
    return *this;
}

tk_wstring tk_wstring::to_lower() {
    tk_wlog(1, u"tk_wstring::to_lower(%s)", c_str());
    tk_log(2, "Step #0");
    tk_log(2, "Step #1");
    for (char16_t& c : *this) {
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    }
    tk_log(2, "Step #2");
    return *this;
}

tk_wstring tk_wstring::replace_all(std::u16string_view searched, std::u16string_view replacement) {
    tk_wlog(1, u"tk_wstring::replace_all(%s,%s)", std::u16string(searched),
            std::u16string(replacement));
    if (searched.empty()) return *this;
    size_t position = 0;
    while ((position = find(searched, position)) != npos) {
        replace(position, searched.size(), replacement);
        // Going on one character after the start (not after the replacement)
        // is how the system has always scanned; with a replacement that holds
        // the searched text past its first character this would never end, so
        // jump past such a replacement instead.
        // An empty replacement brings the next character to the position
        // itself: stepping on would skip it (and leave every other one of a
        // run of occurrences in place).
        if (replacement.find(searched, 1) != std::u16string_view::npos) {
            position += replacement.size();
        } else if (!replacement.empty()) {
            position += 1;
        }
    }
    return *this;
}

std::string tk_trim_left(std::string_view s) {
    return trim_left_impl<std::string>(s);
}
std::string tk_trim_right(std::string_view s) {
    return trim_right_impl<std::string>(s);
}
// Trimming right first: a text of spaces only is noticed (and logged) before
// the left trim would have emptied it.
std::string tk_trim(std::string_view s) {
    return tk_trim_left(tk_trim_right(s));
}
std::u16string tk_trim_left(std::u16string_view s) {
    return trim_left_impl<std::u16string>(s);
}
std::u16string tk_trim_right(std::u16string_view s) {
    return trim_right_impl<std::u16string>(s);
}
std::u16string tk_trim(std::u16string_view s) {
    return tk_trim_left(tk_trim_right(s));
}

void tk_hex_text(size_t count, const void* bytes, char* buffer) {
    if (buffer == nullptr) throw TK_MAIL_ASSERTION();
    static const char digits[] = "0123456789ABCDEF";
    const auto* p = static_cast<const unsigned char*>(bytes);
    for (size_t i = 0; i < count; ++i) {
        buffer[2 * i] = digits[p[i] >> 4];
        buffer[2 * i + 1] = digits[p[i] & 0x0F];
    }
    buffer[2 * count] = '\0';
}

std::string tk_hex_text(std::string_view bytes) {
    std::string out(bytes.size() * 2 + 1, '\0');
    tk_hex_text(bytes.size(), bytes.data(), out.data());
    out.pop_back();
    return out;
}

const char* tk_hex_dump(std::string_view bytes) {
    static std::string buffer;
    buffer = tk_hex_text(bytes);
    return buffer.c_str();
}

std::string tk_ucs2_to_utf8(std::u16string_view text) {
    auto out = tk_encode(text, tk_cp_utf8);
    if (!out) throw tk_exception_ex("Cannot convert to UTF8 string: ", EINVAL, 0);
    return std::move(*out);
}

std::string tk_ucs2_to_ansi(std::u16string_view text, int code_page) {
    auto out = tk_encode(text, code_page);
    if (!out) throw tk_exception_ex("Cannot convert to ANSI string: ", EINVAL, 0);
    return std::move(*out);
}

std::u16string tk_utf8_to_ucs2(std::string_view text) {
    auto out = tk_decode(text, tk_cp_utf8);
    if (!out) throw tk_exception_ex("Cannot convert to UNICODE string: ", EINVAL, 0);
    return std::move(*out);
}

std::u16string tk_ansi_to_ucs2(std::string_view text) {
    auto out = tk_decode(text, tk_cp_acp);
    if (!out) throw tk_exception_ex("Cannot convert to UNICODE string: ", EINVAL, 0);
    return std::move(*out);
}

std::u16string tk_ansi_to_ucs2(std::string_view text, int code_page) {
    if (tk_log_detail::wants(1)) tk_log(1, "tk_ansi_to_ucs2 hex(%s)", tk_hex_dump(text));
    auto out = tk_decode(text, code_page);
    if (!out) throw tk_exception_ex("Cannot convert to UNICODE string: ", EINVAL, 0);
    return std::move(*out);
}

bool tk_ucs2_to_ansi(std::u16string_view text, std::string& out) {
    auto converted = tk_encode(text, tk_cp_acp);
    if (!converted) return false;
    out = std::move(*converted);
    return true;
}

bool tk_ansi_to_ucs2(std::string_view text, std::u16string& out) {
    auto converted = tk_decode(text, tk_cp_acp);
    if (!converted) return false;
    out = std::move(*converted);
    return true;
}

char* tk_ucs2_to_ansi(char* buffer, std::u16string_view text, size_t room, int code_page) {
    if (buffer == nullptr || room == 0) return nullptr;
    auto converted = tk_encode(text, code_page);
    if (!converted || converted->size() + 1 > room) return nullptr;
    std::memcpy(buffer, converted->data(), converted->size());
    buffer[converted->size()] = '\0';
    return buffer;
}

int tk_compare_nocase(std::u16string_view a, std::u16string_view b) {
    UErrorCode status = U_ZERO_ERROR;
    const int32_t r =
        u_strCaseCompare(reinterpret_cast<const UChar*>(a.data()), static_cast<int32_t>(a.size()),
                         reinterpret_cast<const UChar*>(b.data()), static_cast<int32_t>(b.size()),
                         U_FOLD_CASE_DEFAULT, &status);
    if (U_FAILURE(status)) return a.compare(b);
    return r;
}

bool tk_equal_nocase(std::u16string_view a, std::u16string_view b) {
    return tk_compare_nocase(a, b) == 0;
}

bool tk_is_alpha(char16_t c) {
    return u_isalpha(c) != 0;
}
bool tk_is_alnum(char16_t c) {
    return u_isalnum(c) != 0;
}

std::u16string tk_wformat(size_t max_chars, const char16_t* format, ...) {
    va_list args;
    va_start(args, format);
    std::u16string out = tk_wformat_v(max_chars, format, args);
    va_end(args);
    return out;
}

namespace {

// Formats one numeric conversion with the C library and widens the ASCII result.
template <class T>
void append_number(std::u16string& out, const std::string& c_format, T value) {
    char small[128];
    int n = std::snprintf(small, sizeof small, c_format.c_str(), value);
    if (n < 0) return;
    if (static_cast<size_t>(n) < sizeof small) {
        out.append(small, small + n);
        return;
    }
    std::vector<char> big(static_cast<size_t>(n) + 1);
    std::snprintf(big.data(), big.size(), c_format.c_str(), value);
    out.append(big.data(), big.data() + n);
}

// Largest width or precision the formatter passes on to the C library.
constexpr long long kMaxWidth = 100000;

void append_padded(std::u16string& out, std::u16string_view text, bool left_align, int width) {
    const size_t pad = width > 0 && static_cast<size_t>(width) > text.size()
                           ? static_cast<size_t>(width) - text.size()
                           : 0;
    if (!left_align) out.append(pad, u' ');
    out.append(text);
    if (left_align) out.append(pad, u' ');
}

}  // namespace

std::u16string tk_wformat_v(size_t max_chars, const char16_t* format, va_list args) {
    std::u16string out;
    if (format == nullptr) return out;
    va_list ap;
    va_copy(ap, args);
    for (const char16_t* p = format; *p != 0 && out.size() < max_chars; ++p) {
        if (*p != u'%') {
            out += *p;
            continue;
        }
        // %[flags][width][.precision][length]conversion
        std::string c_format = "%";
        const char16_t* const start = p;
        const char16_t* q = p + 1;
        bool left_align = false;
        while (*q == u'-' || *q == u'+' || *q == u' ' || *q == u'#' || *q == u'0') {
            if (*q == u'-') left_align = true;
            c_format += static_cast<char>(*q++);
        }
        int width = -1;
        if (*q == u'*') {
            // Negated in 64 bits (INT_MIN has no int negation) and capped like a
            // written width: the text is cut at max_chars anyway, and an
            // unbounded width would only make the C library fill gigabytes.
            long long w = va_arg(ap, int);
            if (w < 0) {
                // A negative width is the "-" flag: the C library must see it too.
                left_align = true;
                c_format += '-';
                w = -w;
            }
            width = static_cast<int>(std::min(w, kMaxWidth));
            c_format += std::to_string(width);
            ++q;
        } else {
            while (*q >= u'0' && *q <= u'9') {
                width = (width < 0 ? 0 : width * 10) + (*q - u'0');
                if (width > kMaxWidth) width = static_cast<int>(kMaxWidth);
                c_format += static_cast<char>(*q++);
            }
        }
        int precision = -1;
        if (*q == u'.') {
            c_format += '.';
            ++q;
            precision = 0;
            if (*q == u'*') {
                // A negative precision argument counts as no precision at all.
                precision = va_arg(ap, int);
                if (precision < 0) {
                    precision = -1;
                    c_format.pop_back();
                } else {
                    precision = static_cast<int>(std::min<long long>(precision, kMaxWidth));
                    c_format += std::to_string(precision);
                }
                ++q;
            } else {
                while (*q >= u'0' && *q <= u'9') {
                    precision = precision * 10 + (*q - u'0');
                    if (precision > kMaxWidth) precision = static_cast<int>(kMaxWidth);
                    c_format += static_cast<char>(*q++);
                }
            }
        }
        enum { none, hh, h, l, ll, z, j, t, L } length = none;
        if (q[0] == u'I' && q[1] == u'6' && q[2] == u'4') {
            length = ll;
            q += 3;
        } else if (*q == u'h') {
            length = h;
            if (*++q == u'h') {
                length = hh;
                ++q;
            }
        } else if (*q == u'l') {
            length = l;
            if (*++q == u'l') {
                length = ll;
                ++q;
            }
        } else if (*q == u'z') {
            length = z;
            ++q;
        } else if (*q == u'j') {
            length = j;
            ++q;
        } else if (*q == u't') {
            length = t;
            ++q;
        } else if (*q == u'L') {
            length = L;
            ++q;
        }
        const char16_t conversion = *q;
        if (conversion == 0) break;
        p = q;
        switch (conversion) {
            case u'%':
                out += u'%';
                break;
            case u's': {
                const char16_t* s = va_arg(ap, const char16_t*);
                std::u16string_view text = s != nullptr ? std::u16string_view(s) : kNull;
                if (precision >= 0 && static_cast<size_t>(precision) < text.size())
                    text = text.substr(0, static_cast<size_t>(precision));
                append_padded(out, text, left_align, width);
                break;
            }
            case u'S': {
                const char* s = va_arg(ap, const char*);
                std::u16string wide;
                if (s == nullptr || !tk_ansi_to_ucs2(s, wide)) wide = kNull;
                std::u16string_view text = wide;
                if (precision >= 0 && static_cast<size_t>(precision) < text.size())
                    text = text.substr(0, static_cast<size_t>(precision));
                append_padded(out, text, left_align, width);
                break;
            }
            case u'c': {
                const char16_t c = static_cast<char16_t>(va_arg(ap, int));
                append_padded(out, std::u16string_view(&c, 1), left_align, width);
                break;
            }
            case u'd':
            case u'i':
            case u'u':
            case u'x':
            case u'X':
            case u'o': {
                const char conv = static_cast<char>(conversion);
                const bool is_signed = conv == 'd' || conv == 'i';
                switch (length) {
                    case ll:
                    case j:
                        if (is_signed)
                            append_number(out, c_format + "ll" + conv, va_arg(ap, long long));
                        else
                            append_number(out, c_format + "ll" + conv,
                                          va_arg(ap, unsigned long long));
                        break;
                    case l:
                    case z:
                    case t:
                        if (is_signed)
                            append_number(out, c_format + "l" + conv, va_arg(ap, long));
                        else
                            append_number(out, c_format + "l" + conv, va_arg(ap, unsigned long));
                        break;
                    default:
                        if (is_signed)
                            append_number(out, c_format + conv, va_arg(ap, int));
                        else
                            append_number(out, c_format + conv, va_arg(ap, unsigned int));
                        break;
                }
                break;
            }
            case u'f':
            case u'F':
            case u'e':
            case u'E':
            case u'g':
            case u'G':
            case u'a':
            case u'A': {
                const char conv = static_cast<char>(conversion);
                if (length == L)
                    append_number(out, c_format + "L" + conv, va_arg(ap, long double));
                else
                    append_number(out, c_format + conv, va_arg(ap, double));
                break;
            }
            case u'p':
                append_number(out, c_format + "p", va_arg(ap, void*));
                break;
            default:
                // An unknown conversion is copied as it stands; no argument is taken.
                out.append(start, q + 1);
                break;
        }
    }
    va_end(ap);
    if (out.size() > max_chars) out.resize(max_chars);
    return out;
}
