// Memo companions whose extension is in mixed case, and date texts with a
// two-digit year written into date fields.
#include <gtest/gtest.h>

#include "dbf_database.h"
#include "dbf_recordset.h"
#include "dbf_test_util.h"
#include "tk_string.h"
#include "udb_record.h"

using dbf_test::code_page_scope;
using dbf_test::read_file;
using dbf_test::temp_folder;

TEST(DbfCompanions, MemoFileFoundWhateverTheCaseOfItsExtension) {
    temp_folder dir;
    dir.copy_in("dbase_83.dbf", "Emp.dbf");
    dir.copy_in("dbase_83.dbt", "Emp.Dbt");
    dbf_database db(tk_utf8_to_ucs2(dir.str()), 4, 0);
    auto table = db.get_table(u"emp", dbf_recordset::mode_read);
    ASSERT_NE(table, nullptr);
    auto& rs = static_cast<dbf_recordset&>(*table);
    EXPECT_TRUE(rs.has_memo_file());
    rs.move_first();
    const udb_record* record = rs.get_item();
    ASSERT_NE(record, nullptr);
    const udb_field* field = record->find(u"DESC");
    ASSERT_NE(field, nullptr);
    const std::string desc = tk_ucs2_to_utf8(field->value().get_bstr());
    EXPECT_EQ(desc.rfind("Our Original assortment", 0), 0u) << desc;
}

TEST(DbfDates, TwoDigitYearTextIsWidenedAsTheDateItselfPrintsIt) {
    const code_page_scope cp(1252);
    const struct {
        const char16_t* text;
        const char* field;
    } cases[] = {{u"31.12.99", "19991231"}, {u"2004-01-15", "20040115"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.field);
        temp_folder dir;
        {
            dbf_database db(tk_utf8_to_ucs2(dir.str()), 4, 0);
            udb_schema schema;
            schema.add(t_ftd(0, u"BORN", VT_DATE, false, false, ole_variant(), 2));
            auto table = db.create_table(u"t", schema, udb_indexes());
            udb_record record;
            record.emplace_back<udb_field>(u"BORN", 0, ole_variant(std::u16string(c.text)));
            table->append_record(record);
            static_cast<dbf_recordset&>(*table).flush();
        }
        const std::string bytes = read_file(dir.file("t.dbf"));
        ASSERT_GE(bytes.size(), 32u);
        const size_t header_length =
            static_cast<unsigned char>(bytes[8]) | static_cast<unsigned char>(bytes[9]) << 8;
        ASSERT_GE(bytes.size(), header_length + 9);
        EXPECT_EQ(bytes.substr(header_length + 1, 8), c.field);
    }
}
