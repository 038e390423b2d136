// The command-line reader of the console programs, and the conversions of text
// that crosses the console boundary (arguments in, messages out).
//
// ansi_cmd_line walks a narrow argument vector against an option table.  Each
// argument is matched against the option names in table order; the first name
// that is a prefix of the argument wins, so "--dest=/x" matches "--dest=" with
// the value "/x" and "--helpme" matches "--help".  The table ends with an entry
// whose name is empty; an argument that matches only that entry is
// unrecognised (code -1) and is kept in a list of at most 20 entries.  The
// reader does not own the argument vector or the option table; both must
// outlive it.  One thread.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "tk_path.h"

struct tk_cmd_option {
    int code;
    const char* name;  // the end entry has the empty name ""
};

// The abstract reader: steps through arguments one at a time.
class TCmdLine {
  public:
    virtual ~TCmdLine() = default;
    // Steps to the next argument and matches it.
    // REQUIRES: has_current() (otherwise tk_mail_assertion).
    virtual void advance() = 0;
    // True while an argument is current.
    virtual bool has_current() const = 0;
};

class ansi_cmd_line : public TCmdLine {
  public:
    static constexpr int kUnrecognised = -1;
    static constexpr size_t kMaxUnrecognised = 20;

    // argv[0] (the program) is never an argument: the first argument is argv[1].
    // The options end with an entry whose name is "" (a table without one, or
    // a null name, is an internal error).  A null argv with argc > 1 is an
    // internal error.  Matching the first argument may raise like advance().
    ansi_cmd_line(int argc, const char* const* argv, const tk_cmd_option* options);
    ~ansi_cmd_line() override = default;

    // A 21st unrecognised argument is an internal error (tk_mail_assertion).
    void advance() override;
    bool has_current() const override { return remaining_ > 0; }

    // The code of the current argument, -1 when it matched no option.
    int code() const { return code_; }
    // The characters of the current argument after the matched option name.
    const std::string& value() const { return value_; }

    size_t unrecognised_count() const { return unrecognised_count_; }
    // REQUIRES: i < unrecognised_count().
    const std::string& unrecognised(size_t i) const { return unrecognised_[i]; }

  private:
    void match(const char* argument);

    const tk_cmd_option* options_;
    std::string value_;
    int code_ = kUnrecognised;
    size_t unrecognised_count_ = 0;
    std::array<std::string, kMaxUnrecognised> unrecognised_;
    const char* const* argv_;
    int position_ = 1;
    int remaining_ = 0;
};

// The conversions of text at the console boundary (tk_system_to_ucs2,
// tk_ucs2_to_system, tk_ansi_to_system) are the system's text of tk_path.h.
