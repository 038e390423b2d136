// conv_console: what a conversion run shows on the console.
//
// The run prints its lines ("Converting database ...", "Converting table
// ...") on standard output and the missing-table lines on standard error.
// While a table's records are copied and standard output is a terminal, one
// more line shows how far the copy has got; it is rewritten in place at most
// a few times a second and erased before any other line is written, so that
// what stays on the screen is exactly the run's own lines.  When standard
// output is not a terminal (a file, a pipe) the progress line is never
// written: logs and scripts see the run's lines only.
//
// A disabled console (silent runs, the wizard) writes nothing.  Texts are
// UTF-16 and written in the system's encoding.  One thread.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

class conv_console {
  public:
    using clock = std::chrono::steady_clock;
    using clock_function = clock::time_point (*)();

    // Least time between two drawings of the progress line.
    static constexpr std::chrono::milliseconds kRedrawInterval{250};
    // Records between two looks at the clock.
    static constexpr uint32_t kClockStride = 64;

    // enabled false: nothing is ever written.  terminal: whether out is a
    // terminal (the progress line is drawn only then).  now: the clock
    // (tests pass their own).
    conv_console(bool enabled, bool terminal, std::FILE* out = stdout, std::FILE* err = stderr,
                 clock_function now = &clock::now);
    ~conv_console();
    conv_console(const conv_console&) = delete;
    conv_console& operator=(const conv_console&) = delete;

    bool enabled() const { return enabled_; }

    // One line (a line feed is added) on standard output, after erasing the
    // progress line.
    void line(std::u16string_view text);
    // One line on standard error, after erasing the progress line.
    void error_line(std::u16string_view text);

    // A table of total records starts copying.
    void begin_table(std::u16string_view table, uint32_t total);
    // done records of the table are copied; redraws when it is time to.
    void progress(uint32_t done) {
        if (drawing_ && (done % kClockStride) == 0) progress_slow(done);
    }
    // The copy of the table ended (or failed): the progress line is erased.
    void end_table();
    // Erases the progress line if it is shown, so that another writer (the
    // error handler) starts on a clean line.  Drawing goes on at the next
    // progress().
    void clear();

    // The progress text for done of total records after elapsed time, as
    // drawn (without the carriage return); exposed for tests.
    static std::string progress_text(std::u16string_view table, uint32_t done, uint32_t total,
                                     clock::duration elapsed);

  private:
    void progress_slow(uint32_t done);
    void write(std::FILE* stream, std::u16string_view text);

    bool enabled_;
    bool terminal_;
    std::FILE* out_;
    std::FILE* err_;
    clock_function now_;

    bool drawing_ = false;    // a table is being copied and may be drawn
    size_t shown_width_ = 0;  // characters of the progress line on screen (0: none)
    std::u16string table_;
    uint32_t total_ = 0;
    clock::time_point started_{};
    clock::time_point last_draw_{};
};
