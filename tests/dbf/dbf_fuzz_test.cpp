// Mutated copies of the real test files: opening and reading them gives a
// dbf_exception (or another tk_exception) or values, never a crash, a read
// outside the file or an allocation beyond the file's size.  Run under the
// sanitizers to make the last two visible.  Deterministic: a fixed seed and
// a fixed number of cases.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <random>

#include "dbf_exception.h"
#include "dbf_file.h"
#include "dbf_recordset.h"
#include "dbf_test_util.h"
#include "tk_codepage.h"
#include "udb_record.h"

using dbf_test::read_all;
using dbf_test::temp_folder;
using dbf_test::write_all;

namespace {

struct seed_file {
    const char* table;
    const char* memo;       // companion, or null
    const char* memo_name;  // its name next to "t.dbf"
};

const seed_file seeds[] = {
    {"dbase_83.dbf", "dbase_83.dbt", "t.dbt"},  {"dbase_8b.dbf", "dbase_8b.dbt", "t.dbt"},
    {"dbase_8c.dbf", nullptr, nullptr},         {"memotest.dbf", "memotest.FPT", "t.fpt"},
    {"vfp9_30_memo.dbf", "vfp9_30_memo.fpt", "t.fpt"},
    {"pr90.dbf", "pr90.fpt", "t.fpt"},          {"dBaseVII_ts.dbf", nullptr, nullptr},
    {"cp1251.dbf", nullptr, nullptr},           {"people.dbf", nullptr, nullptr},
    {"POST986.dbf", nullptr, nullptr},          {"TEST1OEM.DBF", nullptr, nullptr},
    {"level7_double.dbf", nullptr, nullptr},    {"float_fields.dbf", nullptr, nullptr},
    {"fpt_binary_memo.dbf", "fpt_binary_memo.fpt", "t.fpt"},
    {"memo_block_past_end.dbf", "memo_block_past_end.dbt", "t.dbt"},
    {"zero_width_field.dbf", nullptr, nullptr}, {"gbk_mark_7a.dbf", nullptr, nullptr},
};

void put32(std::string& s, size_t at, uint32_t v) {
    if (at + 4 <= s.size())
        for (int i = 0; i < 4; ++i) s[at + i] = char(v >> (8 * i));
}

void mutate(std::string& bytes, std::mt19937& rng, bool is_memo) {
    if (bytes.empty()) return;
    auto pick = [&](size_t n) { return size_t(rng() % n); };
    const uint32_t extremes[] = {0, 1, 2, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, 0xFFFF, 8, 512, 65535};
    switch (rng() % 7) {
        case 0:  // flip a few bytes anywhere
            for (int i = 0, n = 1 + int(rng() % 8); i < n; ++i) bytes[pick(bytes.size())] ^= char(1 + rng() % 255);
            break;
        case 1:  // flip bytes in the header area
            for (int i = 0, n = 1 + int(rng() % 4); i < n; ++i)
                bytes[pick(std::min<size_t>(bytes.size(), is_memo ? 32 : 96))] = char(rng());
            break;
        case 2:  // an extreme 32-bit word in the first 32 bytes
            put32(bytes, pick(std::min<size_t>(bytes.size(), 29)), extremes[pick(10)]);
            break;
        case 3:  // truncate
            bytes.resize(pick(bytes.size()));
            break;
        case 4:  // remove the descriptor terminator(s)
            for (auto& c : bytes)
                if (c == '\x0D') c = 'X';
            break;
        case 5:  // an extreme word anywhere (memo lengths, block numbers)
            put32(bytes, pick(bytes.size()), extremes[pick(10)]);
            break;
        default:  // a run of random bytes
            for (size_t at = pick(bytes.size()), n = 1 + pick(64); n-- && at < bytes.size(); ++at)
                bytes[at] = char(rng());
            break;
    }
}

}  // namespace

TEST(DbfFuzz, MutatedFilesNeverCrash) {
    tk_set_ansi_code_page(1252);
    std::mt19937 rng(20261207);
    std::vector<std::pair<std::string, std::string>> originals;
    for (const auto& s : seeds)
        originals.emplace_back(read_all(dbf_test::data_path(s.table)),
                               s.memo ? read_all(dbf_test::data_path(s.memo)) : std::string());
    temp_folder dir;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    int opened = 0, rejected = 0, records = 0;
    const int cases = 800;
    for (int i = 0; i < cases && std::chrono::steady_clock::now() < deadline; ++i) {
        const size_t which = rng() % std::size(seeds);
        std::string table = originals[which].first, memo = originals[which].second;
        const int target = int(rng() % 3);  // 0 table, 1 memo, 2 both
        if (target != 1 || memo.empty()) mutate(table, rng, false);
        if (target != 0 && !memo.empty()) mutate(memo, rng, true);
        std::filesystem::remove_all(dir.str());
        std::filesystem::create_directories(dir.str());
        write_all(dir.file("t.dbf"), table);
        if (seeds[which].memo) write_all(dir.file(seeds[which].memo_name), memo);
        const int mode = (rng() % 4 == 0) ? dbf_recordset::mode_append : dbf_recordset::mode_read;
        try {
            dbf_recordset rs(dir.file("t.dbf"), u"t", mode, 0);
            ++opened;
            int n = 0;
            for (rs.move_first(); !rs.is_eof() && n < 300; rs.next(), ++n) {
                try {
                    udb_record* r = rs.get_item();
                    ASSERT_NE(r, nullptr);
                    for (const udb_field& f : *r) (void)f.to_string();
                    ++records;
                } catch (const tk_exception&) {
                }
            }
            if (mode == dbf_recordset::mode_append) {
                udb_record empty;
                try {
                    rs.append_record(empty);
                    rs.flush();
                } catch (const tk_exception&) {
                }
            }
        } catch (const tk_exception&) {
            ++rejected;
        }
    }
    // The mutations leave many files readable: the loop exercised the reader.
    EXPECT_GT(opened, 100);
    EXPECT_GT(rejected, 10);
    EXPECT_GT(records, 1000);
}
