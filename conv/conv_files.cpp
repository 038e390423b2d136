#include "conv_files.h"

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

bool conv_is_existing_entry(const std::string& path) {
    std::error_code ec;
    return !path.empty() && fs::exists(fs::path(path), ec);
}
