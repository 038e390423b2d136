// ora_exception: an error reported by the Oracle client or server.
//
// The code is 0x100000 ORed with the low 16 bits of the Oracle error number
// (ORA-12541 travels as 0x1030FD), the code under which the error handler
// looks up its explanation of known Oracle errors (tk_error_converter).  The
// message is the server's text in the ANSI code page.  Level 0: the failure
// concerns one table or one connection attempt, and the caller decides
// whether the run goes on.
#pragma once

#include <cstdint>
#include <string>

#include "tk_exception.h"

class ora_exception : public tk_exception {
  public:
    // Logs "ora_exception::ctor".  ora_number is the Oracle error number
    // (1017 for ORA-01017); text the message (an empty one becomes
    // "Unknown exception").
    ora_exception(int32_t ora_number, std::string text);

    // The code an Oracle error number travels under.
    static constexpr uint32_t code_of(int32_t ora_number) {
        return 0x100000u | (static_cast<uint32_t>(ora_number) & 0xFFFFu);
    }

    // The Oracle error number as given to the constructor.
    int32_t ora_number() const noexcept { return ora_number_; }

  private:
    int32_t ora_number_;
};
