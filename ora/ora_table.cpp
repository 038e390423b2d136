#include "ora_table.h"

#include "ora_database.h"
#include "ora_engine.h"
#include "ora_oci.h"
#include "ora_stmt.h"
#include "ora_type_map.h"
#include "tk_exception.h"
#include "tk_logger.h"
#include "tk_string.h"
#include "udb_indexes.h"

namespace {

constexpr uint32_t kOracle8 = 0x80000;

// A text inside single quotes of an SQL literal: its quotes doubled.
std::u16string literal(const std::u16string& text) {
    return tk_wstring(text).replace_all(u"'", u"''");
}

// A name in double quotes, as one identifier (column names never name an owner).
std::u16string quoted_identifier(const std::u16string& name) {
    return u"\"" + name + u"\"";
}

// Runs a query whose one row holds one 32-bit count.
int32_t count_of(const std::u16string& query) {
    const ora_engine& engine = ora_engine::instance();
    const ora_oci_api& oci = ora_oci();
    ora_stmt stmt;
    engine.check_err(oci.OCIStmtPrepare(stmt.get(), engine.errhp(), ora_text(query),
                                        ora_text_bytes(query), OCI_NTV_SYNTAX, OCI_DEFAULT));
    int32_t count = 0;
    OCIDefine* define = nullptr;
    engine.check_err(oci.OCIDefineByPos(stmt.get(), &define, engine.errhp(), 1, &count,
                                        sizeof count, SQLT_INT, nullptr, nullptr, nullptr,
                                        OCI_DEFAULT));
    const sword status = oci.OCIStmtExecute(engine.svchp(), stmt.get(), engine.errhp(), 1, 0,
                                            nullptr, nullptr, OCI_DEFAULT);
    engine.check_err(status);
    TK_ASSERT(status != OCI_NO_DATA);
    return count;
}

std::u16string text_of(const udb_record& row, size_t i) {
    return row[i].to_wstring();
}

bool is_number_type(VARTYPE vt) {
    switch (vt) {
        case VT_I1:
        case VT_I2:
        case VT_I4:
        case VT_I8:
        case VT_UI1:
        case VT_UI2:
        case VT_UI4:
        case VT_UI8:
        case VT_INT:
        case VT_UINT:
        case VT_R4:
        case VT_R8:
        case VT_DECIMAL:
        case VT_CY:
            return true;
        default:
            return false;
    }
}

// A sign, digits with at most one decimal point ("." or ","), and an
// optional exponent: the forms a NUMBER default takes as a literal.
bool is_number_literal(std::u16string_view t) {
    size_t i = 0;
    if (i < t.size() && (t[i] == u'+' || t[i] == u'-')) ++i;
    size_t digits = 0;
    bool point = false;
    for (; i < t.size(); ++i) {
        if (t[i] >= u'0' && t[i] <= u'9') {
            ++digits;
        } else if ((t[i] == u'.' || t[i] == u',') && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (digits == 0) return false;
    if (i < t.size() && (t[i] == u'e' || t[i] == u'E')) {
        ++i;
        if (i < t.size() && (t[i] == u'+' || t[i] == u'-')) ++i;
        const size_t start = i;
        while (i < t.size() && t[i] >= u'0' && t[i] <= u'9') ++i;
        if (i == start) return false;
    }
    return i == t.size();
}

// The position of the column of that name: the exact name first (quoted
// names may differ in case only), then without regard to case.
int column_index(const udb_schema& schema, const std::u16string& name) {
    for (size_t i = 0; i < schema.size(); ++i)
        if (schema[i].name == name) return static_cast<int>(i);
    return schema.get_field_idx(name);
}

}  // namespace

ora_table::ora_table(ora_database& database, std::u16string name, udb_relationships& relationships)
    : ora_query_results(std::move(name), std::u16string()),
      database_(&database),
      relationships_(&relationships) {
    tk_wlog(2, u"ora_table::ora_table(%s)", name_);
    open(true);
}

ora_table::ora_table(ora_database& database, std::u16string name, std::u16string query_text,
                     udb_relationships& relationships, int /*flag*/)
    : ora_query_results(std::move(name), std::move(query_text)),
      database_(&database),
      relationships_(&relationships) {
    tk_wlog(2, u"ora_table::ora_table(%s)", name_);
    open(false);
}

ora_table::~ora_table() {
    tk_log(2, "ora_table::dtor");
    tk_log(2, "ora_get_rowid::dtor");
}

void ora_table::open(bool with_indexes) {
    init_schema();
    if (schema_.empty()) {
        tk_log(1, "Empty table");
        counter_ = 0;
        return;
    }
    if (with_indexes) init_indexes();
    const int32_t count = has_aux_text() ? ora_engine::get_records_cnt(aux_text_, true)
                                         : ora_engine::get_records_cnt(name_, false);
    counter_ = count < 0 ? 0u : static_cast<uint32_t>(count);
    tk_log(1, "Got %d records", static_cast<int>(counter_));
}

void ora_table::init_schema() {
    tk_log(2, "ora_table::init_schema");
    uint32_t n_columns = 0;
    std::u16string select;
    if (has_aux_text()) {
        select = aux_text_;
    } else {
        const int32_t count = get_columns_cnt();
        n_columns = count < 0 ? 0u : static_cast<uint32_t>(count);
        select = get_safe_select_query(n_columns);
    }
    tk_log(1, "Got %d columns", static_cast<int>(n_columns));
    tk_log(1, "Right before extract DB structure");
    initialize(n_columns, select);
    if (has_aux_text()) return;

    ora_query_results catalog(3, u"select COLUMN_NAME, DATA_DEFAULT, DATA_TYPE from " +
                                     ora_engine::get_tab_columns_view() + u" where " +
                                     ora_engine::get_table_condition(name_));
    // Every catalog row is read: skipped columns have rows too, and a count
    // lowered by them would leave the last readable columns without their
    // defaults and sizes.
    for (int eye = 0; !catalog.is_eof(); ++eye) {
        const udb_record* row = catalog.get_item();
        if (row == nullptr) break;
        const std::u16string column = text_of(*row, 0);
        tk_wlog(1, u"Got field '%s'", column);
        const int index = column_index(schema_, column);
        if (index < 0) {
            tk_log(1, "Field not found in schema");
            continue;
        }
        t_ftd& ftd = schema_[static_cast<size_t>(index)];
        tk_log(1, "field size=%d", static_cast<int>(ftd.size));
        const std::u16string default_text = text_of(*row, 1);
        if (!default_text.empty()) {
            tk_wlog(1, u"Got default string: %s (eye=%d, type=%d)", default_text, eye,
                    static_cast<int>(ftd.vartype));
            ftd.default_value = get_def_value(ftd.vartype, default_text);
            tk_wlog(1, u"Got default variant: %s", ftd.default_value.to_wstring());
        }
        const std::u16string data_type = text_of(*row, 2);
        if (data_type == u"NVARCHAR2" || data_type == u"NCHAR") {
            // The server gives national sizes in bytes of UTF-16, two a character.
            tk_log(1, "Tuning field size for NCHAR/NVARCHAR (eye=%d)", eye);
            TK_ASSERT(static_cast<size_t>(index) < columns().size());
            ora_type& object = *columns()[static_cast<size_t>(index)];
            const uint32_t size = (object.size() != 0 ? object.size() : ftd.size) / 2;
            ftd.size = size;
            object.set_size(size);
            tk_log(1, "New field size=%d", static_cast<int>(size));
        } else if (data_type == u"LONG") {
            ftd.size = 0;
            ftd.type_name = u"LONG";
        }
    }
}

int32_t ora_table::get_columns_cnt() {
    tk_log(2, "ora_table::get_columns_cnt");
    const std::u16string query = u"SELECT COUNT(*) FROM " + ora_engine::get_tab_columns_view() +
                                 u" WHERE " + ora_engine::get_table_condition(name_);
    tk_wlog(1, u"Query=%s", query);
    return count_of(query);
}

std::u16string ora_table::get_safe_select_query(uint32_t& n_columns) {
    tk_log(2, "ora_table::get_safe_select_query");
    ora_query_results catalog(2, u"SELECT COLUMN_NAME, DATA_TYPE FROM " +
                                     ora_engine::get_tab_columns_view() + u" WHERE " +
                                     ora_engine::get_table_condition(name_));
    const std::set<std::u16string>& native = get_native_types();
    for (const std::u16string& type : native) tk_wlog(1, u"Native type: '%s'", type);
    std::u16string list;
    bool skipped = false;
    while (!catalog.is_eof()) {
        const udb_record* row = catalog.get_item();
        if (row == nullptr) break;
        const std::u16string column = text_of(*row, 0);
        const std::u16string type = text_of(*row, 1);
        tk_wlog(1, u"GOT field '%s' with type '%s'", column, type);
        if (native.count(type) != 0) {
            tk_wlog(1, u"Type '%s' is found in native types", type);
            if (!list.empty()) list += u",";
            list += quoted_identifier(column);
        } else {
            tk_wlog(3, u"Table '%s': column '%s' has unsupported type '%s', skip it", name_, column,
                    type);
            if (n_columns > 0) --n_columns;
            skipped = true;
        }
    }
    const std::u16string table = ora_engine::get_safe_name(name_);
    if (skipped) return u"SELECT " + list + u" FROM " + table;
    return u"SELECT * FROM " + table;
}

ole_variant ora_table::get_def_value(VARTYPE vartype, const std::u16string& text) {
    tk_wlog(2, u"ora_table::get_def_value(type=0x%08X, src=%s)", static_cast<unsigned>(vartype),
            text);
    std::u16string value = tk_trim(text);
    bool quoted = false;
    if (value.size() > 1 && value.front() == u'\'' && value.back() == u'\'') {
        tk_log(1, "Removing quotes");
        value = value.substr(1, value.size() - 2);
        tk_wlog(1, u"After removing quotes: %s", value);
        quoted = true;
    }
    if (!quoted && vartype == VT_BSTR) {
        tk_log(1, "Incorrect/empty/null default value for VT_BSTR");
        return ole_variant();
    }
    if (vartype == VT_DATE) return ole_variant();
    // The number conversion reads the number at the start of a text and 0
    // when there is none, so an expression (DEFAULT NULL, a sequence's
    // nextval, an identity column) would become a default of 0: a default
    // that is no number literal is no default.
    if (is_number_type(vartype) && !is_number_literal(value)) {
        tk_log(1, "Default value is not a number literal");
        return ole_variant();
    }
    value = tk_wstring(value).replace_all(u"''", u"'");
    try {
        return ole_variant::from_wstring(value, vartype);
    } catch (const ole_type_exception&) {
        return ole_variant();
    }
}

void ora_table::init_indexes() {
    tk_log(2, "ora_table::init_indexes");
    const std::u16string table = literal(name_);

    // 1. The primary key.
    std::u16string key_name;
    std::vector<std::u16string> key_fields;
    {
        ora_query_results pk(
            2,
            u"SELECT a.constraint_name, a.column_name FROM user_cons_columns a, "
            u"user_constraints b WHERE a.table_name='" +
                table +
                u"' AND a.constraint_name=b.constraint_name AND b.constraint_type='P' ORDER "
                u"BY a.constraint_name, a.position");
        while (!pk.is_eof()) {
            const udb_record* row = pk.get_item();
            if (row == nullptr) break;
            if (key_name.empty()) {
                key_name = text_of(*row, 0);
                tk_wlog(1, u"Got primary key '%s'", key_name);
            }
            const std::u16string column = text_of(*row, 1);
            if (schema_.has_field(column))
                key_fields.push_back(column);
            else
                tk_wlog(1, u"PK field '%s' not found - skip it", column);
        }
        if (!key_fields.empty()) add_index(udb_index(key_name, true, true, key_fields));
    }

    // 2. The other indexes, in groups of rows by index name.
    {
        const bool modern = ora_engine::instance().get_version() >= kOracle8;
        const std::u16string query =
            u"SELECT user_indexes.index_name, user_indexes.uniqueness, "
            u"user_ind_columns.column_name FROM user_ind_columns, user_indexes where "
            u"user_ind_columns.table_name = '" +
            table + u"' " + (modern ? u"AND user_indexes.generated='N' " : u"") +
            u"AND user_ind_columns.index_name = user_indexes.index_name AND "
            u"user_ind_columns.table_name = user_indexes.table_name ORDER BY "
            u"user_indexes.index_name, user_ind_columns.column_position";
        ora_query_results rows(3, query);
        bool open_group = false;
        udb_index group;
        auto flush = [&] {
            if (!open_group || group.fields.empty()) return;
            if (indexes_.find2(group.name) && indexes_.get_index(group.name).b_primary) {
                tk_log(1, "Skip Primary Key DoubleInitialization");
                return;
            }
            add_index(group);
        };
        while (!rows.is_eof()) {
            const udb_record* row = rows.get_item();
            if (row == nullptr) break;
            const std::u16string index_name = text_of(*row, 0);
            if (!open_group || !tk_equal_nocase(index_name, group.name)) {
                flush();
                group = udb_index(index_name, text_of(*row, 1) == u"UNIQUE", false);
                open_group = true;
                tk_wlog(1, u"Got index '%s' (unique=%d)", index_name,
                        static_cast<int>(group.b_unique));
            }
            const std::u16string column = text_of(*row, 2);
            if (schema_.has_field(column))
                group.fields.push_back(column);
            else
                tk_wlog(1, u"Index field '%s' not found - skip it", column);
        }
        flush();
    }

    // 3. The foreign keys that refer to the primary key.
    if (key_name.empty()) return;
    const std::u16string key = literal(key_name);
    if (count_of(u"select count(*) from USER_CONSTRAINTS where R_CONSTRAINT_NAME='" + key +
                 u"' and CONSTRAINT_TYPE='R'") == 0) {
        tk_log(1, "No foreign keys found");
        return;
    }
    ora_query_results fk(4,
                         u"select a.TABLE_NAME,a.CONSTRAINT_NAME,a.DELETE_RULE,b.COLUMN_NAME FROM "
                         u"USER_CONSTRAINTS a, USER_CONS_COLUMNS b WHERE "
                         u"a.CONSTRAINT_NAME=b.CONSTRAINT_NAME and a.CONSTRAINT_TYPE='R' and "
                         u"a.R_CONSTRAINT_NAME='" +
                             key + u"'");
    while (!fk.is_eof()) {
        const udb_record* row = fk.get_item();
        if (row == nullptr) break;
        const std::u16string from_table = text_of(*row, 0);
        const std::u16string constraint = text_of(*row, 1);
        const std::u16string rule = text_of(*row, 2);
        const std::u16string column = text_of(*row, 3);
        tk_wlog(1, u"GOT FK: %s,%s,%s,%s", from_table, constraint, rule, column);
        if (relationships_->is_acceptable_name(constraint)) {
            udb_relationship r;
            r.name = constraint;
            r.from_table = from_table;
            r.from_fields = {column};
            r.to_table = name_;
            r.to_fields = key_fields;
            if (!rule.empty()) r.delete_rule = u"ON DELETE " + rule;
            relationships_->push_back(std::move(r));
        } else {
            relationships_->get_index(constraint).from_fields.push_back(column);
        }
    }
}

bool ora_table::is_eof() {
    tk_log(2, "ora_table::is_eof(%d,%d)", static_cast<int>(position_), static_cast<int>(counter_));
    TK_ASSERT(initialized());
    if (position_ >= counter_) return true;
    tk_log(1, "Step #1");
    // A row deleted since the count ends the table here.
    const bool fetched = fetch_row();
    tk_log(1, "Step #2");
    set_fetched(fetched);
    return !fetched;
}

void ora_table::next() {
    tk_log(2, "ora_table::next");
    ++position_;
}

void ora_table::append_record(const udb_record& /*record*/) {
    tk_log(2, "ora_table::append_record");
    throw TK_MAIL_ASSERTION();
}

void ora_table::update(const udb_record& /*record*/) {
    tk_log(2, "ora_table::update");
    throw TK_MAIL_ASSERTION();
}

void ora_table::reset_not_null_flag(uint32_t field_index) {
    tk_log(2, "ora_table::reset_not_null_flag(%d)", static_cast<int>(field_index));
    throw TK_MAIL_ASSERTION();
}
