#include <gtest/gtest.h>

#include "load_test_util.h"

using ol_test::temp_db;

namespace {

// ---------------------------------------------------------------- types

struct type_case {
    const char* decl;
    const char* data_type;
    const char* length;     // data_length
    const char* precision;  // "NULL" when Oracle shows NULL
    const char* scale;
    const char* char_length;
    const char* char_used;
};
void PrintTo(const type_case& c, std::ostream* os) { *os << c.decl; }

class ColumnTypes : public ::testing::TestWithParam<type_case> {};

TEST_P(ColumnTypes, CatalogShowsWhatUserTabColumnsShows) {
    temp_db db;
    const type_case& c = GetParam();
    const std::string diag = db.load(std::string("CREATE TABLE t (c ") + c.decl + ");");
    ASSERT_EQ(diag, "") << c.decl;
    const auto row = db.column(
        "SELECT data_type || '|' || data_length || '|' || ifnull(data_precision,'NULL') || '|' || "
        "ifnull(data_scale,'NULL') || '|' || char_length || '|' || ifnull(char_used,'NULL') FROM "
        "ocilite_columns "
        "WHERE table_name='T'");
    ASSERT_EQ(row.size(), 1u);
    EXPECT_EQ(row[0], std::string(c.data_type) + "|" + c.length + "|" + c.precision + "|" +
                          c.scale + "|" + c.char_length + "|" + c.char_used)
        << c.decl;
}

INSTANTIATE_TEST_SUITE_P(
    Oracle, ColumnTypes,
    ::testing::Values(
        type_case{"VARCHAR2(10)", "VARCHAR2", "10", "NULL", "NULL", "10", "B"},
        type_case{"VARCHAR2(10 BYTE)", "VARCHAR2", "10", "NULL", "NULL", "10", "B"},
        type_case{"VARCHAR2(255 CHAR)", "VARCHAR2", "1020", "NULL", "NULL", "255", "C"},
        type_case{"VARCHAR2(2000 CHAR)", "VARCHAR2", "4000", "NULL", "NULL", "2000", "C"},
        type_case{"NVARCHAR2(20)", "NVARCHAR2", "40", "NULL", "NULL", "20", "C"},
        type_case{"CHAR", "CHAR", "1", "NULL", "NULL", "1", "B"},
        type_case{"CHAR(2)", "CHAR", "2", "NULL", "NULL", "2", "B"},
        type_case{"NCHAR(5)", "NCHAR", "10", "NULL", "NULL", "5", "C"},
        type_case{"NUMBER", "NUMBER", "22", "NULL", "NULL", "0", "NULL"},
        type_case{"NUMBER(4)", "NUMBER", "22", "4", "0", "0", "NULL"},
        type_case{"NUMBER(7,2)", "NUMBER", "22", "7", "2", "0", "NULL"},
        type_case{"NUMBER(*,2)", "NUMBER", "22", "NULL", "2", "0", "NULL"},
        type_case{"NUMBER(5,-2)", "NUMBER", "22", "5", "-2", "0", "NULL"},
        type_case{"INTEGER", "NUMBER", "22", "NULL", "0", "0", "NULL"},
        type_case{"SMALLINT", "NUMBER", "22", "NULL", "0", "0", "NULL"},
        type_case{"FLOAT", "FLOAT", "22", "126", "NULL", "0", "NULL"},
        type_case{"FLOAT(10)", "FLOAT", "22", "10", "NULL", "0", "NULL"},
        type_case{"BINARY_FLOAT", "BINARY_FLOAT", "4", "NULL", "NULL", "0", "NULL"},
        type_case{"BINARY_DOUBLE", "BINARY_DOUBLE", "8", "NULL", "NULL", "0", "NULL"},
        type_case{"DATE", "DATE", "7", "NULL", "NULL", "0", "NULL"},
        type_case{"TIMESTAMP", "TIMESTAMP(6)", "11", "NULL", "6", "0", "NULL"},
        type_case{"TIMESTAMP(3)", "TIMESTAMP(3)", "11", "NULL", "3", "0", "NULL"},
        type_case{"TIMESTAMP(9) WITH TIME ZONE", "TIMESTAMP(9) WITH TIME ZONE", "13", "NULL", "9",
                  "0", "NULL"},
        type_case{"TIMESTAMP WITH LOCAL TIME ZONE", "TIMESTAMP(6) WITH LOCAL TIME ZONE", "11",
                  "NULL", "6", "0", "NULL"},
        type_case{"INTERVAL YEAR TO MONTH", "INTERVAL YEAR(2) TO MONTH", "5", "2", "0", "0",
                  "NULL"},
        type_case{"INTERVAL DAY(3) TO SECOND(0)", "INTERVAL DAY(3) TO SECOND(0)", "11", "3", "0",
                  "0", "NULL"},
        type_case{"RAW(16)", "RAW", "16", "NULL", "NULL", "0", "NULL"},
        type_case{"LONG", "LONG", "0", "NULL", "NULL", "0", "NULL"},
        type_case{"LONG RAW", "LONG RAW", "0", "NULL", "NULL", "0", "NULL"},
        type_case{"CLOB", "CLOB", "4000", "NULL", "NULL", "0", "NULL"},
        type_case{"NCLOB", "NCLOB", "4000", "NULL", "NULL", "0", "NULL"},
        type_case{"BLOB", "BLOB", "4000", "NULL", "NULL", "0", "NULL"},
        type_case{"ROWID", "ROWID", "10", "NULL", "NULL", "0", "NULL"},
        type_case{"XMLTYPE", "XMLTYPE", "2000", "NULL", "NULL", "0", "NULL"},
        type_case{"MDSYS.SDO_GEOMETRY", "SDO_GEOMETRY", "1", "NULL", "NULL", "0", "NULL"}));

TEST(ColumnTypes, InvalidDeclarationsAreReportedWithTheirLine) {
    struct c {
        const char* decl;
        const char* ora;
    };
    for (const c& k :
         {c{"FOO", "ORA-00902"}, c{"VARCHAR2", "ORA-00906"}, c{"VARCHAR2(4001)", "ORA-00910"},
          c{"VARCHAR2(0)", "ORA-01723"}, c{"NUMBER(39)", "ORA-01727"},
          c{"NUMBER(5,200)", "ORA-01728"}, c{"FLOAT(127)", "ORA-01724"},
          c{"TIMESTAMP(10)", "ORA-30088"}, c{"NUMBER(5", "ORA-00907"}}) {
        temp_db db;
        int errors = 0;
        const std::string diag =
            db.load(std::string("\nCREATE TABLE t (\n  c ") + k.decl + ");", {}, nullptr, &errors);
        EXPECT_EQ(errors, 1) << k.decl;
        EXPECT_EQ(diag.substr(0, 8), "t.sql:3:") << k.decl << ": " << diag;
        EXPECT_NE(diag.find(k.ora), std::string::npos) << k.decl << ": " << diag;
        EXPECT_EQ(db.count("ocilite_tables"), 0) << "a failed CREATE TABLE leaves nothing behind";
    }
}

// ---------------------------------------------------------------- constraints

TEST(Constraints, UnnamedOnesGetSystemNamesAndTheirIndexesAreGenerated) {
    temp_db db;
    ASSERT_EQ(db.load("CREATE TABLE p (id NUMBER PRIMARY KEY, code VARCHAR2(5) NOT NULL UNIQUE);\n"
                      "CREATE TABLE c (id NUMBER CONSTRAINT c_pk PRIMARY KEY, p_id NUMBER "
                      "REFERENCES p ON DELETE "
                      "CASCADE, q NUMBER, CONSTRAINT c_q_ck CHECK (q > 0 AND p_id <> q), "
                      "FOREIGN KEY (q) REFERENCES p(id) ON DELETE SET NULL);"),
              "");
    EXPECT_EQ(
        db.column(
            "SELECT constraint_name || ' ' || constraint_type || ' ' || generated || ' ' || "
            "ifnull(index_name,'-') FROM ocilite_constraints WHERE table_name='P' ORDER BY 1"),
        (std::vector<std::string>{"SYS_C0010000 P GENERATED NAME SYS_C0010000",
                                  "SYS_C0010001 C GENERATED NAME -",
                                  "SYS_C0010002 U GENERATED NAME SYS_C0010002"}));
    EXPECT_EQ(db.column("SELECT index_name || ' ' || uniqueness || ' ' || generated FROM "
                        "ocilite_indexes ORDER BY 1"),
              (std::vector<std::string>{"C_PK UNIQUE N", "SYS_C0010000 UNIQUE Y",
                                        "SYS_C0010002 UNIQUE Y"}));
    EXPECT_EQ(db.value("SELECT search_condition FROM ocilite_constraints WHERE "
                       "constraint_name='SYS_C0010001'"),
              "\"CODE\" IS NOT NULL");
    EXPECT_EQ(db.column("SELECT r_constraint_name || ' ' || delete_rule || ' ' || generated FROM "
                        "ocilite_constraints "
                        "WHERE table_name='C' AND constraint_type='R' ORDER BY 1"),
              (std::vector<std::string>{"SYS_C0010000 CASCADE GENERATED NAME",
                                        "SYS_C0010000 SET NULL GENERATED NAME"}));
    EXPECT_EQ(
        db.value("SELECT search_condition FROM ocilite_constraints WHERE constraint_name='C_Q_CK'"),
        "q > 0 AND p_id <> q");
    EXPECT_EQ(
        db.column(
            "SELECT column_name || ':' || ifnull(position,'NULL') FROM ocilite_cons_columns WHERE "
            "constraint_name='C_Q_CK'"),
        (std::vector<std::string>{"Q:NULL", "P_ID:NULL"}));
    EXPECT_EQ(db.column("SELECT column_name || nullable FROM ocilite_columns WHERE table_name='P' "
                        "ORDER BY column_id"),
              (std::vector<std::string>{"IDN", "CODEN"}));
    EXPECT_EQ(db.value("SELECT value FROM ocilite_settings WHERE name='sys_c_next'"), "10005");
}

TEST(Constraints, AlterTableAddReusesAnExistingIndexAndDisableEnableChangeStatus) {
    temp_db db;
    ASSERT_EQ(db.load("CREATE TABLE r (id NUMBER CONSTRAINT id_nn NOT NULL, name VARCHAR2(9));\n"
                      "CREATE UNIQUE INDEX r_pk ON r (id);\n"
                      "ALTER TABLE r ADD ( CONSTRAINT r_pk PRIMARY KEY (id) USING INDEX TABLESPACE "
                      "users ENABLE );\n"
                      "ALTER TABLE r ADD CONSTRAINT r_name_u UNIQUE (name) DISABLE;\n"
                      "ALTER TABLE r DISABLE CONSTRAINT id_nn;\n"
                      "ALTER TABLE r ENABLE CONSTRAINT r_name_u;\n"),
              "");
    EXPECT_EQ(db.count("ocilite_indexes"), 2) << "R_PK reused, R_NAME_U got its own";
    EXPECT_EQ(db.value("SELECT index_name FROM ocilite_constraints WHERE constraint_name='R_PK'"),
              "R_PK");
    EXPECT_EQ(db.value("SELECT status FROM ocilite_constraints WHERE constraint_name='ID_NN'"),
              "DISABLED");
    EXPECT_EQ(db.value("SELECT status FROM ocilite_constraints WHERE constraint_name='R_NAME_U'"),
              "ENABLED");
    EXPECT_EQ(db.value("SELECT nullable FROM ocilite_columns WHERE column_name='ID'"), "N")
        << "still the key";
}

// Enabled foreign keys are enforced as Oracle does: an inserted row needs its parent (a
// key with a NULL column needs none), and enabling or adding a key checks the rows there.
// Columns pair with the referenced key in the order written, and take its positions.
TEST(Constraints, ForeignKeysNeedTheirParentRows) {
    temp_db db;
    ASSERT_EQ(db.load("CREATE TABLE p (x NUMBER, y NUMBER, CONSTRAINT p_pk PRIMARY KEY (x, y));\n"
                      "CREATE TABLE c (a NUMBER, b NUMBER,\n"
                      "  CONSTRAINT c_fk FOREIGN KEY (a, b) REFERENCES p (y, x));\n"
                      "INSERT INTO p VALUES (1, 2);\n"),
              "");
    EXPECT_EQ(db.load("INSERT INTO c VALUES (2, 1);\nINSERT INTO c VALUES (NULL, 5);\n"), "");
    std::string diag = db.load("INSERT INTO c VALUES (1, 2);\n");
    EXPECT_NE(diag.find(":1: ORA-02291: integrity constraint (OCILITE.C_FK) violated - parent "
                        "key not found"),
              std::string::npos)
        << diag;
    EXPECT_EQ(db.count("C"), 2);
    EXPECT_EQ(db.value("SELECT group_concat(column_name || position, ',') FROM "
                       "(SELECT * FROM ocilite_cons_columns WHERE constraint_name = 'C_FK' "
                       "ORDER BY position)"),
              "B1,A2");
    diag = db.load(
        "ALTER TABLE c DISABLE CONSTRAINT c_fk;\nINSERT INTO c VALUES (7, 7);\n"
        "ALTER TABLE c ENABLE CONSTRAINT c_fk;\n");
    EXPECT_NE(diag.find(":3: ORA-02298: cannot validate (OCILITE.C_FK) - parent keys not found"),
              std::string::npos)
        << diag;
    EXPECT_EQ(db.value("SELECT status FROM ocilite_constraints WHERE constraint_name = 'C_FK'"),
              "DISABLED");
    diag = db.load("CREATE TABLE d (z NUMBER PRIMARY KEY);\nINSERT INTO d VALUES (3);\n"
                   "CREATE TABLE e (w NUMBER);\nINSERT INTO e VALUES (4);\n"
                   "ALTER TABLE e ADD CONSTRAINT e_fk FOREIGN KEY (w) REFERENCES d;\n");
    EXPECT_NE(diag.find(":5: ORA-02298: cannot validate (OCILITE.E_FK)"), std::string::npos)
        << diag;
    EXPECT_EQ(db.value("SELECT count(*) FROM ocilite_constraints WHERE constraint_name = 'E_FK'"),
              "0");
    // A parent table cannot be emptied under an enabled key; a disabled one does not stop it.
    EXPECT_EQ(db.load("TRUNCATE TABLE c;\nALTER TABLE c ENABLE CONSTRAINT c_fk;\n"), "");
    diag = db.load("TRUNCATE TABLE p;\n");
    EXPECT_NE(diag.find(":1: ORA-02266: unique/primary keys in table referenced by enabled "
                        "foreign keys"),
              std::string::npos)
        << diag;
    EXPECT_EQ(db.count("P"), 1);
    EXPECT_EQ(db.load("ALTER TABLE c DROP CONSTRAINT c_fk;\nTRUNCATE TABLE p;\n"), "");
    EXPECT_EQ(db.count("P"), 0);
}

TEST(Constraints, BadReferencesAreRejected) {
    struct c {
        const char* ddl;
        const char* ora;
    };
    for (const c& k :
         {c{"CREATE TABLE x (a NUMBER REFERENCES nowhere);", "ORA-00942"},
          c{"CREATE TABLE x (a NUMBER REFERENCES p (name));", "ORA-02270"},
          c{"CREATE TABLE x (a NUMBER, CONSTRAINT k FOREIGN KEY (a, a) REFERENCES p);",
            "ORA-02256"},
          c{"CREATE TABLE x (a NUMBER PRIMARY KEY, b NUMBER PRIMARY KEY);", "ORA-02260"},
          c{"CREATE TABLE x (a NUMBER CONSTRAINT p_pk UNIQUE);", "ORA-02264"},
          c{"CREATE TABLE x (a NUMBER, CONSTRAINT k UNIQUE (zz));", "ORA-00904"}}) {
        temp_db db;
        ASSERT_EQ(
            db.load("CREATE TABLE p (id NUMBER CONSTRAINT p_pk PRIMARY KEY, name VARCHAR2(5));"),
            "");
        const std::string diag = db.load(k.ddl);
        EXPECT_NE(diag.find(k.ora), std::string::npos) << k.ddl << ": " << diag;
        EXPECT_EQ(db.count("ocilite_tables"), 1) << k.ddl;
    }
}

TEST(Defaults, AreKeptAsTypedAndAppliedToOmittedColumns) {
    temp_db db;
    ASSERT_EQ(
        db.load("CREATE TABLE d (id NUMBER, s VARCHAR2(5) DEFAULT 'abc' NOT NULL, n NUMBER DEFAULT "
                "0 ,\n"
                "  w DATE DEFAULT SYSDATE);\n"
                "INSERT INTO d (id) VALUES (1);\nINSERT INTO d VALUES (2, DEFAULT, 5, NULL);"),
        "");
    EXPECT_EQ(
        db.column("SELECT ifnull(data_default,'NULL') FROM ocilite_columns ORDER BY column_id"),
        (std::vector<std::string>{"NULL", "'abc' ", "0 ", "SYSDATE"}));
    EXPECT_EQ(db.column("SELECT id || ' ' || s || ' ' || typeof(n) || n || ' ' || "
                        "ifnull(length(w), 'NULL') FROM d "
                        "ORDER BY id"),
              (std::vector<std::string>{"1 abc integer0 19", "2 abc integer5 NULL"}));
}

// ---------------------------------------------------------------- values

struct stored_case {
    const char* type;
    const char* literal;
    const char* stored;  // temp_db::typed of the stored value
};
void PrintTo(const stored_case& c, std::ostream* os) { *os << c.type << " " << c.literal; }

class StoredValues : public ::testing::TestWithParam<stored_case> {};

TEST_P(StoredValues, AreStoredExactlyAsTheCatalogLayoutSays) {
    temp_db db;
    const stored_case& c = GetParam();
    const std::string diag = db.load(std::string("CREATE TABLE v (c ") + c.type +
                                     ");\nINSERT INTO v VALUES (" + c.literal + ");");
    ASSERT_EQ(diag, "") << c.type << " " << c.literal;
    EXPECT_EQ(db.typed("SELECT c FROM v"), c.stored) << c.type << " " << c.literal;
}

INSTANTIATE_TEST_SUITE_P(
    Oracle, StoredValues,
    ::testing::Values(
        stored_case{"NUMBER", "42", "integer:42"}, stored_case{"NUMBER", "-7", "integer:-7"},
        stored_case{"NUMBER", "0.25", "text:.25"}, stored_case{"NUMBER", "-0.25", "text:-.25"},
        stored_case{"NUMBER", "1234.50", "text:1234.5"},
        stored_case{"NUMBER", "1e40", "text:10000000000000000000000000000000000000000"},
        stored_case{"NUMBER", "'12.0'", "integer:12"},
        stored_case{"NUMBER(7,2)", "1.005", "text:1.01"},
        stored_case{"NUMBER(4)", "12.5", "integer:13"}, stored_case{"INTEGER", "2.4", "integer:2"},
        stored_case{"NUMBER", "9223372036854775808", "text:9223372036854775808"},
        stored_case{"NUMBER", "2 * 3 + 1", "integer:7"},
        stored_case{"FLOAT(5)", "123.456", "integer:120"},
        stored_case{"BINARY_DOUBLE", "1.5", "real:1.5"},
        stored_case{"VARCHAR2(5)", "'abc'", "text:abc"}, stored_case{"VARCHAR2(5)", "''", "null:"},
        stored_case{"VARCHAR2(5)", "NULL", "null:"}, stored_case{"VARCHAR2(5)", "12", "text:12"},
        stored_case{"VARCHAR2(5)", "'it''s'", "text:it's"},
        stored_case{"CHAR(4)", "'ab'", "text:ab  "}, stored_case{"NCHAR(3)", "N'é'", "text:é  "},
        stored_case{"VARCHAR2(20)", "'a' || NULL || chr(66) || 1", "text:aB1"},
        stored_case{"DATE", "TO_DATE('17-12-1980','dd-mm-yyyy')", "text:1980-12-17 00:00:00"},
        stored_case{"DATE", "to_date('13-JUL-87','dd-mm-rr')-85", "text:1987-04-19 00:00:00"},
        stored_case{"DATE", "DATE '2020-02-29'", "text:2020-02-29 00:00:00"},
        stored_case{"DATE", "'01-JAN-20'", "text:2020-01-01 00:00:00"},
        stored_case{"TIMESTAMP",
                    "TO_TIMESTAMP('04-FEB-2021 13.20.22.245676861','DD-MON-YYYY HH24.MI.SS.FF')",
                    "text:2021-02-04 13:20:22.245677000"},
        stored_case{"TIMESTAMP(9)", "TIMESTAMP '2021-02-04 13:20:22.245676861'",
                    "text:2021-02-04 13:20:22.245676861"},
        stored_case{"DATE", "TIMESTAMP '2021-02-04 13:20:22.9'", "text:2021-02-04 13:20:22"},
        stored_case{"RAW(4)", "HEXTORAW('0aFF')", "blob:0AFF"},
        stored_case{"RAW(4)", "'c0de'", "blob:C0DE"},
        stored_case{"BLOB", "UTL_RAW.CAST_TO_RAW('{}')", "blob:7B7D"},
        stored_case{"BLOB", "EMPTY_BLOB()", "blob:"},
        stored_case{"CLOB", "'long text'", "text:long text"},
        stored_case{"INTERVAL DAY TO SECOND", "'+01 02:03:04.000000'", "text:+01 02:03:04.000000"},
        // Intervals: the text form at the column's precisions, whatever form came in.
        stored_case{"INTERVAL DAY TO SECOND", "'3 4:05:06.1234567'", "text:+03 04:05:06.123457"},
        stored_case{"INTERVAL DAY(3) TO SECOND(0)", "'-1 23:59:59.5'", "text:-002 00:00:00"},
        stored_case{"INTERVAL DAY TO SECOND", "INTERVAL '3 04:05:06.123' DAY TO SECOND",
                    "text:+03 04:05:06.123000"},
        stored_case{"INTERVAL DAY TO SECOND", "INTERVAL '36' HOUR", "text:+01 12:00:00.000000"},
        stored_case{"INTERVAL DAY TO SECOND", "INTERVAL '-90.25' SECOND",
                    "text:-00 00:01:30.250000"},
        stored_case{"INTERVAL YEAR TO MONTH", "'2-3'", "text:+02-03"},
        stored_case{"INTERVAL YEAR(4) TO MONTH", "INTERVAL '-12-11' YEAR TO MONTH",
                    "text:-0012-11"},
        stored_case{"INTERVAL YEAR TO MONTH", "INTERVAL '30' MONTH", "text:+02-06"},
        stored_case{"INTERVAL YEAR TO MONTH", "INTERVAL '12' YEAR", "text:+12-00"},
        // Zoned timestamps: the local time and the zone; LOCAL TIME ZONE in UTC.  A value
        // without a zone is in the session zone, UTC.
        stored_case{"TIMESTAMP WITH TIME ZONE", "TIMESTAMP '1924-07-01 11:00:00.5 -8:00'",
                    "text:1924-07-01 11:00:00.500000000 -08:00"},
        stored_case{"TIMESTAMP(0) WITH TIME ZONE", "'05-MAR-24 01.14.15.6 PM US/Pacific'",
                    "text:2024-03-05 13:14:16.000000000 US/Pacific"},
        stored_case{"TIMESTAMP WITH TIME ZONE",
                    "TO_TIMESTAMP_TZ('1999-12-01 11:00:00 +5:30', 'YYYY-MM-DD HH24:MI:SS TZH:TZM')",
                    "text:1999-12-01 11:00:00.000000000 +05:30"},
        stored_case{"TIMESTAMP WITH TIME ZONE", "TIMESTAMP '2021-02-04 13:20:22'",
                    "text:2021-02-04 13:20:22.000000000 +00:00"},
        stored_case{"TIMESTAMP WITH LOCAL TIME ZONE", "TIMESTAMP '2021-01-01 01:30:00 +02:00'",
                    "text:2020-12-31 23:30:00.000000000"},
        stored_case{"TIMESTAMP(3) WITH LOCAL TIME ZONE", "'04-FEB-21 01.20.22.2456 PM'",
                    "text:2021-02-04 13:20:22.246000000"}));

struct reject_case {
    const char* type;
    const char* literal;
    const char* ora;
};
void PrintTo(const reject_case& c, std::ostream* os) { *os << c.type << " " << c.literal; }

class RejectedValues : public ::testing::TestWithParam<reject_case> {};

TEST_P(RejectedValues, RowIsSkippedWithTheOracleErrorAndLine) {
    temp_db db;
    const reject_case& c = GetParam();
    int errors = 0;
    const std::string diag =
        db.load(std::string("CREATE TABLE v (c ") + c.type + ");\nINSERT INTO v VALUES (NULL);\n" +
                    "INSERT INTO v VALUES (" + c.literal + ");\nCOMMIT;",
                {}, nullptr, &errors);
    EXPECT_EQ(errors, 1) << diag;
    EXPECT_EQ(diag.substr(0, 8), "t.sql:3:") << diag;
    EXPECT_NE(diag.find(c.ora), std::string::npos) << diag;
    EXPECT_EQ(db.count("V"), 1) << "the good row stays, the bad one is skipped";
}

INSTANTIATE_TEST_SUITE_P(
    Oracle, RejectedValues,
    ::testing::Values(
        reject_case{"VARCHAR2(3)", "'abcd'",
                    "ORA-12899: value too large for column \"OCILITE\".\"V\".\"C\" (actual: 4, "
                    "maximum: 3)"},
        reject_case{"VARCHAR2(3 CHAR)", "'ééééé'", "(actual: 5, maximum: 3)"},
        reject_case{"VARCHAR2(3)", "'éé'", "(actual: 4, maximum: 3)"},
        reject_case{"NUMBER(3)", "1000", "ORA-01438"},
        reject_case{"NUMBER(3,2)", "10", "ORA-01438"}, reject_case{"NUMBER", "'abc'", "ORA-01722"},
        reject_case{"NUMBER", "TO_DATE('2020','YYYY')",
                    "ORA-00932: inconsistent datatypes: expected NUMBER got DATE"},
        reject_case{"DATE", "TO_DATE('31-02-2020','DD-MM-YYYY')", "ORA-01839"},
        reject_case{"DATE", "'2020-01-01'", "ORA-01"}, reject_case{"RAW(2)", "'zz'", "ORA-01465"},
        reject_case{"RAW(2)", "HEXTORAW('010203')", "ORA-12899"},
        reject_case{"NUMBER", "nosuch(1)", "ORA-00904"}, reject_case{"NUMBER", "1/0", "ORA-01476"},
        reject_case{"NUMBER", "1, 2", "ORA-00913: too many values"},
        reject_case{"INTERVAL YEAR TO MONTH", "'2-12'", "ORA-01867: the interval is invalid"},
        reject_case{"INTERVAL YEAR TO MONTH", "'123-1'",
                    "ORA-01873: the leading precision of the interval is too small"},
        reject_case{"INTERVAL DAY TO SECOND", "'1 25:00:00'", "ORA-01867"},
        reject_case{"INTERVAL YEAR TO MONTH", "INTERVAL '123' YEAR(3)", "ORA-01873"},
        reject_case{"INTERVAL YEAR TO MONTH", "INTERVAL '123' YEAR", "ORA-01873"},
        reject_case{"INTERVAL DAY TO SECOND", "INTERVAL '100 1:2:3' DAY TO SECOND", "ORA-01873"},
        reject_case{"INTERVAL DAY TO SECOND", "5",
                    "ORA-00932: inconsistent datatypes: expected INTERVAL DAY TO SECOND got "
                    "NUMBER"},
        reject_case{"TIMESTAMP WITH TIME ZONE", "'2021-02-04 13:20:22 +02:00'", "ORA-01"},
        reject_case{"TIMESTAMP WITH TIME ZONE", "TIMESTAMP '2021-02-04 13:20:22 +16:00'",
                    "ORA-01874"},
        reject_case{"TIMESTAMP WITH LOCAL TIME ZONE", "TIMESTAMP '2021-02-04 13:20:22 US/Pacific'",
                    "ORA-01882: timezone region not found"}));

TEST(Insert, ColumnListsNullsAndUniqueKeys) {
    temp_db db;
    int errors = 0;
    const std::string diag = db.load(
        "CREATE TABLE k (id NUMBER CONSTRAINT k_pk PRIMARY KEY, a VARCHAR2(5) NOT NULL, b "
        "NUMBER);\n"
        "INSERT INTO k (a, id) VALUES ('x', 1);\n"
        "INSERT INTO k VALUES (1, 'y', NULL);\n"
        "INSERT INTO k (id) VALUES (2);\n"
        "INSERT INTO k (id, a) VALUES (3);\n"
        "INSERT INTO k (id, zz) VALUES (3, 1);\n"
        "INSERT INTO missing VALUES (1);\n"
        "INSERT INTO k (id, a) VALUES (4, 'z');\n",
        {}, nullptr, &errors);
    EXPECT_EQ(errors, 5) << diag;
    EXPECT_NE(diag.find("t.sql:3: ORA-00001: unique constraint (OCILITE.K_PK) violated"),
              std::string::npos)
        << diag;
    EXPECT_NE(diag.find("t.sql:4: ORA-01400: cannot insert NULL into (\"OCILITE\".\"K\".\"A\")"),
              std::string::npos);
    EXPECT_NE(diag.find("t.sql:5: ORA-00947: not enough values"), std::string::npos);
    EXPECT_NE(diag.find("t.sql:6: ORA-00904: \"ZZ\": invalid identifier"), std::string::npos);
    EXPECT_NE(diag.find("t.sql:7: ORA-00942: table or view does not exist"), std::string::npos);
    EXPECT_EQ(db.column("SELECT id || a FROM k ORDER BY id"),
              (std::vector<std::string>{"1x", "4z"}));
}

TEST(Insert, SequencesAndIdentityColumns) {
    temp_db db;
    ASSERT_EQ(
        db.load("CREATE SEQUENCE s START WITH 10 INCREMENT BY 5 MAXVALUE 20 NOCACHE NOCYCLE;\n"
                "CREATE TABLE t (id INTEGER GENERATED BY DEFAULT ON NULL AS IDENTITY (START WITH "
                "100), a NUMBER, "
                "b NUMBER);\n"
                "INSERT INTO t (a, b) VALUES (s.NEXTVAL, s.NEXTVAL);\n"
                "INSERT INTO t (id, a, b) VALUES (NULL, s.NEXTVAL, s.CURRVAL);\n"
                "INSERT INTO t (id, a) VALUES (7, s.nextval);\n"),
        "");
    EXPECT_EQ(db.column("SELECT id || ':' || a || ':' || ifnull(b, '-') FROM t ORDER BY rowid"),
              (std::vector<std::string>{"100:10:10", "101:15:15", "7:20:-"}));
    EXPECT_EQ(db.value("SELECT last_number FROM ocilite_sequences WHERE sequence_name='S'"), "25");
    EXPECT_EQ(
        db.value(
            "SELECT nullable || ' ' || data_default FROM ocilite_columns WHERE column_name='ID'"),
        "N \"OCILITE\".\"ISEQ$$_0010000\".nextval");
    const std::string diag = db.load("INSERT INTO t (a) VALUES (s.NEXTVAL);");
    EXPECT_NE(diag.find("ORA-08004"), std::string::npos) << diag;
    // A later run continues the identity where the earlier one stopped.
    ASSERT_EQ(db.load("INSERT INTO t (a) VALUES (0);"), "");
    EXPECT_EQ(db.value("SELECT max(id) FROM t"), "102");
}

TEST(Insert, SelectConvertsEachRowToTheTargetColumns) {
    temp_db db;
    int errors = 0;
    const std::string diag = db.load(
        "CREATE TABLE src (n NUMBER, d DATE, s VARCHAR2(20));\n"
        "INSERT INTO src VALUES (1.5, DATE '2020-01-02', 'abc');\n"
        "INSERT INTO src VALUES (-2, NULL, 'toolongvalue');\n"
        "CREATE TABLE dst (n NUMBER(5,1), d DATE, s CHAR(5));\n"
        "INSERT INTO dst (n, d, s) SELECT n, d, s FROM src WHERE n > 0;\n"
        "INSERT INTO dst SELECT n, d, s FROM src;\n"
        "INSERT INTO dst SELECT n FROM src;\n",
        {}, nullptr, &errors);
    EXPECT_EQ(errors, 2) << diag;
    EXPECT_NE(diag.find("t.sql:6: ORA-12899"), std::string::npos)
        << "the whole statement fails, as in Oracle";
    EXPECT_NE(diag.find("t.sql:7: ORA-00947"), std::string::npos) << diag;
    EXPECT_EQ(db.column("SELECT typeof(n) || ':' || n || '|' || d || '|' || s || '|' FROM dst"),
              (std::vector<std::string>{"text:1.5|2020-01-02 00:00:00|abc  |"}));
}

// ---------------------------------------------------------------- scripts

TEST(Scripts, SimpleAnonymousBlocksRunAndOthersAreReported) {
    temp_db db;
    const std::string diag = db.load(
        "CREATE TABLE t (a VARCHAR2(100));\n"
        "DECLARE\n  v VARCHAR2(100) := 'x';\nBEGIN\n  v := v || chr(10) || 'y';\n  INSERT INTO t "
        "VALUES (v);\n"
        "  INSERT INTO t VALUES ('z');\n  COMMIT;\nEND;\n/\n"
        "BEGIN\n  FOR i IN 1..3 LOOP INSERT INTO t VALUES (i); END LOOP;\nEND;\n/\n"
        "CREATE OR REPLACE TRIGGER trg BEFORE INSERT ON t FOR EACH ROW BEGIN NULL; END;\n/\n"
        "GRANT SELECT ON t TO public;\n"
        "EXEC dbms_stats.gather_schema_stats('X')\n");
    EXPECT_EQ(db.column("SELECT a FROM t ORDER BY rowid"), (std::vector<std::string>{"x\ny", "z"}));
    EXPECT_EQ(diag,
              "t.sql:11: unsupported statement skipped (PL/SQL block: FOR statement)\n"
              "t.sql:15: unsupported statement skipped (CREATE OR REPLACE TRIGGER)\n"
              "t.sql:17: unsupported statement skipped (GRANT)\n"
              "t.sql:18: unsupported statement skipped (PL/SQL call EXEC)\n");
}

TEST(Scripts, StrictStopsAtTheFirstProblemAndRollsTheScriptBack) {
    temp_db db;
    ocilite::load::loader_options strict;
    strict.strict = true;
    bool completed = true;
    const std::string diag = db.load(
        "CREATE TABLE t (a NUMBER);\nINSERT INTO t VALUES (1);\nGRANT SELECT ON t TO x;\n"
        "INSERT INTO t VALUES (2);\n",
        strict, &completed);
    EXPECT_FALSE(completed);
    EXPECT_EQ(diag, "t.sql:3: unsupported statement skipped (GRANT)\n");
    EXPECT_EQ(db.count("ocilite_tables"), 0);
    completed = true;
    db.load(
        "CREATE TABLE t (a VARCHAR2(1));\nINSERT INTO t VALUES ('ab');\nINSERT INTO t VALUES "
        "('c');\n",
        strict, &completed);
    EXPECT_FALSE(completed);
    EXPECT_EQ(db.count("ocilite_tables"), 0);
}

TEST(Scripts, MalformedInputGivesAMessageWithTheLineAndLoadingGoesOn) {
    struct c {
        const char* text;
        const char* expect;
    };
    for (const c& k :
         {c{"CREATE TABLE t (a NUMBER;\n", "t.sql:2: ORA-00907"},
          c{"CREATE TABLE (a NUMBER);\n", "t.sql:2: ORA-00903"},
          c{"INSERT INTO x VALUES ('open);\n", "t.sql:2: ORA-01756"},
          c{"INSERT INTO ok VALUES (1,);\n", "t.sql:2: ORA-00936"},
          c{"FROB the table;\n", "t.sql:2: ORA-00900"},
          c{"INSERT INTO x VALUES (1) junk;\n", "t.sql:2: ORA-00942"},
          c{"CREATE TABLE t (a NUMBER) ;\nINSERT INTO t VALUES (1) junk;\n", "t.sql:3: ORA-00933"},
          c{"SELECT `x` FROM dual;\n", "t.sql:2: ORA-00911"},
          c{"CREATE TABLE t (a NUMBER);\nCREATE TABLE t (b NUMBER);\n", "t.sql:3: ORA-00955"},
          c{"DROP TABLE nothing;\n", "t.sql:2: ORA-00942"},
          c{"/* open comment\n", "t.sql:2: ORA-01742"}}) {
        temp_db db;
        int errors = 0;
        const std::string diag =
            db.load(std::string("CREATE TABLE ok (a NUMBER);\n") + k.text, {}, nullptr, &errors);
        EXPECT_GE(errors, 1) << k.text;
        EXPECT_NE(diag.find(k.expect), std::string::npos) << k.text << " gave: " << diag;
        EXPECT_EQ(db.value("SELECT table_name FROM ocilite_tables WHERE table_name='OK'"), "OK")
            << k.text;
    }
}

TEST(Scripts, DropAndRecreateLeaveNoStaleCatalogRows) {
    temp_db db;
    ASSERT_EQ(
        db.load(
            "CREATE TABLE p (id NUMBER PRIMARY KEY);\nCREATE TABLE c (p_id NUMBER REFERENCES p);\n"
            "CREATE INDEX c_ix ON c (p_id);\nCREATE SEQUENCE sq;\n"
            "CREATE VIEW v AS SELECT id FROM p;\n"),
        "");
    EXPECT_NE(db.load("DROP TABLE p;").find("ORA-02449"), std::string::npos);
    ASSERT_EQ(db.load("DROP TABLE p CASCADE CONSTRAINTS PURGE;\nDROP TABLE c;\nDROP SEQUENCE "
                      "sq;\nDROP VIEW v;\n"
                      "CREATE TABLE c (x VARCHAR2(3) CONSTRAINT c_u UNIQUE);\nCREATE SEQUENCE sq "
                      "START WITH 5;\n"),
              "");
    for (const char* t : {"ocilite_tables", "ocilite_constraints", "ocilite_cons_columns",
                          "ocilite_indexes", "ocilite_ind_columns", "ocilite_sequences"})
        EXPECT_EQ(db.count(t), 1) << t;
    EXPECT_EQ(db.count("ocilite_views"), 0);
    EXPECT_EQ(db.value("SELECT group_concat(column_name) FROM ocilite_columns"), "X");
}

TEST(Scripts, ViewsKeepTheirTextAndDerivedColumns) {
    temp_db db;
    const std::string diag = db.load(
        "CREATE TABLE e (id NUMBER(6) NOT NULL, name VARCHAR2(20));\n"
        "CREATE OR REPLACE VIEW ev (emp_id, emp_name) AS SELECT id, name\n  FROM e WITH READ "
        "ONLY;\n"
        "CREATE OR REPLACE VIEW ev (emp_id, emp_name) AS SELECT id, upper(name) FROM e;\n"
        "CREATE VIEW odd AS SELECT LISTAGG(name, ',') WITHIN GROUP (ORDER BY name) names FROM e;\n"
        "COMMENT ON COLUMN ev.emp_id IS 'the id';\n");
    EXPECT_NE(diag.find("t.sql:5: note: view ODD is kept in the catalog only"), std::string::npos)
        << diag;
    EXPECT_EQ(db.value("SELECT text FROM ocilite_views WHERE view_name='EV'"),
              "SELECT id, upper(name) FROM e");
    EXPECT_EQ(
        db.column(
            "SELECT column_name || ' ' || data_type || ' ' || data_length || ' ' || nullable || ' "
            "' || "
            "ifnull(comments, '-') FROM ocilite_columns WHERE table_name='EV' ORDER BY column_id"),
        (std::vector<std::string>{"EMP_ID NUMBER 22 N the id", "EMP_NAME VARCHAR2 4000 Y -"}));
    EXPECT_EQ(db.value("SELECT count(*) FROM sqlite_master WHERE name='ODD'"), "0");
    EXPECT_EQ(db.value("SELECT count(*) FROM ocilite_views"), "2");
}

TEST(Indexes, DescendingColumnsAndExpressionsGetHiddenColumnNames) {
    temp_db db;
    int errors = 0;
    const std::string diag = db.load(
        "CREATE TABLE e (id NUMBER, name VARCHAR2(20), dept NUMBER);\n"
        "CREATE INDEX e_name_desc ON e (name DESC, id);\n"
        "CREATE INDEX e_lower ON e (lower(name));\n"
        "CREATE INDEX e_dept_name ON e (dept, name DESC);\n"
        "CREATE INDEX e_again ON e (name DESC, id);\n"
        "ALTER TABLE e ADD (hired DATE);\n"
        "CREATE INDEX e_hired_desc ON e (hired DESC);\n"
        "ALTER TABLE e ADD CHECK (id > 0);\n",
        {}, nullptr, &errors);
    EXPECT_EQ(errors, 1) << diag;
    EXPECT_NE(diag.find("t.sql:5: ORA-01408: such column list already indexed"), std::string::npos)
        << diag;
    EXPECT_EQ(
        db.column("SELECT index_name || ' ' || column_name || ' ' || descend || ' ' || "
                  "ifnull(column_expression, '-') FROM ocilite_ind_columns "
                  "ORDER BY index_name, column_position"),
        (std::vector<std::string>{
            "E_DEPT_NAME DEPT ASC -", "E_DEPT_NAME SYS_NC00004$ DESC \"NAME\"",
            "E_HIRED_DESC SYS_NC00007$ DESC \"HIRED\"", "E_LOWER SYS_NC00005$ ASC LOWER(\"NAME\")",
            "E_NAME_DESC SYS_NC00004$ DESC \"NAME\"", "E_NAME_DESC ID ASC -"}));
    EXPECT_EQ(db.column("SELECT index_name || ' ' || index_type FROM ocilite_indexes "
                        "ORDER BY index_name"),
              (std::vector<std::string>{
                  "E_DEPT_NAME FUNCTION-BASED NORMAL", "E_HIRED_DESC FUNCTION-BASED NORMAL",
                  "E_LOWER FUNCTION-BASED NORMAL", "E_NAME_DESC FUNCTION-BASED NORMAL"}));
    // A descending index is still a real index over the column; hidden names use up no
    // system constraint numbers.
    EXPECT_EQ(db.value("SELECT sql FROM sqlite_master WHERE name='ocilite$ix$E_NAME_DESC'"),
              "CREATE INDEX \"ocilite$ix$E_NAME_DESC\" ON \"E\"(\"NAME\" DESC,\"ID\")");
    EXPECT_EQ(db.value("SELECT constraint_name FROM ocilite_constraints"), "SYS_C0010000");
}

// The expression text is Oracle's, whatever the spelling, so one expression keeps one hidden
// column; a dropped index's column number is not given to a new column while a higher one
// is still in use.
TEST(Indexes, ExpressionsAreKeptInOracleFormAndShareTheirColumn) {
    temp_db db;
    int errors = 0;
    const std::string diag = db.load(
        "CREATE TABLE e (id NUMBER, name VARCHAR2(20), \"Mixed\" VARCHAR2(5));\n"
        "CREATE INDEX e_upper ON e (upper( name ));\n"
        "CREATE INDEX e_upper_id ON e (id, UPPER(\"NAME\") DESC);\n"
        "CREATE INDEX e_upper2 ON e (Upper(Name));\n"
        "CREATE INDEX e_mix ON e (substr(\"Mixed\", 1, 2) || 'x''y', id * -1.50);\n"
        "CREATE INDEX e_case ON e (CASE WHEN id IS NULL THEN 0 ELSE id END);\n"
        "CREATE INDEX e_twice ON e (lower(name), LOWER(name));\n"
        "CREATE INDEX e_cols ON e (id, id);\n"
        "DROP INDEX e_upper_id;\n"
        "DROP INDEX e_upper;\n"
        "CREATE INDEX e_trim ON e (trim(name));\n",
        {}, nullptr, &errors);
    EXPECT_EQ(errors, 3) << diag;
    for (const char* expected :
         {"t.sql:4: ORA-01408: such column list already indexed",
          "t.sql:7: ORA-00957: duplicate column name", "t.sql:8: ORA-00957: duplicate column name"})
        EXPECT_NE(diag.find(expected), std::string::npos) << expected << "\n" << diag;
    // Three table columns: hidden columns from 4 on.  With 4 gone, counting the columns alone
    // would give E_TRIM 7, which E_CASE still uses: it takes 8.
    EXPECT_EQ(db.column("SELECT index_name || ' ' || column_name || ' ' || "
                        "ifnull(column_expression, '-') FROM ocilite_ind_columns "
                        "ORDER BY index_name, column_position"),
              (std::vector<std::string>{
                  "E_CASE SYS_NC00007$ CASE WHEN \"ID\" IS NULL THEN 0 ELSE \"ID\" END",
                  "E_MIX SYS_NC00005$ SUBSTR(\"Mixed\",1,2)||'x''y'",
                  "E_MIX SYS_NC00006$ \"ID\"*-1.50", "E_TRIM SYS_NC00008$ TRIM(\"NAME\")"}));
}

// A database written before the catalog gained a column gets it on the next load.
TEST(Options, EarlierCatalogLayoutGainsTheAddedColumns) {
    temp_db db;
    sqlite3* raw = nullptr;
    ASSERT_EQ(SQLITE_OK, sqlite3_open(db.path().c_str(), &raw));
    ASSERT_EQ(SQLITE_OK,
              sqlite3_exec(raw,
                           "CREATE TABLE ocilite_views(view_name TEXT PRIMARY KEY, text TEXT NOT "
                           "NULL); INSERT INTO ocilite_views VALUES('OLD_V', 'select 1 from dual');"
                           "CREATE TABLE ocilite_ind_columns(index_name TEXT NOT NULL, table_name "
                           "TEXT NOT NULL, column_name TEXT NOT NULL, column_position INTEGER NOT "
                           "NULL, descend TEXT NOT NULL DEFAULT 'ASC');",
                           nullptr, nullptr, nullptr));
    sqlite3_close(raw);
    ocilite::load::loader_options o;
    o.owner = "hr";
    ASSERT_EQ(db.load("CREATE TABLE t (a NUMBER);\nCREATE INDEX t_ix ON t (a DESC);\n"
                      "CREATE VIEW t_v AS SELECT a FROM t;\n",
                      o),
              "");
    EXPECT_EQ(db.column("SELECT view_name || ' ' || ifnull(owner, '-') FROM ocilite_views "
                        "ORDER BY 1"),
              (std::vector<std::string>{"OLD_V -", "T_V HR"}));
    EXPECT_EQ(db.value("SELECT column_expression FROM ocilite_ind_columns"), "\"A\"");
}

TEST(Options, BannerUsersAndOwner) {
    temp_db db;
    ocilite::load::loader_options o;
    o.banner = "Oracle8i Enterprise Edition Release 8.1.7.0.0 - Production";
    ocilite::load::user_spec u;
    ASSERT_TRUE(ocilite::load::parse_user_spec("scott/Tiger", u));
    o.users.push_back(u);
    ASSERT_TRUE(ocilite::load::parse_user_spec("old/pw/locked", u));
    o.users.push_back(u);
    ASSERT_EQ(db.load("CREATE TABLE t (a NUMBER);", o), "");
    EXPECT_EQ(db.value("SELECT value FROM ocilite_settings WHERE name='banner'"), o.banner);
    EXPECT_EQ(db.column("SELECT username || '/' || password || '/' || account_status FROM "
                        "ocilite_users ORDER BY 1"),
              (std::vector<std::string>{"OLD/pw/LOCKED", "SCOTT/Tiger/OPEN"}));
    EXPECT_EQ(db.value("SELECT owner FROM ocilite_tables"), "SCOTT");
    // A second run without options keeps banner, users and owner.
    ASSERT_EQ(db.load("CREATE TABLE t2 (a NUMBER);"), "");
    EXPECT_EQ(db.value("SELECT value FROM ocilite_settings WHERE name='banner'"), o.banner);
    EXPECT_EQ(db.value("SELECT owner FROM ocilite_tables WHERE table_name='T2'"), "SCOTT");
    for (const char* bad : {"scott", "/pw", "scott/", "a/b/c"})
        EXPECT_FALSE(ocilite::load::parse_user_spec(bad, u)) << bad;
}

}  // namespace
