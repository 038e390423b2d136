// Ownership and lifetimes: records own their fields, recordsets own the
// records they hand out, schemas own their descriptors, and callers own the
// recordsets a database opens.  Small storage doubles count the objects alive
// so that every test can check that nothing leaks; the sanitizer run catches
// double frees and uses after free.
#include <gtest/gtest.h>

#include <utility>

#include "tk_exception.h"
#include "udb_database.h"
#include "udb_test_support.h"

namespace {

int g_fields_alive = 0;
int g_records_alive = 0;
int g_recordsets_alive = 0;

class counted_field : public udb_field {
  public:
    counted_field(std::u16string name, const ole_variant& value)
        : udb_field(std::move(name), 10, value) {
        ++g_fields_alive;
    }
    counted_field(const counted_field& other) : udb_field(other) { ++g_fields_alive; }
    ~counted_field() override { --g_fields_alive; }
};

class counted_record : public udb_record {
  public:
    counted_record() { ++g_records_alive; }
    ~counted_record() override { --g_records_alive; }
};

// A table of n rows held in memory; get_item builds the current row and keeps
// it until the cursor moves, as the storages do.
class memory_recordset : public udb_recordset {
  public:
    memory_recordset(std::u16string name, const udb_schema& schema, int rows)
        : udb_recordset(std::move(name), true), rows_(rows) {
        schema_ = schema;
        set_counter(static_cast<uint32_t>(rows));
        ++g_recordsets_alive;
    }
    ~memory_recordset() override { --g_recordsets_alive; }

    void append_record(const udb_record& record) override {
        TK_ASSERT(record.size() == schema_.size());
        appended_.emplace_back();
        for (const udb_field& f : record) appended_.back().emplace_back<udb_field>(f);
    }
    udb_record* get_item() override {
        if (is_eof()) return nullptr;
        auto record = std::make_unique<counted_record>();
        for (const t_ftd& ftd : schema_) {
            record->emplace_back<counted_field>(ftd.name, ole_variant(position_));
        }
        current_ = std::move(record);
        return current_.get();
    }
    bool is_eof() override { return position_ >= rows_; }
    void next() override {
        current_.reset();
        ++position_;
    }
    void move_first() override {
        current_.reset();
        position_ = 0;
    }

    const std::vector<udb_record>& appended() const { return appended_; }

  private:
    int rows_;
    int position_ = 0;
    std::unique_ptr<udb_record> current_;
    std::vector<udb_record> appended_;
};

class memory_database : public udb_database {
  public:
    memory_database() : udb_database(u"mem", 8) {}
    using udb_database::get_table;

    std::unique_ptr<udb_recordset> create_table(const std::u16string& name,
                                                const udb_schema& schema,
                                                const udb_indexes& indexes) override {
        TK_ASSERT(!is_table_exist(name));
        tables_.push_back(name);
        schemas_.emplace_back(name, schema);
        auto rs = std::make_unique<memory_recordset>(name, schema, 0);
        for (const udb_index& index : indexes) rs->add_index(index);
        return rs;
    }
    std::unique_ptr<udb_recordset> get_table(const std::u16string& name, const std::u16string&,
                                             int) override {
        return get_table(name, 0);
    }
    std::unique_ptr<udb_recordset> get_table(const std::u16string& name, int) override {
        for (const auto& [table, schema] : schemas_) {
            if (same_table_name(table, name)) {
                return std::make_unique<memory_recordset>(table, schema, 3);
            }
        }
        throw TK_MAIL_ASSERTION();
    }
    bool test_query(const std::u16string&) override { return false; }

  private:
    std::vector<std::pair<std::u16string, udb_schema>> schemas_;
};

class ownership : public ::testing::Test {
  protected:
    void TearDown() override {
        EXPECT_EQ(g_fields_alive, 0);
        EXPECT_EQ(g_records_alive, 0);
        EXPECT_EQ(g_recordsets_alive, 0);
    }

    static udb_schema two_columns() {
        udb_schema schema(true);
        schema.emplace_back(10, u"ID", VT_I4, true);
        schema.emplace_back(30, u"NAME", VT_BSTR, false, false, ole_variant(u"none"));
        return schema;
    }
};

TEST_F(ownership, conversion_loop_copies_rows_between_recordsets) {
    auto db = std::make_unique<memory_database>();
    {
        udb_indexes indexes;
        indexes.push_back(udb_index(u"PK", true, true, {u"ID"}));
        auto created = db->create_table(u"SRC", two_columns(), indexes);
        EXPECT_EQ(created->primary_index_pos(), 0);
    }
    auto source = db->get_table(u"src", 0);
    auto dest = std::make_unique<memory_recordset>(u"DEST", source->schema(), 0);
    ASSERT_TRUE(source->schema().conform_to(dest->schema()));

    int copied = 0;
    for (source->move_first(); !source->is_eof(); source->next()) {
        udb_record* row = source->get_item();
        ASSERT_NE(row, nullptr);
        // Asking twice replaces the held record; the old one is destroyed.
        row = source->get_item();
        dest->append_record(*row);
        ++copied;
    }
    EXPECT_EQ(copied, 3);
    EXPECT_EQ(source->get_item(), nullptr);
    ASSERT_EQ(dest->appended().size(), 3u);
    EXPECT_EQ(dest->appended()[2][0].to_long(), 2);
    EXPECT_EQ(dest->appended()[2][1].name(), u"NAME");

    // The database goes first, then the recordsets it opened.
    db.reset();
    source.reset();
    dest.reset();
}

TEST_F(ownership, record_handed_out_dies_with_its_recordset) {
    memory_database db;
    db.create_table(u"T", two_columns(), udb_indexes());
    auto rs = db.get_table(u"T", 0);
    rs->move_first();
    ASSERT_NE(rs->get_item(), nullptr);
    EXPECT_EQ(g_records_alive, 1);
    EXPECT_EQ(g_fields_alive, 2);
    rs.reset();
    EXPECT_EQ(g_records_alive, 0);
    EXPECT_EQ(g_fields_alive, 0);
}

TEST_F(ownership, fields_kept_by_copy_outlive_the_record) {
    udb_field kept(u"X", 1, ole_variant());
    {
        memory_database db;
        db.create_table(u"T", two_columns(), udb_indexes());
        auto rs = db.get_table(u"T", 0);
        kept = rs->get_item()->back();
    }
    EXPECT_EQ(kept.name(), u"NAME");
    EXPECT_EQ(kept.to_long(), 0);
    EXPECT_EQ(kept.get_type(), VT_I4);
}

TEST_F(ownership, records_move_release_erase_and_clear) {
    auto record = std::make_unique<counted_record>();
    record->emplace_back<counted_field>(u"A", ole_variant(1));
    record->emplace_back<counted_field>(u"B", ole_variant(u"text"));
    record->push_back(std::make_unique<counted_field>(u"C", ole_variant(2.5)));
    EXPECT_EQ(g_fields_alive, 3);
    EXPECT_EQ(record->find(u"b")->to_wstring(), u"text");
    EXPECT_EQ(record->find(u"D"), nullptr);

    std::unique_ptr<udb_field> taken = record->release(0);
    EXPECT_EQ(record->size(), 2u);
    record->erase(1);
    EXPECT_EQ(g_fields_alive, 2);
    EXPECT_THROW(record->erase(5), tk_mail_assertion);

    udb_record moved(std::move(*record));
    record.reset();  // the moved-from record destroys nothing twice
    EXPECT_EQ(g_fields_alive, 2);
    moved.clear();
    EXPECT_EQ(g_fields_alive, 1);
    taken.reset();
    EXPECT_EQ(g_fields_alive, 0);
    EXPECT_THROW(moved.push_back(std::unique_ptr<udb_field>()), tk_mail_assertion);
}

TEST_F(ownership, schema_copies_outlive_their_originals) {
    auto original = std::make_unique<udb_schema>(two_columns());
    udb_schema copy = *original;
    udb_schema moved = std::move(*original);
    original.reset();
    ASSERT_EQ(copy.size(), 2u);
    ASSERT_EQ(moved.size(), 2u);
    EXPECT_EQ(copy[1].default_value.to_wstring(), u"none");
    EXPECT_EQ(moved[1].name, u"NAME");
    copy = moved;
    moved.clear();
    EXPECT_EQ(copy.find_field(u"name").size, 30u);
}

TEST_F(ownership, recordsets_destroyed_through_base_pointer_in_any_order) {
    std::vector<std::unique_ptr<udb_recordset>> open;
    memory_database db;
    db.create_table(u"A", two_columns(), udb_indexes());
    for (int i = 0; i < 4; ++i) {
        open.push_back(db.get_table(u"A", 0));
        open.back()->get_item();
    }
    EXPECT_EQ(g_recordsets_alive, 4);
    open.erase(open.begin() + 1);
    open.erase(open.begin() + 2);
    open.front().reset();
    open.clear();
    EXPECT_EQ(g_recordsets_alive, 0);
}

TEST_F(ownership, database_list_changes_through_base_operations) {
    memory_database db;
    db.create_table(u"Emp", two_columns(), udb_indexes());
    EXPECT_THROW(db.create_table(u"EMP", two_columns(), udb_indexes()), tk_mail_assertion);
    EXPECT_TRUE(db.is_table_exist(u"emp"));
    db.delete_tab(u"EMP");
    EXPECT_FALSE(db.is_table_exist(u"emp"));
    EXPECT_TRUE(db.get_tables().empty());
}

}  // namespace
