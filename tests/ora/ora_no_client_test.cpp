// An engine without a usable client library: none can be loaded, or the one
// named lacks a function.  Either is a level-1 error, the engine is not
// registered, and nothing is kept, so a later attempt tries again.
#include <gtest/gtest.h>

#include <cstdlib>

#include "ora_engine.h"
#include "ora_oci.h"
#include "ora_test_support.h"

using namespace ora_test;

namespace {

constexpr const char* kNotFound =
    "The Oracle client and networking components were not found.\nThese components are "
    "supplied by the Oracle Corporation and\nare part of the Oracle Version 7.3.4 (or "
    "later) client\nsoftware installation. You will be unable to use this program\nuntil "
    "these components have been installed.";

tk_exception engine_failure() {
    try {
        ora_engine engine;
    } catch (const tk_exception& e) {
        return e;
    }
    ADD_FAILURE() << "the engine was built without a usable client";
    return tk_exception("none");
}

TEST(OraNoClient, NoLibraryLoads) {
    setenv("KESTREL_OCI_LIB", "/no/such/folder/libclient.so", 1);
    log_capture log(3);
    for (int attempt = 0; attempt < 2; ++attempt) {
        const tk_exception e = engine_failure();
        EXPECT_EQ(1, e.level());
        EXPECT_EQ(kNotFound, e.message());
        EXPECT_FALSE(ora_engine::has_instance());
        EXPECT_FALSE(ora_oci_is_loaded());
    }
    EXPECT_TRUE(
        log.contains("Cannot load the Oracle client library '/no/such/folder/libclient.so'"));
}

TEST(OraNoClient, ALibraryLackingAFunctionIsRefused) {
    setenv("KESTREL_OCI_LIB", ORA_FAKE_MISSING_LIB, 1);
    const tk_exception e = engine_failure();
    EXPECT_EQ(1, e.level());
    EXPECT_NE(std::string::npos, e.message().find("lacks the function OCIDateTimeGetTime"))
        << e.message();
    EXPECT_FALSE(ora_engine::has_instance());
    EXPECT_FALSE(ora_oci_is_loaded());
}

}  // namespace
