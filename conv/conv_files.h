// File tests and a bounded line reader for the settings files that the
// converter and the agent read (log file, profile, table-names file).
//
// Paths are narrow text in the system's encoding.  The tests never raise;
// they answer false.  A folder is never a readable or writable file here,
// although some systems let a folder be opened for reading.
#pragma once

#include <cstddef>
#include <istream>
#include <string>

// True when path names something that is not a folder and opens for reading.
bool conv_is_readable_file(const std::string& path);
// True when path names something that exists: a file (readable or not) or a
// folder.
bool conv_is_existing_entry(const std::string& path);
// True when path names a file that opens for reading and writing.
bool conv_is_writable_file(const std::string& path);
// True when path names an existing folder.
bool conv_is_folder(const std::string& path);
// The folder part of path made absolute against the current folder
// ("/a/b/log.txt" -> "/a/b"); empty when it cannot be worked out.
std::string conv_folder_of(const std::string& path);

enum class conv_line_result { line, too_long, end };

// Reads one line ended by a line feed or by the end of the stream into line,
// without the line feed and without one carriage return before it.  More than
// limit characters before the line end: too_long, and the rest of that line
// is skipped.  end: nothing was left to read.
conv_line_result conv_read_line(std::istream& in, std::string& line, size_t limit);
