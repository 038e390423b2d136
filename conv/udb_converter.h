// The settings side of the converter: the runnable unit (tk_thread_functor),
// the settings every converter has (tk_converter) and the settings of a
// conversion between two universal databases (udb_converter).
//
// kestrel_convertor (kestrel_convertor.h) joins these with the Oracle
// settings.  The fields are plain values written by the command line, a
// profile or the wizard's pages, and read by the run.  One thread writes them;
// the wizard's progress page may read the progress fields from another and
// tolerates a stale value.
#pragma once

#include <map>
#include <string>
#include <vector>

class udb_profile;

// A unit of work that a thread runs.  The default operator() idles (100 ms
// at a time) until is_done() answers true, then calls finish().
class tk_thread_functor {
  public:
    virtual ~tk_thread_functor() = default;
    virtual void operator()();
    virtual bool is_done() { return false; }
    virtual void idle();
    virtual void finish() {}
};

class tk_converter : public tk_thread_functor {
  public:
    tk_converter();
    ~tk_converter() override = default;

    virtual void set_silent(bool silent) { silent_ = silent; }
    bool silent() const { return silent_; }

    // Checks the log file and turns logging on into it:
    // - a file of that name that exists (a folder counts) but cannot be opened
    //   for reading and writing: tk_exception "Logfile name specifies an
    //   existing read-only file." at level 1;
    // - a folder part that does not exist: tk_exception "Logfile path does not
    //   exist.\nPlease verify the correct path was given." at level 1.
    // The name is in the system's narrow encoding.  An empty name is stored
    // and leaves logging as it was.
    void set_logfile(const std::string& file_name);
    const std::string& logfile() const { return logfile_; }

    bool finished() const { return finished_; }
    void set_finished(bool finished) { finished_ = finished; }

    // Name of the source database, shown in progress texts.
    const std::u16string& source_name() const { return source_name_; }
    void set_source_name(std::u16string name) { source_name_ = std::move(name); }

    // The DBF folder.
    const std::u16string& destination() const { return destination_; }
    void set_destination(std::u16string folder) { destination_ = std::move(folder); }

  private:
    bool finished_ = false;
    bool silent_ = false;
    std::u16string source_name_;
    std::u16string destination_;
    std::string logfile_;
};

// Maps ordered by plain character-code comparison, case-sensitive.
using udb_name_map = std::map<std::u16string, std::u16string>;

class udb_converter : public tk_converter {
  public:
    // How an existing destination is treated.
    enum : int {
        mode_overwrite_all = 0,
        mode_overwrite_files = 1,
        mode_skip_existing = 2,
        mode_append = 3
    };

    udb_converter();
    ~udb_converter() override = default;

    // Logs "udb_converter::set_mode(%d)".
    void set_mode(int mode);
    int mode() const { return mode_; }

    // Source tables to convert, in the order given; empty means all tables.
    std::vector<std::u16string>& table_list() { return table_list_; }
    const std::vector<std::u16string>& table_list() const { return table_list_; }
    // The tables the run walks (with the profile's renamings).
    udb_name_map& name_map() { return name_map_; }
    const udb_name_map& name_map() const { return name_map_; }
    // The profile's named queries.
    udb_name_map& query_map() { return query_map_; }
    const udb_name_map& query_map() const { return query_map_; }

    bool definitions_only() const { return definitions_only_; }
    void set_definitions_only(bool on) { definitions_only_ = on; }
    bool skip_indexes() const { return skip_indexes_; }
    void set_skip_indexes(bool on) { skip_indexes_ = on; }

    // Applies the "Selected Tables", "Available Queries" and "Generic
    // settings" of a profile; raises what set_logfile raises.  Always true.
    bool load_profile(const udb_profile& profile);

  private:
    int mode_ = mode_overwrite_all;
    std::vector<std::u16string> table_list_;
    udb_name_map name_map_;
    udb_name_map query_map_;
    bool definitions_only_ = false;
    bool skip_indexes_ = false;
};
