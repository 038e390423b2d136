// tk_dynamic_library: a shared library loaded while the program runs, and
// the functions found in it by name.
//
// The one home of the platform's loader (dlopen/dlsym on POSIX,
// LoadLibrary/GetProcAddress on Windows).  A loaded library stays loaded until
// the object is destroyed, unless keep() hands it to the process for good
// (for libraries whose state must outlive every object, such as an Oracle
// client whose environment lives until the process ends).  Movable, not
// copyable; loading and lookups are thread-safe as the platform's are.
#pragma once

#include <string>

class tk_dynamic_library {
  public:
    tk_dynamic_library() = default;
    ~tk_dynamic_library();
    tk_dynamic_library(tk_dynamic_library&& other) noexcept;
    tk_dynamic_library& operator=(tk_dynamic_library&& other) noexcept;
    tk_dynamic_library(const tk_dynamic_library&) = delete;
    tk_dynamic_library& operator=(const tk_dynamic_library&) = delete;

    // Loads the library: a path, or a bare file name that the platform looks
    // up in its library search path.  Symbols are resolved at once and kept
    // local to the library.  false when it cannot be loaded; error() then
    // holds the platform's reason.  A library loaded before is released first.
    bool open(const std::string& path);
    // The address of an exported function or object, or nullptr when the
    // library does not export the name.  REQUIRES: is_open().
    void* symbol(const char* name) const;
    // Leaves the library loaded for the rest of the process; the object no
    // longer owns it (is_open() is false, path() stays).
    void keep() noexcept;

    bool is_open() const noexcept { return handle_ != nullptr; }
    // The path given to open().
    const std::string& path() const noexcept { return path_; }
    // Why the last open() failed; empty after a success.
    const std::string& error() const noexcept { return error_; }

  private:
    void close() noexcept;

    void* handle_ = nullptr;
    std::string path_;
    std::string error_;
};
