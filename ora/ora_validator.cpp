#include "ora_validator.h"

#include "tk_logger.h"
#include "tk_string.h"

namespace {
constexpr uint32_t kOracleNameLength = 30;
}

ora_validator::ora_validator() : udb_validator(kOracleNameLength) {
    tk_log(2, "ora_validator::ctor");
}

bool ora_validator::is_name_char(char16_t c) {
    return tk_is_alnum(c) || c == u'_' || c == u'$' || c == u'#';
}

bool ora_validator::is_acceptable(const std::u16string& name) const {
    tk_wlog(2, u"ora_validator::is_acceptable(%s)", name);
    if (name.empty() || name.size() > kOracleNameLength || !tk_is_alpha(name[0])) return false;
    for (const char16_t c : name) {
        if (!is_name_char(c)) {
            tk_wlog(2, u"Name contains invalid symbol: '%c'", static_cast<int>(c));
            return false;
        }
    }
    for (const std::u16string& word : restricted_names()) {
        if (tk_equal_nocase(name, word)) return false;
    }
    return true;
}

std::u16string ora_validator::get_safe_name(const std::u16string& name) const {
    tk_wlog(2, u"ora_validator::get_safe_name(%s)", name);
    std::u16string safe = name;
    if (safe.empty() || !tk_is_alpha(safe[0])) safe = u"A" + safe;
    if (safe.size() > kOracleNameLength) safe.resize(kOracleNameLength - 1);
    for (char16_t& c : safe) {
        if (!is_name_char(c)) c = u'_';
    }
    return udb_validator::get_safe_name(safe);
}

ora_fn_validator::ora_fn_validator(const udb_schema& schema) {
    tk_log(2, "ora_fn_validator::ctor1");
    for (const t_ftd& ftd : schema) {
        tk_wlog(2, u"udb_validator::add_existing_name(%s)", ftd.name);
        add_existing_name(ftd.name);
    }
}

ora_fn_validator::ora_fn_validator(const udb_record& fields) {
    tk_log(2, "ora_fn_validator::ctor2");
    for (const udb_field& field : fields) {
        tk_wlog(2, u"udb_validator::add_existing_name(%s)", field.name());
        add_existing_name(field.name());
    }
}

ora_tn_validator::ora_tn_validator(const std::vector<std::u16string>& names,
                                   const std::vector<std::u16string>& more_names) {
    tk_log(2, "ora_tn_validator::ctor");
    for (const auto* list : {&names, &more_names}) {
        for (const std::u16string& name : *list) {
            tk_wlog(2, u"udb_validator::add_existing_name(%s)", name);
            add_existing_name(name);
        }
    }
}

void ora_in_validator::load(const udb_indexes& indexes, udb_validator& validator) {
    tk_log(2, "ora_in_validator::load");
    for (const udb_index& index : indexes) {
        tk_wlog(2, u"udb_validator::add_existing_name(%s)", index.name);
        validator.add_existing_name(index.name);
    }
}
