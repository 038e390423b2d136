#include "udb_names_map.h"

#include "tk_logger.h"
#include "tk_string.h"

namespace {

// Whether c continues an identifier, so that a name next to it is only part
// of a longer word.  Besides Unicode letters and digits these are the
// characters SQL identifiers may contain ('_', '$', '#'); without them a
// field ID would be replaced inside EMP_ID.  A surrogate unit belongs to a
// supplementary character, which in an identifier is a letter.
bool is_word_char(char16_t c) {
    if (c == u'_' || c == u'$' || c == u'#') return true;
    if (c >= 0xD800 && c <= 0xDFFF) return true;
    return tk_is_alnum(c);
}

}  // namespace

void t_names_map::add(const std::u16string& source_name, const std::u16string& mapped_name) {
    tk_wlog(2, u"t_names_map::add(%s,%s)", source_name, mapped_name);
    entries_.emplace(source_name, mapped_name);
}

std::u16string t_names_map::get_mapped_name(const std::u16string& name, bool exact) const {
    tk_wlog(2, u"t_names_map::get_mapped_name(%s)", name);
    for (const auto& [source, mapped] : entries_) {
        if (exact ? source == name : tk_equal_nocase(source, name)) {
            tk_wlog(1, u"Got mapped name: %s", mapped);
            return mapped;
        }
    }
    return name;
}

void udb_names_map::add_tn_mapping(const std::u16string& source_name,
                                   const std::u16string& mapped_name) {
    tk_wlog(2, u"udb_names_map::add_tn_mapping(%s,%s)", source_name, mapped_name);
    table_map_.add(source_name, mapped_name);
}

std::u16string udb_names_map::get_tn_mapped_name(const std::u16string& table_name,
                                                 bool exact) const {
    tk_wlog(2, u"udb_names_map::get_tn_mapped_name(%s)", table_name);
    for (const auto& [source, mapped] : table_map_) {
        tk_wlog(1, u"Comparing with (%s,%s)", source, mapped);
        if (exact ? source == table_name : tk_equal_nocase(source, table_name)) {
            tk_wlog(1, u"Got mapped name: %s", mapped);
            return mapped;
        }
    }
    return table_name;
}

void udb_names_map::add_fn_map(const std::u16string& table_name, const t_names_map& field_map) {
    tk_wlog(2, u"udb_names_map::add_fn_map(%s)", table_name);
    field_maps_.emplace(table_name, field_map);
}

std::u16string udb_names_map::get_fn_mapped_name(const std::u16string& table_name,
                                                 const std::u16string& field_name,
                                                 bool exact) const {
    tk_wlog(2, u"udb_names_map::get_fn_mapped_name(%s,%s)", table_name, field_name);
    const auto it = field_maps_.find(table_name);
    if (it == field_maps_.end()) {
        tk_wlog(1, u"Table '%s' not found", table_name);
        return field_name;
    }
    return it->second.get_mapped_name(field_name, exact);
}

std::u16string udb_names_map::do_global_replace1(const std::u16string& sql,
                                                 const std::u16string& left_quote,
                                                 const std::u16string& right_quote) const {
    tk_wlog(2, u"udb_names_map::do_global_replace1(%s)", sql);
    std::u16string text = do_global_replace2(sql, table_map_, left_quote, right_quote);
    for (const auto& entry : field_maps_) {
        text = do_global_replace2(text, entry.second, left_quote, right_quote);
    }
    return text;
}

std::u16string udb_names_map::do_global_replace2(const std::u16string& sql, const t_names_map& map,
                                                 const std::u16string& left_quote,
                                                 const std::u16string& right_quote) {
    tk_wlog(2, u"udb_names_map::do_global_replace2(%s)", sql);
    std::u16string text = sql;
    for (const auto& [source, mapped] : map) {
        // An empty name occurs everywhere and nowhere; searching for it
        // would never advance.
        if (source.empty()) continue;
        const std::u16string replacement = left_quote + mapped + right_quote;
        tk_wlog(1, u"Testing pair ('%s','%s')", source, replacement);
        size_t pos = text.find(source);
        while (pos != std::u16string::npos) {
            tk_wlog(1, u"'%s' was found at pos=%d", source, static_cast<int>(pos));
            const size_t end = pos + source.size();
            const bool joined_before = pos > 0 && is_word_char(text[pos - 1]);
            const bool joined_after = end < text.size() && is_word_char(text[end]);
            if (joined_before || joined_after) {
                pos = text.find(source, end);
            } else {
                text.replace(pos, source.size(), replacement);
                pos = text.find(source, pos + replacement.size());
            }
        }
    }
    return text;
}
