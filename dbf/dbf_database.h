// dbf_database: the destination folder of a conversion, one ".dbf" file per
// table (with a ".dbt" memo companion where the table has memo fields).
//
// Lists the tables present when it is constructed, creates tables from
// schemas, opens them for appending or reading and deletes them with their
// memo companions.  Table files are created and looked up under the
// lower-case form of the table name, so names differing only in case meet on
// case-sensitive file systems too; table-name comparisons ignore case.
//
// One instance at a time (tk_singleton).  Recordsets it returns belong to the
// caller and must not outlive it.  Not thread-safe.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "dbf_format.h"
#include "tk_singleton.h"
#include "udb_database.h"

class dbf_recordset;

class dbf_database : public tk_singleton<dbf_database>, public udb_database {
public:
    // folder: an existing folder (otherwise tk_mail_assertion).
    // codepage_mark: handed to every recordset it opens (0: the file's own).
    // format: the layout of the tables it creates.
    dbf_database(const std::u16string& folder, int open_mode, uint8_t codepage_mark,
                 dbf_format format = dbf_format::dbase3);
    ~dbf_database() override;

    // Writes the header and descriptors of a new table in the database's
    // format (field names made safe by dbf_fn_validator; the code-page mark
    // of the ANSI code page its texts are written in), an empty memo file
    // (".dbt", or ".fpt" for Visual FoxPro) when a field is a memo, and
    // returns the table opened for appending.  The index list is not used.
    // REQUIRES: no table of that name exists (otherwise tk_mail_assertion).
    std::unique_ptr<udb_recordset> create_table(const std::u16string& name,
                                                const udb_schema& schema,
                                                const udb_indexes& indexes) override;
    // Deletes the table file and its ".dbt", ".fpt" and ".smt" companions.
    // A listed table whose file cannot be deleted (missing included) raises
    // tk_exception_ex.  REQUIRES: the name is listed.
    void delete_tab(const std::u16string& name) override;
    // Queries are not supported: returns null.
    std::unique_ptr<udb_recordset> get_table(const std::u16string& name,
                                             const std::u16string& query_text,
                                             int flag) override;
    // Opens the table file.  REQUIRES: the file exists (otherwise
    // tk_mail_assertion).
    std::unique_ptr<udb_recordset> get_table(const std::u16string& name, int open_mode) override;
    bool test_query(const std::u16string& statement) override;

    // delete_tab for every listed table, in list order.
    void delete_all_tables();
    // The folder, "/" and the lower-cased name, with ".dbf" appended unless
    // the name already ends in ".dbf" or ".dbt" (case ignored).
    std::u16string get_full_table_name(const std::u16string& name) const;
    // Creates an empty memo file for the table: dBASE III (".dbt") or, in
    // the Visual FoxPro format, FoxPro (".fpt").
    void create_memo_file(const std::u16string& name);

    uint8_t codepage_mark() const noexcept { return codepage_mark_; }
    dbf_format format() const noexcept { return format_; }

private:
    // The full path of the table's memo file in the database's format.
    std::u16string memo_file_name(const std::u16string& name) const;

    uint8_t codepage_mark_;
    dbf_format format_;
};

// The system form (UTF-8 on POSIX) of a wide path; tk_mail_assertion when it
// cannot be converted.
std::string dbf_system_path(const std::u16string& path);
