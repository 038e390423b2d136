// Reads a generated table of N rows (default 1,000,000) of 8 columns,
//   ID NUMBER(10), NAME VARCHAR2(40), AMOUNT NUMBER(12,2), CREATED DATE,
//   FLAG CHAR(1), NOTE VARCHAR2(200) (every seventh NULL),
//   BODY CLOB (0..600 characters), VAL BINARY_DOUBLE,
// through ora_table into udb_records, and in the same run through the raw
// OCI calls of libocilite with the same defines (NUMBER text, date-time
// descriptor, LOB locator read in 32 KiB pieces, native double), leaving the
// values in the OCI buffers.  Each path runs three times, alternating; the
// best run of each is reported in rows per second of wall-clock and of
// process CPU time (steadier on a shared machine), with their ratio.
//
//   ora_read_bench [rows] [database file]   (a given file is kept and reused)
#include <dlfcn.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "koci.h"
#include "ol_loader.h"
#include "ora_database.h"
#include "ora_engine.h"
#include "udb_recordset.h"

namespace {

using clock_type = std::chrono::steady_clock;

constexpr const char* kCreate = R"sql(
CREATE TABLE big (
  id NUMBER(10) NOT NULL,
  name VARCHAR2(40),
  amount NUMBER(12,2),
  created DATE,
  flag CHAR(1),
  note VARCHAR2(200),
  body CLOB,
  val BINARY_DOUBLE
);
)sql";

bool make_table(const std::string& path, long rows) {
    std::remove(path.c_str());
    {
        ocilite::load::loader_options options;
        options.strict = true;
        options.users.push_back({"BENCH", "bench", false});
        std::ostringstream diagnostics;
        ocilite::load::loader loader(path, options, diagnostics);
        if (!loader.run_script(kCreate, "create.sql")) {
            std::fprintf(stderr, "%s", diagnostics.str().c_str());
            return false;
        }
    }
    sqlite3* db = nullptr;
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) return false;
    sqlite3_exec(db, "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; BEGIN", nullptr, nullptr,
                 nullptr);
    sqlite3_stmt* ins = nullptr;
    bool ok = sqlite3_prepare_v2(db, "INSERT INTO BIG VALUES(?,?,?,?,?,?,?,?)", -1, &ins,
                                 nullptr) == SQLITE_OK;
    std::string pattern;
    while (pattern.size() < 700) pattern += "Lorem ipsum dolor sit amet, café crème; ";
    char buf[256];
    for (long i = 1; ok && i <= rows; ++i) {
        sqlite3_bind_int64(ins, 1, i);
        std::snprintf(buf, sizeof buf, "Customer number %ld", i);
        sqlite3_bind_text(ins, 2, buf, -1, SQLITE_TRANSIENT);
        std::snprintf(buf, sizeof buf, "%ld.%02ld", (i * 7919) % 10000000, i % 100);
        sqlite3_bind_text(ins, 3, buf, -1, SQLITE_TRANSIENT);
        std::snprintf(buf, sizeof buf, "20%02ld-%02ld-%02ld %02ld:%02ld:00", i % 25, i % 12 + 1,
                      i % 28 + 1, i % 24, i % 60);
        sqlite3_bind_text(ins, 4, buf, -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(ins, 5, i % 2 ? "Y" : "N", 1, SQLITE_STATIC);
        if (i % 7 == 0) {
            sqlite3_bind_null(ins, 6);
        } else {
            const int n = static_cast<int>(20 + (i * 31) % 180);
            sqlite3_bind_text(ins, 6, pattern.data(), n, SQLITE_TRANSIENT);
        }
        // 0..600 characters, cut at a character boundary of the pattern.
        int len = static_cast<int>((i * 7919) % 601);
        while (len > 0 &&
               (static_cast<unsigned char>(pattern[static_cast<size_t>(len)]) & 0xC0) == 0x80)
            --len;
        sqlite3_bind_text(ins, 7, pattern.data(), len, SQLITE_TRANSIENT);
        sqlite3_bind_double(ins, 8, static_cast<double>(i) * 0.37);
        ok = sqlite3_step(ins) == SQLITE_DONE;
        sqlite3_reset(ins);
    }
    sqlite3_finalize(ins);
    ok = ok && sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
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

void check(sword status, const char* what) {
    if (status != OCI_SUCCESS && status != OCI_SUCCESS_WITH_INFO && status != OCI_NO_DATA &&
        status != OCI_NEED_DATA) {
        std::fprintf(stderr, "%s failed: %d\n", what, status);
        std::exit(1);
    }
}

// The raw fetch: returns the rows read; sink collects the value lengths so
// that nothing is optimised away.
long raw_fetch(const std::string& path, size_t& sink) {
    void* lib = dlopen(OCILITE_LIB, RTLD_NOW | RTLD_LOCAL);
    if (!lib) {
        std::fprintf(stderr, "dlopen: %s\n", dlerror());
        std::exit(2);
    }
    auto EnvNlsCreate = sym<OCIEnvNlsCreate_fn>(lib, "OCIEnvNlsCreate");
    auto HandleAlloc = sym<OCIHandleAlloc_fn>(lib, "OCIHandleAlloc");
    auto HandleFree = sym<OCIHandleFree_fn>(lib, "OCIHandleFree");
    auto DescriptorAlloc = sym<OCIDescriptorAlloc_fn>(lib, "OCIDescriptorAlloc");
    auto ServerAttach = sym<OCIServerAttach_fn>(lib, "OCIServerAttach");
    auto AttrSet = sym<OCIAttrSet_fn>(lib, "OCIAttrSet");
    auto SessionBegin = sym<OCISessionBegin_fn>(lib, "OCISessionBegin");
    auto StmtPrepare = sym<OCIStmtPrepare_fn>(lib, "OCIStmtPrepare");
    auto StmtExecute = sym<OCIStmtExecute_fn>(lib, "OCIStmtExecute");
    auto StmtFetch = sym<OCIStmtFetch_fn>(lib, "OCIStmtFetch");
    auto DefineByPos = sym<OCIDefineByPos_fn>(lib, "OCIDefineByPos");
    auto LobRead = sym<OCILobRead_fn>(lib, "OCILobRead");
    auto DateTimeGetDate = sym<OCIDateTimeGetDate_fn>(lib, "OCIDateTimeGetDate");

    OCIEnv* env = nullptr;
    OCIError* err = nullptr;
    OCIServer* srv = nullptr;
    OCISession* usr = nullptr;
    OCISvcCtx* svc = nullptr;
    OCIStmt* st = nullptr;
    check(EnvNlsCreate(&env, OCI_DEFAULT, nullptr, nullptr, nullptr, nullptr, 0, nullptr,
                       OCI_UTF16ID, OCI_UTF16ID),
          "env");
    HandleAlloc(env, reinterpret_cast<void**>(&err), OCI_HTYPE_ERROR, 0, nullptr);
    HandleAlloc(env, reinterpret_cast<void**>(&srv), OCI_HTYPE_SERVER, 0, nullptr);
    HandleAlloc(env, reinterpret_cast<void**>(&usr), OCI_HTYPE_SESSION, 0, nullptr);
    HandleAlloc(env, reinterpret_cast<void**>(&svc), OCI_HTYPE_SVCCTX, 0, nullptr);
    HandleAlloc(env, reinterpret_cast<void**>(&st), OCI_HTYPE_STMT, 0, nullptr);
    const std::u16string db(path.begin(), path.end()), user = u"BENCH", pw = u"bench";
    check(ServerAttach(srv, err, reinterpret_cast<const OraText*>(db.data()),
                       static_cast<sb4>(db.size() * 2), OCI_DEFAULT),
          "attach");
    AttrSet(svc, OCI_HTYPE_SVCCTX, srv, 0, OCI_ATTR_SERVER, err);
    AttrSet(usr, OCI_HTYPE_SESSION, const_cast<char16_t*>(user.data()), 10, OCI_ATTR_USERNAME, err);
    AttrSet(usr, OCI_HTYPE_SESSION, const_cast<char16_t*>(pw.data()), 10, OCI_ATTR_PASSWORD, err);
    check(SessionBegin(svc, err, usr, OCI_CRED_RDBMS, OCI_DEFAULT), "session");
    AttrSet(svc, OCI_HTYPE_SVCCTX, usr, 0, OCI_ATTR_SESSION, err);

    const std::u16string sql = u"SELECT * FROM \"BIG\"";
    check(StmtPrepare(st, err, reinterpret_cast<const OraText*>(sql.data()),
                      static_cast<ub4>(sql.size() * 2), OCI_NTV_SYNTAX, OCI_DEFAULT),
          "prepare");
    char16_t id[256], name[41], amount[256], flag[2], note[201];
    OCIDateTime* created = nullptr;
    OCILobLocator* body = nullptr;
    double val = 0;
    DescriptorAlloc(env, reinterpret_cast<void**>(&created), OCI_DTYPE_TIMESTAMP, 0, nullptr);
    DescriptorAlloc(env, reinterpret_cast<void**>(&body), OCI_DTYPE_LOB, 0, nullptr);
    sb2 ind[8] = {};
    OCIDefine* d[8] = {};
    check(DefineByPos(st, &d[0], err, 1, id, sizeof id, SQLT_STR, &ind[0], nullptr, nullptr, 0),
          "define");
    check(DefineByPos(st, &d[1], err, 2, name, sizeof name, SQLT_STR, &ind[1], nullptr, nullptr, 0),
          "define");
    check(DefineByPos(st, &d[2], err, 3, amount, sizeof amount, SQLT_STR, &ind[2], nullptr, nullptr,
                      0),
          "define");
    check(DefineByPos(st, &d[3], err, 4, &created, sizeof created, SQLT_TIMESTAMP, &ind[3], nullptr,
                      nullptr, 0),
          "define");
    check(DefineByPos(st, &d[4], err, 5, flag, sizeof flag, SQLT_STR, &ind[4], nullptr, nullptr, 0),
          "define");
    check(DefineByPos(st, &d[5], err, 6, note, sizeof note, SQLT_STR, &ind[5], nullptr, nullptr, 0),
          "define");
    check(DefineByPos(st, &d[6], err, 7, &body, -1, SQLT_CLOB, &ind[6], nullptr, nullptr, 0),
          "define");
    check(DefineByPos(st, &d[7], err, 8, &val, sizeof val, SQLT_BDOUBLE, &ind[7], nullptr, nullptr,
                      0),
          "define");
    check(StmtExecute(svc, st, err, 0, 0, nullptr, nullptr, OCI_DEFAULT), "execute");
    std::vector<char> piece(32768);
    long rows = 0;
    while (StmtFetch(st, err, 1, OCI_FETCH_NEXT, OCI_DEFAULT) != OCI_NO_DATA) {
        ++rows;
        sink += std::char_traits<char16_t>::length(name) + static_cast<size_t>(val > 0);
        if (ind[3] != -1) {
            sb2 y = 0;
            ub1 m = 0, dd = 0;
            DateTimeGetDate(env, err, created, &y, &m, &dd);
            sink += static_cast<size_t>(dd);
        }
        if (ind[6] != -1) {
            ub4 offset = 1;
            for (;;) {
                ub4 amount_read = 0;
                const sword rc = LobRead(svc, err, body, &amount_read, offset, piece.data(),
                                         static_cast<ub4>(piece.size()), nullptr, nullptr,
                                         OCI_UTF16ID, SQLCS_IMPLICIT);
                check(rc, "lob read");
                if (amount_read == 0) break;
                sink += amount_read;
                offset += amount_read;
                if (rc == OCI_SUCCESS && amount_read * 2 < piece.size()) break;
            }
        }
    }
    HandleFree(env, OCI_HTYPE_ENV);
    dlclose(lib);
    return rows;
}

long ora_table_read(const std::string& path, size_t& sink) {
    ora_engine engine;
    auto db = engine.open_db(std::u16string(path.begin(), path.end()), u"BENCH", u"bench");
    db->get_tables();
    auto table = db->get_table(u"BIG", 1);
    long rows = 0;
    while (!table->is_eof()) {
        const udb_record* record = table->get_item();
        if (record == nullptr) break;
        ++rows;
        for (const udb_field& f : *record) sink += static_cast<size_t>(f.vt());
        sink += (*record)[6].get_bstr().size();
        table->next();
    }
    return rows;
}

}  // namespace

int main(int argc, char** argv) {
    const long rows = argc > 1 ? std::atol(argv[1]) : 1000000;
    const bool keep = argc > 2;
    const std::string path = keep ? argv[2]
                                  : (std::filesystem::temp_directory_path() /
                                     ("ora_read_bench_" + std::to_string(getpid()) + ".db"))
                                        .string();
    setenv("KESTREL_OCI_LIB", OCILITE_LIB, 1);
    if (!keep || !std::filesystem::exists(path)) {
        const auto t0 = clock_type::now();
        if (!make_table(path, rows)) {
            std::fprintf(stderr, "cannot build the table\n");
            return 1;
        }
        std::printf("generated %ld rows in %.1f s (%s, %.0f MB)\n", rows,
                    std::chrono::duration<double>(clock_type::now() - t0).count(), path.c_str(),
                    static_cast<double>(std::filesystem::file_size(path)) / 1e6);
    }
    struct best {
        double wall = 0, cpu = 0;
    } raw, ora;
    size_t sink = 0;
    auto measure = [&](auto read, best& b, const char* label) {
        const auto t0 = clock_type::now();
        const std::clock_t c0 = std::clock();
        const long got = read(path, sink);
        const double cpu = static_cast<double>(std::clock() - c0) / CLOCKS_PER_SEC;
        const double wall = std::chrono::duration<double>(clock_type::now() - t0).count();
        if (got != rows) {
            std::fprintf(stderr, "%s read %ld rows of %ld\n", label, got, rows);
            std::exit(1);
        }
        std::printf("  %-14s %9.0f rows/s wall (%.2f s), %9.0f rows/s CPU (%.2f s)\n", label,
                    rows / wall, wall, rows / cpu, cpu);
        b.wall = std::max(b.wall, rows / wall);
        b.cpu = std::max(b.cpu, rows / cpu);
    };
    for (int round = 1; round <= 3; ++round) {
        std::printf("round %d\n", round);
        measure(raw_fetch, raw, "raw OCI fetch");
        measure(ora_table_read, ora, "ora_table");
    }
    std::printf("best wall: raw OCI fetch %.0f rows/s, ora_table %.0f rows/s, ratio %.2f\n",
                raw.wall, ora.wall, ora.wall / raw.wall);
    std::printf("best CPU:  raw OCI fetch %.0f rows/s, ora_table %.0f rows/s, ratio %.2f\n",
                raw.cpu, ora.cpu, ora.cpu / raw.cpu);
    std::printf("(sink %zu)\n", sink);
    if (!keep) std::remove(path.c_str());
    return 0;
}
