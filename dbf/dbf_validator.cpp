#include "dbf_validator.h"

#include "tk_exception.h"
#include "tk_logger.h"
#include "tk_string.h"
#include "udb_schema.h"

namespace {
bool is_name_char(char16_t c) {
    return tk_is_alnum(c) || c == u'_' || c == u'-';
}
}  // namespace

dbf_validator::dbf_validator(uint32_t max_length) : udb_validator(0), dbf_max_length_(max_length) {
    tk_log(1, "dbf_validator::ctor");
}

bool dbf_validator::dbf_rules(const std::u16string& name) const {
    if (dbf_max_length_ != 0 && name.size() > dbf_max_length_) {
        tk_log(1, ">>> not acceptable (too long)!");
        return false;
    }
    for (char16_t c : name) {
        if (!is_name_char(c)) {
            tk_log(1, ">>> not acceptable (illegal symbol)!");
            return false;
        }
    }
    tk_log(1, ">>> acceptable!");
    return true;
}

bool dbf_validator::is_acceptable(const std::u16string& name) const {
    tk_wlog(2, u"dbf_validator::is_acceptable(%s)", name);
    return dbf_rules(name);
}

std::u16string dbf_validator::get_safe_name(const std::u16string& name) const {
    tk_wlog(2, u"dbf_validator::get_safe_name(%s)", name);
    std::u16string safe = name;
    if (safe.empty() || !tk_is_alpha(safe[0])) safe.insert(safe.begin(), u'A');
    if (dbf_max_length_ != 0 && safe.size() > dbf_max_length_) safe.resize(dbf_max_length_);
    for (char16_t& c : safe)
        if (!is_name_char(c)) c = u'_';
    if (is_acceptable(safe) && !is_duplicated(safe)) return safe;
    if (dbf_max_length_ != 0 && safe.size() > dbf_max_length_ - 3)
        safe.resize(dbf_max_length_ >= 3 ? dbf_max_length_ - 3 : 0);
    for (int i = 0; i < 1000; ++i) {
        char digits[4];
        std::snprintf(digits, sizeof digits, "%03d", i);
        std::u16string candidate = safe + std::u16string(digits, digits + 3);
        if (is_acceptable(candidate) && !is_duplicated(candidate)) return candidate;
    }
    throw TK_MAIL_ASSERTION();
}

dbf_fn_validator::dbf_fn_validator(const udb_schema& schema) : dbf_validator(10) {
    for (const t_ftd& ftd : schema) {
        tk_wlog(1, u"udb_validator::add_existing_name(%s)", ftd.name);
        add_existing_name(ftd.name);
    }
    tk_log(1, "dbf_fn_validator::ctor");
}

bool dbf_fn_validator::is_acceptable(const std::u16string& name) const {
    tk_wlog(1, u"dbf_fn_validator::is_acceptable(%s)", name);
    return dbf_validator::is_acceptable(name) && !name.empty() &&
           !(name[0] >= u'0' && name[0] <= u'9');
}

dbf_tn_validator::dbf_tn_validator(const std::vector<std::u16string>& tables_to_convert,
                                   const std::vector<std::u16string>& existing_tables)
    : dbf_validator(0) {
    for (const auto* list : {&tables_to_convert, &existing_tables}) {
        for (const auto& name : *list) {
            tk_wlog(1, u"udb_validator::add_existing_name(%s)", name);
            add_existing_name(name);
        }
    }
    tk_log(2, "dbf_tn_validator::ctor");
}
