#include "tk_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>

#include "tk_exception.h"
#include "tk_huge_file.h"
#include "tk_path.h"
#include "tk_string.h"
#include "tk_test_support.h"

namespace {

// Runs a statement that must throw tk_exception with this message at level 1.
#define EXPECT_TK_ERROR(statement, text)                  \
    do {                                                  \
        try {                                             \
            statement;                                    \
            ADD_FAILURE() << "no exception: " #statement; \
        } catch (const tk_exception& e) {                 \
            EXPECT_STREQ(e.what(), text);                 \
            EXPECT_EQ(e.level(), 1);                      \
        }                                                 \
    } while (0)

class tk_files : public ::testing::Test {
  protected:
    temp_folder dir;
};

TEST_F(tk_files, CreatedMemoryFileGrowsWithZerosAndIsWrittenBack) {
    const std::string name = dir.file("header.dbf");
    write_file(name, std::string(100, 'o'));
    {
        tk_memory_file file(name, tk_file::mode_writable | tk_file::mode_create);
        EXPECT_EQ(file.size(), 0u);
        file.put_at(32, "0123456789", 10);
        EXPECT_EQ(file.size(), 42u);
        for (uint32_t i = 0; i < 32; ++i) ASSERT_EQ(file.get_byte(i), 0) << i;
        EXPECT_EQ(file.get_byte(41), '9');
    }
    EXPECT_EQ(read_file(name), std::string(32, '\0') + "0123456789");
}

TEST_F(tk_files, MemoryFileReadsOutOfRangeThrow) {
    const std::string name = dir.file("t.dbf");
    write_file(name, std::string(42, 'x'));
    log_capture log(1);
    tk_memory_file file(name, tk_file::mode_read);
    char buffer[4];
    EXPECT_TK_ERROR(file.get_at(40, buffer, 4), "Error reading from file");
    EXPECT_NE(log.text().find("Reading out of range: offset=40, length=4, file size=42\r\n"),
              std::string::npos);
    // Offset and length that wrap around 32 bits must not pass the check.
    EXPECT_TK_ERROR(file.get_at(0xFFFFFFF0u, buffer, 0x20), "Error reading from file");
    EXPECT_TK_ERROR(file.get_dword(39), "Error reading from file");
    EXPECT_NO_THROW(file.get_at(38, buffer, 4));
    EXPECT_NO_THROW(file.get_at(42, buffer, 0));
}

TEST_F(tk_files, MemoryFileLittleEndianLoads) {
    const std::string name = dir.file("le.bin");
    write_file(name, std::string("\x03\x01\x02\x03\x04\xff", 6));
    tk_memory_file file(name, tk_file::mode_read);
    EXPECT_EQ(file.size(), 6u);
    EXPECT_EQ(file.get_byte(0), 3);
    EXPECT_EQ(file.get_word(1), 0x0201);
    EXPECT_EQ(file.get_dword(1), 0x04030201u);
    EXPECT_EQ(file.get_dword(2), 0xff040302u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(file.get_at(1, 3)), 3), "\x01\x02\x03");
    EXPECT_EQ(file.file_name(), tk_file_name(name).full_name());
}

TEST_F(tk_files, ReadOnlyFileMustExist) {
    EXPECT_TK_ERROR(tk_memory_file(dir.file("missing.dbf"), tk_file::mode_read),
                    "Bad path or busy with another process");
    EXPECT_TK_ERROR(tk_memory_file(dir.path().string(), tk_file::mode_read),
                    "Bad path or busy with another process");
    // Writable without create: the check passes, the open fails.
    EXPECT_TK_ERROR(tk_memory_file(dir.file("missing.dbf"), tk_file::mode_writable),
                    "Error opening file");
    EXPECT_THROW(tk_memory_file(std::string(), tk_file::mode_read), tk_mail_assertion);
}

TEST_F(tk_files, WritableMemoryFileIsPatchedInPlace) {
    const std::string name = dir.file("patch.dbf");
    write_file(name, "abcdefgh");
    {
        tk_memory_file file(name, tk_file::mode_writable);
        EXPECT_EQ(file.size(), 8u);
        file.put_at(2, "XY", 2);
        file.flush();
        EXPECT_EQ(read_file(name), "abXYefgh");
        file.put_at(8, "!", 1);
    }
    EXPECT_EQ(read_file(name), "abXYefgh!");
    {
        tk_memory_file file(name, tk_file::mode_read);
        EXPECT_THROW(file.flush(), tk_mail_assertion);
    }
    EXPECT_EQ(read_file(name), "abXYefgh!");  // a read-only file is never written
}

TEST_F(tk_files, SetSizeShrinksThenGrowsWithZeros) {
    const std::string name = dir.file("size.bin");
    write_file(name, "abcdef");
    tk_memory_file file(name, tk_file::mode_writable);
    file.set_size(2);
    EXPECT_EQ(file.size(), 2u);
    file.set_size(5);
    char buffer[5];
    file.get_at(0, buffer, 5);
    EXPECT_EQ(std::string(buffer, 5), std::string("ab\0\0\0", 5));
}

TEST_F(tk_files, HugeFileWritesBeyondTheEndWithZeros) {
    const std::string name = dir.file("table.dbf");
    tk_huge_file file(name, true);  // created
    EXPECT_EQ(file.size(), 0u);
    file.put_at(1000, "record", 6);
    EXPECT_EQ(file.size(), 1006u);
    const std::string bytes = read_file(name);
    EXPECT_EQ(bytes, std::string(1000, '\0') + "record");
    char buffer[6];
    file.get_at(1000, buffer, 6);
    EXPECT_EQ(std::string(buffer, 6), "record");
    EXPECT_EQ(file.get_byte(999), 0);
}

// A disk with room for 10 more bytes of table.dbf.
tk_write_limit ten_bytes_of_room(const std::string& name, uint64_t, size_t length) {
    static size_t room = 10;
    if (name.find("table.dbf") == std::string::npos) return {length, 0};
    const size_t allowed = std::min(room, length);
    room -= allowed;
    return {allowed, ENOSPC};
}

TEST_F(tk_files, HugeFileInjectedShortWriteFailsAfterWritingWhatFits) {
    const std::string name = dir.file("table.dbf");
    tk_huge_file file(name, true);
    tk_huge_file other(dir.file("other.dbt"), true);
    const tk_write_hook previous = tk_set_write_hook(&ten_bytes_of_room);
    file.put_at(0, "12345678", 8);
    errno = 0;
    EXPECT_TK_ERROR(file.put_at(8, "abcdef", 6), "Cannot write into file");
    EXPECT_EQ(errno, ENOSPC);
    EXPECT_TK_ERROR(file.put_at(0, "x", 1), "Cannot write into file");
    other.put_at(0, "memo", 4);  // other files are not limited
    tk_set_write_hook(previous);
    EXPECT_EQ(read_file(name), "12345678ab");
    file.put_at(10, "cd", 2);
    EXPECT_EQ(read_file(name), "12345678abcd");
}

TEST_F(tk_files, HugeFileLittleEndianAndLargeOffsets) {
    tk_huge_file file(dir.file("memo.dbt"), true);
    file.put_dword(4, 0x11223344u);
    EXPECT_EQ(file.get_dword(4), 0x11223344u);
    EXPECT_EQ(file.get_byte(4), 0x44);
    // Offsets past 4 GiB (the file stays sparse).
    const uint64_t far = 5'000'000'000ULL;
    file.put_at(far, "xyz", 3);
    EXPECT_EQ(file.size(), far + 3);
    EXPECT_EQ(file.get_byte(far + 2), 'z');
    file.set_size(8);
    EXPECT_EQ(file.size(), 8u);
}

TEST_F(tk_files, HugeFileShortReadThrows) {
    const std::string name = dir.file("short.dbf");
    write_file(name, "0123456789");
    tk_huge_file file(name, false);
    char buffer[8];
    EXPECT_TK_ERROR(file.get_at(5, buffer, 8), "Error reading from file");
    EXPECT_TK_ERROR(file.get_dword(10), "Error reading from file");
    EXPECT_NO_THROW(file.get_at(2, buffer, 8));
    EXPECT_EQ(std::string(buffer, 8), "23456789");
}

TEST_F(tk_files, HugeFileReadOnlyRefusesWrites) {
    const std::string name = dir.file("ro.dbf");
    write_file(name, "abc");
    tk_huge_file file(name, false);
    EXPECT_FALSE(file.writable());
    EXPECT_TK_ERROR(file.put_at(0, "x", 1), "Cannot write into file");
    EXPECT_EQ(read_file(name), "abc");
}

TEST_F(tk_files, HugeFileOpenFailures) {
    EXPECT_TK_ERROR(tk_huge_file(dir.path().string(), false), "Error opening file");
    EXPECT_TK_ERROR(tk_huge_file(dir.file("no/such/folder.dbf"), true), "Error opening file");
    EXPECT_TK_ERROR(tk_huge_file(std::string(), true), "Error opening file");
    // A missing file is created even for reading.
    tk_huge_file created(dir.file("new.dbf"), false);
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "new.dbf"));
    EXPECT_EQ(created.size(), 0u);
}

TEST_F(tk_files, HugeFileWideNameAndMove) {
    const std::u16string name =
        tk_utf8_to_ucs2(dir.path().string()) + u"/\u0437\u0430\u043a\u0430\u0437.dbf";
    tk_huge_file first(name, true);
    first.put_at(0, "abc", 3);
    tk_huge_file moved(std::move(first));
    EXPECT_EQ(moved.size(), 3u);
    tk_huge_file other(dir.file("other.dbf"), true);
    other = std::move(moved);
    EXPECT_EQ(other.get_byte(2), 'c');
    EXPECT_EQ(read_file(dir.path() / "\xd0\xb7\xd0\xb0\xd0\xba\xd0\xb0\xd0\xb7.dbf"), "abc");
}

}  // namespace
