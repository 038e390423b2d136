// Values as Oracle hands them over: text forms, NULL indicators, truncation, date-time
// descriptors, LOB locators read in pieces, RAW bytes, and the fetch protocol.
#include <gtest/gtest.h>

#include <cstring>

#include "fixture_db.h"
#include "oci_client.h"

namespace ocilite_test {
namespace {

class FetchTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(OCI_SUCCESS, s.connect(db.path())) << s.error_text(); }

    // The first row of a query with one SQLT_STR define per column.
    text_row first(const std::string& sql) {
        auto r = s.rows(sql);
        EXPECT_FALSE(r.empty()) << sql;
        return r.empty() ? text_row{} : r[0];
    }

    oci_api api;
    fixture_db db;
    session s{api};
};

TEST_F(FetchTest, ValuesComeInOracleTextForm) {
    const text_row r = first(
        "select id, vc, ch, nvc, nch, num, num72, flt, intg, dt, ts, rw, lng, bf, bd, rid, "
        "tstz, ids, lr, ts3 from alltypes where id = 1");
    const char* expected[] = {"1",
                              "hello",
                              "ab   ",
                              "Привет",
                              "xy ",
                              "-.25",
                              "1234.5",
                              ".5",
                              "85",
                              "05-MAR-24",
                              "05-MAR-24 01.14.15.123456 PM",
                              "DEADBEEF",
                              "long text",
                              "1.50000000E+000",
                              "2.2500000000000000E+000",
                              "AAAR3sAAEAAAACXAAA",
                              "05-MAR-24 01.14.15.000000000 PM +02:00",
                              "+03 04:05:06.123000",
                              "CAFE",
                              "31-DEC-99 11.59.59.999 PM"};
    ASSERT_EQ(std::size(expected), r.size());
    for (std::size_t i = 0; i < r.size(); ++i) {
        ASSERT_TRUE(r[i].has_value()) << i;
        EXPECT_EQ(expected[i], *r[i]) << i;
    }
}

TEST_F(FetchTest, NumbersKeepTheirExactDecimals) {
    const auto rows = s.rows("select k, n from nums order by k");
    const char* expected[] = {"0",
                              "85",
                              ".5",
                              "-.5",
                              "1234.5",
                              "10000000000000000000000000000000000000000",
                              "1.0E+100",
                              ".3333333333333333333333333333333333333333",
                              "-12345678901234567890123456789.123456789",
                              "9007199254740993",
                              "1.0E-71"};
    ASSERT_EQ(std::size(expected), rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(expected[i], *rows[i][1]) << i;
}

TEST_F(FetchTest, NullsOfEveryTypeLeaveTheBufferUntouched) {
    OCIStmt* st = s.new_stmt();
    ASSERT_EQ(OCI_SUCCESS, s.execute(st, "select * from alltypes where id = 2"));
    ub4 count = 0;
    api.AttrGet(st, OCI_HTYPE_STMT, &count, nullptr, OCI_ATTR_PARAM_COUNT, s.err);
    ASSERT_EQ(25u, count);
    std::vector<std::u16string> bufs(count, std::u16string(64, u'#'));
    std::vector<sb2> ind(count, 7);
    std::vector<ub2> rcode(count, 0);
    for (ub4 i = 0; i < count; ++i) {
        OCIDefine* d = nullptr;
        ASSERT_EQ(OCI_SUCCESS, api.DefineByPos(st, &d, s.err, i + 1, bufs[i].data(), 128, SQLT_STR,
                                               &ind[i], nullptr, &rcode[i], OCI_DEFAULT));
    }
    ASSERT_EQ(OCI_SUCCESS, api.StmtFetch(st, s.err, 1, OCI_FETCH_NEXT, OCI_DEFAULT));
    EXPECT_EQ(0, ind[0]);
    for (ub4 i = 1; i < count; ++i) {
        EXPECT_EQ(-1, ind[i]) << "column " << i + 1;
        EXPECT_EQ(std::u16string(64, u'#'), bufs[i]) << "column " << i + 1;
    }
    s.free_stmt(st);

    // LOB, date-time and binary defines see NULL through the indicator too.
    st = s.new_stmt();
    ASSERT_EQ(OCI_SUCCESS, s.execute(st, "select cl, bl, ts, rw from alltypes where id = 2"));
    OCILobLocator* cl = nullptr;
    OCILobLocator* bl = nullptr;
    OCIDateTime* ts = nullptr;
    ASSERT_EQ(OCI_SUCCESS,
              api.DescriptorAlloc(s.env, reinterpret_cast<void**>(&cl), OCI_DTYPE_LOB, 0, nullptr));
    ASSERT_EQ(OCI_SUCCESS,
              api.DescriptorAlloc(s.env, reinterpret_cast<void**>(&bl), OCI_DTYPE_LOB, 0, nullptr));
    ASSERT_EQ(OCI_SUCCESS, api.DescriptorAlloc(s.env, reinterpret_cast<void**>(&ts),
                                               OCI_DTYPE_TIMESTAMP, 0, nullptr));
    unsigned char raw[16];
    std::memset(raw, 0xAB, sizeof raw);
    sb2 ci = 5, bi = 5, ti = 5, ri = 5;
    OCIDefine* d = nullptr;
    api.DefineByPos(st, &d, s.err, 1, &cl, -1, SQLT_CLOB, &ci, nullptr, nullptr, OCI_DEFAULT);
    api.DefineByPos(st, &d, s.err, 2, &bl, -1, SQLT_BLOB, &bi, nullptr, nullptr, OCI_DEFAULT);
    api.DefineByPos(st, &d, s.err, 3, &ts, 4, SQLT_TIMESTAMP, &ti, nullptr, nullptr, OCI_DEFAULT);
    api.DefineByPos(st, &d, s.err, 4, raw, 16, SQLT_BIN, &ri, nullptr, nullptr, OCI_DEFAULT);
    ASSERT_EQ(OCI_SUCCESS, api.StmtFetch(st, s.err, 1, OCI_FETCH_NEXT, OCI_DEFAULT));
    EXPECT_EQ(-1, ci);
    EXPECT_EQ(-1, bi);
    EXPECT_EQ(-1, ti);
    EXPECT_EQ(-1, ri);
    EXPECT_EQ(0xAB, raw[0]);
    // A NULL LOB's locator is no LOB: reading it is an invalid handle, as with Oracle.
    ub4 len = 0;
    EXPECT_EQ(OCI_INVALID_HANDLE, api.LobGetLength(s.svc, s.err, cl, &len));
    s.free_stmt(st);

    // NULL without an indicator is an error.
    st = s.new_stmt();
    ASSERT_EQ(OCI_SUCCESS, s.execute(st, "select vc from alltypes where id = 2"));
    char16_t buf[20];
    ASSERT_EQ(OCI_SUCCESS, api.DefineByPos(st, &d, s.err, 1, buf, sizeof buf, SQLT_STR, nullptr,
                                           nullptr, nullptr, OCI_DEFAULT));
    EXPECT_EQ(OCI_ERROR, api.StmtFetch(st, s.err, 1, OCI_FETCH_NEXT, OCI_DEFAULT));
    EXPECT_EQ("ORA-01405: fetched column value is NULL\n", s.error_text());
    s.free_stmt(st);
}

TEST_F(FetchTest, EmptyStringIsNullButEmptyLobIsEmpty) {
    const auto rows = s.rows("select vc, rw from alltypes where id = 3");
    ASSERT_EQ(1u, rows.size());
    EXPECT_FALSE(rows[0][0].has_value());
    EXPECT_FALSE(rows[0][1].has_value());
    // '' in SQL is NULL as well: no row compares equal to it.
    EXPECT_TRUE(s.rows("select id from alltypes where vc = ''").empty());
}

TEST_F(FetchTest, TruncationIsSuccessWithInfo) {
    OCIStmt* st = s.new_stmt();
    ASSERT_EQ(OCI_SUCCESS, s.execute(st, "select vc, num72 from alltypes where id = 1"));
    char16_t vc[4];
    char16_t num[3];
    sb2 vi = 0, ni = 0;
    ub2 vl = 0, vr = 0, nr = 0;
    OCIDefine* d = nullptr;
    api.DefineByPos(st, &d, s.err, 1, vc, sizeof vc, SQLT_STR, &vi, &vl, &vr, OCI_DEFAULT);
    api.DefineByPos(st, &d, s.err, 2, num, sizeof num, SQLT_STR, &ni, nullptr, &nr, OCI_DEFAULT);
    ASSERT_EQ(OCI_SUCCESS_WITH_INFO, api.StmtFetch(st, s.err, 1, OCI_FETCH_NEXT, OCI_DEFAULT));
    EXPECT_EQ(u"hel", std::u16string(vc));  // value_sz/2 - 1 units and a terminator
    EXPECT_EQ(10, vi);                      // the whole value's length in bytes
    EXPECT_EQ(6, vl);
    EXPECT_EQ(1406, vr);
    EXPECT_EQ(u"12", std::u16string(num));
    EXPECT_EQ(12, ni);
    EXPECT_EQ(1406, nr);
    EXPECT_EQ("ORA-01406: fetched column value was truncated\n", s.error_text());
    s.free_stmt(st);
}

TEST_F(FetchTest, DateTimeDescriptorsCarryFractions) {
    OCIStmt* st = s.new_stmt();
    ASSERT_EQ(OCI_SUCCESS, s.execute(st, "select dt, ts, ts3 from alltypes where id = 1"));
    OCIDateTime* dts[3] = {};
    sb2 ind[3] = {};
    for (ub4 i = 0; i < 3; ++i) {
        ASSERT_EQ(OCI_SUCCESS, api.DescriptorAlloc(s.env, reinterpret_cast<void**>(&dts[i]),
                                                   OCI_DTYPE_TIMESTAMP, 0, nullptr));
        OCIDefine* d = nullptr;
        ASSERT_EQ(OCI_SUCCESS, api.DefineByPos(st, &d, s.err, i + 1, &dts[i], 4, SQLT_TIMESTAMP,
                                               &ind[i], nullptr, nullptr, OCI_DEFAULT));
    }
    ASSERT_EQ(OCI_SUCCESS, api.StmtFetch(st, s.err, 1, OCI_FETCH_NEXT, OCI_DEFAULT));
    struct expect {
        sb2 y;
        ub1 mo, d, h, mi, sec;
        ub4 ns;
    };
    const expect e[3] = {{2024, 3, 5, 13, 14, 15, 0},
                         {2024, 3, 5, 13, 14, 15, 123456000},
                         {1999, 12, 31, 23, 59, 59, 999000000}};
    for (int i = 0; i < 3; ++i) {
        sb2 y = 0;
        ub1 mo = 0, dd = 0, h = 0, mi = 0, sec = 0;
        ub4 ns = 1;
        ASSERT_EQ(OCI_SUCCESS, api.DateTimeGetDate(s.env, s.err, dts[i], &y, &mo, &dd));
        ASSERT_EQ(OCI_SUCCESS, api.DateTimeGetTime(s.env, s.err, dts[i], &h, &mi, &sec, &ns));
        EXPECT_EQ(e[i].y, y);
        EXPECT_EQ(e[i].mo, mo);
        EXPECT_EQ(e[i].d, dd);
        EXPECT_EQ(e[i].h, h);
        EXPECT_EQ(e[i].mi, mi);
        EXPECT_EQ(e[i].sec, sec);
        EXPECT_EQ(e[i].ns, ns);
    }
    // A LOB locator is no date-time descriptor.
    OCILobLocator* lob = nullptr;
    api.DescriptorAlloc(s.env, reinterpret_cast<void**>(&lob), OCI_DTYPE_LOB, 0, nullptr);
    sb2 y = 0;
    ub1 mo = 0, dd = 0;
    EXPECT_EQ(OCI_INVALID_HANDLE,
              api.DateTimeGetDate(s.env, s.err, reinterpret_cast<OCIDateTime*>(lob), &y, &mo, &dd));
    s.free_stmt(st);
}

// Reads a LOB the way the product does: amount 0 at an offset, offset += amount, until a
// read returns 0.
std::string read_lob(session& s, OCILobLocator* lob, ub4 piece, ub1 form, int* calls = nullptr) {
    std::string out;
    std::vector<char> buf(piece);
    ub4 offset = 1;
    int n = 0;
    while (true) {
        ub4 amount = 0;
        const sword rc = s.api.LobRead(s.svc, s.err, lob, &amount, offset, buf.data(), piece,
                                       nullptr, nullptr, 0, form);
        EXPECT_TRUE(rc == OCI_SUCCESS || rc == OCI_NEED_DATA) << s.error_text();
        if (rc != OCI_SUCCESS && rc != OCI_NEED_DATA) break;
        ++n;
        if (amount == 0) break;
        out.append(buf.data(), amount);
        offset += amount;
        if (n > 1000) break;
    }
    if (calls) *calls = n;
    return out;
}

TEST_F(FetchTest, LobsAreReadInPiecesOfTheCallersBuffer) {
    OCIStmt* st = s.new_stmt();
    ASSERT_EQ(OCI_SUCCESS, s.execute(st, "select cl, ncl, bl from alltypes where id = 1"));
    OCILobLocator* lobs[3] = {};
    sb2 ind[3] = {};
    const ub2 types[3] = {SQLT_CLOB, SQLT_CLOB, SQLT_BLOB};
    for (ub4 i = 0; i < 3; ++i) {
        ASSERT_EQ(OCI_SUCCESS, api.DescriptorAlloc(s.env, reinterpret_cast<void**>(&lobs[i]),
                                                   OCI_DTYPE_LOB, 0, nullptr));
        OCIDefine* d = nullptr;
        ASSERT_EQ(OCI_SUCCESS, api.DefineByPos(st, &d, s.err, i + 1, &lobs[i], -1, types[i],
                                               &ind[i], nullptr, nullptr, OCI_DEFAULT));
    }
    ASSERT_EQ(OCI_SUCCESS, api.StmtFetch(st, s.err, 1, OCI_FETCH_NEXT, OCI_DEFAULT));
    ub1 form = 9;
    ASSERT_EQ(OCI_SUCCESS, api.LobCharSetForm(s.env, s.err, lobs[0], &form));
    EXPECT_EQ(SQLCS_IMPLICIT, form);
    ASSERT_EQ(OCI_SUCCESS, api.LobCharSetForm(s.env, s.err, lobs[1], &form));
    EXPECT_EQ(SQLCS_NCHAR, form);
    ASSERT_EQ(OCI_SUCCESS, api.LobCharSetForm(s.env, s.err, lobs[2], &form));
    EXPECT_EQ(0, form);

    const std::string text = "The quick brown fox jumps over the lazy dog. Grüße, €uro!";
    int calls = 0;
    EXPECT_EQ(text, read_lob(s, lobs[0], 7, SQLCS_IMPLICIT, &calls));
    EXPECT_GT(calls, 8);  // several pieces, then the read that returns 0
    EXPECT_EQ(text, read_lob(s, lobs[0], 32768, SQLCS_IMPLICIT));
    // Every piece size cuts the text between whole characters.
    for (ub4 piece = 4; piece <= 24; ++piece)
        EXPECT_EQ(text, read_lob(s, lobs[0], piece, SQLCS_IMPLICIT)) << piece;
    ub4 len = 0;
    ASSERT_EQ(OCI_SUCCESS, api.LobGetLength(s.svc, s.err, lobs[0], &len));
    EXPECT_EQ(57u, len);  // characters
    EXPECT_EQ("nclob text", read_lob(s, lobs[1], 4, SQLCS_NCHAR));
    EXPECT_EQ(std::string("\x00\x01\x02\xFF", 4), read_lob(s, lobs[2], 3, 0));

    // An NCLOB read with the implicit form is a form mismatch; offset 0 is illegal.
    char buf[16];
    ub4 amount = 0;
    EXPECT_EQ(OCI_ERROR, api.LobRead(s.svc, s.err, lobs[1], &amount, 1, buf, sizeof buf, nullptr,
                                     nullptr, 0, SQLCS_IMPLICIT));
    EXPECT_EQ("ORA-24806: LOB form mismatch\n", s.error_text());
    EXPECT_EQ(OCI_ERROR, api.LobRead(s.svc, s.err, lobs[2], &amount, 0, buf, sizeof buf, nullptr,
                                     nullptr, 0, 0));
    EXPECT_EQ(24801, s.error_code());
    // Past the end: nothing more, without an error.
    amount = 0;
    EXPECT_EQ(OCI_SUCCESS, api.LobRead(s.svc, s.err, lobs[2], &amount, 100, buf, sizeof buf,
                                       nullptr, nullptr, 0, 0));
    EXPECT_EQ(0u, amount);
    // Another LOB while a polling read is under way.
    amount = 0;
    EXPECT_EQ(OCI_NEED_DATA, api.LobRead(s.svc, s.err, lobs[0], &amount, 1, buf, 4, nullptr,
                                         nullptr, 0, SQLCS_IMPLICIT));
    EXPECT_EQ(OCI_ERROR,
              api.LobRead(s.svc, s.err, lobs[2], &amount, 1, buf, 4, nullptr, nullptr, 0, 0));
    EXPECT_EQ(24804, s.error_code());
    s.free_stmt(st);
}

TEST_F(FetchTest, EmptyLobsReadNothing) {
    OCIStmt* st = s.new_stmt();
    ASSERT_EQ(OCI_SUCCESS, s.execute(st, "select cl, bl from alltypes where id = 3"));
    OCILobLocator* lobs[2] = {};
    sb2 ind[2] = {5, 5};
    for (ub4 i = 0; i < 2; ++i) {
        api.DescriptorAlloc(s.env, reinterpret_cast<void**>(&lobs[i]), OCI_DTYPE_LOB, 0, nullptr);
        OCIDefine* d = nullptr;
        api.DefineByPos(st, &d, s.err, i + 1, &lobs[i], -1, i == 0 ? SQLT_CLOB : SQLT_BLOB, &ind[i],
                        nullptr, nullptr, OCI_DEFAULT);
    }
    ASSERT_EQ(OCI_SUCCESS, api.StmtFetch(st, s.err, 1, OCI_FETCH_NEXT, OCI_DEFAULT));
    EXPECT_EQ(0, ind[0]);
    EXPECT_EQ(0, ind[1]);
    int calls = 0;
    EXPECT_EQ("", read_lob(s, lobs[0], 100, SQLCS_IMPLICIT, &calls));
    EXPECT_EQ(1, calls);
    EXPECT_EQ("", read_lob(s, lobs[1], 100, 0));
    s.free_stmt(st);
}

TEST_F(FetchTest, RawComesAsBytesWithItsLength) {
    OCIStmt* st = s.new_stmt();
    ASSERT_EQ(OCI_SUCCESS, s.execute(st, "select rw from alltypes where id = 1"));
    unsigned char raw[16];
    std::memset(raw, 0, sizeof raw);
    ub2 len = 0;
    sb2 ind = 0;
    OCIDefine* d = nullptr;
    api.DefineByPos(st, &d, s.err, 1, raw, 16, SQLT_BIN, &ind, &len, nullptr, OCI_DEFAULT);
    ASSERT_EQ(OCI_SUCCESS, api.StmtFetch(st, s.err, 1, OCI_FETCH_NEXT, OCI_DEFAULT));
    EXPECT_EQ(4, len);
    EXPECT_EQ(0, std::memcmp(raw, "\xDE\xAD\xBE\xEF", 4));
    s.free_stmt(st);
}

TEST_F(FetchTest, FetchProtocolFollowsOracle) {
    // execute(iters 1) fetches the first row; then fetch continues; NO_DATA at the end with
    // ORA-01403; one more fetch is out of sequence.
    OCIStmt* st = s.new_stmt();
    sb4 empno = 0;
    OCIDefine* d = nullptr;
    const std::u16string q = u16("select empno from emp order by empno");
    api.StmtPrepare(st, s.err, reinterpret_cast<const OraText*>(q.data()),
                    static_cast<ub4>(q.size() * 2), OCI_NTV_SYNTAX, OCI_DEFAULT);
    api.DefineByPos(st, &d, s.err, 1, &empno, 4, SQLT_INT, nullptr, nullptr, nullptr, OCI_DEFAULT);
    ASSERT_EQ(OCI_SUCCESS, api.StmtExecute(s.svc, st, s.err, 1, 0, nullptr, nullptr, OCI_DEFAULT));
    EXPECT_EQ(7369, empno);
    ASSERT_EQ(OCI_SUCCESS, api.StmtFetch(st, s.err, 1, OCI_FETCH_NEXT, OCI_DEFAULT));
    EXPECT_EQ(7782, empno);
    ASSERT_EQ(OCI_SUCCESS, api.StmtFetch(st, s.err, 1, OCI_FETCH_NEXT, OCI_DEFAULT));
    EXPECT_EQ(7839, empno);
    ub4 rows = 0;
    api.AttrGet(st, OCI_HTYPE_STMT, &rows, nullptr, OCI_ATTR_ROW_COUNT, s.err);
    EXPECT_EQ(3u, rows);
    EXPECT_EQ(OCI_NO_DATA, api.StmtFetch(st, s.err, 1, OCI_FETCH_NEXT, OCI_DEFAULT));
    EXPECT_EQ("ORA-01403: no data found\n", s.error_text());
    EXPECT_EQ(OCI_ERROR, api.StmtFetch(st, s.err, 1, OCI_FETCH_NEXT, OCI_DEFAULT));
    EXPECT_EQ("ORA-01002: fetch out of sequence\n", s.error_text());

    // An empty result with iters 1 is OCI_NO_DATA straight from execute.
    ASSERT_EQ(OCI_NO_DATA, s.execute(st, "select empno from emp where empno < 0", 1));
    // Fetching without any define.
    OCIStmt* st2 = s.new_stmt();
    ASSERT_EQ(OCI_SUCCESS, s.execute(st2, "select empno from emp"));
    EXPECT_EQ(OCI_ERROR, api.StmtFetch(st2, s.err, 1, OCI_FETCH_NEXT, OCI_DEFAULT));
    EXPECT_EQ(24374, s.error_code());
    // Freeing a define before its statement is tolerated.
    EXPECT_EQ(OCI_SUCCESS, api.HandleFree(d, OCI_HTYPE_DEFINE));
    s.free_stmt(st);
    s.free_stmt(st2);
}

TEST_F(FetchTest, ConversionErrorsAreOracleErrors) {
    struct row {
        const char* sql;
        ub2 dty;
        int code;
    };
    const row rows[] = {
        {"select vc from alltypes where id = 1", SQLT_INT, 1722},
        {"select dt from alltypes where id = 1", SQLT_INT, 932},
        {"select n from nums where k = 6", SQLT_INT, 1455},
        {"select cl from alltypes where id = 1", SQLT_BLOB, 932},
        {"select vc from alltypes where id = 1", SQLT_TIMESTAMP, 932},
    };
    for (const auto& r : rows) {
        OCIStmt* st = s.new_stmt();
        ASSERT_EQ(OCI_SUCCESS, s.execute(st, r.sql)) << s.error_text();
        OCILobLocator* lob = nullptr;
        api.DescriptorAlloc(s.env, reinterpret_cast<void**>(&lob), OCI_DTYPE_LOB, 0, nullptr);
        OCIDateTime* ts = nullptr;
        api.DescriptorAlloc(s.env, reinterpret_cast<void**>(&ts), OCI_DTYPE_TIMESTAMP, 0, nullptr);
        sb4 v = 0;
        void* target = r.dty == SQLT_INT    ? static_cast<void*>(&v)
                       : r.dty == SQLT_BLOB ? static_cast<void*>(&lob)
                                            : static_cast<void*>(&ts);
        OCIDefine* d = nullptr;
        sb2 ind = 0;
        api.DefineByPos(st, &d, s.err, 1, target, 4, r.dty, &ind, nullptr, nullptr, OCI_DEFAULT);
        EXPECT_EQ(OCI_ERROR, api.StmtFetch(st, s.err, 1, OCI_FETCH_NEXT, OCI_DEFAULT)) << r.sql;
        EXPECT_EQ(r.code, s.error_code()) << r.sql;
        s.free_stmt(st);
    }
}

}  // namespace
}  // namespace ocilite_test
