// Index lists, relationships, the recordset's index bookkeeping and the
// database's table list.
#include <gtest/gtest.h>

#include "tk_exception.h"
#include "udb_database.h"
#include "udb_test_support.h"

namespace {

enum kind { plain, unique, primary };

udb_index make_index(const char16_t* name, kind k, std::vector<std::u16string> fields) {
    return udb_index(name, k != plain, k == primary, std::move(fields));
}

struct merge_case {
    kind existing;
    kind added;
    bool replaced;  // the entry now holds the added index's flags and columns
    const char* log_line;
};
void PrintTo(const merge_case& c, std::ostream* os) {
    *os << static_cast<int>(c.existing) << "+" << static_cast<int>(c.added);
}

const merge_case kMergeCases[] = {
    {primary, plain, false, "Primary key with the same name exists, skip it."},
    {primary, unique, false, "Primary key with the same name exists, skip it."},
    {primary, primary, false, "Primary key with the same name exists, skip it."},
    {unique, primary, true, "Upgrade existing index to primary key."},
    {plain, primary, true, "Upgrade existing index to primary key."},
    {unique, unique, false, "Unique index with the same name exists, skip it."},
    {unique, plain, false, "Unique index with the same name exists, skip it."},
    {plain, unique, true, "Set unique attribute for existing index."},
    {plain, plain, false, nullptr},
};

class index_merge : public ::testing::TestWithParam<merge_case> {};

TEST_P(index_merge, second_index_of_same_name) {
    const merge_case& c = GetParam();
    log_capture log(2);
    udb_indexes list;
    list.push_back(make_index(u"OTHER", plain, {u"Z"}));
    list.push_back(make_index(u"IDX1", c.existing, {u"A"}));
    // Names are matched without regard to case.
    const udb_index added = make_index(u"idx1", c.added, {u"B", u"C"});
    list.push_back(added);

    ASSERT_EQ(list.size(), 2u);
    const udb_index& entry = list[1];
    const kind expected_kind = c.replaced ? c.added : c.existing;
    EXPECT_EQ(entry.b_primary, expected_kind == primary);
    EXPECT_EQ(entry.b_unique, expected_kind != plain);
    EXPECT_EQ(entry.fields, c.replaced ? added.fields : std::vector<std::u16string>{u"A"});
    EXPECT_EQ(entry.name, c.replaced ? u"idx1" : u"IDX1");
    if (c.log_line != nullptr) {
        EXPECT_TRUE(log.contains(c.log_line)) << log.text();
    }
    EXPECT_TRUE(log.contains("udb_indexes::push_back(idx1)"));
}

INSTANTIATE_TEST_SUITE_P(table, index_merge, ::testing::ValuesIn(kMergeCases));

TEST(udb_indexes, new_names_are_appended_in_order) {
    log_capture log(2);
    udb_indexes list;
    list.push_back(make_index(u"B", plain, {u"X"}));
    list.push_back(make_index(u"A", unique, {u"Y"}));
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].name, u"B");
    EXPECT_EQ(list[1].name, u"A");
    EXPECT_TRUE(log.contains("Index does not exist, add it"));
    EXPECT_THROW(list[2], tk_mail_assertion);
}

TEST(udb_indexes, lookups_by_name_ignore_case) {
    udb_indexes list;
    list.push_back(make_index(u"Emp_PK", primary, {u"ID"}));
    EXPECT_TRUE(list.find2(u"EMP_PK"));
    EXPECT_FALSE(list.find2(u"EMP"));
    EXPECT_FALSE(list.is_acceptable_name(u"emp_pk"));
    EXPECT_TRUE(list.is_acceptable_name(u"emp_pk2"));
    EXPECT_EQ(list.get_index(u"emp_PK").fields, std::vector<std::u16string>{u"ID"});
    EXPECT_THROW(list.get_index(u"missing"), tk_mail_assertion);
    EXPECT_THROW(udb_indexes().get_index(u""), tk_mail_assertion);
}

TEST(udb_indexes, is_idx_field_compares_exactly_and_can_limit_to_primary_keys) {
    log_capture log(1);
    udb_indexes list;
    list.push_back(make_index(u"PK", primary, {u"ID"}));
    list.push_back(make_index(u"UK", unique, {u"CODE", u"REGION"}));
    EXPECT_TRUE(list.is_idx_field(u"REGION", false));
    EXPECT_FALSE(list.is_idx_field(u"region", false));
    EXPECT_FALSE(list.is_idx_field(u"REGION", true));
    EXPECT_TRUE(list.is_idx_field(u"ID", true));
    EXPECT_TRUE(log.contains("udb_indexes::is_idx_field(ID)"));
    EXPECT_TRUE(log.contains("index field"));
    EXPECT_TRUE(log.contains("non-index field"));
}

TEST(udb_index, starts_with_fields_is_a_case_insensitive_prefix_test) {
    const udb_index index = make_index(u"I", plain, {u"A", u"B", u"C"});
    EXPECT_TRUE(index.starts_with_fields({}));
    EXPECT_TRUE(index.starts_with_fields({u"a"}));
    EXPECT_TRUE(index.starts_with_fields({u"A", u"b", u"C"}));
    EXPECT_FALSE(index.starts_with_fields({u"B"}));
    EXPECT_FALSE(index.starts_with_fields({u"A", u"C"}));
    EXPECT_FALSE(index.starts_with_fields({u"A", u"B", u"C", u"D"}));
}

TEST(udb_index, consists_of_fields_needs_same_columns_in_any_order_and_exact_case) {
    log_capture log(1);
    const udb_index index = make_index(u"I", plain, {u"A", u"B"});
    EXPECT_TRUE(index.consists_of_fields({u"B", u"A"}));
    EXPECT_FALSE(index.consists_of_fields({u"A"}));
    EXPECT_FALSE(index.consists_of_fields({u"A", u"B", u"C"}));
    EXPECT_FALSE(index.consists_of_fields({u"a", u"B"}));
    EXPECT_TRUE(log.contains("Field 'a' not found"));
    EXPECT_TRUE(make_index(u"E", plain, {}).consists_of_fields({}));

    udb_indexes list;
    list.push_back(index);
    EXPECT_TRUE(list.has_index_on_fields({u"B", u"A"}));
    EXPECT_FALSE(list.has_index_on_fields({u"B"}));
}

TEST(udb_relationships, lookup_by_name_and_acceptable_names) {
    udb_relationships list;
    udb_relationship fk;
    fk.name = u"FK_EMP_DEPT";
    fk.from_table = u"EMP";
    fk.from_fields = {u"DEPTNO"};
    fk.to_table = u"DEPT";
    fk.to_fields = {u"DEPTNO"};
    fk.delete_rule = u"ON DELETE CASCADE";
    list.push_back(fk);

    EXPECT_FALSE(list.is_acceptable_name(u"fk_emp_dept"));
    EXPECT_TRUE(list.is_acceptable_name(u"FK_OTHER"));
    // The reader appends further columns to a key it already holds.
    list.get_index(u"Fk_Emp_Dept").from_fields.push_back(u"LOC");
    const udb_relationships& const_list = list;
    EXPECT_EQ(const_list.get_index(u"FK_EMP_DEPT").from_fields.size(), 2u);
    EXPECT_THROW(list.get_index(u"FK_MISSING"), tk_mail_assertion);
}

// A recordset with nothing but the base behaviour.
class bare_recordset : public udb_recordset {
  public:
    bare_recordset() : udb_recordset(u"T", false) {}
    void append_record(const udb_record&) override {}
};

TEST(udb_recordset, add_index_remembers_first_primary_or_unique_index) {
    log_capture log(1);
    bare_recordset rs;
    EXPECT_EQ(rs.primary_index(), nullptr);
    rs.add_index(make_index(u"PLAIN", plain, {u"A"}));
    EXPECT_EQ(rs.primary_index_pos(), -1);
    rs.add_index(make_index(u"UK", unique, {u"B"}));
    EXPECT_EQ(rs.primary_index_pos(), 1);
    EXPECT_TRUE(log.contains("Store primary/unique key"));
    rs.add_index(make_index(u"PK", primary, {u"C"}));
    EXPECT_EQ(rs.primary_index_pos(), 1);
    ASSERT_NE(rs.primary_index(), nullptr);
    EXPECT_EQ(rs.primary_index()->name, u"UK");
    EXPECT_EQ(rs.indexes().size(), 3u);
}

TEST(udb_recordset, add_index_of_existing_name_changes_nothing) {
    bare_recordset rs;
    rs.add_index(make_index(u"IDX", plain, {u"A"}));
    // Not even a primary key replaces it (push_back would have upgraded it).
    rs.add_index(make_index(u"idx", primary, {u"B"}));
    ASSERT_EQ(rs.indexes().size(), 1u);
    EXPECT_FALSE(rs.indexes()[0].b_primary);
    EXPECT_EQ(rs.indexes()[0].fields, std::vector<std::u16string>{u"A"});
    EXPECT_EQ(rs.primary_index_pos(), -1);
}

// A database whose table list the test fills.
class list_database : public udb_database {
  public:
    list_database(bool case_sensitive, std::vector<std::u16string> names)
        : udb_database(u"/data/src", 4, case_sensitive) {
        tables_ = std::move(names);
    }
    std::unique_ptr<udb_recordset> create_table(const std::u16string&, const udb_schema&,
                                                const udb_indexes&) override {
        return nullptr;
    }
    std::unique_ptr<udb_recordset> get_table(const std::u16string&, const std::u16string&,
                                             int) override {
        return nullptr;
    }
    std::unique_ptr<udb_recordset> get_table(const std::u16string&, int) override {
        return nullptr;
    }
    bool test_query(const std::u16string&) override { return false; }
};

TEST(udb_database, is_table_exist_with_and_without_case_sensitivity) {
    log_capture log(1);
    const list_database insensitive(false, {u"dept", u"emp"});
    const list_database sensitive(true, {u"dept", u"emp"});
    EXPECT_TRUE(insensitive.is_table_exist(u"Emp"));
    EXPECT_FALSE(sensitive.is_table_exist(u"Emp"));
    EXPECT_TRUE(sensitive.is_table_exist(u"emp"));
    EXPECT_FALSE(insensitive.is_table_exist(u"em"));
    EXPECT_FALSE(insensitive.is_table_exist(u""));
    EXPECT_TRUE(log.contains("udb_database::is_table_exist(Emp,case_sensitive=0)"));
    EXPECT_TRUE(log.contains("Compare with dept"));
    EXPECT_TRUE(log.contains("table exists"));
    EXPECT_TRUE(log.contains("table not found"));
}

TEST(udb_database, delete_tab_removes_first_match_only) {
    list_database db(false, {u"a", u"B", u"b"});
    db.delete_tab(u"b");
    EXPECT_EQ(db.get_tables(), (std::vector<std::u16string>{u"a", u"b"}));
    db.delete_tab(u"B");
    db.delete_tab(u"A");
    EXPECT_TRUE(db.get_tables().empty());
    EXPECT_THROW(db.delete_tab(u"a"), tk_mail_assertion);

    EXPECT_THROW(db.query(u"delete from a"), tk_mail_assertion);

    list_database sensitive(true, {u"emp"});
    EXPECT_THROW(sensitive.delete_tab(u"EMP"), tk_mail_assertion);
    EXPECT_EQ(sensitive.get_tables().size(), 1u);
}

}  // namespace
