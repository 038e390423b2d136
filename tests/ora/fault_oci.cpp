// A test client library: every OCI function forwards to the built libocilite,
// and OCIStmtFetch can be told to fail the way a server or client may (the end
// of the data before the counted rows, an invalid handle), like an
// error-injecting file system in storage tests.  Built a second time without
// OCIDateTimeGetTime (FAULT_OCI_OMIT_GET_TIME) as a library that lacks a
// function.
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>

#include "koci.h"

namespace {

void* real() {
    static void* lib = [] {
        void* l = dlopen(OCILITE_LIB, RTLD_NOW | RTLD_LOCAL);
        if (l == nullptr) {
            std::fprintf(stderr, "fault_oci: %s\n", dlerror());
            std::abort();
        }
        return l;
    }();
    return lib;
}

template <class F>
F fn(const char* name) {
    return reinterpret_cast<F>(dlsym(real(), name));
}

int g_no_data_after = -1;
ub4 g_prefetch_rows = 0;    // the last OCI_ATTR_PREFETCH_ROWS set on a statement
ub4 g_prefetch_memory = 0;  // successful fetches before every fetch reports the end
int g_fetches = 0;          // fetch calls since the last fault_set
bool g_invalid_handle = false;

}  // namespace

#define FORWARD(name, params, args)                                       \
    extern "C" __attribute__((visibility("default"))) sword name params { \
        static const auto real_fn = fn<name##_fn>(#name);                 \
        return real_fn args;                                              \
    }

FORWARD(OCIEnvNlsCreate,
        (OCIEnv * *a, ub4 b, void* c, void* (*d)(void*, size_t), void* (*e)(void*, void*, size_t),
         void (*f2)(void*, void*), size_t g, void** h, ub2 i, ub2 j),
        (a, b, c, d, e, f2, g, h, i, j))
FORWARD(OCIHandleAlloc, (const void* a, void** b, const ub4 c, const size_t d, void** e),
        (a, b, c, d, e))
FORWARD(OCIHandleFree, (void* a, const ub4 b), (a, b))
FORWARD(OCIDescriptorAlloc, (const void* a, void** b, const ub4 c, const size_t d, void** e),
        (a, b, c, d, e))
FORWARD(OCIDescriptorFree, (void* a, const ub4 b), (a, b))
FORWARD(OCIServerAttach, (OCIServer * a, OCIError* b, const OraText* c, sb4 d, ub4 e),
        (a, b, c, d, e))
FORWARD(OCIServerDetach, (OCIServer * a, OCIError* b, ub4 c), (a, b, c))
FORWARD(OCISessionBegin, (OCISvcCtx * a, OCIError* b, OCISession* c, ub4 d, ub4 e), (a, b, c, d, e))
FORWARD(OCISessionEnd, (OCISvcCtx * a, OCIError* b, OCISession* c, ub4 d), (a, b, c, d))
FORWARD(OCIAttrGet, (const void* a, ub4 b, void* c, ub4* d, ub4 e, OCIError* f), (a, b, c, d, e, f))
FORWARD(OCIParamGet, (const void* a, ub4 b, OCIError* c, void** d, ub4 e), (a, b, c, d, e))
FORWARD(OCIErrorGet, (void* a, ub4 b, OraText* c, sb4* d, OraText* e, ub4 f, ub4 g),
        (a, b, c, d, e, f, g))
FORWARD(OCIStmtPrepare, (OCIStmt * a, OCIError* b, const OraText* c, ub4 d, ub4 e, ub4 f),
        (a, b, c, d, e, f))
FORWARD(OCIStmtExecute,
        (OCISvcCtx * a, OCIStmt* b, OCIError* c, ub4 d, ub4 e, const OCISnapshot* f, OCISnapshot* g,
         ub4 h),
        (a, b, c, d, e, f, g, h))
FORWARD(OCIDefineByPos,
        (OCIStmt * a, OCIDefine** b, OCIError* c, ub4 d, void* e, sb4 f, ub2 g, void* h, ub2* i,
         ub2* j, ub4 k),
        (a, b, c, d, e, f, g, h, i, j, k))
FORWARD(OCILobRead,
        (OCISvcCtx * a, OCIError* b, OCILobLocator* c, ub4* d, ub4 e, void* f, ub4 g, void* h,
         OCICallbackLobRead i, ub2 j, ub1 k),
        (a, b, c, d, e, f, g, h, i, j, k))
FORWARD(OCILobCharSetForm, (OCIEnv * a, OCIError* b, const OCILobLocator* c, ub1* d), (a, b, c, d))
FORWARD(OCIDateTimeGetDate, (void* a, OCIError* b, const OCIDateTime* c, sb2* d, ub1* e, ub1* f),
        (a, b, c, d, e, f))
#ifndef FAULT_OCI_OMIT_GET_TIME
FORWARD(OCIDateTimeGetTime, (void* a, OCIError* b, OCIDateTime* c, ub1* d, ub1* e, ub1* f, ub4* g),
        (a, b, c, d, e, f, g))
#endif
FORWARD(OCIBindByName,
        (OCIStmt * a, OCIBind** b, OCIError* c, const OraText* d, sb4 e, void* f, sb4 g, ub2 h,
         void* i, ub2* j, ub2* k, ub4 l, ub4* m, ub4 n),
        (a, b, c, d, e, f, g, h, i, j, k, l, m, n))
FORWARD(OCIBindDynamic,
        (OCIBind * a, OCIError* b, void* c, OCICallbackInBind d, void* e, OCICallbackOutBind f),
        (a, b, c, d, e, f))
FORWARD(OCILobWrite,
        (OCISvcCtx * a, OCIError* b, OCILobLocator* c, ub4* d, ub4 e, void* f, ub4 g, ub1 h,
         void* i, OCICallbackLobWrite j, ub2 k, ub1 l),
        (a, b, c, d, e, f, g, h, i, j, k, l))

extern "C" __attribute__((visibility("default"))) sword OCIStmtFetch(OCIStmt* s, OCIError* e, ub4 n,
                                                                     ub2 o, ub4 m) {
    static const auto f = fn<OCIStmtFetch_fn>("OCIStmtFetch");
    ++g_fetches;
    if (g_invalid_handle) return OCI_INVALID_HANDLE;
    if (g_no_data_after == 0) return OCI_NO_DATA;
    const sword status = f(s, e, n, o, m);
    if (g_no_data_after > 0 && (status == OCI_SUCCESS || status == OCI_SUCCESS_WITH_INFO))
        --g_no_data_after;
    return status;
}

extern "C" __attribute__((visibility("default"))) sword OCIAttrSet(void* h, ub4 type, void* v,
                                                                   ub4 size, ub4 attr,
                                                                   OCIError* e) {
    static const auto f = fn<OCIAttrSet_fn>("OCIAttrSet");
    const sword status = f(h, type, v, size, attr, e);
    if (status == OCI_SUCCESS && type == OCI_HTYPE_STMT && v != nullptr) {
        if (attr == OCI_ATTR_PREFETCH_ROWS) g_prefetch_rows = *static_cast<ub4*>(v);
        if (attr == OCI_ATTR_PREFETCH_MEMORY) g_prefetch_memory = *static_cast<ub4*>(v);
    }
    return status;
}

// Controls, found by the tests with dlsym.
extern "C" __attribute__((visibility("default"))) void fault_set(int no_data_after,
                                                                 bool invalid_handle) {
    g_no_data_after = no_data_after;
    g_invalid_handle = invalid_handle;
    g_fetches = 0;
}

extern "C" __attribute__((visibility("default"))) int fault_fetches() {
    return g_fetches;
}

extern "C" __attribute__((visibility("default"))) ub4 fault_prefetch(int memory) {
    return memory ? g_prefetch_memory : g_prefetch_rows;
}
