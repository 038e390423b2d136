#include "udb_database.h"

#include "tk_exception.h"
#include "tk_logger.h"
#include "tk_string.h"

udb_database::udb_database(std::u16string path, int open_mode, bool case_sensitive)
    : open_mode_(open_mode), path_(std::move(path)), case_sensitive_(case_sensitive) {
    tk_wlog(2, u"udb_database::ctor(%s)", path_);
}

udb_database::~udb_database() {
    tk_log(2, "udb_database::dtor");
}

void udb_database::create_views(const view_list& /*views*/) {
    tk_log(2, "udb_database::create_views");
}

bool udb_database::same_table_name(const std::u16string& a, const std::u16string& b) const {
    return case_sensitive_ ? a == b : tk_equal_nocase(a, b);
}

void udb_database::delete_tab(const std::u16string& name) {
    tk_wlog(2, u"udb_database::delete_tab (%s)", name);
    for (auto it = tables_.begin(); it != tables_.end(); ++it) {
        if (same_table_name(*it, name)) {
            tables_.erase(it);
            return;
        }
    }
    throw TK_MAIL_ASSERTION();
}

void udb_database::query(const std::u16string& statement) {
    tk_wlog(2, u"udb_database::query(%s)", statement);
    tk_log(2, "not implemented");
    throw TK_MAIL_ASSERTION();
}

void udb_database::create_relationships(const udb_relationships& /*relationships*/) {
    tk_log(2, "udb_database::create_relationships");
}

const std::vector<std::u16string>& udb_database::get_tables() {
    tk_log(2, "udb_database::get_tables");
    return tables_;
}

bool udb_database::is_table_exist(const std::u16string& name) const {
    tk_wlog(2, u"udb_database::is_table_exist(%s,case_sensitive=%d)", name,
            static_cast<int>(case_sensitive_));
    for (const std::u16string& table : tables_) {
        tk_wlog(1, u"Compare with %s", table);
        if (same_table_name(table, name)) {
            tk_log(1, "table exists");
            return true;
        }
    }
    tk_log(1, "table not found");
    return false;
}
