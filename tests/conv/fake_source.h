// A source database held in memory, standing in for the Oracle side in the
// converter's tests: tables with schemas, rows of values, and failures on
// request (a table that is a system table, a fetch that fails at a given row,
// a schema read that fails).
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "tk_exception.h"
#include "udb_database.h"
#include "udb_record.h"
#include "udb_recordset.h"

namespace conv_test {

struct fake_table {
    std::u16string name;
    udb_schema schema;
    std::vector<std::vector<ole_variant>> rows;
    udb_indexes indexes;
    // get_table answers no recordset, as for a system or linked table.
    bool system = false;
    // The fetch of this row (0-based) raises a level-0 tk_exception, as an
    // Oracle error while fetching does; -1: never.
    int fail_at_row = -1;
    // Opening the table raises a level-0 tk_exception.
    bool fail_open = false;
    // The record count reported, when not the number of rows (-1).
    int reported_count = -1;
    // Called before each row is fetched, with its 0-based number.
    std::function<void(uint32_t)> on_fetch;
};

// Reads a fake_table the way the Oracle reader does: is_eof fetches the next
// row, get_item hands it out, move_first does nothing.
class fake_recordset : public udb_recordset {
  public:
    explicit fake_recordset(const fake_table& table)
        : udb_recordset(table.name, false), table_(table) {
        schema_ = table.schema;
        for (const udb_index& index : table.indexes) add_index(index);
        set_counter(table.reported_count >= 0 ? uint32_t(table.reported_count)
                                              : uint32_t(table.rows.size()));
    }
    void append_record(const udb_record&) override { throw std::logic_error("read only"); }
    bool is_eof() override {
        if (position_ >= counter()) return true;
        if (table_.on_fetch) table_.on_fetch(position_);
        if (int(position_) == table_.fail_at_row)
            throw tk_exception("ORA-03113: end-of-file on communication channel", 0);
        return false;
    }
    udb_record* get_item() override {
        record_.clear();
        const auto& row = table_.rows.at(position_);
        for (size_t i = 0; i < row.size(); ++i) {
            const t_ftd& ftd = schema_[i];
            record_.emplace_back(ftd.name, int32_t(ftd.size), row[i]);
        }
        return &record_;
    }
    void next() override { ++position_; }

  private:
    const fake_table& table_;
    uint32_t position_ = 0;
    udb_record record_;
};

// Table names compare case-sensitively, as the Oracle catalog's do.
class fake_source : public udb_database {
  public:
    fake_source() : udb_database(u"fake", 1, true) {}

    fake_table& add(fake_table table) {
        const std::u16string name = table.name;
        auto& slot = tables_by_name_[name];
        slot = std::make_unique<fake_table>(std::move(table));
        return *slot;
    }
    fake_table& table(const std::u16string& name) { return *tables_by_name_.at(name); }

    // get_tables raises this (level given) instead of listing.
    void fail_listing(int level) { listing_failure_level_ = level; }
    // get_table raises a std::runtime_error for every table.
    void fail_with_std_exception() { std_failure_ = true; }

    int opened = 0;

    std::unique_ptr<udb_recordset> create_table(const std::u16string&, const udb_schema&,
                                                const udb_indexes&) override {
        throw std::logic_error("read only");
    }
    std::unique_ptr<udb_recordset> get_table(const std::u16string&, const std::u16string&,
                                             int) override {
        return nullptr;
    }
    std::unique_ptr<udb_recordset> get_table(const std::u16string& name, int) override {
        ++opened;
        if (std_failure_) throw std::runtime_error("bad things");
        const fake_table& t = *tables_by_name_.at(name);
        if (t.fail_open) throw tk_exception("ORA-00942: table or view does not exist", 0);
        if (t.system) return nullptr;
        return std::make_unique<fake_recordset>(t);
    }
    bool test_query(const std::u16string&) override { return false; }
    const std::vector<std::u16string>& get_tables() override {
        if (listing_failure_level_ >= 0)
            throw tk_exception("ORA-01012: not logged on", listing_failure_level_);
        tables_.clear();
        for (const auto& entry : tables_by_name_) tables_.push_back(entry.first);
        return tables_;
    }

  private:
    std::map<std::u16string, std::unique_ptr<fake_table>> tables_by_name_;
    int listing_failure_level_ = -1;
    bool std_failure_ = false;
};

}  // namespace conv_test
