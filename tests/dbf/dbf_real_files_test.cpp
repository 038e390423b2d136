// This system's reader on the real files of tests/data/dbf: version, memo
// format, code page, fields and values as tests/data/dbf/SOURCES.md states.
#include <gtest/gtest.h>

#include "dbf_exception.h"
#include "dbf_format.h"
#include "dbf_record.h"
#include "dbf_recordset.h"
#include "dbf_table_reader.h"
#include "dbf_test_util.h"
#include "tk_codepage.h"
#include "tk_string.h"

using dbf_test::date_text;
using dbf_test::table_reader;
using dbf_test::temp_folder;


TEST(DbfRealFiles, DBase3WithMemoAcrossBlocks) {
    table_reader r("dbase_83.dbf", {"dbase_83.dbt"});
    EXPECT_EQ(r.table->memo_type(), dbf_memo_old);
    EXPECT_TRUE(r.table->has_memo_file());
    EXPECT_EQ(r.table->record_count(), 67u);
    ASSERT_EQ(r.table->schema().size(), 15u);
    EXPECT_EQ(r.value(0, u"ID").to_double(), 87);
    EXPECT_EQ(r.value(0, u"CATCOUNT").to_double(), 2);
    EXPECT_EQ(r.text(0, u"NAME"), "Assorted Petits Fours");
    EXPECT_EQ(r.text(0, u"THUMBNAIL"), "graphics/00000001/t_1.jpg");
    EXPECT_DOUBLE_EQ(r.value(0, u"WEIGHT").to_double(), 5.51);
    EXPECT_TRUE(r.value(0, u"TAXABLE").to_bool());
    std::string desc = r.text(0, u"DESC");
    EXPECT_EQ(desc.rfind("Our Original assortment...a little taste of heaven for everyone.  Let us\r\nselect", 0), 0u);
    EXPECT_EQ(desc.substr(desc.size() - 16), "Raspberry Blanc.");
    const t_ftd& id = r.table->schema().find_field(u"ID");
    EXPECT_EQ(id.vartype, VT_I8);  // N19.0
    EXPECT_EQ(id.size, 19u);
}

TEST(DbfRealFiles, DBase4MemoWithBlockHeader) {
    table_reader r("dbase_8b.dbf", {"dbase_8b.dbt"});
    EXPECT_EQ(r.table->memo_type(), dbf_memo_dbt);
    EXPECT_EQ(r.table->record_count(), 10u);
    EXPECT_EQ(r.text(0, u"CHARACTER"), "One");
    EXPECT_EQ(r.value(0, u"NUMERICAL").to_double(), 1);
    EXPECT_TRUE(r.value(0, u"LOGICAL").to_bool());
    EXPECT_NEAR(r.value(0, u"FLOAT").to_double(), 1.23456789012346, 1e-6);
    EXPECT_EQ(r.text(0, u"MEMO"), "First memo\r\n");
    EXPECT_EQ(r.text(1, u"MEMO"), "Second memo");
    EXPECT_EQ(r.text(9, u"CHARACTER"), "Ten records stored in this database");
    EXPECT_EQ(r.value(9, u"DATE").vt(), VT_EMPTY);
    EXPECT_EQ(r.value(9, u"MEMO").vt(), VT_EMPTY);
    EXPECT_NEAR(r.value(9, u"FLOAT").to_double(), 0.1, 1e-7);  // F: single precision
    for (uint32_t i = 0; i < 10; ++i) EXPECT_FALSE(r.at(i).deleted());
}

TEST(DbfRealFiles, Level7WithoutItsMemoFile) {
    table_reader r("dbase_8c.dbf");
    EXPECT_EQ(r.table->memo_type(), dbf_memo_dbt);
    EXPECT_FALSE(r.table->has_memo_file());  // "Memo file not found" caught
    EXPECT_EQ(r.field_names(), (std::vector<std::string>{"ID", "Name", "Species", "Length CM",
                                                         "Description", "OLE Graphic"}));
    EXPECT_EQ(r.value(0, u"ID").to_long(), 1);
    EXPECT_EQ(r.text(0, u"Name"), "Clown Triggerfish");
    EXPECT_EQ(r.value(0, u"Description").vt(), VT_EMPTY);
}

TEST(DbfRealFiles, Level7IntegersAndTimestamps) {
    table_reader ints("dBaseVII_int.dbf");
    std::vector<int32_t> values;
    for (uint32_t i = 0; i < 6; ++i) values.push_back(ints.value(i, u"INT").to_long());
    EXPECT_EQ(values, (std::vector<int32_t>{1, -1, 5000000, -5000000, 2147483647, -2147483647}));

    table_reader ts("dBaseVII_ts.dbf");
    std::vector<std::string> live;
    for (uint32_t i = 0; i < ts.table->record_count(); ++i)
        if (!ts.at(i).deleted()) live.push_back(date_text(ts.at(i).at(0)));
    EXPECT_EQ(live, (std::vector<std::string>{
                        "1900-01-01 00:00:00", "1900-01-02 00:00:00", "1900-01-03 00:00:00",
                        "2000-01-01 00:00:00", "2000-01-02 00:00:00", "2000-01-03 00:00:00",
                        "2000-01-04 00:00:00", "2000-01-05 00:00:00", "2000-01-10 00:00:00"}));
}

TEST(DbfRealFiles, Level7BinaryMemo) {
    table_reader r("inventory.dbf", {"inventory.dbt"});
    EXPECT_EQ(r.value(0, u"Item ID").to_long(), 1);
    EXPECT_EQ(r.value(0, u"Supplier ID").to_long(), 1);
    EXPECT_EQ(r.text(0, u"Description"), "Dartboard");
    EXPECT_EQ(r.value(0, u"Qty").to_long(), 53);
    EXPECT_EQ(r.text(1, u"Description"), "Ping Pong");
    EXPECT_EQ(r.value(1, u"Qty").to_long(), 69);
    const std::u16string& picture = r.value(0, u"Picture").get_bstr();
    ASSERT_EQ(picture.size(), 14037u);
    EXPECT_EQ(tk_ucs2_to_utf8(picture.substr(8, 6)), "GIF87a");
}

TEST(DbfRealFiles, VisualFoxProMemos) {
    table_reader r("dbase_30.dbf", {"dbase_30.fpt"});
    EXPECT_EQ(r.table->memo_type(), dbf_memo_vfp);
    EXPECT_EQ(r.table->record_count(), 34u);
    EXPECT_EQ(r.text(3, u"CLASSES"), "Agriculture\r\nFarms & Farming\r\n");
    EXPECT_EQ(r.value(0, u"FLAGDATE").vt(), VT_EMPTY);

    table_reader m("vfp9_30_memo.dbf", {"vfp9_30_memo.fpt"});
    EXPECT_EQ(m.text(0, u"MEMO"),
              "Memo of record 1. Which needs to be very long to be bigger than 64 bytes and take "
              "2 memo blocks");
    EXPECT_EQ(m.text(0, u"CHAR"), "Text1");
    EXPECT_EQ(m.value(0, u"NUM").get_decimal().to_string(), "999.5");
    EXPECT_EQ(date_text(m.value(0, u"DATE")), "2021-10-11 00:00:00");
    EXPECT_EQ(date_text(m.value(0, u"TIME")), "2021-10-11 22:34:50");
    EXPECT_TRUE(m.at(1).deleted());
    EXPECT_EQ(m.text(2, u"MEMO"), "Memo of record 3");
    EXPECT_EQ(date_text(m.value(2, u"TIME")), "2020-01-01 12:12:12");

    table_reader c("contacts.dbf", {"contacts.FPT"});
    EXPECT_TRUE(c.table->has_memo_file());  // found with its upper-case extension
    EXPECT_EQ(c.text(1, u"FIRST_NAME"), "Janet");
    EXPECT_EQ(c.text(1, u"NOTES").rfind("Janet has a B.S. degree in Chemistry", 0), 0u);
}

TEST(DbfRealFiles, MissingFptGivesEmptyMemos) {
    table_reader r("memotest.dbf");
    EXPECT_FALSE(r.table->has_memo_file());
    EXPECT_EQ(r.text(0, u"NAME"), "Alice");
    EXPECT_EQ(r.value(0, u"MEMO").vt(), VT_EMPTY);
    EXPECT_EQ(date_text(r.value(0, u"BIRTHDATE")), "1987-03-01 00:00:00");
    EXPECT_TRUE(r.at(2).deleted());
    EXPECT_EQ(r.text(2, u"NAME"), "Deleted Guy");

    table_reader with("memotest.dbf", {"memotest.FPT"});
    EXPECT_EQ(with.text(1, u"MEMO"), "Bob memo");
    EXPECT_EQ(with.text(2, u"MEMO"), "Deleted Guy memo");
}

TEST(DbfRealFiles, FoxPro2LongCharacterAndTextMemoReferences) {
    table_reader r("pr90.dbf", {"pr90.fpt"});
    EXPECT_EQ(r.table->memo_type(), dbf_memo_fpt);
    EXPECT_EQ(r.table->schema().find_field(u"NOTE").size, 300u);
    EXPECT_EQ(r.text(0, u"NOTE"), "He will call us on the 18th to settle - 123 xp");
    EXPECT_EQ(r.text(0, u"NOTEMEMO"), "He will call us on the 18th to settle - 123 xp");
    EXPECT_EQ(r.text(0, u"UCODE"), "MASTER     06/27/2007 11:27");
    EXPECT_EQ(r.value(0, u"N2").to_double(), 108551.0);
    std::string expected;
    for (int round = 0; round < 3; ++round)
        for (char d = '0'; d <= '9'; ++d) expected += std::string(10, d);
    EXPECT_EQ(r.text(1, u"NOTE"), expected);
}

TEST(DbfRealFiles, CodePageMarks) {
    table_reader cyr("cp1251.dbf");
    EXPECT_EQ(cyr.table->get_codepage(), 1251);
    EXPECT_EQ(cyr.field_names(), (std::vector<std::string>{"RN", "NAME"}));
    EXPECT_EQ(cyr.text(0, u"NAME"), "амбулаторно-поликлиническое");

    table_reader continents("continents.dbf");  // 0x57: the ANSI mark of GIS programs
    EXPECT_EQ(continents.table->get_codepage(), 1252);
    EXPECT_EQ(continents.text(0, u"name"), "North America");
    EXPECT_EQ(continents.text(6, u"name"), "Antarctica");

    // No mark in the file: the caller's mark decides.
    table_reader dos("SPXXXX0159.dbf", {}, 0x65);
    EXPECT_EQ(dos.table->get_codepage(), 866);
    EXPECT_EQ(dos.text(0, u"FAM"), "ПОРОШЕНКО");
    EXPECT_EQ(dos.text(0, u"OTCH"), "АЛЕКСЕЕВИЧ");
    EXPECT_EQ(dos.value(0, u"SUMMA").get_decimal().to_string(), "1300.52");

    // A wrong mark in the file: the caller's mark replaces it.
    table_reader mislabelled("cp850.dbf", {}, 0x02);
    EXPECT_EQ(mislabelled.text(0, u"TEXT"), "Äöü!§$%&/");

    table_reader oem("TEST1OEM.DBF");
    EXPECT_EQ(oem.table->get_codepage(), 437);
    EXPECT_EQ(oem.value(0, u"NUMFIELD").to_long(), 1);
    EXPECT_EQ(date_text(oem.value(0, u"DATEFIELD")), "1801-02-02 00:00:00");
    EXPECT_EQ(oem.text(254, u"CHARFIELD"), std::string(10, ' ').replace(0, 10, "") +
                                              tk_ucs2_to_utf8(std::u16string(10, u'\u00A0')));
    EXPECT_EQ(oem.text(129, u"CHARFIELD"), tk_ucs2_to_utf8(std::u16string(10, u'é')));
}

TEST(DbfRealFiles, CodePagesWithoutConverterReadOnlyAscii) {
    table_reader r("mazovia.dbf");
    EXPECT_EQ(r.table->get_codepage(), 620);
    EXPECT_EQ(r.text(0, u"A2"), "English");
    try {
        r.at(1);
        FAIL() << "a Mazovia text read without a converter";
    } catch (const dbf_exception& e) {
        EXPECT_EQ(e.message(), "Code page 620 is not supported");
        EXPECT_EQ(e.level(), 0);
    }
}

TEST(DbfRealFiles, HeaderOnlyTableAndNamesCutAtNul) {
    table_reader r("POST986.dbf");
    EXPECT_EQ(r.table->record_count(), 0u);
    EXPECT_TRUE(r.table->is_eof());
    EXPECT_EQ(r.table->get_item(), nullptr);
    EXPECT_EQ(r.field_names(),
              (std::vector<std::string>{"NUM", "CODE", "F", "I", "O", "DOC", "SERIES", "NUMBER",
                                        "DATAISSUE", "ZIP", "ADDRESS", "SNILS", "SUM", "MONTH",
                                        "YEAR", "NOTE", "REASON", "PERS_NUM"}));
    EXPECT_EQ(r.table->schema().find_field(u"SUM").reserved, 14u * 256 + 2);
    EXPECT_EQ(r.table->get_codepage(), 866);
}

TEST(DbfRealFiles, DeletedRecords) {
    table_reader r("PYACFL.DBF");
    EXPECT_EQ(r.table->record_count(), 45u);
    int deleted = 0;
    for (uint32_t i = 0; i < 45; ++i) deleted += r.at(i).deleted();
    EXPECT_EQ(deleted, 30);
    EXPECT_TRUE(r.at(0).deleted());
    EXPECT_EQ(r.text(0, u"AFCLPD"), "W");
    EXPECT_EQ(date_text(r.value(0, u"AFCRDA")), "1991-04-15 00:00:00");
}

TEST(DbfRealFiles, RejectedAndUnusualLayouts) {
    temp_folder dir;
    try {
        dbf_recordset t(dir.copy_in("polygon.dbf"), u"t", dbf_recordset::mode_read, 0);
        FAIL() << "a table with one-byte records opened";
    } catch (const dbf_exception& e) {
        EXPECT_EQ(e.message(), "File does not comply with DBF format");
    }
    // dBASE II: another layout altogether; whatever it yields, it stays
    // inside the file.
    try {
        dbf_recordset t(dir.copy_in("dbase_02.dbf"), u"t", dbf_recordset::mode_read, 0);
        for (t.move_first(); !t.is_eof(); t.next()) t.get_item();
    } catch (const tk_exception&) {
    }
}

TEST(DbfRealFiles, Level7LanguageDriverGivesTheCodePage) {
    EXPECT_EQ(dbf_codepage_for_language_driver("DB866RU0"), 866);
    EXPECT_EQ(dbf_codepage_for_language_driver("DB437US0"), 437);
    EXPECT_EQ(dbf_codepage_for_language_driver("DBWINUS0"), 1252);
    EXPECT_EQ(dbf_codepage_for_language_driver(""), 0);
    EXPECT_EQ(dbf_codepage_for_language_driver("XX866"), 0);

    // dbase_8c names DB437US0 and leaves the mark 0: byte 0x82 is 'é'.
    temp_folder dir;
    std::string bytes = dbf_test::read_all(dbf_test::data_path("dbase_8c.dbf"));
    const size_t hlen = 869, name_at = 1 + 4;  // after the flag and the 4-byte ID
    ASSERT_EQ(bytes.substr(hlen + name_at, 5), "Clown");
    bytes[hlen + name_at] = '\x82';
    dbf_test::write_all(dir.file("t.dbf"), bytes);
    tk_set_ansi_code_page(1252);
    dbf_recordset table(dir.file("t.dbf"), u"t", dbf_recordset::mode_read, 0);
    EXPECT_EQ(table.get_codepage(), 437);
    EXPECT_EQ(tk_ucs2_to_utf8(table.get_item()->at(1).get_bstr()), "élown Triggerfish");
    // A caller's mark still decides.
    dbf_recordset marked(dir.file("t.dbf"), u"t", dbf_recordset::mode_read, 0x03);
    EXPECT_EQ(marked.get_codepage(), 1252);
}
