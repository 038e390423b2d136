// ole_variant: a text read as a value of every tag, as the DBF reader reads
// field texts and the Oracle reader reads Oracle's number texts.
//
// Input: byte 0 picks the tag (its value modulo the number of tags below);
// the rest is the text, read as ANSI text by from_string and, taken two bytes
// at a time (little-endian), as UTF-16 by from_wstring.
//
// What must hold:
//   - from_string and from_wstring raise only ole_type_exception, and only for
//     the tags that cannot be built from text (and VT_INT / VT_UINT texts that
//     are no integer);
//   - the value has the requested tag or is empty (VT_BLOB gives VT_BINARY);
//     VT_BSTR from a wide text is that text;
//   - printing never raises, nor do the numeric readings of a number, nor the
//     byte access of a binary; a copy prints as the original;
//   - what a value prints reads back as the same value (integers, currency,
//     decimals, binaries and dates by their text, doubles exactly).
#include <cmath>
#include <string>

#include "fuzz_support.h"
#include "fuzz_targets.h"
#include "ole_variant.h"
#include "tk_codepage.h"
#include "tk_exception.h"

namespace kestrel_fuzz {

namespace {

const VARTYPE kTags[] = {VT_EMPTY,  VT_NULL, VT_I2,          VT_I4,        VT_R4,
                         VT_R8,     VT_CY,   VT_DATE,        VT_BSTR,      VT_DISPATCH,
                         VT_ERROR,  VT_BOOL, VT_VARIANT,     VT_UNKNOWN,   VT_DECIMAL,
                         VT_I1,     VT_UI1,  VT_UI2,         VT_UI4,       VT_I8,
                         VT_UI8,    VT_INT,  VT_UINT,        VT_SAFEARRAY, VT_LPSTR,
                         VT_LPWSTR, VT_BLOB, VT_BLOB_OBJECT, VT_BINARY,    0xFFFF};

// The tags that from_string builds from any text without raising.
bool always_builds(VARTYPE vt) {
    switch (vt) {
        case VT_EMPTY:
        case VT_I2:
        case VT_I4:
        case VT_R4:
        case VT_R8:
        case VT_CY:
        case VT_DATE:
        case VT_BSTR:
        case VT_BOOL:
        case VT_DECIMAL:
        case VT_I1:
        case VT_UI1:
        case VT_UI2:
        case VT_UI4:
        case VT_I8:
        case VT_UI8:
        case VT_BLOB:
        case VT_BINARY:
            return true;
        default:
            return false;
    }
}

bool is_number(VARTYPE vt) {
    switch (vt) {
        case VT_EMPTY:
        case VT_I1:
        case VT_I2:
        case VT_I4:
        case VT_UI1:
        case VT_UI2:
        case VT_UI4:
        case VT_I8:
        case VT_UI8:
        case VT_R4:
        case VT_R8:
        case VT_DECIMAL:
        case VT_BOOL:
            return true;
        default:
            return false;
    }
}

// from_string or from_wstring; false when it raised as allowed.
template <class Text>
bool build(const Text& text, VARTYPE vt, ole_variant& out, std::string_view input) {
    try {
        if constexpr (std::is_same_v<Text, std::string>)
            out = ole_variant::from_string(text, vt);
        else
            out = ole_variant::from_wstring(text, vt);
    } catch (const ole_type_exception&) {
        fuzz_check(!always_builds(vt), "a tag built from any text raised ole_type_exception",
                   input);
        return false;
    } catch (const std::exception& e) {
        fuzz_fail(std::string("building a value from text raised ") + e.what(), input);
    }
    const VARTYPE expected = vt == VT_BLOB ? VT_BINARY : vt;
    fuzz_check(out.vt() == expected || out.vt() == VT_EMPTY,
               "a value built from text has another tag than the one asked for", input);
    return true;
}

void exercise(const ole_variant& v, std::string_view input) {
    try {
        const std::string printed = v.to_string();
        (void)v.to_wstring();
        if (is_number(v.vt())) {
            (void)v.to_long();
            (void)v.to_double();
            (void)v.to_bool();
        }
        if (v.vt() == VT_BINARY || v.is_empty()) {
            const uint8_t* bytes = nullptr;
            const int32_t n = v.get_bytes(bytes);
            fuzz_check(n == v.get_safe_array_size() && n >= 0,
                       "a binary's byte count differs between its two readings", input);
        }
        const ole_variant copy = v;
        fuzz_check(copy.vt() == v.vt() && copy.to_string() == printed,
                   "a copy prints otherwise than its original", input);
    } catch (const std::exception& e) {
        fuzz_fail(std::string("reading a value raised ") + e.what(), input);
    }
}

void check_round_trip(const ole_variant& v, std::string_view input) {
    const std::string printed = v.to_string();
    switch (v.vt()) {
        case VT_DECIMAL:
        case VT_CY:
        case VT_I1:
        case VT_I2:
        case VT_I4:
        case VT_UI1:
        case VT_UI2:
        case VT_UI4:
        case VT_I8:
        case VT_UI8:
        case VT_BINARY:
        case VT_DATE:
            fuzz_check(ole_variant::from_string(printed, v.vt()).to_string() == printed,
                       "a printed value reads back as another value", input);
            break;
        case VT_R8:
            if (!std::isnan(v.to_double()))
                fuzz_check(ole_variant::from_string(printed, VT_R8).to_double() == v.to_double(),
                           "a printed double reads back as another double", input);
            break;
        default:
            break;
    }
}

}  // namespace

int ole_variant_text(const uint8_t* data, size_t size) {
    static const bool once = [] {
        tk_set_ansi_code_page(1252);
        return true;
    }();
    (void)once;
    const std::string_view input = as_text(data, size);
    if (input.empty()) return 0;
    const VARTYPE vt = kTags[uint8_t(input[0]) % std::size(kTags)];
    const std::string text(input.substr(1));

    ole_variant v;
    if (build(text, vt, v, input)) {
        exercise(v, input);
        check_round_trip(v, input);
    }

    std::u16string wide;
    for (size_t i = 0; i + 1 < text.size(); i += 2)
        wide.push_back(char16_t(uint8_t(text[i]) | (uint8_t(text[i + 1]) << 8)));
    ole_variant w;
    if (build(wide, vt, w, input)) {
        if (vt == VT_BSTR)
            fuzz_check(w.vt() == VT_BSTR && w.get_bstr() == wide,
                       "a wide text read as VT_BSTR is not that text", input);
        exercise(w, input);
    }
    return 0;
}

}  // namespace kestrel_fuzz
