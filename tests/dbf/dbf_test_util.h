// Helpers shared by the DBF tests: a fresh temporary folder per test and
// whole-file reads and writes.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

namespace dbf_test {

inline std::string data_path(const std::string& name) {
    return std::string(KESTREL_TEST_DATA) + "/dbf/" + name;
}

inline std::string read_all(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void write_all(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
}

// A folder of its own for one test, removed afterwards.
class temp_folder {
public:
    temp_folder() {
        static std::atomic<int> counter{0};
        path_ = std::filesystem::temp_directory_path() /
                ("kestrel_dbf_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~temp_folder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    std::string str() const { return path_.string(); }
    std::string file(const std::string& name) const { return (path_ / name).string(); }
    // Copies a test data file in; returns its path here.
    std::string copy_in(const std::string& name, const std::string& as = {}) const {
        std::string target = file(as.empty() ? name : as);
        std::filesystem::copy_file(data_path(name), target,
                                   std::filesystem::copy_options::overwrite_existing);
        std::filesystem::permissions(target, std::filesystem::perms::owner_write,
                                     std::filesystem::perm_options::add);
        return target;
    }

private:
    std::filesystem::path path_;
};

}  // namespace dbf_test
