// error_handler: turns a caught exception into what the console user sees.
//
// The one instance (tk_singleton) lives from the start of the agent to its
// end.  handle() looks the exception's code up among the known Oracle errors,
// puts the context (a table, a record) in front, writes the report to the log
// and to standard output, and ends the process for levels 1 and 2.  The
// context prefix and all messages are narrow text in the ANSI code page; they
// are converted to the system's encoding when printed.  One thread.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <span>
#include <string>
#include <string_view>

#include "tk_error_converter.h"
#include "tk_exception.h"
#include "tk_singleton.h"

// How the process ends after a level-1 or level-2 error and in fatal_exit.
// The default is std::exit.  Tests install a function that throws instead; a
// function that returns is followed by std::exit.
using conv_exit_function = void (*)(int status);
// Installs f (nullptr restores std::exit); returns the previous function.
conv_exit_function conv_set_exit_function(conv_exit_function f);
// Flushes standard output and standard error, then ends the process.
[[noreturn]] void conv_exit(int status);

class error_handler : public tk_singleton<error_handler> {
  public:
    // Becomes the instance (a second live instance is an internal error).
    explicit error_handler(std::span<const tk_error_entry> known_errors);
    ~error_handler() override = default;

    // Reports one exception as described in the header comment.  Level 0
    // returns; levels 1 and 2 end the process with status -1 (exit code 255).
    // The console form ignores may_go_on.
    void handle(const tk_exception& e, int may_go_on);

    // The prefix becomes the name in the ANSI code page.
    void set_context(std::u16string_view table_name);
    // The prefix becomes "%s, record #%d" with the name and the number, cut to
    // 255 characters, in the ANSI code page.
    void set_context(std::u16string_view table_name, int record_number);
    // Direct assignment (the run empties the prefix at its end).
    std::string& context() { return context_; }
    const std::string& context() const { return context_; }

    void set_silent(bool silent) { silent_ = silent; }
    bool silent() const { return silent_; }

    const tk_error_converter& converter() const { return converter_; }

    // Actions that the wizard runs after a level-1 error with a given code; the
    // console leaves the map empty.
    std::map<uint32_t, std::function<void()>>& actions() { return actions_; }

    // Runs after a level-1 or level-2 report, just before the process ends
    // (the agent prints how far its run got); empty by default.
    void set_exit_notice(std::function<void()> notice) { exit_notice_ = std::move(notice); }

  private:
    [[noreturn]] void end_process();

    std::string context_;
    bool silent_ = false;
    std::map<uint32_t, std::function<void()>> actions_;
    tk_error_converter converter_;
    std::function<void()> exit_notice_;
};
