// Names maps: lookups and the rewriting of SQL texts.
#include "udb_names_map.h"

#include <gtest/gtest.h>

#include "udb_test_support.h"

namespace {

t_names_map make_map(std::initializer_list<std::pair<const char16_t*, const char16_t*>> pairs) {
    t_names_map map;
    for (const auto& [from, to] : pairs) map.add(from, to);
    return map;
}

struct replace_case {
    const char16_t* sql;
    const char16_t* from;
    const char16_t* to;
    const char16_t* left_quote;
    const char16_t* right_quote;
    const char16_t* expected;
    const char* why;
};
void PrintTo(const replace_case& c, std::ostream* os) {
    *os << c.why;
}

const replace_case kReplaceCases[] = {
    {u"SELECT ID, IDX FROM T", u"ID", u"ID_1", u"", u"", u"SELECT ID_1, IDX FROM T",
     "only the whole word"},
    {u"select * from T", u"T", u"T_1", u"\"", u"\"", u"select * from \"T_1\"",
     "quoted, at the end"},
    {u"ID=1", u"ID", u"K", u"", u"", u"K=1", "at the start"},
    {u"ID", u"ID", u"K", u"[", u"]", u"[K]", "the whole text"},
    {u"XID IDX ID2 2ID", u"ID", u"K", u"", u"", u"XID IDX ID2 2ID", "letters and digits join"},
    {u"ÄID IDé ЖID ID", u"ID", u"K", u"", u"", u"ÄID IDé ЖID K", "non-ASCII letters join"},
    {u"select ИМЯ from t", u"ИМЯ", u"NAME", u"", u"", u"select NAME from t",
     "non-ASCII name replaced"},
    {u"EMP_ID, ID_X, $ID, ID#", u"ID", u"K", u"", u"", u"EMP_ID, ID_X, $ID, ID#",
     "identifier characters join"},
    {u"(ID)+ID.ID,'ID'", u"ID", u"K", u"", u"", u"(K)+K.K,'K'", "punctuation separates"},
    {u"id ID", u"ID", u"K", u"", u"", u"id K", "case-sensitive search"},
    {u"ID ID ID", u"ID", u"ID ID", u"", u"", u"ID ID ID ID ID ID",
     "replacement holding its source is not rescanned"},
    {u"select 'abc from \"T where T", u"T", u"T_1", u"\"", u"\"",
     u"select 'abc from \"\"T_1\" where \"T_1\"", "unbalanced quotes"},
    {u"", u"T", u"T_1", u"", u"", u"", "empty text"},
    {u"select A from B", u"", u"X", u"", u"", u"select A from B", "empty source name skipped"},
    {u"AA AAA A", u"A", u"B", u"", u"", u"AA AAA B", "repeated letters form one word"},
};

class global_replace : public ::testing::TestWithParam<replace_case> {};

TEST_P(global_replace, single_mapping) {
    const replace_case& c = GetParam();
    const t_names_map map = make_map({{c.from, c.to}});
    EXPECT_EQ(utf8(udb_names_map::do_global_replace2(c.sql, map, c.left_quote, c.right_quote)),
              utf8(c.expected));
}

INSTANTIATE_TEST_SUITE_P(table, global_replace, ::testing::ValuesIn(kReplaceCases));

TEST(udb_names_map, later_entry_replaces_earlier_replacement) {
    // Entries run in source-name order: A first, then B finds A's result.
    const t_names_map map = make_map({{u"B", u"C"}, {u"A", u"B"}});
    EXPECT_EQ(udb_names_map::do_global_replace2(u"A + B", map, u"", u""), u"C + C");
    // Quotes around the first replacement still leave the word free.
    EXPECT_EQ(udb_names_map::do_global_replace2(u"A", map, u"\"", u"\""), u"\"\"C\"\"");
}

TEST(udb_names_map, global_replace_runs_table_map_then_field_maps_in_table_order) {
    udb_names_map names;
    names.add_tn_mapping(u"ORDER", u"ORDER_1");
    names.add_fn_map(u"EMP", make_map({{u"DATE", u"DATE_1"}}));
    names.add_fn_map(u"DEPT", make_map({{u"ORDER_1", u"O1"}, {u"LEVEL", u"LEVEL_1"}}));
    const std::u16string sql = u"select DATE, LEVEL from ORDER";
    // DEPT's map comes before EMP's and sees the table pass's result.
    EXPECT_EQ(names.do_global_replace1(sql, u"", u""), u"select DATE_1, LEVEL_1 from O1");
    EXPECT_EQ(names.do_global_replace1(u"", u"", u""), u"");
}

TEST(udb_names_map, long_texts_terminate) {
    std::u16string sql;
    for (int i = 0; i < 5000; ++i) sql += u"ID,IDX,";
    const t_names_map map = make_map({{u"ID", u"ID_ID"}, {u"ID_ID", u"X"}});
    const std::u16string out = udb_names_map::do_global_replace2(sql, map, u"", u"");
    std::u16string expected;
    for (int i = 0; i < 5000; ++i) expected += u"X,IDX,";
    EXPECT_EQ(out, expected);
}

TEST(t_names_map, first_mapping_stays_and_copies_are_independent) {
    t_names_map map;
    map.add(u"Name", u"NAME_1");
    map.add(u"Name", u"NAME_2");
    EXPECT_EQ(map.size(), 1u);
    EXPECT_EQ(map.get_mapped_name(u"Name", true), u"NAME_1");

    t_names_map copy = map;
    copy.add(u"Other", u"O");
    EXPECT_EQ(map.size(), 1u);
    EXPECT_EQ(copy.size(), 2u);
}

TEST(t_names_map, exact_and_case_insensitive_lookups) {
    log_capture log(1);
    const t_names_map map = make_map({{u"Name", u"NAME_1"}, {u"name", u"NAME_2"}});
    EXPECT_EQ(map.get_mapped_name(u"NAME", true), u"NAME");
    // Map order is code-unit order: "Name" < "name", so it wins.
    EXPECT_EQ(map.get_mapped_name(u"NAME", false), u"NAME_1");
    EXPECT_EQ(map.get_mapped_name(u"name", true), u"NAME_2");
    EXPECT_EQ(map.get_mapped_name(u"", false), u"");
    EXPECT_TRUE(log.contains("Got mapped name: NAME_1"));
}

TEST(udb_names_map, table_and_field_lookups) {
    log_capture log(1);
    udb_names_map names;
    names.add_tn_mapping(u"Emp", u"EMP_1");
    names.add_tn_mapping(u"Emp", u"EMP_2");
    EXPECT_EQ(names.get_tn_mapped_name(u"EMP", false), u"EMP_1");
    EXPECT_EQ(names.get_tn_mapped_name(u"EMP", true), u"EMP");
    EXPECT_TRUE(log.contains("Comparing with (Emp,EMP_1)"));

    names.add_fn_map(u"Emp", make_map({{u"Level", u"LEVEL_1"}}));
    names.add_fn_map(u"Emp", make_map({{u"Level", u"LEVEL_2"}}));
    EXPECT_EQ(names.get_fn_mapped_name(u"Emp", u"LEVEL", false), u"LEVEL_1");
    EXPECT_EQ(names.get_fn_mapped_name(u"Emp", u"LEVEL", true), u"LEVEL");
    // The table is looked up exactly.
    EXPECT_EQ(names.get_fn_mapped_name(u"EMP", u"Level", false), u"Level");
    EXPECT_TRUE(log.contains("Table 'EMP' not found"));
    EXPECT_EQ(names.get_fn_mapped_name(u"Dept", u"Level", false), u"Level");
}

}  // namespace

namespace {

// Texts far longer than a trace line still go through the logging calls.
TEST(udb_names_map, huge_texts_with_tracing_on) {
    log_capture log(1);
    const std::u16string name(20000, u'N');
    std::u16string sql = u"select " + name + u" from T where '" + name;
    t_names_map map;
    map.add(name, u"SHORT");
    map.add(u"T", u"T_1");
    const std::u16string out = udb_names_map::do_global_replace2(sql, map, u"\"", u"\"");
    EXPECT_EQ(out, u"select \"SHORT\" from \"T_1\" where '\"SHORT\"");
    EXPECT_TRUE(log.contains("udb_names_map::do_global_replace2(select NNN"));
}

}  // namespace
