// The reader against a client that fails the way a server or client may:
// the end of the data before the counted rows (rows deleted meanwhile), and
// an invalid handle from a fetch.  The client library is the fault-injecting
// wrapper around libocilite, loaded through KESTREL_OCI_LIB.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "koci.h"
#include "ora_query_results.h"
#include "ora_table.h"
#include "ora_test_support.h"

using namespace ora_test;

namespace {

constexpr const char* kScript = R"sql(
CREATE TABLE t (id NUMBER(3), name VARCHAR2(10));
INSERT INTO t VALUES (1, 'one');
INSERT INTO t VALUES (2, 'two');
INSERT INTO t VALUES (3, 'three');
INSERT INTO t VALUES (4, 'four');
INSERT INTO t VALUES (5, 'five');
)sql";

class Faults : public ::testing::Test {
  protected:
    void SetUp() override {
        setenv("KESTREL_OCI_LIB", ORA_FAULT_LIB, 1);
        c = connect(db.path());
        void* lib = dlopen(ORA_FAULT_LIB, RTLD_NOW | RTLD_NOLOAD);
        ASSERT_NE(nullptr, lib) << "the engine did not load " << ORA_FAULT_LIB;
        set = reinterpret_cast<void (*)(int, bool)>(dlsym(lib, "fault_set"));
        fetches = reinterpret_cast<int (*)()>(dlsym(lib, "fault_fetches"));
        prefetch = reinterpret_cast<ub4 (*)(int)>(dlsym(lib, "fault_prefetch"));
        dlclose(lib);  // the engine keeps its own reference
        ASSERT_NE(nullptr, set);
        ASSERT_NE(nullptr, fetches);
    }
    void TearDown() override {
        if (set) set(-1, false);
    }

    temp_db db{kScript};
    connection c;
    void (*set)(int, bool) = nullptr;
    int (*fetches)() = nullptr;
    ub4 (*prefetch)(int) = nullptr;
};

TEST_F(Faults, TheReadingStatementPrefetchesRows) {
    c.db->get_tables();
    auto t = c.db->get_table(u"T", 1);
    // A real server then sends many rows per round trip; the rows handed out
    // are the same, one by one.
    EXPECT_GE(prefetch(0), 100u);
    EXPECT_GE(prefetch(1), 1024u * 1024u);
    const auto rows = read_rows(*t);
    ASSERT_EQ(5u, rows.size());
    for (size_t i = 0; i < rows.size(); ++i)
        EXPECT_EQ(std::to_string(i + 1), rows[i][0].to_string());
}

TEST_F(Faults, RowsRemovedSinceTheCountEndTheTable) {
    c.db->get_tables();
    auto t = c.db->get_table(u"T", 1);
    ASSERT_EQ(5u, t->counter());
    for (int i = 0; i < 2; ++i) {
        ASSERT_FALSE(t->is_eof());
        ASSERT_NE(nullptr, t->get_item());
        t->next();
    }
    // From here on the server has no more rows.
    set(0, false);
    EXPECT_TRUE(t->is_eof());
    EXPECT_EQ(nullptr, t->get_item());
    t->next();
    EXPECT_TRUE(t->is_eof());
    // One fetch saw the end; none was tried after it (that would be out of sequence).
    EXPECT_EQ(1, fetches());
}

TEST_F(Faults, TheEndOfAQueryIsNotARowOfStaleValues) {
    ora_query_results q(2, u"SELECT id, name FROM t");
    ASSERT_FALSE(q.is_eof());
    const udb_record* first = q.get_item();
    ASSERT_NE(nullptr, first);
    EXPECT_EQ("one", u8((*first)[1].get_bstr()));
    set(0, false);
    EXPECT_TRUE(q.is_eof());
    EXPECT_EQ(nullptr, q.get_item());
    EXPECT_TRUE(q.is_eof());
    EXPECT_EQ(1, fetches());
}

TEST_F(Faults, AnInvalidHandleFromAFetchStopsTheReading) {
    c.db->get_tables();
    auto t = c.db->get_table(u"T", 1);
    set(-1, true);
    // Not a row made of whatever the buffers hold, and no endless loop over a
    // catalog query either.
    EXPECT_THROW(t->is_eof(), tk_mail_assertion);
    ora_query_results views(2, u"select VIEW_NAME, TEXT from SYS.USER_VIEWS");
    EXPECT_THROW(read_rows(views), tk_mail_assertion);
}

}  // namespace
