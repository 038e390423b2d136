// Failures of the DBF storage: a table or memo file that does not follow its
// format, a memo that cannot be read, a value that cannot be stored.
//
// dbf_exception is raised at level 0 unless the caller says otherwise: the
// failure concerns one table or one record and the run goes on.
#pragma once

#include <string>

#include "tk_exception.h"

class dbf_exception : public tk_exception {
  public:
    explicit dbf_exception(std::string message, int level = 0)
        : tk_exception(std::move(message), level) {}
};

// The memo companion of an opened table is missing.  The table opener catches
// it and reads the table without memo support.
class dbf_no_memo_exception : public dbf_exception {
  public:
    dbf_no_memo_exception() : dbf_exception("Memo file not found") {}
};
