// The Visual FoxPro format this system writes (the layout of new tables, the
// field types, the .fpt memo writer, null flags) and what every new table
// carries: the code-page mark of its texts and the year counted from 1900.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "dbf_codec.h"
#include "dbf_database.h"
#include "dbf_exception.h"
#include "dbf_file.h"
#include "dbf_memo_file.h"
#include "dbf_record.h"
#include "dbf_recordset.h"
#include "dbf_test_util.h"
#include "tk_codepage.h"
#include "tk_string.h"
#include "udb_record.h"

using dbf_test::read_all;
using dbf_test::temp_folder;

namespace {

std::u16string w(const std::string& s) {
    return tk_utf8_to_ucs2(s);
}
const unsigned char* u8(const std::string& s) {
    return reinterpret_cast<const unsigned char*>(s.data());
}
bool exists(const std::string& p) {
    return std::filesystem::exists(p);
}

udb_record record_of(const std::vector<ole_variant>& values) {
    udb_record record;
    for (size_t i = 0; i < values.size(); ++i)
        record.emplace_back<udb_field>(u"F" + w(std::to_string(i)), 0, values[i]);
    return record;
}

}  // namespace

TEST(DbfCodePageMark, WrittenMarkReadsBackAsItsCodePage) {
    const struct {
        int code_page;
        uint8_t mark;
    } cases[] = {{1252, 0x03}, {1251, 0xC9}, {1250, 0xC8}, {866, 0x65}, {1253, 0xCB}, {1254, 0xCA},
                 {1256, 0x7E}, {1255, 0x7D}, {874, 0x7C},  {437, 0x01}, {850, 0x02},  {852, 0x64},
                 {936, 0x7A},  {1257, 0},    {1258, 0},    {28591, 0},  {0, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code_page);
        EXPECT_EQ(dbf_mark_for_codepage(c.code_page), c.mark);
    }
    // Every code page a mark names gets a mark that names it again.
    for (int mark = 1; mark < 256; ++mark) {
        const int code_page = dbf_codepage_for_mark(uint8_t(mark));
        if (code_page == 0) continue;
        SCOPED_TRACE(mark);
        EXPECT_EQ(dbf_codepage_for_mark(dbf_mark_for_codepage(code_page)), code_page);
    }
}

TEST(DbfCodePageMark, NewTablesCarryTheMarkOfTheAnsiCodePage) {
    for (const auto& [code_page, mark] :
         std::vector<std::pair<int, uint8_t>>{{1251, 0xC9}, {1252, 0x03}, {1257, 0x00}}) {
        SCOPED_TRACE(code_page);
        tk_set_ansi_code_page(code_page);
        temp_folder dir;
        for (dbf_format format : {dbf_format::dbase3, dbf_format::vfp}) {
            dbf_database db(w(dir.str()), 4, 0, format);
            udb_schema schema;
            schema.add(t_ftd(10, u"NAME", VT_BSTR));
            const std::u16string name = w(dbf_format_name(format));
            db.create_table(name, schema, udb_indexes());
            EXPECT_EQ(
                uint8_t(read_all(dir.file(dbf_format_name(format) + std::string(".dbf")))[29]),
                mark);
        }
    }
    tk_set_ansi_code_page(1252);
}

TEST(DbfHeaderYear, BothFormsOfTheYearByte) {
    EXPECT_EQ(dbf_header_year(126), 2026);  // counted from 1900
    EXPECT_EQ(dbf_header_year(26), 2026);   // modulo 100
    EXPECT_EQ(dbf_header_year(99), 1999);
    EXPECT_EQ(dbf_header_year(80), 1980);
    EXPECT_EQ(dbf_header_year(0), 2000);
    EXPECT_EQ(dbf_header_year(255), 2155);
}

TEST(DbfFormatNames, ParseAndPrint) {
    dbf_format f = dbf_format::dbase3;
    EXPECT_TRUE(dbf_parse_format("VFP", f));
    EXPECT_EQ(f, dbf_format::vfp);
    EXPECT_STREQ(dbf_format_name(f), "vfp");
    EXPECT_TRUE(dbf_parse_format("dBase3", f));
    EXPECT_EQ(f, dbf_format::dbase3);
    for (const char* bad : {"", "dbase", "vfp ", "foxpro", "dbase4"}) {
        f = dbf_format::vfp;
        EXPECT_FALSE(dbf_parse_format(bad, f)) << bad;
        EXPECT_EQ(f, dbf_format::vfp) << bad;
    }
}

TEST(DbfVfpImage, HeaderNullFlagsBacklinkAndDisplacements) {
    dbf_table_options options;
    options.format = dbf_format::vfp;
    options.codepage_mark = 0xC9;
    std::vector<dbf_field_descriptor> fields;
    for (int i = 0; i < 9; ++i) fields.push_back(dbf_make_descriptor("I", 'I', 4, 0));
    fields.push_back(dbf_make_descriptor("NOTES", 'M', 4, 0));
    const std::string image = dbf_build_table_image(fields, 2026, 12, 8, options);
    const dbf_header h = dbf_parse_header(u8(image));
    EXPECT_EQ(h.version, 0x30);
    EXPECT_EQ(h.flags, 0x02);  // a memo file
    EXPECT_EQ(h.codepage_mark, 0xC9);
    EXPECT_EQ(h.year, 126);
    // Ten fields and _NullFlags, the terminator, the 263-byte backlink.
    EXPECT_EQ(h.header_length, 32 + 11 * 32 + 1 + 263);
    EXPECT_EQ(image.size(), size_t(h.header_length));
    EXPECT_EQ(image[32 + 11 * 32], '\x0D');
    EXPECT_EQ(image.substr(32 + 11 * 32 + 1), std::string(263, '\0'));
    // One bit per field: two bytes of flags.
    EXPECT_EQ(h.record_length, 1 + 9 * 4 + 4 + 2);
    const unsigned char* nulls = u8(image) + 32 + 10 * 32;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(nulls), 11),
              std::string("_NullFlags\0", 11));
    EXPECT_EQ(nulls[11], '0');
    EXPECT_EQ(nulls[16], 2);
    EXPECT_EQ(nulls[18], dbf_flag_system | dbf_flag_binary);
    for (int i = 0; i < 11; ++i) {
        const unsigned char* fd = u8(image) + 32 + 32 * i;
        EXPECT_EQ(dbf_le32(fd + 12), uint32_t(1 + 4 * i)) << "field " << i;
        if (i < 10) {
            EXPECT_EQ(fd[18] & dbf_flag_nullable, dbf_flag_nullable) << "field " << i;
        }
    }
}

TEST(DbfVfpImage, TableWithoutMemoHasNoMemoFlag) {
    dbf_table_options options;
    options.format = dbf_format::vfp;
    const std::string image =
        dbf_build_table_image({dbf_make_descriptor("A", 'C', 3, 0)}, 2000, 1, 1, options);
    EXPECT_EQ(dbf_parse_header(u8(image)).flags, 0);
    EXPECT_EQ(dbf_parse_header(u8(image)).year, 100);
}

TEST(DbfVfpTypeMapping, EveryKindGetsItsNativeType) {
    const struct {
        uint16_t vt;
        uint32_t size;
        uint32_t reserved;
        char type;
        int width, decimals, flags;
    } cases[] = {
        {VT_I1, 0, 0, 'I', 4, 0, 0},
        {VT_I2, 0, 0, 'I', 4, 0, 0},
        {VT_I4, 0, 0, 'I', 4, 0, 0},
        {VT_UI2, 0, 0, 'I', 4, 0, 0},
        {VT_UI4, 0, 0, 'N', 20, 0, 0},
        {VT_I8, 0, 0, 'N', 20, 0, 0},
        {VT_R4, 0, 0, 'B', 8, 0, 0},
        {VT_R8, 0, 0, 'B', 8, 0, 0},
        {VT_CY, 0, 0, 'Y', 8, 4, 0},
        {VT_DECIMAL, 0, 10 * 256 + 2, 'N', 12, 2, 0},
        {VT_DATE, 0, 1, 'T', 8, 0, 0},
        {VT_DATE, 0, 2, 'D', 8, 0, 0},
        {VT_BOOL, 0, 0, 'L', 1, 0, 0},
        {VT_BSTR, 10, 0, 'C', 11, 0, 0},
        {VT_BSTR, 300, 0, 'M', 4, 0, 0},
        {VT_BSTR, 0, 0, 'M', 4, 0, 0},
        {VT_BLOB, 0, 0, 'M', 4, 0, dbf_flag_binary},
        {VT_BINARY, 16, 0, 'M', 4, 0, dbf_flag_binary},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.vt) + "/" + std::to_string(c.reserved));
        const auto fd = dbf_create_field(
            t_ftd(c.size, u"X", c.vt, false, false, ole_variant(), c.reserved), dbf_format::vfp);
        EXPECT_EQ(char(fd[11]), c.type);
        EXPECT_EQ(fd[16], c.width);
        EXPECT_EQ(fd[17], c.decimals);
        EXPECT_EQ(fd[18], c.flags);
    }
}

TEST(FptMemoWriter, CreateAppendAndReopen) {
    temp_folder dir;
    const std::string path = dir.file("t.fpt");
    {
        auto memo = fpt_memo_file::create(path);
        EXPECT_EQ(memo->next_block(), 8u);
        EXPECT_EQ(memo->append_memo(std::string(100, 'a'), false), 8u);
        // 8 + 100 bytes take two blocks of 64.
        EXPECT_EQ(memo->append_memo(std::string("\0\1\2", 3), true), 10u);
        EXPECT_EQ(memo->next_block(), 11u);
    }
    const std::string bytes = read_all(path);
    ASSERT_EQ(bytes.size(), 11u * 64);  // whole blocks
    EXPECT_EQ(dbf_be32(u8(bytes)), 11u);
    EXPECT_EQ(dbf_be16(u8(bytes) + 6), 64u);
    EXPECT_EQ(dbf_be32(u8(bytes) + 512), fpt_memo_file::block_text);
    EXPECT_EQ(dbf_be32(u8(bytes) + 516), 100u);
    EXPECT_EQ(dbf_be32(u8(bytes) + 640), fpt_memo_file::block_binary);
    EXPECT_EQ(dbf_be32(u8(bytes) + 644), 3u);
    {
        fpt_memo_file memo(path, dbf_memo_vfp, true);
        EXPECT_EQ(memo.read_memo(8), std::string(100, 'a'));
        EXPECT_EQ(memo.read_memo(10), std::string("\0\1\2", 3));
        EXPECT_EQ(memo.append_memo("next", false), 11u);
        // Read before the memo reaches the file: it is written first.
        EXPECT_EQ(memo.read_memo(11), "next");
    }
    EXPECT_EQ(dbf_be32(u8(read_all(path))), 12u);
}

TEST(FptMemoWriter, AppendingRefusesAHeaderThatPointsIntoItself) {
    temp_folder dir;
    const std::string path = dir.file("t.fpt");
    std::string header(512, '\0');
    header[3] = 2;  // next free block 2 of 64 bytes: inside the header
    header[7] = 64;
    dbf_test::write_all(path, header);
    EXPECT_THROW(fpt_memo_file(path, dbf_memo_vfp, true), dbf_exception);
    EXPECT_NO_THROW(fpt_memo_file(path, dbf_memo_vfp, false));  // reading is fine
}

TEST(DbfVfpTable, NullsSetTheirFlagsAndReadBackAsNull) {
    tk_set_ansi_code_page(1252);
    temp_folder dir;
    dbf_database db(w(dir.str()), 4, 0, dbf_format::vfp);
    udb_schema schema;
    schema.add(t_ftd(0, u"N", VT_I4));
    schema.add(t_ftd(0, u"D", VT_R8));
    schema.add(t_ftd(0, u"T", VT_DATE, false, false, ole_variant(), 1));
    schema.add(t_ftd(0, u"L", VT_BOOL));
    schema.add(t_ftd(5, u"C", VT_BSTR));
    schema.add(t_ftd(0, u"M", VT_BSTR));
    schema.add(t_ftd(0, u"B", VT_BLOB));
    schema.add(t_ftd(0, u"Y", VT_CY));
    schema.add(t_ftd(0, u"I8", VT_I8));
    const std::string raw("\0\xff", 2);
    {
        auto table = db.create_table(u"t", schema, udb_indexes());
        table->append_record(
            record_of({ole_variant(), ole_variant(), ole_variant(), ole_variant(), ole_variant(),
                       ole_variant(), ole_variant(), ole_variant(), ole_variant()}));
        table->append_record(
            record_of({ole_variant(0), ole_variant(0.0), ole_variant(), ole_variant(false),
                       ole_variant(u""), ole_variant(u"memo"),
                       ole_variant(raw.size(), reinterpret_cast<const uint8_t*>(raw.data())),
                       ole_variant(ole_cy{0}), ole_variant(int64_t(-9223372036854775807LL - 1))}));
    }
    EXPECT_TRUE(exists(dir.file("t.fpt")));
    EXPECT_FALSE(exists(dir.file("t.dbt")));
    const std::string bytes = read_all(dir.file("t.dbf"));
    const dbf_header h = dbf_parse_header(u8(bytes));
    // Nine fields: two bytes of flags at the end of each record.
    const size_t first = h.header_length, second = first + h.record_length;
    EXPECT_EQ(uint8_t(bytes[second - 2]), 0xFF);
    EXPECT_EQ(uint8_t(bytes[second - 1]), 0x01);
    // Only the NULL date: not the zeros, false or the empty text.
    EXPECT_EQ(uint8_t(bytes[second + h.record_length - 2]), 0x04);
    EXPECT_EQ(uint8_t(bytes[second + h.record_length - 1]), 0x00);

    dbf_recordset table(dir.file("t.dbf"), u"t", dbf_recordset::mode_read, 0);
    ASSERT_EQ(table.schema().size(), 9u);  // _NullFlags is no field of its own
    EXPECT_EQ(table.layout().null_flags_width, 2u);
    table.move_first();
    auto* r = static_cast<dbf_record*>(table.get_item());
    for (size_t i = 0; i < r->size(); ++i) EXPECT_TRUE(r->at(i).is_empty()) << i;
    table.next();
    r = static_cast<dbf_record*>(table.get_item());
    EXPECT_EQ(r->at(0).value().vt(), VT_I4);
    EXPECT_EQ(r->at(0).value().to_long(), 0);
    EXPECT_EQ(r->at(1).value().vt(), VT_R8);
    EXPECT_TRUE(r->at(2).is_empty());
    EXPECT_EQ(r->at(3).value().vt(), VT_BOOL);
    EXPECT_FALSE(r->at(3).value().to_bool());
    EXPECT_EQ(r->at(5).value().get_bstr(), u"memo");
    EXPECT_EQ(r->at(6).value().get_bstr(), std::u16string(u"\u0000\u00ff", 2));
    EXPECT_EQ(table.schema().at(6).vartype, VT_BLOB);
    EXPECT_EQ(r->at(7).value().vt(), VT_CY);
    EXPECT_EQ(r->at(8).value().to_string(), "-9223372036854775808");
}

TEST(DbfVfpTable, DeletingATableRemovesItsFptMemoFile) {
    tk_set_ansi_code_page(1252);
    temp_folder dir;
    {
        dbf_database db(w(dir.str()), 4, 0, dbf_format::vfp);
        udb_schema schema;
        schema.add(t_ftd(0, u"NOTES", VT_BSTR));
        db.create_table(u"a", schema, udb_indexes());
        db.create_table(u"b", schema, udb_indexes());
        db.delete_tab(u"a");
    }
    EXPECT_FALSE(exists(dir.file("a.dbf")));
    EXPECT_FALSE(exists(dir.file("a.fpt")));
    EXPECT_TRUE(exists(dir.file("b.fpt")));
    dbf_database again(w(dir.str()), 4, 0);
    again.delete_all_tables();  // mode 0's emptying
    EXPECT_FALSE(exists(dir.file("b.dbf")));
    EXPECT_FALSE(exists(dir.file("b.fpt")));
}

TEST(DbfVfpTable, AppendingToAnExistingTableContinuesItsMemoFile) {
    tk_set_ansi_code_page(1252);
    temp_folder dir;
    dbf_database db(w(dir.str()), 4, 0, dbf_format::vfp);
    udb_schema schema;
    schema.add(t_ftd(0, u"NOTES", VT_BSTR));
    db.create_table(u"t", schema, udb_indexes())->append_record(record_of({ole_variant(u"one")}));
    db.get_table(u"t", dbf_recordset::mode_append)->append_record(record_of({ole_variant(u"two")}));
    dbf_recordset table(dir.file("t.dbf"), u"t", dbf_recordset::mode_read, 0);
    std::vector<std::u16string> memos;
    for (table.move_first(); !table.is_eof(); table.next())
        memos.push_back(table.get_item()->at(0).value().get_bstr());
    EXPECT_EQ(memos, (std::vector<std::u16string>{u"one", u"two"}));
}

// Foreign Visual FoxPro tables: the flags number only the nullable fields,
// and a variable-length field takes a bit after its null bit.
TEST(DbfVfpLayout, NullBitsOfForeignTables) {
    temp_folder dir;
    std::vector<dbf_field_descriptor> fields = {
        dbf_make_descriptor("KEY", 'I', 4, 0), dbf_make_descriptor("A", 'I', 4, 0),
        dbf_make_descriptor("V", 'V', 10, 0), dbf_make_descriptor("B", 'I', 4, 0)};
    fields[1][18] = dbf_flag_nullable;
    fields[2][18] = dbf_flag_nullable;
    fields[3][18] = dbf_flag_nullable;
    dbf_field_descriptor nulls = dbf_make_descriptor("_NullFlags", '0', 1, 0);
    nulls[18] = dbf_flag_system | dbf_flag_binary;
    fields.push_back(nulls);
    dbf_header h;
    h.version = 0x30;
    h.header_length = uint16_t(32 + 32 * fields.size() + 1 + 263);
    h.record_length = 1 + 4 + 4 + 10 + 4 + 1;
    h.record_count = 1;
    std::string image(h.header_length, '\0');
    dbf_store_header(h, reinterpret_cast<unsigned char*>(image.data()));
    for (size_t i = 0; i < fields.size(); ++i)
        std::memcpy(image.data() + 32 + 32 * i, fields[i].data(), 32);
    image[32 + 32 * fields.size()] = '\x0D';
    std::string record(h.record_length, '\0');
    record[0] = ' ';
    record[1] = 7;                              // KEY
    record[5] = 8;                              // A
    std::memcpy(&record[9], "0123456789", 10);  // full length: its bit stays 0
    record[19] = 9;                             // B
    record[23] = char(0x01 | 0x08);             // A (bit 0) and B (bit 3) are NULL
    dbf_test::write_all(dir.file("f.dbf"), image + record);
    dbf_recordset table(dir.file("f.dbf"), u"f", dbf_recordset::mode_read, 0);
    EXPECT_EQ(table.layout().null_bits, (std::vector<int>{-1, 0, 1, 3}));
    table.move_first();
    auto* r = table.get_item();
    EXPECT_EQ(r->at(0).value().to_long(), 7);
    EXPECT_TRUE(r->at(1).is_empty());
    EXPECT_EQ(r->at(2).value().get_bstr(), u"0123456789");
    EXPECT_TRUE(r->at(3).is_empty());
}

// A table without memo fields has no memo file, doubles or not: dbfread
// asks for one beside every table with a 'B' field, but python3-dbf refuses
// a table whose memo file belongs to no memo field.
TEST(DbfVfpTable, DoublesWithoutMemosHaveNoMemoFile) {
    tk_set_ansi_code_page(1252);
    temp_folder dir;
    dbf_database db(w(dir.str()), 4, 0, dbf_format::vfp);
    udb_schema schema;
    schema.add(t_ftd(0, u"D", VT_R8));
    db.create_table(u"t", schema, udb_indexes())->append_record(record_of({ole_variant(2.5)}));
    EXPECT_FALSE(exists(dir.file("t.fpt")));
    EXPECT_EQ(uint8_t(read_all(dir.file("t.dbf"))[28]), 0);
    dbf_recordset table(dir.file("t.dbf"), u"t", dbf_recordset::mode_read, 0);
    EXPECT_FALSE(table.has_memo_file());
    table.move_first();
    EXPECT_EQ(table.get_item()->at(0).value().to_double(), 2.5);
}

// A reader of decimal references (LibreOffice) must not find another memo
// through a binary block number whose bytes read as digits.
TEST(FptMemoWriter, LeavesBlocksWhoseNumberReadsAsDigitsUnused) {
    EXPECT_FALSE(fpt_memo_file::reads_as_decimal_reference(8));
    EXPECT_TRUE(fpt_memo_file::reads_as_decimal_reference(0x30));     // "0"
    EXPECT_TRUE(fpt_memo_file::reads_as_decimal_reference(0x3900));   // " 9"
    EXPECT_TRUE(fpt_memo_file::reads_as_decimal_reference(0x312D));   // "-1"
    EXPECT_FALSE(fpt_memo_file::reads_as_decimal_reference(0x3A));    // ":"
    EXPECT_FALSE(fpt_memo_file::reads_as_decimal_reference(0x3041));  // "A0"
    temp_folder dir;
    const std::string path = dir.file("t.fpt");
    std::vector<uint32_t> blocks;
    {
        auto memo = fpt_memo_file::create(path);
        for (int i = 0; i < 400; ++i) blocks.push_back(memo->append_memo("memo", false));
    }
    fpt_memo_file memo(path, dbf_memo_vfp);
    for (size_t i = 0; i < blocks.size(); ++i) {
        EXPECT_FALSE(fpt_memo_file::reads_as_decimal_reference(blocks[i])) << blocks[i];
        if (i > 0) {
            EXPECT_GT(blocks[i], blocks[i - 1]);
        }
        EXPECT_EQ(memo.read_memo(blocks[i]), "memo");
    }
    EXPECT_EQ(blocks[40], 58u);  // 48 .. 57 left out
}
