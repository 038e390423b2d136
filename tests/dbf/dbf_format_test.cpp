// The byte layout of table files: header and record arithmetic of new
// tables, descriptor widths and types, the reader's header checks, and the
// field coders.
#include <gtest/gtest.h>

#include <cstring>

#include "dbf_exception.h"
#include "dbf_file.h"
#include "dbf_format.h"
#include "dbf_test_util.h"

using dbf_test::temp_folder;

namespace {

const unsigned char* u8(const std::string& s) {
    return reinterpret_cast<const unsigned char*>(s.data());
}

std::string field_bytes(void (*put)(unsigned char*, size_t, std::string_view), size_t width,
                        std::string_view text) {
    std::string out(width, '\0');
    put(reinterpret_cast<unsigned char*>(out.data()), width, text);
    return out;
}

// A 32-byte header followed by descriptors and records, as a reader sees it.
std::string make_table(uint8_t version, uint32_t count, uint16_t hlen, uint16_t rlen,
                       const std::vector<dbf_field_descriptor>& fields, bool terminator = true) {
    std::string image(hlen, '\0');
    dbf_header h;
    h.version = version;
    h.record_count = count;
    h.header_length = hlen;
    h.record_length = rlen;
    dbf_store_header(h, reinterpret_cast<unsigned char*>(image.data()));
    for (size_t i = 0; i < fields.size(); ++i)
        std::memcpy(image.data() + 32 + 32 * i, fields[i].data(), 32);
    if (terminator && 32 + 32 * fields.size() < hlen) image[32 + 32 * fields.size()] = 0x0D;
    image.append(size_t(rlen) * count, ' ');
    return image;
}

std::string reject_message(const std::string& bytes) {
    temp_folder dir;
    dbf_test::write_all(dir.file("t.dbf"), bytes);
    dbf_file file(dir.file("t.dbf"), false);
    try {
        dbf_read_layout(file);
    } catch (const dbf_exception& e) {
        return e.message();
    }
    return "accepted";
}

}  // namespace

TEST(DbfTableImage, OneLogicalField) {
    std::string image = dbf_build_table_image({dbf_make_descriptor("FLAG", 'L', 1, 0)}, 2026, 12, 7);
    ASSERT_EQ(image.size(), 65u);
    dbf_header h = dbf_parse_header(u8(image));
    EXPECT_EQ(h.version, 0x03);
    EXPECT_EQ(h.header_length, 65);
    EXPECT_EQ(h.record_length, 2);
    EXPECT_EQ(h.record_count, 0u);
    EXPECT_EQ(h.year, 126);  // counted from 1900
    EXPECT_EQ(dbf_header_year(h.year), 2026);
    EXPECT_EQ(h.month, 12);
    EXPECT_EQ(h.day, 7);
    EXPECT_EQ(image[64], '\x0D');
    EXPECT_EQ(image.substr(32, 5), std::string("FLAG\0", 5));
    EXPECT_EQ(image[43], 'L');
}

TEST(DbfTableImage, MemoTableVersionAndDisplacements) {
    std::string image = dbf_build_table_image(
        {dbf_make_descriptor("NAME", 'C', 11, 0), dbf_make_descriptor("QTY", 'N', 11, 0),
         dbf_make_descriptor("NOTES", 'M', 10, 0)},
        2004, 1, 15);
    dbf_header h = dbf_parse_header(u8(image));
    EXPECT_EQ(h.version, 0x83);
    EXPECT_EQ(h.header_length, 32 + 3 * 32 + 1);
    EXPECT_EQ(h.record_length, 33);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(dbf_le32(u8(image) + 32 + 32 * i + 12), uint32_t(11 * i)) << "field " << i;
}

TEST(DbfTableImage, NameIsCutToTenBytes) {
    auto fd = dbf_make_descriptor("ABCDEFGHIJKLMN", 'C', 5, 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(fd.data()), 11),
              std::string("ABCDEFGHIJ\0", 11));
}

TEST(DbfJulianDay, KnownDaysAndRoundTrip) {
    EXPECT_EQ(dbf_julian_day(2000, 1, 1), 2451545);
    EXPECT_EQ(dbf_julian_day(1, 1, 1), dbf_julian_day_1);
    EXPECT_EQ(dbf_julian_day(2004, 1, 15), 2453020);
    EXPECT_EQ(dbf_julian_day(1582, 10, 15), 2299161);  // proleptic Gregorian
    for (int64_t jd = dbf_julian_day_1; jd < 5373484; jd += 997) {
        int y, m, d;
        dbf_civil_from_julian(jd, y, m, d);
        ASSERT_EQ(dbf_julian_day(y, m, d), jd);
    }
}

TEST(DbfFieldCoders, CharacterPadsAndCuts) {
    EXPECT_EQ(field_bytes(dbf_put_character, 5, "ab"), "ab   ");
    EXPECT_EQ(field_bytes(dbf_put_character, 3, "abcdef"), "abc");
    EXPECT_EQ(field_bytes(dbf_put_character, 3, ""), "   ");
}

TEST(DbfFieldCoders, NumericRightAlignedOrAsterisks) {
    std::string out(12, '\0');
    EXPECT_TRUE(dbf_put_numeric(reinterpret_cast<unsigned char*>(out.data()), 12, "123.45"));
    EXPECT_EQ(out, "      123.45");
    std::string narrow(6, '\0');
    EXPECT_FALSE(dbf_put_numeric(reinterpret_cast<unsigned char*>(narrow.data()), 6, "12345678"));
    EXPECT_EQ(narrow, "******");
    std::string exact(6, '\0');
    EXPECT_TRUE(dbf_put_numeric(reinterpret_cast<unsigned char*>(exact.data()), 6, "-12345"));
    EXPECT_EQ(exact, "-12345");
    std::string empty(4, '\0');
    EXPECT_TRUE(dbf_put_numeric(reinterpret_cast<unsigned char*>(empty.data()), 4, ""));
    EXPECT_EQ(empty, "    ");
}

TEST(DbfFieldCoders, DateTexts) {
    struct {
        const char* text;
        const char* bytes;
    } cases[] = {
        {"2004-01-15", "20040115"},
        {"2004-01-15 10:30:00", "20040115"},
        {"20040115", "20040115"},
        {"", "        "},
        {"2004-01", " 2004-01"},        // two parts: kept as it is
        {"1-2-3-4", " 1-2-3-4"},        // four parts: kept as it is
    };
    for (const auto& c : cases)
        EXPECT_EQ(field_bytes(dbf_put_date_text, 8, c.text), c.bytes) << c.text;
}

TEST(DbfFieldCoders, BinaryForms) {
    unsigned char b[8];
    dbf_put_datetime(b, 2453020, 37800000);
    EXPECT_EQ(dbf_le32(b), 2453020u);
    EXPECT_EQ(dbf_le32(b + 4), 37800000u);
    dbf_put_int32(b, -2);
    EXPECT_EQ(dbf_le32(b), 0xFFFFFFFEu);
    dbf_put_double(b, 1.0);
    const unsigned char one[8] = {0, 0, 0, 0, 0, 0, 0xF0, 0x3F};
    EXPECT_EQ(std::memcmp(b, one, 8), 0);
}

TEST(DbfDescriptors, WidthsOfBothLayouts) {
    struct {
        char type;
        uint8_t width, decimals;
        uint32_t size;
        uint32_t storage;
    } cases[] = {
        {'C', 44, 1, 300, 300},  // FoxPro long character: the 16-bit width
        {'C', 10, 0, 10, 10},    {'N', 12, 2, 12, 12}, {'D', 8, 0, 8, 8},
        {'M', 10, 0, 0, 10},     {'M', 4, 0, 0, 4},    {'L', 1, 0, 1, 1},
        {'B', 8, 0, 8, 8},       {'G', 10, 0, 10, 10}, {'V', 250, 0, 250, 250},
    };
    for (const auto& c : cases) {
        auto fd = dbf_make_descriptor("F", c.type, c.width, c.decimals);
        EXPECT_EQ(dbf_get_size_1(fd), c.size) << c.type;
        auto fd7 = dbf_normalise(fd);
        EXPECT_EQ(dbf_get_size_2(fd7), c.size) << c.type;
        EXPECT_EQ(dbf_storage_width(fd7), c.storage) << c.type;
    }
}

TEST(DbfDescriptors, VarTypes) {
    struct {
        char type;
        uint8_t width, decimals;
        uint16_t vartype;
    } cases[] = {
        {'B', 8, 0, 5},   {'B', 10, 0, 65}, {'D', 8, 0, 7},   {'T', 8, 0, 7},   {'F', 20, 0, 14},
        {'F', 20, 18, 14}, {'F', 29, 2, 14}, {'F', 30, 2, 5}, {'O', 8, 0, 5},
        {'G', 10, 0, 65}, {'P', 10, 0, 65}, {'I', 4, 0, 3},   {'L', 1, 0, 11},
        {'Y', 8, 4, 6},   {'N', 12, 2, 14}, {'N', 2, 0, 16},  {'N', 3, 0, 2},
        {'N', 4, 0, 2},   {'N', 5, 0, 3},   {'N', 9, 0, 3},   {'N', 10, 0, 20},
        {'N', 20, 0, 20}, {'N', 21, 0, 5},  {'C', 10, 0, 8},  {'M', 10, 0, 8},
        {'A', 10, 0, 8},  {'Z', 10, 0, 8},
    };
    for (const auto& c : cases)
        EXPECT_EQ(dbf_get_vartype_2(dbf_normalise(dbf_make_descriptor("F", c.type, c.width,
                                                                        c.decimals))),
                  c.vartype)
            << c.type << int(c.width);
}

TEST(DbfDescriptors, NameStopsAtFirstNul) {
    dbf_field_descriptor fd{};
    std::memcpy(fd.data(), "F\0B\0\\\xAD" "B", 7);
    fd[11] = 'C';
    EXPECT_EQ(dbf_fd_name(dbf_normalise(fd)), "F");
}

TEST(DbfHeader, MemoTypeOfVersionAndFlags) {
    struct {
        uint8_t version, flags;
        dbf_memo_type type;
    } cases[] = {
        {0x30, 0x00, dbf_memo_none}, {0x30, 0x02, dbf_memo_vfp}, {0x31, 0x03, dbf_memo_vfp},
        {0x32, 0x06, dbf_memo_dct},  {0x30, 0x04, dbf_memo_none}, {0x7B, 0, dbf_memo_dbt},
        {0x8B, 0, dbf_memo_dbt},     {0x8C, 0, dbf_memo_dbt},     {0xCB, 0, dbf_memo_dbt},
        {0xEB, 0, dbf_memo_dbt},     {0x83, 0, dbf_memo_old},     {0xE5, 0, dbf_memo_smt},
        {0xF5, 0, dbf_memo_fpt},     {0x03, 0x02, dbf_memo_none}, {0x04, 0, dbf_memo_none},
    };
    for (const auto& c : cases) {
        dbf_header h;
        h.version = c.version;
        h.flags = c.flags;
        EXPECT_EQ(dbf_get_memo_type(h), c.type) << std::hex << int(c.version);
    }
}

TEST(DbfHeader, CodePageMarks) {
    EXPECT_EQ(dbf_codepage_for_mark(0xC9), 1251);
    EXPECT_STREQ(dbf_codepage_name(0xC9), "Russian Windows");
    EXPECT_EQ(dbf_codepage_for_mark(0x65), 866);
    EXPECT_EQ(dbf_codepage_for_mark(0x66), 865);
    EXPECT_EQ(dbf_codepage_for_mark(0x69), 620);
    EXPECT_EQ(dbf_codepage_for_mark(0x00), 0);
    EXPECT_STREQ(dbf_codepage_name(0x00), "Default");
    EXPECT_EQ(dbf_codepage_for_mark(0x42), 0);
    EXPECT_EQ(dbf_codepage_for_mark(0xF0), 0);
}

TEST(DbfReader, RejectedHeaders) {
    const auto one_l = std::vector<dbf_field_descriptor>{dbf_make_descriptor("A", 'L', 1, 0)};
    std::string good = make_table(0x03, 3, 65, 2, one_l);
    EXPECT_EQ(reject_message(good), "accepted");
    EXPECT_EQ(reject_message(good.substr(0, 31)), "File does not comply with DBF format");
    EXPECT_EQ(reject_message(good.substr(0, good.size() - 1)),
              "File does not comply with DBF format");  // claims more records than it holds
    EXPECT_EQ(reject_message(make_table(0x03, 3, 65, 1, one_l)),
              "File does not comply with DBF format");  // record length below 2
    std::string top_bit = good;
    top_bit[7] = char(0x80);
    EXPECT_EQ(reject_message(top_bit), "File does not comply with DBF format");
    std::string short_header = good;
    short_header[8] = 20;  // header length 20 cannot hold the header
    short_header[9] = 0;
    EXPECT_EQ(reject_message(short_header), "File does not comply with DBF format");
    std::string absurd = good;
    absurd[8] = char(0xFF);  // 65535-byte header in a 71-byte file
    absurd[9] = char(0xFF);
    EXPECT_EQ(reject_message(absurd), "File does not comply with DBF format");
}

TEST(DbfReader, HugeRecordCountOnTinyFileIsRejected) {
    std::string image = make_table(0x03, 0, 65, 2, {dbf_make_descriptor("A", 'L', 1, 0)});
    dbf_put_le32(reinterpret_cast<unsigned char*>(image.data()) + 4, 0x7FFFFFFF);
    dbf_put_le16(reinterpret_cast<unsigned char*>(image.data()) + 10, 0xFFFF);
    EXPECT_EQ(reject_message(image), "File does not comply with DBF format");
}

TEST(DbfReader, TerminatorBeforeCountEndsDescriptors) {
    // The header length leaves room for three descriptors, the terminator
    // follows the first.
    std::vector<dbf_field_descriptor> fields{dbf_make_descriptor("A", 'C', 3, 0)};
    std::string image = make_table(0x03, 1, 32 + 3 * 32 + 1, 4, fields);
    temp_folder dir;
    dbf_test::write_all(dir.file("t.dbf"), image);
    dbf_file file(dir.file("t.dbf"), false);
    auto layout = dbf_read_layout(file);
    ASSERT_EQ(layout.fields.size(), 1u);
    EXPECT_EQ(dbf_fd_name(layout.fields[0]), "A");
}

TEST(DbfReader, MissingTerminatorIsBoundedByHeaderLength) {
    std::vector<dbf_field_descriptor> fields{dbf_make_descriptor("A", 'C', 3, 0),
                                             dbf_make_descriptor("B", 'C', 3, 0)};
    std::string image = make_table(0x03, 1, 32 + 2 * 32, 7, fields, false);
    temp_folder dir;
    dbf_test::write_all(dir.file("t.dbf"), image);
    dbf_file file(dir.file("t.dbf"), false);
    auto layout = dbf_read_layout(file);
    ASSERT_EQ(layout.fields.size(), 2u);
    EXPECT_EQ(layout.offsets[1], 3u);
}

// A field reaching past the record is not dropped (with the fields after it)
// but refuses the table: its descriptors contradict its record length.
TEST(DbfReader, FieldPastTheRecordLengthRefusesTheTable) {
    std::vector<dbf_field_descriptor> fields{dbf_make_descriptor("A", 'C', 3, 0),
                                             dbf_make_descriptor("B", 'N', 200, 0),
                                             dbf_make_descriptor("C", 'C', 1, 0)};
    EXPECT_EQ(reject_message(make_table(0x03, 1, 32 + 3 * 32 + 1, 5, fields)),
              "File does not comply with DBF format");
    // A character field whose width fits neither as 16 bits nor as byte 16.
    fields[1] = dbf_make_descriptor("B", 'C', 200, 1);
    EXPECT_EQ(reject_message(make_table(0x03, 1, 32 + 3 * 32 + 1, 5, fields)),
              "File does not comply with DBF format");
}

// No descriptor fits: not a table of no fields, a refused one.
TEST(DbfReader, NoFieldThatFitsRefusesTheTable) {
    std::vector<dbf_field_descriptor> fields{dbf_make_descriptor("A", 'N', 90, 0),
                                             dbf_make_descriptor("B", 'D', 80, 0)};
    EXPECT_EQ(reject_message(make_table(0x03, 2, 32 + 2 * 32 + 1, 10, fields)),
              "File does not comply with DBF format");
    // The terminator right after the header: no descriptor at all.
    EXPECT_EQ(reject_message(make_table(0x03, 2, 32 + 1, 10, {})),
              "File does not comply with DBF format");
}

TEST(DbfReader, Level7DescriptorsFrom68) {
    dbf_file file(dbf_test::data_path("dBaseVII_int.dbf"), false);
    auto layout = dbf_read_layout(file);
    EXPECT_EQ(layout.header.version, 0x04);
    ASSERT_EQ(layout.fields.size(), 1u);
    EXPECT_EQ(dbf_fd_type(layout.fields[0]), 'I');
    EXPECT_EQ(layout.widths[0], 4u);

    dbf_file inventory(dbf_test::data_path("inventory.dbf"), false);
    auto inv = dbf_read_layout(inventory);
    ASSERT_EQ(inv.fields.size(), 6u);
    EXPECT_EQ(dbf_fd_name(inv.fields[0]), "Item ID");
    EXPECT_EQ(dbf_fd_name(inv.fields[5]), "CacheID");
    EXPECT_EQ(dbf_get_size_2(inv.fields[2]), 40u);
}

TEST(DbfReader, LongCharacterWidthOfFoxPro) {
    dbf_file file(dbf_test::data_path("pr90.dbf"), false);
    auto layout = dbf_read_layout(file);
    ASSERT_EQ(layout.fields.size(), 18u);
    uint32_t total = 1;
    bool found = false;
    for (size_t i = 0; i < layout.fields.size(); ++i) {
        total += layout.widths[i];
        if (dbf_fd_name(layout.fields[i]) == "NOTE") {
            EXPECT_EQ(layout.widths[i], 300u);
            found = true;
        }
    }
    EXPECT_TRUE(found);
    EXPECT_EQ(total, layout.header.record_length);
}
