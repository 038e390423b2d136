// The destination folder: listing existing tables, file names, creating and
// deleting tables with their memo companions; and the DBF name validators.
#include "dbf_database.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "dbf_recordset.h"
#include "dbf_test_util.h"
#include "dbf_validator.h"
#include "tk_string.h"

using dbf_test::temp_folder;

namespace {

std::u16string w(const std::string& s) {
    return tk_utf8_to_ucs2(s);
}
bool exists(const std::string& p) {
    return std::filesystem::exists(p);
}

udb_schema schema_of(std::initializer_list<std::pair<const char*, uint16_t>> columns) {
    udb_schema schema;
    for (const auto& [name, vt] : columns) schema.add(t_ftd(vt == VT_BSTR ? 10 : 0, w(name), vt));
    return schema;
}

}  // namespace

TEST(DbfDatabase, ListsTablesInLowerCase) {
    temp_folder dir;
    dir.copy_in("people.dbf", "Emp.DBF");
    dir.copy_in("people.dbf", "dept.dbf");
    dbf_test::write_file(dir.file("notes.txt"), "x");
    dbf_database db(w(dir.str()), 4, 0);
    std::vector<std::u16string> tables = db.get_tables();
    std::sort(tables.begin(), tables.end());
    EXPECT_EQ(tables, (std::vector<std::u16string>{u"dept", u"emp"}));
    EXPECT_TRUE(db.is_table_exist(u"EMP"));
    EXPECT_FALSE(db.is_table_exist(u"notes"));
    // The file keeps its own case: it is still opened.
    auto table = db.get_table(u"emp", dbf_recordset::mode_read);
    EXPECT_EQ(static_cast<dbf_recordset&>(*table).record_count(), 3u);
}

TEST(DbfDatabase, FullTableNames) {
    temp_folder dir;
    dbf_database db(w(dir.str()), 4, 0);
    EXPECT_EQ(db.get_full_table_name(u"Emp"), w(dir.str()) + u"/emp.dbf");
    EXPECT_EQ(db.get_full_table_name(u"emp.dbt"), w(dir.str()) + u"/emp.dbt");
    EXPECT_EQ(db.get_full_table_name(u"EMP.DBF"), w(dir.str()) + u"/emp.dbf");
}

TEST(DbfDatabase, OnlyOneInstance) {
    temp_folder dir;
    dbf_database db(w(dir.str()), 4, 0);
    EXPECT_THROW(dbf_database(w(dir.str()), 4, 0), tk_mail_assertion);
}

TEST(DbfDatabase, MissingFolderIsAnInternalError) {
    temp_folder dir;
    EXPECT_THROW(dbf_database(w(dir.file("none")), 4, 0), tk_mail_assertion);
}

TEST(DbfDatabase, CreateTableWithAndWithoutMemo) {
    temp_folder dir;
    dbf_database db(w(dir.str()), 4, 0);
    auto plain = db.create_table(u"Plain", schema_of({{"ID", VT_I4}}), udb_indexes());
    EXPECT_TRUE(exists(dir.file("plain.dbf")));
    EXPECT_FALSE(exists(dir.file("plain.dbt")));
    auto memo = db.create_table(u"memo", schema_of({{"TEXT", VT_BINARY}}), udb_indexes());
    std::string dbt = dbf_test::read_file(dir.file("memo.dbt"));
    EXPECT_EQ(dbt.size(), 17u);
    EXPECT_TRUE(db.is_table_exist(u"PLAIN"));
    EXPECT_THROW(db.create_table(u"plain", schema_of({{"ID", VT_I4}}), udb_indexes()),
                 tk_mail_assertion);
    EXPECT_EQ(db.get_table(u"nothing", u"SELECT 1", 0), nullptr);
    EXPECT_FALSE(db.test_query(u"SELECT 1"));
    EXPECT_THROW(db.get_table(u"absent", dbf_recordset::mode_read), tk_mail_assertion);
}

TEST(DbfDatabase, FieldNamesAreMadeSafe) {
    temp_folder dir;
    dbf_database db(w(dir.str()), 4, 0);
    auto table = db.create_table(u"t",
                                 schema_of({{"ORDER DATE", VT_I4},
                                            {"1ST_QTR", VT_I4},
                                            {"DESCRIPTION_LONG", VT_I4},
                                            {"DESCRIPTION_LONGER", VT_I4},
                                            {"ID", VT_I4}}),
                                 udb_indexes());
    std::vector<std::u16string> names;
    for (const t_ftd& f : table->schema()) names.push_back(f.name);
    EXPECT_EQ(names, (std::vector<std::u16string>{u"ORDER_DATE", u"A1ST_QTR", u"DESCRIPTIO",
                                                  u"DESCRIP000", u"ID"}));
}

TEST(DbfDatabase, DeleteRemovesMemoCompanions) {
    temp_folder dir;
    dir.copy_in("dbase_83.dbf", "a.dbf");
    dir.copy_in("dbase_83.dbt", "a.dbt");
    dir.copy_in("memotest.FPT", "a.FPT");
    dir.copy_in("people.dbf", "b.dbf");
    dir.copy_in("people.dbf", "Emp.DBF");
    dbf_database db(w(dir.str()), 4, 0);
    db.delete_tab(u"A");
    EXPECT_FALSE(exists(dir.file("a.dbf")));
    EXPECT_FALSE(exists(dir.file("a.dbt")));
    EXPECT_FALSE(exists(dir.file("a.FPT")));
    EXPECT_FALSE(db.is_table_exist(u"a"));
    db.delete_tab(u"emp");  // no companions: no failure
    EXPECT_FALSE(exists(dir.file("Emp.DBF")));
    EXPECT_TRUE(exists(dir.file("b.dbf")));
    EXPECT_THROW(db.delete_tab(u"a"), tk_mail_assertion);  // no longer listed
}

TEST(DbfDatabase, DeletingAListedTableWhoseFileIsGone) {
    temp_folder dir;
    dir.copy_in("people.dbf", "gone.dbf");
    dbf_database db(w(dir.str()), 4, 0);
    std::filesystem::remove(dir.file("gone.dbf"));
    EXPECT_THROW(db.delete_tab(u"gone"), tk_exception_ex);
}

TEST(DbfDatabase, DeleteAllTables) {
    temp_folder dir;
    dir.copy_in("people.dbf", "a.dbf");
    dir.copy_in("people.dbf", "B.Dbf");
    dir.copy_in("dbase_83.dbt", "b.dbt");
    dbf_database db(w(dir.str()), 4, 0);
    db.delete_all_tables();
    EXPECT_TRUE(db.get_tables().empty());
    EXPECT_TRUE(std::filesystem::is_empty(dir.str()));
}

TEST(DbfValidator, FieldNames) {
    udb_schema schema = schema_of({{"ABCDEFGHIJK", VT_I4}, {"ABCDEFGHIJ", VT_I4}});
    dbf_fn_validator v(schema);
    EXPECT_FALSE(v.is_acceptable(u"ABCDEFGHIJK"));
    EXPECT_TRUE(v.is_acceptable(u"ABCDEFGHIJ"));
    // Its first 10 letters are taken by the other column.
    EXPECT_EQ(v.get_safe_name(u"ABCDEFGHIJK"), u"ABCDEFG000");
    EXPECT_FALSE(v.is_acceptable(u"1ST_QTR"));
    EXPECT_EQ(v.get_safe_name(u"1ST_QTR"), u"A1ST_QTR");
    EXPECT_EQ(v.get_safe_name(u"ORDER DATE"), u"ORDER_DATE");
    EXPECT_TRUE(v.is_acceptable(u"ЦЕНА"));
    EXPECT_TRUE(v.is_acceptable(u"a-b_c"));
    EXPECT_FALSE(v.is_acceptable(u""));
    EXPECT_FALSE(v.is_acceptable(u"A.B"));

    dbf_fn_validator unrelated(schema_of({{"X", VT_I4}}));
    EXPECT_EQ(unrelated.get_safe_name(u"ABCDEFGHIJK"), u"ABCDEFGHIJ");
}

TEST(DbfValidator, TableNames) {
    dbf_tn_validator v({u"EMP", u"DEPT"}, {u"orders"});
    EXPECT_TRUE(v.is_acceptable(std::u16string(200, u'x')));
    EXPECT_FALSE(v.is_acceptable(u"my table"));
    EXPECT_TRUE(v.is_duplicated(u"Orders"));
    EXPECT_EQ(v.get_safe_name(u"ORDERS"), u"ORDERS000");
    EXPECT_EQ(v.get_safe_name(u"my table"), u"my_table");
}
