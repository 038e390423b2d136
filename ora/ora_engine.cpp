#include "ora_engine.h"

#include <cstdint>
#include <vector>

#include "ora_database.h"
#include "ora_exception.h"
#include "ora_oci.h"
#include "ora_stmt.h"
#include "tk_exception.h"
#include "tk_logger.h"
#include "tk_string.h"

namespace {

constexpr size_t kErrorTextBytes = 512;
constexpr size_t kVersionBufferBytes = 131072;

unsigned long long trace_address(const void* p) {
    return static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(p));
}

// Reads "%d.%d.%d" at the start of a piece of the banner, as sscanf would
// for a piece that starts with a digit.
bool read_three_numbers(std::u16string_view piece, int (&out)[3]) {
    size_t i = 0;
    for (int k = 0; k < 3; ++k) {
        if (k > 0) {
            if (i >= piece.size() || piece[i] != u'.') return false;
            ++i;
        }
        if (i >= piece.size() || piece[i] < u'0' || piece[i] > u'9') return false;
        long long v = 0;
        while (i < piece.size() && piece[i] >= u'0' && piece[i] <= u'9') {
            if (v < 100000000) v = v * 10 + (piece[i] - u'0');
            ++i;
        }
        out[k] = static_cast<int>(v);
    }
    return true;
}

}  // namespace

ora_engine::ora_engine() {
    tk_log(2, "ora_engine::ctor");
    try {
        initialize();
    } catch (...) {
        // The destructor does not run for a failed construction: give back
        // what initialize allocated before it failed.
        clean();
        throw;
    }
}

ora_engine::~ora_engine() {
    tk_log(2, "ora_engine::dtor");
    clean();
    data_source_.clear();
    user_.clear();
    password_.clear();
}

void ora_engine::initialize() {
    tk_log(2, "ora_engine::initialize");
    const ora_oci_api& oci = ora_oci_load();
    check_err(oci.OCIEnvNlsCreate(&envhp_, OCI_DEFAULT, nullptr, nullptr, nullptr, nullptr, 0,
                                  nullptr, OCI_UTF16ID, OCI_UTF16ID));
    tk_log(1, "Step #1");
    // The extra user memory of the error and server handles is never used;
    // it is received into a local so that no client writes through null.
    void* user_memory = nullptr;
    check_err(oci.OCIHandleAlloc(envhp_, reinterpret_cast<void**>(&errhp_), OCI_HTYPE_ERROR, 52,
                                 &user_memory));
    tk_log(1, "Step #2");
    check_err(oci.OCIHandleAlloc(envhp_, reinterpret_cast<void**>(&srvhp_), OCI_HTYPE_SERVER, 52,
                                 &user_memory));
    tk_log(1, "Step #3");
    check_err(oci.OCIHandleAlloc(envhp_, reinterpret_cast<void**>(&usrhp_), OCI_HTYPE_SESSION, 0,
                                 nullptr));
    tk_log(1, "Step #4");
    check_err(oci.OCIHandleAlloc(envhp_, reinterpret_cast<void**>(&svchp_), OCI_HTYPE_SVCCTX, 0,
                                 nullptr));
    tk_log(1, "Step #5");
}

std::unique_ptr<udb_database> ora_engine::open_db(const std::u16string& data_source,
                                                  const std::u16string& user,
                                                  const std::u16string& password) {
    // The password is not written to the trace log.
    const std::u16string masked(password.size(), u'*');
    tk_wlog(2, u"ora_engine::open_db( %s, %s, %s )", data_source, user, masked);
    tk_wlog(3, u"Connecting to Oracle data source '%s'", data_source);
    TK_ASSERT(svchp_ != nullptr);
    const ora_oci_api& oci = ora_oci();
    if (attached_) {
        oci.OCIServerDetach(srvhp_, errhp_, OCI_DEFAULT);
        attached_ = false;
    }
    tk_log(1, "Just before OCIServerAttach: srvhp=%08llX, errhp=%08llX", trace_address(srvhp_),
           trace_address(errhp_));
    check_err(oci.OCIServerAttach(srvhp_, errhp_, ora_text(data_source),
                                  static_cast<sb4>(ora_text_bytes(data_source)), OCI_DEFAULT));
    attached_ = true;
    tk_log(1, "OCIServerAttach succeeded");
    check_err(oci.OCIAttrSet(svchp_, OCI_HTYPE_SVCCTX, srvhp_, 0, OCI_ATTR_SERVER, errhp_));
    tk_log(1, "Server context was set into service context");
    check_err(oci.OCIAttrSet(usrhp_, OCI_HTYPE_SESSION, const_cast<char16_t*>(user.data()),
                             ora_text_bytes(user), OCI_ATTR_USERNAME, errhp_));
    check_err(oci.OCIAttrSet(usrhp_, OCI_HTYPE_SESSION, const_cast<char16_t*>(password.data()),
                             ora_text_bytes(password), OCI_ATTR_PASSWORD, errhp_));
    tk_log(1, "Just before OCISessionBegin");
    check_err(oci.OCISessionBegin(svchp_, errhp_, usrhp_, OCI_CRED_RDBMS, OCI_DEFAULT));
    tk_log(1, "The connection has been established");
    check_err(oci.OCIAttrSet(svchp_, OCI_HTYPE_SVCCTX, usrhp_, 0, OCI_ATTR_SESSION, errhp_));
    data_source_ = data_source;
    user_ = user;
    password_ = password;
    return std::make_unique<ora_database>(data_source, 1);
}

std::unique_ptr<udb_database> ora_engine::open_db(const std::u16string& host,
                                                  const std::u16string& user,
                                                  const std::u16string& password,
                                                  const std::u16string& port) {
    const std::u16string masked(password.size(), u'*');
    tk_wlog(2, u"ora_engine::open_db (%s,%s,%s,%s)", host, user, masked, port);
    const std::u16string descriptor =
        u"(DESCRIPTION=(CONNECT_DATA=(SERVICE_NAME=))(ADDRESS=(PROTOCOL=TCP)(HOST=" + host +
        u")(PORT=" + (port.empty() ? std::u16string(u"1521") : port) + u")))";
    return open_db(descriptor, user, password);
}

std::unique_ptr<udb_database> ora_engine::open_db(const std::u16string& host,
                                                  const std::u16string& user,
                                                  const std::u16string& password,
                                                  const std::u16string& port,
                                                  const std::u16string& service) {
    const std::u16string masked(password.size(), u'*');
    tk_wlog(2, u"ora_engine::open_db (%s,%s,%s,%s,%s)", host, user, masked, port, service);
    if (host.empty() && port.empty()) return open_db(service, user, password);
    const std::u16string data_source = u"//" + (host.empty() ? u"localhost" : host) + u":" +
                                       (port.empty() ? std::u16string(u"1521") : port) + u"/" +
                                       service;
    return open_db(data_source, user, password);
}

void ora_engine::check_err(int status) const {
    tk_log(1, "ora_engine::check_err(status=%08X)", static_cast<unsigned>(status));
    if (status == OCI_ERROR) {
        tk_log(1, "status == OCI_ERROR");
        sb4 code = 0;
        char16_t text[kErrorTextBytes / 2] = {};
        const sword got =
            ora_oci().OCIErrorGet(errhp_, 1, nullptr, &code, reinterpret_cast<OraText*>(text),
                                  kErrorTextBytes, OCI_HTYPE_ERROR);
        std::u16string_view message;
        if (got == OCI_SUCCESS) {
            // The client ends the text with a zero; the last unit stays zero in
            // any case, so the scan never leaves the buffer.
            text[kErrorTextBytes / 2 - 1] = u'\0';
            message = text;
        }
        std::string narrow;
        if (!tk_ucs2_to_ansi(message, narrow)) narrow.clear();
        if (narrow.empty()) narrow = "The Oracle client reported an error without a message.";
        throw ora_exception(code, narrow);
    }
    if (status == OCI_INVALID_HANDLE) {
        tk_log(1, "ERROR: Invalid handle");
        throw TK_MAIL_ASSERTION();
    }
}

ora_engine& ora_engine::with_session() {
    ora_engine& engine = instance();
    TK_ASSERT(engine.svchp_ != nullptr);
    return engine;
}

uint32_t ora_engine::get_version() {
    tk_log(2, "ora_engine::get_version");
    with_session();
    const ora_oci_api& oci = ora_oci();
    ora_stmt stmt;
    const std::u16string query = u"select * from v$version";
    check_err(oci.OCIStmtPrepare(stmt.get(), errhp_, ora_text(query), ora_text_bytes(query),
                                 OCI_NTV_SYNTAX, OCI_DEFAULT));
    std::vector<char16_t> banner(kVersionBufferBytes / 2, u'\0');
    OCIDefine* define = nullptr;
    check_err(oci.OCIDefineByPos(stmt.get(), &define, errhp_, 1, banner.data(),
                                 static_cast<sb4>(kVersionBufferBytes), SQLT_STR, nullptr, nullptr,
                                 nullptr, OCI_DEFAULT));
    const sword status =
        oci.OCIStmtExecute(svchp_, stmt.get(), errhp_, 1, 0, nullptr, nullptr, OCI_DEFAULT);
    check_err(status);
    TK_ASSERT(status != OCI_NO_DATA);
    banner.back() = u'\0';
    const std::u16string text(banner.data());
    tk_wlog(1, u"Got versioned string:\n%s", text);
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(u' ', start);
        if (end == std::u16string::npos) end = text.size();
        const std::u16string_view piece = std::u16string_view(text).substr(start, end - start);
        int v[3] = {};
        if (!piece.empty() && piece[0] >= u'0' && piece[0] <= u'9' &&
            read_three_numbers(piece, v)) {
            tk_log(1, "Got Oracle version: %d,%d,%d", v[0], v[1], v[2]);
            return static_cast<uint32_t>(v[0]) * 65536u + static_cast<uint32_t>(v[1]) * 256u +
                   static_cast<uint32_t>(v[2]);
        }
        start = end + 1;
    }
    return 0;
}

int32_t ora_engine::get_records_cnt(const std::u16string& name, bool is_query) {
    tk_wlog(2, u"ora_engine::get_records_cnt(%s)", name);
    ora_engine& engine = with_session();
    const ora_oci_api& oci = ora_oci();
    ora_stmt stmt;
    const std::u16string query = is_query ? u"SELECT COUNT(*) FROM (" + name + u")"
                                          : u"SELECT COUNT(*) FROM " + get_safe_name(name);
    engine.check_err(oci.OCIStmtPrepare(stmt.get(), engine.errhp_, ora_text(query),
                                        ora_text_bytes(query), OCI_NTV_SYNTAX, OCI_DEFAULT));
    int32_t count = 0;
    OCIDefine* define = nullptr;
    engine.check_err(oci.OCIDefineByPos(stmt.get(), &define, engine.errhp_, 1, &count, sizeof count,
                                        SQLT_INT, nullptr, nullptr, nullptr, OCI_DEFAULT));
    const sword status = oci.OCIStmtExecute(engine.svchp_, stmt.get(), engine.errhp_, 1, 0, nullptr,
                                            nullptr, OCI_DEFAULT);
    engine.check_err(status);
    TK_ASSERT(status != OCI_NO_DATA);
    return count;
}

std::u16string ora_engine::get_safe_name(const std::u16string& name) {
    tk_wlog(2, u"ora_engine::get_safe_name(%s)", name);
    std::u16string quoted = name;
    // Only names of the ALL_ catalog are owner.table; in the USER_ catalog a
    // dot belongs to the table's own name, and splitting it would name a
    // table of another schema.
    if (!instance().owned_by_user_) {
        const size_t dot = quoted.find(u'.');
        if (dot != std::u16string::npos) quoted.replace(dot, 1, u"\".\"");
    }
    return u"\"" + quoted + u"\"";
}

std::u16string ora_engine::get_tab_columns_view() {
    return instance().owned_by_user_ ? u"USER_TAB_COLUMNS" : u"ALL_TAB_COLUMNS";
}

std::u16string ora_engine::get_table_condition(const std::u16string& name) {
    const std::u16string literal = tk_wstring(name).replace_all(u"'", u"''");
    if (instance().owned_by_user_) return u"table_name = '" + literal + u"'";
    return u"concat(owner,concat('.',table_name)) = '" + literal + u"'";
}

void ora_engine::clean() {
    tk_log(2, "ora_engine::clean");
    if (ora_oci_is_loaded()) {
        const ora_oci_api& oci = ora_oci();
        if (svchp_ != nullptr && errhp_ != nullptr && usrhp_ != nullptr)
            oci.OCISessionEnd(svchp_, errhp_, usrhp_, OCI_DEFAULT);
        if (srvhp_ != nullptr && errhp_ != nullptr)
            oci.OCIServerDetach(srvhp_, errhp_, OCI_DEFAULT);
        if (srvhp_ != nullptr) oci.OCIHandleFree(srvhp_, OCI_HTYPE_SERVER);
        if (svchp_ != nullptr) oci.OCIHandleFree(svchp_, OCI_HTYPE_SVCCTX);
        if (errhp_ != nullptr) oci.OCIHandleFree(errhp_, OCI_HTYPE_ERROR);
        if (usrhp_ != nullptr) oci.OCIHandleFree(usrhp_, OCI_HTYPE_SESSION);
    }
    srvhp_ = nullptr;
    svchp_ = nullptr;
    errhp_ = nullptr;
    usrhp_ = nullptr;
    attached_ = false;
}
