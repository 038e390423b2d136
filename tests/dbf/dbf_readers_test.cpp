// Independent readers (python3-dbfread, python3-dbf) against the tables this
// system writes, and this system's reader against the same readers on the
// real files of tests/data/dbf.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "dbf_database.h"
#include "dbf_exception.h"
#include "dbf_format.h"
#include "dbf_recordset.h"
#include "dbf_json.h"
#include "dbf_record.h"
#include "dbf_test_util.h"
#include "tk_codepage.h"
#include "udb_record.h"

using dbf_test::json_date;
using dbf_test::json_number;
using dbf_test::json_string;
using dbf_test::json_value;
using dbf_test::temp_folder;

namespace {

const char* const python = "/usr/bin/python3";

std::string script() { return std::string(KESTREL_SOURCE_DIR) + "/tests/dbf/check_readers.py"; }

// The independent readers are installed by the set-up script; a developer
// machine without them skips these tests, but CI must never pass without them.
bool python_readers_available() {
    const bool present =
        std::system("/usr/bin/python3 -c 'import dbfread, dbf' >/dev/null 2>&1") == 0;
    if (!present && std::getenv("CI") != nullptr) {
        ADD_FAILURE() << "CI is set but python3-dbfread / python3-dbf are not installed";
    }
    return present;
}

// Runs the check script; returns its exit status and output.
int run_check(const std::string& arguments, std::string& output) {
    const std::string command = std::string(python) + " " + script() + " " + arguments + " 2>&1";
    output.clear();
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return -1;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
    int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::u16string w(const std::string& s) { return tk_utf8_to_ucs2(s); }

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

struct column {
    const char* name;
    uint16_t vt;
    uint32_t size;
    uint32_t reserved;
};

// Appends rows of (value, expected JSON) to a new table and writes the
// expectations beside it.
void write_table(dbf_database& db, const std::string& folder, const std::string& name,
                 const std::vector<column>& columns,
                 const std::vector<std::vector<std::pair<ole_variant, std::string>>>& rows) {
    udb_schema schema;
    for (const auto& c : columns)
        schema.add(t_ftd(c.size, w(c.name), c.vt, false, false, ole_variant(), c.reserved));
    auto table = db.create_table(w(name), schema, udb_indexes());
    std::string json = "[\n";
    for (size_t r = 0; r < rows.size(); ++r) {
        udb_record record;
        json += r ? ",\n{" : "{";
        for (size_t i = 0; i < columns.size(); ++i) {
            record.emplace_back<udb_field>(w(columns[i].name), 0, rows[r][i].first);
            json += (i ? ", " : "") + json_string(columns[i].name) + ": " + rows[r][i].second;
        }
        json += "}";
        try {
            table->append_record(record);
        } catch (const dbf_exception&) {
            // numbers wider than their field: reported, record written
        }
    }
    json += "\n]\n";
    dbf_test::write_all(folder + "/" + name + ".expected.json", json);
}

std::string s(const std::string& text) { return json_string("s:" + text); }

std::string memo_text(size_t n) {
    std::string text;
    for (size_t i = 0; i < n; ++i) text += char('a' + i % 26);
    return text;
}

}  // namespace

TEST(DbfIndependentReaders, ReadEveryTypeWeWrite) {
    if (!python_readers_available()) GTEST_SKIP() << "python3-dbfread / python3-dbf not installed";
    tk_set_ansi_code_page(1252);
    temp_folder dir;
    dbf_database db(w(dir.str()), 4, 0);
    const ole_variant null;
    auto dec = [](const char* t) { return ole_variant(*ole_decimal::from_string(t)); };

    // Every type of the mapping; the last rows hold NULLs and memo sizes
    // around the block boundary.
    const std::vector<column> all = {
        {"NAME", VT_BSTR, 12, 0},     {"CODE", VT_BSTR, 1, 0},    {"LONGTEXT", VT_BSTR, 254, 0},
        {"QTY", VT_I4, 0, 0},         {"SMALL", VT_I2, 0, 0},     {"TINY", VT_I1, 0, 0},
        {"PRICE", VT_DECIMAL, 0, 10 * 256 + 2},                   {"RATIO", VT_R4, 0, 0},
        {"WEIGHT", VT_R8, 0, 0},      {"ACTIVE", VT_BOOL, 0, 0},  {"BORN", VT_DATE, 0, 2},
        {"STAMP", VT_DATE, 0, 1},     {"NOTES", VT_BSTR, 0, 0},
    };
    const std::string long254 = memo_text(254);
    std::vector<std::vector<std::pair<ole_variant, std::string>>> rows = {
        {{ole_variant(u"Grüße"), s("Grüße")}, {ole_variant(u"x"), s("x")},
         {ole_variant(w(long254)), s(long254)}, {ole_variant(123456), "123456"},
         {ole_variant(short(-32768)), "-32768"}, {ole_variant(char(-128)), "-128"},
         {dec("-12345678.91"), "-12345678.91"}, {ole_variant(1.5f), "1.5"},
         {ole_variant(-2.25e-10), json_number(-2.25e-10)}, {ole_variant(true), "true"},
         {ole_variant(when(2004, 1, 15)), "\"d:2004-01-15\""},
         {ole_variant(when(2004, 1, 15, 10, 30, 5)), "\"dt:2004-01-15 10:30:05\""},
         {ole_variant(u"short memo"), s("short memo")}},
        // Numbers wider than their fields: asterisks, read as empty.
        {{ole_variant(u"too wide"), s("too wide")}, {ole_variant(u"y"), s("y")},
         {ole_variant(u""), s("")}, {ole_variant(int64_t(123456789012LL)), "null"},
         {ole_variant(1234567), "null"}, {ole_variant(short(10000)), "null"},
         {dec("123456789012.5"), "null"}, {ole_variant(-0.25f), "-0.25"},
         {ole_variant(1e300), json_number(1e300)}, {ole_variant(false), "false"},
         {ole_variant(when(1900, 2, 28)), "\"d:1900-02-28\""},
         {ole_variant(when(1999, 12, 31, 23, 59, 59)), "\"dt:1999-12-31 23:59:59\""},
         {ole_variant(w(memo_text(510))), s(memo_text(510))}},
        {{ole_variant(u"memo 511"), s("memo 511")}, {null, s("")}, {null, s("")},
         {ole_variant(-1), "-1"}, {ole_variant(short(0)), "0"}, {ole_variant(char(127)), "127"},
         {dec("0.01"), "0.01"}, {ole_variant(0.0f), "0"}, {ole_variant(0.0), "0"},
         {ole_variant(true), "true"}, {ole_variant(when(2000, 2, 29)), "\"d:2000-02-29\""},
         {ole_variant(when(2000, 2, 29)), "\"dt:2000-02-29 00:00:00\""},
         {ole_variant(w(memo_text(511))), s(memo_text(511))}},
        {{ole_variant(u"memo 100000"), s("memo 100000")}, {null, s("")}, {null, s("")},
         {null, "null"}, {null, "null"}, {null, "null"}, {null, "null"}, {null, "null"},
         {ole_variant(3.0), "3"}, {null, "null"}, {null, "null"}, {null, "null"},
         {ole_variant(w(memo_text(100000))), s(memo_text(100000))}},
        // NULL in every field.  A 'B' field has no empty form: 0.
        {{null, s("")}, {null, s("")}, {null, s("")}, {null, "null"}, {null, "null"},
         {null, "null"}, {null, "null"}, {null, "null"}, {null, "0"}, {null, "null"},
         {null, "null"}, {null, "null"}, {null, "null"}},
        {{ole_variant(u"empty memo"), s("empty memo")}, {null, s("")}, {null, s("")},
         {null, "null"}, {null, "null"}, {null, "null"}, {null, "null"}, {null, "null"},
         {null, "0"}, {null, "null"}, {null, "null"}, {null, "null"},
         {ole_variant(u""), "null"}},
    };
    write_table(db, dir.str(), "alltypes", all, rows);

    // The dBASE III types only (C, N, D, L, M): python3-dbf reads no others
    // in a dBASE III table.
    const std::vector<column> classic = {{"NAME", VT_BSTR, 20, 0},
                                         {"QTY", VT_I4, 0, 0},
                                         {"PRICE", VT_DECIMAL, 0, 8 * 256 + 3},
                                         {"ACTIVE", VT_BOOL, 0, 0},
                                         {"BORN", VT_DATE, 0, 2},
                                         {"NOTES", VT_BSTR, 0, 0}};
    std::vector<std::vector<std::pair<ole_variant, std::string>>> classic_rows = {
        {{ole_variant(u"Zoë"), s("Zoë")}, {ole_variant(-7), "-7"}, {dec("-1.5"), "-1.5"},
         {ole_variant(true), "true"}, {ole_variant(when(1987, 3, 1)), "\"d:1987-03-01\""},
         {ole_variant(w(memo_text(511))), s(memo_text(511))}},
        {{ole_variant(u"wide"), s("wide")}, {ole_variant(int64_t(99999999999LL)), "99999999999"},
         {dec("1234567.891"), "null"}, {ole_variant(false), "false"},
         {ole_variant(when(2038, 1, 19)), "\"d:2038-01-19\""}, {ole_variant(u"m"), s("m")}},
        {{null, s("")}, {null, "null"}, {null, "null"}, {null, "null"}, {null, "null"},
         {null, "null"}},
    };
    write_table(db, dir.str(), "classic", classic, classic_rows);
    dbf_test::write_all(dir.file("python_dbf_tables.json"), "[\"classic\"]\n");

    std::string output;
    EXPECT_EQ(run_check("written " + dir.str(), output), 0) << output;
}

// This system's reader against dbfread on the real files.
TEST(DbfIndependentReaders, RealFilesReadAlike) {
    if (!python_readers_available()) GTEST_SKIP() << "python3-dbfread / python3-dbf not installed";
    tk_set_ansi_code_page(1252);
    struct {
        const char* file;
        const char* encoding;  // the code page this system reads the texts in
        const char* skip = "";  // fields the independent reader is known to misread
        const char* reader = "dbfread";
    } files[] = {
        {"dbase_03.dbf", "cp1252"},     {"dbase_83.dbf", "cp1252"},
        {"dbase_8b.dbf", "cp1252", "MEMO"},     {"dbase_30.dbf", "cp1252"},
        {"dbase_31.dbf", "cp1252"},     {"cp1251.dbf", "cp1251"},
        {"memotest.dbf", "cp1252"},     {"people.dbf", "cp1252"},
        {"PYACFL.DBF", "cp1252"},       {"vfp9_30_memo.dbf", "cp1252"},
        {"vfp9_memo_bs1.dbf", "cp1252"}, {"pr90.dbf", "cp1252"},
        {"continents.dbf", "cp1252"},   {"POST986.dbf", "cp866"},
        {"contacts.dbf", "cp1252"},
        // Every byte of code page 437, the control codes included.
        {"TEST1OEM.DBF", "cp437"},
        // Marks 0x4D and 0x7A (936) and 0x7C (874).
        {"cp936.dbf", "cp936"},         {"gbk_mark_7a.dbf", "cp936"},
        {"dbase_currency.dbf", "cp874"},
        {"ansi_mark_57.dbf", "cp1252"}, {"float_fields.dbf", "cp1252"},
        {"zero_width_field.dbf", "cp1252"}, {"fpt_binary_memo.dbf", "cp1252"},
        // dbfread reads a memo past the end of its file as an empty text.
        {"memo_block_past_end.dbf", "cp1252", "NOTES"},
        // dbfread takes the 16-bit width of character fields; the dbf
        // package reads such tables.
        {"char_decimals_in_byte17.dbf", "cp1252", "", "dbf"},
    };
    temp_folder dir;
    for (const auto& f : files) {
        SCOPED_TRACE(f.file);
        const std::string path = dir.copy_in(f.file);
        for (const char* companion : {".dbt", ".fpt", ".FPT"}) {
            std::string base = std::string(f.file);
            base = base.substr(0, base.rfind('.')) + companion;
            if (std::ifstream(dbf_test::data_path(base)).good()) dir.copy_in(base);
        }
        dbf_recordset table(path, u"t", dbf_recordset::mode_read, 0);
        std::string json = "[\n";
        bool first = true;
        for (table.move_first(); !table.is_eof(); table.next()) {
            auto* record = static_cast<dbf_record*>(table.get_item());
            if (record->deleted()) continue;
            json += first ? "{" : ",\n{";
            first = false;
            for (size_t i = 0; i < record->size(); ++i) {
                const udb_field& field = record->at(i);
                json += (i ? ", " : "") + json_string(tk_ucs2_to_utf8(field.name())) + ": " +
                        json_value(field, dbf_fd_type(table.layout().fields[i]));
            }
            json += "}";
        }
        json += "\n]\n";
        dbf_test::write_all(path + ".json", json);
        std::string output;
        EXPECT_EQ(run_check("dump " + path + " " + path + ".json " + f.encoding + " '" + f.skip +
                                "' " + f.reader,
                            output),
                  0)
            << output;
    }
}
