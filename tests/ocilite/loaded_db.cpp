#include "loaded_db.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <sstream>

namespace ocilite_test {

loaded_db::loaded_db(const std::vector<load_run>& runs) {
    static std::atomic<int> counter{0};
    path_ = ::testing::TempDir() + "ocilite_loaded_" + std::to_string(getpid()) + "_" +
            std::to_string(counter++) + ".db";
    std::remove(path_.c_str());
    for (const load_run& run : runs) {
        std::ostringstream diagnostics;
        ocilite::load::loader load(path_, run.options, diagnostics);
        EXPECT_TRUE(load.run_script(run.script, "test.sql"));
        EXPECT_EQ("", diagnostics.str());
    }
}

loaded_db::loaded_db(const std::string& script)
    : loaded_db(std::vector<load_run>{
          {ocilite::load::loader_options{false, "", {{"SCOTT", "tiger", false}}, "SCOTT"},
           script}}) {}

loaded_db::~loaded_db() {
    std::remove(path_.c_str());
}

}  // namespace ocilite_test
