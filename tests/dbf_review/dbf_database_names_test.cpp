// File names in the destination folder that look like wildcard patterns, and
// field names whose ANSI form is longer than their characters.
#include <gtest/gtest.h>

#include <filesystem>

#include "../dbf/dbf_test_util.h"
#include "dbf_database.h"
#include "dbf_recordset.h"
#include "tk_exception.h"
#include "tk_string.h"

using dbf_test::temp_folder;

namespace {

std::u16string w(const std::string& s) { return tk_utf8_to_ucs2(s); }
bool exists(const std::string& p) { return std::filesystem::exists(p); }

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
