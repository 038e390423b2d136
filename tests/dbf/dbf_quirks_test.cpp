// The reader on the quirk tables of tests/data/dbf (make_quirk_tables.py) and
// on real files with the same quirks: values that were read wrongly or lost.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "dbf_exception.h"
#include "dbf_format.h"
#include "dbf_record.h"
#include "dbf_recordset.h"
#include "dbf_table_reader.h"
#include "dbf_test_util.h"
#include "tk_codepage.h"
#include "tk_string.h"
#include "udb_record.h"

using dbf_test::read_all;
using dbf_test::table_reader;
using dbf_test::temp_folder;

namespace {

std::string open_error(const std::string& file) {
    try {
        table_reader r(file);
    } catch (const dbf_exception& e) {
        return e.message();
    }
    return "opened";
}

std::string hex(std::string_view bytes) {
    std::string out;
    char buffer[4];
    for (unsigned char b : bytes) {
        std::snprintf(buffer, sizeof buffer, "%02X", b);
        out += buffer;
    }
    return out;
}

std::string narrow(const std::u16string& wide) {
    std::string out;
    for (char16_t c : wide) out += static_cast<char>(c);  // binary memos: one byte per char
    return out;
}

}  // namespace

TEST(DbfQuirks, Level7DoublesReadAsNumbers) {
    // The stored form of the first value, as dBASE 7 writes -199.99.
    const std::string bytes = read_all(dbf_test::data_path("level7_double.dbf"));
    ASSERT_GT(bytes.size(), 165u + 19u);
    EXPECT_EQ(hex(bytes.substr(165 + 1 + 10, 8)), "3F970051EB851EB7");

    table_reader r("level7_double.dbf");
    const t_ftd& amount = r.table->schema().find_field(u"AMOUNT");
    EXPECT_EQ(amount.vartype, VT_R8);
    EXPECT_EQ(amount.size, 8u);
    const double expected[] = {-199.99, 0.0, 1.5, 123456789.125, -1e-300, 1.7976931348623157e308};
    for (uint32_t i = 0; i < std::size(expected); ++i) {
        const ole_variant& v = r.value(i, u"AMOUNT");
        ASSERT_EQ(v.vt(), VT_R8) << i;
        EXPECT_EQ(v.to_double(), expected[i]) << r.text(i, u"NAME");
    }
    EXPECT_EQ(r.value(6, u"AMOUNT").vt(), VT_EMPTY);  // eight zero bytes: never set
}

TEST(DbfQuirks, Level7DoublesAppendedReadBack) {
    temp_folder dir;
    const std::string path = dir.copy_in("level7_double.dbf");
    tk_set_ansi_code_page(1252);
    {
        dbf_recordset table(path, u"t", dbf_recordset::mode_append, 0);
        const ole_variant amounts[] = {ole_variant(-2.5), ole_variant(), ole_variant(u"42.25")};
        for (const ole_variant& amount : amounts) {
            udb_record record;
            record.emplace_back<udb_field>(u"NAME", 0, ole_variant(u"new"));
            record.emplace_back<udb_field>(u"AMOUNT", 0, amount);
            table.append_record(record);
        }
        table.flush();
    }
    dbf_recordset table(path, u"t", dbf_recordset::mode_read, 0);
    ASSERT_EQ(table.record_count(), 10u);
    for (uint32_t i = 0; i < 7; ++i) table.next();
    EXPECT_EQ(table.get_item()->at(1).to_double(), -2.5);
    table.next();
    EXPECT_EQ(table.get_item()->at(1).vt(), VT_EMPTY);
    table.next();
    EXPECT_EQ(table.get_item()->at(1).to_double(), 42.25);
}

TEST(DbfQuirks, SortableDoublesSortAsBytes) {
    const double values[] = {-INFINITY, -1e300, -199.99, -1.0, -5e-324, -0.0,
                             0.0,       5e-324, 1e-300,  1.0,  199.99, INFINITY};
    std::string previous;
    for (double d : values) {
        unsigned char b[8];
        dbf_put_sortable_double(b, d);
        const std::string bytes(reinterpret_cast<const char*>(b), 8);
        EXPECT_LT(previous, bytes) << d;
        previous = bytes;
        const double back = dbf_get_sortable_double(b);
        EXPECT_EQ(back, d);
        EXPECT_EQ(std::signbit(back), std::signbit(d)) << d;
    }
}

// Every byte of a DOS table, 0x1A, 0x1C and 0x7F included, reads as the
// Windows table of its code page says (record i holds ten bytes i).
TEST(DbfQuirks, DosControlCodesReadUnchanged) {
    table_reader r("TEST1OEM.DBF");
    ASSERT_EQ(r.table->get_codepage(), 437);
    for (unsigned char b : {0x1A, 0x1C, 0x7F, 0x41}) {
        EXPECT_EQ(r.value(b - 1, u"CHARFIELD").get_bstr(), std::u16string(10, char16_t(b)))
            << std::hex << int(b);
    }
}

// A spreadsheet program's character fields keep a decimal count in byte 17:
// byte 16 alone is the width when the 16-bit width cannot fit.
TEST(DbfQuirks, CharacterFieldWithDecimalsInByte17) {
    table_reader r("char_decimals_in_byte17.dbf");
    ASSERT_EQ(r.field_names(), (std::vector<std::string>{"NAME", "QTY", "CITY"}));
    EXPECT_EQ(r.table->schema().find_field(u"NAME").size, 10u);
    EXPECT_EQ(r.table->schema().find_field(u"CITY").size, 8u);
    EXPECT_EQ(r.text(0, u"NAME"), "Alpha");
    EXPECT_EQ(r.value(0, u"QTY").to_long(), 12);
    EXPECT_EQ(r.text(0, u"CITY"), "Paris");
    EXPECT_EQ(r.text(1, u"CITY"), "Oslo");
    EXPECT_EQ(r.value(1, u"QTY").to_long(), -3);
}

// Descriptors that do not fit the record refuse the table instead of
// dropping fields (or leaving none) without a word.
TEST(DbfQuirks, ImpossibleDescriptorsRefuseTheTable) {
    EXPECT_EQ(open_error("char_field_past_record.dbf"), "File does not comply with DBF format");
    EXPECT_EQ(open_error("no_descriptor_fits.dbf"), "File does not comply with DBF format");
}

// FoxPro memos are their stored length: zero bytes inside do not cut them.
TEST(DbfQuirks, FoxProMemosKeepTheirZeroBytes) {
    table_reader r("fpt_binary_memo.dbf", {"fpt_binary_memo.fpt"});
    ASSERT_TRUE(r.table->has_memo_file());
    EXPECT_EQ(r.value(0, u"NOTES").get_bstr(), std::u16string(u"first line\0second line", 22));
    std::string picture = "\x89PNG\r\n\x1a\n";
    for (int b = 0; b < 256; ++b) picture += static_cast<char>(b);
    picture += std::string("\0\0\0\0IEND", 8);
    EXPECT_EQ(narrow(r.value(0, u"PIC").get_bstr()), picture);
    EXPECT_EQ(r.text(1, u"NOTES"), std::string(120, 'x') + std::string("\0end", 4));
    EXPECT_EQ(r.value(1, u"PIC").vt(), VT_EMPTY);
    EXPECT_EQ(r.text(2, u"NOTES"), "plain");
    EXPECT_TRUE(r.at(0).reports().empty());
}

// 'F' fields are decimal text read exactly; a number no DECIMAL holds reads
// as a double, a blank one as empty.
TEST(DbfQuirks, FloatFieldsReadExactly) {
    table_reader r("float_fields.dbf");
    EXPECT_EQ(r.table->schema().find_field(u"BIG").vartype, VT_DECIMAL);
    EXPECT_EQ(r.table->schema().find_field(u"FRACTION").reserved, (20u + 10u) * 256 + 10);
    struct {
        uint32_t record;
        const char16_t* field;
        const char* decimal;  // nullptr: a double
        double number;
    } cases[] = {
        {0, u"BIG", "123456789", 0},           {0, u"FRACTION", "0.1", 0},
        {0, u"NUM", "1234567.89", 0},          {1, u"BIG", "12345678901234567", 0},
        {1, u"FRACTION", "-3.1415926536", 0},  {2, u"BIG", nullptr, 1.5e40},
        {2, u"FRACTION", "0.000025", 0},       {2, u"NUM", "0", 0},
    };
    for (const auto& c : cases) {
        const ole_variant& v = r.value(c.record, c.field);
        SCOPED_TRACE(tk_ucs2_to_utf8(c.field) + " #" + std::to_string(c.record));
        if (c.decimal != nullptr) {
            ASSERT_EQ(v.vt(), VT_DECIMAL);
            EXPECT_EQ(v.get_decimal().to_string(), c.decimal);
        } else {
            ASSERT_EQ(v.vt(), VT_R8);
            EXPECT_EQ(v.to_double(), c.number);
        }
    }
    for (const char16_t* field : {u"BIG", u"FRACTION", u"NUM"})
        EXPECT_EQ(r.value(3, field).vt(), VT_EMPTY) << tk_ucs2_to_utf8(field);
}

TEST(DbfQuirks, BlankNumbersAreEmptyNotZero) {
    table_reader r("numeric_blank_point.dbf");
    const struct {
        uint32_t record;
        const char16_t* field;
        const char* value;  // nullptr: empty
    } cases[] = {
        {0, u"PRICE", nullptr}, {0, u"RATE", nullptr}, {0, u"QTY", nullptr},
        {1, u"PRICE", "12.5"},  {1, u"RATE", "-0.5"},  {1, u"QTY", nullptr},  // NUL bytes
        {2, u"PRICE", nullptr}, {2, u"RATE", nullptr}, {2, u"QTY", "7"},
    };
    for (const auto& c : cases) {
        const ole_variant& v = r.value(c.record, c.field);
        SCOPED_TRACE(tk_ucs2_to_utf8(c.field) + " #" + std::to_string(c.record));
        if (c.value == nullptr) {
            EXPECT_EQ(v.vt(), VT_EMPTY);
        } else {
            EXPECT_EQ(v.to_string(), c.value);
        }
    }
}

// A field of width 0 holds nothing; the fields after it are read.
TEST(DbfQuirks, ZeroWidthFieldDoesNotEndTheRecord) {
    table_reader r("zero_width_field.dbf");
    ASSERT_EQ(r.field_names(), (std::vector<std::string>{"A", "EMPTY", "B", "C"}));
    ASSERT_EQ(r.at(0).size(), 4u);
    EXPECT_EQ(r.text(0, u"EMPTY"), "");
    EXPECT_EQ(r.value(0, u"B").to_long(), 1);
    EXPECT_EQ(r.text(0, u"C"), "x");
    EXPECT_EQ(r.value(1, u"B").to_long(), 22);
    EXPECT_EQ(r.text(1, u"C"), "yz");
}

// A memo past the end of its file reads as empty with a report; the record's
// other values and the other records stay.
TEST(DbfQuirks, MemoBlockPastTheEndLosesOnlyThatMemo) {
    table_reader r("memo_block_past_end.dbf", {"memo_block_past_end.dbt"});
    ASSERT_TRUE(r.table->has_memo_file());
    EXPECT_EQ(r.text(0, u"NOTES"), "first memo");
    EXPECT_TRUE(r.at(0).reports().empty());

    const dbf_record& lost = r.at(1);
    EXPECT_EQ(lost.find(u"NOTES")->value().vt(), VT_EMPTY);
    EXPECT_EQ(tk_ucs2_to_utf8(lost.find(u"NAME")->value().get_bstr()), "two");
    EXPECT_EQ(lost.find(u"QTY")->value().to_long(), 2);
    ASSERT_EQ(lost.reports().size(), 1u);
    EXPECT_EQ(lost.reports()[0].message(),
              "Memo of field NOTES of table t, record #2 cannot be read (block 9: Failed to read "
              "MEMO field): read as empty");
    EXPECT_EQ(lost.reports()[0].level(), 0);

    EXPECT_EQ(r.text(2, u"NOTES"), "third memo");
    EXPECT_EQ(r.value(3, u"NOTES").vt(), VT_EMPTY);  // no reference: nothing lost
    EXPECT_TRUE(r.at(3).reports().empty());
}

// A memo file that cannot be read costs its memos, reported per record, not
// the table.
TEST(DbfQuirks, BrokenMemoFileLosesOnlyTheMemos) {
    table_reader r("memo_file_corrupt.dbf", {"memo_file_corrupt.fpt"});
    EXPECT_FALSE(r.table->has_memo_file());
    EXPECT_EQ(r.text(0, u"NAME"), "one");
    EXPECT_EQ(r.value(0, u"QTY").to_long(), 1);
    EXPECT_EQ(r.value(0, u"NOTES").vt(), VT_EMPTY);
    ASSERT_EQ(r.at(0).reports().size(), 1u);
    EXPECT_EQ(r.at(0).reports()[0].message(),
              "Memo of field NOTES of table t, record #1 cannot be read (Memo file is "
              "corrupted): read as empty");
    EXPECT_EQ(r.value(1, u"QTY").to_long(), 2);
    EXPECT_TRUE(r.at(1).reports().empty());  // no memo referred to

    // A missing memo file: the same, with its reason.
    table_reader missing("memotest.dbf");
    ASSERT_EQ(missing.at(0).reports().size(), 1u);
    EXPECT_NE(missing.at(0).reports()[0].message().find("(Memo file not found)"),
              std::string::npos);
}

// Appending into a table whose dBASE III memo file cannot be read must not
// replace that file with an empty one: the records with memos are refused.
TEST(DbfQuirks, BrokenMemoFileIsNotOverwrittenByAppends) {
    temp_folder dir;
    const std::string path = dir.copy_in("memo_block_past_end.dbf");
    dbf_test::write_all(dir.file("memo_block_past_end.dbt"), std::string(512, '\0'));  // next 0
    tk_set_ansi_code_page(1252);
    {
        dbf_recordset table(path, u"t", dbf_recordset::mode_append, 0);
        udb_record with_memo;
        with_memo.emplace_back<udb_field>(u"NAME", 0, ole_variant(u"five"));
        with_memo.emplace_back<udb_field>(u"NOTES", 0, ole_variant(u"a memo"));
        EXPECT_THROW(table.append_record(with_memo), dbf_exception);
        udb_record without;
        without.emplace_back<udb_field>(u"NAME", 0, ole_variant(u"six"));
        table.append_record(without);
        table.flush();
        EXPECT_EQ(table.record_count(), 5u);
    }
    EXPECT_EQ(read_all(dir.file("memo_block_past_end.dbt")), std::string(512, '\0'));
}

// Mark 0x7A (and 0x4D) is code page 936: texts and field names in GBK.
TEST(DbfQuirks, ChineseMarksReadGbk) {
    table_reader r("gbk_mark_7a.dbf");
    EXPECT_EQ(r.table->get_codepage(), 936);
    EXPECT_EQ(r.field_names(), (std::vector<std::string>{"名称", "ID"}));
    EXPECT_EQ(r.text(0, u"名称"), "测试中文");
    EXPECT_EQ(r.text(1, u"名称"), "北京");

    table_reader real("cp936.dbf");
    EXPECT_EQ(real.table->get_codepage(), 936);
    EXPECT_EQ(real.text(0, u"TEST"), "测试中文");
}

// Mark 0x57 is the ANSI mark of GIS programs, whose tables hold 1252 texts,
// whatever the ANSI code page of the reading process.
TEST(DbfQuirks, AnsiMark57ReadsWindowsWestern) {
    table_reader r("ansi_mark_57.dbf");
    tk_set_ansi_code_page(1251);
    EXPECT_EQ(r.table->get_codepage(), 1252);
    EXPECT_EQ(r.text(0, u"CITY"), "Zürich");
    EXPECT_EQ(r.text(0, u"NOTE"), "Øre €5");
    EXPECT_EQ(r.text(1, u"NOTE"), "Œuvre «x»");
    tk_set_ansi_code_page(1252);
}

TEST(DbfQuirks, CodePageMarksOfTheWindowsCodePages) {
    const std::pair<uint8_t, int> marks[] = {
        {0x57, 1252}, {0x4D, 936}, {0x4E, 949}, {0x4F, 950}, {0x50, 874}, {0x78, 950},
        {0x79, 949},  {0x7A, 936}, {0x7B, 932}, {0x7C, 874}, {0x7D, 1255},
    };
    for (const auto& [mark, code_page] : marks) {
        EXPECT_EQ(dbf_codepage_for_mark(mark), code_page) << std::hex << int(mark);
        EXPECT_TRUE(tk_is_code_page_supported(code_page)) << code_page;
    }
    EXPECT_STREQ(dbf_codepage_name(0x7A), "Chinese Simplified (PRC, Singapore) Windows");
}
