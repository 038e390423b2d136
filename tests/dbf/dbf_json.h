// A value of a DBF field as the JSON the reader check script compares:
// null, true/false, numbers, "s:text", "d:YYYY-MM-DD", "dt:YYYY-MM-DD HH:MM:SS".
#pragma once

#include <cstdio>
#include <string>

#include "ole_variant.h"
#include "tk_string.h"

namespace dbf_test {

inline std::string json_string(const std::string& utf8) {
    std::string out = "\"";
    for (unsigned char c : utf8) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (c < 0x20) {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
            out += buffer;
        } else {
            out += char(c);
        }
    }
    return out + "\"";
}

inline std::string json_number(double d) {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.17g", d);
    return buffer;
}

inline std::string json_date(const ole_systemtime& st, bool with_time) {
    char buffer[64];
    if (with_time)
        std::snprintf(buffer, sizeof buffer, "dt:%04d-%02d-%02d %02d:%02d:%02d", st.year, st.month,
                      st.day, st.hour, st.minute, st.second);
    else
        std::snprintf(buffer, sizeof buffer, "d:%04d-%02d-%02d", st.year, st.month, st.day);
    return json_string(buffer);
}

// The JSON of a value read from a field of the given type letter.
inline std::string json_value(const ole_variant& v, char type) {
    switch (v.vt()) {
        case VT_EMPTY:
        case VT_NULL:
            return "null";
        case VT_BSTR:
            return json_string("s:" + tk_ucs2_to_utf8(v.get_bstr()));
        case VT_BOOL:
            return v.to_bool() ? "true" : "false";
        case VT_DATE:
            return json_date(v.get_date(), type != 'D');
        case VT_DECIMAL:
            return v.get_decimal().to_string();
        case VT_CY:
            return v.get_cy().to_string();
        default:
            return json_number(v.to_double());
    }
}

}  // namespace dbf_test
