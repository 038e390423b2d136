// Names maps: the renamings of tables and fields made while tables are
// created in a storage with other naming rules.
//
// t_names_map maps source names to the names given in the target;
// udb_names_map holds one map for table names and one field map per table,
// answers what a table or field is called now, and rewrites SQL texts (view
// definitions) to use the new names.  Every database object owns one.  Both
// classes are values: copying copies every entry.  Not thread-safe.
#pragma once

#include <map>
#include <string>

class t_names_map {
  public:
    using map_type = std::map<std::u16string, std::u16string>;
    using const_iterator = map_type::const_iterator;

    // Inserts the pair; when the source name is already present the earlier
    // mapping stays.  Logs "t_names_map::add(%s,%s)".
    void add(const std::u16string& source_name, const std::u16string& mapped_name);
    // The mapped name of the first entry (in source-name code-unit order) that
    // matches name, or name itself.  exact: same code units; otherwise equal
    // without regard to case.  Logs "t_names_map::get_mapped_name(%s)" and
    // "Got mapped name: %s" on success.
    std::u16string get_mapped_name(const std::u16string& name, bool exact) const;

    size_t size() const noexcept { return entries_.size(); }
    bool empty() const noexcept { return entries_.empty(); }
    const_iterator begin() const noexcept { return entries_.begin(); }
    const_iterator end() const noexcept { return entries_.end(); }
    const map_type& entries() const noexcept { return entries_; }

  private:
    map_type entries_;
};

class udb_names_map {
  public:
    // Source table name (exact, code-unit order) -> that table's field map.
    using field_maps_type = std::map<std::u16string, t_names_map>;

    // Adds a table renaming (the earlier one stays).  Logs
    // "udb_names_map::add_tn_mapping(%s,%s)" (level 2).
    void add_tn_mapping(const std::u16string& source_name, const std::u16string& mapped_name);
    // What the table is called now (t_names_map::get_mapped_name rules).
    // Logs "udb_names_map::get_tn_mapped_name(%s)" and "Comparing with (%s,%s)"
    // per entry compared.
    std::u16string get_tn_mapped_name(const std::u16string& table_name, bool exact) const;
    // Stores a copy of a table's field map; an existing entry for that table
    // stays.  Logs "udb_names_map::add_fn_map(%s)" (level 2).
    void add_fn_map(const std::u16string& table_name, const t_names_map& field_map);
    // What the field of the table (looked up exactly) is called now; the field
    // name itself when the table has no field map or the field no entry.  Logs
    // "udb_names_map::get_fn_mapped_name(%s,%s)".
    std::u16string get_fn_mapped_name(const std::u16string& table_name,
                                      const std::u16string& field_name, bool exact) const;

    // Rewrites sql with the table map, then with each table's field map in
    // table-name order, each pass working on the previous result.  Logs
    // "udb_names_map::do_global_replace1(%s)" (level 2).
    std::u16string do_global_replace1(const std::u16string& sql, const std::u16string& left_quote,
                                      const std::u16string& right_quote) const;
    // For each entry of the map in order, replaces every whole-word occurrence
    // of the source name (case-sensitive) with left_quote + mapped name +
    // right_quote.  An occurrence is part of a longer word when a neighbouring
    // character is a letter, a digit or one of the identifier characters
    // '_', '$', '#'; such occurrences stay.  Scanning resumes after each
    // inserted replacement, so a replacement that contains its source name
    // is not replaced again by the same entry (a later entry may replace it).
    // Empty source names are skipped.  Always terminates.
    // Logs "udb_names_map::do_global_replace2(%s)".
    static std::u16string do_global_replace2(const std::u16string& sql, const t_names_map& map,
                                             const std::u16string& left_quote,
                                             const std::u16string& right_quote);

    const t_names_map& table_map() const noexcept { return table_map_; }
    const field_maps_type& field_maps() const noexcept { return field_maps_; }

  private:
    t_names_map table_map_;
    field_maps_type field_maps_;
};
