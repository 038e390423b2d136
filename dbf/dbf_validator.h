// Name rules of DBF tables and fields.
//
// dbf_validator accepts names made of letters, digits (national letters
// count), '_' and '-', up to its own maximum length, and makes safe names
// that start with a letter.  dbf_fn_validator checks the field names of a
// table being created (10 characters, no leading digit);
// dbf_tn_validator checks table names for the conversion.  Not thread-safe.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "udb_validator.h"

class udb_schema;

class dbf_validator : public udb_validator {
  public:
    // max_length: longest acceptable name; 0 means no limit.  Logs
    // "dbf_validator::ctor".
    explicit dbf_validator(uint32_t max_length);

    // Logs "dbf_validator::is_acceptable(%s)" and the outcome.
    bool is_acceptable(const std::u16string& name) const override;
    // "A" in front of a name that does not start with a letter, cut to the
    // maximum, illegal characters replaced by '_'; when that is refused or
    // taken, cut to maximum - 3 and followed by the first free 000..999.
    // Raises tk_mail_assertion when all 1,000 candidates are refused.
    std::u16string get_safe_name(const std::u16string& name) const override;

    uint32_t dbf_max_length() const noexcept { return dbf_max_length_; }

  protected:
    bool dbf_rules(const std::u16string& name) const;

  private:
    uint32_t dbf_max_length_;
};

// Field names of a table being created: every column name of the schema is
// registered as taken.
class dbf_fn_validator : public dbf_validator {
  public:
    explicit dbf_fn_validator(const udb_schema& schema);
    // Acceptable to dbf_validator, not empty, not starting with a digit.
    bool is_acceptable(const std::u16string& name) const override;
};

// Table names: the tables to convert and the tables already in the folder
// are registered as taken, in that order.
class dbf_tn_validator : public dbf_validator {
  public:
    dbf_tn_validator(const std::vector<std::u16string>& tables_to_convert,
                     const std::vector<std::u16string>& existing_tables);
};
