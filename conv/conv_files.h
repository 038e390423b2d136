// An existence test and a bounded line reader for the settings files that the
// converter and the agent read (log file, profile, table-names file).  The
// other file tests are the toolkit's (tk_path.h).
//
// Paths are narrow text in the system's encoding.  The test never raises.
#pragma once

#include <cstddef>
#include <istream>
#include <string>

// True when path names something that exists, whatever it is and whether or
// not it can be opened: a file, a folder or anything else.
bool conv_is_existing_entry(const std::string& path);

enum class conv_line_result { line, too_long, end };

// Reads one line ended by a line feed or by the end of the stream into line,
// without the line feed and without one carriage return before it.  More than
// limit characters before the line end: too_long, and the rest of that line
// is skipped.  end: nothing was left to read.
conv_line_result conv_read_line(std::istream& in, std::string& line, size_t limit);
