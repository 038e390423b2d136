// File names in the destination folder that look like wildcard patterns, and
// field names whose ANSI form is longer than their characters.
#include <gtest/gtest.h>

#include <filesystem>

#include "dbf_database.h"
#include "dbf_exception.h"
#include "dbf_recordset.h"
#include "dbf_test_util.h"
#include "tk_exception.h"
#include "tk_string.h"

using dbf_test::temp_folder;

namespace {

std::u16string w(const std::string& s) {
    return tk_utf8_to_ucs2(s);
}
bool exists(const std::string& p) {
    return std::filesystem::exists(p);
}

}  // namespace

// A table whose file name holds '*' or '?' is deleted alone: the memo files
// and tables of other names stay.
TEST(DbfDatabaseNames, WildcardCharactersInTableNamesMatchOnlyThemselves) {
    for (const char* odd : {"*", "?", "x*"}) {
        SCOPED_TRACE(odd);
        temp_folder dir;
        dir.copy_in("people.dbf", std::string(odd) + ".dbf");
        dir.copy_in("people.dbf", "xa.dbf");
        dir.copy_in("dbase_83.dbt", "xa.dbt");
        dir.copy_in("dbase_83.dbt", "y.dbt");
        dir.copy_in("memotest.FPT", "z.FPT");
        dbf_database db(w(dir.str()), 4, 0);
        db.delete_tab(w(odd));
        EXPECT_FALSE(exists(dir.file(std::string(odd) + ".dbf")));
        for (const char* kept : {"xa.dbf", "xa.dbt", "y.dbt", "z.FPT"})
            EXPECT_TRUE(exists(dir.file(kept))) << kept;
        // The table is gone; its name must not open another table either.
        EXPECT_THROW(db.get_table(w(odd), dbf_recordset::mode_read), tk_mail_assertion);
    }
}

TEST(DbfDatabaseNames, TableFileFoundInAnyCaseButNotByPattern) {
    temp_folder dir;
    dir.copy_in("people.dbf", "Emp.DBF");
    dbf_database db(w(dir.str()), 4, 0);
    EXPECT_NE(db.get_table(u"EMP", dbf_recordset::mode_read), nullptr);
    EXPECT_THROW(db.get_table(u"E?P", dbf_recordset::mode_read), tk_mail_assertion);
    EXPECT_THROW(db.get_table(u"*", dbf_recordset::mode_read), tk_mail_assertion);
}

namespace {

// The field names a new table reads back with, the ANSI code page set for
// the test.
std::vector<std::u16string> stored_field_names(int code_page,
                                               const std::vector<std::u16string>& columns) {
    const dbf_test::code_page_scope cp(code_page);
    temp_folder dir;
    std::vector<std::u16string> names;
    {
        dbf_database db(w(dir.str()), 4, 0);
        udb_schema schema;
        for (const auto& c : columns) schema.add(t_ftd(0, c, VT_I4));
        auto table = db.create_table(u"t", schema, udb_indexes());
        for (const t_ftd& f : table->schema()) names.push_back(f.name);
    }
    return names;
}

}  // namespace

TEST(DbfDatabaseNames, StoredFieldNamesFitTheirTenBytesAndStayDistinct) {
    struct row {
        const char* what;
        int code_page;
        std::vector<std::u16string> columns, expected;
    };
    const row rows[] = {
        {"single-byte code page keeps ten letters",
         1251,
         {u"ЦЕНА_ЗАКУП", u"ЦЕНА_ПРОДА"},
         {u"ЦЕНА_ЗАКУП", u"ЦЕНА_ПРОДА"}},
        {"UTF-8 cuts at a character and renumbers a clash",
         65001,
         {u"ЦЕНА_ЗАКУП", u"ЦЕНА_ПРОДА", u"ID"},
         {u"ЦЕНА_", u"ЦЕН000", u"ID"}},
        {"UTF-8 three-byte characters are not split", 65001, {u"漢字漢字"}, {u"漢字漢"}},
        {"double-byte code page", 932, {u"漢字漢字漢字"}, {u"漢字漢字漢"}},
        {"letters the code page lacks are replaced alike",
         1252,
         {u"ЦЕНА", u"КОДЫ"},
         {u"????", u"????000"}},
        {"names differing only in case", 1252, {u"id", u"ID", u"Id"}, {u"id", u"ID000", u"Id001"}},
        {"plain names are kept", 1252, {u"ID", u"NAME"}, {u"ID", u"NAME"}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        EXPECT_EQ(stored_field_names(r.code_page, r.columns), r.expected);
    }
}

// Record and header lengths are 16-bit: a table whose fields add up to more
// is refused before anything is written, instead of wrapping the lengths.
TEST(DbfDatabaseNames, TablesBeyondTheSixteenBitLengthsAreRefused) {
    temp_folder dir;
    dbf_database db(w(dir.str()), 4, 0);
    auto wide_schema = [](int columns) {
        udb_schema schema;  // C(255) each: 254 characters and the spare byte
        for (int i = 0; i < columns; ++i)
            schema.add(t_ftd(254, u"F" + w(std::to_string(i)), VT_BSTR));
        return schema;
    };
    auto fits = db.create_table(u"fits", wide_schema(256), udb_indexes());
    EXPECT_EQ(static_cast<dbf_recordset&>(*fits).layout().header.record_length, 1u + 256u * 255u);
    fits.reset();
    for (int columns : {257, 300}) {
        EXPECT_THROW(db.create_table(u"wide", wide_schema(columns), udb_indexes()), dbf_exception);
        EXPECT_FALSE(exists(dir.file("wide.dbf")));
        EXPECT_FALSE(db.is_table_exist(u"wide"));
    }
}
