// Random and malformed texts into every parser of the values: each must give
// a value or the empty value, never crash, read out of bounds or overflow.
// The run is bounded in time and iterations; the seed is fixed, so a failure
// names the text that caused it and can be replayed.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "ole_date.h"
#include "ole_variant.h"
#include "tk_exception.h"

namespace {

const char* const kSeeds[] = {
    "123.45",
    ".5",
    "-.5",
    "1E3",
    "1.5E-3",
    "-0.001",
    "12345678901234567890.123456789",
    "1.0E+40",
    "79228162514264337593543950335",
    "0x41FF",
    "41FF",
    "3,5",
    "1,234.5",
    "TRUE",
    "No",
    "20040115103000",
    "20040115",
    "10:30:05.5",
    "15.01.2004 10:20:30",
    "3:15:00 PM",
    "12:00 AM",
    "2004/01/15 10:20:30",
    "0000-00-00 10:30:00",
    "Inf",
    "-Nan",
    "(5)",
    "5-",
    "9223372036854775808",
    "18446744073709551615",
    "1e-400",
    "1e400",
    "  42  ",
    "2004-01-15",
};

const VARTYPE kTags[] = {VT_EMPTY,  VT_NULL, VT_I2,          VT_I4,        VT_R4,
                         VT_R8,     VT_CY,   VT_DATE,        VT_BSTR,      VT_DISPATCH,
                         VT_ERROR,  VT_BOOL, VT_VARIANT,     VT_UNKNOWN,   VT_DECIMAL,
                         VT_I1,     VT_UI1,  VT_UI2,         VT_UI4,       VT_I8,
                         VT_UI8,    VT_INT,  VT_UINT,        VT_SAFEARRAY, VT_LPSTR,
                         VT_LPWSTR, VT_BLOB, VT_BLOB_OBJECT, VT_BINARY,    0xFFFF};

// Characters that the notations care about, so that random texts come close
// to valid ones often.
const char kAlphabet[] = "0123456789012345678901234567890123456789.-+,:/ eExXAPMapm()\t";

class text_source {
  public:
    explicit text_source(uint32_t seed) : rng_(seed) {}

    std::string next() {
        switch (pick(6)) {
            case 0:
                return random_text(pick(24));
            case 1:
                return random_bytes(pick(24));
            case 2:
                return mutate(kSeeds[pick(std::size(kSeeds))]);
            case 3:
                return mutate(mutate(kSeeds[pick(std::size(kSeeds))]));
            case 4:
                return std::string(pick(3000), kAlphabet[pick(10)]) + random_text(pick(8));
            default:
                return random_text(pick(3)) + kSeeds[pick(std::size(kSeeds))] +
                       random_text(pick(3));
        }
    }

  private:
    size_t pick(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(rng_); }

    std::string random_text(size_t n) {
        std::string s;
        for (size_t i = 0; i < n; ++i) s.push_back(kAlphabet[pick(sizeof kAlphabet - 1)]);
        return s;
    }

    std::string random_bytes(size_t n) {
        std::string s;
        for (size_t i = 0; i < n; ++i) s.push_back(static_cast<char>(pick(256)));
        return s;
    }

    std::string mutate(std::string s) {
        const size_t edits = 1 + pick(3);
        for (size_t e = 0; e < edits; ++e) {
            const size_t at = s.empty() ? 0 : pick(s.size() + 1);
            switch (pick(4)) {
                case 0:
                    s.insert(at, 1, kAlphabet[pick(sizeof kAlphabet - 1)]);
                    break;
                case 1:
                    if (at < s.size()) s.erase(at, 1);
                    break;
                case 2:
                    if (at < s.size()) s[at] = static_cast<char>(pick(256));
                    break;
                default:
                    s = s.substr(0, at);
                    break;
            }
        }
        return s;
    }

    std::mt19937 rng_;
};

bool may_throw_type_exception(VARTYPE vt) {
    switch (vt) {
        case VT_EMPTY:
        case VT_I2:
        case VT_I4:
        case VT_R4:
        case VT_R8:
        case VT_CY:
        case VT_DATE:
        case VT_BSTR:
        case VT_BOOL:
        case VT_DECIMAL:
        case VT_I1:
        case VT_UI1:
        case VT_UI2:
        case VT_UI4:
        case VT_I8:
        case VT_UI8:
        case VT_BLOB:
        case VT_BINARY:
            return false;
        default:
            return true;
    }
}

// Uses every reading operation of a value; only the requests the design
// forbids may throw, and only tk_mail_assertion.  (Checking the refusals is
// slow, exceptions being what they are: check_refusals takes a sample.)
void exercise(const ole_variant& v, const std::string& text, bool check_refusals) {
    EXPECT_NO_THROW((void)v.to_string()) << text;
    EXPECT_NO_THROW((void)v.to_wstring()) << text;
    const VARTYPE vt = v.vt();
    const bool numeric = vt == VT_EMPTY || vt == VT_I1 || vt == VT_I2 || vt == VT_I4 ||
                         vt == VT_UI1 || vt == VT_UI2 || vt == VT_UI4 || vt == VT_I8 ||
                         vt == VT_UI8 || vt == VT_R4 || vt == VT_R8 || vt == VT_DECIMAL ||
                         vt == VT_BOOL;
    if (numeric) {
        EXPECT_NO_THROW((void)v.to_long()) << text;
        EXPECT_NO_THROW((void)v.to_double()) << text;
        EXPECT_NO_THROW((void)v.to_bool()) << text;
    } else if (vt != VT_CY && check_refusals) {
        EXPECT_THROW((void)v.to_long(), tk_mail_assertion) << text;
    }
    const uint8_t* bytes = nullptr;
    if (vt == VT_BINARY || vt == VT_EMPTY) {
        EXPECT_NO_THROW((void)v.get_bytes(bytes)) << text;
    } else if (check_refusals) {
        EXPECT_THROW((void)v.get_bytes(bytes), tk_mail_assertion) << text;
    }
}

// What a value prints reads back as the same value.
void check_round_trip(const ole_variant& v, const std::string& text) {
    const std::string printed = v.to_string();
    switch (v.vt()) {
        case VT_DECIMAL:
        case VT_CY:
        case VT_I1:
        case VT_I2:
        case VT_I4:
        case VT_UI1:
        case VT_UI2:
        case VT_UI4:
        case VT_I8:
        case VT_UI8:
        case VT_BINARY:
            EXPECT_EQ(ole_variant::from_string(printed, v.vt()).to_string(), printed) << text;
            break;
        case VT_R8:
            if (!std::isnan(v.to_double())) {
                EXPECT_EQ(ole_variant::from_string(printed, VT_R8).to_double(), v.to_double())
                    << text;
            }
            break;
        case VT_DATE:
            EXPECT_EQ(ole_variant::from_string(printed, VT_DATE).to_string(), printed) << text;
            break;
        default:
            break;
    }
}

TEST(ole_fuzz, RandomTextsIntoEveryParser) {
    using clock = std::chrono::steady_clock;
    const auto deadline = clock::now() + std::chrono::seconds(3);
    text_source source(20261207);
    size_t iterations = 0;
    for (; iterations < 200000 && clock::now() < deadline; ++iterations) {
        const std::string text = source.next();
        for (VARTYPE vt : kTags) {
            ole_variant v;
            try {
                v = ole_variant::from_string(text, vt);
            } catch (const ole_type_exception&) {
                EXPECT_TRUE(may_throw_type_exception(vt)) << "'" << text << "' as " << vt;
                continue;
            } catch (const std::exception& e) {
                ADD_FAILURE() << "'" << text << "' as " << vt << ": " << e.what();
                continue;
            }
            const VARTYPE expected = vt == VT_BLOB ? VT_BINARY : vt;
            EXPECT_TRUE(v.vt() == expected || v.vt() == VT_EMPTY)
                << "'" << text << "' as " << vt << " gave " << v.vt();
            exercise(v, text, iterations % 16 == 0);
            check_round_trip(v, text);
        }
        const ole_date d{std::string_view(text)};
        const std::string printed = d.to_string(true);
        if (d.is_valid()) {
            EXPECT_EQ(ole_date{std::string_view(printed)}.to_string(true), printed) << text;
        } else {
            EXPECT_EQ(printed, "") << text;
        }
        if (::testing::Test::HasFailure()) break;  // one reported text is enough
    }
    EXPECT_GT(iterations, 100u);
    RecordProperty("iterations", static_cast<int>(iterations));
}

TEST(ole_fuzz, WideTextsWithAnyUnits) {
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> unit(0, 0xFFFF);
    std::uniform_int_distribution<int> length(0, 40);
    for (int i = 0; i < 3000; ++i) {
        std::u16string text;
        const int n = length(rng);
        for (int k = 0; k < n; ++k)
            text.push_back(static_cast<char16_t>(unit(rng) % 3 == 0 ? u'0' + k % 10 : unit(rng)));
        for (VARTYPE vt : {VT_BSTR, VT_DATE, VT_DECIMAL, VT_R8, VT_I4, VT_BINARY, VT_BOOL}) {
            const ole_variant v = ole_variant::from_wstring(text, vt);
            EXPECT_NO_THROW((void)v.to_wstring());
            if (vt == VT_BSTR) {
                EXPECT_EQ(v.to_wstring(), text);
            }
        }
        const ole_date d{std::u16string_view(text)};
        EXPECT_EQ(d.is_valid(), !d.to_string().empty());
    }
}

TEST(ole_fuzz, LongTexts) {
    const std::string digits(100000, '7');
    EXPECT_EQ(ole_variant::from_string(digits, VT_DECIMAL).vt(), VT_EMPTY);
    EXPECT_EQ(ole_variant::from_string(digits, VT_I8).vt(), VT_EMPTY);
    EXPECT_TRUE(std::isinf(ole_variant::from_string(digits, VT_R8).to_double()));
    EXPECT_EQ(ole_variant::from_string("0." + digits, VT_DECIMAL).to_string(),
              "0.7777777777777777777777777778");
    EXPECT_EQ(ole_variant::from_string(digits + "e-99990", VT_DECIMAL).to_string(),
              "7777777777.7777777777777777778");
    EXPECT_EQ(ole_variant::from_string("1e-99999999999999999999", VT_DECIMAL).to_string(), "0");
    EXPECT_EQ(ole_variant::from_string(digits, VT_BINARY).get_safe_array_size(), 50000);
    EXPECT_FALSE(ole_date{std::string_view(digits)}.is_valid());
    EXPECT_FALSE(ole_date{std::string_view("10:30:" + digits)}.is_valid());
    const std::string nul_inside("2004-01-15\0garbage", 18);
    EXPECT_EQ(ole_variant::from_string(nul_inside, VT_DATE).to_string(), "2004-01-15");
}

}  // namespace
