// ocilite-load's engine: runs Oracle SQL scripts into an ocilite database
// (an SQLite file laid out as ol_catalog.h describes).  One loader owns one
// open database; it is not thread-safe.  Each script runs in one SQLite
// transaction.  Problems are written to the diagnostics stream as
// "SCRIPT:LINE: message" lines.
#pragma once

#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace ocilite::load {

struct user_spec {
    std::string name;      // stored in upper case
    std::string password;  // kept as given (compared case-sensitively)
    bool locked = false;
};

struct loader_options {
    // Stop at the first error or unsupported statement, roll the script back
    // and report failure.
    bool strict = false;
    std::string banner;            // empty: keep the database's (or the default)
    std::vector<user_spec> users;  // added or replaced in ocilite_users
    std::string owner;             // schema of new tables; empty: first user, else the
                                   // owner already in the database, else "OCILITE"
};

inline constexpr const char* kDefaultBanner =
    "Oracle Database 19c Enterprise Edition Release 19.0.0.0.0 - Production";

// Parses "NAME/PASSWORD[/LOCKED]"; false when malformed.
bool parse_user_spec(std::string_view text, user_spec& out);

class loader {
  public:
    // Opens (creating if missing) the database and its catalog, applies the
    // banner and users of `options`.  Throws std::runtime_error when the file
    // cannot be opened or is not an SQLite database.
    loader(const std::string& db_path, loader_options options, std::ostream& diagnostics);
    ~loader();
    loader(const loader&) = delete;
    loader& operator=(const loader&) = delete;

    // Runs one script (its text and the name used in messages).  Returns false
    // only when --strict stopped it (the script's changes are then rolled back).
    bool run_script(std::string_view text, const std::string& name);

    int error_count() const;        // failed statements and rejected rows
    int unsupported_count() const;  // skipped statements

  private:
    struct impl;
    std::unique_ptr<impl> impl_;
};

}  // namespace ocilite::load
