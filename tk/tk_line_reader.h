// tk_line_reader: a text file read line by line with a bound on the length of
// a line, for the settings files (profiles, table-names files).
//
// The bytes come through tk_huge_file, so a file is read like every other file
// of the program, in blocks of 64 KiB.  Failures throw at level 1: tk_exception
// "Error opening file" when the file is missing or does not open, and the read
// errors of tk_huge_file.  One thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tk_huge_file.h"

class tk_line_reader {
  public:
    enum class result { line, too_long, end };

    // Opens an existing file; a missing one is not created.  The caller keeps
    // devices and pipes away (reading them may never end).
    explicit tk_line_reader(const std::string& name);

    // Reads one line ended by a line feed or by the end of the file into line,
    // without the line feed and without one carriage return before it.  More
    // than limit bytes before the line end: too_long, and the rest of that
    // line is skipped.  end: nothing was left to read.
    result read_line(std::string& line, size_t limit);

  private:
    // Reads the next block; false at the end of the file.
    bool fill();

    tk_huge_file file_;
    uint64_t offset_ = 0;  // of the next block in the file
    std::vector<char> block_;
    size_t next_ = 0;  // the next unread byte of block_
};
