#include "udb_test_support.h"

#include "tk_string.h"

std::string utf8(const std::u16string& s) {
    return tk_ucs2_to_utf8(s);
}
