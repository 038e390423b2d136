// Time zone timestamps and intervals as Oracle hands them over: converted into timestamp
// descriptors (the zone dropped), printed in the default NLS forms at the column's precisions,
// and cut with ORA-01406 when the define's buffer is too small.
#include <gtest/gtest.h>

#include <cstring>

#include "fixture_db.h"
#include "loaded_db.h"
#include "oci_client.h"

namespace ocilite_test {
namespace {

// Values stored the way ocilite-load stores them, and the literal forms it stored before
// ("2-3", "3 04:05:06.123"), which the engine still reads.
constexpr const char* kTemporal = R"sql(
INSERT INTO ocilite_tables(table_name, owner) VALUES('TEMPORAL', 'SCOTT');
INSERT INTO ocilite_columns(table_name, column_id, column_name, data_type, data_length,
    data_precision, data_scale, nullable) VALUES
 ('TEMPORAL', 1, 'ID', 'NUMBER', 22, 2, 0, 'N'),
 ('TEMPORAL', 2, 'TSTZ', 'TIMESTAMP(6) WITH TIME ZONE', 13, NULL, 6, 'Y'),
 ('TEMPORAL', 3, 'TSLTZ', 'TIMESTAMP(3) WITH LOCAL TIME ZONE', 11, NULL, 3, 'Y'),
 ('TEMPORAL', 4, 'IYM', 'INTERVAL YEAR(2) TO MONTH', 5, 2, 0, 'Y'),
 ('TEMPORAL', 5, 'IYM4', 'INTERVAL YEAR(4) TO MONTH', 5, 4, 0, 'Y'),
 ('TEMPORAL', 6, 'IDS', 'INTERVAL DAY(2) TO SECOND(6)', 11, 2, 6, 'Y'),
 ('TEMPORAL', 7, 'IDS0', 'INTERVAL DAY(3) TO SECOND(0)', 11, 3, 0, 'Y');
CREATE TABLE TEMPORAL(ID NOT NULL, TSTZ TEXT, TSLTZ TEXT, IYM TEXT, IYM4 TEXT, IDS TEXT,
  IDS0 TEXT);
INSERT INTO TEMPORAL VALUES
 (1, '2024-03-05 13:14:15.123456000 +02:00', '1999-12-31 23:59:59.999000000', '2-3', '2-3',
  '3 04:05:06.123', '3 04:05:06.5'),
 (2, '1924-07-01 00:00:00.000000000 -08:00', '2000-01-01 00:00:00.000000000', '-01-11',
  '+0010-00', '-00 00:00:00.000001', '+100 23:59:59.999999'),
 (3, '2024-03-05 13:14:15.000000000 US/Pacific', NULL, NULL, NULL, NULL, NULL);
)sql";

class TemporalTest : public ::testing::Test {
  protected:
    void SetUp() override {
        db.exec(kTemporal);
        ASSERT_EQ(OCI_SUCCESS, s.connect(db.path())) << s.error_text();
    }

    oci_api api;
    fixture_db db;
    session s{api};
};

TEST_F(TemporalTest, TextFormsFollowTheDefaultNlsFormatsAndPrecisions) {
    const auto rows = s.rows("select tstz, tsltz, iym, iym4, ids, ids0 from temporal order by id");
    ASSERT_EQ(3u, rows.size());
    const text_row expected[] = {
        {"05-MAR-24 01.14.15.123456 PM +02:00", "31-DEC-99 11.59.59.999 PM", "+02-03", "+0002-03",
         "+03 04:05:06.123000", "+003 04:05:07"},
        {"01-JUL-24 12.00.00.000000 AM -08:00", "01-JAN-00 12.00.00.000 AM", "-01-11", "+0010-00",
         "-00 00:00:00.000001", "+101 00:00:00"},
        {"05-MAR-24 01.14.15.000000 PM US/Pacific", std::nullopt, std::nullopt, std::nullopt,
         std::nullopt, std::nullopt},
    };
    for (std::size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(expected[i], rows[i]) << "row " << i;
}

TEST_F(TemporalTest, ZonedTimestampsConvertIntoTimestampDescriptors) {
    struct expect {
        sb2 y;
        ub1 mo, d, h, mi, sec;
        ub4 ns;
    };
    // TIMESTAMP WITH TIME ZONE keeps its local time (the zone is dropped); WITH LOCAL TIME ZONE
    // is in the session zone, which is the database zone UTC.
    const expect tstz[] = {{2024, 3, 5, 13, 14, 15, 123456000}, {1924, 7, 1, 0, 0, 0, 0}};
    const expect tsltz[] = {{1999, 12, 31, 23, 59, 59, 999000000}, {2000, 1, 1, 0, 0, 0, 0}};
    // The descriptor and external type pairs programs use for these columns.
    const struct {
        ub4 dtype;
        ub2 dty;
    } defines[] = {{OCI_DTYPE_TIMESTAMP, SQLT_TIMESTAMP},
                   {OCI_DTYPE_TIMESTAMP_TZ, SQLT_TIMESTAMP_TZ},
                   {OCI_DTYPE_TIMESTAMP_LTZ, SQLT_TIMESTAMP_LTZ}};
    for (const auto& def : defines) {
        SCOPED_TRACE(def.dty);
        OCIStmt* st = s.new_stmt();
        ASSERT_EQ(OCI_SUCCESS, s.execute(st,
                                         "select tstz, tsltz from temporal where id < 3 "
                                         "order by id"));
        OCIDateTime* dts[2] = {};
        sb2 ind[2] = {5, 5};
        for (ub4 i = 0; i < 2; ++i) {
            ASSERT_EQ(OCI_SUCCESS, api.DescriptorAlloc(s.env, reinterpret_cast<void**>(&dts[i]),
                                                       def.dtype, 0, nullptr));
            OCIDefine* d = nullptr;
            ASSERT_EQ(OCI_SUCCESS, api.DefineByPos(st, &d, s.err, i + 1, &dts[i], 4, def.dty,
                                                   &ind[i], nullptr, nullptr, OCI_DEFAULT));
        }
        for (int row = 0; row < 2; ++row) {
            ASSERT_EQ(OCI_SUCCESS, api.StmtFetch(st, s.err, 1, OCI_FETCH_NEXT, OCI_DEFAULT))
                << s.error_text();
            for (int c = 0; c < 2; ++c) {
                const expect& e = c == 0 ? tstz[row] : tsltz[row];
                EXPECT_EQ(0, ind[c]);
                sb2 y = 0;
                ub1 mo = 0, dd = 0, h = 0, mi = 0, sec = 0;
                ub4 ns = 1;
                ASSERT_EQ(OCI_SUCCESS, api.DateTimeGetDate(s.env, s.err, dts[c], &y, &mo, &dd));
                ASSERT_EQ(OCI_SUCCESS,
                          api.DateTimeGetTime(s.env, s.err, dts[c], &h, &mi, &sec, &ns));
                EXPECT_EQ(e.y, y) << row << "," << c;
                EXPECT_EQ(e.mo, mo) << row << "," << c;
                EXPECT_EQ(e.d, dd) << row << "," << c;
                EXPECT_EQ(e.h, h) << row << "," << c;
                EXPECT_EQ(e.mi, mi) << row << "," << c;
                EXPECT_EQ(e.sec, sec) << row << "," << c;
                EXPECT_EQ(e.ns, ns) << row << "," << c;
            }
        }
        s.free_stmt(st);
    }
}

TEST_F(TemporalTest, ZonedTimestampIntoSevenByteDate) {
    OCIStmt* st = s.new_stmt();
    ASSERT_EQ(OCI_SUCCESS, s.execute(st, "select tstz from temporal where id = 1"));
    unsigned char b[7] = {};
    sb2 ind = 5;
    OCIDefine* d = nullptr;
    api.DefineByPos(st, &d, s.err, 1, b, 7, SQLT_DAT, &ind, nullptr, nullptr, OCI_DEFAULT);
    ASSERT_EQ(OCI_SUCCESS, api.StmtFetch(st, s.err, 1, OCI_FETCH_NEXT, OCI_DEFAULT));
    const unsigned char expected[7] = {120, 124, 3, 5, 14, 15, 16};
    EXPECT_EQ(0, std::memcmp(expected, b, 7));
    s.free_stmt(st);
}

// The reader's interval buffer of 16 characters cannot hold DAY(2) TO SECOND(6): the value is
// cut as every text is, with the whole length in the indicator.
TEST_F(TemporalTest, IntervalLongerThanTheBufferIsTruncatedWithInfo) {
    OCIStmt* st = s.new_stmt();
    ASSERT_EQ(OCI_SUCCESS, s.execute(st, "select ids, iym from temporal where id = 1"));
    char16_t ids[16];
    char16_t iym[16];
    sb2 ids_ind = 0, iym_ind = 0;
    ub2 ids_len = 0, ids_code = 0, iym_code = 9;
    OCIDefine* d = nullptr;
    api.DefineByPos(st, &d, s.err, 1, ids, sizeof ids, SQLT_STR, &ids_ind, &ids_len, &ids_code,
                    OCI_DEFAULT);
    api.DefineByPos(st, &d, s.err, 2, iym, sizeof iym, SQLT_STR, &iym_ind, nullptr, &iym_code,
                    OCI_DEFAULT);
    ASSERT_EQ(OCI_SUCCESS_WITH_INFO, api.StmtFetch(st, s.err, 1, OCI_FETCH_NEXT, OCI_DEFAULT));
    EXPECT_EQ("ORA-01406: fetched column value was truncated\n", s.error_text());
    EXPECT_EQ(u"+03 04:05:06.12", std::u16string(ids));
    EXPECT_EQ(38, ids_ind);  // 19 characters in UTF-16
    EXPECT_EQ(30, ids_len);
    EXPECT_EQ(1406, ids_code);
    EXPECT_EQ(u"+02-03", std::u16string(iym));
    EXPECT_EQ(0, iym_ind);
    EXPECT_EQ(0, iym_code);
    s.free_stmt(st);

    // 19 characters and the terminator fit exactly.
    const auto rows = s.rows("select ids from temporal where id = 1", 19);
    ASSERT_EQ(1u, rows.size());
    EXPECT_EQ("+03 04:05:06.123000", *rows[0][0]);
}

TEST_F(TemporalTest, IntervalsConvertToNothingButText) {
    for (const ub2 dty : {SQLT_INT, SQLT_TIMESTAMP, SQLT_DAT}) {
        SCOPED_TRACE(dty);
        OCIStmt* st = s.new_stmt();
        ASSERT_EQ(OCI_SUCCESS, s.execute(st, "select ids from temporal where id = 1"));
        OCIDateTime* ts = nullptr;
        api.DescriptorAlloc(s.env, reinterpret_cast<void**>(&ts), OCI_DTYPE_TIMESTAMP, 0, nullptr);
        unsigned char buf[8] = {};
        void* target = dty == SQLT_TIMESTAMP ? static_cast<void*>(&ts) : buf;
        sb2 ind = 0;
        OCIDefine* d = nullptr;
        api.DefineByPos(st, &d, s.err, 1, target, dty == SQLT_DAT ? 7 : 4, dty, &ind, nullptr,
                        nullptr, OCI_DEFAULT);
        EXPECT_EQ(OCI_ERROR, api.StmtFetch(st, s.err, 1, OCI_FETCH_NEXT, OCI_DEFAULT));
        EXPECT_EQ(932, s.error_code());
        s.free_stmt(st);
    }
}

TEST_F(TemporalTest, DescribeGivesLeadingAndFractionalPrecision) {
    const auto got = s.describe("select tstz, tsltz, iym4, ids0 from temporal");
    ASSERT_EQ(4u, got.size());
    EXPECT_EQ(SQLT_TIMESTAMP_TZ, got[0].type);
    EXPECT_EQ(6, got[0].scale);
    EXPECT_EQ(SQLT_TIMESTAMP_LTZ, got[1].type);
    EXPECT_EQ(3, got[1].scale);
    EXPECT_EQ(SQLT_INTERVAL_YM, got[2].type);
    EXPECT_EQ(4, got[2].precision);
    EXPECT_EQ(SQLT_INTERVAL_DS, got[3].type);
    EXPECT_EQ(3, got[3].precision);
    EXPECT_EQ(0, got[3].scale);
}

// What ocilite-load stores from Oracle SQL comes back as Oracle gives it.
TEST(TemporalRoundTrip, LoaderValuesFetchAsOracleValues) {
    loaded_db db(
        "CREATE TABLE t (id NUMBER, tz TIMESTAMP(3) WITH TIME ZONE,\n"
        "  ltz TIMESTAMP WITH LOCAL TIME ZONE, ym INTERVAL YEAR TO MONTH,\n"
        "  ds INTERVAL DAY(3) TO SECOND(2));\n"
        "INSERT INTO t VALUES (1, TIMESTAMP '1924-07-01 23:30:00.25 -08:00',\n"
        "  TIMESTAMP '2021-01-01 01:30:00 +02:00', INTERVAL '2-3' YEAR TO MONTH,\n"
        "  INTERVAL '3 04:05:06.125' DAY TO SECOND);\n"
        "INSERT INTO t VALUES (2, '05-MAR-24 01.14.15.000000 PM +05:30', NULL, '-0-1',\n"
        "  '0 0:0:0.001');\n");
    oci_api api;
    session s(api);
    ASSERT_EQ(OCI_SUCCESS, s.connect(db.path())) << s.error_text();
    const auto rows = s.rows("select tz, ltz, ym, ds from t order by id");
    ASSERT_EQ(2u, rows.size());
    EXPECT_EQ((text_row{"01-JUL-24 11.30.00.250 PM -08:00", "31-DEC-20 11.30.00.000000 PM",
                        "+02-03", "+003 04:05:06.13"}),
              rows[0]);
    EXPECT_EQ(
        (text_row{"05-MAR-24 01.14.15.000 PM +05:30", std::nullopt, "-00-01", "+000 00:00:00.00"}),
        rows[1]);

    OCIStmt* st = s.new_stmt();
    ASSERT_EQ(OCI_SUCCESS, s.execute(st, "select tz from t where id = 1"));
    OCIDateTime* dt = nullptr;
    api.DescriptorAlloc(s.env, reinterpret_cast<void**>(&dt), OCI_DTYPE_TIMESTAMP, 0, nullptr);
    OCIDefine* d = nullptr;
    sb2 ind = 5;
    api.DefineByPos(st, &d, s.err, 1, &dt, 4, SQLT_TIMESTAMP, &ind, nullptr, nullptr, OCI_DEFAULT);
    ASSERT_EQ(OCI_SUCCESS, api.StmtFetch(st, s.err, 1, OCI_FETCH_NEXT, OCI_DEFAULT))
        << s.error_text();
    sb2 y = 0;
    ub1 mo = 0, dd = 0, h = 0, mi = 0, sec = 0;
    ub4 ns = 0;
    api.DateTimeGetDate(s.env, s.err, dt, &y, &mo, &dd);
    api.DateTimeGetTime(s.env, s.err, dt, &h, &mi, &sec, &ns);
    EXPECT_EQ(1924, y);
    EXPECT_EQ(7, mo);
    EXPECT_EQ(1, dd);
    EXPECT_EQ(23, h);
    EXPECT_EQ(30, mi);
    EXPECT_EQ(250000000u, ns);
    s.free_stmt(st);
}

}  // namespace
}  // namespace ocilite_test
