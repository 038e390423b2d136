// Facts of the operating system that the toolkit needs: the program's own
// path, the text of a system error number, and the local time.  The POSIX and
// Windows specifics live in tk_system.cpp only.
#pragma once

#include <string>

// The full path of the program's own file (UTF-8 on POSIX).  An unreadable
// path is an internal error.
std::string tk_program_path();

// The system's text for an error number; empty when it has none.
std::string tk_system_error_text(int error_number);

// The calling thread's last system error number (errno).
int tk_last_system_error();

// Whether the process's standard output is a terminal (and not a file or a
// pipe), so that a line may be rewritten in place.
bool tk_stdout_is_terminal();

struct tk_local_time {
    int year, month, day, hour, minute, second, milliseconds, day_of_week;
};
// The local wall-clock time now.
tk_local_time tk_now();
