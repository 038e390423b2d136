// The Oracle name rules, used when names are made for Oracle (by the Oracle
// writer): at most 30 characters, a letter first, then letters, digits, "_",
// "$" and "#".  ora_fn_validator checks field names, ora_tn_validator table
// names; ora_in_validator registers index names.  Not thread-safe.
#pragma once

#include <string>
#include <vector>

#include "udb_indexes.h"
#include "udb_record.h"
#include "udb_schema.h"
#include "udb_validator.h"

class ora_validator : public udb_validator {
  public:
    // Maximum length 30, no restricted names or illegal characters of its own.
    // Logs "ora_validator::ctor".
    ora_validator();

    // False for an empty name, one longer than 30 characters, one that does
    // not start with a letter, one holding another character than a letter,
    // digit, "_", "$" or "#" (logged at level 2 "Name contains invalid
    // symbol: '%c'"), or one equal to a restricted name (case ignored).
    bool is_acceptable(const std::u16string& name) const override;
    // "A" put before a name that does not start with a letter, cut to 29
    // characters, every other character than a letter, digit, "_", "$" or
    // "#" replaced by "_", then the generic safe name (udb_validator).
    std::u16string get_safe_name(const std::u16string& name) const override;

  protected:
    static bool is_name_char(char16_t c);
};

class ora_fn_validator : public ora_validator {
  public:
    // Registers the names of the descriptors as existing.
    explicit ora_fn_validator(const udb_schema& schema);
    // Registers the names of the fields as existing.
    explicit ora_fn_validator(const udb_record& fields);
};

class ora_tn_validator : public ora_validator {
  public:
    // Registers every name of both lists as existing.
    ora_tn_validator(const std::vector<std::u16string>& names,
                     const std::vector<std::u16string>& more_names);
};

class ora_in_validator {
  public:
    // Registers every index name of the list as existing in the validator.
    // Logs "ora_in_validator::load".
    static void load(const udb_indexes& indexes, udb_validator& validator);
};
