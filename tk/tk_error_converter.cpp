#include "tk_error_converter.h"

#include "tk_exception.h"
#include "tk_logger.h"

namespace {

const tk_error_entry kOracleErrors[] = {
    {tk_oracle_error_code(1),
     "Duplicate field values being used for an unique index were found.\n"
     "See 'Troubleshooting' article of the product documentation\nfor solution."},
    {tk_oracle_error_code(1017), "Invalid user name or password."},
    {tk_oracle_error_code(1658),
     "Not enough free contiguous space in the tablespace to create the object.\n"
     "Use ALTER TABLESPACE ADD DATAFILE to add additional space to the tablespace."},
    {tk_oracle_error_code(1950), "User does not have the necessary privileges to create tables."},
    {tk_oracle_error_code(2298),
     "There are orphaned records that prevent from creating foreign key. For more\n"
     "information see Troubleshooting article of the product documentation."},
    {tk_oracle_error_code(12154),
     "Oracle data source does not exist. Check to verify the correct name was given."},
    {tk_oracle_error_code(12500),
     "ORA-12500: the listener could not start a server process. For more information\n"
     "see Troubleshooting article of the product documentation."},
    {tk_oracle_error_code(12505),
     "ORA-12505: the program could not resolve service name. For more information\n"
     "see Troubleshooting article of the product documentation."},
    {tk_oracle_error_code(12514),
     "Cannot resolve Oracle service name. Check to verify the correct name was given.\n"},
    {tk_oracle_error_code(12541),
     "ORA-12541: no listener. For more information see Troubleshooting\n"
     "article of the product documentation."},
    {tk_oracle_error_code(12545),
     "ORA-12545: connect failed because target host or object does not exist.\n"
     "For more information see Troubleshooting article of the product documentation."},
    {tk_oracle_error_code(28000),
     "Wrong password was entered the maximum number of times or\n"
     "the DBA has locked the account."},
};

}  // namespace

std::span<const tk_error_entry> tk_oracle_error_table() {
    return kOracleErrors;
}

tk_error_converter::tk_error_converter(std::span<const tk_error_entry> table)
    : tk_error_converter(table.size(), table.data()) {}

tk_error_converter::tk_error_converter(size_t count, const tk_error_entry* table) {
    tk_log(2, "tk_error_converter::ctor (map size=%d)", static_cast<int>(count));
    load_map(count, table);
}

void tk_error_converter::load_map(size_t count, const tk_error_entry* table) {
    tk_log(2, "tk_error_converter::load_map (map size=%d)", static_cast<int>(count));
    if (count == 0) return;
    if (table == nullptr) throw TK_MAIL_ASSERTION();
    for (size_t i = 0; i < count; ++i) {
        // emplace keeps an existing entry: the first message of a code wins.
        map_.emplace(table[i].code, table[i].message != nullptr ? table[i].message : std::string());
    }
}

std::string tk_error_converter::convert(uint32_t code) const {
    tk_log(2, "tk_error_converter::convert(%d)", static_cast<int>(code));
    const auto it = map_.find(code);
    if (it == map_.end()) {
        tk_log(1, "Error message not found!");
        return {};
    }
    tk_log(1, "Error message has been found: %s", it->second);
    return it->second;
}
