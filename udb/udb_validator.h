// udb_validator: the common base of every name checker.
//
// Table and column names travel between storages whose naming rules differ.
// A validator decides whether a name is acceptable in the target storage and,
// if it is not, makes a safe name that is acceptable and not yet taken.
// Storages derive their own validators, fill the restricted words and illegal
// characters, and override the checks; the base supplies the data and a
// generic safe-name search.  Not thread-safe.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

class udb_validator {
  public:
    // max_length: longest acceptable name in UTF-16 units; 0 means no limit.
    // Logs "udb_validator::ctor" (level 2).
    explicit udb_validator(uint32_t max_length);
    udb_validator(const udb_validator&) = default;
    udb_validator& operator=(const udb_validator&) = default;
    virtual ~udb_validator();

    // Whether the name may be used as it is.  The first failing test decides:
    // an empty name; a name longer than the maximum; a name equal to a
    // restricted word (case ignored); a name holding an illegal character.
    // Logs "udb_validator::is_acceptable(%s)" and the reason for a refusal.
    virtual bool is_acceptable(const std::u16string& name) const;
    // Whether the name is already taken (compared without regard to case).
    // Logs "udb_validator::is_duplicated(%s)".
    virtual bool is_duplicated(const std::u16string& name) const;
    // A name that is acceptable and not taken, made from name: cut to
    // (maximum - 1) units, illegal characters replaced by '_', and if that is
    // still refused, cut further and followed by the first free five-digit
    // number 00000..99999.  The result is not registered as taken (call
    // add_existing_name).  Uses is_acceptable / is_duplicated through the
    // virtual slots, so a derived validator's rules apply.  Logs
    // "udb_validator::get_safe_name(%s)".
    // Raises tk_mail_assertion when all 100,000 candidates are refused.
    virtual std::u16string get_safe_name(const std::u16string& name) const;

    // Registers a name as taken in the target.
    void add_existing_name(const std::u16string& name);
    // Adds a reserved word that names may not equal.
    void add_restricted_name(const std::u16string& name) { restricted_names_.push_back(name); }
    // Adds characters that names may not contain.
    void add_illegal_chars(const std::u16string& chars) { illegal_chars_ += chars; }

    uint32_t max_length() const noexcept { return max_length_; }
    const std::u16string& illegal_chars() const noexcept { return illegal_chars_; }
    const std::vector<std::u16string>& restricted_names() const noexcept {
        return restricted_names_;
    }
    // The taken names, in the order registered.
    const std::vector<std::u16string>& existing_names() const noexcept { return existing_names_; }

  protected:
    // The acceptance tests of the base, without the entry log line; derived
    // validators that add rules may call it.
    bool check_base_rules(const std::u16string& name) const;

    uint32_t max_length_;
    std::u16string illegal_chars_;
    std::vector<std::u16string> restricted_names_;

  private:
    // Orders names by Unicode case folding (tk_compare_nocase).
    struct nocase_less {
        bool operator()(const std::u16string& a, const std::u16string& b) const;
    };

    std::vector<std::u16string> existing_names_;
    // The same names, for lookups that ignore case in logarithmic time: safe
    // names are searched among thousands of taken names.
    std::set<std::u16string, nocase_less> existing_index_;
};
