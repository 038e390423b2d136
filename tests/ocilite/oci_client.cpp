#include "oci_client.h"

#include <gtest/gtest.h>

#include <cstring>

#include "ol_text.h"

namespace ocilite_test {

std::u16string u16(const std::string& utf8) {
    return ocilite::utf8_to_utf16(utf8);
}
std::string u8(const std::u16string& s) {
    return ocilite::utf16_to_utf8(s);
}
std::string u8(const char16_t* p) {
    return u8(std::u16string(p));
}

oci_api::oci_api() {
    lib = dlopen(OCILITE_LIB, RTLD_NOW | RTLD_LOCAL);
    if (!lib) {
        ADD_FAILURE() << "dlopen " << OCILITE_LIB << ": " << dlerror();
        return;
    }
    auto sym = [&](auto& fn, const char* name) {
        fn = reinterpret_cast<std::remove_reference_t<decltype(fn)>>(dlsym(lib, name));
        if (!fn) ADD_FAILURE() << "missing symbol " << name;
    };
    sym(EnvNlsCreate, "OCIEnvNlsCreate");
    sym(HandleAlloc, "OCIHandleAlloc");
    sym(HandleFree, "OCIHandleFree");
    sym(DescriptorAlloc, "OCIDescriptorAlloc");
    sym(DescriptorFree, "OCIDescriptorFree");
    sym(ServerAttach, "OCIServerAttach");
    sym(ServerDetach, "OCIServerDetach");
    sym(SessionBegin, "OCISessionBegin");
    sym(SessionEnd, "OCISessionEnd");
    sym(AttrSet, "OCIAttrSet");
    sym(AttrGet, "OCIAttrGet");
    sym(ParamGet, "OCIParamGet");
    sym(ErrorGet, "OCIErrorGet");
    sym(StmtPrepare, "OCIStmtPrepare");
    sym(StmtExecute, "OCIStmtExecute");
    sym(StmtFetch, "OCIStmtFetch");
    sym(DefineByPos, "OCIDefineByPos");
    sym(LobRead, "OCILobRead");
    sym(LobCharSetForm, "OCILobCharSetForm");
    sym(LobGetLength, "OCILobGetLength");
    sym(DateTimeGetDate, "OCIDateTimeGetDate");
    sym(DateTimeGetTime, "OCIDateTimeGetTime");
}

oci_api::~oci_api() {
    if (lib) dlclose(lib);
}

session::session(oci_api& a) : api(a) {
    EXPECT_EQ(OCI_SUCCESS, api.EnvNlsCreate(&env, OCI_DEFAULT, nullptr, nullptr, nullptr, nullptr,
                                            0, nullptr, OCI_UTF16ID, OCI_UTF16ID));
    EXPECT_EQ(OCI_SUCCESS,
              api.HandleAlloc(env, reinterpret_cast<void**>(&err), OCI_HTYPE_ERROR, 52, nullptr));
    EXPECT_EQ(OCI_SUCCESS,
              api.HandleAlloc(env, reinterpret_cast<void**>(&srv), OCI_HTYPE_SERVER, 52, nullptr));
    EXPECT_EQ(OCI_SUCCESS,
              api.HandleAlloc(env, reinterpret_cast<void**>(&usr), OCI_HTYPE_SESSION, 0, nullptr));
    EXPECT_EQ(OCI_SUCCESS,
              api.HandleAlloc(env, reinterpret_cast<void**>(&svc), OCI_HTYPE_SVCCTX, 0, nullptr));
}

session::~session() {
    api.SessionEnd(svc, err, usr, OCI_DEFAULT);
    api.ServerDetach(srv, err, OCI_DEFAULT);
    // Freeing the environment frees every handle allocated under it.
    api.HandleFree(env, OCI_HTYPE_ENV);
}

sword session::connect(const std::string& db, const std::string& user,
                       const std::string& password) {
    const std::u16string d = u16(db), u = u16(user), p = u16(password);
    sword rc = api.ServerAttach(srv, err, reinterpret_cast<const OraText*>(d.data()),
                                static_cast<sb4>(d.size() * 2), OCI_DEFAULT);
    if (rc != OCI_SUCCESS) return rc;
    rc = api.AttrSet(svc, OCI_HTYPE_SVCCTX, srv, 0, OCI_ATTR_SERVER, err);
    if (rc != OCI_SUCCESS) return rc;
    rc = api.AttrSet(usr, OCI_HTYPE_SESSION, const_cast<char16_t*>(u.data()),
                     static_cast<ub4>(u.size() * 2), OCI_ATTR_USERNAME, err);
    if (rc != OCI_SUCCESS) return rc;
    rc = api.AttrSet(usr, OCI_HTYPE_SESSION, const_cast<char16_t*>(p.data()),
                     static_cast<ub4>(p.size() * 2), OCI_ATTR_PASSWORD, err);
    if (rc != OCI_SUCCESS) return rc;
    rc = api.SessionBegin(svc, err, usr, OCI_CRED_RDBMS, OCI_DEFAULT);
    if (rc != OCI_SUCCESS) return rc;
    return api.AttrSet(svc, OCI_HTYPE_SVCCTX, usr, 0, OCI_ATTR_SESSION, err);
}

int session::error_code() {
    sb4 code = 0;
    char16_t buf[256] = {};
    if (api.ErrorGet(err, 1, nullptr, &code, reinterpret_cast<OraText*>(buf), sizeof buf,
                     OCI_HTYPE_ERROR) != OCI_SUCCESS)
        return 0;
    return code;
}

std::string session::error_text() {
    sb4 code = 0;
    char16_t buf[512] = {};
    if (api.ErrorGet(err, 1, nullptr, &code, reinterpret_cast<OraText*>(buf), sizeof buf,
                     OCI_HTYPE_ERROR) != OCI_SUCCESS)
        return {};
    return u8(buf);
}

OCIStmt* session::new_stmt() {
    OCIStmt* s = nullptr;
    EXPECT_EQ(OCI_SUCCESS,
              api.HandleAlloc(env, reinterpret_cast<void**>(&s), OCI_HTYPE_STMT, 0, nullptr));
    return s;
}

void session::free_stmt(OCIStmt* s) {
    EXPECT_EQ(OCI_SUCCESS, api.HandleFree(s, OCI_HTYPE_STMT));
}

sword session::execute(OCIStmt* stmt, const std::string& sql, ub4 iters, ub4 mode) {
    const std::u16string q = u16(sql);
    const sword rc = api.StmtPrepare(stmt, err, reinterpret_cast<const OraText*>(q.data()),
                                     static_cast<ub4>(q.size() * 2), OCI_NTV_SYNTAX, OCI_DEFAULT);
    if (rc != OCI_SUCCESS) return rc;
    return api.StmtExecute(svc, stmt, err, iters, 0, nullptr, nullptr, mode);
}

std::vector<param_info> session::describe(const std::string& sql) {
    std::vector<param_info> out;
    OCIStmt* s = new_stmt();
    EXPECT_EQ(OCI_SUCCESS, execute(s, sql)) << sql << ": " << error_text();
    ub4 count = 0;
    api.AttrGet(s, OCI_HTYPE_STMT, &count, nullptr, OCI_ATTR_PARAM_COUNT, err);
    for (ub4 i = 1; i <= count; ++i) {
        void* p = nullptr;
        EXPECT_EQ(OCI_SUCCESS, api.ParamGet(s, OCI_HTYPE_STMT, err, &p, i));
        param_info pi;
        char16_t* name = nullptr;
        ub4 name_len = 0;
        api.AttrGet(p, OCI_DTYPE_PARAM, &pi.type, nullptr, OCI_ATTR_DATA_TYPE, err);
        api.AttrGet(p, OCI_DTYPE_PARAM, &name, &name_len, OCI_ATTR_NAME, err);
        api.AttrGet(p, OCI_DTYPE_PARAM, &pi.size, nullptr, OCI_ATTR_DATA_SIZE, err);
        api.AttrGet(p, OCI_DTYPE_PARAM, &pi.precision, nullptr, OCI_ATTR_PRECISION, err);
        api.AttrGet(p, OCI_DTYPE_PARAM, &pi.scale, nullptr, OCI_ATTR_SCALE, err);
        api.AttrGet(p, OCI_DTYPE_PARAM, &pi.is_null, nullptr, OCI_ATTR_IS_NULL, err);
        api.AttrGet(p, OCI_DTYPE_PARAM, &pi.charset_form, nullptr, OCI_ATTR_CHARSET_FORM, err);
        pi.name = u8(std::u16string(name, name_len / 2));
        out.push_back(pi);
    }
    free_stmt(s);
    return out;
}

std::vector<text_row> session::rows(const std::string& sql, std::size_t buffer_chars) {
    std::vector<text_row> out;
    OCIStmt* s = new_stmt();
    EXPECT_EQ(OCI_SUCCESS, execute(s, sql)) << sql << ": " << error_text();
    ub4 count = 0;
    api.AttrGet(s, OCI_HTYPE_STMT, &count, nullptr, OCI_ATTR_PARAM_COUNT, err);
    std::vector<std::u16string> bufs(count, std::u16string(buffer_chars + 1, u'\0'));
    std::vector<sb2> ind(count, 0);
    for (ub4 i = 0; i < count; ++i) {
        OCIDefine* d = nullptr;
        EXPECT_EQ(OCI_SUCCESS, api.DefineByPos(s, &d, err, i + 1, bufs[i].data(),
                                               static_cast<sb4>(bufs[i].size() * 2), SQLT_STR,
                                               &ind[i], nullptr, nullptr, OCI_DEFAULT));
    }
    while (true) {
        const sword rc = api.StmtFetch(s, err, 1, OCI_FETCH_NEXT, OCI_DEFAULT);
        if (rc == OCI_NO_DATA) break;
        EXPECT_TRUE(rc == OCI_SUCCESS || rc == OCI_SUCCESS_WITH_INFO)
            << sql << ": " << error_text();
        if (rc != OCI_SUCCESS && rc != OCI_SUCCESS_WITH_INFO) break;
        text_row row;
        for (ub4 i = 0; i < count; ++i)
            row.push_back(ind[i] == -1 ? std::nullopt
                                       : std::optional<std::string>(u8(bufs[i].c_str())));
        out.push_back(std::move(row));
    }
    free_stmt(s);
    return out;
}

int session::query_error(const std::string& sql) {
    OCIStmt* s = new_stmt();
    const sword rc = execute(s, sql);
    const int code = rc == OCI_ERROR ? error_code() : 0;
    free_stmt(s);
    return code;
}

}  // namespace ocilite_test
