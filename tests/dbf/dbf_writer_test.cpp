// Writing tables: the type mapping of new fields, the bytes of appended
// records, memo references, numbers that do not fit, and the record count in
// the header while records are collected in batches.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <vector>

#include "dbf_codec.h"
#include "dbf_database.h"
#include "dbf_exception.h"
#include "dbf_file.h"
#include "dbf_recordset.h"
#include "dbf_test_util.h"
#include "ole_date.h"
#include "tk_codepage.h"
#include "tk_huge_file.h"
#include "udb_record.h"

using dbf_test::read_all;
using dbf_test::temp_folder;

namespace {

std::u16string w(const std::string& s) { return std::u16string(s.begin(), s.end()); }

ole_systemtime date_time(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
    ole_systemtime st;
    st.year = uint16_t(y);
    st.month = uint16_t(mo);
    st.day = uint16_t(d);
    st.hour = uint16_t(h);
    st.minute = uint16_t(mi);
    st.second = uint16_t(s);
    return st;
}

ole_decimal dec(const char* text) { return *ole_decimal::from_string(text); }

struct column {
    std::string name;
    uint16_t vt;
    uint32_t size;
    uint32_t reserved;
};

udb_schema make_schema(const std::vector<column>& columns) {
    udb_schema schema;
    for (const auto& c : columns)
        schema.add(t_ftd(c.size, w(c.name), c.vt, false, false, ole_variant(), c.reserved));
    return schema;
}

udb_record make_record(const std::vector<ole_variant>& values) {
    udb_record record;
    for (size_t i = 0; i < values.size(); ++i) {
        std::u16string name = w(std::to_string(i));
        name.insert(name.begin(), u'F');
        record.emplace_back<udb_field>(std::move(name), 0, values[i]);
    }
    return record;
}

uint32_t le32_at(const std::string& s, size_t at) {
    return dbf_le32(reinterpret_cast<const unsigned char*>(s.data()) + at);
}

// One table in a fresh folder, through the database as the conversion uses it.
struct table_fixture {
    temp_folder dir;
    std::unique_ptr<dbf_database> db;
    std::unique_ptr<udb_recordset> table;

    explicit table_fixture(const std::vector<column>& columns, const std::string& name = "t") {
        db = std::make_unique<dbf_database>(w(dir.str()), 4, 0);
        table = db->create_table(w(name), make_schema(columns), udb_indexes());
    }
    dbf_recordset& rs() { return static_cast<dbf_recordset&>(*table); }
    std::string bytes() {
        rs().flush();
        return read_all(dir.file("t.dbf"));
    }
};

}  // namespace

TEST(DbfCreateField, TypeMapping) {
    struct {
        uint16_t vt;
        uint32_t size, reserved;
        char type;
        int width, decimals;
    } cases[] = {
        {VT_I1, 0, 0, 'N', 4, 0},          {VT_I2, 0, 0, 'N', 6, 0},
        {VT_UI1, 0, 0, 'N', 6, 0},         {VT_I4, 0, 0, 'N', 11, 0},
        {VT_UI2, 0, 0, 'N', 11, 0},        {VT_INT, 0, 0, 'N', 11, 0},
        {VT_R4, 0, 0, 'N', 19, 5},         {VT_CY, 0, 0, 'N', 19, 5},
        {VT_UI4, 0, 0, 'N', 19, 5},        {VT_I8, 0, 0, 'N', 20, 0},
        {VT_UI8, 0, 0, 'N', 20, 0},        {VT_R8, 0, 0, 'B', 8, 0},
        {VT_DATE, 0, 1, 'T', 8, 0},        {VT_DATE, 0, 3, 'T', 8, 0},
        {VT_DATE, 0, 2, 'D', 8, 0},        {VT_DATE, 0, 0, 'C', 19, 0},
        {VT_BSTR, 10, 0, 'C', 11, 0},      {VT_BSTR, 1, 0, 'C', 2, 0},
        {VT_BSTR, 254, 0, 'C', 255, 0},    {VT_BSTR, 255, 0, 'M', 10, 0},
        {VT_BSTR, 0, 0, 'M', 10, 0},       {VT_BOOL, 0, 0, 'L', 1, 0},
        {VT_DECIMAL, 0, 10 * 256 + 2, 'N', 12, 2}, {VT_DECIMAL, 0, 0, 'N', 2, 0},
        {VT_BINARY, 100, 0, 'M', 10, 0},   {VT_BLOB, 0, 0, 'M', 10, 0},
    };
    for (const auto& c : cases) {
        auto fd = dbf_create_field(t_ftd(c.size, u"X", c.vt, false, false, ole_variant(), c.reserved));
        EXPECT_EQ(char(fd[11]), c.type) << c.vt << "/" << c.size << "/" << c.reserved;
        EXPECT_EQ(int(fd[16]), c.width) << c.vt << "/" << c.size;
        EXPECT_EQ(int(fd[17]), c.decimals) << c.vt;
    }
}

TEST(DbfAppend, ThreeLogicalRecords) {
    table_fixture t({{"FLAG", VT_BOOL, 0, 0}});
    t.table->append_record(make_record({ole_variant(true)}));
    t.table->append_record(make_record({ole_variant(false)}));
    t.table->append_record(make_record({ole_variant()}));
    std::string bytes = t.bytes();
    // The records end in the end-of-file byte.
    ASSERT_EQ(bytes.size(), 65u + 3 * 2 + 1);
    EXPECT_EQ(le32_at(bytes, 4), 3u);
    EXPECT_EQ(bytes.substr(65), " T F ?\x1A");
    EXPECT_EQ(bytes[0], '\x03');
}

TEST(DbfAppend, ValueBytesByType) {
    table_fixture t({{"NAME", VT_BSTR, 5, 0},
                     {"AMOUNT", VT_DECIMAL, 0, 10 * 256 + 2},
                     {"STAMP", VT_DATE, 0, 1},
                     {"DAY", VT_DATE, 0, 2},
                     {"RATE", VT_R8, 0, 0},
                     {"QTY", VT_I4, 0, 0}});
    t.table->append_record(make_record({ole_variant(u"abc"), ole_variant(dec("123.45")),
                                        ole_variant(date_time(2004, 1, 15, 10, 30)),
                                        ole_variant(date_time(2004, 1, 15)), ole_variant(2.5),
                                        ole_variant(-42)}));
    t.table->append_record(make_record({ole_variant(), ole_variant(), ole_variant(),
                                        ole_variant(), ole_variant(), ole_variant()}));
    std::string bytes = t.bytes();
    const size_t hlen = 32 + 6 * 32 + 1, rlen = 1 + 6 + 12 + 8 + 8 + 8 + 11;
    ASSERT_EQ(bytes.size(), hlen + 2 * rlen + 1);
    std::string r = bytes.substr(hlen, rlen);
    EXPECT_EQ(r.substr(0, 1), " ");
    EXPECT_EQ(r.substr(1, 6), "abc   ");
    EXPECT_EQ(r.substr(7, 12), "      123.45");
    EXPECT_EQ(le32_at(r, 19), 2453020u);
    EXPECT_EQ(le32_at(r, 23), 37800000u);
    EXPECT_EQ(r.substr(27, 8), "20040115");
    double rate;
    std::memcpy(&rate, r.data() + 35, 8);
    EXPECT_EQ(rate, 2.5);
    EXPECT_EQ(r.substr(43, 11), "        -42");
    std::string empty = bytes.substr(hlen + rlen, rlen);
    EXPECT_EQ(empty.substr(1, 18), std::string(18, ' '));
    EXPECT_EQ(le32_at(empty, 19), 0u);  // reads back as the empty value
    EXPECT_EQ(empty.substr(27, 8), std::string(8, ' '));
    EXPECT_EQ(empty.substr(43, 11), std::string(11, ' '));
}

TEST(DbfAppend, DateTextsInDateFields) {
    table_fixture t({{"DAY", VT_DATE, 0, 2}, {"STAMP", VT_DATE, 0, 1}});
    t.table->append_record(make_record({ole_variant(u"2004-01-15 10:30:00"),
                                        ole_variant(u"15.01.2004 10:30:00")}));
    std::string r = t.bytes().substr(32 + 64 + 1);
    EXPECT_EQ(r.substr(1, 8), "20040115");
    EXPECT_EQ(le32_at(r, 9), 2453020u);
    EXPECT_EQ(le32_at(r, 13), 37800000u);
}

TEST(DbfAppend, MemoReferencesAndEmptyMemo) {
    table_fixture t({{"ID", VT_I2, 0, 0}, {"NOTES", VT_BSTR, 0, 0}});
    t.table->append_record(make_record({ole_variant(short(1)), ole_variant(u"first")}));
    t.table->append_record(make_record({ole_variant(short(2)), ole_variant(u"")}));
    t.table->append_record(make_record({ole_variant(short(3)), ole_variant()}));
    t.table->append_record(
        make_record({ole_variant(short(4)), ole_variant(std::u16string(600, u'x'))}));
    t.table->append_record(make_record({ole_variant(short(5)), ole_variant(u"last")}));
    std::string bytes = t.bytes();
    EXPECT_EQ(bytes[0], '\x83');
    const size_t hlen = 32 + 64 + 1, rlen = 17;
    EXPECT_EQ(bytes.substr(hlen + 7, 10), "         1");
    EXPECT_EQ(bytes.substr(hlen + rlen + 7, 10), std::string(10, ' '));
    EXPECT_EQ(bytes.substr(hlen + 2 * rlen + 7, 10), std::string(10, ' '));
    EXPECT_EQ(bytes.substr(hlen + 3 * rlen + 7, 10), "         2");
    EXPECT_EQ(bytes.substr(hlen + 4 * rlen + 7, 10), "         4");
    std::string memo = read_all(t.dir.file("t.dbt"));
    EXPECT_EQ(le32_at(memo, 0), 5u);
    EXPECT_EQ(memo.substr(512, 7), "first\x1A\x1A");
    EXPECT_EQ(memo.substr(2048, 6), "last\x1A\x1A");
}

TEST(DbfAppend, NumberWiderThanItsFieldIsNeverCut) {
    table_fixture t({{"ID", VT_I2, 0, 0}, {"SMALL", VT_I2, 0, 0}, {"NAME", VT_BSTR, 4, 0}});
    t.table->append_record(make_record({ole_variant(short(1)), ole_variant(short(7)),
                                        ole_variant(u"ok")}));
    try {
        t.table->append_record(make_record({ole_variant(short(2)), ole_variant(12345678),
                                            ole_variant(u"kept")}));
        FAIL() << "no error for a number wider than its field";
    } catch (const dbf_exception& e) {
        EXPECT_EQ(e.level(), 0);
        EXPECT_EQ(e.message(),
                  "Value does not fit into field SMALL of table t, record #2: written as "
                  "asterisks");
    }
    std::string bytes = t.bytes();
    const size_t hlen = 32 + 96 + 1, rlen = 1 + 6 + 6 + 5;
    ASSERT_EQ(bytes.size(), hlen + 2 * rlen + 1);
    EXPECT_EQ(le32_at(bytes, 4), 2u);
    EXPECT_EQ(bytes.substr(hlen + rlen, rlen), "      2******kept ");
}

TEST(DbfAppend, DoubleInNarrowNumericIsRoundedToItsDecimals) {
    table_fixture t({{"AMOUNT", VT_DECIMAL, 0, 6 * 256 + 2}});
    // The decimal's own text "1.23456789" is wider than N(8,2); at two
    // decimals it fits and is the same number at the field's precision.
    t.table->append_record(make_record({ole_variant(dec("1.23456789"))}));
    EXPECT_EQ(t.bytes().substr(32 + 32 + 1 + 1, 8), "    1.23");
}

TEST(DbfAppend, HeaderNeverCountsRecordsNotOnDisk) {
    table_fixture t({{"NAME", VT_BSTR, 99, 0}});
    const std::string path = t.dir.file("t.dbf");
    const size_t hlen = 65, rlen = 101;
    const int total = int(dbf_recordset::batch_bytes / rlen) * 2 + 17;
    for (int i = 0; i < total; ++i) {
        t.table->append_record(make_record({ole_variant(w("row " + std::to_string(i)))}));
        if (i % 500 == 0 || i == total - 1) {
            std::string bytes = read_all(path);
            const uint32_t count = le32_at(bytes, 4);
            ASSERT_LE(hlen + size_t(count) * rlen, bytes.size()) << "after record " << i;
            ASSERT_LE(count, uint32_t(i + 1));
        }
    }
    t.rs().flush();
    std::string bytes = read_all(path);
    EXPECT_EQ(le32_at(bytes, 4), uint32_t(total));
    EXPECT_EQ(bytes.size(), hlen + size_t(total) * rlen + 1);
    EXPECT_EQ(bytes.back(), '\x1A');
    EXPECT_EQ(bytes.substr(hlen + size_t(total - 1) * rlen, 9), " row " + std::to_string(total - 1).substr(0, 4));
}

// What a process killed just before one of the table's writes leaves behind:
// the file as it was at that moment.
namespace {
std::vector<std::string>* g_states = nullptr;
std::string g_watched;

tk_write_limit remember_state(const std::string& file_name, uint64_t, size_t length) {
    if (g_states && file_name == g_watched) g_states->push_back(read_all(file_name));
    return {length, 0};
}

// Records as a reader that ignores the header's count finds them: from the
// header length up to the first 0x1A or the end of the file.  -1 when it meets
// a record that is cut short or whose deletion flag is neither ' ' nor '*'.
long walked_records(const std::string& bytes, size_t hlen, size_t rlen) {
    long n = 0;
    for (size_t at = hlen; at < bytes.size() && bytes[at] != '\x1A'; at += rlen, ++n)
        if (at + rlen > bytes.size() || (bytes[at] != ' ' && bytes[at] != '*')) return -1;
    return n;
}
}  // namespace

TEST(DbfAppend, KilledAtAnyWriteLeavesWholeRecordsForEveryReader) {
    table_fixture t({{"NAME", VT_BSTR, 99, 0}});
    const size_t hlen = 65, rlen = 101;
    std::vector<std::string> states;
    g_states = &states;
    g_watched = t.dir.file("t.dbf");
    const tk_write_hook previous = tk_set_write_hook(&remember_state);
    const int total = int(dbf_recordset::batch_bytes / rlen) * 3 + 5;
    for (int i = 0; i < total; ++i)
        t.table->append_record(make_record({ole_variant(w("row " + std::to_string(i)))}));
    t.rs().flush();
    tk_set_write_hook(previous);
    g_states = nullptr;
    states.push_back(read_all(g_watched));
    // A kill can also stop a long write midway (the kernel ends a write at a
    // fatal signal): the first half of each write that grew the file.
    const size_t whole = states.size();
    for (size_t k = 0; k + 1 < whole; ++k) {
        const std::string &before = states[k], &after = states[k + 1];
        if (after.size() > before.size() + 1)
            states.push_back(before +
                             after.substr(before.size(), (after.size() - before.size()) / 2));
    }

    int disagreeing = 0;
    for (size_t k = 0; k < states.size(); ++k) {
        const std::string& bytes = states[k];
        const uint32_t count = le32_at(bytes, 4);
        ASSERT_LE(hlen + size_t(count) * rlen, bytes.size()) << "state " << k;
        const long walked = walked_records(bytes, hlen, rlen);
        ASSERT_GE(walked, long(count)) << "state " << k;
        // Only between joining a batch and counting it do the two kinds of
        // readers see different, but whole, records.
        if (walked != long(count)) ++disagreeing;
    }
    EXPECT_LE(disagreeing, 4);  // one moment per batch
    EXPECT_EQ(walked_records(states[whole - 1], hlen, rlen), total);
    EXPECT_EQ(le32_at(states[whole - 1], 4), uint32_t(total));
}

TEST(DbfAppend, DestructionWritesTheLastBatch) {
    temp_folder dir;
    {
        dbf_database db(w(dir.str()), 4, 0);
        auto table = db.create_table(u"t", make_schema({{"N", VT_I4, 0, 0}}), udb_indexes());
        for (int i = 0; i < 10; ++i) table->append_record(make_record({ole_variant(i)}));
    }
    std::string bytes = read_all(dir.file("t.dbf"));
    EXPECT_EQ(le32_at(bytes, 4), 10u);
    EXPECT_EQ(bytes.size(), 65u + 10 * 12 + 1);
}

TEST(DbfAppend, ReopenedTableAppendsAfterItsRecords) {
    temp_folder dir;
    dbf_database db(w(dir.str()), 4, 0);
    {
        auto table = db.create_table(u"t", make_schema({{"N", VT_I4, 0, 0}}), udb_indexes());
        table->append_record(make_record({ole_variant(1)}));
    }
    {
        auto table = db.get_table(u"t", dbf_recordset::mode_append);
        table->append_record(make_record({ole_variant(2)}));
    }
    auto table = db.get_table(u"t", dbf_recordset::mode_read);
    std::vector<int> values;
    for (table->move_first(); !table->is_eof(); table->next())
        values.push_back(table->get_item()->at(0).to_long());
    EXPECT_EQ(values, (std::vector<int>{1, 2}));
}

// Floats are printed by exact integer arithmetic; printf's "%.6e" of the
// same value is the reference (correct rounding, ties to even).
TEST(DbfValueText, FloatsAsPrintfPrintsThem) {
    std::vector<float> floats = {
        0.0f, -0.0f, 1.0f, -1.0f, 0.25f, 9.9999995f, 9.999999f, 99999.995f, 16777215.0f,
        16777216.0f, 1234567.5f, 2345678.5f, 1e-45f, -1e-45f, 1.17549435e-38f, 3.4028235e38f,
        -3.4028235e38f, 1e-20f, 1e30f, 123456789.0f, 0.1f, 0.3f, 1e7f, 1e6f, 9999999.0f,
        9999999.5f, 999999.95f, 0.00012345675f,
    };
    // Every power of ten, its neighbours, and the halfway points near it.
    for (int e = -45; e <= 38; ++e) {
        const float p = std::pow(10.0f, float(e));
        floats.push_back(p);
        floats.push_back(std::nextafter(p, 0.0f));
        floats.push_back(std::nextafter(p, std::numeric_limits<float>::infinity()));
    }
    uint32_t state = 12345;  // xorshift: a fixed spread over every bit pattern
    for (int i = 0; i < 200000; ++i) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        float f;
        std::memcpy(&f, &state, 4);
        if (std::isfinite(f)) floats.push_back(f);
    }
    // Integers with exactly eight digits ending in 5: halfway cases.
    for (uint32_t n = 10000005; n < 16777216; n += 1000010) floats.push_back(float(n));
    for (const float f : floats) {
        char expected[64];
        std::snprintf(expected, sizeof expected, "%.6e", double(f));
        ASSERT_EQ(dbf_value_text(ole_variant(f)), expected) << f;
    }
}

// Texts are coded into single-byte code pages by a map built from the
// general conversion; every character, alone and inside a text, and texts
// mixing mapped and unmapped characters give the general conversion's bytes,
// in a memo (dbf_value_text) and cut to a character field.
TEST(DbfValueText, NonAsciiTextsAsTheGeneralConversion) {
    const int code_pages[] = {1252, 1251, 1250, 1253, 866, 437, 850, 932, 65001};
    const std::u16string texts[] = {
        u"Café crème", u"Привет, мир", u"Łódź Žluťoučký", u"Ελληνικά", u"€ “quotes” – dash",
        u"日本語テキスト", u"ｶﾀｶﾅ", u"a\U0001F600b", u"mixed é and 中", u"\u00A0\u00FF\u0178",
        u"\uFFFD?",
    };
    const dbf_field_descriptor7 fd = dbf_normalise(dbf_make_descriptor("C", 'C', 6, 0));
    for (const int cp : code_pages) {
        tk_set_ansi_code_page(cp);
        std::vector<std::u16string> cases(std::begin(texts), std::end(texts));
        for (char16_t c = 0x80; c < 0x3100; ++c)
            if (c < 0xD800 || c > 0xDFFF) cases.push_back(std::u16string{c, u'x', c});
        for (char16_t c = 0xFF00; c != 0; ++c) cases.push_back(std::u16string(1, c));
        for (const auto& text : cases) {
            const ole_variant v(text);
            const std::string expected = v.to_string();
            ASSERT_EQ(dbf_value_text(v), expected) << cp << " " << int(text[0]);
            unsigned char out[6];
            dbf_put_value(out, fd, 6, v, nullptr);
            std::string field = expected.substr(0, 6);
            field.resize(6, ' ');
            ASSERT_EQ(std::string(reinterpret_cast<char*>(out), 6), field)
                << cp << " " << int(text[0]);
        }
    }
    tk_set_ansi_code_page(1252);
}

// Records are coded into a reused buffer: every byte of a binary field is
// written, the bytes beyond the value's size (or all, for a field too narrow
// for it) as zeros, whatever the buffer held before.
TEST(DbfPutValue, BinaryFieldsOfForeignWidthsWriteEveryByte) {
    struct binary_case {
        char type;
        uint32_t width;
        uint32_t value_size;  // bytes of the value when it fits
    };
    const binary_case cases[] = {{'B', 10, 8}, {'B', 5, 0}, {'I', 6, 4}, {'I', 3, 0},
                                 {'T', 12, 8}, {'T', 4, 0}, {'Y', 9, 8}, {'Y', 8, 8}};
    for (const auto& c : cases) {
        const dbf_field_descriptor7 fd =
            dbf_normalise(dbf_make_descriptor("X", c.type, uint8_t(c.width), 0));
        unsigned char out[16];
        std::memset(out, 0xAA, sizeof out);
        dbf_put_value(out, fd, c.width, ole_variant(-1), nullptr);
        for (uint32_t i = c.value_size; i < c.width; ++i)
            EXPECT_EQ(out[i], 0) << c.type << " width " << c.width << " byte " << i;
        EXPECT_EQ(out[c.width], 0xAA) << c.type << " wrote past its width";
    }
}

// A number coded into a numeric field is its text right-aligned, whichever
// way the text was made.
TEST(DbfPutValue, NumbersRightAlignedAsTheirText) {
    const auto dec = [](const char* s) { return *ole_decimal::from_string(s); };
    const ole_variant values[] = {
        ole_variant(),          ole_variant(-2147483647 - 1), ole_variant(short(-5)),
        ole_variant(0.75f),     ole_variant(-1e-30f),         ole_variant(int64_t(-42)),
        ole_variant(dec("-0.05")), ole_variant(dec("12345678.90")), ole_variant(4294967295u),
    };
    const dbf_field_descriptor7 fd = dbf_normalise(dbf_make_descriptor("X", 'N', 19, 5));
    for (const auto& v : values) {
        unsigned char out[19];
        ASSERT_EQ(dbf_put_value(out, fd, 19, v, nullptr), dbf_put_result::ok) << v.vt();
        std::string text = dbf_value_text(v);
        ASSERT_LE(text.size(), 19u) << v.vt();
        std::string expected = std::string(19 - text.size(), ' ') + text;
        EXPECT_EQ(std::string(reinterpret_cast<char*>(out), 19), expected) << v.vt();
    }
}

TEST(DbfValueText, SameAsTheGeneralConversion) {
    tk_set_ansi_code_page(1251);
    const ole_variant values[] = {
        ole_variant(),
        ole_variant(u"plain ascii"),
        ole_variant(u"Привет"),
        ole_variant(u""),
        ole_variant(char(-128)),
        ole_variant(short(-32768)),
        ole_variant(2147483647),
        ole_variant(-2147483647 - 1),
        ole_variant((unsigned char)255),
        ole_variant((unsigned short)65535),
        ole_variant(4294967295u),
        ole_variant(1.5f),
        ole_variant(-3.4028235e38f),
        ole_variant(1e-45f),
        ole_variant(0.0f),
        ole_variant(2.5),
        ole_variant(-1.0 / 3.0),
        ole_variant(1e300),
        ole_variant(5e-324),
        ole_variant(int64_t(-9223372036854775807LL)),
        ole_variant(dec("-123.4500")),
        ole_variant(dec("0.001")),
        ole_variant(dec("-0.5")),
        ole_variant(dec("100")),
        ole_variant(dec("1200.00")),
        ole_variant(dec("0")),
        ole_variant(dec("-0.00")),
        ole_variant(dec("18446744073709551615")),
        ole_variant(dec("0.0000000000000000001")),
        ole_variant(dec("79228162514264337593543950335")),
        ole_variant(dec("-7.9228162514264337593543950335")),
        ole_variant(true),
        ole_variant(date_time(2004, 1, 15, 10, 30)),
    };
    for (const auto& v : values) EXPECT_EQ(dbf_value_text(v), v.to_string()) << v.vt();
    tk_set_ansi_code_page(1252);
}
