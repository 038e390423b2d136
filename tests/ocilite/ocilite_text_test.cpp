// Unit tests of the engine's text and SQL services (linked directly, not through OCI).
#include <gtest/gtest.h>

#include "ol_sql.h"
#include "ol_text.h"
#include "ol_types.h"

namespace ocilite {
namespace {

TEST(NumberText, OracleCanonicalForms) {
    struct row {
        const char* in;
        const char* out;
    };
    const row rows[] = {
        {"0", "0"},
        {"-0.000", "0"},
        {"0.5", ".5"},
        {"-0.25", "-.25"},
        {"85.00", "85"},
        {"+007", "7"},
        {"1e40", "10000000000000000000000000000000000000000"},
        {"1e63", "1000000000000000000000000000000000000000000000000000000000000000"},
        {"1e64", "1.0E+64"},
        {"-1e62", "-100000000000000000000000000000000000000000000000000000000000000"},
        {"-1e63", "-1.0E+63"},
        {"-1.5e100", "-1.5E+100"},
        {"1e-63", ".000000000000000000000000000000000000000000000000000000000000001"},
        {"1e-64", "1.0E-64"},
        {"12345678901234567890123456789012345678901234",
         "12345678901234567890123456789012345678900000"},
        {"0.99999999999999999999999999999999999999999", "1"},
        {"123.4500", "123.45"},
        {"1.", "1"},
        {".1E+1", "1"},
    };
    for (const auto& r : rows) {
        std::string out;
        ASSERT_TRUE(number_text(r.in, out)) << r.in;
        EXPECT_EQ(r.out, out) << r.in;
    }
    std::string out;
    for (const char* bad : {"", "abc", "1.2.3", "1e", "--1", "12x"})
        EXPECT_FALSE(number_text(bad, out)) << bad;
    EXPECT_EQ(".1", number_text(0.1));
    EXPECT_EQ("-9223372036854775808", number_text(std::int64_t{INT64_MIN}));
}

TEST(DateText, DefaultNlsFormats) {
    date_time d;
    ASSERT_TRUE(parse_date_time("2024-03-05 00:14:15.5", d));
    EXPECT_EQ(500000000u, d.nanos);
    EXPECT_EQ("05-MAR-24", date_text(d));
    EXPECT_EQ("05-MAR-24 12.14.15.500000 AM", timestamp_text(d, 6));
    EXPECT_EQ("05-MAR-24 12.14.15 AM", timestamp_text(d, 0));
    ASSERT_TRUE(parse_date_time("2000-12-31", d));
    EXPECT_EQ(0, d.hour);
    for (const char* bad : {"", "2024-13-01", "2024-03-05X", "24-03-05", "2024-03-05 25:00:00"})
        EXPECT_FALSE(parse_date_time(bad, d)) << bad;
}

TEST(DateText, ZonedTimestampsKeepLocalTimeAndZone) {
    date_time d;
    std::string zone;
    ASSERT_TRUE(parse_date_time_zone("2024-03-05 13:14:15.5 +02:00", d, zone));
    EXPECT_EQ(13, d.hour);
    EXPECT_EQ(500000000u, d.nanos);
    EXPECT_EQ("+02:00", zone);
    ASSERT_TRUE(parse_date_time_zone("2024-03-05 13:14:15  US/Pacific ", d, zone));
    EXPECT_EQ("US/Pacific", zone);
    ASSERT_TRUE(parse_date_time_zone("2024-03-05 13:14:15", d, zone));
    EXPECT_EQ("", zone);
    for (const char* bad : {"2024-03-05 13:14:15+02:00", "05-MAR-24 01.14.15 PM +02:00", ""})
        EXPECT_FALSE(parse_date_time_zone(bad, d, zone)) << bad;
}

TEST(IntervalText, YearToMonth) {
    struct row {
        const char* in;
        int leading;
        const char* out;
    };
    const row rows[] = {
        {"2-3", 2, "+02-03"},     {"+02-03", 2, "+02-03"}, {"-1-11", 2, "-01-11"},
        {" 2-3 ", 4, "+0002-03"}, {"123-0", 2, "+123-00"}, {"0-0", 2, "+00-00"},
        {"5", 1, "+5-00"},        {"-0-0", 2, "+00-00"},
    };
    for (const auto& r : rows) {
        std::int64_t months = 0;
        ASSERT_TRUE(parse_interval_ym(r.in, months)) << r.in;
        EXPECT_EQ(r.out, interval_ym_text(months, r.leading)) << r.in;
    }
    std::int64_t months = 0;
    for (const char* bad : {"", "2-12", "2-", "x", "2-3-4", "--2-3", "2 -3", "1234567890-0"})
        EXPECT_FALSE(parse_interval_ym(bad, months)) << bad;
}

TEST(IntervalText, DayToSecond) {
    struct row {
        const char* in;
        int leading, fraction;
        const char* out;
    };
    const row rows[] = {
        {"3 04:05:06.123", 2, 6, "+03 04:05:06.123000"},
        {"+03 04:05:06.123000", 2, 6, "+03 04:05:06.123000"},
        {"-1 2:3:4", 2, 6, "-01 02:03:04.000000"},
        {"3 04:05:06.5", 3, 0, "+003 04:05:07"},
        {"0 23:59:59.9999999", 2, 6, "+01 00:00:00.000000"},
        {"-0 00:00:00.0000001", 2, 6, "+00 00:00:00.000000"},  // rounds to zero: no sign
        {"7", 2, 2, "+07 00:00:00.00"},
        {"7 12", 2, 0, "+07 12:00:00"},
        {"7 12:30", 2, 9, "+07 12:30:00.000000000"},
        {"1 00:00:00.123456789123", 2, 9, "+01 00:00:00.123456789"},
    };
    for (const auto& r : rows) {
        interval_ds v;
        ASSERT_TRUE(parse_interval_ds(r.in, v)) << r.in;
        EXPECT_EQ(r.out, interval_ds_text(v, r.leading, r.fraction)) << r.in;
    }
    interval_ds v;
    for (const char* bad : {"", "3 24:00:00", "3 04:60:00", "3 04:05:61", "3 04:05:06.",
                            "3 04:05:06x", "3T04:05:06", "a 04:05:06", "3 4:5:6:7"})
        EXPECT_FALSE(parse_interval_ds(bad, v)) << bad;
}

TEST(BinaryFloatText, ScientificWithThreeExponentDigits) {
    EXPECT_EQ("1.0000000000000001E-001", binary_float_text(0.1, false));
    EXPECT_EQ("1.0000000000000000E+100", binary_float_text(1e100, false));
    EXPECT_EQ("-2.50000000E-001", binary_float_text(-0.25, true));
    EXPECT_EQ("Inf", binary_float_text(1.0 / 0.0, false));
    EXPECT_EQ("Nan", binary_float_text(0.0 / 0.0, false));
}

TEST(Utf16, RoundTripsAndRepairsBrokenInput) {
    const std::string s = "A\xC3\xBC\xE2\x82\xAC\xF0\x9F\x98\x80";  // A ü € 😀
    const std::u16string w = utf8_to_utf16(s);
    EXPECT_EQ(5u, w.size());
    EXPECT_EQ(5u, utf16_length(s));
    EXPECT_EQ(s, utf16_to_utf8(w));
    EXPECT_EQ(u"\uFFFD\uFFFDx", utf8_to_utf16("\xE2\x82x"));  // cut sequence
    EXPECT_EQ("\xEF\xBF\xBD", utf16_to_utf8(u"\xD800"));
}

TEST(RewriteSql, OracleTextsBecomeSqlite) {
    struct row {
        const char* in;
        const char* out;
    };
    const row rows[] = {
        {"select * from v$version", "SELECT * FROM \"V$VERSION\""},
        {"select VIEW_NAME, TEXT from SYS.USER_VIEWS", "SELECT VIEW_NAME, TEXT FROM USER_VIEWS"},
        {"select a from \"Mixed\" where b = 'x''y' and c = ''",
         "SELECT A FROM \"Mixed\" WHERE B = 'x''y' AND C = NULL"},
        {"select 1 -- comment\nfrom dual", "SELECT 1  \nFROM DUAL"},
        {"select a from t where b ^= 1", "SELECT A FROM T WHERE B != 1"},
        {"SELECT * FROM \"SCOTT\".\"EMP\"", "SELECT * FROM \"EMP\""},
        {"select e.ename from scott . emp e", "SELECT E.ENAME FROM EMP E"},
        // Oracle's || treats NULL as an empty string.
        {"select a || b from t", "SELECT coalesce(A, '') || coalesce(B, '') FROM T"},
        {"select e.a||upper(b)||(c) from t e",
         "SELECT coalesce(E.A, '')||coalesce(coalesce(UPPER(B), ''), '')||coalesce((C), '') "
         "FROM T E"},
        {"select x from t where (a) || 'z' = b",
         "SELECT X FROM T WHERE coalesce((A), '') || coalesce('z', '') = B"},
    };
    for (const auto& r : rows) {
        std::string out;
        ora_error e;
        ASSERT_TRUE(rewrite_sql(r.in, out, e, {"SYS", "SCOTT"})) << r.in << ": " << e.message;
        EXPECT_EQ(r.out, out);
    }
    struct bad {
        const char* in;
        int code;
    };
    const bad bads[] = {{"select 1 from dual;", 911},
                        {"select 'x from dual", 1756},
                        {"select \"x from dual", 1740},
                        {"select \"\" from dual", 1741},
                        {"update t set a = 1", 1031},
                        {"hello", 900},
                        {"   ", 24373},
                        {"select /* open", 1742},
                        {"select a @ b from t", 911}};
    for (const auto& b : bads) {
        std::string out;
        ora_error e;
        EXPECT_FALSE(rewrite_sql(b.in, out, e)) << b.in;
        EXPECT_EQ(b.code, e.code) << b.in;
    }
}

// ROWID and statements that change data (parsed only), with a database of two tables.
TEST(RewriteSql, RowidsAndParsedChanges) {
    rewrite_options opts;
    opts.parse_only = true;
    opts.table_object = [](const std::string& t) -> std::optional<std::int64_t> {
        if (t == "EMP") return 73196;
        if (t == "DEPT") return 73197;
        return std::nullopt;
    };
    const std::string emp1 = rowid_text(73196, 1);
    struct row {
        std::string in, out;
        std::vector<int> columns;  // ROWID columns from the start; -1 - n: n from the end
    };
    const row rows[] = {
        {"select rowid from emp", "SELECT OCILITE_ROWID(EMP.rowid, 73196) AS ROWID FROM EMP", {0}},
        {"select e.rowid r, ename from emp e",
         "SELECT OCILITE_ROWID(E.rowid, 73196) R, ENAME FROM EMP E",
         {0}},
        {"select e.*, e.rowid from emp e",
         "SELECT E.*, OCILITE_ROWID(E.rowid, 73196) AS ROWID FROM EMP E",
         {-1}},
        {"select a from emp where rowid = '" + emp1 + "'",
         "SELECT A FROM EMP WHERE EMP.rowid = 1",
         {}},
        {"select a from dept d where '" + emp1 + "' = d.rowid", "SELECT A FROM DEPT D WHERE 0", {}},
        {"select a from emp where rowid || 'x' = 'y'",
         "SELECT A FROM EMP WHERE coalesce(OCILITE_ROWID(EMP.rowid, 73196), '') || "
         "coalesce('x', '') = 'y'",
         {}},
        {"select (select d.rowid from dept d) from emp",
         "SELECT (SELECT OCILITE_ROWID(D.rowid, 73197) FROM DEPT D) FROM EMP",
         {}},
        {"delete emp where rowid = :1",
         "DELETE FROM EMP WHERE OCILITE_ROWID(EMP.rowid, 73196) = :1",
         {}},
        {"update emp e set e.ename = :1, sal = 2 where e.empno = 3",
         "UPDATE EMP AS E SET ENAME = :1, SAL = 2 WHERE E.EMPNO = 3",
         {}},
        {"insert into emp (a) values (:1) returning rowid into :2",
         "INSERT INTO EMP (A) VALUES (:1) RETURNING OCILITE_ROWID(EMP.rowid, 73196) ",
         {}},
    };
    for (const auto& r : rows) {
        std::string out;
        ora_error e;
        std::vector<rowid_column> cols;
        ASSERT_TRUE(rewrite_sql(r.in, out, e, opts, &cols)) << r.in << ": " << e.message;
        EXPECT_EQ(r.out, out) << r.in;
        std::vector<int> got;
        for (const auto& c : cols) got.push_back(c.from_end ? -1 - c.index : c.index);
        EXPECT_EQ(r.columns, got) << r.in;
    }
    // Without parse_only a change is refused; views and joins refuse an unqualified ROWID.
    std::string out;
    ora_error e;
    opts.parse_only = false;
    EXPECT_FALSE(rewrite_sql("delete from emp", out, e, opts, nullptr));
    EXPECT_EQ(1031, e.code);
    EXPECT_FALSE(rewrite_sql("select rowid from emp, dept", out, e, opts, nullptr));
    EXPECT_EQ(918, e.code);
    EXPECT_FALSE(rewrite_sql("select rowid from emp_view", out, e, opts, nullptr));
    EXPECT_EQ(1445, e.code);
    EXPECT_FALSE(rewrite_sql("select 1 from emp where rowid = 'x'", out, e, opts, nullptr));
    EXPECT_EQ(1410, e.code);
}

TEST(MapSqliteError, OracleNumbersAndTexts) {
    EXPECT_EQ("ORA-00942: table or view does not exist\n",
              format_error(map_sqlite_error("no such table: FOO")));
    EXPECT_EQ("ORA-00904: \"A\".\"B\": invalid identifier\n",
              format_error(map_sqlite_error("no such column: A.B")));
    EXPECT_EQ(936, map_sqlite_error("near \"FROM\": syntax error").code);
    EXPECT_EQ(933, map_sqlite_error("near \"GARBAGE\": syntax error").code);
    EXPECT_EQ(936, map_sqlite_error("incomplete input").code);
    EXPECT_EQ(918, map_sqlite_error("ambiguous column name: X").code);
    EXPECT_EQ(900, map_sqlite_error("something else entirely").code);
}

TEST(DescribeDeclared, OracleTypeTexts) {
    auto d = describe_declared("VARCHAR2(10 CHAR)");
    ASSERT_TRUE(d);
    EXPECT_EQ(40, d->data_size);
    EXPECT_EQ(1, d->char_used);
    d = describe_declared("NUMBER(7,2)");
    ASSERT_TRUE(d);
    EXPECT_EQ(7, d->precision);
    EXPECT_EQ(2, d->scale);
    d = describe_declared("INTERVAL DAY(3) TO SECOND(0)");
    ASSERT_TRUE(d);
    EXPECT_EQ(190, d->data_type);
    EXPECT_EQ(3, d->precision);
    EXPECT_EQ(0, d->scale);
    d = describe_declared("LONG VARCHAR");
    ASSERT_TRUE(d);
    EXPECT_EQ(8, d->data_type);
    EXPECT_FALSE(describe_declared("TEXT"));
}

}  // namespace
}  // namespace ocilite
