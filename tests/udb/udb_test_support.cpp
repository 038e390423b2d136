#include "udb_test_support.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "tk_string.h"

log_capture::log_capture(int min_level) {
    static int serial = 0;
    path_ = (std::filesystem::temp_directory_path() /
             ("udb_test_" + std::to_string(getpid()) + "_" + std::to_string(++serial) + ".log"))
                .string();
    logger_ = std::make_unique<tk_logger>(path_.c_str(), true, min_level, false);
}

log_capture::~log_capture() {
    logger_.reset();
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
}

std::string log_capture::text() const {
    std::ifstream in(path_, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

std::string utf8(const std::u16string& s) {
    return tk_ucs2_to_utf8(s);
}
