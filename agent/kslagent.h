// kslagent: the console agent's entry, command line and table-names file.
//
// kslagent_main builds the logger, the error handler and the converter (in
// that order), reads the options into the converter's settings and runs the
// job.  The functions below are separate so that tests can drive the parse in
// the test's own process; they use the three instances and require that they
// exist.  fatal_exit and the error handler end the process through conv_exit
// (error_handler.h), which tests can replace.  One thread.
#pragma once

#include <functional>
#include <string>

#include "tk_cmd_line.h"

// Option codes of the agent.
enum kslagent_option : int {
    opt_blob2memo = 0,
    opt_dest = 1,
    opt_help = 2,
    opt_logfile = 3,
    opt_mode = 4,
    opt_oraclu = 5,
    opt_oraclp = 6,
    opt_profile = 7,
    opt_silent = 8,
    opt_src = 9,
    opt_tab_def = 10,
    opt_tab_file = 11,
};

// The option table in matching order, ended by an entry with the empty name.
extern const tk_cmd_option kslagent_options[];

// The usage text formatted with the version 3.3.
std::string kslagent_usage_text();

// Reads the options into the converter, the error handler and the logger.
// False when an argument was not recognised (the caller prints the usage
// text).  Ends the process through fatal_exit for "--help", a bad "--mode=",
// a bad table-names file, a missing database name or destination; raises the
// level-1 tk_exception of "--logfile=" and "--profile=" and the internal error
// for a 21st unrecognised argument.
bool parse_cmd_line(int argc, const char* const* argv);

// Reads a table-names file (path in the system's encoding) into the
// converter's table list, replacing it.  One name per line; blank lines are
// skipped; order and duplicates stay.  A UTF-8 byte-order mark at the start of
// the first non-empty line makes the file UTF-8, otherwise it is in the ANSI
// code page.  A missing or unreadable file, a line of more than 254
// characters or a line holding control characters or bytes that are not
// text in the file's encoding ends the process through fatal_exit.
void process_tab_file(const std::string& path);

// Logs the message at level 3, prints it and a line end on standard error
// unless the converter is silent, and ends the process with status -1.
[[noreturn]] void fatal_exit(const std::string& message);

// Exit statuses: 0 when every table and record was converted; 1 when the
// run finished after reporting table or record errors (or a listed table was
// missing); 255 (-1) for usage errors and for failures that stop the job
// before its end: a failed connection, a destination that cannot be
// prepared, level-1 and level-2 errors.
inline constexpr int kslagent_status_with_errors = 1;
inline constexpr int kslagent_status_failed = -1;

class kestrel_convertor;
// The status after the job returned normally, from the converter's last run.
int kslagent_exit_status(const kestrel_convertor& converter);

// The program: returns the exit status (or ends the process earlier).
int kslagent_main(int argc, const char* const* argv);

// The program with the job after a successful parse given by the caller
// (kslagent_main passes the Oracle connection and the conversion).  Builds
// the logger, the error handler and the converter, parses, runs the job and
// reports what escapes it; destroys the three objects in reverse order.
// Prints the run's summary line unless silent, also when a level-1 or
// level-2 error ends the process during the run.  Returns the status of
// kslagent_exit_status, or -1 when a level-0 error reached this level: the
// job did not complete.  Levels 1 and 2 end the process in the error
// handler; other exceptions through fatal_exit.
int kslagent_run(int argc, const char* const* argv, const std::function<void()>& job);
