#include "udb_validator.h"

#include "tk_exception.h"
#include "tk_logger.h"
#include "tk_string.h"

namespace {

// Number of five-digit suffixes tried before the search gives up.
constexpr int kSuffixCount = 100000;
// Length of the numeric suffix ("%05d").
constexpr uint32_t kSuffixLength = 5;

std::u16string five_digits(int n) {
    std::u16string digits(kSuffixLength, u'0');
    for (size_t i = kSuffixLength; i-- > 0 && n > 0; n /= 10) {
        digits[i] = static_cast<char16_t>(u'0' + n % 10);
    }
    return digits;
}

}  // namespace

bool udb_validator::nocase_less::operator()(const std::u16string& a,
                                            const std::u16string& b) const {
    return tk_compare_nocase(a, b) < 0;
}

udb_validator::udb_validator(uint32_t max_length) : max_length_(max_length) {
    tk_log(2, "udb_validator::ctor");
}

udb_validator::~udb_validator() = default;

bool udb_validator::is_acceptable(const std::u16string& name) const {
    tk_wlog(2, u"udb_validator::is_acceptable(%s)", name);
    return check_base_rules(name);
}

bool udb_validator::check_base_rules(const std::u16string& name) const {
    // No storage accepts an empty name; without this test an empty input
    // would come back unchanged from get_safe_name.
    if (name.empty()) {
        tk_log(1, "The name is empty");
        return false;
    }
    if (max_length_ != 0 && name.size() > max_length_) {
        tk_log(1, "The name is too long");
        return false;
    }
    for (const std::u16string& word : restricted_names_) {
        if (tk_equal_nocase(name, word)) {
            tk_log(1, "The name is restricted");
            return false;
        }
    }
    const size_t bad = name.find_first_of(illegal_chars_);
    if (bad != std::u16string::npos) {
        tk_wlog(1, u"The name contains illegal: %c", static_cast<int>(name[bad]));
        return false;
    }
    return true;
}

bool udb_validator::is_duplicated(const std::u16string& name) const {
    tk_wlog(2, u"udb_validator::is_duplicated(%s)", name);
    const auto it = existing_index_.find(name);
    if (it == existing_index_.end()) return false;
    tk_wlog(1, u"Processing %s", *it);
    return true;
}

std::u16string udb_validator::get_safe_name(const std::u16string& name) const {
    tk_wlog(2, u"udb_validator::get_safe_name(%s)", name);
    std::u16string result = name;
    if (max_length_ != 0 && result.size() > max_length_) result.resize(max_length_ - 1);
    for (char16_t& c : result) {
        if (illegal_chars_.find(c) != std::u16string::npos) c = u'_';
    }
    if (!result.empty() && is_acceptable(result) && !is_duplicated(result)) return result;

    // Leave room for the suffix.  With a maximum of five or less no suffixed
    // name fits; the stem is then empty and the search ends in the assertion.
    if (max_length_ != 0 && result.size() + kSuffixLength > max_length_) {
        result.resize(max_length_ > kSuffixLength ? max_length_ - kSuffixLength - 1 : 0);
    }
    std::u16string candidate;
    for (int i = 0; i < kSuffixCount; ++i) {
        candidate = result;
        candidate += five_digits(i);
        if (is_acceptable(candidate) && !is_duplicated(candidate)) return candidate;
    }
    throw TK_MAIL_ASSERTION();
}

void udb_validator::add_existing_name(const std::u16string& name) {
    existing_names_.push_back(name);
    existing_index_.insert(name);
}
