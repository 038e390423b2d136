// Helpers shared by the Oracle layer's tests: ocilite databases built from
// Oracle SQL scripts, an engine connected to one, a trace log captured into a
// private file, rows read back from a recordset, and the SQLite file read
// directly for the expected values.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ole_variant.h"
#include "ora_database.h"
#include "ora_engine.h"
#include "tk_logger.h"

namespace ora_test {

std::string u8(const std::u16string& s);
std::u16string u16(const std::string& s);

// Points KESTREL_OCI_LIB at the built libocilite unless the variable is set.
void use_built_ocilite();

// A new, empty folder removed with its contents at the end.
class temp_folder {
  public:
    temp_folder();
    ~temp_folder();
    temp_folder(const temp_folder&) = delete;
    temp_folder& operator=(const temp_folder&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

  private:
    std::filesystem::path path_;
};

// An ocilite database in its own temporary folder, loaded from Oracle SQL
// (strict: a statement the loader refuses fails the test).
class temp_db {
  public:
    // user "T", password "t" unless given; banner: the first v$version row.
    explicit temp_db(const std::string& script, const std::string& banner = {},
                     const std::string& user = "T", const std::string& password = "t");
    const std::string& path() const { return path_; }
    std::u16string wpath() const { return u16(path_); }
    // Runs SQLite statements on the file directly (to store values exactly
    // as the engine keeps them).
    void exec(const std::string& sql) const;
    // Stores one value (text, or blob when is_blob) with a bound parameter.
    void set(const std::string& sql_with_one_parameter, const std::string& value,
             bool is_blob = false) const;

  private:
    temp_folder folder_;
    std::string path_;
};

// The process's trace logger on a private file for the life of the object.
class log_capture {
  public:
    explicit log_capture(int min_level = 1);
    std::string text() const;
    bool contains(const std::string& s) const { return text().find(s) != std::string::npos; }

  private:
    temp_folder folder_;
    std::string file_;
    std::unique_ptr<tk_logger> logger_;
};

// An engine with an open session on a database (destroyed database first).
struct connection {
    std::unique_ptr<ora_engine> engine;
    std::unique_ptr<udb_database> db;
    ora_database& ora() const { return static_cast<ora_database&>(*db); }
};
connection connect(const std::string& path, const std::string& user = "T",
                   const std::string& password = "t");

// Every remaining row of a recordset, each as its field values.
std::vector<std::vector<ole_variant>> read_rows(udb_recordset& rs);

// One value read from SQLite.
struct sql_value {
    int type = 5;  // SQLITE_NULL
    int64_t integer = 0;
    double real = 0;
    std::string bytes;  // text (UTF-8) or blob
};
// Every row of a query on the file.
std::vector<std::vector<sql_value>> sqlite_rows(const std::string& path, const std::string& sql);

// The sample databases built by the sample_databases target.
std::string example_db(const std::string& name);

}  // namespace ora_test
