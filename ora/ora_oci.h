// The OCI boundary of the Oracle layer: one table of the OCI functions the
// layer calls, resolved once from the client library that answered.
//
// Private to ora/ (it includes the OCI declarations, which no other layer
// sees).  Which library: the path in KESTREL_OCI_LIB when it is set and not
// empty; otherwise the platform's client ("libclntsh.so", "oci.dll") from
// the library search path, then the bundled libocilite beside the program.
// Nothing else in the layer knows which library answered.
#pragma once

#include <string>
#include <vector>

#include "koci.h"
#include "tk_dynamic_library.h"

struct ora_oci_api {
    OCIEnvNlsCreate_fn OCIEnvNlsCreate = nullptr;
    OCIHandleAlloc_fn OCIHandleAlloc = nullptr;
    OCIHandleFree_fn OCIHandleFree = nullptr;
    OCIDescriptorAlloc_fn OCIDescriptorAlloc = nullptr;
    OCIDescriptorFree_fn OCIDescriptorFree = nullptr;
    OCIServerAttach_fn OCIServerAttach = nullptr;
    OCIServerDetach_fn OCIServerDetach = nullptr;
    OCISessionBegin_fn OCISessionBegin = nullptr;
    OCISessionEnd_fn OCISessionEnd = nullptr;
    OCIAttrSet_fn OCIAttrSet = nullptr;
    OCIAttrGet_fn OCIAttrGet = nullptr;
    OCIParamGet_fn OCIParamGet = nullptr;
    OCIErrorGet_fn OCIErrorGet = nullptr;
    OCIStmtPrepare_fn OCIStmtPrepare = nullptr;
    OCIStmtExecute_fn OCIStmtExecute = nullptr;
    OCIStmtFetch_fn OCIStmtFetch = nullptr;
    OCIDefineByPos_fn OCIDefineByPos = nullptr;
    OCILobRead_fn OCILobRead = nullptr;
    OCILobCharSetForm_fn OCILobCharSetForm = nullptr;
    OCIDateTimeGetDate_fn OCIDateTimeGetDate = nullptr;
    OCIDateTimeGetTime_fn OCIDateTimeGetTime = nullptr;
    // The Oracle writer's calls.
    OCIBindByName_fn OCIBindByName = nullptr;
    OCIBindDynamic_fn OCIBindDynamic = nullptr;
    OCILobWrite_fn OCILobWrite = nullptr;
};

// A loaded client library with its resolved function table.
struct ora_oci_library {
    tk_dynamic_library library;
    ora_oci_api api;
};

// The libraries to try, in order (see the header comment).
std::vector<std::string> ora_oci_candidates();

// Loads the first candidate that loads and resolves its table.  A candidate
// that does not load is logged at level 3 and the next is tried; one that
// loads but lacks a function raises tk_exception at level 1 naming the
// library and the function.  When none loads: tk_exception at level 1 with
// the message "The Oracle client and networking components were not
// found...".  Logs at level 3 which library answered.
ora_oci_library ora_oci_open(const std::vector<std::string>& candidates);

// Loads the process's client library from ora_oci_candidates() unless one is
// loaded already; the library stays loaded until the process ends.  Raises as
// ora_oci_open; a failed attempt leaves nothing loaded, so a later call tries
// again.  Not thread-safe (the engine's thread).
const ora_oci_api& ora_oci_load();
// The process's function table.  REQUIRES: ora_oci_load succeeded
// (otherwise tk_mail_assertion).
const ora_oci_api& ora_oci();
// Whether the process's client library is loaded.
bool ora_oci_is_loaded();
// The path of the library that answered, empty while none is loaded.
const std::string& ora_oci_library_path();

// A UTF-16 text as OCI takes it: its first byte and its length in bytes.
// Raises ora_exception when the text is too long for OCI's 32-bit lengths.
inline const OraText* ora_text(const std::u16string& text) {
    return reinterpret_cast<const OraText*>(text.data());
}
ub4 ora_text_bytes(const std::u16string& text);
