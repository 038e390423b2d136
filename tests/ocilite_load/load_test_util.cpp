#include "load_test_util.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <fstream>

namespace ol_test {

temp_db::temp_db() {
    static std::atomic<int> counter{0};
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = info ? std::string(info->test_suite_name()) + "_" + info->name() : "db";
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    path_ =
        (std::filesystem::temp_directory_path() /
         ("ol_" + name + "_" + std::to_string(getpid()) + "_" + std::to_string(counter++) + ".db"))
            .string();
    std::filesystem::remove(path_);
}

temp_db::~temp_db() {
    db_.reset();
    std::error_code ec;
    std::filesystem::remove(path_, ec);
}

std::string temp_db::load(const std::string& script, ocilite::load::loader_options opts,
                          bool* completed, int* errors) {
    db_.reset();
    std::ostringstream diag;
    ocilite::load::loader l(path_, std::move(opts), diag);
    const bool ok = l.run_script(script, "t.sql");
    if (completed) *completed = ok;
    if (errors) *errors = l.error_count();
    return diag.str();
}

sqlite3* temp_db::open() {
    if (!db_) {
        sqlite3* raw = nullptr;
        sqlite3_open_v2(path_.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr);
        db_.reset(raw);
    }
    return db_.get();
}

std::vector<std::string> temp_db::column(const std::string& sql) {
    sqlite3_stmt* st = nullptr;
    std::vector<std::string> out;
    if (sqlite3_prepare_v2(open(), sql.c_str(), -1, &st, nullptr) != SQLITE_OK) {
        ADD_FAILURE() << sqlite3_errmsg(open()) << " in " << sql;
        return out;
    }
    while (sqlite3_step(st) == SQLITE_ROW) {
        const unsigned char* t = sqlite3_column_text(st, 0);
        out.push_back(t ? reinterpret_cast<const char*>(t) : "NULL");
    }
    sqlite3_finalize(st);
    return out;
}

std::optional<std::string> temp_db::value(const std::string& sql) {
    const auto rows = column(sql);
    if (rows.empty() || rows[0] == "NULL") return std::nullopt;
    return rows[0];
}

std::string temp_db::typed(const std::string& sql) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(open(), sql.c_str(), -1, &st, nullptr) != SQLITE_OK) {
        ADD_FAILURE() << sqlite3_errmsg(open()) << " in " << sql;
        return "error";
    }
    std::string r = "none";
    if (sqlite3_step(st) == SQLITE_ROW) {
        switch (sqlite3_column_type(st, 0)) {
            case SQLITE_INTEGER:
                r = "integer:";
                break;
            case SQLITE_FLOAT:
                r = "real:";
                break;
            case SQLITE_TEXT:
                r = "text:";
                break;
            case SQLITE_BLOB:
                r = "blob:";
                break;
            default:
                r = "null:";
                break;
        }
        if (sqlite3_column_type(st, 0) == SQLITE_BLOB) {
            const auto* p = static_cast<const unsigned char*>(sqlite3_column_blob(st, 0));
            static const char* hex = "0123456789ABCDEF";
            for (int i = 0; i < sqlite3_column_bytes(st, 0); ++i) {
                r += hex[p[i] >> 4];
                r += hex[p[i] & 15];
            }
        } else if (const unsigned char* t = sqlite3_column_text(st, 0)) {
            r += reinterpret_cast<const char*>(t);
        }
    }
    sqlite3_finalize(st);
    return r;
}

long long temp_db::count(const std::string& table) {
    const auto v = value("SELECT count(*) FROM \"" + table + "\"");
    return v ? std::stoll(*v) : -1;
}

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace ol_test
