// kestrel_convertor: the converter of Oracle tables into DBF tables; the one
// object that holds every setting of a conversion job.
//
// The one instance (tk_singleton) is built once per program run, after the
// logger and the error handler.  This build holds the settings: the command
// line, a profile file or the wizard's pages write them.  One thread.
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
