#include "ora_database.h"

#include "ora_engine.h"
#include "ora_oci.h"
#include "ora_query_results.h"
#include "ora_stmt.h"
#include "ora_table.h"
#include "tk_exception.h"
#include "tk_logger.h"
#include "tk_string.h"

namespace {

// Servers before Oracle 8 know neither temporary, nested nor index-organized
// tables.
constexpr uint32_t kOracle8 = 0x80000;
constexpr size_t kNameBufferBytes = 512;

std::u16string upper(const std::u16string& s) {
    return tk_wstring(s).to_upper();
}

}  // namespace

ora_database::ora_database(std::u16string data_source, uint8_t flags)
    // Oracle tells table names apart by case: a quoted "jobs" is not JOBS.
    : udb_database(std::move(data_source), flags, /*case_sensitive=*/true) {
    tk_wlog(2, u"ora_database::ctor(%s)", path_);
    if ((flags & 0x80) == 0) {
        try {
            init_views();
        } catch (const tk_exception& e) {
            // The views serve only the Oracle writer; a user who may not read
            // them can still convert tables.
            tk_log(3, "Error while extracting views:\n%s\n", e.what());
        }
    }
}

ora_database::~ora_database() = default;

std::unique_ptr<udb_recordset> ora_database::create_table(const std::u16string& name,
                                                          const udb_schema& /*schema*/,
                                                          const udb_indexes& /*indexes*/) {
    tk_wlog(2, u"ora_database::create_table(%s)", name);
    throw TK_MAIL_ASSERTION();
}

void ora_database::create_views(const view_list& /*views*/) {
    tk_log(2, "ora_database::create_views");
    throw TK_MAIL_ASSERTION();
}

void ora_database::create_relationships(const udb_relationships& /*relationships*/) {
    tk_log(2, "ora_database::create_relationships");
    throw TK_MAIL_ASSERTION();
}

void ora_database::create_fk_index_if(const std::u16string& table,
                                      const std::vector<std::u16string>& /*fields*/) {
    tk_wlog(2, u"ora_database::create_fk_index_if(%s)", table);
    throw TK_MAIL_ASSERTION();
}

std::unique_ptr<udb_recordset> ora_database::get_table(const std::u16string& name,
                                                       const std::u16string& query_text, int flag) {
    tk_wlog(2, u"ora_database::get_table(%s)", name);
    return std::make_unique<ora_table>(*this, name, query_text, relationships_, flag);
}

std::unique_ptr<udb_recordset> ora_database::get_table(const std::u16string& name,
                                                       int /*open_mode*/) {
    tk_wlog(2, u"ora_database::get_table(%s)", name);
    TK_ASSERT(is_table_exist(name));
    return std::make_unique<ora_table>(*this, name, relationships_);
}

void ora_database::query(const std::u16string& statement) {
    tk_wlog(2, u"ora_database::query(%s)", statement);
    const ora_engine& engine = ora_engine::instance();
    const ora_oci_api& oci = ora_oci();
    ora_stmt stmt;
    engine.check_err(oci.OCIStmtPrepare(stmt.get(), engine.errhp(), ora_text(statement),
                                        ora_text_bytes(statement), OCI_NTV_SYNTAX, OCI_DEFAULT));
    engine.check_err(oci.OCIStmtExecute(engine.svchp(), stmt.get(), engine.errhp(), 1, 0, nullptr,
                                        nullptr, OCI_DEFAULT));
}

bool ora_database::test_query(const std::u16string& statement) {
    tk_wlog(2, u"ora_database::test_query(%s)", statement);
    const ora_engine& engine = ora_engine::instance();
    const ora_oci_api& oci = ora_oci();
    ora_stmt stmt;
    // A statement that does not prepare fails its parse below.
    oci.OCIStmtPrepare(stmt.get(), engine.errhp(), ora_text(statement), ora_text_bytes(statement),
                       OCI_NTV_SYNTAX, OCI_DEFAULT);
    const sword status = oci.OCIStmtExecute(engine.svchp(), stmt.get(), engine.errhp(), 1, 0,
                                            nullptr, nullptr, OCI_PARSE_ONLY);
    engine.check_err(status);
    return status != OCI_ERROR;
}

const std::vector<std::u16string>& ora_database::get_tables() {
    tk_log(2, "ora_database::get_tables");
    tables_.clear();
    init_tables(ora_engine::instance().owned_by_user());
    return tables_;
}

void ora_database::init_views() {
    tk_log(2, "ora_database::init_views");
    ora_query_results views(2, u"select VIEW_NAME, TEXT from SYS.USER_VIEWS");
    while (!views.is_eof()) {
        const udb_record* row = views.get_item();
        if (row == nullptr) break;
        const std::u16string name = (*row)[0].to_wstring();
        const std::u16string text = (*row)[1].to_wstring();
        tk_wlog(1, u"GOT VIEW: %s|%s", name, text);
        views_[name] = text;
    }
}

void ora_database::init_tables(bool owned_by_user) {
    tk_log(2, "ora_database::init_tables(b_owned_by_user=%d)", static_cast<int>(owned_by_user));
    ora_engine& engine = ora_engine::instance();
    const ora_oci_api& oci = ora_oci();
    ora_stmt stmt;
    const bool modern = engine.get_version() >= kOracle8;
    std::u16string query;
    if (owned_by_user) {
        query = modern ? u"select TABLE_NAME, IOT_TYPE from user_tables where TEMPORARY='N' and "
                         u"NESTED='NO' and IOT_TYPE IS NULL OR IOT_TYPE='IOT'"
                       : u"select TABLE_NAME from user_tables";
    } else {
        query = modern ? u"select OWNER, TABLE_NAME, IOT_TYPE from all_tables where TEMPORARY='N' "
                         u"and NESTED='NO' and IOT_TYPE IS NULL OR IOT_TYPE='IOT'"
                       : u"select OWNER, TABLE_NAME from all_tables";
    }
    OCIError* const errhp = engine.errhp();
    engine.check_err(oci.OCIStmtPrepare(stmt.get(), errhp, ora_text(query), ora_text_bytes(query),
                                        OCI_NTV_SYNTAX, OCI_DEFAULT));
    char16_t owner[kNameBufferBytes / 2] = {};
    char16_t table[kNameBufferBytes / 2] = {};
    OCIDefine* owner_define = nullptr;
    OCIDefine* table_define = nullptr;
    if (owned_by_user) {
        engine.check_err(oci.OCIDefineByPos(stmt.get(), &table_define, errhp, 1, table,
                                            kNameBufferBytes, SQLT_STR, nullptr, nullptr, nullptr,
                                            OCI_DEFAULT));
    } else {
        engine.check_err(oci.OCIDefineByPos(stmt.get(), &owner_define, errhp, 1, owner,
                                            kNameBufferBytes, SQLT_STR, nullptr, nullptr, nullptr,
                                            OCI_DEFAULT));
        engine.check_err(oci.OCIDefineByPos(stmt.get(), &table_define, errhp, 2, table,
                                            kNameBufferBytes, SQLT_STR, nullptr, nullptr, nullptr,
                                            OCI_DEFAULT));
    }
    sword status =
        oci.OCIStmtExecute(engine.svchp(), stmt.get(), errhp, 1, 0, nullptr, nullptr, OCI_DEFAULT);
    engine.check_err(status);
    while (status == OCI_SUCCESS || status == OCI_SUCCESS_WITH_INFO) {
        // The last unit of each buffer is never written: the texts stay terminated.
        if (owned_by_user) {
            tk_wlog(1, u"Find table '%s'", static_cast<const char16_t*>(table));
            tables_.emplace_back(table);
        } else {
            tk_wlog(1, u"Find table '%s/%s'", static_cast<const char16_t*>(owner),
                    static_cast<const char16_t*>(table));
            tables_.push_back(std::u16string(owner) + u"." + table);
        }
        status = oci.OCIStmtFetch(stmt.get(), errhp, 1, OCI_FETCH_NEXT, OCI_DEFAULT);
    }
    tk_log(1, "Tables count: %d", static_cast<int>(tables_.size()));
}

std::u16string ora_database::get_tn_mapped_name_ex(const std::u16string& table_name) const {
    tk_wlog(2, u"ora_database::get_tn_mapped_name_ex(%s)", table_name);
    if (b_upper_case_) return names_map_.get_tn_mapped_name(upper(table_name), false);
    // Exactly first; a name that names no table is looked up again without
    // regard to case.
    std::u16string mapped = names_map_.get_tn_mapped_name(table_name, true);
    if (!is_table_exist(mapped)) {
        tk_wlog(1, u"Cannot find table %s", mapped);
        tk_log(1, "Try to search case insensitive...");
        return names_map_.get_tn_mapped_name(table_name, false);
    }
    return mapped;
}

std::u16string ora_database::get_fn_mapped_name_ex(const std::u16string& table_name,
                                                   const std::u16string& field_name) const {
    tk_wlog(2, u"ora_database::get_fn_mapped_name_ex(%s)", field_name);
    if (b_upper_case_)
        return names_map_.get_fn_mapped_name(upper(table_name), upper(field_name), false);
    return names_map_.get_fn_mapped_name(table_name, field_name, true);
}

std::u16string ora_database::refine_view_in(const std::u16string& text) const {
    tk_wlog(2, u"sql_database::refine_view_in(%s)", text);
    std::u16string refined;
    refined.reserve(text.size());
    for (const char16_t c : text) {
        if (c == u'[' || c == u']') {
            if (!b_upper_case_) refined.push_back(u'"');
        } else {
            refined.push_back(c);
        }
    }
    for (size_t at = refined.find(u"DISTINCTROW"); at != std::u16string::npos;
         at = refined.find(u"DISTINCTROW", at))
        refined.erase(at, 11);
    const size_t n = refined.size();
    static constexpr const char* kLabels[] = {"Last symbol: '%c'", "Pre-last symbol: '%c'",
                                              "Pre-pre-last symbol: '%c'"};
    static constexpr const char* kReplaced[] = {"REPLACED!", "REPLACED #2!", "REPLACED #3!"};
    for (size_t k = 0; k < 3 && k < n; ++k) {
        char16_t& c = refined[n - 1 - k];
        tk_log(1, kLabels[k], c < 0x80 ? static_cast<int>(c) : '?');
        if (c == u';') {
            c = u' ';
            tk_log(1, "%s", kReplaced[k]);
        }
    }
    return names_map_.do_global_replace1(refined, u"", u"");
}
