// Helpers shared by the DBF tests: the shared test support, the test data files, and a
// temporary folder that copies them in.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "test_support.h"

namespace dbf_test {

using kestrel_test::code_page_scope;
using kestrel_test::read_file;
using kestrel_test::write_file;

inline std::string data_path(const std::string& name) {
    return std::string(KESTREL_TEST_DATA) + "/dbf/" + name;
}

// A folder of its own for one test, removed afterwards.
class temp_folder : public kestrel_test::temp_folder {
  public:
    // Copies a test data file in; returns its path here.
    std::string copy_in(const std::string& name, const std::string& as = {}) const {
        std::string target = file(as.empty() ? name : as);
        std::filesystem::copy_file(data_path(name), target,
                                   std::filesystem::copy_options::overwrite_existing);
        std::filesystem::permissions(target, std::filesystem::perms::owner_write,
                                     std::filesystem::perm_options::add);
        return target;
    }
};

}  // namespace dbf_test
