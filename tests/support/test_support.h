// Helpers shared by the test suites of every layer: a temporary folder of a test's own, whole-file
// reads and writes, the process's logger captured into a file, and a scope that sets the
// process-wide ANSI code page and restores it when the scope ends, also when a test fails.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

class tk_logger;

namespace kestrel_test {

// A new, empty folder under the system's temporary folder, removed with its contents when the
// object ends.  No two objects share a folder, also across test processes running at the same
// time.
class temp_folder {
  public:
    temp_folder();
    ~temp_folder();
    temp_folder(const temp_folder&) = delete;
    temp_folder& operator=(const temp_folder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // The folder as a narrow string.
    std::string str() const { return path_.string(); }
    // The path of an entry of the folder, as a narrow string.
    std::string file(const std::string& name) const { return (path_ / name).string(); }

  private:
    std::filesystem::path path_;
};

// The whole contents of a file ("" when it cannot be read).
std::string read_file(const std::filesystem::path& path);
// Creates or replaces a file with the given bytes.
void write_file(const std::filesystem::path& path, const std::string& bytes);

// The process's logger, enabled at the given minimum level without time stamps, writing to
// "trace.log" in a temporary folder of its own.  Destroying the object frees the logger.
class log_capture {
  public:
    explicit log_capture(int min_level = 1);
    ~log_capture();
    log_capture(const log_capture&) = delete;
    log_capture& operator=(const log_capture&) = delete;

    // What was written so far.
    std::string text() const { return read_file(file_); }
    bool contains(const std::string& line) const { return text().find(line) != std::string::npos; }
    const std::string& file() const { return file_; }
    tk_logger& logger() { return *logger_; }

  private:
    temp_folder folder_;
    std::string file_;
    std::unique_ptr<tk_logger> logger_;
};

// Sets the process-wide ANSI code page for the lifetime of the object and then puts back the
// setting it replaced.  set() changes it again inside the scope.
class code_page_scope {
  public:
    explicit code_page_scope(int code_page);
    ~code_page_scope();
    code_page_scope(const code_page_scope&) = delete;
    code_page_scope& operator=(const code_page_scope&) = delete;

    void set(int code_page);

  private:
    int previous_;
};

}  // namespace kestrel_test
