#include "ol_types.h"

#include <cctype>
#include <vector>

#include "koci.h"

namespace ocilite {

namespace {

// A type text split into its words outside parentheses ("TIMESTAMP WITH TIME ZONE") and the
// numbers and words inside them ({6}, or {10} and the unit "CHAR").
struct type_text {
    std::string base;
    std::vector<std::int64_t> numbers;
    bool char_unit = false;
};

type_text split_type(std::string_view s) {
    type_text t;
    int depth = 0;
    std::string word;
    auto flush_word = [&] {
        if (word.empty()) return;
        if (depth == 0) {
            if (!t.base.empty()) t.base.push_back(' ');
            t.base += word;
        } else if (word == "CHAR") {
            t.char_unit = true;
        } else if (std::isdigit(static_cast<unsigned char>(word[0]))) {
            t.numbers.push_back(std::stoll(word.substr(0, 15)));
        }
        word.clear();
    };
    for (const char c : s) {
        const auto u = static_cast<unsigned char>(c);
        if (std::isalnum(u) || c == '_' || c == '$' || c == '#' || c == '-') {
            word.push_back(static_cast<char>(std::toupper(u)));
        } else {
            flush_word();
            if (c == '(') ++depth;
            if (c == ')' && depth > 0) --depth;
        }
    }
    flush_word();
    return t;
}

std::uint16_t clamp16(std::int64_t v) {
    return static_cast<std::uint16_t>(v < 0 ? 0 : v > 65535 ? 65535 : v);
}

}  // namespace

column_desc describe_catalog(std::string_view data_type, std::int64_t length,
                             std::optional<std::int64_t> prec, std::optional<std::int64_t> scale,
                             std::string_view char_used) {
    const type_text t = split_type(data_type);
    const std::string& b = t.base;
    auto num = [&](std::size_t i, std::int64_t dflt) {
        return i < t.numbers.size() ? t.numbers[i] : dflt;
    };
    column_desc d;
    d.char_used = char_used == "C" ? 1 : 0;
    if (b == "VARCHAR2" || b == "VARCHAR" || b == "CHAR" || b == "NVARCHAR2" || b == "NCHAR") {
        const bool national = b[0] == 'N';
        d.data_type = (b == "CHAR" || b == "NCHAR") ? SQLT_AFC : SQLT_CHR;
        d.data_size = clamp16(length);
        d.charset_form = national ? SQLCS_NCHAR : SQLCS_IMPLICIT;
        d.char_size = clamp16(national ? length / 2 : d.char_used ? length / 4 : length);
        d.kind = value_kind::text;
    } else if (b == "NUMBER" || b == "INTEGER" || b == "INT" || b == "SMALLINT" || b == "DECIMAL" ||
               b == "NUMERIC") {
        d.data_type = SQLT_NUM;
        d.data_size = 22;
        if (!prec && !scale) {
            d.precision = 0;
            d.scale = -127;
        } else if (!prec) {
            d.precision = 38;
            d.scale = static_cast<std::int8_t>(*scale);
        } else {
            d.precision = static_cast<std::int16_t>(*prec);
            d.scale = static_cast<std::int8_t>(scale.value_or(0));
        }
        d.kind = value_kind::number;
    } else if (b == "FLOAT") {
        d.data_type = SQLT_NUM;
        d.data_size = 22;
        d.precision = static_cast<std::int16_t>(prec.value_or(126));
        d.scale = -127;
        d.kind = value_kind::number;
    } else if (b == "BINARY_FLOAT" || b == "BINARY_DOUBLE") {
        const bool single = b == "BINARY_FLOAT";
        d.data_type = single ? SQLT_IBFLOAT : SQLT_IBDOUBLE;
        d.data_size = single ? 4 : 8;
        d.kind = single ? value_kind::binary_float : value_kind::binary_double;
    } else if (b == "DATE") {
        d.data_type = SQLT_DAT;
        d.data_size = 7;
        d.kind = value_kind::date;
    } else if (b == "TIMESTAMP") {
        d.data_type = SQLT_TIMESTAMP;
        d.data_size = 11;
        d.scale = static_cast<std::int8_t>(num(0, scale.value_or(6)));
        d.kind = value_kind::timestamp;
    } else if (b == "TIMESTAMP WITH TIME ZONE" || b == "TIMESTAMP WITH LOCAL TIME ZONE") {
        const bool local = b.find("LOCAL") != std::string::npos;
        d.data_type = local ? SQLT_TIMESTAMP_LTZ : SQLT_TIMESTAMP_TZ;
        d.data_size = local ? 11 : 13;
        d.scale = static_cast<std::int8_t>(num(0, scale.value_or(6)));
        d.kind = local ? value_kind::timestamp_ltz : value_kind::timestamp_tz;
    } else if (b == "INTERVAL YEAR TO MONTH") {
        d.data_type = SQLT_INTERVAL_YM;
        d.data_size = 5;
        d.precision = static_cast<std::int16_t>(num(0, prec.value_or(2)));
        d.kind = value_kind::interval_ym;
    } else if (b == "INTERVAL DAY TO SECOND") {
        d.data_type = SQLT_INTERVAL_DS;
        d.data_size = 11;
        d.precision = static_cast<std::int16_t>(num(0, prec.value_or(2)));
        d.scale = static_cast<std::int8_t>(num(1, scale.value_or(6)));
        d.kind = value_kind::interval_ds;
    } else if (b == "RAW") {
        d.data_type = SQLT_BIN;
        d.data_size = clamp16(length);
        d.kind = value_kind::raw;
    } else if (b == "LONG") {
        d.data_type = SQLT_LNG;
        d.kind = value_kind::long_text;
    } else if (b == "LONG RAW") {
        d.data_type = SQLT_LBI;
        d.kind = value_kind::long_raw;
    } else if (b == "ROWID" || b == "UROWID") {
        d.data_type = SQLT_RDD;
        d.data_size = b == "ROWID" ? 10 : clamp16(length);
        d.kind = value_kind::text;
    } else if (b == "CLOB" || b == "NCLOB") {
        d.data_type = SQLT_CLOB;
        d.data_size = 4000;
        d.charset_form = b == "NCLOB" ? SQLCS_NCHAR : SQLCS_IMPLICIT;
        d.kind = value_kind::clob;
    } else if (b == "BLOB" || b == "BFILE") {
        d.data_type = b == "BLOB" ? SQLT_BLOB : SQLT_BFILEE;
        d.data_size = b == "BLOB" ? 4000 : 530;
        d.kind = value_kind::blob;
    } else {
        // XMLTYPE and user-defined object types are named types.
        d.data_type = SQLT_NTY;
        d.data_size = clamp16(length);
        d.type_name = b;
        d.kind = value_kind::display;
    }
    return d;
}

std::optional<column_desc> describe_declared(std::string_view declared) {
    const type_text t = split_type(declared);
    const std::string& b = t.base;
    auto num = [&](std::size_t i) -> std::optional<std::int64_t> {
        if (i < t.numbers.size()) return t.numbers[i];
        return std::nullopt;
    };
    if (b == "VARCHAR2" || b == "VARCHAR" || b == "CHAR" || b == "RAW") {
        std::int64_t n = num(0).value_or(1);
        if (t.char_unit) n = std::min<std::int64_t>(4 * n, 4000);
        return describe_catalog(b, n, std::nullopt, std::nullopt, t.char_unit ? "C" : "B");
    }
    if (b == "NVARCHAR2" || b == "NCHAR")
        return describe_catalog(b, 2 * num(0).value_or(1), std::nullopt, std::nullopt, "C");
    if (b == "NUMBER" || b == "DECIMAL" || b == "NUMERIC") {
        auto p = num(0);
        auto s = num(1);
        if (p && !s) s = 0;
        return describe_catalog("NUMBER", 22, p, s, "");
    }
    if (b == "INTEGER" || b == "INT" || b == "SMALLINT")
        return describe_catalog("NUMBER", 22, std::nullopt, 0, "");
    if (b == "FLOAT") return describe_catalog("FLOAT", 22, num(0), std::nullopt, "");
    if (b == "BINARY_FLOAT" || b == "BINARY_DOUBLE" || b == "DATE" || b == "LONG" ||
        b == "LONG RAW" || b == "ROWID" || b == "CLOB" || b == "NCLOB" || b == "BLOB" ||
        b == "BFILE" || b == "XMLTYPE" || b.rfind("TIMESTAMP", 0) == 0 ||
        b.rfind("INTERVAL", 0) == 0)
        return describe_catalog(declared, 0, std::nullopt, std::nullopt, "");
    // The dictionary declares its LONG columns "LONG VARCHAR" to get SQLite text affinity.
    if (b == "LONG VARCHAR") return describe_catalog("LONG", 0, {}, {}, "");
    if (b == "UROWID") return describe_catalog(b, num(0).value_or(4000), {}, {}, "");
    return std::nullopt;
}

}  // namespace ocilite
