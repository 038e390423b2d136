// Fetches a generated table of N rows (default 1,000,000) through libocilite with SQLT_STR
// defines, one row per OCIStmtFetch as the reader does, and times `sqlite3 -csv` dumping the
// same table to /dev/null in the same run.  Prints rows per second of both and their ratio.
#include <dlfcn.h>
#include <sqlite3.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "koci.h"
#include "ol_catalog.h"
#include "ol_text.h"

namespace {

using clock_type = std::chrono::steady_clock;

bool run(sqlite3* db, const char* sql) {
    char* msg = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &msg) == SQLITE_OK) return true;
    std::fprintf(stderr, "SQL failed: %s\n", msg ? msg : "?");
    sqlite3_free(msg);
    return false;
}

// ID NUMBER(10), NAME VARCHAR2(30), AMOUNT NUMBER(12,2) (exact decimals as text), CREATED DATE,
// NOTE VARCHAR2(60) with every tenth value NULL.
bool make_table(const std::string& path, long rows) {
    std::remove(path.c_str());
    sqlite3* db = nullptr;
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) return false;
    bool ok = run(db, "BEGIN") && run(db, ocilite::kCatalogSchemaSql) &&
              run(db,
                  "INSERT INTO ocilite_tables(table_name, owner) VALUES('BIG', 'BENCH');"
                  "INSERT INTO ocilite_columns(table_name, column_id, column_name, data_type, "
                  "data_length, data_precision, data_scale, nullable) VALUES "
                  "('BIG', 1, 'ID', 'NUMBER', 22, 10, 0, 'N'),"
                  "('BIG', 2, 'NAME', 'VARCHAR2', 30, NULL, NULL, 'Y'),"
                  "('BIG', 3, 'AMOUNT', 'NUMBER', 22, 12, 2, 'Y'),"
                  "('BIG', 4, 'CREATED', 'DATE', 7, NULL, NULL, 'Y'),"
                  "('BIG', 5, 'NOTE', 'VARCHAR2', 60, NULL, NULL, 'Y');"
                  "CREATE TABLE BIG(ID, NAME, AMOUNT, CREATED, NOTE);");
    sqlite3_stmt* ins = nullptr;
    ok = ok && sqlite3_prepare_v2(db, "INSERT INTO BIG VALUES(?,?,?,?,?)", -1, &ins, nullptr) ==
                   SQLITE_OK;
    char buf[64];
    for (long i = 1; ok && i <= rows; ++i) {
        sqlite3_bind_int64(ins, 1, i);
        std::snprintf(buf, sizeof buf, "Customer %ld", i);
        sqlite3_bind_text(ins, 2, buf, -1, SQLITE_TRANSIENT);
        std::snprintf(buf, sizeof buf, "%ld.%02ld", (i * 7919) % 100000, i % 100);
        sqlite3_bind_text(ins, 3, buf, -1, SQLITE_TRANSIENT);
        std::snprintf(buf, sizeof buf, "20%02ld-%02ld-%02ld 12:%02ld:00", i % 25, i % 12 + 1,
                      i % 28 + 1, i % 60);
        sqlite3_bind_text(ins, 4, buf, -1, SQLITE_TRANSIENT);
        if (i % 10 == 0)
            sqlite3_bind_null(ins, 5);
        else
            sqlite3_bind_text(ins, 5, "a note of moderate length for the record", -1,
                              SQLITE_STATIC);
        ok = sqlite3_step(ins) == SQLITE_DONE;
        sqlite3_reset(ins);
    }
    sqlite3_finalize(ins);
    ok = ok && run(db, "COMMIT");
    sqlite3_close(db);
    return ok;
}

template <class F>
F sym(void* lib, const char* name) {
    auto f = reinterpret_cast<F>(dlsym(lib, name));
    if (!f) {
        std::fprintf(stderr, "missing %s\n", name);
        std::exit(2);
    }
    return f;
}

// Returns the number of rows fetched, or -1.
long fetch_all(const std::string& path, std::size_t& bytes) {
    void* lib = dlopen(OCILITE_LIB, RTLD_NOW | RTLD_LOCAL);
    if (!lib) return -1;
    auto EnvNlsCreate = sym<OCIEnvNlsCreate_fn>(lib, "OCIEnvNlsCreate");
    auto HandleAlloc = sym<OCIHandleAlloc_fn>(lib, "OCIHandleAlloc");
    auto HandleFree = sym<OCIHandleFree_fn>(lib, "OCIHandleFree");
    auto ServerAttach = sym<OCIServerAttach_fn>(lib, "OCIServerAttach");
    auto AttrSet = sym<OCIAttrSet_fn>(lib, "OCIAttrSet");
    auto SessionBegin = sym<OCISessionBegin_fn>(lib, "OCISessionBegin");
    auto StmtPrepare = sym<OCIStmtPrepare_fn>(lib, "OCIStmtPrepare");
    auto StmtExecute = sym<OCIStmtExecute_fn>(lib, "OCIStmtExecute");
    auto StmtFetch = sym<OCIStmtFetch_fn>(lib, "OCIStmtFetch");
    auto DefineByPos = sym<OCIDefineByPos_fn>(lib, "OCIDefineByPos");

    OCIEnv* env = nullptr;
    OCIError* err = nullptr;
    OCIServer* srv = nullptr;
    OCISession* usr = nullptr;
    OCISvcCtx* svc = nullptr;
    OCIStmt* st = nullptr;
    EnvNlsCreate(&env, 0, nullptr, nullptr, nullptr, nullptr, 0, nullptr, OCI_UTF16ID, OCI_UTF16ID);
    HandleAlloc(env, reinterpret_cast<void**>(&err), OCI_HTYPE_ERROR, 0, nullptr);
    HandleAlloc(env, reinterpret_cast<void**>(&srv), OCI_HTYPE_SERVER, 0, nullptr);
    HandleAlloc(env, reinterpret_cast<void**>(&usr), OCI_HTYPE_SESSION, 0, nullptr);
    HandleAlloc(env, reinterpret_cast<void**>(&svc), OCI_HTYPE_SVCCTX, 0, nullptr);
    HandleAlloc(env, reinterpret_cast<void**>(&st), OCI_HTYPE_STMT, 0, nullptr);
    const std::u16string db = ocilite::utf8_to_utf16(path);
    const std::u16string user = u"bench";
    long n = -1;
    if (ServerAttach(srv, err, reinterpret_cast<const OraText*>(db.data()),
                     static_cast<sb4>(db.size() * 2), 0) == OCI_SUCCESS &&
        AttrSet(svc, OCI_HTYPE_SVCCTX, srv, 0, OCI_ATTR_SERVER, err) == OCI_SUCCESS &&
        AttrSet(usr, OCI_HTYPE_SESSION, const_cast<char16_t*>(user.data()), 10, OCI_ATTR_USERNAME,
                err) == OCI_SUCCESS &&
        SessionBegin(svc, err, usr, OCI_CRED_RDBMS, 0) == OCI_SUCCESS) {
        const std::u16string q = u"SELECT * FROM \"BIG\"";
        StmtPrepare(st, err, reinterpret_cast<const OraText*>(q.data()),
                    static_cast<ub4>(q.size() * 2), OCI_NTV_SYNTAX, 0);
        // Buffers as the reader sizes them: 255 units for numbers, the column size for text.
        const sb4 sizes[5] = {510, 62, 510, 510, 122};
        std::vector<std::vector<char16_t>> bufs;
        sb2 ind[5] = {};
        for (int i = 0; i < 5; ++i) bufs.emplace_back(static_cast<std::size_t>(sizes[i] / 2));
        for (ub4 i = 0; i < 5; ++i) {
            OCIDefine* d = nullptr;
            DefineByPos(st, &d, err, i + 1, bufs[i].data(), sizes[i], SQLT_STR, &ind[i], nullptr,
                        nullptr, 0);
        }
        if (StmtExecute(svc, st, err, 0, 0, nullptr, nullptr, 0) == OCI_SUCCESS) {
            n = 0;
            while (StmtFetch(st, err, 1, OCI_FETCH_NEXT, 0) == OCI_SUCCESS) {
                ++n;
                for (int i = 0; i < 5; ++i)
                    if (ind[i] != -1) bytes += std::char_traits<char16_t>::length(bufs[i].data());
            }
        }
    }
    HandleFree(env, OCI_HTYPE_ENV);
    dlclose(lib);
    return n;
}

}  // namespace

int main(int argc, char** argv) {
    const long rows = argc > 1 ? std::atol(argv[1]) : 1000000;
    const std::string path = "/tmp/ocilite_fetch_bench_" + std::to_string(getpid()) + ".db";
    std::printf("generating %ld rows ...\n", rows);
    if (!make_table(path, rows)) return 1;

    std::size_t units = 0;
    auto t0 = clock_type::now();
    const long fetched = fetch_all(path, units);
    const double oci_s = std::chrono::duration<double>(clock_type::now() - t0).count();
    if (fetched != rows) {
        std::fprintf(stderr, "ocilite fetched %ld rows, expected %ld\n", fetched, rows);
        std::remove(path.c_str());
        return 1;
    }

    const std::string cmd = "sqlite3 -csv '" + path + "' 'SELECT * FROM BIG' > /dev/null";
    t0 = clock_type::now();
    const int rc = std::system(cmd.c_str());
    const double csv_s = std::chrono::duration<double>(clock_type::now() - t0).count();
    std::remove(path.c_str());

    std::printf("ocilite (SQLT_STR, 1 row/fetch): %ld rows in %.3f s = %.0f rows/s (%zu chars)\n",
                fetched, oci_s, fetched / oci_s, units);
    if (rc != 0) {
        std::printf("sqlite3 -csv: not available (status %d)\n", rc);
        return 0;
    }
    std::printf("sqlite3 -csv > /dev/null:        %ld rows in %.3f s = %.0f rows/s\n", rows, csv_s,
                rows / csv_s);
    std::printf("ocilite speed / sqlite3 speed: %.2f\n", csv_s / oci_s);
    return 0;
}
