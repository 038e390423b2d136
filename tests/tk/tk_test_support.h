// Helpers shared by the toolkit tests: a fresh temporary folder per test and
// a logger that writes every level into a file of that folder.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "tk_logger.h"

// A new, empty folder under the system's temporary folder, removed with its
// contents when the object ends.  No two objects share a folder, also across
// test processes running at the same time.
class temp_folder {
  public:
    temp_folder();
    ~temp_folder();
    temp_folder(const temp_folder&) = delete;
    temp_folder& operator=(const temp_folder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // The path of an entry of the folder, as a narrow string.
    std::string file(const std::string& name) const { return (path_ / name).string(); }

  private:
    std::filesystem::path path_;
};

// The whole contents of a file ("" when it cannot be read).
std::string read_file(const std::filesystem::path& path);
// Creates or replaces a file with the given bytes.
void write_file(const std::filesystem::path& path, const std::string& bytes);

// A logger, enabled at the given minimum level without time stamps, writing to
// "trace.log" in its own temporary folder.  Destroying it frees the singleton.
class log_capture {
  public:
    explicit log_capture(int min_level = 1);
    std::string text() const { return read_file(file_); }
    const std::string& file() const { return file_; }
    tk_logger& logger() { return *logger_; }

  private:
    temp_folder folder_;
    std::string file_;
    std::unique_ptr<tk_logger> logger_;
};
