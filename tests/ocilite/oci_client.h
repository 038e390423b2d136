// Test support: drives libocilite through its exported C interface, loaded with dlopen the way
// the product loads an OCI library.  Text goes in and out as UTF-16 (environment charset 1000).
#pragma once

#include <dlfcn.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "koci.h"

namespace ocilite_test {

std::u16string u16(const std::string& utf8);
std::string u8(const std::u16string& s);
std::string u8(const char16_t* nul_terminated);

// The function table, resolved from one dlopen of the library.
struct oci_api {
    void* lib = nullptr;
    OCIEnvNlsCreate_fn EnvNlsCreate = nullptr;
    OCIHandleAlloc_fn HandleAlloc = nullptr;
    OCIHandleFree_fn HandleFree = nullptr;
    OCIDescriptorAlloc_fn DescriptorAlloc = nullptr;
    OCIDescriptorFree_fn DescriptorFree = nullptr;
    OCIServerAttach_fn ServerAttach = nullptr;
    OCIServerDetach_fn ServerDetach = nullptr;
    OCISessionBegin_fn SessionBegin = nullptr;
    OCISessionEnd_fn SessionEnd = nullptr;
    OCIAttrSet_fn AttrSet = nullptr;
    OCIAttrGet_fn AttrGet = nullptr;
    OCIParamGet_fn ParamGet = nullptr;
    OCIErrorGet_fn ErrorGet = nullptr;
    OCIStmtPrepare_fn StmtPrepare = nullptr;
    OCIStmtExecute_fn StmtExecute = nullptr;
    OCIStmtFetch_fn StmtFetch = nullptr;
    OCIDefineByPos_fn DefineByPos = nullptr;
    OCILobRead_fn LobRead = nullptr;
    OCILobCharSetForm_fn LobCharSetForm = nullptr;
    OCILobGetLength_fn LobGetLength = nullptr;
    OCIDateTimeGetDate_fn DateTimeGetDate = nullptr;
    OCIDateTimeGetTime_fn DateTimeGetTime = nullptr;

    oci_api();  // loads OCILITE_LIB; every pointer is non-null afterwards or the test fails
    ~oci_api();
    oci_api(const oci_api&) = delete;
    oci_api& operator=(const oci_api&) = delete;
};

// One described select-list column.
struct param_info {
    std::string name;
    ub2 type = 0;
    ub2 size = 0;
    sb2 precision = 0;
    sb1 scale = 0;
    ub1 is_null = 0;
    ub1 charset_form = 0;
};

// A fetched value in text form; nullopt for NULL.
using text_row = std::vector<std::optional<std::string>>;

// An environment with error, server, session and service context, in the order the product
// allocates them; connect() attaches and begins the session.
class session {
  public:
    explicit session(oci_api& api);
    ~session();
    session(const session&) = delete;
    session& operator=(const session&) = delete;

    // Returns the status of the first failing call (or OCI_SUCCESS).
    sword connect(const std::string& db, const std::string& user = "scott",
                  const std::string& password = "tiger");
    // The ORA number and text of the error handle's first record.
    int error_code();
    std::string error_text();

    // Prepares and executes (iters 0) a query on a new statement.  Returns the status.
    sword execute(OCIStmt* stmt, const std::string& sql, ub4 iters = 0, ub4 mode = OCI_DEFAULT);
    // Describes every column of a query.  Fails the test on an error.
    std::vector<param_info> describe(const std::string& sql);
    // Fetches every row with SQLT_STR defines of `buffer_chars` units.
    std::vector<text_row> rows(const std::string& sql, std::size_t buffer_chars = 4000);
    // Runs a query and returns the ORA number it fails with (0 when it succeeds).
    int query_error(const std::string& sql);

    OCIStmt* new_stmt();
    void free_stmt(OCIStmt* s);

    oci_api& api;
    OCIEnv* env = nullptr;
    OCIError* err = nullptr;
    OCIServer* srv = nullptr;
    OCISession* usr = nullptr;
    OCISvcCtx* svc = nullptr;
};

}  // namespace ocilite_test
