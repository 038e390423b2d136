// Helpers shared by the udb tests: a trace log captured into a private file,
// and UTF-8 views of wide strings for readable failure messages.
#pragma once

#include <memory>
#include <string>

#include "tk_logger.h"

// Creates the process's logger on a fresh temporary file for the lifetime of
// the object; text() gives what was written so far.
class log_capture {
  public:
    explicit log_capture(int min_level);
    ~log_capture();
    log_capture(const log_capture&) = delete;
    log_capture& operator=(const log_capture&) = delete;

    std::string text() const;
    bool contains(const std::string& line) const { return text().find(line) != std::string::npos; }

  private:
    std::string path_;
    std::unique_ptr<tk_logger> logger_;
};

std::string utf8(const std::u16string& s);
