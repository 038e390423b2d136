#include "udb_converter.h"

#include <chrono>
#include <cstdlib>
#include <thread>

#include "conv_files.h"
#include "dbf_format.h"
#include "tk_string.h"
#include "tk_cmd_line.h"
#include "tk_exception.h"
#include "tk_logger.h"
#include "tk_path.h"
#include "udb_profile.h"

void tk_thread_functor::operator()() {
    while (!is_done()) idle();
    finish();
}

void tk_thread_functor::idle() {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
}

tk_converter::tk_converter() {
    tk_log(2, "tk_converter::ctor");
}

void tk_converter::set_logfile(const std::string& file_name) {
    tk_log(1, "tk_convertor::set_logfile(%s)", file_name);
    if (!file_name.empty()) {
        // Anything of that name that cannot take lines is refused, a folder
        // or a file without read permission included: logging into it would
        // lose every line without a word.
        if (conv_is_existing_entry(file_name) && !tk_is_file_exist(file_name, tk_file_mode_write)) {
            throw tk_exception("Logfile name specifies an existing read-only file.", 1);
        }
        if (!tk_is_path_exist(tk_file_name(file_name).folder_path())) {
            throw tk_exception(
                "Logfile path does not exist.\nPlease verify the correct path was given.", 1);
        }
    }
    logfile_ = file_name;
    if (!file_name.empty()) {
        if (tk_logger* logger = tk_logger::instance_or_null()) {
            logger->set_file_name(file_name.c_str());
            logger->set_enabled(true);
        }
    }
}

udb_converter::udb_converter() : format_(dbf_format::dbase3) {
    tk_log(2, "udb_converter::ctor");
    // Runs without a profile choose the format through the environment.
    if (const char* env = std::getenv("KESTREL_DBF_FORMAT"); env != nullptr && *env != '\0') {
        if (!dbf_parse_format(env, format_))
            tk_log(3, "KESTREL_DBF_FORMAT=%s names no DBF format (dbase3, vfp): writing %s", env,
                   dbf_format_name(format_));
    }
}

void udb_converter::set_mode(int mode) {
    tk_log(1, "udb_converter::set_mode(%d)", mode);
    mode_ = mode;
}

namespace {
const std::u16string kGeneric = u"Generic settings";
}

bool udb_converter::load_profile(const udb_profile& profile) {
    tk_wlog(1, u"udb_converter::load_profile");
    for (const auto& [key, value] : profile.section(u"Selected Tables")) {
        name_map_.emplace(key, value);
        if (value.empty()) {
            tk_wlog(1, u"Push back table '%s'", key);
            table_list_.push_back(key);
        }
    }
    for (const auto& [key, value] : profile.section(u"Available Queries")) {
        query_map_.emplace(key, value);
    }

    if (auto v = profile.lookup(kGeneric, u"src"); !v.empty()) set_source_name(v);
    if (auto v = profile.lookup(kGeneric, u"dest"); !v.empty()) set_destination(v);
    if (auto v = profile.lookup(kGeneric, u"logfile"); !v.empty()) {
        std::string narrow;
        // A name the system cannot represent would name another file: refuse
        // it the way a missing folder is refused.
        if (!tk_ucs2_to_system(v, narrow)) {
            throw tk_exception(
                "Logfile path does not exist.\nPlease verify the correct path was given.", 1);
        }
        tk_log(1, "Logfile=%s", narrow);
        set_logfile(narrow);
    }
    if (auto v = profile.lookup(kGeneric, u"only definitions"); !v.empty()) {
        definitions_only_ = v != u"0";
    }
    // A single digit only: any other character would give a meaningless mode.
    if (auto v = profile.lookup(kGeneric, u"mode"); v.size() == 1 && v[0] >= u'0' && v[0] <= u'9') {
        set_mode(v[0] - u'0');
    }
    if (auto v = profile.lookup(kGeneric, u"skip indexes"); !v.empty()) {
        skip_indexes_ = v != u"0";
    }
    if (auto v = profile.lookup(kGeneric, u"DBF format"); !v.empty()) {
        const std::string name = tk_ucs2_to_utf8(v);
        if (!dbf_parse_format(name, format_))
            tk_log(3, "DBF format=%s names no DBF format (dbase3, vfp): writing %s", name,
                   dbf_format_name(format_));
    }
    return true;
}

void udb_converter::store_profile(udb_profile& profile) const {
    auto wide = [](const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); };
    profile.set(kGeneric, u"src", source_name());
    profile.set(kGeneric, u"dest", destination());
    profile.set(kGeneric, u"logfile", tk_path_from_system(logfile()));
    profile.set(kGeneric, u"only definitions", definitions_only_ ? u"1" : u"0");
    profile.set(kGeneric, u"mode", wide(std::to_string(mode_)));
    profile.set(kGeneric, u"skip indexes", skip_indexes_ ? u"1" : u"0");
    profile.set(kGeneric, u"DBF format", wide(dbf_format_name(format_)));
    for (const std::u16string& table : table_list_) profile.set(u"Selected Tables", table, u"");
}
