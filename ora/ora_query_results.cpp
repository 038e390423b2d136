#include "ora_query_results.h"

#include "ora_engine.h"
#include "ora_exception.h"
#include "ora_oci.h"
#include "tk_exception.h"
#include "tk_logger.h"
#include "tk_string.h"

namespace {

// Rows and memory a real server sends per round trip for the reading
// statement; rows reach the caller one by one as before.
constexpr ub4 kPrefetchRows = 500;
constexpr ub4 kPrefetchMemory = 4 * 1024 * 1024;

// LONG and LONG RAW columns are read into buffers of this many characters.
constexpr uint32_t kLongUnits = 1000000;
constexpr uint32_t kRowidUnits = 255;
// The longest interval text, INTERVAL DAY(9) TO SECOND(9), takes 29
// characters ("+000000003 04:05:06.123000000").
constexpr uint32_t kIntervalUnits = 32;

}  // namespace

ora_query_results::ora_query_results(uint32_t n_columns, const std::u16string& query)
    : udb_recordset(std::u16string(), true) {
    tk_log(2, "ora_query_results::ctor(1)");
    initialize(n_columns, query);
}

ora_query_results::ora_query_results(std::u16string table_name, std::u16string query_text)
    : udb_recordset(std::move(table_name), true) {
    set_aux_text(std::move(query_text));
    tk_log(2, "ora_query_results::ctor(2)");
}

ora_query_results::~ora_query_results() {
    tk_log(2, "ora_query_results::dtor");
    current_.reset();
    tk_log(1, "Step #1");
    for (size_t i = 0; i < columns_.size(); ++i) {
        columns_[i].reset();
        tk_log(1, "Step #2.%d", static_cast<int>(i));
    }
    columns_.clear();
    tk_log(2, "ora_query_results::dtor - at the END");
}

void ora_query_results::initialize(uint32_t n_columns, const std::u16string& query) {
    tk_wlog(2, u"ora_query_results::initialize(%d, %s)", static_cast<int>(n_columns), query);
    TK_ASSERT(!initialized_);
    n_columns_ = n_columns;
    const ora_engine& engine = ora_engine::instance();
    const ora_oci_api& oci = ora_oci();
    OCIError* const errhp = engine.errhp();
    const ub4 query_bytes = ora_text_bytes(query);
    {
        // Describe pass: executed without fetching, the select list can be described.
        ora_stmt describe;
        engine.check_err(oci.OCIStmtPrepare(describe.get(), errhp, ora_text(query), query_bytes,
                                            OCI_NTV_SYNTAX, OCI_DEFAULT));
        engine.check_err(oci.OCIStmtExecute(engine.svchp(), describe.get(), errhp, 0, 0, nullptr,
                                            nullptr, OCI_DEFAULT));
        if (n_columns_ == 0) {
            ub4 count = 0;
            engine.check_err(oci.OCIAttrGet(describe.get(), OCI_HTYPE_STMT, &count, nullptr,
                                            OCI_ATTR_PARAM_COUNT, errhp));
            n_columns_ = count;
        }
        columns_.reserve(n_columns_);
        for (uint32_t p = 1; p <= n_columns_; ++p) {
            tk_log(1, "Processing column #%d", static_cast<int>(p));
            void* parameter = nullptr;
            engine.check_err(oci.OCIParamGet(describe.get(), OCI_HTYPE_STMT, errhp, &parameter, p));
            ub2 data_type = 0;
            engine.check_err(oci.OCIAttrGet(parameter, OCI_DTYPE_PARAM, &data_type, nullptr,
                                            OCI_ATTR_DATA_TYPE, errhp));
            columns_.push_back(gen_co_by_type(static_cast<OCIParam*>(parameter), data_type));
            schema_.push_back(columns_.back()->get_ftd());
        }
    }
    // Fetch pass.
    engine.check_err(oci.OCIStmtPrepare(stmt_.get(), errhp, ora_text(query), query_bytes,
                                        OCI_NTV_SYNTAX, OCI_DEFAULT));
    ub4 prefetch_rows = kPrefetchRows;
    ub4 prefetch_memory = kPrefetchMemory;
    engine.check_err(oci.OCIAttrSet(stmt_.get(), OCI_HTYPE_STMT, &prefetch_rows, sizeof(ub4),
                                    OCI_ATTR_PREFETCH_ROWS, errhp));
    engine.check_err(oci.OCIAttrSet(stmt_.get(), OCI_HTYPE_STMT, &prefetch_memory, sizeof(ub4),
                                    OCI_ATTR_PREFETCH_MEMORY, errhp));
    for (uint32_t p = 0; p < columns_.size(); ++p) columns_[p]->define(stmt_.get(), p + 1);
    engine.check_err(oci.OCIStmtExecute(engine.svchp(), stmt_.get(), errhp, 0, 0, nullptr, nullptr,
                                        OCI_DEFAULT));
    initialized_ = true;
}

std::unique_ptr<ora_type> ora_query_results::gen_co_by_type(OCIParam* parameter,
                                                            uint16_t data_type) {
    tk_log(2, "ora_query_results::gen_co_by_type(%d)", static_cast<int>(data_type));
    tk_log(1, "mypard3=%08llX",
           static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(parameter)));
    switch (data_type) {
        case SQLT_CHR:
        case SQLT_STR:
        case SQLT_AFC:
            return std::make_unique<ora_string>(parameter);
        case SQLT_NUM:
        case SQLT_INT:
        case SQLT_FLT:
        case SQLT_VNU:
        case SQLT_PDN:
            return std::make_unique<ora_number>(parameter);
        case SQLT_IBFLOAT:
        case SQLT_IBDOUBLE:
            return std::make_unique<ora_binary_float>(parameter, data_type);
        case SQLT_LNG:
        case SQLT_LBI:
            return std::make_unique<ora_str_repr>(parameter, data_type, kLongUnits);
        case SQLT_RID:
        case SQLT_RDD:
        case SQLT_LAB:
            return std::make_unique<ora_str_repr>(parameter, data_type, kRowidUnits);
        case SQLT_DAT:
        case SQLT_TIMESTAMP:
        case SQLT_TIMESTAMP_TZ:
        case 231:
        case SQLT_TIMESTAMP_LTZ:
            return std::make_unique<ora_date>(parameter, data_type);
        case SQLT_BIN:
            return std::make_unique<ora_binary>(parameter);
        case SQLT_CLOB:
        case SQLT_BLOB:
            return std::make_unique<ora_lob>(parameter, data_type);
        case 182:
        case SQLT_INTERVAL_YM:
        case SQLT_INTERVAL_DS:
            return std::make_unique<ora_str_repr>(parameter, data_type, kIntervalUnits);
        default:
            return std::make_unique<ora_dummy>(parameter);
    }
}

bool ora_query_results::fetch_row() {
    if (at_end_) return false;
    const ora_engine& engine = ora_engine::instance();
    const sword status =
        ora_oci().OCIStmtFetch(stmt_.get(), engine.errhp(), 1, OCI_FETCH_NEXT, OCI_DEFAULT);
    engine.check_err(status);
    if (status == OCI_NO_DATA) {
        // The end of the data: fetching again would be out of sequence, and
        // the buffers still hold the last row.
        at_end_ = true;
        return false;
    }
    ++rows_fetched_;
    return true;
}

bool ora_query_results::is_eof() {
    tk_log(2, "ora_query_results::is_eof");
    TK_ASSERT(initialized_);
    fetched_ = fetch_row();
    return !fetched_;
}

udb_record* ora_query_results::get_item() {
    tk_log(2, "ora_query_results::get_item");
    if (!fetched_) {
        tk_log(1, "fetch wasn't called yet");
        TK_ASSERT(initialized_);
        if (!fetch_row()) {
            tk_log(1, "status == OCI_NO_DATA!");
            return nullptr;
        }
    }
    fetched_ = false;
    for (const auto& column : columns_) {
        if (!column->is_truncated()) continue;
        // A value cut by its buffer is never handed on as if it were whole.
        const std::u16string text =
            u"ORA-01406: fetched column value was truncated (table '" +
            (name_.empty() ? aux_text_ : name_) + u"', column '" + column->name() + u"', record #" +
            tk_wformat(16, u"%u", static_cast<unsigned>(rows_fetched_)) + u")";
        std::string narrow;
        if (!tk_ucs2_to_ansi(text, narrow))
            narrow = "ORA-01406: fetched column value was truncated";
        throw ora_exception(1406, narrow);
    }
    if (current_ != nullptr)
        current_->refill(columns_);
    else
        current_ = std::make_unique<ora_record>(columns_);
    return current_.get();
}

void ora_query_results::append_record(const udb_record& /*record*/) {
    tk_log(2, "ora_query_results::append_record");
    throw TK_MAIL_ASSERTION();
}
