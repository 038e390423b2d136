// The conversion run of udb_converter: the destination folder's preparation,
// the walk over the tables and the copy of their records.
#include <algorithm>
#include <filesystem>
#include <memory>
#include <system_error>

#include "conv_console.h"
#include "dbf_database.h"
#include "dbf_exception.h"
#include "dbf_recordset.h"
#include "dbf_validator.h"
#include "error_handler.h"
#include "tk_exception.h"
#include "tk_logger.h"
#include "tk_path.h"
#include "tk_string.h"
#include "tk_system.h"
#include "udb_converter.h"
#include "udb_database.h"
#include "udb_recordset.h"

namespace {

// Open modes of the destination database: 4 when the folder was emptied
// (mode 0), 8 otherwise.
constexpr int kDestinationEmptied = 4;
constexpr int kDestinationKept = 8;
// Open mode of a source table.
constexpr int kSourceRead = 1;

void log_local_time(const char* format) {
    const tk_local_time t = tk_now();
    tk_log(3, format, t.day, t.month, t.year, t.hour, t.minute, t.second);
}

bool is_separator(char16_t c) {
    return c == u'/' || c == u'\\';
}

std::u16string decimal(uint64_t n) {
    const std::string digits = std::to_string(n);
    return std::u16string(digits.begin(), digits.end());
}

bool contains_nocase(const std::vector<std::u16string>& names, const std::u16string& name) {
    return std::any_of(names.begin(), names.end(),
                       [&](const std::u16string& n) { return tk_equal_nocase(n, name); });
}

}  // namespace

init_conversion::init_conversion(std::atomic<bool>* finished, bool without_com)
    : finished_(finished), without_com_(without_com) {
    tk_log(2, "init_conversion::ctor");
    log_local_time("Conversion started on %02d/%02d/%04d at %02d:%02d:%02d\n");
    // COM has no counterpart here: nothing to initialise, with or without the flag.
    (void)without_com_;
}

init_conversion::~init_conversion() {
    tk_log(2, "init_conversion::dtor");
    log_local_time("Conversion ended on %02d/%02d/%04d at %02d:%02d:%02d\n");
    if (finished_ != nullptr) finished_->store(true, std::memory_order_relaxed);
}

void common_create_path(const std::u16string& path) {
    tk_wlog(2, u"common_create_path(%s)", path);
    if (tk_is_path_exist(path)) return;
    // Walk towards the root, remembering every level that is missing.
    std::vector<std::u16string> missing;
    std::u16string level = path;
    while (level.size() > 1 && is_separator(level.back())) level.pop_back();
    while (!tk_is_path_exist(level)) {
        tk_wlog(1, u"Store level '%s'", level);
        missing.push_back(level);
        std::u16string parent;
        size_t cut = level.find_last_of(u"/\\");
        if (cut == std::u16string::npos) {
            // The first level of a relative path lies in the current folder.
            parent = u".";
        } else {
            while (cut > 0 && is_separator(level[cut - 1])) --cut;
            parent = cut == 0 ? level.substr(0, 1) : level.substr(0, cut);
        }
        tk_wlog(1, u"Drivepath=%s", parent);
        if (parent == level) throw tk_exception("The program cannot resolve the path specified", 1);
        level = std::move(parent);
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        tk_wlog(1, u"tmp_path=%s", *it);
        std::string system_path;
        if (!tk_path_to_system(*it, system_path)) {
            throw tk_exception("The program cannot resolve the path specified", 1);
        }
        std::error_code ec;
        if (!std::filesystem::create_directory(std::filesystem::path(system_path), ec) || ec) {
            // create_directory answers false without an error for an
            // existing folder; anything else in the way (a file) is EEXIST.
            const int error = ec ? ec.value() : EEXIST;
            throw tk_exception_ex("Cannot create folder " + system_path + ": ", error, 1);
        }
    }
}

void udb_converter::check_dest() {
    tk_wlog(2, u"kestrel_convertor::check_dest(%s)", destination());
    if (!tk_is_path_exist(destination())) {
        std::string system_path;
        if (tk_path_to_system(destination(), system_path) &&
            std::filesystem::exists(std::filesystem::path(system_path))) {
            throw tk_exception("You should enter path to FoxPro/DBase database, not a file name",
                               1);
        }
        common_create_path(destination());
        return;
    }
    if (mode_ == mode_overwrite_all) {
        tk_log(2, "Make DBF directory empty");
        dbf_database dest(destination(), kDestinationEmptied, 0);
        dest.delete_all_tables();
    }
}

std::u16string udb_converter::current_table() const {
    std::lock_guard<std::mutex> lock(current_table_lock_);
    return current_table_;
}

void udb_converter::set_current_table(const std::u16string& name) {
    std::lock_guard<std::mutex> lock(current_table_lock_);
    current_table_ = name;
}

std::string udb_converter::summary_text() const {
    return std::to_string(summary_.converted) + " tables converted, " +
           std::to_string(summary_.with_errors) + " with errors, " +
           std::to_string(summary_.skipped) + " skipped";
}

void udb_converter::run(udb_database& source, const conv_run_policy& policy) {
    init_conversion guard(&finished_flag(), true);
    set_finished(false);
    stop_requested_.store(false, std::memory_order_relaxed);
    summary_ = conv_run_summary();
    has_run_ = true;
    names_in_use_.clear();
    error_handler& handler = error_handler::instance();
    conv_console console(policy.console && !silent(), tk_stdout_is_terminal());
    std::unique_ptr<dbf_database> dest;
    std::unique_ptr<dbf_tn_validator> validator;
    try {
        dest = std::make_unique<dbf_database>(
            destination(), mode_ == mode_overwrite_all ? kDestinationEmptied : kDestinationKept, 0,
            format_);
        const std::vector<std::u16string>& source_tables = source.get_tables();
        if (policy.fill_empty_list && table_list_.empty()) table_list_ = source_tables;

        tables_total_.store(uint32_t(table_list_.size()), std::memory_order_relaxed);
        tk_wlog(3, u"Converting database %s (%d tables)", source_name(), int(table_list_.size()));
        console.line(u"Converting database " + source_name() + u" (" + decimal(table_list_.size()) +
                     u" tables)");

        validator = std::make_unique<dbf_tn_validator>(table_list_, dest->table_names());
        for (const std::u16string& name : table_list_) name_map_.emplace(name, std::u16string());

        for (const auto& entry : name_map_) {
            const std::u16string& table = entry.first;
            try {
                convert_table(table, source, *dest, *validator, policy, console);
            } catch (const tk_exception& e) {
                console.end_table();
                ++summary_.with_errors;
                handler.set_context(table);
                handler.handle(e, 0);
            }
            tables_done_.fetch_add(1, std::memory_order_relaxed);
        }
        summary_.completed = true;
    } catch (const tk_final_exception&) {
        // The user stopped the run: it ends quietly.
        console.end_table();
    } catch (const tk_exception& e) {
        console.end_table();
        handler.context().clear();
        handler.handle(e, 1);
    } catch (const std::exception& e) {
        console.end_table();
        tk_log(3, "ERROR:\n%s", e.what());
        console.error_line(tk_path_from_system(e.what()));
    }
    handler.context().clear();
    tables_total_.store(0, std::memory_order_relaxed);
    tables_done_.store(0, std::memory_order_relaxed);
    validator.reset();
    dest.reset();
}

void udb_converter::convert_table(const std::u16string& table, udb_database& source,
                                  dbf_database& dest, dbf_tn_validator& validator,
                                  const conv_run_policy& policy, conv_console& console) {
    set_current_table(table);
    records_total_.store(0, std::memory_order_relaxed);
    records_done_.store(0, std::memory_order_relaxed);

    if (policy.check_existence && !source.is_table_exist(table)) {
        // Asked for and not there: the job did not deliver the table.
        ++summary_.with_errors;
        console.error_line(u"Table " + table + u" not exists");
        return;
    }
    std::unique_ptr<udb_recordset> in = source.get_table(table, kSourceRead);
    if (in == nullptr) {
        tk_wlog(3, u"Skip system/linked table '%s'", table);
        ++summary_.skipped;
        return;
    }

    // A name already given to an earlier table of this run (the same name in
    // another case) gets a generated one: the earlier table's file is not
    // this table's to replace.
    const bool acceptable =
        validator.is_acceptable(table) && !contains_nocase(names_in_use_, table);
    const std::u16string dest_name = acceptable ? table : validator.get_safe_name(table);

    if (dest.is_table_exist(dest_name)) {
        if (mode_ == mode_skip_existing) {
            ++summary_.skipped;
            return;
        }
        if (mode_ == mode_overwrite_files) {
            dest.delete_tab(dest_name);
        } else {
            // Creating it again would be an internal error, and DBF tables
            // are not appended to: the table is reported and its file kept.
            throw tk_exception(
                u"Table " + dest_name + u" exists in the destination folder and was left unchanged",
                0);
        }
    }

    const udb_indexes indexes = skip_indexes_ ? udb_indexes() : in->indexes();
    std::unique_ptr<udb_recordset> out = dest.create_table(dest_name, in->schema(), indexes);
    tk_log(1, "Step #1 (mode=%d)", mode_);
    if (mode_ == mode_append && !in->schema().conform_to(out->schema())) {
        throw tk_exception(
            "The structure of data source does not conform to the destination table.", 0);
    }
    if (!acceptable) {
        tk_wlog(2, u"Store generated table name '%s'", dest_name);
        tk_wlog(1, u"udb_validator::add_existing_name(%s)", dest_name);
        validator.add_existing_name(dest_name);
    }
    names_in_use_.push_back(dest_name);

    const uint32_t total = in->counter();
    records_total_.store(total, std::memory_order_relaxed);
    tk_wlog(3, u"Converting table %s (%d records)", table, int(total));
    console.line(u"Converting table " + table + u" (" + decimal(total) + u" records)");

    record_errors_ = 0;
    if (total != 0 && !definitions_only_) copy_records(table, *in, *out, console);

    // The last batch of records is written here, where a failure is this
    // table's error; the destructor could only log it.
    auto* dbf_out = dynamic_cast<dbf_recordset*>(out.get());
    TK_ASSERT(dbf_out != nullptr);
    dbf_out->flush();
    out.reset();
    in.reset();
    if (record_errors_ != 0)
        ++summary_.with_errors;
    else
        ++summary_.converted;
}

void udb_converter::copy_records(const std::u16string& table, udb_recordset& in, udb_recordset& out,
                                 conv_console& console) {
    error_handler& handler = error_handler::instance();
    console.begin_table(table, records_total());
    in.move_first();
    uint32_t done = 0;
    while (!in.is_eof()) {
        if (stop_requested_.load(std::memory_order_relaxed)) throw tk_final_exception();
        tk_log(1, "Converting %d record", int(done));
        try {
            const udb_record* record = in.get_item();
            TK_ASSERT(record != nullptr);
            out.append_record(*record);
        } catch (const dbf_exception& e) {
            console.clear();
            ++record_errors_;
            handler.set_context(table, int(done + 1));
            handler.handle(e, 0);
        }
        in.next();
        ++done;
        records_done_.store(done, std::memory_order_relaxed);
        console.progress(done);
    }
    console.end_table();
}
