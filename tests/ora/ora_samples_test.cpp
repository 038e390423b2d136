// The sample schemas HR, SCOTT and CO read through the Oracle layer, each
// table and row compared with the SQLite file read directly: the catalog
// rows the loader wrote give the expected schema, keys and indexes, the
// user tables the expected values.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <map>
#include <set>

#include "ora_table.h"
#include "ora_test_support.h"

using namespace ora_test;

namespace {

struct catalog_column {
    std::string name, type;
    int64_t length = 0;
    std::optional<int64_t> precision, scale;
    bool not_null = false;
};

// The VT code and size a column of the catalog is read with.
std::pair<VARTYPE, uint32_t> expected_type(const catalog_column& c) {
    const std::string& t = c.type;
    if (t == "NUMBER") {
        // The describe: NULL precision and scale 0/-127; NULL precision 38.
        const int64_t p = c.precision ? *c.precision : (c.scale ? 38 : 0);
        const int64_t s = c.scale.value_or(0);
        if (p == 0 || p > 38) return {VT_R8, 0};
        if (s != 0) return {VT_DECIMAL, 0};
        if (p < 3) return {VT_I1, 0};
        if (p < 5) return {VT_I2, 0};
        if (p < 10) return {VT_I4, 0};
        if (p <= 20) return {VT_I8, 0};
        return {VT_R8, 0};
    }
    if (t == "FLOAT" || t == "BINARY_DOUBLE") return {VT_R8, 0};
    if (t == "BINARY_FLOAT") return {VT_R4, 0};
    if (t == "VARCHAR2" || t == "CHAR") return {VT_BSTR, static_cast<uint32_t>(c.length)};
    if (t == "NVARCHAR2" || t == "NCHAR") return {VT_BSTR, static_cast<uint32_t>(c.length / 2)};
    if (t == "DATE" || t.rfind("TIMESTAMP", 0) == 0) return {VT_DATE, 0};
    if (t == "RAW") return {VT_BLOB, static_cast<uint32_t>(c.length)};
    if (t == "BLOB") return {VT_BLOB, 0};
    if (t == "CLOB" || t == "NCLOB" || t == "LONG") return {VT_BSTR, 0};
    ADD_FAILURE() << "no expectation for type " << t;
    return {VT_EMPTY, 0};
}

std::string text(const sql_value& v) {
    return v.bytes;
}

std::optional<int64_t> opt(const sql_value& v) {
    if (v.type == 5) return std::nullopt;
    return v.integer;
}

// The value a SQLite cell stands for, compared with what the reader gave.
void expect_same(const ole_variant& got, const sql_value& stored, const catalog_column& c,
                 const std::string& where) {
    const bool oracle_null =
        stored.type == 5 || (stored.type != 1 && stored.type != 2 && stored.bytes.empty() &&
                             c.type != "CLOB" && c.type != "BLOB");
    if (oracle_null) {
        EXPECT_TRUE(got.is_empty()) << where << " = " << got.to_string();
        return;
    }
    const VARTYPE vt = expected_type(c).first;
    ASSERT_FALSE(got.is_empty()) << where;
    switch (vt) {
        case VT_DATE: {
            const ole_systemtime d = got.get_date();
            char printed[40];
            std::snprintf(printed, sizeof printed, "%04d-%02d-%02d %02d:%02d:%02d", d.year, d.month,
                          d.day, d.hour, d.minute, d.second);
            EXPECT_EQ(text(stored).substr(0, 19), printed) << where;
            if (text(stored).size() > 20) {
                EXPECT_EQ(std::stoi(text(stored).substr(20, 3)), d.milliseconds) << where;
            }
            break;
        }
        case VT_BSTR:
            EXPECT_EQ(text(stored), u8(got.get_bstr())) << where;
            break;
        case VT_BLOB: {
            const uint8_t* p = nullptr;
            const int32_t n = got.get_bytes(p);
            EXPECT_EQ(stored.bytes, std::string(reinterpret_cast<const char*>(p), n)) << where;
            break;
        }
        default: {
            const double want = stored.type == 1   ? static_cast<double>(stored.integer)
                                : stored.type == 2 ? stored.real
                                                   : std::strtod(stored.bytes.c_str(), nullptr);
            EXPECT_EQ(vt, got.vt()) << where;
            EXPECT_EQ(want, got.to_double()) << where;
            if (stored.type == 1 && vt != VT_R8) {
                EXPECT_EQ(std::to_string(stored.integer), got.to_string()) << where;
            }
        }
    }
}

class Samples : public ::testing::TestWithParam<const char*> {};

TEST_P(Samples, EveryTableAndRowReadsAsStored) {
    const std::string path = example_db(GetParam());
    if (!std::filesystem::exists(path)) GTEST_SKIP() << "sample database not built: " << path;
    const auto users = sqlite_rows(path, "SELECT username, password FROM ocilite_users");
    ASSERT_EQ(1u, users.size());
    connection c = connect(path, text(users[0][0]), text(users[0][1]));

    std::set<std::string> expected_tables;
    for (const auto& r : sqlite_rows(path,
                                     "SELECT table_name FROM ocilite_tables WHERE temporary='N' "
                                     "AND nested='NO' AND (iot_type IS NULL OR iot_type='IOT')"))
        expected_tables.insert(text(r[0]));
    std::set<std::string> listed;
    for (const std::u16string& t : c.db->get_tables()) listed.insert(u8(t));
    EXPECT_EQ(expected_tables, listed);

    c.db->relationships().clear();
    std::map<std::string, std::string> pk_of;  // table -> primary key name
    for (const std::string& table : expected_tables) {
        SCOPED_TRACE(table);
        auto rs = c.db->get_table(u16(table), 1);
        // Schema.
        std::vector<catalog_column> columns;
        for (const auto& r : sqlite_rows(path,
                                         "SELECT column_name, data_type, data_length, "
                                         "data_precision, data_scale, nullable FROM "
                                         "ocilite_columns WHERE table_name='" +
                                             table + "' ORDER BY column_id")) {
            catalog_column col{text(r[0]), text(r[1]), r[2].integer,
                               opt(r[3]),  opt(r[4]),  text(r[5]) == "N"};
            columns.push_back(col);
        }
        const udb_schema& s = rs->schema();
        ASSERT_EQ(columns.size(), s.size());
        for (size_t i = 0; i < columns.size(); ++i) {
            const auto [vt, size] = expected_type(columns[i]);
            EXPECT_EQ(columns[i].name, u8(s[i].name));
            EXPECT_EQ(vt, s[i].vartype) << columns[i].name;
            EXPECT_EQ(size, s[i].size) << columns[i].name;
            EXPECT_EQ(columns[i].not_null, s[i].b_not_null) << columns[i].name;
            EXPECT_EQ(vt == VT_DATE ? 1u : 0u, s[i].reserved & (vt == VT_DECIMAL ? 0 : ~0u));
            // No sample default is a literal (sequences, identity columns).
            EXPECT_TRUE(s[i].default_value.is_empty()) << columns[i].name;
        }
        // Primary key and indexes.
        const auto pk = sqlite_rows(path,
                                    "SELECT c.constraint_name, cc.column_name FROM "
                                    "ocilite_constraints c JOIN ocilite_cons_columns cc USING "
                                    "(constraint_name) WHERE c.table_name='" +
                                        table + "' AND c.constraint_type='P' ORDER BY cc.position");
        std::map<std::string, std::pair<bool, std::vector<std::u16string>>> want;
        if (!pk.empty()) {
            pk_of[table] = text(pk[0][0]);
            for (const auto& r : pk) want[text(pk[0][0])].second.push_back(u16(text(r[1])));
            want[text(pk[0][0])].first = true;
        }
        for (const auto& r : sqlite_rows(path,
                                         "SELECT i.index_name, i.uniqueness, c.column_name FROM "
                                         "ocilite_indexes i JOIN ocilite_ind_columns c USING "
                                         "(index_name) WHERE i.table_name='" +
                                             table +
                                             "' AND i.generated='N' ORDER BY i.index_name, "
                                             "c.column_position")) {
            if (pk_of.count(table) && pk_of[table] == text(r[0])) continue;
            want[text(r[0])].first = text(r[1]) == "UNIQUE";
            want[text(r[0])].second.push_back(u16(text(r[2])));
        }
        ASSERT_EQ(want.size(), rs->indexes().size());
        for (const udb_index& index : rs->indexes()) {
            ASSERT_EQ(1u, want.count(u8(index.name))) << u8(index.name);
            EXPECT_EQ(want[u8(index.name)].first, index.b_unique) << u8(index.name);
            EXPECT_EQ(want[u8(index.name)].second, index.fields) << u8(index.name);
            EXPECT_EQ(pk_of.count(table) && pk_of[table] == u8(index.name), index.b_primary);
        }
        // Count and rows.
        const auto stored = sqlite_rows(path, "SELECT * FROM \"" + table + "\" ORDER BY rowid");
        EXPECT_EQ(stored.size(), rs->counter());
        const auto rows = read_rows(*rs);
        ASSERT_EQ(stored.size(), rows.size());
        for (size_t r = 0; r < rows.size(); ++r)
            for (size_t i = 0; i < columns.size(); ++i)
                expect_same(rows[r][i], stored[r][i], columns[i],
                            table + " row " + std::to_string(r + 1) + " " + columns[i].name);
    }
    // Foreign keys, each on the table whose key it refers to.
    const auto fks = sqlite_rows(path,
                                 "SELECT f.constraint_name, f.table_name, f.delete_rule, "
                                 "p.table_name FROM ocilite_constraints f JOIN "
                                 "ocilite_constraints p ON p.constraint_name = "
                                 "f.r_constraint_name WHERE f.constraint_type='R' AND "
                                 "p.constraint_type='P'");
    EXPECT_EQ(fks.size(), c.db->relationships().size());
    for (const auto& f : fks) {
        SCOPED_TRACE(text(f[0]));
        ASSERT_FALSE(c.db->relationships().is_acceptable_name(u16(text(f[0]))));
        const udb_relationship& r = c.db->relationships().get_index(u16(text(f[0])));
        EXPECT_EQ(text(f[1]), u8(r.from_table));
        EXPECT_EQ(text(f[3]), u8(r.to_table));
        EXPECT_EQ("ON DELETE " + text(f[2]), u8(r.delete_rule));
        EXPECT_FALSE(r.from_fields.empty());
        EXPECT_EQ(r.from_fields.size(), r.to_fields.size());
    }
}

INSTANTIATE_TEST_SUITE_P(Oracle, Samples, ::testing::Values("hr.db", "scott.db", "co.db"),
                         [](const auto& param_info) {
                             std::string n = param_info.param;
                             return n.substr(0, n.find('.'));
                         });

}  // namespace
