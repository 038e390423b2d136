// Splits an Oracle SQL*Plus script into the units the loader runs: SQL
// statements (ended by ";" or a "/" line), PL/SQL blocks (ended by a "/"
// line) and SQL*Plus commands (one line each).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace ocilite::load {

struct script_unit {
    enum kind_t { sql, plsql, sqlplus, error } kind = sql;
    std::string text;  // without the terminator; for `error` the ORA-style message
    int line = 0;      // script line where the unit starts
};

// Never throws: lexical problems (an unterminated string or comment) end the
// split with one unit of kind error.
std::vector<script_unit> split_script(std::string_view script);

}  // namespace ocilite::load
