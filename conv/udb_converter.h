// The converter's generic part: the runnable unit (tk_thread_functor), the
// settings every converter has (tk_converter), and the conversion of the
// tables of a universal source database into a DBF folder (udb_converter).
//
// kestrel_convertor (kestrel_convertor.h) joins these with the Oracle
// settings.  The settings are plain values written by the command line, a
// profile or the wizard's pages, and read by the run; one thread writes them.
// The progress fields (finished, current table, the record and table counts)
// are written by the run and may be read from another thread while it runs:
// the counters are atomics (relaxed loads suffice, a stale value is fine) and
// the current table's name is read under a lock.  request_stop() may be called
// from any thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

class udb_profile;
class udb_database;
class udb_recordset;
class dbf_database;
class dbf_tn_validator;
class conv_console;
enum class dbf_format;

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

    // True once a run has ended (read by the wizard's progress page).
    bool finished() const { return finished_.load(std::memory_order_relaxed); }
    void set_finished(bool finished) { finished_.store(finished, std::memory_order_relaxed); }

    // Name of the source database, shown in progress texts.
    const std::u16string& source_name() const { return source_name_; }
    void set_source_name(std::u16string name) { source_name_ = std::move(name); }

    // The DBF folder.
    const std::u16string& destination() const { return destination_; }
    void set_destination(std::u16string folder) { destination_ = std::move(folder); }

  protected:
    // The finished flag itself, for the run's guard (init_conversion).
    std::atomic<bool>& finished_flag() { return finished_; }

  private:
    std::atomic<bool> finished_{false};
    bool silent_ = false;
    std::u16string source_name_;
    std::u16string destination_;
    std::string logfile_;
};

// Maps ordered by plain character-code comparison, case-sensitive.
using udb_name_map = std::map<std::u16string, std::u16string>;

// The steps in which the two programs' runs differ.  The console agent fills
// an empty table list with every table of the source, asks the source
// whether a listed table exists before opening it, and prints its progress;
// the wizard always passes a selection, opens each table directly and prints
// nothing.
struct conv_run_policy {
    bool fill_empty_list = true;
    bool check_existence = true;
    bool console = true;

    static conv_run_policy agent() { return {true, true, true}; }
    static conv_run_policy wizard() { return {false, false, false}; }
};

// How the tables of the last run ended.
struct conv_run_summary {
    // Created and copied without an error.
    unsigned converted = 0;
    // Failed, or copied with records that failed, or listed but missing in
    // the source.
    unsigned with_errors = 0;
    // Passed over on purpose: system or linked tables, and in mode 2 tables
    // whose file exists.
    unsigned skipped = 0;
    // The run walked every table; false when it stopped early (a failure
    // outside the tables, or a stop request).
    bool completed = false;
};

// The guard of one run: logs its start and end lines at level 3 and sets the
// finished flag when it ends.  COM is never initialised here (the flag is
// kept for the wizard's form, which runs on a thread of its own).
class init_conversion {
  public:
    init_conversion(std::atomic<bool>* finished, bool without_com);
    ~init_conversion();
    init_conversion(const init_conversion&) = delete;
    init_conversion& operator=(const init_conversion&) = delete;

  private:
    std::atomic<bool>* finished_;
    bool without_com_;
};

// Creates the folder at path with every missing level.  Logs
// "common_create_path(%s)"; returns at once when the path exists.  No existing
// ancestor: tk_exception "The program cannot resolve the path specified" at
// level 1; a folder that cannot be created: tk_exception_ex at level 1 with
// the system's text.
void common_create_path(const std::u16string& path);

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

    // The layout of the tables a run writes: the environment variable
    // KESTREL_DBF_FORMAT ("dbase3" or "vfp", case ignored) when the converter
    // is built, dBASE III without it; the profile key "DBF format" replaces it.
    dbf_format format() const { return format_; }
    void set_format(dbf_format format) { format_ = format; }

    // Applies the "Selected Tables", "Available Queries" and "Generic
    // settings" of a profile; raises what set_logfile raises.  Always true.
    // A "DBF format" that names no format leaves the format as it was (with
    // a level-3 log line).
    bool load_profile(const udb_profile& profile);
    // Stores the settings load_profile reads back: "Generic settings" (src,
    // dest, logfile, only definitions, mode, skip indexes, DBF format) and
    // the table list in "Selected Tables".
    void store_profile(udb_profile& profile) const;

    // Prepares the destination folder: a file there is refused (tk_exception
    // at level 1), a missing folder is created (common_create_path), and in
    // mode 0 every DBF table of an existing folder is deleted with its memo
    // files.  Other files stay.
    void check_dest();

    // Converts the tables of source into the destination folder: the whole
    // run, with its progress lines, per-table and per-record error reports
    // (through error_handler, which must exist) and the summary counts.
    // Never raises: what ends the run early is reported.  The table list and
    // the name map keep their contents afterwards.
    void run(udb_database& source, const conv_run_policy& policy);

    // Asks a run (of this or another thread) to stop before its next record:
    // it ends quietly, as after the wizard's stop.  Cleared when a run starts.
    void request_stop() { stop_requested_.store(true, std::memory_order_relaxed); }

    // Progress of the run.
    std::u16string current_table() const;
    uint32_t records_total() const { return records_total_.load(std::memory_order_relaxed); }
    uint32_t records_done() const { return records_done_.load(std::memory_order_relaxed); }
    uint32_t tables_total() const { return tables_total_.load(std::memory_order_relaxed); }
    uint32_t tables_done() const { return tables_done_.load(std::memory_order_relaxed); }

    // The last run's outcome; all zero before the first run.
    const conv_run_summary& summary() const { return summary_; }
    bool has_run() const { return has_run_; }
    // "N tables converted, M with errors, K skipped".
    std::string summary_text() const;

  private:
    // The per-table steps of run(); raises what fails the table.
    void convert_table(const std::u16string& table, udb_database& source, dbf_database& dest,
                       dbf_tn_validator& validator, const conv_run_policy& policy,
                       conv_console& console);
    // Copies the records of the open source table into out.
    void copy_records(const std::u16string& table, udb_recordset& in, udb_recordset& out,
                      conv_console& console);
    void set_current_table(const std::u16string& name);

    int mode_ = mode_overwrite_all;
    std::vector<std::u16string> table_list_;
    udb_name_map name_map_;
    udb_name_map query_map_;
    bool definitions_only_ = false;
    bool skip_indexes_ = false;
    dbf_format format_;

    mutable std::mutex current_table_lock_;
    std::u16string current_table_;
    std::atomic<uint32_t> records_total_{0};
    std::atomic<uint32_t> records_done_{0};
    std::atomic<uint32_t> tables_total_{0};
    std::atomic<uint32_t> tables_done_{0};
    std::atomic<bool> stop_requested_{false};

    // Destination names given out in the current run (case ignored): a
    // second source table whose name differs only in case, or whose safe
    // name equals an earlier one, must not meet the earlier table's file.
    std::vector<std::u16string> names_in_use_;
    unsigned record_errors_ = 0;
    conv_run_summary summary_;
    bool has_run_ = false;
};
