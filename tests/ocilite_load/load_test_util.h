// Helpers for the loader tests: a temporary database that is removed after
// the test, a loader run over script text, and small sqlite3 queries.
#pragma once

#include <sqlite3.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "ol_loader.h"

namespace ol_test {

struct db_closer {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};

class temp_db {
  public:
    temp_db();
    ~temp_db();
    temp_db(const temp_db&) = delete;
    temp_db& operator=(const temp_db&) = delete;
    const std::string& path() const { return path_; }

    // Runs `script` through a fresh loader; returns the diagnostics text.
    std::string load(const std::string& script, ocilite::load::loader_options opts = {},
                     bool* completed = nullptr, int* errors = nullptr);

    // The first column of every row as text ("NULL" for SQL NULL).
    std::vector<std::string> column(const std::string& sql);
    // The single value of a query (nullopt for no row or NULL).
    std::optional<std::string> value(const std::string& sql);
    // "type:value" of one cell, e.g. "integer:42", "text:1.5", "null:".
    std::string typed(const std::string& sql);
    long long count(const std::string& table);

  private:
    sqlite3* open();
    std::string path_;
    std::unique_ptr<sqlite3, db_closer> db_;
};

std::string read_file(const std::string& path);

}  // namespace ol_test
