#include "ora_oci.h"

#include <cstdlib>
#include <memory>

#include "ora_exception.h"
#include "tk_exception.h"
#include "tk_logger.h"
#include "tk_path.h"
#include "tk_system.h"

namespace {

#if defined(_WIN32)
constexpr const char* kPlatformClient = "oci.dll";
constexpr const char* kBundledEngine = "ocilite.dll";
#else
constexpr const char* kPlatformClient = "libclntsh.so";
constexpr const char* kBundledEngine = "libocilite.so";
#endif

constexpr const char* kNotFound =
    "The Oracle client and networking components were not found.\n"
    "These components are supplied by the Oracle Corporation and\n"
    "are part of the Oracle Version 7.3.4 (or later) client\n"
    "software installation. You will be unable to use this program\n"
    "until these components have been installed.";

// Resolves one function of the table; a missing one refuses the library.
template <class F>
void resolve(const tk_dynamic_library& library, F& slot, const char* name) {
    slot = reinterpret_cast<F>(library.symbol(name));
    if (slot == nullptr) {
        tk_log(3, "The library '%s' does not export %s", library.path(), name);
        throw tk_exception("The Oracle client library '" + library.path() +
                               "' cannot be used: it lacks the function " + name + ".",
                           1);
    }
}

void resolve_all(const tk_dynamic_library& l, ora_oci_api& a) {
#define ORA_OCI_RESOLVE(name) resolve(l, a.name, #name)
    ORA_OCI_RESOLVE(OCIEnvNlsCreate);
    ORA_OCI_RESOLVE(OCIHandleAlloc);
    ORA_OCI_RESOLVE(OCIHandleFree);
    ORA_OCI_RESOLVE(OCIDescriptorAlloc);
    ORA_OCI_RESOLVE(OCIDescriptorFree);
    ORA_OCI_RESOLVE(OCIServerAttach);
    ORA_OCI_RESOLVE(OCIServerDetach);
    ORA_OCI_RESOLVE(OCISessionBegin);
    ORA_OCI_RESOLVE(OCISessionEnd);
    ORA_OCI_RESOLVE(OCIAttrSet);
    ORA_OCI_RESOLVE(OCIAttrGet);
    ORA_OCI_RESOLVE(OCIParamGet);
    ORA_OCI_RESOLVE(OCIErrorGet);
    ORA_OCI_RESOLVE(OCIStmtPrepare);
    ORA_OCI_RESOLVE(OCIStmtExecute);
    ORA_OCI_RESOLVE(OCIStmtFetch);
    ORA_OCI_RESOLVE(OCIDefineByPos);
    ORA_OCI_RESOLVE(OCILobRead);
    ORA_OCI_RESOLVE(OCILobCharSetForm);
    ORA_OCI_RESOLVE(OCIDateTimeGetDate);
    ORA_OCI_RESOLVE(OCIDateTimeGetTime);
    ORA_OCI_RESOLVE(OCIBindByName);
    ORA_OCI_RESOLVE(OCIBindDynamic);
    ORA_OCI_RESOLVE(OCILobWrite);
#undef ORA_OCI_RESOLVE
}

// The process's library: loaded once, never unloaded (the OCI environment
// lives until the process ends).
struct process_library {
    std::unique_ptr<ora_oci_library> loaded;
    std::string path;
};

process_library& process() {
    static process_library p;
    return p;
}

}  // namespace

std::vector<std::string> ora_oci_candidates() {
    const char* chosen = std::getenv("KESTREL_OCI_LIB");
    if (chosen != nullptr && *chosen != '\0') return {chosen};
    return {kPlatformClient, tk_file_name(tk_program_path()).folder_path() + kBundledEngine};
}

ora_oci_library ora_oci_open(const std::vector<std::string>& candidates) {
    for (const std::string& path : candidates) {
        ora_oci_library result;
        if (!result.library.open(path)) {
            tk_log(3, "Cannot load the Oracle client library '%s': %s", path,
                   result.library.error());
            continue;
        }
        resolve_all(result.library, result.api);
        tk_log(3, "Oracle client library: %s", path);
        return result;
    }
    throw tk_exception(kNotFound, 1);
}

const ora_oci_api& ora_oci_load() {
    process_library& p = process();
    if (p.loaded == nullptr) {
        auto library = std::make_unique<ora_oci_library>(ora_oci_open(ora_oci_candidates()));
        p.path = library->library.path();
        library->library.keep();
        p.loaded = std::move(library);
    }
    return p.loaded->api;
}

const ora_oci_api& ora_oci() {
    process_library& p = process();
    TK_ASSERT(p.loaded != nullptr);
    return p.loaded->api;
}

bool ora_oci_is_loaded() {
    return process().loaded != nullptr;
}

const std::string& ora_oci_library_path() {
    return process().path;
}

ub4 ora_text_bytes(const std::u16string& text) {
    // OCI takes lengths as signed 32-bit byte counts in some calls.
    constexpr size_t kMaxUnits = 0x7FFFFFFF / 2;
    if (text.size() > kMaxUnits) {
        throw ora_exception(0, "The text of " + std::to_string(text.size()) +
                                   " characters is too long for the Oracle client.");
    }
    return static_cast<ub4>(text.size() * 2);
}
