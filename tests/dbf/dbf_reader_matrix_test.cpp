// Every kind of column the type mapping knows, written in each DBF format
// and in two code pages, read back by this system's reader and by the
// independent readers (python3-dbfread, python3-dbf, GDAL's ogr2ogr and
// LibreOffice where installed) without any encoding or parser option.
// reader_matrix.py compares every value with what was written and the
// verdicts with the measured table in reader_matrix.md (also in README.md).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "dbf_database.h"
#include "dbf_exception.h"
#include "dbf_json.h"
#include "dbf_record.h"
#include "dbf_recordset.h"
#include "dbf_test_util.h"
#include "tk_codepage.h"
#include "udb_record.h"

using dbf_test::json_string;
using dbf_test::temp_folder;

namespace {

std::u16string w(const std::string& s) {
    return tk_utf8_to_ucs2(s);
}

ole_systemtime when(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
    ole_systemtime st;
    st.year = uint16_t(y);
    st.month = uint16_t(mo);
    st.day = uint16_t(d);
    st.hour = uint16_t(h);
    st.minute = uint16_t(mi);
    st.second = uint16_t(s);
    return st;
}

ole_variant dec(const char* text) {
    return ole_variant(*ole_decimal::from_string(text));
}

ole_variant cy(const char* text) {
    return ole_variant(*ole_cy::from_string(text));
}

ole_variant bytes(const std::string& raw) {
    return ole_variant(raw.size(), reinterpret_cast<const uint8_t*>(raw.data()));
}

std::string hex(const std::string& raw) {
    std::string out;
    char buffer[4];
    for (unsigned char c : raw) {
        std::snprintf(buffer, sizeof buffer, "%02x", c);
        out += buffer;
    }
    return out;
}

std::string memo_text(size_t n, const std::string& letters) {
    // letters: UTF-8 of single-byte letters of the table's code page.
    const std::u16string wide = w(letters);
    std::u16string text;
    for (size_t i = 0; i < n; ++i) text += wide[i % wide.size()];
    return tk_ucs2_to_utf8(text);
}

// A column: its kind (the row of the matrix), the t_ftd it comes from.
struct column {
    const char* name;
    const char* kind;
    uint16_t vt;
    uint32_t size;
    uint32_t reserved;
};

// A cell: the value appended and the tagged JSON of what a reader must give
// (null, "i:", "n:" exact decimal, "f:" double, "s:", "d:", "t:", "l:", "x:").
struct cell {
    ole_variant value;
    std::string expected;
};

std::string tagged(const char* tag, const std::string& text) {
    return json_string(tag + text);
}

// Writes one table and its expectations (TABLE.expected.json).
void write_table(const std::string& folder, dbf_format format, int code_page,
                 const std::string& name, const std::vector<column>& columns,
                 const std::vector<std::vector<cell>>& rows) {
    tk_set_ansi_code_page(code_page);
    dbf_database db(w(folder), 4, 0, format);
    udb_schema schema;
    for (const auto& c : columns)
        schema.add(t_ftd(c.size, w(c.name), c.vt, false, false, ole_variant(), c.reserved));
    std::string json = "{\"format\": " + json_string(dbf_format_name(format)) +
                       ", \"code_page\": " + std::to_string(code_page) + ", \"columns\": [";
    for (size_t i = 0; i < columns.size(); ++i)
        json += std::string(i ? ", " : "") + "[" + json_string(columns[i].name) + ", " +
                json_string(columns[i].kind) + "]";
    json += "], \"rows\": [\n";
    {
        auto table = db.create_table(w(name), schema, udb_indexes());
        for (size_t r = 0; r < rows.size(); ++r) {
            udb_record record;
            json += r ? ",\n[" : "[";
            for (size_t i = 0; i < columns.size(); ++i) {
                record.emplace_back<udb_field>(w(columns[i].name), 0, rows[r][i].value);
                json += (i ? ", " : "") + rows[r][i].expected;
            }
            json += "]";
            try {
                table->append_record(record);
            } catch (const dbf_exception&) {
                // A number wider than its field: written as asterisks, the
                // readers' verdict shows it.
            }
        }
    }
    json += "\n]}\n";
    dbf_test::write_all(folder + "/" + name + ".expected.json", json);
}

// What this system's reader reads from a table, as the script's rows.
void dump_own_reading(const std::string& folder, const std::string& name, int code_page) {
    tk_set_ansi_code_page(code_page == 1251 ? 1252 : 1251);  // the mark must decide
    dbf_recordset table(folder + "/" + name + ".dbf", w(name), dbf_recordset::mode_read, 0);
    std::string json = "[\n";
    bool first = true;
    for (table.move_first(); !table.is_eof(); table.next()) {
        auto* record = static_cast<dbf_record*>(table.get_item());
        json += first ? "[" : ",\n[";
        first = false;
        for (size_t i = 0; i < record->size(); ++i) {
            const ole_variant& v = record->at(i).value();
            const t_ftd& ftd = table.schema().at(i);
            std::string item;
            if (v.is_empty()) {
                item = "null";
            } else if (ftd.vartype == VT_BLOB) {
                std::string raw;
                for (char16_t c : v.get_bstr()) raw += char(c);
                item = tagged("x:", hex(raw));
            } else if (v.vt() == VT_I8 || v.vt() == VT_UI8) {
                item = v.to_string();  // every digit, which a double would not keep
            } else {
                item = dbf_test::json_value(v, dbf_fd_type(table.layout().fields[i]));
            }
            json += (i ? ", " : "") + item;
        }
        json += "]";
    }
    json += "\n]\n";
    dbf_test::write_all(folder + "/" + name + ".kestrel.json", json);
}

int run_matrix(const std::string& folder, std::string& output) {
    const std::string command = std::string("/usr/bin/python3 ") + KESTREL_SOURCE_DIR +
                                "/tests/dbf/reader_matrix.py check " + folder + " " +
                                KESTREL_SOURCE_DIR + "/tests/dbf/reader_matrix.md 2>&1";
    output.clear();
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return -1;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
    const int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool python_readers_available() {
    const bool present =
        std::system("/usr/bin/python3 -c 'import dbfread, dbf' >/dev/null 2>&1") == 0;
    if (!present && std::getenv("CI") != nullptr)
        ADD_FAILURE() << "CI is set but python3-dbfread / python3-dbf are not installed";
    return present;
}

}  // namespace

TEST(DbfReaderMatrix, EveryKindInEachFormatReadByEveryReader) {
    if (!python_readers_available()) GTEST_SKIP() << "python3-dbfread / python3-dbf not installed";
    temp_folder temp;
    // KESTREL_MATRIX_FOLDER keeps the tables (to look at them, or to write
    // the measured matrix with "reader_matrix.py write").
    const char* keep = std::getenv("KESTREL_MATRIX_FOLDER");
    const std::string folder = keep != nullptr && *keep != '\0' ? keep : temp.str();
    const ole_variant null;
    const std::vector<column> kinds = {
        {"INT8", "integer NUMBER(1..2)", VT_I1, 0, 0},
        {"INT16", "integer NUMBER(3..4)", VT_I2, 0, 0},
        {"INT32", "integer NUMBER(5..9)", VT_I4, 0, 0},
        {"INT64", "integer NUMBER(10..20)", VT_I8, 0, 0},
        {"DECIMAL", "decimal NUMBER(10,2)", VT_DECIMAL, 0, 10 * 256 + 2},
        {"FLOAT4", "BINARY_FLOAT", VT_R4, 0, 0},
        {"DOUBLE", "NUMBER, FLOAT, BINARY_DOUBLE", VT_R8, 0, 0},
        {"MONEY", "currency", VT_CY, 0, 0},
        {"DAY", "date without time", VT_DATE, 0, 2},
        {"STAMP", "DATE, TIMESTAMP", VT_DATE, 0, 1},
        {"FLAG", "logical", VT_BOOL, 0, 0},
        {"NAME", "text, Western letters (1252)", VT_BSTR, 20, 0},
        {"NOTES", "memo text, 0 to 100,000 bytes (1252)", VT_BSTR, 0, 0},
        {"PICTURE", "binary (BLOB, RAW, LONG RAW)", VT_BLOB, 0, 0},
    };
    const std::string western = "Grüße àéîõü ÆØÅ ç";
    const std::string binary("\x89PNG\r\n\x1a\n\x00\x01\x7f\x80\x81\x8d\xfe\xff", 16);
    auto s = [](const std::string& t) { return tagged("s:", t); };
    std::vector<std::vector<cell>> rows = {
        {{ole_variant(char(-128)), "\"i:-128\""},
         {ole_variant(short(-32768)), "\"i:-32768\""},
         {ole_variant(-2147483647 - 1), "\"i:-2147483648\""},
         {ole_variant(int64_t(-9223372036854775807LL - 1)), "\"i:-9223372036854775808\""},
         {dec("-12345678.91"), "\"n:-12345678.91\""},
         {ole_variant(1.5f), "\"f:1.5\""},
         {ole_variant(-2.25e-10), "\"f:-2.25e-10\""},
         {cy("-123456789.1234"), "\"n:-123456789.1234\""},
         {ole_variant(when(1900, 2, 28)), "\"d:1900-02-28\""},
         {ole_variant(when(2004, 1, 15, 10, 30, 5)), "\"t:2004-01-15 10:30:05\""},
         {ole_variant(true), "\"l:true\""},
         {ole_variant(w(western)), s(western)},
         {ole_variant(w(memo_text(1, western))), s(memo_text(1, western))},
         {bytes(binary), tagged("x:", hex(binary))}},
        {{ole_variant(char(99)), "\"i:99\""},
         {ole_variant(short(9999)), "\"i:9999\""},
         {ole_variant(2147483647), "\"i:2147483647\""},
         {ole_variant(int64_t(9223372036854775807LL)), "\"i:9223372036854775807\""},
         {dec("0.01"), "\"n:0.01\""},
         {ole_variant(-0.25f), "\"f:-0.25\""},
         {ole_variant(1e300), "\"f:1e+300\""},
         {cy("12.3456"), "\"n:12.3456\""},
         {ole_variant(when(2038, 1, 19)), "\"d:2038-01-19\""},
         {ole_variant(when(1999, 12, 31, 23, 59, 59)), "\"t:1999-12-31 23:59:59\""},
         {ole_variant(false), "\"l:false\""},
         {ole_variant(u"plain"), s("plain")},
         {ole_variant(w(memo_text(511, western))), s(memo_text(511, western))},
         {bytes(std::string(1, '\0')), "\"x:00\""}},
        {{ole_variant(char(0)), "\"i:0\""},
         {ole_variant(short(0)), "\"i:0\""},
         {ole_variant(0), "\"i:0\""},
         {ole_variant(int64_t(0)), "\"i:0\""},
         {dec("0"), "\"n:0\""},
         {ole_variant(0.0f), "\"f:0\""},
         {ole_variant(0.0), "\"f:0\""},
         {cy("0"), "\"n:0\""},
         {ole_variant(when(2000, 2, 29)), "\"d:2000-02-29\""},
         {ole_variant(when(2000, 2, 29)), "\"t:2000-02-29 00:00:00\""},
         {ole_variant(true), "\"l:true\""},
         {ole_variant(u"x"), s("x")},
         {ole_variant(w(memo_text(512, western))), s(memo_text(512, western))},
         {bytes(std::string(600, '\x1a')), tagged("x:", hex(std::string(600, '\x1a')))}},
        {{ole_variant(char(1)), "\"i:1\""},
         {ole_variant(short(1)), "\"i:1\""},
         {ole_variant(1), "\"i:1\""},
         {ole_variant(int64_t(1)), "\"i:1\""},
         {dec("99999999.99"), "\"n:99999999.99\""},
         {ole_variant(3.0f), "\"f:3\""},
         {ole_variant(0.1), "\"f:0.1\""},
         {cy("1"), "\"n:1\""},
         {ole_variant(when(1987, 3, 1)), "\"d:1987-03-01\""},
         {ole_variant(when(2021, 2, 22, 0, 57, 11)), "\"t:2021-02-22 00:57:11\""},
         {ole_variant(false), "\"l:false\""},
         {ole_variant(w(western)), s(western)},
         {ole_variant(w(memo_text(100000, western))), s(memo_text(100000, western))},
         {bytes(std::string(70000, '\xab')), tagged("x:", hex(std::string(70000, '\xab')))}},
        // NULL in every field.
        std::vector<cell>(kinds.size(), cell{null, "null"}),
    };
    // An empty memo text is no memo at all: NULL.
    rows.push_back(rows[1]);
    rows.back()[12] = {ole_variant(u""), "null"};
    // The Cyrillic table: texts and memos in 1251.
    const std::vector<column> cyrillic = {
        {"ID", "integer NUMBER(5..9)", VT_I4, 0, 0},
        {"NAME", "text, Cyrillic letters (1251)", VT_BSTR, 30, 0},
        {"NOTES", "memo text, Cyrillic (1251)", VT_BSTR, 0, 0},
    };
    const std::string russian = "Съешь же ещё этих мягких булок";
    const std::vector<std::vector<cell>> cyrillic_rows = {
        {{ole_variant(1), "\"i:1\""},
         {ole_variant(w(russian)), s(russian)},
         {ole_variant(w(memo_text(700, russian))), s(memo_text(700, russian))}},
        {{ole_variant(2), "\"i:2\""}, {ole_variant(u"Ёё Щщ"), s("Ёё Щщ")}, {null, "null"}},
    };
    // Doubles in a table without memo fields (readers that take 'B' for a
    // memo look for a memo file there).
    const std::vector<column> no_memo = {
        {"DOUBLE", "double in a table without memo fields", VT_R8, 0, 0}};
    const std::vector<std::vector<cell>> no_memo_rows = {{{ole_variant(0.5), "\"f:0.5\""}},
                                                         {{null, "null"}}};
    for (dbf_format format : {dbf_format::dbase3, dbf_format::vfp}) {
        SCOPED_TRACE(dbf_format_name(format));
        const std::string suffix = dbf_format_name(format);
        write_table(folder, format, 1252, "kinds_" + suffix, kinds, rows);
        write_table(folder, format, 1252, "no_memo_" + suffix, no_memo, no_memo_rows);
        dump_own_reading(folder, "no_memo_" + suffix, 1252);
        write_table(folder, format, 1251, "cyrillic_" + suffix, cyrillic, cyrillic_rows);
        dump_own_reading(folder, "kinds_" + suffix, 1252);
        dump_own_reading(folder, "cyrillic_" + suffix, 1251);
    }
    tk_set_ansi_code_page(1252);
    std::string output;
    EXPECT_EQ(run_matrix(folder, output), 0) << output;
    std::printf("%s", output.c_str());
}
