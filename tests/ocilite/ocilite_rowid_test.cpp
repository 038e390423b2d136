// The ROWID pseudo-column: described as SQLT_RDD, fetched as Oracle's 18-character texts that
// select their row again, and refused where Oracle refuses it.
#include <gtest/gtest.h>

#include <set>

#include "fixture_db.h"
#include "oci_client.h"
#include "ol_text.h"

namespace ocilite_test {
namespace {

class RowidTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(OCI_SUCCESS, s.connect(db.path())) << s.error_text(); }

    // EMPNO -> ROWID text of every row of EMP.
    std::vector<std::pair<std::string, std::string>> emp_rowids() {
        std::vector<std::pair<std::string, std::string>> out;
        for (const auto& r : s.rows("select empno, rowid from emp order by empno"))
            out.emplace_back(*r[0], *r[1]);
        return out;
    }

    oci_api api;
    fixture_db db;
    session s{api};
};

bool is_rowid_text(const std::string& t) {
    if (t.size() != 18) return false;
    for (const char c : t)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '/') return false;
    return true;
}

TEST_F(RowidTest, DescribesAsRowidAndFetchesOracleTexts) {
    const auto d = s.describe("SELECT ROWID, empno, e.rowid r FROM emp e");
    ASSERT_EQ(3u, d.size());
    for (const std::size_t i : {0u, 2u}) {
        EXPECT_EQ(SQLT_RDD, d[i].type) << i;
        EXPECT_EQ(10, d[i].size) << i;
        EXPECT_EQ(0, d[i].is_null) << i;
    }
    EXPECT_EQ("ROWID", d[0].name);
    EXPECT_EQ("R", d[2].name);
    EXPECT_EQ(SQLT_NUM, d[1].type);
    // Behind a "*" the column is found from the end of the list.
    const auto star = s.describe("SELECT e.*, e.ROWID FROM emp e");
    ASSERT_EQ(4u, star.size());
    EXPECT_EQ(SQLT_RDD, star[3].type);
    EXPECT_EQ("ROWID", star[3].name);
    EXPECT_EQ(SQLT_NUM, star[0].type);

    const auto rows = emp_rowids();
    ASSERT_EQ(3u, rows.size());
    std::set<std::string> distinct;
    for (const auto& [empno, rowid] : rows) {
        EXPECT_TRUE(is_rowid_text(rowid)) << rowid;
        distinct.insert(rowid);
    }
    EXPECT_EQ(3u, distinct.size());
    // Rows of one table share the object and file parts.
    EXPECT_EQ(rows[0].second.substr(0, 9), rows[2].second.substr(0, 9));
    // The text is the same in every statement and session.
    session other(api);
    ASSERT_EQ(OCI_SUCCESS, other.connect(db.path()));
    EXPECT_EQ(rows[1].second,
              *other.rows("select rowid from emp where empno = " + rows[1].first)[0][0]);
    // Another table has another object number.
    const auto dept = s.rows("select rowid from dept");
    ASSERT_FALSE(dept.empty());
    EXPECT_NE(rows[0].second.substr(0, 6), dept[0][0]->substr(0, 6));
}

TEST_F(RowidTest, TheTextSelectsItsRowAgain) {
    for (const auto& [empno, rowid] : emp_rowids()) {
        SCOPED_TRACE(rowid);
        const std::vector<std::string> queries = {
            "select empno from emp where ROWID = '" + rowid + "'",
            "select empno from emp e where '" + rowid + "' = e.rowid",
            "select empno from emp where rowid = '" + rowid + "' and ename is not null",
            "select empno from emp where rowid in ('" + rowid + "')",
            "select empno from emp where rowid in (select rowid from emp where empno = " + empno +
                ")",
            "select e.empno from emp e, dept d where e.deptno = d.deptno and e.rowid = '" +
                rowid + "'",
        };
        for (const auto& q : queries) {
            const auto r = s.rows(q);
            ASSERT_EQ(1u, r.size()) << q;
            EXPECT_EQ(empno, *r[0][0]) << q;
        }
        // A ROWID of EMP names no row of DEPT, and a ROWID that names no row selects none.
        EXPECT_TRUE(s.rows("select deptno from dept where rowid = '" + rowid + "'").empty());
        std::string elsewhere = rowid;
        elsewhere[8] = elsewhere[8] == 'F' ? 'G' : 'F';  // another file
        EXPECT_TRUE(s.rows("select empno from emp where rowid = '" + elsewhere + "'").empty());
    }
    EXPECT_EQ(3u, s.rows("select rowid || '-' from emp").size());
}

TEST_F(RowidTest, OracleErrorsWhereOracleRefusesIt) {
    struct row {
        const char* sql;
        int code;
    };
    const row rows[] = {
        {"select empno from emp where rowid = 'AAAR3s'", 1410},
        {"select empno from emp where rowid = 'AAAR3sAAEAAAACXAA!'", 1410},
        {"select rowid from emp, dept", 918},
        {"select rowid from emp_view", 1445},
        {"select x.rowid from (select empno from emp) x", 1445},
        {"select rowid from user_tables", 1445},
        {"select nope.rowid from emp", 904},
    };
    for (const auto& r : rows) EXPECT_EQ(r.code, s.query_error(r.sql)) << r.sql;
    // Qualified, the join is fine.
    const auto joined = s.rows(
        "select e.rowid, d.rowid from emp e join dept d on e.deptno = d.deptno order by e.empno");
    ASSERT_EQ(3u, joined.size());
    EXPECT_NE(joined[0][0]->substr(0, 6), joined[0][1]->substr(0, 6));
}

TEST(RowidText, EncodesObjectAndRowAndReadsThemBack) {
    using ocilite::parse_rowid;
    using ocilite::rowid_text;
    for (const std::int64_t object : {0LL, 73196LL, 4294967295LL}) {
        for (const std::int64_t row : {1LL, 2LL, 512LL, 513LL, 1000000LL, 2000000000000LL}) {
            const std::string t = rowid_text(object, row);
            ASSERT_EQ(18u, t.size()) << object << "/" << row;
            std::int64_t o = -1, r = -1;
            ASSERT_TRUE(parse_rowid(t, o, r)) << t;
            EXPECT_EQ(object, o);
            EXPECT_EQ(row, r);
        }
    }
    EXPECT_EQ("AAAR3sAAEAAAACDAAA", rowid_text(73196, 1));
    EXPECT_EQ("", rowid_text(73196, 0));
    EXPECT_EQ("", rowid_text(73196, -5));
    EXPECT_EQ("", rowid_text(73196, 3000000000000LL));  // past the last block
    std::int64_t o = 0, r = 0;
    // Oracle's own ROWIDs read, but name no ocilite row when their file or block is not ours.
    ASSERT_TRUE(parse_rowid("AAAR3sAAEAAAACXAAA", o, r));
    EXPECT_EQ(73196, o);
    EXPECT_EQ(20 * 512 + 1, r);  // block 151 is the 21st from block 131
    ASSERT_TRUE(parse_rowid("AAAR3sAAFAAAACXAAA", o, r));
    EXPECT_EQ(0, r);
    ASSERT_TRUE(parse_rowid("AAAR3sAAEAAAAAAAAA", o, r));
    EXPECT_EQ(0, r);
    for (const char* bad : {"", "AAAR3sAAEAAAACXAA", "AAAR3sAAEAAAACXAAAA", "AAAR3sAAEAAAACX-AA"})
        EXPECT_FALSE(parse_rowid(bad, o, r)) << bad;
}

}  // namespace
}  // namespace ocilite_test
