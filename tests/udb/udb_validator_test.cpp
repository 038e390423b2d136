// Name validation and safe-name generation.
#include "udb_validator.h"

#include <gtest/gtest.h>

#include <chrono>
#include <set>

#include "tk_exception.h"
#include "tk_string.h"
#include "udb_test_support.h"

namespace {

std::u16string repeat(char16_t c, size_t n) {
    return std::u16string(n, c);
}

std::u16string letters(size_t n) {
    std::u16string s;
    for (size_t i = 0; i < n; ++i) s += static_cast<char16_t>(u'a' + i % 26);
    return s;
}

TEST(udb_validator, acceptance_rules_in_order) {
    log_capture log(1);
    udb_validator v(10);
    v.add_restricted_name(u"Select");
    v.add_illegal_chars(u" -");
    EXPECT_TRUE(v.is_acceptable(u"ABCDEFGHIJ"));
    EXPECT_FALSE(v.is_acceptable(u"ABCDEFGHIJK"));
    EXPECT_TRUE(log.contains("The name is too long"));
    EXPECT_FALSE(v.is_acceptable(u"SELECT"));
    EXPECT_FALSE(v.is_acceptable(u"select"));
    EXPECT_TRUE(log.contains("The name is restricted"));
    EXPECT_TRUE(v.is_acceptable(u"selects"));
    EXPECT_FALSE(v.is_acceptable(u"A-B"));
    EXPECT_TRUE(log.contains("The name contains illegal: -"));
    // The length test comes first: a long name with illegal characters is too long.
    EXPECT_FALSE(v.is_acceptable(u"A B C D E F"));
    EXPECT_FALSE(log.contains("The name contains illegal:  "));
    EXPECT_FALSE(v.is_acceptable(u""));
}

TEST(udb_validator, no_limit_accepts_names_of_any_length) {
    const udb_validator v(0);
    const std::u16string huge = letters(5000);
    EXPECT_TRUE(v.is_acceptable(huge));
    EXPECT_EQ(v.get_safe_name(huge), huge);
}

TEST(udb_validator, duplicates_ignore_case) {
    udb_validator v(0);
    v.add_existing_name(u"NAME");
    v.add_existing_name(u"Straße");
    EXPECT_TRUE(v.is_duplicated(u"name"));
    EXPECT_TRUE(v.is_duplicated(u"STRASSE"));
    EXPECT_FALSE(v.is_duplicated(u"NAMES"));
    EXPECT_FALSE(v.is_duplicated(u""));
    EXPECT_EQ(v.existing_names(), (std::vector<std::u16string>{u"NAME", u"Straße"}));
}

TEST(udb_validator, long_name_is_cut_then_suffixed) {
    udb_validator v(30);
    const std::u16string name = letters(40);
    EXPECT_EQ(v.get_safe_name(name), name.substr(0, 29));
    v.add_existing_name(name.substr(0, 29));
    EXPECT_EQ(v.get_safe_name(name), name.substr(0, 24) + u"00000");
    v.add_existing_name(name.substr(0, 24) + u"00000");
    EXPECT_EQ(v.get_safe_name(name), name.substr(0, 24) + u"00001");
}

TEST(udb_validator, restricted_word_in_other_case_gets_suffix) {
    udb_validator v(10);
    v.add_restricted_name(u"ORDER");
    EXPECT_EQ(v.get_safe_name(u"order"), u"order00000");
    // A short name is not cut before the suffix.
    v.add_existing_name(u"order00000");
    EXPECT_EQ(v.get_safe_name(u"Order"), u"Order00001");
}

TEST(udb_validator, illegal_characters_replaced_before_any_suffix) {
    udb_validator v(0);
    v.add_illegal_chars(u" .-");
    EXPECT_EQ(v.get_safe_name(u"first name.x-y"), u"first_name_x_y");
    v.add_existing_name(u"first_name_x_y");
    EXPECT_EQ(v.get_safe_name(u"first name.x-y"), u"first_name_x_y00000");
    // A name made only of illegal characters becomes underscores.
    EXPECT_EQ(v.get_safe_name(u"..."), u"___");
}

TEST(udb_validator, empty_name_gets_a_numbered_name) {
    udb_validator v(10);
    EXPECT_EQ(v.get_safe_name(u""), u"00000");
    v.add_existing_name(u"00000");
    EXPECT_EQ(v.get_safe_name(u""), u"00001");
}

TEST(udb_validator, thousands_of_characters_are_cut_to_the_limit) {
    const udb_validator v(10);
    const std::u16string safe = v.get_safe_name(repeat(u'x', 10000));
    EXPECT_EQ(safe, repeat(u'x', 9));
}

TEST(udb_validator, thousand_generated_names_stay_unique) {
    udb_validator v(30);
    const std::u16string prefix = u"A_VERY_LONG_COMMON_PREFIX_OF_COLUMNS";
    std::set<std::u16string> seen;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 1000; ++i) {
        // Alternate the case: duplicates are found without regard to it.
        std::u16string name = prefix + (i % 2 ? u"x" : u"X");
        const std::u16string safe = v.get_safe_name(name);
        ASSERT_TRUE(v.is_acceptable(safe)) << utf8(safe);
        ASSERT_FALSE(v.is_duplicated(safe)) << utf8(safe);
        ASSERT_LE(safe.size(), 29u);
        std::u16string upper = safe;
        for (char16_t& c : upper) c = (c >= u'a' && c <= u'z') ? c - 32 : c;
        ASSERT_TRUE(seen.insert(upper).second) << utf8(safe);
        v.add_existing_name(safe);
    }
    EXPECT_EQ(v.existing_names().front(), u"A_VERY_LONG_COMMON_PREFIX_OF_");
    EXPECT_EQ(v.existing_names().back(), u"A_VERY_LONG_COMMON_PREFI00998");
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_LT(elapsed, std::chrono::seconds(10));
}

TEST(udb_validator, search_gives_up_with_internal_error) {
    // With a maximum of 5 only the bare numbers fit; with 4 nothing does.
    udb_validator five(5);
    five.add_existing_name(u"abcd");
    EXPECT_EQ(five.get_safe_name(u"abcdefgh"), u"00000");
    udb_validator tiny(4);
    tiny.add_existing_name(u"abc");
    EXPECT_THROW(tiny.get_safe_name(u"abcdefgh"), tk_mail_assertion);
    // An illegal '_' makes every replacement illegal too.
    udb_validator strict(0);
    strict.add_illegal_chars(u" _");
    EXPECT_THROW(strict.get_safe_name(u"  "), tk_mail_assertion);
}

TEST(udb_validator, all_hundred_thousand_suffixes_taken) {
    udb_validator v(0);
    for (int i = 0; i < 100000; ++i) {
        std::u16string digits = tk_utf8_to_ucs2(std::to_string(100000 + i).substr(1));
        v.add_existing_name(u"T" + digits);
    }
    v.add_existing_name(u"T");
    EXPECT_THROW(v.get_safe_name(u"T"), tk_mail_assertion);
    EXPECT_EQ(v.get_safe_name(u"U"), u"U");
}

// A validator with a rule of its own: names may not end in "00000".
class no_zero_validator : public udb_validator {
  public:
    no_zero_validator() : udb_validator(12) {}
    bool is_acceptable(const std::u16string& name) const override {
        if (name.size() >= 5 && name.compare(name.size() - 5, 5, u"00000") == 0) return false;
        return udb_validator::is_acceptable(name);
    }
};

TEST(udb_validator, safe_name_uses_derived_rules) {
    no_zero_validator v;
    v.add_existing_name(u"EMP");
    EXPECT_EQ(v.get_safe_name(u"emp"), u"emp00001");
    const udb_validator& base = v;
    EXPECT_EQ(base.get_safe_name(u"emp"), u"emp00001");
}

}  // namespace

namespace {

TEST(udb_validator, huge_names_with_tracing_on) {
    log_capture log(1);
    udb_validator v(30);
    v.add_illegal_chars(u"!");
    v.add_existing_name(std::u16string(29, u'_'));
    const std::u16string safe = v.get_safe_name(std::u16string(30000, u'!'));
    EXPECT_EQ(safe, std::u16string(24, u'_') + u"00000");
    EXPECT_TRUE(log.contains("udb_validator::get_safe_name(!!!"));
}

}  // namespace
