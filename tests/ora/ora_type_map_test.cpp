// The type vocabulary and literals (no server needed), the Oracle name
// validators and the exception's code.
#include "ora_type_map.h"

#include <gtest/gtest.h>

#include "ora_exception.h"
#include "ora_table.h"
#include "ora_test_support.h"
#include "ora_validator.h"
#include "tk_error_converter.h"
#include "udb_field.h"
#include "udb_schema.h"

using ora_test::u8;

namespace {

struct refine_case {
    uint32_t precision, scale;
    VARTYPE vt;
    uint32_t precision_after;
};

class RefineNumType : public ::testing::TestWithParam<refine_case> {};

TEST_P(RefineNumType, GivesTheVtCode) {
    const refine_case c = GetParam();
    uint32_t p = c.precision, s = c.scale;
    EXPECT_EQ(c.vt, get_refined_num_type(p, s));
    EXPECT_EQ(c.precision_after, p);
    EXPECT_EQ(c.scale, s);
}

INSTANTIATE_TEST_SUITE_P(
    Numbers, RefineNumType,
    ::testing::Values(refine_case{0, 0, VT_R8, 0}, refine_case{39, 0, VT_R8, 39},
                      refine_case{1, 0, VT_I1, 1}, refine_case{2, 0, VT_I1, 2},
                      refine_case{3, 0, VT_I2, 3}, refine_case{4, 0, VT_I2, 4},
                      refine_case{5, 0, VT_I4, 5}, refine_case{9, 0, VT_I4, 9},
                      refine_case{10, 0, VT_I8, 10}, refine_case{20, 0, VT_I8, 20},
                      refine_case{21, 0, VT_R8, 21}, refine_case{38, 0, VT_R8, 38},
                      refine_case{10, 2, VT_DECIMAL, 10}, refine_case{5, 5, VT_DECIMAL, 6},
                      refine_case{38, 38, VT_DECIMAL, 39}));

t_ftd ftd(VARTYPE vt, uint32_t size = 0, uint32_t reserved = 0,
          const ole_variant& def = ole_variant()) {
    return t_ftd(size, u"F", vt, false, false, def, reserved);
}

TEST(OraNativeType, ByVtCode) {
    struct {
        VARTYPE vt;
        uint32_t size, reserved;
        const char16_t *sized, *bare;
    } cases[] = {
        {VT_BOOL, 0, 0, u"NUMBER(3,0)", u"NUMBER"},
        {VT_I1, 0, 0, u"NUMBER(3,0)", u"NUMBER"},
        {VT_I2, 0, 0, u"NUMBER(5,0)", u"NUMBER"},
        {VT_UI1, 0, 0, u"NUMBER(5,0)", u"NUMBER"},
        {VT_I4, 0, 0, u"NUMBER(11,0)", u"NUMBER"},
        {VT_UI2, 0, 0, u"NUMBER(11,0)", u"NUMBER"},
        {VT_INT, 0, 0, u"NUMBER(11,0)", u"NUMBER"},
        {VT_UI4, 0, 0, u"NUMBER(19,0)", u"NUMBER"},
        {VT_I8, 0, 0, u"NUMBER(19,0)", u"NUMBER"},
        {VT_UINT, 0, 0, u"NUMBER(19,0)", u"NUMBER"},
        {VT_R4, 0, 0, u"NUMBER", u"NUMBER"},
        {VT_CY, 0, 0, u"NUMBER", u"NUMBER"},
        {VT_DECIMAL, 0, 10 * 256 + 2, u"NUMBER(10,2)", u"NUMBER"},
        {VT_DECIMAL, 0, 0, u"NUMBER(0,0)", u"NUMBER"},
        {VT_DATE, 0, 1, u"TIMESTAMP", u"TIMESTAMP"},
        {VT_DATE, 0, 2, u"DATE", u"DATE"},
        {VT_BSTR, 2000, 0, u"NVARCHAR2(2000) ", u"NVARCHAR2"},
        {VT_BSTR, 1, 0, u"NVARCHAR2(1) ", u"NVARCHAR2"},
        {VT_BSTR, 2001, 0, u"CLOB", u"CLOB"},
        {VT_BSTR, 0, 10, u"LONG", u"LONG"},
        {VT_BLOB, 16, 0, u"RAW(16)", u"RAW"},
        {VT_BLOB, 2001, 0, u"BLOB", u"BLOB"},
    };
    for (const auto& c : cases) {
        const t_ftd f = ftd(c.vt, c.size, c.reserved);
        EXPECT_EQ(u8(c.sized), u8(get_ora_native_type(f, false))) << c.vt << "/" << c.size;
        EXPECT_EQ(u8(c.bare), u8(get_ora_native_type(f, true))) << c.vt << "/" << c.size;
    }
    EXPECT_THROW(get_ora_native_type(ftd(VT_EMPTY), false), tk_mail_assertion);
    EXPECT_THROW(get_ora_native_type(ftd(VT_BINARY, 4), false), tk_mail_assertion);
}

TEST(ToOracleStr, Literals) {
    struct {
        const char16_t* text;
        VARTYPE vt;
        const char16_t* literal;
    } cases[] = {
        {u"", VT_BSTR, u"''"},
        {u"", VT_I4, u"''"},
        {u"O'Brien", VT_BSTR, u"'O''Brien'"},
        {u"12.5", VT_R8, u"12.5"},
        {u"1'2", VT_I4, u"1''2"},
        {u"0x1A2B", VT_BLOB, u"'1A2B'"},
        {u"0X1a2b", VT_BINARY, u"'1a2b'"},
        {u"0x1G", VT_BLOB, u"''"},
        {u"1x12", VT_BLOB, u"''"},
        {u"x", VT_BLOB, u"''"},
        {u"1234", VT_BLOB_OBJECT, u"'34'"},
        {u"12a4", VT_BLOB, u"''"},
        {u"2004-01-15 10:30:00", VT_DATE,
         u"to_date('2004-01-15 10:30:00', 'YYYY-MM-DD HH24:MI:SS')"},
        {u"2004-01-15", VT_DATE, u"to_date('2004-01-15', 'YYYY-MM-DD')"},
        {u"2004-01-15 00:00:00", VT_DATE, u"to_date('2004-01-15', 'YYYY-MM-DD')"},
        {u"10:30:05", VT_DATE, u"to_date('10:30:05', 'HH24-MI-SS')"},
        {u"no date at all", VT_DATE, u""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(u8(c.literal), u8(to_oracle_str(c.text, c.vt))) << u8(c.text) << " " << c.vt;
}

TEST(ToOracleStr, GuidFieldBecomesHextorawInByteOrder) {
    const udb_field guid(u"G", 60, ole_variant(u"{guid {00112233-4455-6677-8899-AABBCCDDEEFF}}"));
    EXPECT_EQ("HEXTORAW('33221100554477668899AABBCCDDEEFF')", u8(to_oracle_str(&guid)));
    const udb_field text(u"T", 10, ole_variant(u"it's"));
    EXPECT_EQ("'it''s'", u8(to_oracle_str(&text)));
    const udb_field number(u"N", 0, ole_variant(42));
    EXPECT_EQ("42", u8(to_oracle_str(&number)));
    EXPECT_THROW(to_oracle_str(static_cast<const udb_field*>(nullptr)), tk_mail_assertion);
    // A GUID literal with too few digits is a broken assumption of the writer.
    const udb_field short_guid(u"G", 60,
                               ole_variant(u"a text long enough to be looked at: guid {0011-22}"));
    EXPECT_THROW(to_oracle_str(&short_guid), tk_mail_assertion);
}

TEST(GuidExtractor, FindsTheDigits) {
    const ole_guid_extractor upper(u"value is GUID {00112233-4455-6677-8899-AABBCCDDEEFF} ok");
    EXPECT_TRUE(upper.is_guid());
    EXPECT_EQ("00112233445566778899AABBCCDDEEFF", u8(upper.digits()));
    EXPECT_FALSE(ole_guid_extractor(u"{guid {00112233-4455-6677-8899-AABBCC}}").is_guid());
    EXPECT_FALSE(
        ole_guid_extractor(u"no marker here {00112233-4455-6677-8899-AABBCCDDEEFF}").is_guid());
    EXPECT_FALSE(
        ole_guid_extractor(u"guid without any braces at all in this long text!").is_guid());
    EXPECT_TRUE(
        ole_guid_extractor(std::string("{guid {00112233-4455-6677-8899-AABBCCDDEEFF}}")).is_guid());
}

TEST(MakeOraDefVal, ByVtCode) {
    struct {
        VARTYPE vt;
        uint32_t size;
        ole_variant def;
        const char16_t* literal;
    } cases[] = {
        {VT_BSTR, 10, ole_variant(), u""},
        {VT_BSTR, 10, ole_variant(u"abc"), u"'abc'"},
        {VT_BSTR, 3, ole_variant(u"abcdef"), u"'abc'"},
        {VT_BSTR, 0, ole_variant(u"a'b"), u"'a''b'"},
        {VT_I4, 0, ole_variant(u"42"), u"42"},
        {VT_I4, 0, ole_variant(u"-7"), u"-7"},
        {VT_I4, 0, ole_variant(u"042"), u""},
        {VT_I2, 0, ole_variant(u"x"), u""},
        {VT_R8, 0, ole_variant(u"1.5"), u"1.5"},
        {VT_R8, 0, ole_variant(u"0.0"), u"0.0"},
        {VT_R8, 0, ole_variant(u"-0E+0"), u"-0E+0"},
        {VT_R8, 0, ole_variant(u"abc"), u""},
        {VT_DECIMAL, 0, ole_variant(u"1e127"), u"0"},
        {VT_DECIMAL, 0, ole_variant(u"-1e200"), u"0"},
        {VT_DATE, 0, ole_variant(u"2004-01-15 10:30:00"),
         u"to_date('2004-01-15 10:30:00', 'YYYY-MM-DD HH24:MI:SS')"},
        {VT_DATE, 0, ole_variant(u"SYSDATE"), u""},
        {VT_BLOB, 0, ole_variant(u"0x00"), u""},
    };
    for (const auto& c : cases) {
        const t_ftd f(c.size, u"F", c.vt, false, false, c.def);
        EXPECT_EQ(u8(c.literal), u8(make_ora_def_val(&f))) << c.vt << " " << c.def.to_string();
    }
    EXPECT_THROW(make_ora_def_val(nullptr), tk_mail_assertion);
}

TEST(NativeTypes, TheReaderReadsExactlyThese) {
    const auto& types = get_native_types();
    EXPECT_EQ(23u, types.size());
    for (const char16_t* t : {u"VARCHAR2", u"NVARCHAR2", u"NUMBER", u"BINARY_DOUBLE",
                              u"TIMESTAMP(6)", u"LONG RAW", u"UROWID", u"NCLOB", u"BFILE"})
        EXPECT_EQ(1u, types.count(t)) << u8(t);
    for (const char16_t* t : {u"TIMESTAMP(9)", u"TIMESTAMP(6) WITH TIME ZONE", u"XMLTYPE",
                              u"INTERVAL DAY(2) TO SECOND(6)", u"varchar2", u"INTEGER"})
        EXPECT_EQ(0u, types.count(t)) << u8(t);
}

TEST(GetDefValue, FromCatalogText) {
    struct {
        VARTYPE vt;
        const char16_t* text;
        ole_variant expected;
    } cases[] = {
        {VT_BSTR, u"'abc'", ole_variant(u"abc")},
        {VT_BSTR, u"  'it''s'  ", ole_variant(u"it's")},
        {VT_BSTR, u"''", ole_variant(u"")},
        {VT_BSTR, u"USER", ole_variant()},
        {VT_BSTR, u"'", ole_variant()},
        {VT_DATE, u"SYSDATE", ole_variant()},
        {VT_DATE, u"'2004-01-15'", ole_variant()},
        {VT_I4, u"42 ", ole_variant(42)},
        {VT_I2, u"'7'", ole_variant(static_cast<short>(7))},
        {VT_R8, u"1.5", ole_variant(1.5)},
        {VT_I4, u"NULL", ole_variant()},
        {VT_I4, u"null", ole_variant()},
        {VT_R8, u"\"CO\".\"ISEQ$$_0010000\".nextval", ole_variant()},
        {VT_I4, u"12abc", ole_variant()},
        {VT_DECIMAL, u"-1.5E+3", ole_variant::from_string("-1500", VT_DECIMAL)},
        {VT_DECIMAL, u"'2,5'", ole_variant::from_string("2.5", VT_DECIMAL)},
        {VT_R8, u".5", ole_variant(0.5)},
        {VT_R8, u"5.", ole_variant(5.0)},
        {VT_R8, u"1e", ole_variant()},
    };
    for (const auto& c : cases) {
        const ole_variant v = ora_table::get_def_value(c.vt, c.text);
        EXPECT_EQ(c.expected.vt(), v.vt()) << u8(c.text);
        EXPECT_EQ(c.expected.to_string(), v.to_string()) << u8(c.text);
    }
    // A text for a type that cannot be built from text gives no default.
    EXPECT_TRUE(ora_table::get_def_value(VT_DISPATCH, u"1").is_empty());
    // A default of any text is taken without harm.
    std::u16string odd(5000, u'\'');
    odd += u"\u0000\xD800x";
    EXPECT_NO_THROW(ora_table::get_def_value(VT_BSTR, odd));
    EXPECT_NO_THROW(ora_table::get_def_value(VT_DECIMAL, odd));
}

TEST(OraValidator, AcceptsOracleNames) {
    const ora_validator v;
    for (const char16_t* good :
         {u"A", u"EMP_NO", u"X$1#", u"Имя", u"ABCDEFGHIJKLMNOPQRSTUVWXYZ1234"})
        EXPECT_TRUE(v.is_acceptable(good)) << u8(good);
    for (const char16_t* bad :
         {u"", u"1A", u"_A", u"A B", u"A-B", u"A.B", u"A\"B", u"ABCDEFGHIJKLMNOPQRSTUVWXYZ12345"})
        EXPECT_FALSE(v.is_acceptable(bad)) << u8(bad);
}

TEST(OraValidator, SafeNames) {
    ora_validator v;
    EXPECT_EQ("A1st", u8(v.get_safe_name(u"1st")));
    EXPECT_EQ("ORDER_DATE", u8(v.get_safe_name(u"ORDER DATE")));
    EXPECT_EQ("A_x", u8(v.get_safe_name(u"_x")));
    const std::u16string forty(40, u'N');
    EXPECT_EQ(std::string(29, 'N'), u8(v.get_safe_name(forty)));
    v.add_existing_name(std::u16string(29, u'N'));
    EXPECT_EQ(std::string(24, 'N') + "00000", u8(v.get_safe_name(forty)));
    v.add_restricted_name(u"SELECT");
    EXPECT_FALSE(v.is_acceptable(u"select"));
    EXPECT_EQ("select00000", u8(v.get_safe_name(u"select")));
}

TEST(OraValidator, DerivedValidatorsRegisterNames) {
    udb_schema schema;
    schema.add(t_ftd(1, u"ID", VT_I4));
    schema.add(t_ftd(1, u"Name", VT_BSTR));
    const ora_fn_validator fields(schema);
    EXPECT_TRUE(fields.is_duplicated(u"name"));
    EXPECT_EQ("ID00000", u8(fields.get_safe_name(u"ID")));

    udb_record record;
    record.emplace_back(u"COL", 1, ole_variant());
    EXPECT_TRUE(ora_fn_validator(record).is_duplicated(u"col"));

    const ora_tn_validator tables({u"EMP"}, {u"DEPT"});
    EXPECT_TRUE(tables.is_duplicated(u"dept"));
    EXPECT_TRUE(tables.is_duplicated(u"Emp"));

    udb_indexes indexes;
    indexes.push_back(udb_index(u"PK_EMP", true, true, {u"ID"}));
    ora_validator names;
    ora_in_validator::load(indexes, names);
    EXPECT_TRUE(names.is_duplicated(u"pk_emp"));
}

TEST(OraException, CodeAndExplanation) {
    const tk_error_converter explanations(tk_oracle_error_table());
    struct {
        int32_t number;
        uint32_t code;
    } cases[] = {{1017, 0x1003F9},
                 {12541, 0x1030FD},
                 {12154, 0x102F7A},
                 {942, 0x1003AE},
                 {0x12345, 0x102345}};
    for (const auto& c : cases) {
        const ora_exception e(c.number, "ORA-x: text\n");
        EXPECT_EQ(c.code, e.code());
        EXPECT_EQ(0, e.level());
        EXPECT_EQ(c.number, e.ora_number());
    }
    EXPECT_EQ("Invalid user name or password.",
              explanations.convert(ora_exception(1017, "").code()));
    EXPECT_EQ("Unknown exception", std::string(ora_exception(1, "").what()));
}

}  // namespace
