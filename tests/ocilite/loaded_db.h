// Test support: an ocilite database built by the script loader from Oracle SQL, so that a test
// sees what the engine answers for what ocilite-load wrote.
#pragma once

#include <string>
#include <vector>

#include "ol_loader.h"

namespace ocilite_test {

// One loader run: its options (users, owner of the new objects) and its script.
struct load_run {
    ocilite::load::loader_options options;
    std::string script;
};

// A database file in the test's temporary folder, removed by the destructor.  Every run must
// load without a diagnostic, or the test fails.
class loaded_db {
  public:
    explicit loaded_db(const std::vector<load_run>& runs);
    // One run as SCOTT/tiger, who owns what it creates.
    explicit loaded_db(const std::string& script);
    ~loaded_db();
    loaded_db(const loaded_db&) = delete;
    loaded_db& operator=(const loaded_db&) = delete;

    const std::string& path() const { return path_; }

  private:
    std::string path_;
};

}  // namespace ocilite_test
