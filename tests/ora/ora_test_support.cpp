#include "ora_test_support.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

#include "ol_loader.h"
#include "tk_string.h"
#include "udb_recordset.h"

namespace ora_test {

std::string u8(const std::u16string& s) {
    return tk_ucs2_to_utf8(s);
}

std::u16string u16(const std::string& s) {
    return tk_utf8_to_ucs2(s);
}

void use_built_ocilite() {
    setenv("KESTREL_OCI_LIB", OCILITE_LIB, 0);
}

temp_folder::temp_folder() {
    static std::atomic<unsigned> counter{0};
    std::random_device random;
    for (;;) {
        const std::string name = "kestrel_ora_" + std::to_string(getpid()) + "_" +
                                 std::to_string(counter++) + "_" + std::to_string(random());
        path_ = std::filesystem::temp_directory_path() / name;
        if (std::filesystem::create_directory(path_)) break;
    }
}

temp_folder::~temp_folder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

temp_db::temp_db(const std::string& script, const std::string& banner, const std::string& user,
                 const std::string& password)
    : path_(folder_.file("test.db")) {
    ocilite::load::loader_options options;
    options.strict = true;
    options.banner = banner;
    options.users.push_back({user, password, false});
    std::ostringstream diagnostics;
    ocilite::load::loader loader(path_, options, diagnostics);
    EXPECT_TRUE(loader.run_script(script, "test.sql")) << diagnostics.str();
    EXPECT_EQ(0, loader.error_count()) << diagnostics.str();
}

namespace {
struct db_closer {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
std::unique_ptr<sqlite3, db_closer> open_file(const std::string& path, int flags) {
    sqlite3* raw = nullptr;
    EXPECT_EQ(SQLITE_OK, sqlite3_open_v2(path.c_str(), &raw, flags, nullptr)) << path;
    return std::unique_ptr<sqlite3, db_closer>(raw);
}
}  // namespace

void temp_db::exec(const std::string& sql) const {
    auto db = open_file(path_, SQLITE_OPEN_READWRITE);
    char* message = nullptr;
    EXPECT_EQ(SQLITE_OK, sqlite3_exec(db.get(), sql.c_str(), nullptr, nullptr, &message))
        << sql << ": " << (message ? message : "");
    sqlite3_free(message);
}

void temp_db::set(const std::string& sql, const std::string& value, bool is_blob) const {
    auto db = open_file(path_, SQLITE_OPEN_READWRITE);
    sqlite3_stmt* st = nullptr;
    ASSERT_EQ(SQLITE_OK, sqlite3_prepare_v2(db.get(), sql.c_str(), -1, &st, nullptr)) << sql;
    if (is_blob)
        sqlite3_bind_blob(st, 1, value.data(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
    else
        sqlite3_bind_text(st, 1, value.data(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
    EXPECT_EQ(SQLITE_DONE, sqlite3_step(st)) << sql;
    sqlite3_finalize(st);
}

log_capture::log_capture(int min_level)
    : file_(folder_.file("trace.log")),
      logger_(std::make_unique<tk_logger>(file_.c_str(), true, min_level, false)) {}

std::string log_capture::text() const {
    std::ifstream in(file_, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

connection connect(const std::string& path, const std::string& user, const std::string& password) {
    use_built_ocilite();
    connection c;
    c.engine = std::make_unique<ora_engine>();
    c.db = c.engine->open_db(u16(path), u16(user), u16(password));
    return c;
}

std::vector<std::vector<ole_variant>> read_rows(udb_recordset& rs) {
    std::vector<std::vector<ole_variant>> rows;
    while (!rs.is_eof()) {
        const udb_record* record = rs.get_item();
        if (record == nullptr) break;
        std::vector<ole_variant> row;
        for (const udb_field& field : *record) row.push_back(field.value());
        rows.push_back(std::move(row));
        rs.next();
    }
    return rows;
}

std::vector<std::vector<sql_value>> sqlite_rows(const std::string& path, const std::string& sql) {
    std::vector<std::vector<sql_value>> rows;
    auto db = open_file(path, SQLITE_OPEN_READONLY);
    sqlite3_stmt* st = nullptr;
    EXPECT_EQ(SQLITE_OK, sqlite3_prepare_v2(db.get(), sql.c_str(), -1, &st, nullptr)) << sql;
    if (st == nullptr) return rows;
    while (sqlite3_step(st) == SQLITE_ROW) {
        std::vector<sql_value> row;
        for (int i = 0; i < sqlite3_column_count(st); ++i) {
            sql_value v;
            v.type = sqlite3_column_type(st, i);
            v.integer = sqlite3_column_int64(st, i);
            v.real = sqlite3_column_double(st, i);
            const auto* p = static_cast<const char*>(sqlite3_column_blob(st, i));
            v.bytes.assign(p ? p : "", static_cast<size_t>(sqlite3_column_bytes(st, i)));
            row.push_back(std::move(v));
        }
        rows.push_back(std::move(row));
    }
    sqlite3_finalize(st);
    return rows;
}

std::string example_db(const std::string& name) {
    return std::string(ORA_EXAMPLES) + "/" + name;
}

}  // namespace ora_test
