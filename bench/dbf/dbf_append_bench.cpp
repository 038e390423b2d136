// Appending 1,000,000 records of a 10-field table (C, N, D, L and a memo in
// every 10th record), next to writing the same number of bytes with plain
// sequential writes in the same run; the same with accented Latin texts.
//
//   dbf_bench [--benchmark_...]      (KESTREL_BENCH_DIR: the folder to write in,
//                                     default the system's temporary folder)
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

#include "dbf_database.h"
#include "dbf_recordset.h"
#include "tk_codepage.h"
#include "tk_string.h"
#include "udb_record.h"

namespace {

constexpr int kRecords = 1000000;
// The size of the table file the append benchmark wrote; the plain write
// benchmark writes as many bytes.
uint64_t g_dbf_bytes = 0;

std::filesystem::path bench_folder() {
    const char* env = std::getenv("KESTREL_BENCH_DIR");
    std::filesystem::path base = env ? env : std::filesystem::temp_directory_path();
    return base / "kestrel_dbf_bench";
}

// prefix followed by the number (appended: GCC 12 warns falsely on
// "literal" + std::string at -O2).
std::string cat(const char* prefix, int number) {
    return std::string(prefix).append(std::to_string(number));
}

std::u16string w(const std::string& s) {
    return std::u16string(s.begin(), s.end());
}

udb_schema bench_schema() {
    udb_schema schema;
    schema.add(t_ftd(20, u"NAME", VT_BSTR));
    schema.add(t_ftd(8, u"CODE", VT_BSTR));
    schema.add(t_ftd(0, u"QTY", VT_I4));
    schema.add(t_ftd(0, u"PRICE", VT_DECIMAL, false, false, ole_variant(), 10 * 256 + 2));
    schema.add(t_ftd(0, u"SMALL", VT_I2));
    schema.add(t_ftd(0, u"BORN", VT_DATE, false, false, ole_variant(), 2));
    schema.add(t_ftd(0, u"ACTIVE", VT_BOOL));
    schema.add(t_ftd(30, u"CITY", VT_BSTR));
    schema.add(t_ftd(0, u"RATIO", VT_R4));
    schema.add(t_ftd(0, u"NOTES", VT_BSTR));
    return schema;
}

// Ten distinct rows, the last one with a memo text; latin: the texts have
// accented Latin letters (single bytes of code page 1252, not ASCII).
std::vector<udb_record> bench_rows(bool latin) {
    std::vector<udb_record> rows;
    for (int i = 0; i < 10; ++i) {
        udb_record r;
        ole_systemtime born;
        born.year = uint16_t(1950 + i);
        born.month = uint16_t(1 + i);
        born.day = uint16_t(10 + i);
        std::u16string name = w(cat("Customer ", i));
        if (latin) name[1] = u'\u00FC';  // "Cüstomer"
        r.emplace_back<udb_field>(u"NAME", 20, ole_variant(name));
        r.emplace_back<udb_field>(u"CODE", 8, ole_variant(w(cat("C", 1000 + i))));
        r.emplace_back<udb_field>(u"QTY", 0, ole_variant(12345 * (i + 1)));
        const std::string price = std::to_string(i).append("99.95");
        r.emplace_back<udb_field>(u"PRICE", 0, ole_variant(*ole_decimal::from_string(price)));
        r.emplace_back<udb_field>(u"SMALL", 0, ole_variant(short(i - 5)));
        r.emplace_back<udb_field>(u"BORN", 0, ole_variant(born));
        r.emplace_back<udb_field>(u"ACTIVE", 0, ole_variant(i % 2 == 0));
        r.emplace_back<udb_field>(u"CITY", 30,
                                  ole_variant(latin ? u"Z\u00FCrich" : u"Springfield"));
        r.emplace_back<udb_field>(u"RATIO", 0, ole_variant(float(i) / 4));
        r.emplace_back<udb_field>(
            u"NOTES", 0,
            i == 9 ? ole_variant(std::u16string(200, latin ? u'\u00E9' : u'm')) : ole_variant());
        rows.push_back(std::move(r));
    }
    return rows;
}

void append_records(benchmark::State& state, bool latin) {
    tk_set_ansi_code_page(1252);
    const auto folder = bench_folder();
    const auto rows = bench_rows(latin);
    uint64_t dbf_bytes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        state.ResumeTiming();
        {
            dbf_database db(tk_utf8_to_ucs2(folder.string()), 4, 0);
            auto table = db.create_table(u"bench", bench_schema(), udb_indexes());
            for (int i = 0; i < kRecords; ++i) table->append_record(rows[i % 10]);
            static_cast<dbf_recordset&>(*table).flush();
        }
        dbf_bytes = std::filesystem::file_size(folder / "bench.dbf");
    }
    g_dbf_bytes = dbf_bytes;
    state.counters["records/s"] =
        benchmark::Counter(double(kRecords), benchmark::Counter::kIsIterationInvariantRate);
    state.counters["dbf_MB/s"] =
        benchmark::Counter(double(dbf_bytes) / 1e6, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["dbf_MB"] = double(dbf_bytes) / 1e6;
    std::filesystem::remove_all(folder);
}

void BM_AppendRecords(benchmark::State& state) {
    append_records(state, false);
}
void BM_AppendLatinRecords(benchmark::State& state) {
    append_records(state, true);
}

// The same bytes as the table file, written sequentially in 256 KiB blocks.
void BM_PlainSequentialWrite(benchmark::State& state) {
    const auto folder = bench_folder();
    const uint64_t total = g_dbf_bytes;
    if (total == 0) {
        state.SkipWithError("run BM_AppendRecords first");
        return;
    }
    std::vector<char> block(256 * 1024, 'x');
    for (auto _ : state) {
        state.PauseTiming();
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        state.ResumeTiming();
        std::FILE* f = std::fopen((folder / "raw.bin").c_str(), "wb");
        for (uint64_t done = 0; done < total; done += block.size())
            std::fwrite(block.data(), 1, size_t(std::min<uint64_t>(block.size(), total - done)), f);
        std::fclose(f);
    }
    state.counters["dbf_MB/s"] =
        benchmark::Counter(double(total) / 1e6, benchmark::Counter::kIsIterationInvariantRate);
    std::filesystem::remove_all(folder);
}

}  // namespace

BENCHMARK(BM_AppendRecords)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_AppendLatinRecords)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_PlainSequentialWrite)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

BENCHMARK_MAIN();
