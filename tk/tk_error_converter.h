// tk_error_converter: replaces the texts of known Oracle errors by explanations.
//
// An ordered map from error code to message.  The code of an Oracle error is
// 0x100000 ORed with the low 16 bits of the Oracle error number, the same code
// that ora_exception carries.  When a code occurs twice in a table, the first
// message stays.  Immutable after construction; safe to read from any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <span>
#include <string>

struct tk_error_entry {
    uint32_t code;
    const char* message;
};

class tk_error_converter {
  public:
    // Logs "tk_error_converter::ctor (map size=%d)" and loads the table.
    explicit tk_error_converter(std::span<const tk_error_entry> table);
    // The same from a count and a pointer; a null table with a non-zero count
    // is an internal error (tk_mail_assertion).
    tk_error_converter(size_t count, const tk_error_entry* table);

    // Inserts the pairs in table order; an existing code keeps its message.
    // A null table with a non-zero count is an internal error; a null message
    // is taken as the empty text.
    void load_map(size_t count, const tk_error_entry* table);

    // The explanation for the code, or the empty string when it is unknown.
    std::string convert(uint32_t code) const;

    size_t size() const { return map_.size(); }

  private:
    std::map<uint32_t, std::string> map_;
};

// The code under which an Oracle error number travels (0x100000 | low 16 bits).
constexpr uint32_t tk_oracle_error_code(uint32_t oracle_error) {
    return 0x100000u | (oracle_error & 0xFFFFu);
}

// The twelve Oracle errors that the console and the wizard explain.
std::span<const tk_error_entry> tk_oracle_error_table();
