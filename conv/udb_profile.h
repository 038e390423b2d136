// udb_profile: a conversion job stored as a small sectioned UTF-8 text file.
//
//   [Generic settings]
//   dest=/data/dbf
//   [Selected Tables]
//   EMP
//   DEPT=DEPARTMENTS
//
// A line "[name]" starts (or continues) a section; a line with "=" is an entry
// (key trimmed of spaces, the value kept as written after the first "=");
// any other line is a bare entry: a key with an empty value, also kept in the
// section's list of bare lines.  Lines are trimmed of U+0020 spaces (and of
// carriage returns at their end); empty lines are skipped.  When a key repeats in a section, the
// first value stays. Sections and keys compare by character code, case-sensitively.
#pragma once

#include <map>
#include <string>
#include <vector>

class udb_profile {
  public:
    using entries = std::map<std::u16string, std::u16string>;

    // Longest line read, in bytes, line end excluded.
    static constexpr size_t kMaxLine = 4095;

    // Reads the file at path (UTF-16, converted to the system's encoding).
    // - file missing or not readable: tk_exception "Profile does not exist.
    //   Please verify the correct path/name was given." at level 1;
    // - a line longer than kMaxLine: tk_exception at level 1 naming the line;
    // - a path that the system cannot represent, a file that cannot be opened
    //   after the test, or an entry before the first section: false.
    bool load(const std::u16string& path);

    // Writes every section in name order, entries in key order; in "Selected
    // Tables" an entry with an empty value is written as its bare key when
    // that reads back as the same entry.  False when the file cannot be
    // written; a section or entry whose line load() would refuse (longer than
    // kMaxLine) is a tk_exception at level 1 naming it, and no file is written.
    bool save(const std::u16string& path) const;

    // The value of (section, key); empty when either is missing.
    std::u16string lookup(const std::u16string& section, const std::u16string& key) const;
    // The entries of a section; an empty map when it is missing.
    const entries& section(const std::u16string& name) const;
    // The bare lines of a section, in file order.
    const std::vector<std::u16string>& bare_lines(const std::u16string& name) const;

    // Sets (section, key) = value, replacing an existing value.
    void set(const std::u16string& section, const std::u16string& key, const std::u16string& value);

    const std::map<std::u16string, entries>& sections() const { return sections_; }

  private:
    std::map<std::u16string, entries> sections_;
    std::map<std::u16string, std::vector<std::u16string>> bare_lines_;
};
