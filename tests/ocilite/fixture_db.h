// Test support: builds ocilite databases the way the script loader lays them out
// (ol_catalog.h): the catalog, users, settings, user tables and their catalog rows.
#pragma once

#include <optional>
#include <string>

namespace ocilite_test {

struct fixture_options {
    bool users = true;                   // SCOTT/tiger open, LOCKME/secret locked
    std::optional<std::string> banner;   // ocilite_settings 'banner'
    std::optional<std::string> banner2;  // a second v$version row
};

// A database file in the test's temporary folder, removed by the destructor.
class fixture_db {
  public:
    explicit fixture_db(const fixture_options& options = {});
    ~fixture_db();
    fixture_db(const fixture_db&) = delete;
    fixture_db& operator=(const fixture_db&) = delete;

    const std::string& path() const { return path_; }
    // Runs SQL on the file (to add rows for one test).
    void exec(const std::string& sql) const;

  private:
    std::string path_;
};

}  // namespace ocilite_test
