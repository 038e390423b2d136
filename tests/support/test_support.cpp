#include "test_support.h"

#include <unistd.h>

#include <atomic>
#include <fstream>
#include <random>
#include <sstream>

#include "tk_codepage.h"
#include "tk_logger.h"

namespace kestrel_test {

temp_folder::temp_folder() {
    static std::atomic<unsigned> counter{0};
    std::random_device random;
    for (;;) {
        const std::string name = "kestrel_test_" + std::to_string(getpid()) + "_" +
                                 std::to_string(counter++) + "_" + std::to_string(random());
        path_ = std::filesystem::temp_directory_path() / name;
        if (std::filesystem::create_directory(path_)) break;  // false: it existed already
    }
}

temp_folder::~temp_folder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::string read_file(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void write_file(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

log_capture::log_capture(int min_level)
    : file_(folder_.file("trace.log")),
      logger_(std::make_unique<tk_logger>(file_.c_str(), true, min_level, false)) {}

// The logger closes its file before the folder is removed.
log_capture::~log_capture() {
    logger_.reset();
}

code_page_scope::code_page_scope(int code_page) : previous_(tk_set_ansi_code_page(code_page)) {}

code_page_scope::~code_page_scope() {
    tk_set_ansi_code_page(previous_);
}

void code_page_scope::set(int code_page) {
    tk_set_ansi_code_page(code_page);
}

}  // namespace kestrel_test
