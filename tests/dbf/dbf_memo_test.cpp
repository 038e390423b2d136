// Memo companion files: the dBASE III layout this system writes, and the
// checks of the readers of every layout.
#include <gtest/gtest.h>

#include <cstring>

#include "dbf_exception.h"
#include "dbf_memo_file.h"
#include "dbf_test_util.h"

using dbf_test::read_all;
using dbf_test::temp_folder;
using dbf_test::write_all;

namespace {

uint32_t le32_at(const std::string& s, size_t at) {
    return dbf_le32(reinterpret_cast<const unsigned char*>(s.data()) + at);
}

std::string be32(uint32_t v) {
    return std::string{char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
}
std::string le32(uint32_t v) {
    return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
}

// An FPT file with the given block size and one memo at block 1.
std::string fpt_image(uint16_t block_size, uint32_t length_field, const std::string& text) {
    std::string image(block_size < 8 ? 8 : block_size, '\0');
    image.replace(0, 4, be32(2));
    image[6] = char(block_size >> 8);
    image[7] = char(block_size);
    image.resize(block_size);
    image += be32(1) + be32(length_field) + text;
    return image;
}

template <class F>
std::string error_of(F&& f) {
    try {
        f();
    } catch (const dbf_exception& e) {
        return e.message();
    }
    return "no error";
}

}  // namespace

TEST(OldMemoFile, CreateWritesNextBlockAndVersion) {
    temp_folder dir;
    old_memo_file::create(dir.file("t.dbt"));
    std::string bytes = read_all(dir.file("t.dbt"));
    ASSERT_EQ(bytes.size(), 17u);
    EXPECT_EQ(le32_at(bytes, 0), 1u);
    EXPECT_EQ(bytes[16], '\x03');
}

TEST(OldMemoFile, MemosLieEndToEndInWholeBlocks) {
    temp_folder dir;
    {
        auto memo = old_memo_file::create(dir.file("t.dbt"));
        EXPECT_EQ(memo->append_memo(std::string(100, 'a')), 1u);
        EXPECT_EQ(memo->next_block(), 2u);
        EXPECT_EQ(memo->append_memo(std::string(1000, 'b')), 2u);
        EXPECT_EQ(memo->next_block(), 4u);
    }
    std::string bytes = read_all(dir.file("t.dbt"));
    EXPECT_EQ(le32_at(bytes, 0), 4u);
    EXPECT_EQ(bytes.substr(512, 100), std::string(100, 'a'));
    EXPECT_EQ(bytes.substr(612, 2), "\x1A\x1A");
    EXPECT_EQ(bytes.substr(614, 1024 - 614), std::string(1024 - 614, '\0'));
    EXPECT_EQ(bytes.substr(1024, 1000), std::string(1000, 'b'));
    EXPECT_EQ(bytes.size(), 1024u + 1002u);

    old_memo_file reader(dir.file("t.dbt"), false);
    EXPECT_EQ(reader.next_block(), 4u);
    EXPECT_EQ(reader.read_memo(1), std::string(100, 'a'));
    EXPECT_EQ(reader.read_memo(2), std::string(1000, 'b'));
}

TEST(OldMemoFile, BlockCountAtTheBoundary) {
    struct {
        size_t length;
        uint32_t blocks;
    } cases[] = {{1, 1}, {510, 1}, {511, 2}, {1022, 2}, {1023, 3}, {100000, 196}};
    for (const auto& c : cases) {
        temp_folder dir;
        auto memo = old_memo_file::create(dir.file("t.dbt"));
        memo->append_memo(std::string(c.length, 'x'));
        EXPECT_EQ(memo->next_block(), 1 + c.blocks) << c.length;
        EXPECT_EQ(memo->read_memo(1), std::string(c.length, 'x'));
    }
}

TEST(OldMemoFile, EmptyTextWritesNothing) {
    temp_folder dir;
    auto memo = old_memo_file::create(dir.file("t.dbt"));
    memo->write_memo(1, "");
    EXPECT_EQ(memo->next_block(), 1u);
    EXPECT_EQ(memo->file().size(), 17u);
}

TEST(OldMemoFile, BlockBeyondTheEndThrows) {
    temp_folder dir;
    auto memo = old_memo_file::create(dir.file("t.dbt"));
    memo->append_memo("text");
    EXPECT_EQ(error_of([&] { memo->read_memo(2); }), "Failed to read MEMO field");
    EXPECT_EQ(error_of([&] { memo->read_memo(0xFFFFFFFF); }), "Failed to read MEMO field");
}

TEST(OldMemoFile, ZeroNextBlockIsRejected) {
    temp_folder dir;
    write_all(dir.file("t.dbt"), std::string(512, '\0'));
    EXPECT_EQ(error_of([&] { old_memo_file(dir.file("t.dbt"), false); }),
              "Failed to read MEMO field");
    write_all(dir.file("short.dbt"), "\x01");
    EXPECT_EQ(error_of([&] { old_memo_file(dir.file("short.dbt"), false); }),
              "Failed to read MEMO field");
}

TEST(OldMemoFile, RealFileMemoAcrossABlockBoundary) {
    old_memo_file memo(dbf_test::data_path("dbase_83.dbt"), false);
    EXPECT_EQ(memo.next_block(), 79u);
    std::string text = memo.read_memo(1);
    EXPECT_EQ(text.size(), 524u);
    EXPECT_EQ(text.rfind("Our Original assortment", 0), 0u);
    EXPECT_EQ(text.substr(text.size() - 16), "Raspberry Blanc.");
}

TEST(MemoBlockNumbers, TextReferences) {
    temp_folder dir;
    auto memo = old_memo_file::create(dir.file("t.dbt"));
    struct {
        const char* field;
        uint32_t block;
    } cases[] = {{"         1", 1}, {"        12", 12}, {"          ", 0}, {"0000000007", 7},
                 {"abc       ", 0}, {"99999999999", 0}, {"         0", 0}, {"", 0}};
    for (const auto& c : cases) EXPECT_EQ(memo->get_block_number(c.field), c.block) << c.field;
}

TEST(DbtMemoFile, RealFileBlocks) {
    dbt_memo_file memo(dbf_test::data_path("dbase_8b.dbt"));
    EXPECT_EQ(memo.block_size(), 512u);
    EXPECT_EQ(memo.read_memo(1), "First memo\r\n");
    EXPECT_EQ(memo.read_memo(3), "Thierd memo");
    EXPECT_EQ(memo.read_memo(9), "Nineth memo");
    // At and past the end of the file: no memo to read.
    EXPECT_EQ(error_of([&] { memo.read_memo(10); }), "Failed to read MEMO field");
    EXPECT_EQ(error_of([&] { memo.read_memo(5000); }), "Failed to read MEMO field");
}

TEST(DbtMemoFile, BadHeadersAndLengths) {
    temp_folder dir;
    write_all(dir.file("short.dbt"), std::string(23, '\0'));
    EXPECT_EQ(error_of([&] { dbt_memo_file m(dir.file("short.dbt")); }), "Memo file is corrupted");
    write_all(dir.file("zero.dbt"), std::string(512, '\0'));
    EXPECT_EQ(error_of([&] { dbt_memo_file m(dir.file("zero.dbt")); }), "Memo file is corrupted");

    const std::string marker("\xFF\xFF\x08\x00", 4);
    std::string image(24, '\0');
    image.replace(20, 4, le32(32));
    image.resize(32);
    image += marker + le32(4) + "xyz";  // length word below 8
    image.resize(64);
    image += marker + le32(1000) + "xyz";  // runs past the end
    image.resize(96);
    image += marker + le32(8);  // empty
    write_all(dir.file("t.dbt"), image);
    dbt_memo_file memo(dir.file("t.dbt"));
    EXPECT_EQ(error_of([&] { memo.read_memo(1); }), "Failed to read MEMO field");
    EXPECT_EQ(error_of([&] { memo.read_memo(2); }), "Failed to read MEMO field");
    EXPECT_EQ(memo.read_memo(3), "");
}

TEST(FptMemoFile, LengthsAndBlockSize) {
    temp_folder dir;
    write_all(dir.file("ok.fpt"), fpt_image(64, 5, std::string("hello\0junk", 10)));
    fpt_memo_file ok(dir.file("ok.fpt"), dbf_memo_vfp);
    EXPECT_EQ(ok.read_memo(1), "hello");  // the stored length, not up to the zero byte
    EXPECT_EQ(error_of([&] { ok.read_memo(2); }), "Failed to read MEMO field");  // out of range

    // Zero bytes inside a memo are part of it (pictures, binary memos).
    write_all(dir.file("nul.fpt"), fpt_image(64, 10, std::string("hel\0lo-abcd", 10)));
    EXPECT_EQ(fpt_memo_file(dir.file("nul.fpt"), dbf_memo_vfp).read_memo(1),
              std::string("hel\0lo-abc", 10));
    write_all(dir.file("zero.fpt"), fpt_image(64, 0, "abc"));
    EXPECT_EQ(fpt_memo_file(dir.file("zero.fpt"), dbf_memo_vfp).read_memo(1), "");
    // Lengths that run past the end of the file.
    write_all(dir.file("long.fpt"), fpt_image(64, 4, "abc"));
    EXPECT_EQ(error_of([&] { fpt_memo_file(dir.file("long.fpt"), dbf_memo_vfp).read_memo(1); }),
              "Failed to read MEMO field");
    write_all(dir.file("huge.fpt"), fpt_image(64, 0xFFFFFFFF, "abc"));
    EXPECT_EQ(error_of([&] { fpt_memo_file(dir.file("huge.fpt"), dbf_memo_vfp).read_memo(1); }),
              "Failed to read MEMO field");

    write_all(dir.file("bs0.fpt"), std::string(64, '\0'));
    EXPECT_EQ(error_of([&] { fpt_memo_file m(dir.file("bs0.fpt"), dbf_memo_vfp); }),
              "Memo file is corrupted");
    write_all(dir.file("short.fpt"), std::string("\0\0\0\x02\0\0\0", 7));
    EXPECT_EQ(error_of([&] { fpt_memo_file m(dir.file("short.fpt"), dbf_memo_vfp); }),
              "Memo file is corrupted");
}

TEST(FptMemoFile, BlockReferenceForms) {
    fpt_memo_file vfp(dbf_test::data_path("memotest.FPT"), dbf_memo_vfp);
    EXPECT_EQ(vfp.get_block_number(std::string("\x02\0\0\0", 4)), 2u);
    EXPECT_EQ(vfp.read_memo(1), "Alice memo");
    EXPECT_EQ(vfp.read_memo(2), "Bob memo");
    fpt_memo_file fox(dbf_test::data_path("pr90.fpt"), dbf_memo_fpt);
    EXPECT_EQ(fox.get_block_number("         1"), 1u);
    EXPECT_EQ(fox.read_memo(1), "He will call us on the 18th to settle - 123 xp");
}

TEST(FptMemoFile, BlockSizeOneMeansByteOffsets) {
    fpt_memo_file memo(dbf_test::data_path("vfp9_memo_bs1.fpt"), dbf_memo_vfp);
    EXPECT_EQ(memo.block_size(), 1u);
    EXPECT_EQ(memo.read_memo(512), "Some notes here\r\n");
}

TEST(SmtMemoFile, ReadsUpToNulAndChecksRange) {
    temp_folder dir;
    write_all(dir.file("short.smt"), std::string(511, '\0'));
    EXPECT_EQ(error_of([&] { smt_memo_file m(dir.file("short.smt")); }), "Memo file is corrupted");
    std::string image(512, '\0');
    image.replace(4, 4, le32(0));
    write_all(dir.file("zero.smt"), image);
    EXPECT_EQ(error_of([&] { smt_memo_file m(dir.file("zero.smt")); }), "Memo file is corrupted");

    image.replace(4, 4, le32(64));
    image += std::string("memo text\0rest", 14);
    write_all(dir.file("t.smt"), image);
    smt_memo_file memo(dir.file("t.smt"));
    EXPECT_EQ(memo.read_memo(8), "memo text");
    EXPECT_EQ(error_of([&] { memo.read_memo(9); }), "Failed to read MEMO field");
    EXPECT_EQ(memo.get_block_number("          "), 0u);
    EXPECT_EQ(memo.get_block_number(std::string("\0\0\0\0\0\0\x08\0\0\0", 10)), 8u);
}

TEST(MemoCompanion, MissingFileRaisesNoMemo) {
    temp_folder dir;
    EXPECT_THROW(dbf_open_memo_file(dbf_memo_old, dir.file("none.dbt"), false),
                 dbf_no_memo_exception);
    EXPECT_EQ(dbf_open_memo_file(dbf_memo_none, dir.file("none.dbt"), false), nullptr);
}

// The block a memo field refers to, by the table's memo format: what tells a
// lost memo (a reference without a readable memo file) from an empty one.
TEST(MemoBlockNumbers, ByMemoFormat) {
    const std::string binary7("\x07\0\0\0", 4), smt("\0\0\0\0\0\0\x05\0\0\0", 10);
    struct {
        dbf_memo_type type;
        std::string field;
        uint32_t block;
    } cases[] = {
        {dbf_memo_old, "        12", 12}, {dbf_memo_old, "          ", 0},
        {dbf_memo_dbt, "         3", 3},  {dbf_memo_fpt, "         4", 4},
        {dbf_memo_vfp, binary7, 7},       {dbf_memo_dct, binary7, 7},
        {dbf_memo_vfp, "        12", 12},  // FoxPro 2 references in a 10-byte field
        {dbf_memo_vfp, std::string(4, '\0'), 0},
        {dbf_memo_smt, smt, 5},           {dbf_memo_smt, "          ", 0},
        {dbf_memo_none, "         1", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(dbf_memo_block(c.type, c.field), c.block) << c.type << " '" << c.field << "'";
}
