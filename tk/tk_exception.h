// The exception family through which every failure of the system travels.
//
// Each exception carries a narrow message (in the process's ANSI code page), a
// numeric code and a level: 0 the failure concerns one item and work goes on,
// 1 the job cannot go on, 2 an internal error (a broken assumption).  The error
// handler turns a caught exception into what the user sees.
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <string_view>

class tk_exception : public std::exception {
  public:
    // An empty message becomes "Unknown exception"; the code is 0.
    explicit tk_exception(std::string message, int level = 0);
    // The message is converted from UTF-16 to the ANSI code page.
    explicit tk_exception(std::u16string_view message, int level = 0);
    tk_exception(std::string message, uint32_t code, int level);

    const char* what() const noexcept override { return message_.c_str(); }
    const std::string& message() const noexcept { return message_; }
    uint32_t code() const noexcept { return code_; }
    int level() const noexcept { return level_; }

  protected:
    void set_message(std::string message) { message_ = std::move(message); }
    void set_code(uint32_t code) { code_ = code; }
    void set_level(int level) { level_ = level; }

  private:
    std::string message_;
    uint32_t code_ = 0;
    int level_ = 0;
};

// A failure of a system call: the code is the system's error number and the
// message the given prefix followed by the system's text for it.
class tk_exception_ex : public tk_exception {
  public:
    // Takes errno of the calling thread; level 1, no prefix.
    tk_exception_ex();
    // Takes errno of the calling thread.
    tk_exception_ex(const std::string& prefix, int level);
    // Takes the given error number (for failures that do not set errno).
    tk_exception_ex(const std::string& prefix, int error_number, int level);

  private:
    void take_system_error(const std::string& prefix, int error_number);
};

// A broken internal assumption, raised with the source location encoded in
// the message ("Internal error: \ncode=" + hex of "file\line").  Level 2.
class tk_mail_assertion : public tk_exception {
  public:
    tk_mail_assertion(const char* source_file, int line);

    // The hexadecimal location code for a file and line, as in the message.
    static std::string encode_location(const char* source_file, int line);
};

// Raised when the user chose to stop the run; carries nothing.
class tk_final_exception : public std::exception {
  public:
    const char* what() const noexcept override { return "tk_final_exception"; }
};

#define TK_MAIL_ASSERTION() tk_mail_assertion(__FILE__, __LINE__)
// Throws tk_mail_assertion when the condition does not hold.
#define TK_ASSERT(condition)                                           \
    do {                                                               \
        if (!(condition)) throw tk_mail_assertion(__FILE__, __LINE__); \
    } while (0)
