#include "udb_indexes.h"

#include <algorithm>

#include "tk_exception.h"
#include "tk_logger.h"
#include "tk_string.h"

bool udb_index::starts_with_fields(const std::vector<std::u16string>& names) const {
    tk_wlog(2, u"udb_index(%s)::starts_with_fields", name);
    if (names.size() > fields.size()) return false;
    for (size_t i = 0; i < names.size(); ++i) {
        if (!tk_equal_nocase(names[i], fields[i])) {
            tk_wlog(1, u"Field '%s' not found", names[i]);
            return false;
        }
    }
    tk_log(1, "starts_with_fields returns true");
    return true;
}

bool udb_index::consists_of_fields(const std::vector<std::u16string>& names) const {
    tk_wlog(2, u"udb_index(%s)::consists_of_fields", name);
    if (names.size() != fields.size()) return false;
    for (const std::u16string& n : names) {
        if (std::find(fields.begin(), fields.end(), n) == fields.end()) {
            tk_wlog(1, u"Field '%s' not found", n);
            return false;
        }
    }
    tk_log(1, "consists_of_fields returns true");
    return true;
}

udb_indexes::~udb_indexes() = default;

const udb_index& udb_indexes::operator[](size_t i) const {
    TK_ASSERT(i < items_.size());
    return items_[i];
}

int udb_indexes::find_pos(const std::u16string& name) const {
    for (size_t i = 0; i < items_.size(); ++i) {
        if (tk_equal_nocase(items_[i].name, name)) return static_cast<int>(i);
    }
    return -1;
}

void udb_indexes::push_back(const udb_index& index) {
    tk_wlog(2, u"udb_indexes::push_back(%s)", index.name);
    const int pos = find_pos(index.name);
    if (pos < 0) {
        tk_log(2, "Index does not exist, add it");
        items_.push_back(index);
        return;
    }
    udb_index& existing = items_[static_cast<size_t>(pos)];
    if (existing.b_primary) {
        tk_log(2, "Primary key with the same name exists, skip it.");
    } else if (index.b_primary) {
        tk_log(2, "Upgrade existing index to primary key.");
        existing = index;
    } else if (existing.b_unique) {
        tk_log(2, "Unique index with the same name exists, skip it.");
    } else if (index.b_unique) {
        tk_log(2, "Set unique attribute for existing index.");
        existing = index;
    }
}

const udb_index& udb_indexes::get_index(const std::u16string& name) const {
    tk_wlog(2, u"udb_indexes::get_index(%s)", name);
    const int pos = find_pos(name);
    TK_ASSERT(pos >= 0);
    return items_[static_cast<size_t>(pos)];
}

bool udb_indexes::find2(const std::u16string& name) const {
    tk_log(2, "udb_indexes::find2");
    return find_pos(name) >= 0;
}

bool udb_indexes::is_acceptable_name(const std::u16string& name) const {
    tk_wlog(2, u"udb_indexes::is_acceptable_name(%s)", name);
    return find_pos(name) < 0;
}

bool udb_indexes::is_idx_field(const std::u16string& name, bool primary_only) const {
    tk_wlog(2, u"udb_indexes::is_idx_field(%s)", name);
    for (const udb_index& index : items_) {
        if (primary_only && !index.b_primary) continue;
        if (std::find(index.fields.begin(), index.fields.end(), name) != index.fields.end()) {
            tk_log(1, "index field");
            return true;
        }
    }
    tk_log(1, "non-index field");
    return false;
}

bool udb_indexes::has_index_on_fields(const std::vector<std::u16string>& names) const {
    tk_log(2, "udb_indexes::has_index_on_fields");
    return std::any_of(items_.begin(), items_.end(),
                       [&](const udb_index& index) { return index.consists_of_fields(names); });
}

udb_relationships::~udb_relationships() = default;

int udb_relationships::find_pos(const std::u16string& name) const {
    for (size_t i = 0; i < items_.size(); ++i) {
        if (tk_equal_nocase(items_[i].name, name)) return static_cast<int>(i);
    }
    return -1;
}

udb_relationship& udb_relationships::get_index(const std::u16string& name) {
    tk_wlog(2, u"udb_relationships::get_index(%s)", name);
    const int pos = find_pos(name);
    TK_ASSERT(pos >= 0);
    return items_[static_cast<size_t>(pos)];
}

const udb_relationship& udb_relationships::get_index(const std::u16string& name) const {
    return const_cast<udb_relationships*>(this)->get_index(name);
}

bool udb_relationships::is_acceptable_name(const std::u16string& name) const {
    tk_wlog(2, u"udb_relationships::is_acceptable_name(%s)", name);
    return find_pos(name) < 0;
}
