// The bounded line reader of the settings files: line ends, the limit, lines
// across its blocks, a last line without a line feed, and files that do not
// open.
#include "tk_line_reader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "test_support.h"
#include "tk_exception.h"

using namespace kestrel_test;

namespace {

using result = tk_line_reader::result;

struct read_step {
    result got;
    std::string line;
};

// Every line of a file with the given bytes, read with one limit.
std::vector<read_step> read_lines(const std::string& bytes, size_t limit) {
    temp_folder dir;
    write_file(dir.file("t.txt"), bytes);
    tk_line_reader reader(dir.file("t.txt"));
    std::vector<read_step> steps;
    for (;;) {
        read_step s;
        s.got = reader.read_line(s.line, limit);
        if (s.got == result::end) break;
        if (s.got == result::too_long) s.line.clear();  // what was kept of it is not part of it
        steps.push_back(s);
        if (steps.size() > 100) break;
    }
    return steps;
}

TEST(tk_line_reader, limits_and_line_ends) {
    temp_folder dir;
    write_file(dir.file("t.txt"), "abc\r\nabcd\nab\r\r\n" + std::string(10, 'x') + "\nlast");
    tk_line_reader reader(dir.file("t.txt"));
    std::string line;
    EXPECT_EQ(reader.read_line(line, 3), result::line);
    EXPECT_EQ(line, "abc");
    EXPECT_EQ(reader.read_line(line, 3), result::too_long);
    EXPECT_EQ(reader.read_line(line, 3), result::line);
    EXPECT_EQ(line, "ab\r");  // only the last carriage return belongs to the line end
    EXPECT_EQ(reader.read_line(line, 3), result::too_long);
    EXPECT_EQ(reader.read_line(line, 4), result::line);
    EXPECT_EQ(line, "last");
    EXPECT_EQ(reader.read_line(line, 4), result::end);
    EXPECT_EQ(reader.read_line(line, 4), result::end);
}

TEST(tk_line_reader, line_ends_and_the_last_line) {
    const std::string block(64 * 1024, 'b');
    const struct {
        const char* name;
        std::string bytes;
        size_t limit;
        std::vector<read_step> expected;
    } cases[] = {
        {"empty file", "", 10, {}},
        {"one line feed", "\n", 10, {{result::line, ""}}},
        {"CR LF", "a\r\nb\r\n", 10, {{result::line, "a"}, {result::line, "b"}}},
        {"no final line feed", "a\nb", 10, {{result::line, "a"}, {result::line, "b"}}},
        {"bare CR is kept", "a\rb\n", 10, {{result::line, "a\rb"}}},
        {"empty lines",
         "\n\r\n\nx",
         10,
         {{result::line, ""}, {result::line, ""}, {result::line, ""}, {result::line, "x"}}},
        {"exactly the limit with CR LF", "abcd\r\n", 4, {{result::line, "abcd"}}},
        {"one over the limit with CR LF",
         "abcde\r\nz",
         4,
         {{result::too_long, ""}, {result::line, "z"}}},
        {"one over the limit without line feed", "abcde", 4, {{result::too_long, ""}}},
        {"NUL bytes are kept",
         std::string("a\0b\n", 4),
         10,
         {{result::line, std::string("a\0b", 3)}}},
        // Lines that cross the reader's 64 KiB blocks.
        {"line across a block",
         "x\n" + block + "yz\nw",
         block.size() + 2,
         {{result::line, "x"}, {result::line, block + "yz"}, {result::line, "w"}}},
        {"CR at the end of a block",
         std::string(64 * 1024 - 1, 'c') + "\r\nd",
         64 * 1024,
         {{result::line, std::string(64 * 1024 - 1, 'c')}, {result::line, "d"}}},
        {"line feed first in a block",
         block + "\nq",
         block.size(),
         {{result::line, block}, {result::line, "q"}}},
        {"too long over several blocks",
         "s\n" + block + block + block + "\nt",
         4095,
         {{result::line, "s"}, {result::too_long, ""}, {result::line, "t"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<read_step> got = read_lines(c.bytes, c.limit);
        ASSERT_EQ(got.size(), c.expected.size());
        for (size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(got[i].got, c.expected[i].got) << i;
            EXPECT_EQ(got[i].line, c.expected[i].line) << i;
        }
    }
}

TEST(tk_line_reader, files_that_do_not_open) {
    temp_folder dir;
    const auto expect_open_error = [](const std::string& name) {
        try {
            tk_line_reader reader(name);
            ADD_FAILURE() << "opened: " << name;
        } catch (const tk_exception& e) {
            EXPECT_STREQ(e.what(), "Error opening file");
            EXPECT_EQ(e.level(), 1);
        }
    };
    // A missing file is not created.
    expect_open_error(dir.file("missing.txt"));
    EXPECT_FALSE(std::filesystem::exists(dir.file("missing.txt")));
    expect_open_error(dir.str());  // a folder
    expect_open_error("");
    if (::geteuid() != 0) {  // root reads a file whatever its permissions
        write_file(dir.file("locked.txt"), "a\n");
        ASSERT_EQ(::chmod(dir.file("locked.txt").c_str(), 0), 0);
        expect_open_error(dir.file("locked.txt"));
    }
}

}  // namespace
