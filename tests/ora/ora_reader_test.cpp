// Reading tables and queries: a column of every kind the reader handles,
// skipped types, catalog details (defaults, national sizes, LONG), indexes
// and foreign keys, awkward table names, cut values and the result-set
// protocol.
#include <gtest/gtest.h>

#include <random>

#include "ora_exception.h"
#include "ora_query_results.h"
#include "ora_table.h"
#include "ora_test_support.h"

using namespace ora_test;

namespace {

constexpr const char* kKinds = R"sql(
CREATE TABLE kinds (
  id NUMBER(10) NOT NULL,
  n52 NUMBER(5,2) DEFAULT 1.25,
  n55 NUMBER(5,5),
  num NUMBER,
  flt FLOAT,
  vc VARCHAR2(20) DEFAULT 'it''s',
  vcc VARCHAR2(10 CHAR),
  ch CHAR(3),
  nvc NVARCHAR2(20),
  nch NCHAR(4),
  dt DATE DEFAULT SYSDATE,
  ts TIMESTAMP,
  ts3 TIMESTAMP(3),
  ts9 TIMESTAMP(9),
  tstz TIMESTAMP WITH TIME ZONE,
  ids INTERVAL DAY TO SECOND,
  rw RAW(16),
  lng LONG,
  cl CLOB,
  ncl NCLOB,
  bl BLOB,
  bf BINARY_FLOAT,
  bd BINARY_DOUBLE,
  rid ROWID,
  usr VARCHAR2(30) DEFAULT USER,
  CONSTRAINT kinds_pk PRIMARY KEY (id)
);
CREATE TABLE long_raws (id NUMBER(4), lr LONG RAW);
CREATE TABLE skipped_only (a TIMESTAMP(9), b INTERVAL DAY TO SECOND);
)sql";

// The columns the reader keeps, in catalog order.
const char* const kKept[] = {"ID",  "N52", "N55", "NUM", "FLT", "VC", "VCC", "CH",
                             "NVC", "NCH", "DT",  "TS",  "TS3", "RW", "LNG", "CL",
                             "NCL", "BL",  "BF",  "BD",  "RID", "USR"};

std::string utf8_of(const ole_variant& v) {
    return u8(v.to_wstring());
}

std::vector<uint8_t> bytes_of(const ole_variant& v) {
    const uint8_t* p = nullptr;
    const int32_t n = v.get_bytes(p);
    return std::vector<uint8_t>(p, p + n);
}

std::vector<uint8_t> bytes_of(const std::string& s) {
    return std::vector<uint8_t>(s.begin(), s.end());
}

ole_systemtime date(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0) {
    ole_systemtime t;
    t.year = static_cast<uint16_t>(y);
    t.month = static_cast<uint16_t>(mo);
    t.day = static_cast<uint16_t>(d);
    t.hour = static_cast<uint16_t>(h);
    t.minute = static_cast<uint16_t>(mi);
    t.second = static_cast<uint16_t>(s);
    t.milliseconds = static_cast<uint16_t>(ms);
    return t;
}

// A text longer than two 32 KiB pieces, with multi-byte characters and a
// surrogate pair on the piece boundaries (16,384 UTF-16 units a piece).
std::string long_clob() {
    std::string s;
    while (s.size() < 16383) s += "abcdefghij";
    s.resize(16383);
    s += "\xF0\x9F\x98\x80";  // U+1F600: a surrogate pair across the first boundary
    s += "\xC3\xA9\xE2\x82\xAC";
    while (s.size() < 70000) s += "\xD0\x96 \xE4\xB8\x96 grüße ";
    return s;
}

std::string random_bytes(size_t n) {
    std::mt19937 gen(42);
    std::string s(n, '\0');
    for (char& c : s) c = static_cast<char>(gen() & 0xFF);
    s[0] = '\0';
    return s;
}

class KindsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        db.exec(
            "INSERT INTO KINDS(ID, N52, N55, NUM, FLT, VC, VCC, CH, NVC, NCH, DT, TS, TS3, TS9, "
            "TSTZ, IDS, RW, LNG, CL, NCL, BL, BF, BD, RID, USR) VALUES "
            "(1234567890, '3.14', '.12345', '-.25', '1.5E+40', 'it''s', 'grüße', 'ab ', "
            "'Привет', '世界  ', '2024-03-05 13:14:15', '2024-03-05 13:14:15.123456000', "
            "'1999-12-31 23:59:59.999000000', '2024-01-01 00:00:00.000000001', "
            "'05-MAR-24 01.14.15.000000 PM +02:00', '+03 04:05:06.123000', "
            "x'000102030405060708090A0B0C0D0E0F', 'long text', NULL, "
            "'Привет, 世界', NULL, 1.5, 0.1, 'AAAR3sAAEAAAACXAAA', 'T'),"
            "(2, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, '2024-03-05 00:00:00', "
            "NULL, NULL, NULL, NULL, NULL, x'CAFE01', NULL, '', NULL, x'', NULL, NULL, NULL, NULL),"
            "(3, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, "
            "NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL)");
        db.set("UPDATE KINDS SET CL = ?1 WHERE ID = 1234567890", long_clob());
        db.set("UPDATE KINDS SET BL = ?1 WHERE ID = 1234567890", random_bytes(100000), true);
    }

    temp_db db{kKinds};
};

TEST_F(KindsTest, SchemaOfEveryKind) {
    log_capture log(3);
    connection c = connect(db.path());
    c.db->get_tables();
    auto t = c.db->get_table(u"KINDS", 1);
    EXPECT_TRUE(
        log.contains("Table 'KINDS': column 'TS9' has unsupported type 'TIMESTAMP(9)', skip it"));
    EXPECT_TRUE(
        log.contains("Table 'KINDS': column 'TSTZ' has unsupported type "
                     "'TIMESTAMP(6) WITH TIME ZONE', skip it"));
    EXPECT_TRUE(log.contains("column 'IDS' has unsupported type 'INTERVAL DAY(2) TO SECOND(6)'"));
    const udb_schema& s = t->schema();
    ASSERT_EQ(std::size(kKept), s.size());
    for (size_t i = 0; i < s.size(); ++i) EXPECT_EQ(kKept[i], u8(s[i].name));
    struct expect {
        VARTYPE vt;
        uint32_t size, reserved;
        bool not_null;
    } e[] = {{VT_I8, 0, 0, true},
             {VT_DECIMAL, 0, 5 * 256 + 2, false},
             {VT_DECIMAL, 0, 6 * 256 + 5, false},
             {VT_R8, 0, 0, false},
             {VT_R8, 0, 0, false},
             {VT_BSTR, 20, 0, false},
             {VT_BSTR, 40, 0, false},
             {VT_BSTR, 3, 0, false},
             {VT_BSTR, 20, 0, false},
             {VT_BSTR, 4, 0, false},
             {VT_DATE, 0, 1, false},
             {VT_DATE, 0, 1, false},
             {VT_DATE, 0, 1, false},
             {VT_BLOB, 16, 0, false},
             {VT_BSTR, 0, 0, false},
             {VT_BSTR, 0, 0, false},
             {VT_BSTR, 0, 0, false},
             {VT_BLOB, 0, 0, false},
             {VT_R4, 0, 0, false},
             {VT_R8, 0, 0, false},
             {VT_BSTR, 255, 0, false},
             {VT_BSTR, 30, 0, false}};
    for (size_t i = 0; i < s.size(); ++i) {
        EXPECT_EQ(e[i].vt, s[i].vartype) << kKept[i];
        EXPECT_EQ(e[i].size, s[i].size) << kKept[i];
        EXPECT_EQ(e[i].reserved, s[i].reserved) << kKept[i];
        EXPECT_EQ(e[i].not_null, s[i].b_not_null) << kKept[i];
    }
    EXPECT_EQ(u"LONG", s.find_field(u"LNG").type_name);
    EXPECT_EQ("1.25", s.find_field(u"N52").default_value.to_string());
    EXPECT_EQ(VT_DECIMAL, s.find_field(u"N52").default_value.vt());
    EXPECT_EQ("it's", utf8_of(s.find_field(u"VC").default_value));
    EXPECT_TRUE(s.find_field(u"DT").default_value.is_empty());   // SYSDATE
    EXPECT_TRUE(s.find_field(u"USR").default_value.is_empty());  // USER, unquoted
    EXPECT_EQ(3u, t->counter());
    ASSERT_EQ(1u, t->indexes().size());
    EXPECT_EQ("KINDS_PK", u8(t->indexes()[0].name));
    EXPECT_TRUE(t->indexes()[0].b_primary);
}

TEST_F(KindsTest, ValuesOfEveryKind) {
    connection c = connect(db.path());
    c.db->get_tables();
    auto t = c.db->get_table(u"KINDS", 1);
    const auto rows = read_rows(*t);
    ASSERT_EQ(3u, rows.size());
    const auto& r = rows[0];
    auto at = [&](const char* name) -> const ole_variant& {
        const int i = t->schema().get_field_idx(u16(name));
        EXPECT_GE(i, 0) << name;
        return r[static_cast<size_t>(i)];
    };
    EXPECT_EQ(VT_I8, at("ID").vt());
    EXPECT_EQ("1234567890", at("ID").to_string());
    EXPECT_EQ(VT_DECIMAL, at("N52").vt());
    EXPECT_EQ("3.14", at("N52").to_string());
    EXPECT_EQ("0.12345", at("N55").to_string());
    EXPECT_EQ(-0.25, at("NUM").to_double());
    EXPECT_EQ(1.5e40, at("FLT").to_double());
    EXPECT_EQ("it's", utf8_of(at("VC")));
    EXPECT_EQ("grüße", utf8_of(at("VCC")));
    EXPECT_EQ("ab ", utf8_of(at("CH")));
    EXPECT_EQ("Привет", utf8_of(at("NVC")));
    EXPECT_EQ("世界  ", utf8_of(at("NCH")));
    EXPECT_EQ(date(2024, 3, 5, 13, 14, 15), at("DT").get_date());
    EXPECT_EQ(date(2024, 3, 5, 13, 14, 15, 123), at("TS").get_date());
    EXPECT_EQ(date(1999, 12, 31, 23, 59, 59, 999), at("TS3").get_date());
    EXPECT_EQ(bytes_of(std::string(
                  "\x00\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0A\x0B\x0C\x0D\x0E\x0F", 16)),
              bytes_of(at("RW")));
    EXPECT_EQ("long text", utf8_of(at("LNG")));
    EXPECT_EQ(VT_BSTR, at("CL").vt());
    EXPECT_EQ(long_clob(), utf8_of(at("CL")));
    EXPECT_EQ("Привет, 世界", utf8_of(at("NCL")));
    EXPECT_EQ(bytes_of(random_bytes(100000)), bytes_of(at("BL")));
    EXPECT_EQ(VT_R4, at("BF").vt());
    EXPECT_EQ(1.5, at("BF").to_double());
    EXPECT_EQ(VT_R8, at("BD").vt());
    EXPECT_EQ(0.1, at("BD").to_double());
    EXPECT_EQ("AAAR3sAAEAAAACXAAA", utf8_of(at("RID")));

    // Row 2: a shorter RAW after a longer one, an empty CLOB and BLOB, a
    // date without time, NULLs elsewhere.
    const auto& r2 = rows[1];
    auto at2 = [&](const char* name) -> const ole_variant& {
        return r2[static_cast<size_t>(t->schema().get_field_idx(u16(name)))];
    };
    EXPECT_EQ(bytes_of(std::string("\xCA\xFE\x01")), bytes_of(at2("RW")));
    EXPECT_EQ(VT_BSTR, at2("CL").vt());
    EXPECT_EQ("", utf8_of(at2("CL")));
    EXPECT_EQ(VT_BINARY, at2("BL").vt());
    EXPECT_EQ(0, at2("BL").get_safe_array_size());
    EXPECT_EQ(date(2024, 3, 5), at2("DT").get_date());
    for (const char* name : {"N52", "NUM", "VC", "NVC", "NCH", "TS", "LNG", "NCL", "BF", "BD"})
        EXPECT_EQ(VT_EMPTY, at2(name).vt()) << name;

    // Row 3: NULL in every column but the key.
    for (size_t i = 1; i < rows[2].size(); ++i) EXPECT_EQ(VT_EMPTY, rows[2][i].vt()) << kKept[i];
}

TEST_F(KindsTest, LongRawReadsAsBinary) {
    db.exec("INSERT INTO LONG_RAWS VALUES (1, x'00FF10'), (2, NULL)");
    db.set("INSERT INTO LONG_RAWS VALUES (3, ?1)", random_bytes(300000), true);
    connection c = connect(db.path());
    c.db->get_tables();
    auto t = c.db->get_table(u"LONG_RAWS", 1);
    EXPECT_EQ(VT_BLOB, t->schema()[1].vartype);
    const auto rows = read_rows(*t);
    ASSERT_EQ(3u, rows.size());
    EXPECT_EQ(bytes_of(std::string("\x00\xFF\x10", 3)), bytes_of(rows[0][1]));
    EXPECT_TRUE(rows[1][1].is_empty());
    EXPECT_EQ(bytes_of(random_bytes(300000)), bytes_of(rows[2][1]));
}

TEST_F(KindsTest, TableOfSkippedTypesOnlyIsAnOracleError) {
    connection c = connect(db.path());
    c.db->get_tables();
    EXPECT_THROW(c.db->get_table(u"SKIPPED_ONLY", 1), ora_exception);
}

TEST_F(KindsTest, LongValuesPastTheBufferAreReported) {
    // A LONG of exactly 1,000,000 characters fits; one more does not.
    db.set("UPDATE KINDS SET LNG = ?1 WHERE ID = 2", std::string(1000000, 'L'));
    db.set("UPDATE KINDS SET LNG = ?1 WHERE ID = 3", std::string(1000001, 'M'));
    connection c = connect(db.path());
    c.db->get_tables();
    auto t = c.db->get_table(u"KINDS", 1);
    const int lng = t->schema().get_field_idx(u"LNG");
    ASSERT_FALSE(t->is_eof());
    ASSERT_NE(nullptr, t->get_item());
    t->next();
    ASSERT_FALSE(t->is_eof());
    const udb_record* whole = t->get_item();
    ASSERT_NE(nullptr, whole);
    EXPECT_EQ(1000000u, (*whole)[static_cast<size_t>(lng)].get_bstr().size());
    t->next();
    ASSERT_FALSE(t->is_eof());
    try {
        t->get_item();
        FAIL() << "a cut value was handed on";
    } catch (const ora_exception& e) {
        EXPECT_EQ(0x10057Eu, e.code());
        EXPECT_EQ(0, e.level());
        EXPECT_NE(std::string::npos, e.message().find("table 'KINDS'")) << e.message();
        EXPECT_NE(std::string::npos, e.message().find("column 'LNG'")) << e.message();
        EXPECT_NE(std::string::npos, e.message().find("record #3")) << e.message();
    }
    t->next();
    EXPECT_TRUE(t->is_eof());
}

constexpr const char* kKeys = R"sql(
CREATE TABLE dept (deptno NUMBER(2) CONSTRAINT pk_dept PRIMARY KEY, dname VARCHAR2(14),
  code VARCHAR2(5) CONSTRAINT dept_code_uk UNIQUE);
CREATE TABLE emp (empno NUMBER(4) PRIMARY KEY, ename VARCHAR2(10), job VARCHAR2(9),
  deptno NUMBER(2) CONSTRAINT fk_deptno REFERENCES dept ON DELETE CASCADE,
  mgr_dept NUMBER(2) CONSTRAINT fk_mgr_dept REFERENCES dept);
CREATE INDEX emp_name_job_ix ON emp (ename, job);
CREATE UNIQUE INDEX emp_job_uix ON emp (job, empno);
CREATE TABLE nokey (x NUMBER);
CREATE TABLE "O'Brien" (id NUMBER(3) PRIMARY KEY, note VARCHAR2(10) DEFAULT 'x''y');
CREATE TABLE "A.B" (x NUMBER(3));
CREATE TABLE "My Table" (x NUMBER(3));
CREATE TABLE "Ünïcödé" ("Größe" NUMBER(3));
CREATE TABLE b (y NUMBER(3));
INSERT INTO dept VALUES (10, 'ACCOUNTING', 'ACC');
INSERT INTO emp VALUES (7782, 'CLARK', 'MANAGER', 10, 10);
INSERT INTO "O'Brien" VALUES (1, 'first');
INSERT INTO "A.B" VALUES (11);
INSERT INTO "My Table" VALUES (12);
INSERT INTO "Ünïcödé" VALUES (13);
INSERT INTO b VALUES (99);
)sql";

TEST(OraTableKeys, IndexesAndForeignKeys) {
    const temp_db db(kKeys);
    connection c = connect(db.path());
    c.db->get_tables();
    c.db->relationships().clear();
    auto dept = c.db->get_table(u"DEPT", 1);
    const udb_indexes& ix = dept->indexes();
    ASSERT_EQ(2u, ix.size());
    EXPECT_EQ("PK_DEPT", u8(ix[0].name));
    EXPECT_TRUE(ix[0].b_primary);
    EXPECT_EQ((std::vector<std::u16string>{u"DEPTNO"}), ix[0].fields);
    EXPECT_EQ("DEPT_CODE_UK", u8(ix[1].name));
    EXPECT_TRUE(ix[1].b_unique);
    EXPECT_FALSE(ix[1].b_primary);
    EXPECT_EQ(0, dept->primary_index_pos());

    const udb_relationships& fks = c.db->relationships();
    ASSERT_EQ(2u, fks.size());
    const udb_relationship& cascade = fks.get_index(u"FK_DEPTNO");
    EXPECT_EQ(u"EMP", cascade.from_table);
    EXPECT_EQ((std::vector<std::u16string>{u"DEPTNO"}), cascade.from_fields);
    EXPECT_EQ(u"DEPT", cascade.to_table);
    EXPECT_EQ((std::vector<std::u16string>{u"DEPTNO"}), cascade.to_fields);
    EXPECT_EQ(u"ON DELETE CASCADE", cascade.delete_rule);
    EXPECT_EQ(u"ON DELETE NO ACTION", fks.get_index(u"FK_MGR_DEPT").delete_rule);

    // EMP's primary key has a generated name: it is the key, its index
    // (generated) is not read again; the other indexes keep their columns in order.
    auto emp = c.db->get_table(u"EMP", 1);
    const udb_indexes& eix = emp->indexes();
    ASSERT_EQ(3u, eix.size());
    EXPECT_TRUE(eix[0].b_primary);
    EXPECT_EQ(0u, u8(eix[0].name).rfind("SYS_C", 0));
    EXPECT_TRUE(eix.find2(u"EMP_NAME_JOB_IX"));
    EXPECT_EQ((std::vector<std::u16string>{u"ENAME", u"JOB"}),
              eix.get_index(u"EMP_NAME_JOB_IX").fields);
    EXPECT_FALSE(eix.get_index(u"EMP_NAME_JOB_IX").b_unique);
    EXPECT_TRUE(eix.get_index(u"EMP_JOB_UIX").b_unique);
    // Nothing refers to EMP: no more relationships.
    EXPECT_EQ(2u, fks.size());

    auto nokey = c.db->get_table(u"NOKEY", 1);
    EXPECT_TRUE(nokey->indexes().empty());
    EXPECT_EQ(2u, c.db->relationships().size());
}

TEST(OraTableNames, QuotesDotsSpacesAndNonAsciiLetters) {
    const temp_db db(kKeys);
    connection c = connect(db.path());
    c.db->get_tables();
    auto obrien = c.db->get_table(u"O'Brien", 1);
    EXPECT_EQ(1u, obrien->counter());
    EXPECT_EQ("x'y", utf8_of(obrien->schema().find_field(u"NOTE").default_value));
    ASSERT_EQ(1u, obrien->indexes().size());
    EXPECT_TRUE(obrien->indexes()[0].b_primary);
    const auto rows = read_rows(*obrien);
    ASSERT_EQ(1u, rows.size());
    EXPECT_EQ("first", utf8_of(rows[0][1]));

    // Each name reads its own table (a dot does not name another schema's B).
    const struct {
        const char16_t* name;
        const char* value;
    } cases[] = {{u"A.B", "11"}, {u"My Table", "12"}, {u"Ünïcödé", "13"}};
    for (const auto& n : cases) {
        auto t = c.db->get_table(n.name, 1);
        const auto r = read_rows(*t);
        ASSERT_EQ(1u, r.size()) << u8(n.name);
        EXPECT_EQ(n.value, r[0][0].to_string()) << u8(n.name);
    }
    EXPECT_EQ("Größe", u8(c.db->get_table(u"Ünïcödé", 1)->schema()[0].name));
}

TEST(OraTableQuery, ReadsAQueryWithItsOwnCount) {
    const temp_db db(kKeys);
    connection c = connect(db.path());
    auto q = c.db->get_table(u"EMPS", u"SELECT ename, deptno FROM emp WHERE empno > 0", 0);
    EXPECT_TRUE(q->has_aux_text());
    EXPECT_EQ(1u, q->counter());
    EXPECT_EQ(2u, q->schema().size());
    EXPECT_TRUE(q->indexes().empty());
    const auto rows = read_rows(*q);
    ASSERT_EQ(1u, rows.size());
    EXPECT_EQ("CLARK", utf8_of(rows[0][0]));
    EXPECT_THROW(c.db->get_table(u"BAD", u"SELECT * FROM nowhere", 0), ora_exception);
}

TEST(OraTable, UnlistedTableIsAnInternalError) {
    const temp_db db(kKeys);
    connection c = connect(db.path());
    c.db->get_tables();
    EXPECT_THROW(c.db->get_table(u"NOT_THERE", 1), tk_mail_assertion);
}

TEST(OraTable, WriterOperationsAreNotPartOfThisBuild) {
    const temp_db db(kKeys);
    connection c = connect(db.path());
    c.db->get_tables();
    auto t = c.db->get_table(u"DEPT", 1);
    udb_record record;
    EXPECT_THROW(t->append_record(record), tk_mail_assertion);
    EXPECT_THROW(t->update(record), tk_mail_assertion);
    EXPECT_THROW(static_cast<ora_table&>(*t).reset_not_null_flag(0), tk_mail_assertion);
    EXPECT_THROW(c.db->create_table(u"X", t->schema(), t->indexes()), tk_mail_assertion);
    EXPECT_THROW(c.db->create_views({}), tk_mail_assertion);
    EXPECT_THROW(c.db->create_relationships(c.db->relationships()), tk_mail_assertion);
    EXPECT_THROW(c.ora().create_fk_index_if(u"DEPT", {u"DEPTNO"}), tk_mail_assertion);
}

TEST(OraQueryResults, ProtocolOfTheResultSet) {
    const temp_db db(kKeys);
    connection c = connect(db.path());
    {
        ora_query_results none(0, u"SELECT * FROM emp WHERE 1 = 0");
        EXPECT_EQ(5u, none.n_columns());  // asked from the server
        EXPECT_TRUE(none.is_eof());
        EXPECT_EQ(nullptr, none.get_item());
        // The end stays the end; no fetch out of sequence.
        EXPECT_TRUE(none.is_eof());
    }
    {
        ora_query_results two(1, u"SELECT deptno FROM dept UNION ALL SELECT empno FROM emp");
        const udb_record* first = two.get_item();  // fetches by itself
        ASSERT_NE(nullptr, first);
        EXPECT_EQ("10", (*first)[0].to_string());
        const udb_record* second = two.get_item();
        ASSERT_NE(nullptr, second);
        EXPECT_EQ("7782", (*second)[0].to_string());
        EXPECT_EQ(nullptr, two.get_item());
        EXPECT_TRUE(two.is_eof());
        udb_record r;
        EXPECT_THROW(two.append_record(r), tk_mail_assertion);
        EXPECT_THROW(two.initialize(1, u"SELECT 1 FROM dual"), tk_mail_assertion);
    }
    EXPECT_THROW(ora_query_results(0, u"SELECT * FROM nowhere"), ora_exception);
}

TEST(OraQueryResults, UnsupportedAndTextualTypes) {
    const temp_db db(kKinds);
    db.exec(
        "INSERT INTO KINDS(ID, IDS, TSTZ) VALUES (1, '+03 04:05:06.123000', "
        "'2024-03-05 13:14:15.000000000'), (2, NULL, NULL)");
    db.exec(
        "ALTER TABLE KINDS ADD COLUMN BFL BLOB;"
        "INSERT INTO ocilite_columns(table_name, column_id, column_name, data_type, "
        "data_length, nullable) VALUES ('KINDS', 26, 'BFL', 'BFILE', 530, 'Y')");
    connection c = connect(db.path());
    ora_query_results q(0, u"SELECT ids, tstz, bfl FROM kinds ORDER BY id");
    ASSERT_EQ(3u, q.schema().size());
    EXPECT_EQ(VT_BSTR, q.schema()[0].vartype);
    EXPECT_EQ(VT_DATE, q.schema()[1].vartype);
    EXPECT_EQ(VT_BSTR, q.schema()[2].vartype);
    EXPECT_EQ(18u, q.schema()[2].size);
    EXPECT_TRUE(q.schema()[2].b_not_null);
    const auto rows = read_rows(q);
    ASSERT_EQ(2u, rows.size());
    // The interval's whole text, 19 characters.
    EXPECT_EQ("+03 04:05:06.123000", utf8_of(rows[0][0]));
    EXPECT_EQ(date(2024, 3, 5, 13, 14, 15), rows[0][1].get_date());
    for (const auto& row : rows) EXPECT_EQ("<unsupported type>", utf8_of(row[2]));
    EXPECT_TRUE(rows[1][0].is_empty());
}

TEST(OraNumber, ValuesPastTheRefinedTypeKeepTheirValue) {
    const temp_db db("CREATE TABLE big (i NUMBER(20), d NUMBER(38,2), p NUMBER(2));");
    db.exec(
        "INSERT INTO BIG VALUES ('99999999999999999999', "
        "'123456789012345678901234567890123456.25', 99), (-5, '1.5', -9)");
    connection c = connect(db.path());
    c.db->get_tables();
    auto t = c.db->get_table(u"BIG", 1);
    EXPECT_EQ(VT_I8, t->schema()[0].vartype);
    EXPECT_EQ(VT_DECIMAL, t->schema()[1].vartype);
    const auto rows = read_rows(*t);
    ASSERT_EQ(2u, rows.size());
    EXPECT_EQ(VT_DECIMAL, rows[0][0].vt());
    EXPECT_EQ("99999999999999999999", rows[0][0].to_string());
    EXPECT_EQ(VT_R8, rows[0][1].vt());
    EXPECT_DOUBLE_EQ(1.2345678901234568e35, rows[0][1].to_double());
    EXPECT_EQ(VT_I1, rows[0][2].vt());
    EXPECT_EQ(99, rows[0][2].to_long());
    EXPECT_EQ(VT_I8, rows[1][0].vt());
    EXPECT_EQ("-5", rows[1][0].to_string());
    EXPECT_EQ("1.5", rows[1][1].to_string());
}

TEST(OraRecord, RowsRefillOneRecordWithoutStaleValues) {
    const temp_db db(
        "CREATE TABLE r (id NUMBER(3), txt VARCHAR2(10), raw_v RAW(4), cl CLOB, d DATE);"
        "INSERT INTO r VALUES (1, 'abcdefghij', HEXTORAW('01020304'), 'long one', "
        "TO_DATE('2024-01-02','YYYY-MM-DD'));"
        "INSERT INTO r VALUES (2, NULL, NULL, NULL, NULL);"
        "INSERT INTO r VALUES (3, 'x', HEXTORAW('FF'), 'y', TO_DATE('2020-05-06','YYYY-MM-DD'));");
    connection c = connect(db.path());
    c.db->get_tables();
    auto t = c.db->get_table(u"R", 1);
    ASSERT_FALSE(t->is_eof());
    udb_record* first = t->get_item();
    ASSERT_NE(nullptr, first);
    ASSERT_EQ(5u, first->size());
    const udb_field* txt = &(*first)[1];
    EXPECT_EQ("abcdefghij", utf8_of(*txt));
    t->next();
    ASSERT_FALSE(t->is_eof());
    udb_record* second = t->get_item();
    // The same record and fields, filled with the second row: NULL everywhere.
    EXPECT_EQ(first, second);
    EXPECT_EQ(txt, &(*second)[1]);
    for (size_t i = 1; i < second->size(); ++i) EXPECT_TRUE((*second)[i].is_empty()) << i;
    // A caller that takes a field away gets a whole record with the next row.
    second->erase(4);
    t->next();
    ASSERT_FALSE(t->is_eof());
    const udb_record* third = t->get_item();
    ASSERT_EQ(5u, third->size());
    EXPECT_EQ("3", (*third)[0].to_string());
    EXPECT_EQ("x", utf8_of((*third)[1]));
    EXPECT_EQ(bytes_of(std::string("\xFF")), bytes_of((*third)[2]));
    EXPECT_EQ("y", utf8_of((*third)[3]));
    EXPECT_EQ(date(2020, 5, 6), (*third)[4].get_date());
    EXPECT_EQ(u"D", (*third)[4].name());
}

TEST(OraDatabase, NamesMapAndViewTexts) {
    const temp_db db(kKeys);
    connection c = connect(db.path());
    c.db->get_tables();
    ora_database& o = c.ora();
    o.names_map().add_tn_mapping(u"EMP", u"EMP_1");
    t_names_map fields;
    fields.add(u"ENAME", u"NAME_1");
    o.names_map().add_fn_map(u"EMP", fields);
    // The mapped name names no listed table: it is looked up again without
    // regard to case, which finds the same mapping.
    EXPECT_EQ(u"EMP_1", o.get_tn_mapped_name_ex(u"EMP"));
    // No exact mapping, and no listed table is called exactly "emp": the lookup
    // without regard to case finds EMP's mapping.
    EXPECT_EQ(u"EMP_1", o.get_tn_mapped_name_ex(u"emp"));
    // No exact mapping and no such table: the lookup without case finds EMP's.
    o.names_map().add_tn_mapping(u"Gone", u"GONE_1");
    EXPECT_EQ(u"GONE_1", o.get_tn_mapped_name_ex(u"gone"));
    EXPECT_EQ(u"NOKEY", o.get_tn_mapped_name_ex(u"NOKEY"));
    EXPECT_EQ(u"NAME_1", o.get_fn_mapped_name_ex(u"EMP", u"ENAME"));
    EXPECT_EQ(u"ename", o.get_fn_mapped_name_ex(u"EMP", u"ename"));
    EXPECT_EQ(u"JOB", o.get_fn_mapped_name_ex(u"EMP", u"JOB"));

    struct {
        const char16_t *in, *out;
    } views[] = {
        {u"select [ENAME] from EMP;", u"select \"NAME_1\" from EMP_1 "},
        {u"SELECT DISTINCTROW ENAME FROM EMPX;\r\n", u"SELECT  NAME_1 FROM EMPX \r\n"},
        {u"select 1 from dual;x y", u"select 1 from dual;x y"},
        {u";", u" "},
        {u"", u""},
    };
    for (const auto& v : views) EXPECT_EQ(u8(v.out), u8(o.refine_view_in(v.in))) << u8(v.in);
}

}  // namespace
