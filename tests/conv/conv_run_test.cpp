// The conversion run against a source held in memory: the order of the
// tables, what is printed and logged, the modes, definitions only, generated
// names, record and table failures, the summary, and stopping.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <thread>

#include "dbf_format.h"
#include "dbf_recordset.h"
#include "error_handler.h"
#include "fake_source.h"
#include "kestrel_convertor.h"
#include "tk_error_converter.h"
#include "tk_huge_file.h"
#include "tk_logger.h"
#include "udb_record.h"

namespace {

namespace fs = std::filesystem;
using conv_test::fake_source;
using conv_test::fake_table;

struct process_end {
    int status;
};
[[noreturn]] void throw_process_end(int status) {
    throw process_end{status};
}

udb_schema numbers_schema() {
    udb_schema schema;
    schema.add(t_ftd(10, u"ID", VT_DECIMAL, true, false, ole_variant(), (10 << 8) | 0));
    schema.add(t_ftd(20, u"NAME", VT_BSTR));
    return schema;
}

fake_table numbers_table(const std::u16string& name, int rows) {
    fake_table t;
    t.name = name;
    t.schema = numbers_schema();
    for (int i = 1; i <= rows; ++i)
        t.rows.push_back({ole_variant(*ole_decimal::from_string(std::to_string(i))),
                          ole_variant(u"row " + std::u16string(1, char16_t(u'0' + i % 10)))});
    return t;
}

std::string read_file_bytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct dbf_contents {
    uint32_t header_count = 0;
    std::vector<std::string> ids;  // the first field of each record, trimmed
};

class conv_run_test : public ::testing::Test {
  protected:
    void SetUp() override {
        static std::atomic<int> counter{0};
        folder_ = fs::temp_directory_path() /
                  ("conv_run_test_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
        fs::remove_all(folder_);
        fs::create_directories(folder_ / "dest");
        log_path_ = (folder_ / "trace.log").string();
        previous_exit_ = conv_set_exit_function(&throw_process_end);
        logger_ = std::make_unique<tk_logger>(log_path_.c_str(), true, 3, false);
        handler_ = std::make_unique<error_handler>(tk_oracle_error_table());
        converter_ = std::make_unique<kestrel_convertor>();
        converter_->set_destination(dest().u16string());
        auto source = std::make_unique<fake_source>();
        source_ = source.get();
        converter_->set_open_database(std::move(source));
    }
    void TearDown() override {
        converter_.reset();
        handler_.reset();
        logger_.reset();
        conv_set_exit_function(previous_exit_);
        std::error_code ec;
        fs::remove_all(folder_, ec);
    }

    fs::path dest() const { return folder_ / "dest"; }

    struct outcome {
        std::string out;
        std::string err;
        bool ended = false;  // the process would have ended
    };
    outcome run(bool check_dest = true) {
        outcome result;
        ::testing::internal::CaptureStdout();
        ::testing::internal::CaptureStderr();
        try {
            if (check_dest) converter_->check_dest();
            (*converter_)();
        } catch (const process_end&) {
            result.ended = true;
        }
        result.out = ::testing::internal::GetCapturedStdout();
        result.err = ::testing::internal::GetCapturedStderr();
        return result;
    }

    std::string log_text() const {
        std::ifstream in(log_path_, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    dbf_contents read_dbf(const std::string& file) const {
        dbf_contents c;
        dbf_recordset rs((dest() / file).string(), u"t", dbf_recordset::mode_read, 0);
        unsigned char header[8] = {};
        std::ifstream in((dest() / file).string(), std::ios::binary);
        in.read(reinterpret_cast<char*>(header), sizeof header);
        c.header_count = uint32_t(header[4]) | uint32_t(header[5]) << 8 |
                         uint32_t(header[6]) << 16 | uint32_t(header[7]) << 24;
        for (rs.move_first(); !rs.is_eof(); rs.next()) {
            const udb_record* r = rs.get_item();
            std::string id = (*r)[0].to_string();
            id.erase(0, id.find_first_not_of(' '));
            c.ids.push_back(id);
        }
        return c;
    }

    std::vector<std::string> dest_files() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dest())) names.push_back(e.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path folder_;
    std::string log_path_;
    conv_exit_function previous_exit_ = nullptr;
    std::unique_ptr<tk_logger> logger_;
    std::unique_ptr<error_handler> handler_;
    std::unique_ptr<kestrel_convertor> converter_;
    fake_source* source_ = nullptr;
};

TEST_F(conv_run_test, empty_table_list_converts_every_table_in_name_order) {
    source_->add(numbers_table(u"a", 2));
    source_->add(numbers_table(u"B", 3));
    const outcome r = run();
    EXPECT_FALSE(r.ended);
    // Upper-case letters sort first.
    EXPECT_EQ(r.out,
              "Converting database  (2 tables)\n"
              "Converting table B (3 records)\n"
              "Converting table a (2 records)\n");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(dest_files(), (std::vector<std::string>{"a.dbf", "b.dbf"}));
    EXPECT_EQ(read_dbf("b.dbf").ids, (std::vector<std::string>{"1", "2", "3"}));
    EXPECT_EQ(read_dbf("a.dbf").header_count, 2u);
    EXPECT_EQ(converter_->summary_text(), "2 tables converted, 0 with errors, 0 skipped");
    EXPECT_TRUE(converter_->summary().completed);
    EXPECT_TRUE(converter_->finished());
    EXPECT_EQ(converter_->tables_total(), 0u);  // reset at the end of the run
    EXPECT_EQ(converter_->table_list(), (std::vector<std::u16string>{u"B", u"a"}));

    const std::string log = log_text();
    EXPECT_NE(log.find("Conversion started on "), std::string::npos);
    EXPECT_NE(log.find("Converting database  (2 tables)\r\n"), std::string::npos);
    EXPECT_NE(log.find("Converting table B (3 records)\r\n"), std::string::npos);
    EXPECT_NE(log.find("Conversion ended on "), std::string::npos);
    EXPECT_LT(log.find("Converting table B"), log.find("Converting table a"));
}

TEST_F(conv_run_test, listed_tables_in_name_order_with_source_name_and_a_missing_one) {
    source_->add(numbers_table(u"DEPT", 1));
    source_->add(numbers_table(u"EMP", 1));
    source_->add(numbers_table(u"OTHER", 1));
    converter_->set_source_name(u"db");
    converter_->table_list() = {u"EMP", u"emp", u"DEPT"};
    const outcome r = run();
    EXPECT_EQ(r.out,
              "Converting database db (3 tables)\n"
              "Converting table DEPT (1 records)\n"
              "Converting table EMP (1 records)\n");
    // Names compare case-sensitively in the source: "emp" is missing.
    EXPECT_EQ(r.err, "Table emp not exists\n");
    EXPECT_EQ(dest_files(), (std::vector<std::string>{"dept.dbf", "emp.dbf"}));
    EXPECT_EQ(converter_->summary_text(), "2 tables converted, 1 with errors, 0 skipped");
    EXPECT_TRUE(converter_->summary().completed);
}

TEST_F(conv_run_test, system_tables_are_skipped_and_logged) {
    fake_table t = numbers_table(u"SYS_T", 1);
    t.system = true;
    source_->add(std::move(t));
    source_->add(numbers_table(u"T", 1));
    const outcome r = run();
    EXPECT_EQ(r.out, "Converting database  (2 tables)\nConverting table T (1 records)\n");
    EXPECT_NE(log_text().find("Skip system/linked table 'SYS_T'\r\n"), std::string::npos);
    EXPECT_EQ(converter_->summary_text(), "1 tables converted, 0 with errors, 1 skipped");
}

TEST_F(conv_run_test, modes_on_a_folder_with_existing_tables_and_other_files) {
    struct check {
        const char* name;
        int mode;
        std::vector<std::string> files;
        uint32_t t_count;  // records in t.dbf afterwards
        std::string summary;
    };
    const std::vector<check> cases = {
        {"mode 0 empties the folder's tables",
         0,
         {"notes.txt", "t.dbf"},
         3,
         "1 tables converted, 0 with errors, 0 skipped"},
        {"mode 1 replaces converted tables only",
         1,
         {"notes.txt", "old.dbf", "old.dbt", "t.dbf"},
         3,
         "1 tables converted, 0 with errors, 0 skipped"},
        {"mode 2 keeps existing files",
         2,
         {"notes.txt", "old.dbf", "old.dbt", "t.dbf"},
         1,
         "0 tables converted, 0 with errors, 1 skipped"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(dest());
        fs::create_directories(dest());
        // An earlier run's tables: t with one record, old with a memo.
        {
            auto earlier = std::make_unique<fake_source>();
            earlier->add(numbers_table(u"t", 1));
            fake_table old = numbers_table(u"old", 1);
            old.schema.add(t_ftd(0, u"NOTE", VT_BSTR));
            for (auto& row : old.rows) row.push_back(ole_variant(std::u16string(300, u'x')));
            earlier->add(std::move(old));
            converter_->set_mode(0);
            converter_->set_open_database(std::move(earlier));
            ASSERT_FALSE(run().ended);
        }
        std::ofstream(dest() / "notes.txt") << "keep me";
        auto source = std::make_unique<fake_source>();
        source->add(numbers_table(u"t", 3));
        converter_->set_open_database(std::move(source));
        converter_->table_list() = {u"t"};
        converter_->name_map().clear();
        converter_->set_mode(c.mode);
        const outcome r = run();
        EXPECT_FALSE(r.ended);
        EXPECT_EQ(dest_files(), c.files);
        EXPECT_EQ(read_dbf("t.dbf").header_count, c.t_count);
        EXPECT_EQ(converter_->summary_text(), c.summary);
        converter_->table_list().clear();
        converter_->name_map().clear();
    }
}

TEST_F(conv_run_test, definitions_only_and_empty_tables_create_tables_without_records) {
    source_->add(numbers_table(u"EMPTY", 0));
    source_->add(numbers_table(u"FULL", 4));
    converter_->set_definitions_only(true);
    const outcome r = run();
    EXPECT_EQ(r.out,
              "Converting database  (2 tables)\n"
              "Converting table EMPTY (0 records)\n"
              "Converting table FULL (4 records)\n");
    EXPECT_EQ(read_dbf("full.dbf").header_count, 0u);
    EXPECT_EQ(read_dbf("empty.dbf").header_count, 0u);
    EXPECT_EQ(converter_->summary_text(), "2 tables converted, 0 with errors, 0 skipped");
}

TEST_F(conv_run_test, rejected_and_clashing_names_get_generated_names) {
    // "MY TABLE" breaks the DBF rules; its safe name "MY_TABLE" belongs to
    // the next table.  "emp" and "EMP" would meet in one file.
    source_->add(numbers_table(u"MY TABLE", 1));
    source_->add(numbers_table(u"MY_TABLE", 2));
    source_->add(numbers_table(u"EMP", 3));
    source_->add(numbers_table(u"emp", 4));
    const outcome r = run();
    EXPECT_FALSE(r.ended) << r.out;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(dest_files(), (std::vector<std::string>{"emp.dbf", "emp000.dbf", "my_table.dbf",
                                                      "my_table000.dbf"}));
    EXPECT_EQ(read_dbf("my_table000.dbf").header_count, 1u);
    EXPECT_EQ(read_dbf("my_table.dbf").header_count, 2u);
    EXPECT_EQ(read_dbf("emp.dbf").header_count, 3u);
    EXPECT_EQ(read_dbf("emp000.dbf").header_count, 4u);
    EXPECT_NE(log_text().find("Converting table MY TABLE (1 records)"), std::string::npos);
    EXPECT_EQ(converter_->summary_text(), "4 tables converted, 0 with errors, 0 skipped");
}

TEST_F(conv_run_test, record_that_does_not_fit_is_reported_and_the_table_goes_on) {
    fake_table t = numbers_table(u"T", 5);
    t.schema[0].reserved = (2 << 8) | 0;  // NUMBER(2): a field of 4 characters
    t.rows[2][0] = ole_variant(*ole_decimal::from_string("123456"));
    source_->add(std::move(t));
    source_->add(numbers_table(u"U", 1));
    const outcome r = run();
    EXPECT_FALSE(r.ended);
    EXPECT_EQ(r.out.substr(0, r.out.find("Error:")),
              "Converting database  (2 tables)\nConverting table T (5 records)\n");
    EXPECT_NE(r.out.find("Error:\nT, record #3: Value does not fit into field ID"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("Converting table U (1 records)\n"), std::string::npos);
    // The record is there with asterisks in the field (read back as no value).
    const dbf_contents c = read_dbf("t.dbf");
    EXPECT_EQ(c.ids, (std::vector<std::string>{"1", "2", "", "4", "5"}));
    const std::string bytes = read_file_bytes(dest() / "t.dbf");
    EXPECT_NE(bytes.find(" ****"), std::string::npos);
    EXPECT_EQ(converter_->summary_text(), "1 tables converted, 1 with errors, 0 skipped");
}

TEST_F(conv_run_test, fetch_failure_midway_leaves_a_readable_table_and_the_run_goes_on) {
    // Enough rows for several batches to be on disk before the failure.
    fake_table t = numbers_table(u"BIG", 30000);
    t.fail_at_row = 25000;
    source_->add(std::move(t));
    fake_table gone = numbers_table(u"GONE", 1);
    gone.fail_open = true;
    source_->add(std::move(gone));
    source_->add(numbers_table(u"SMALL", 2));
    const outcome r = run();
    EXPECT_FALSE(r.ended);
    EXPECT_NE(r.out.find("Error:\nBIG: ORA-03113: end-of-file on communication channel\n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("Error:\nGONE: ORA-00942: table or view does not exist\n"),
              std::string::npos);
    EXPECT_NE(r.out.find("Converting table SMALL (2 records)"), std::string::npos);
    const dbf_contents c = read_dbf("big.dbf");
    EXPECT_EQ(c.header_count, 25000u);
    ASSERT_EQ(c.ids.size(), 25000u);
    EXPECT_EQ(c.ids.back(), "25000");
    // The file holds exactly the records the header counts.
    const auto size = fs::file_size(dest() / "big.dbf");
    dbf_recordset rs((dest() / "big.dbf").string(), u"BIG", dbf_recordset::mode_read, 0);
    const auto& h = rs.layout().header;
    EXPECT_LE(size, uint64_t(h.header_length) + uint64_t(h.record_length) * 25000 + 1);
    EXPECT_EQ(converter_->summary_text(), "1 tables converted, 2 with errors, 0 skipped");
    EXPECT_TRUE(converter_->summary().completed);
}

// A destination disk with room for g_room more bytes.
size_t g_room = 0;
tk_write_limit limited_room(const std::string& name, uint64_t, size_t length) {
    if (name.find("conv_run_test_") == std::string::npos) return {length, 0};
    const size_t allowed = std::min(g_room, length);
    g_room -= allowed;
    return {allowed, ENOSPC};
}

TEST_F(conv_run_test, full_disk_ends_the_run_and_leaves_only_complete_records) {
    fake_table t = numbers_table(u"BIG", 30000);
    t.schema.add(t_ftd(0, u"NOTE", VT_BSTR));
    for (size_t i = 0; i < t.rows.size(); ++i)
        t.rows[i].push_back(i % 2 ? ole_variant(std::u16string(300 + i % 7, u'm')) : ole_variant());
    source_->add(std::move(t));
    source_->add(numbers_table(u"ZAFTER", 1));
    std::string notice;
    handler_->set_exit_notice([&] { notice = converter_->summary_text(); });
    g_room = 3 * 1024 * 1024;
    const tk_write_hook previous = tk_set_write_hook(&limited_room);
    const outcome r = run();
    tk_set_write_hook(previous);
    EXPECT_TRUE(r.ended);
    EXPECT_NE(r.out.find("Error:\nBIG: Cannot write into file\n"), std::string::npos) << r.out;
    EXPECT_EQ(notice, "0 tables converted, 1 with errors, 0 skipped");
    EXPECT_FALSE(fs::exists(dest() / "zafter.dbf"));

    // The header counts every record in the file, and every memo they refer
    // to can be read.
    dbf_recordset rs((dest() / "big.dbf").string(), u"BIG", dbf_recordset::mode_read, 0);
    const auto& h = rs.layout().header;
    EXPECT_GT(h.record_count, 0u);
    EXPECT_LT(h.record_count, 30000u);
    // ... and its end-of-file byte.
    EXPECT_EQ(fs::file_size(dest() / "big.dbf"),
              uint64_t(h.header_length) + uint64_t(h.record_length) * h.record_count + 1);
    uint32_t n = 0;
    for (rs.move_first(); !rs.is_eof(); rs.next(), ++n) {
        const udb_record* record = rs.get_item();
        const std::string note = (*record)[2].to_string();
        ASSERT_EQ(note.size(), n % 2 ? 300 + n % 7 : 0u) << n;
    }
    EXPECT_EQ(n, h.record_count);
}

TEST_F(conv_run_test, full_disk_while_a_table_is_created_leaves_no_part_of_it) {
    fake_table t = numbers_table(u"MEMO", 3);
    t.schema.add(t_ftd(0, u"NOTE", VT_BSTR));
    for (auto& row : t.rows) row.push_back(ole_variant(std::u16string(300, u'n')));
    source_->add(std::move(t));
    // Room for: part of the header; the header but not all of the memo file.
    const uint32_t header_bytes = 32 + 3 * 32 + 1;
    for (const size_t room : {size_t(40), size_t(header_bytes + 5)}) {
        SCOPED_TRACE(room);
        fs::remove_all(dest());
        fs::create_directories(dest());
        g_room = room;
        const tk_write_hook previous = tk_set_write_hook(&limited_room);
        const outcome r = run();
        tk_set_write_hook(previous);
        EXPECT_TRUE(r.ended);
        EXPECT_NE(r.out.find("Error:\nMEMO: Cannot write into file\n"), std::string::npos) << r.out;
        EXPECT_EQ(dest_files(), std::vector<std::string>{});
    }
}

TEST_F(conv_run_test, failures_outside_the_tables_end_the_run) {
    source_->add(numbers_table(u"T", 1));
    source_->fail_listing(0);
    const outcome r = run();
    EXPECT_FALSE(r.ended);
    EXPECT_EQ(r.out, "Error:\nORA-01012: not logged on\n");
    EXPECT_FALSE(converter_->summary().completed);
    EXPECT_TRUE(converter_->finished());

    source_->fail_listing(-1);
    source_->fail_with_std_exception();
    const outcome r2 = run();
    EXPECT_FALSE(r2.ended);
    EXPECT_EQ(r2.err, "bad things\n");
    EXPECT_NE(log_text().find("ERROR:\nbad things\r\n"), std::string::npos);
    EXPECT_FALSE(converter_->summary().completed);
}

TEST_F(conv_run_test, level_one_failure_ends_the_process_after_the_exit_notice) {
    source_->add(numbers_table(u"T", 1));
    source_->fail_listing(1);
    int notices = 0;
    handler_->set_exit_notice([&] { ++notices; });
    const outcome r = run();
    EXPECT_TRUE(r.ended);
    EXPECT_EQ(notices, 1);
    EXPECT_EQ(r.out, "Error:\nORA-01012: not logged on\n");
}

TEST_F(conv_run_test, silent_run_prints_nothing_but_logs_the_user_events) {
    source_->add(numbers_table(u"T", 2));
    converter_->table_list() = {u"T", u"NOPE"};
    converter_->set_silent(true);
    handler_->set_silent(true);
    const outcome r = run();
    EXPECT_EQ(r.out + r.err, "");
    const std::string log = log_text();
    EXPECT_NE(log.find("Converting database  (2 tables)\r\n"), std::string::npos);
    EXPECT_NE(log.find("Converting table T (2 records)\r\n"), std::string::npos);
}

TEST_F(conv_run_test, wizard_form_opens_listed_tables_directly_and_prints_nothing) {
    source_->add(numbers_table(u"T", 2));
    source_->add(numbers_table(u"U", 2));
    converter_->table_list() = {u"U"};
    ::testing::internal::CaptureStdout();
    converter_->convert(conv_run_policy::wizard());
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(dest_files(), (std::vector<std::string>{"u.dbf"}));
    EXPECT_EQ(source_->opened, 1);

    // An empty selection converts nothing in the wizard's form.
    converter_->table_list().clear();
    converter_->name_map().clear();
    converter_->convert(conv_run_policy::wizard());
    EXPECT_EQ(converter_->summary_text(), "0 tables converted, 0 with errors, 0 skipped");
}

TEST_F(conv_run_test, stop_request_from_another_thread_ends_the_run_quietly) {
    fake_table t = numbers_table(u"T", 5000);
    // At the 1000th fetch another thread asks the run to stop.
    t.on_fetch = [this](uint32_t row) {
        if (row == 1000) std::thread([this] { converter_->request_stop(); }).join();
    };
    source_->add(std::move(t));
    source_->add(numbers_table(u"U", 1));
    const outcome r = run();
    EXPECT_FALSE(r.ended);
    EXPECT_EQ(r.out, "Converting database  (2 tables)\nConverting table T (5000 records)\n");
    EXPECT_FALSE(converter_->summary().completed);
    EXPECT_TRUE(converter_->finished());
    EXPECT_EQ(converter_->records_done(), 1000u);
    EXPECT_FALSE(fs::exists(dest() / "u.dbf"));
    // What was copied before the stop is in the file, counted by its header.
    const dbf_contents c = read_dbf("t.dbf");
    EXPECT_EQ(c.header_count, 1000u);
    EXPECT_EQ(c.ids.size(), 1000u);
}

TEST_F(conv_run_test, progress_fields_follow_the_tables) {
    source_->add(numbers_table(u"A", 3));
    source_->add(numbers_table(u"B", 5));
    run();
    EXPECT_EQ(converter_->current_table(), u"B");
    EXPECT_EQ(converter_->records_total(), 5u);
    EXPECT_EQ(converter_->records_done(), 5u);
}

TEST_F(conv_run_test, check_dest_refuses_a_file_and_creates_missing_levels) {
    const auto level_one = [&](const fs::path& path) {
        converter_->set_destination(path.u16string());
        try {
            converter_->check_dest();
        } catch (const tk_exception& e) {
            EXPECT_EQ(e.level(), 1);
            return e.message();
        }
        return std::string("(no exception)");
    };
    std::ofstream(folder_ / "plain.txt") << "x";
    EXPECT_EQ(level_one(folder_ / "plain.txt"),
              "You should enter path to FoxPro/DBase database, not a file name");
    // A level below a file cannot be created.
    const std::string below_file = level_one(folder_ / "plain.txt" / "sub");
    EXPECT_NE(below_file.find("Cannot create folder"), std::string::npos) << below_file;

    const fs::path deep = folder_ / "a" / "b" / "c";
    EXPECT_EQ(level_one(deep.string() + "//"), "(no exception)");
    EXPECT_TRUE(fs::is_directory(deep));

    if (::geteuid() != 0) {
        fs::create_directories(folder_ / "ro");
        ::chmod((folder_ / "ro").c_str(), 0555);
        const std::string denied = level_one(folder_ / "ro" / "x");
        EXPECT_NE(denied.find("Permission denied"), std::string::npos) << denied;
        ::chmod((folder_ / "ro").c_str(), 0755);
    }
}

TEST_F(conv_run_test, check_dest_in_mode_0_deletes_tables_and_their_memos_only) {
    for (const char* name : {"a.dbf", "a.dbt", "B.DBF", "keep.txt", "c.fpt"})
        std::ofstream(dest() / name) << "x";
    converter_->set_mode(0);
    converter_->check_dest();
    EXPECT_EQ(dest_files(), (std::vector<std::string>{"c.fpt", "keep.txt"}));
    std::ofstream(dest() / "d.dbf") << "x";
    for (int mode : {1, 2, 3}) {
        converter_->set_mode(mode);
        converter_->check_dest();
        EXPECT_TRUE(fs::exists(dest() / "d.dbf")) << mode;
    }
}

TEST_F(conv_run_test, existing_table_in_modes_without_replacement_is_a_table_error) {
    std::ofstream(dest() / "keep.txt") << "x";
    {
        auto earlier = std::make_unique<fake_source>();
        earlier->add(numbers_table(u"T", 1));
        converter_->set_open_database(std::move(earlier));
        ASSERT_FALSE(run().ended);
    }
    auto source = std::make_unique<fake_source>();
    source->add(numbers_table(u"T", 2));
    source->add(numbers_table(u"U", 2));
    converter_->set_open_database(std::move(source));
    converter_->table_list().clear();
    converter_->name_map().clear();
    converter_->set_mode(3);
    const outcome r = run();
    EXPECT_FALSE(r.ended);
    EXPECT_NE(r.out.find("Error:\nT: Table T exists in the destination folder and was left "
                         "unchanged\n"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(read_dbf("t.dbf").header_count, 1u);
    EXPECT_EQ(read_dbf("u.dbf").header_count, 2u);
    EXPECT_EQ(converter_->summary_text(), "1 tables converted, 1 with errors, 0 skipped");
}

}  // namespace

TEST_F(conv_run_test, vfp_format_writes_visual_foxpro_tables_with_fpt_memos) {
    fake_table t;
    t.name = u"NOTES";
    t.schema.add(t_ftd(0, u"ID", VT_I4));
    t.schema.add(t_ftd(0, u"TEXT", VT_BSTR));
    t.rows.push_back({ole_variant(7), ole_variant(u"a memo")});
    t.rows.push_back({ole_variant(), ole_variant()});
    source_->add(t);
    for (const char* stale : {"notes.dbf", "notes.fpt", "notes.dbt"})
        std::ofstream(dest() / stale) << "x";
    converter_->set_format(dbf_format::vfp);
    converter_->set_mode(0);
    const outcome r = run();
    EXPECT_FALSE(r.ended) << r.out;
    // Mode 0 removed the old table with both kinds of memo file.
    EXPECT_EQ(dest_files(), (std::vector<std::string>{"notes.dbf", "notes.fpt"}));
    const std::string bytes = read_file_bytes(dest() / "notes.dbf");
    EXPECT_EQ(uint8_t(bytes[0]), 0x30);
    dbf_recordset rs((dest() / "notes.dbf").string(), u"t", dbf_recordset::mode_read, 0);
    rs.move_first();
    EXPECT_EQ(rs.get_item()->at(0).value().to_long(), 7);
    EXPECT_EQ(rs.get_item()->at(1).value().get_bstr(), u"a memo");
    rs.next();
    EXPECT_TRUE(rs.get_item()->at(0).is_empty());
    EXPECT_TRUE(rs.get_item()->at(1).is_empty());
}
