// An existence test for the settings files that the converter and the agent
// write (the log file).  The other file tests are the toolkit's (tk_path.h);
// the settings files are read with tk_line_reader.
//
// Paths are narrow text in the system's encoding.  The test never raises.
#pragma once

#include <string>

// True when path names something that exists, whatever it is and whether or
// not it can be opened: a file, a folder or anything else.
bool conv_is_existing_entry(const std::string& path);
