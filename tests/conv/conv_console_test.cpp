// The run's console: its lines, and the progress line that only a terminal
// sees, drawn at most every 250 ms and erased before any other output.
#include "conv_console.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

using namespace std::chrono_literals;

conv_console::clock::time_point g_now{};
conv_console::clock::time_point fake_now() {
    return g_now;
}

// Standard output and error of a console, caught in temporary files.
class console_test : public ::testing::Test {
  protected:
    void SetUp() override {
        out_ = std::tmpfile();
        err_ = std::tmpfile();
        g_now = conv_console::clock::time_point{};
    }
    void TearDown() override {
        std::fclose(out_);
        std::fclose(err_);
    }
    static std::string contents(std::FILE* f) {
        std::fflush(f);
        std::string text;
        std::rewind(f);
        for (int c; (c = std::fgetc(f)) != EOF;) text.push_back(char(c));
        return text;
    }
    // Copies n records of a table of total, the clock moving step per record.
    void copy(conv_console& console, uint32_t n, uint32_t total,
              conv_console::clock::duration step) {
        console.begin_table(u"EMPLOYEES", total);
        for (uint32_t done = 1; done <= n; ++done) {
            g_now += step;
            console.progress(done);
        }
    }
    std::FILE* out_ = nullptr;
    std::FILE* err_ = nullptr;
};

TEST_F(console_test, lines_go_to_their_streams_and_a_disabled_console_writes_nothing) {
    conv_console console(true, false, out_, err_, &fake_now);
    console.line(u"Converting table ДОКУМЕНТЫ (3 records)");
    console.error_line(u"Table X not exists");
    EXPECT_EQ(contents(out_), "Converting table ДОКУМЕНТЫ (3 records)\n");
    EXPECT_EQ(contents(err_), "Table X not exists\n");

    conv_console silent(false, true, out_, err_, &fake_now);
    silent.line(u"more");
    silent.error_line(u"more");
    copy(silent, 10000, 10000, 1ms);
    silent.end_table();
    EXPECT_EQ(contents(out_), "Converting table ДОКУМЕНТЫ (3 records)\n");
    EXPECT_EQ(contents(err_), "Table X not exists\n");
}

TEST_F(console_test, no_progress_line_when_output_is_not_a_terminal) {
    conv_console console(true, false, out_, err_, &fake_now);
    console.line(u"Converting table EMPLOYEES (100000 records)");
    copy(console, 100000, 100000, 1ms);
    console.end_table();
    console.line(u"Converting table JOBS (1 records)");
    EXPECT_EQ(contents(out_),
              "Converting table EMPLOYEES (100000 records)\nConverting table JOBS (1 records)\n");
}

TEST_F(console_test, terminal_sees_the_line_rewritten_in_place_then_erased) {
    conv_console console(true, true, out_, err_, &fake_now);
    // 6400 records at 100 us each: 640 ms, so drawings at 256 ms and 512 ms
    // (the clock is looked at every 64 records).
    copy(console, 6400, 10000, 100us);
    const std::string drawn = contents(out_);
    EXPECT_EQ(drawn,
              "\rEMPLOYEES: 2,560 of 10,000 records (25%), 10,000 rows/s, 0:01 left"
              "\rEMPLOYEES: 5,120 of 10,000 records (51%), 10,000 rows/s, 0:00 left");
    console.end_table();
    const std::string width(std::string("EMPLOYEES: 5,120 of 10,000 records (51%), "
                                        "10,000 rows/s, 0:00 left")
                                .size(),
                            ' ');
    EXPECT_EQ(contents(out_), drawn + "\r" + width + "\r");
    // Nothing more to erase.
    console.line(u"Converting table JOBS (1 records)");
    EXPECT_EQ(contents(out_), drawn + "\r" + width + "\rConverting table JOBS (1 records)\n");
}

TEST_F(console_test, another_writer_gets_a_clean_line_and_drawing_resumes) {
    conv_console console(true, true, out_, err_, &fake_now);
    copy(console, 3000, 10000, 100us);
    console.clear();
    const std::string before = contents(out_);
    ASSERT_EQ(before.back(), '\r');
    std::fputs("Error:\nT, record #3001: bad\n", out_);
    g_now += 300ms;
    console.progress(3010);  // not a multiple of the stride: no look at the clock
    EXPECT_EQ(contents(out_), before + "Error:\nT, record #3001: bad\n");
    console.progress(3072);
    EXPECT_NE(contents(out_).find("\rEMPLOYEES: 3,072 of 10,000"), std::string::npos);
    console.error_line(u"Table X not exists");
    const std::string out = contents(out_);
    EXPECT_EQ(out.back(), '\r');
    EXPECT_EQ(contents(err_), "Table X not exists\n");
}

TEST_F(console_test, small_tables_end_before_the_first_drawing) {
    conv_console console(true, true, out_, err_, &fake_now);
    copy(console, 1000, 1000, 200us);  // 200 ms in all
    console.end_table();
    EXPECT_EQ(contents(out_), "");
}

TEST(conv_console_text, progress_text_cases) {
    struct check {
        const char* name;
        std::u16string table;
        uint32_t done, total;
        conv_console::clock::duration elapsed;
        std::string text;
    };
    const std::vector<check> cases = {
        {"nothing done yet", u"T", 0, 50, 0s, "T: 0 of 50 records (0%)"},
        {"hours left", u"BIG", 1000, 10000000, 1s,
         "BIG: 1,000 of 10,000,000 records (0%), 1,000 rows/s, 2:46:39 left"},
        {"done", u"T", 7, 7, 2s, "T: 7 of 7 records (100%), 3 rows/s, 0:00 left"},
        {"more than counted", u"T", 9, 7, 1s, "T: 9 of 7 records (100%), 9 rows/s, 0:00 left"},
        {"long name cut", u"ABCDEFGHIJKLMNOPQRSTUVWXYZ", 1, 2, 1s,
         "ABCDEFGHIJKLMNOPQRSTUVWX: 1 of 2 records (50%), 1 rows/s, 0:01 left"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(conv_console::progress_text(c.table, c.done, c.total, c.elapsed), c.text);
    }
}

}  // namespace
