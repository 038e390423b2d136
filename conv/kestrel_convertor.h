// kestrel_convertor: the converter of Oracle tables into DBF tables; the one
// object that holds every setting of a conversion job.
//
// The one instance (tk_singleton) is built once per program run, after the
// logger and the error handler.  The command line, a profile file or the
// wizard's pages write its settings; operator() converts the tables of the
// open Oracle database into the destination folder.  The agent calls it on
// its only thread, the wizard on a worker thread while its pages read the
// progress fields (udb_converter.h).
#pragma once

#include <string>

#include "oracle_converter_impl.h"
#include "tk_singleton.h"
#include "udb_converter.h"

class kestrel_convertor : public udb_converter,
                          public oracle_converter_impl,
                          public tk_singleton<kestrel_convertor> {
  public:
    // The registry key under which the wizard keeps its last settings.
    static constexpr const char16_t* kRegistryKey = u"Software\\Brightmoor\\Tablewright";

    // Becomes the instance (a second live instance is an internal error).
    kestrel_convertor();
    ~kestrel_convertor() override;

    // The whole conversion in the console agent's form: every table of the
    // source when the table list is empty, a missing table reported, progress
    // printed unless silent.  REQUIRES: a database is open (otherwise
    // tk_mail_assertion).
    void operator()() override;
    // The same run with the steps of another program (the wizard's form:
    // conv_run_policy::wizard()).
    void convert(const conv_run_policy& policy);

    bool blob_to_memo() const { return blob_to_memo_; }
    void set_blob_to_memo(bool on) { blob_to_memo_ = on; }

    // Reads the profile at path and applies it: the generic settings, the
    // tables and queries, the Oracle settings and "BLOB to text".  Raises the
    // level-1 tk_exception of udb_profile::load for a missing file and those
    // of set_logfile; false when the profile could not be read.
    bool load_profile(const std::u16string& path);
    using udb_converter::load_profile;

  private:
    bool blob_to_memo_ = false;
};
