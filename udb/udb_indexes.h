// Indexes and foreign-key relationships of a table.
//
// A recordset carries its table's index list (udb_indexes) so that a
// destination that supports indexes can recreate them; a database carries the
// foreign keys (udb_relationships) that its tables' readers found.  Both lists
// hold plain values in the order added.  Name comparisons ignore case
// (Unicode case folding).  Not thread-safe.
#pragma once

#include <string>
#include <vector>

// One index: its name, flags and indexed columns in order.
struct udb_index {
    udb_index() = default;
    udb_index(std::u16string index_name, bool unique, bool primary,
              std::vector<std::u16string> columns = {})
        : name(std::move(index_name)),
          b_unique(unique),
          b_primary(primary),
          fields(std::move(columns)) {}

    // Whether the listed names are the index's first columns, position by
    // position, compared without regard to case.  False when the list is
    // longer than the index; an empty list gives true.  Logs
    // "udb_index(%s)::starts_with_fields" and the outcome.
    bool starts_with_fields(const std::vector<std::u16string>& names) const;
    // Whether the index consists of exactly the listed columns in any order:
    // the same number, and each listed name among the columns, compared
    // exactly (case matters).  Logs "udb_index(%s)::consists_of_fields".
    bool consists_of_fields(const std::vector<std::u16string>& names) const;

    std::u16string name;
    bool b_unique = false;
    bool b_primary = false;
    std::vector<std::u16string> fields;
};

// The indexes of one table, in the order added; at most one per name.
class udb_indexes {
  public:
    using const_iterator = std::vector<udb_index>::const_iterator;

    udb_indexes() = default;
    virtual ~udb_indexes();
    udb_indexes(const udb_indexes&) = default;
    udb_indexes& operator=(const udb_indexes&) = default;
    udb_indexes(udb_indexes&&) noexcept = default;
    udb_indexes& operator=(udb_indexes&&) noexcept = default;

    size_t size() const noexcept { return items_.size(); }
    bool empty() const noexcept { return items_.empty(); }
    // REQUIRES: i < size() (otherwise tk_mail_assertion).
    const udb_index& operator[](size_t i) const;
    const_iterator begin() const noexcept { return items_.begin(); }
    const_iterator end() const noexcept { return items_.end(); }

    // Adds the index, or merges it into an index of the same name:
    // a new name is appended; an existing primary key stays; a new primary
    // key replaces the existing entry; an existing unique index stays; a new
    // unique index replaces the existing entry; otherwise nothing changes.
    // Logs "udb_indexes::push_back(%s)" and the case taken (level 2).
    void push_back(const udb_index& index);
    // The index of that name.  Logs "udb_indexes::get_index(%s)".
    // REQUIRES: the name exists (otherwise tk_mail_assertion).
    const udb_index& get_index(const std::u16string& name) const;
    // Whether an index of that name exists.  Logs "udb_indexes::find2".
    bool find2(const std::u16string& name) const;
    // Whether no index has that name.  Logs "udb_indexes::is_acceptable_name(%s)".
    bool is_acceptable_name(const std::u16string& name) const;
    // Whether any index (with primary_only, any primary-key index) has a
    // column equal to name, compared exactly.  Logs
    // "udb_indexes::is_idx_field(%s)" and "index field" / "non-index field".
    bool is_idx_field(const std::u16string& name, bool primary_only) const;
    // Whether some index consists of exactly these columns (consists_of_fields).
    // Logs "udb_indexes::has_index_on_fields".
    bool has_index_on_fields(const std::vector<std::u16string>& names) const;

  private:
    // Position of the index of that name, or -1.
    int find_pos(const std::u16string& name) const;

    std::vector<udb_index> items_;
};

// One foreign key: the referencing table and columns and the referenced
// table and columns, with the key's rules as the source database states them.
struct udb_relationship {
    std::u16string name;
    // The table holding the foreign key and its columns in key order.
    std::u16string from_table;
    std::vector<std::u16string> from_fields;
    // The referenced table and its key columns.
    std::u16string to_table;
    std::vector<std::u16string> to_fields;
    // "ON DELETE <rule>" or empty.
    std::u16string delete_rule;
    // The update rule in the same form, or empty.
    std::u16string update_rule;
};

// The foreign keys of a database, in the order added.
class udb_relationships {
  public:
    using iterator = std::vector<udb_relationship>::iterator;
    using const_iterator = std::vector<udb_relationship>::const_iterator;

    udb_relationships() = default;
    virtual ~udb_relationships();
    udb_relationships(const udb_relationships&) = default;
    udb_relationships& operator=(const udb_relationships&) = default;
    udb_relationships(udb_relationships&&) noexcept = default;
    udb_relationships& operator=(udb_relationships&&) noexcept = default;

    size_t size() const noexcept { return items_.size(); }
    bool empty() const noexcept { return items_.empty(); }
    iterator begin() noexcept { return items_.begin(); }
    iterator end() noexcept { return items_.end(); }
    const_iterator begin() const noexcept { return items_.begin(); }
    const_iterator end() const noexcept { return items_.end(); }
    void clear() noexcept { items_.clear(); }

    // Appends the relationship (the caller checks the name with
    // is_acceptable_name first when duplicates matter).
    void push_back(udb_relationship relationship) { items_.push_back(std::move(relationship)); }
    // The relationship of that name.  Logs "udb_relationships::get_index(%s)".
    // REQUIRES: the name exists (otherwise tk_mail_assertion).
    udb_relationship& get_index(const std::u16string& name);
    const udb_relationship& get_index(const std::u16string& name) const;
    // Whether no relationship has that name.  Logs
    // "udb_relationships::is_acceptable_name(%s)".
    bool is_acceptable_name(const std::u16string& name) const;

  private:
    int find_pos(const std::u16string& name) const;

    std::vector<udb_relationship> items_;
};
