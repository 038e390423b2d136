// Which client library answers.  Built twice, each program in its own
// process: ORA_LIB_UNDER_TEST names a second copy of libocilite under another
// file name, given through KESTREL_OCI_LIB (so nothing is bound to the bundled
// engine when the program is linked); without it the program has a copy of
// libocilite.so beside it and no KESTREL_OCI_LIB, the bundled case.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "ora_oci.h"
#include "ora_test_support.h"

using namespace ora_test;

namespace {

std::string mapped_libraries() {
    std::ifstream maps("/proc/self/maps");
    return std::string(std::istreambuf_iterator<char>(maps), std::istreambuf_iterator<char>());
}

TEST(OraLibrary, TheChosenLibraryAnswers) {
#ifdef ORA_LIB_UNDER_TEST
    const std::string expected = ORA_LIB_UNDER_TEST;
    setenv("KESTREL_OCI_LIB", expected.c_str(), 1);
#else
    unsetenv("KESTREL_OCI_LIB");
    if (void* client = dlopen("libclntsh.so", RTLD_NOW | RTLD_LOCAL)) {
        dlclose(client);
        GTEST_SKIP() << "an Oracle client is installed: it answers before the bundled engine";
    }
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe");
    const std::string expected = (program.parent_path() / "libocilite.so").string();
#endif
    const std::string path = example_db("scott.db");
    if (!std::filesystem::exists(path)) GTEST_SKIP() << "sample database not built: " << path;
    log_capture log(3);
    ora_engine engine;
    EXPECT_EQ(expected, ora_oci_library_path());
    EXPECT_TRUE(log.contains("Oracle client library: " + expected)) << log.text();
    auto db = engine.open_db(u16(path), u"SCOTT", u"TIGER");
    db->get_tables();
    auto emp = db->get_table(u"EMP", 1);
    EXPECT_EQ(14u, read_rows(*emp).size());
    // The library the build put beside the programs was never loaded.
    const std::string maps = mapped_libraries();
    EXPECT_NE(std::string::npos, maps.find(expected));
    EXPECT_EQ(std::string::npos, maps.find(OCILITE_LIB));
}

}  // namespace
