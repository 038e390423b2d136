// Field descriptors and schemas: the conformity rules, name searches and
// schema copies.
#include "udb_schema.h"

#include <gtest/gtest.h>

#include <vector>

#include "tk_exception.h"
#include "udb_test_support.h"

namespace {

struct conform_case {
    VARTYPE src_vt;
    uint32_t src_size;
    VARTYPE dest_vt;
    uint32_t dest_size;
    bool expected;
    const char* why;
};

void PrintTo(const conform_case& c, std::ostream* os) {
    *os << c.why << " (src " << c.src_vt << "/" << c.src_size << " -> dest " << c.dest_vt << "/"
        << c.dest_size << ")";
}

// One row per rule, in the order the rules are tried, with the cases that
// show an earlier rule deciding before a later one could.
const conform_case kConformCases[] = {
    // DECIMAL and CY are interchangeable, whatever the sizes.
    {VT_DECIMAL, 38, VT_CY, 1, true, "decimal into currency"},
    {VT_CY, 19, VT_DECIMAL, 5, true, "currency into decimal"},
    // The same tag conforms; a text only with equal sizes.
    {VT_I4, 10, VT_I4, 2, true, "same integer tag, sizes ignored"},
    {VT_DATE, 7, VT_DATE, 8, true, "same date tag"},
    {VT_EMPTY, 0, VT_EMPTY, 0, true, "same empty tag decides before the empty-destination rule"},
    {VT_BINARY, 100, VT_BINARY, 10, true, "same binary tag decides before the fit test"},
    {VT_LPSTR, 30, VT_LPSTR, 10, true, "same non-BSTR string tag ignores sizes"},
    {VT_BSTR, 20, VT_BSTR, 20, true, "text of equal size"},
    {VT_BSTR, 20, VT_BSTR, 30, true, "text into a longer text (via the text rule)"},
    {VT_BSTR, 20, VT_BSTR, 0, true, "text into an unlimited text"},
    {VT_BSTR, 20, VT_BSTR, 10, false, "text into a shorter text"},
    // Date destination.
    {VT_BSTR, 19, VT_DATE, 0, true, "19-character text into a date"},
    {VT_BSTR, 10, VT_DATE, 0, false, "10-character text into a date"},
    {VT_LPWSTR, 19, VT_DATE, 0, false, "only VT_BSTR texts become dates"},
    {VT_I4, 4, VT_DATE, 0, false, "number into a date"},
    // Empty/null destination; the common number destinations.
    {VT_I4, 4, VT_EMPTY, 0, false, "anything into an empty destination"},
    {VT_BSTR, 4, VT_NULL, 0, false, "anything into a null destination"},
    {VT_I4, 4, VT_R8, 8, true, "integer into a double"},
    {VT_DECIMAL, 38, VT_I2, 2, true, "decimal into a short"},
    {VT_BOOL, 1, VT_R4, 4, true, "boolean counts as a number"},
    {VT_UI8, 8, VT_CY, 8, true, "unsigned 64-bit into currency"},
    {VT_BSTR, 10, VT_I4, 4, false, "text into an integer"},
    {VT_DATE, 8, VT_R8, 8, false, "date into a double"},
    {VT_BINARY, 4, VT_I4, 4, false, "binary into an integer"},
    // Text destination.
    {VT_I4, 11, VT_BSTR, 5, true, "number into a text, sizes ignored"},
    {VT_DATE, 8, VT_BSTR, 1, true, "date into a text, sizes ignored"},
    {VT_EMPTY, 0, VT_BSTR, 1, true, "empty into a text"},
    {VT_BINARY, 4, VT_BSTR, 100, false, "binary never into a text"},
    {VT_BLOB, 4, VT_LPWSTR, 0, false, "blob never into a text"},
    {VT_LPSTR, 30, VT_BSTR, 20, false, "longer string into a text"},
    {VT_BSTR, 10, VT_LPWSTR, 0, true, "text into an unlimited string"},
    {VT_LPWSTR, 20, VT_BSTR, 20, true, "string of the same size into a text"},
    // Boolean, decimal and the tags VT_I1..VT_UINT.
    {VT_I4, 4, VT_BOOL, 1, true, "number into a boolean"},
    {VT_BSTR, 1, VT_DECIMAL, 10, false, "text into a decimal"},
    {VT_I4, 4, VT_DECIMAL, 10, true, "integer into a decimal"},
    {VT_R8, 8, VT_I1, 1, true, "double into a signed byte"},
    {VT_I4, 4, VT_I8, 8, true, "integer into a 64-bit integer"},
    {VT_I4, 4, VT_INT, 4, true, "integer into VT_INT"},
    {VT_DATE, 8, VT_UI4, 4, false, "date into an unsigned integer"},
    {VT_BSTR, 4, VT_UINT, 4, false, "text into VT_UINT"},
    // Binary destination.
    {VT_I4, 4, VT_BINARY, 1, true, "number into a binary, sizes ignored"},
    {VT_DATE, 8, VT_BLOB, 1, true, "date into a blob"},
    {VT_BSTR, 20, VT_BINARY, 10, false, "text into a shorter binary"},
    {VT_BSTR, 10, VT_BINARY, 20, true, "text into a longer binary"},
    {VT_BLOB, 10, VT_BINARY, 0, true, "blob into an unlimited binary"},
    {VT_BLOB, 30, VT_BLOB_OBJECT, 20, false, "blob into a shorter blob object"},
    // Everything else.
    {VT_I4, 4, VT_DISPATCH, 0, false, "unknown destination tag"},
    {VT_I4, 4, VT_SAFEARRAY, 0, false, "general array destination"},
    {VT_BSTR, 4, VT_ERROR, 0, false, "error destination"},
};

class conform_rules : public ::testing::TestWithParam<conform_case> {};

TEST_P(conform_rules, source_against_destination) {
    const conform_case& c = GetParam();
    const t_ftd src(c.src_size, u"SRC", c.src_vt);
    const t_ftd dest(c.dest_size, u"DEST", c.dest_vt);
    EXPECT_EQ(src.conform_to(dest), c.expected);
}

INSTANTIATE_TEST_SUITE_P(table, conform_rules, ::testing::ValuesIn(kConformCases));

udb_schema make_schema(std::initializer_list<std::pair<const char16_t*, VARTYPE>> columns) {
    udb_schema schema;
    for (const auto& [name, vt] : columns) schema.emplace_back(10, name, vt);
    return schema;
}

TEST(udb_schema, conform_needs_equal_counts) {
    const udb_schema three = make_schema({{u"A", VT_I4}, {u"B", VT_I4}, {u"C", VT_I4}});
    const udb_schema four =
        make_schema({{u"A", VT_I4}, {u"B", VT_I4}, {u"C", VT_I4}, {u"D", VT_I4}});
    EXPECT_FALSE(three.conform_to(four));
    EXPECT_FALSE(four.conform_to(three));
    EXPECT_TRUE(three.conform_to(three));
}

TEST(udb_schema, empty_schemas_conform_and_empty_never_conforms_to_filled) {
    const udb_schema empty;
    EXPECT_TRUE(empty.conform_to(udb_schema()));
    EXPECT_FALSE(empty.conform_to(make_schema({{u"A", VT_BSTR}})));
}

TEST(udb_schema, conform_compares_by_position_not_name) {
    const udb_schema src = make_schema({{u"X", VT_I4}, {u"Y", VT_BSTR}});
    const udb_schema renamed = make_schema({{u"P", VT_R8}, {u"Q", VT_BSTR}});
    const udb_schema swapped = make_schema({{u"Y", VT_BSTR}, {u"X", VT_I4}});
    EXPECT_TRUE(src.conform_to(renamed));
    EXPECT_FALSE(src.conform_to(swapped));
}

TEST(udb_schema, conform_logs_first_failing_column_one_based) {
    log_capture log(2);
    const udb_schema src = make_schema({{u"A", VT_I4}, {u"B", VT_BSTR}, {u"C", VT_BSTR}});
    const udb_schema dest = make_schema({{u"A", VT_I4}, {u"B", VT_I4}, {u"C", VT_I4}});
    EXPECT_FALSE(src.conform_to(dest));
    EXPECT_TRUE(
        log.contains("Column #2 doesn't conform (src_vt=8, src_size=10, dest_vt=3, dest_size=10)"));
    EXPECT_FALSE(log.contains("Column #3"));
    EXPECT_FALSE(src.conform_to(udb_schema()));
    EXPECT_TRUE(log.contains("Tables are not conformed: src_size=3, dest_size=0"));
}

TEST(udb_schema, name_searches_ignore_case_and_take_first_match) {
    udb_schema schema = make_schema({{u"Id", VT_I4}, {u"Name", VT_BSTR}, {u"NAME", VT_I4}});
    EXPECT_EQ(schema.get_field_idx(u"NAME"), 1);
    EXPECT_EQ(schema.get_field_idx(u"id"), 0);
    EXPECT_EQ(schema.get_field_idx(u"Nam"), -1);
    EXPECT_EQ(schema.get_field_idx(u""), -1);
    EXPECT_EQ(udb_schema().get_field_idx(u"Name"), -1);

    EXPECT_TRUE(schema.has_field(u"nAmE"));
    EXPECT_FALSE(schema.has_field(u"Names"));
    const t_ftd* found = nullptr;
    ASSERT_TRUE(schema.find_field(u"name", found));
    EXPECT_EQ(found->vartype, VT_BSTR);

    // The modifying form changes the stored descriptor.
    schema.find_field(u"ID").size = 99;
    EXPECT_EQ(schema[0].size, 99u);
}

TEST(udb_schema, non_ascii_names_compare_by_case_folding) {
    const udb_schema schema = make_schema({{u"Straße", VT_BSTR}, {u"Имя", VT_BSTR}});
    EXPECT_EQ(schema.get_field_idx(u"ИМЯ"), 1);
    EXPECT_EQ(schema.get_field_idx(u"STRASSE"), 0);
}

TEST(udb_schema, missing_descriptor_is_an_internal_error) {
    udb_schema schema = make_schema({{u"A", VT_I4}});
    const udb_schema& const_schema = schema;
    EXPECT_THROW(schema.find_field(u"B"), tk_mail_assertion);
    EXPECT_THROW(const_schema.find_field(u"B"), tk_mail_assertion);
    EXPECT_THROW(udb_schema().find_field(u""), tk_mail_assertion);
}

TEST(udb_schema, copies_are_deep_and_independent) {
    udb_schema original(true);
    original.emplace_back(20, u"TEXT", VT_BSTR, true, false, ole_variant(u"dflt"), 10, u"LONG");
    udb_schema copy(original);
    EXPECT_TRUE(copy.flag());
    ASSERT_EQ(copy.size(), 1u);
    EXPECT_NE(&copy[0], &original[0]);
    EXPECT_EQ(copy[0].default_value.to_wstring(), u"dflt");
    EXPECT_EQ(copy[0].type_name, u"LONG");
    EXPECT_EQ(copy[0].reserved, 10u);
    EXPECT_TRUE(copy[0].b_not_null);

    copy[0].name = u"OTHER";
    EXPECT_EQ(original[0].name, u"TEXT");

    udb_schema assigned;
    assigned.emplace_back(1, u"GONE", VT_I4);
    assigned = original;
    ASSERT_EQ(assigned.size(), 1u);
    EXPECT_EQ(assigned[0].name, u"TEXT");
    assigned = assigned;  // self-assignment keeps the contents
    ASSERT_EQ(assigned.size(), 1u);
    EXPECT_EQ(assigned[0].name, u"TEXT");
}

TEST(udb_schema, null_descriptor_is_refused) {
    udb_schema schema;
    EXPECT_THROW(schema.push_back(std::unique_ptr<t_ftd>()), tk_mail_assertion);
    EXPECT_TRUE(schema.empty());
    EXPECT_THROW(schema[0], tk_mail_assertion);
}

TEST(t_ftd, constructor_logs_descriptor_at_detail_level) {
    log_capture log(1);
    const t_ftd ftd(12, u"AMOUNT", VT_DECIMAL, true, false, ole_variant(), 10 * 256 + 2);
    EXPECT_TRUE(log.contains("t_ftd::ctor2"));
    EXPECT_TRUE(
        log.contains("\tfield name='AMOUNT', vartype=14, size=12, b_not_null=1, reserved=2562"));
}

}  // namespace
