#include "dbf_database.h"

#include <cctype>
#include <cstdio>

#include "dbf_codec.h"
#include "dbf_exception.h"
#include "dbf_file.h"
#include "dbf_format.h"
#include "dbf_memo_file.h"
#include "dbf_recordset.h"
#include "dbf_validator.h"
#include "tk_codepage.h"
#include "tk_exception.h"
#include "tk_logger.h"
#include "tk_path.h"
#include "tk_string.h"
#include "tk_system.h"

namespace {

bool ends_with_nocase(const std::u16string& s, std::u16string_view tail) {
    return s.size() >= tail.size() &&
           tk_equal_nocase(std::u16string_view(s).substr(s.size() - tail.size()), tail);
}

std::u16string strip_extension(const std::u16string& path) {
    const size_t slash = path.find_last_of(u"/\\");
    const size_t dot = path.rfind(u'.');
    if (dot != std::u16string::npos && (slash == std::u16string::npos || dot > slash))
        return path.substr(0, dot);
    return path;
}

// The entries of a folder whose names equal name when case is ignored.  The
// folder is listed in full and compared here, never through a wildcard
// pattern: a table file may be named "*.dbf" or "?.dbf", and its name must
// not match (and so open or delete) other files.
std::vector<std::u16string> entries_nocase(const std::u16string& folder,
                                           const std::u16string& name) {
    std::vector<std::u16string> all, found;
    tk_find_files(folder + u"*", all, false);
    for (auto& entry : all)
        if (tk_equal_nocase(entry, name)) found.push_back(std::move(entry));
    return found;
}

// The folder part of a path, with its trailing separator (empty if none).
std::u16string folder_of(const std::u16string& path) {
    const size_t slash = path.find_last_of(u"/\\");
    return slash == std::u16string::npos ? std::u16string() : path.substr(0, slash + 1);
}

// The file of that name in the folder: the exact name when it exists, else
// the first whose name differs only in case (files copied from systems that
// ignore case keep names such as "Emp.DBF").  Empty when there is none.
std::u16string find_file_nocase(const std::u16string& full) {
    std::string exact;
    if (tk_path_to_system(full, exact) && dbf_file::exists(exact)) return full;
    const std::u16string folder = folder_of(full);
    const std::vector<std::u16string> found =
        entries_nocase(folder, full.substr(folder.size()));
    return found.empty() ? std::u16string() : folder + found.front();
}

// The ANSI form of a name, cut at a character boundary to at most room
// bytes: in a multi-byte code page (932, 936, 949, 950, UTF-8) ten characters
// may take more than the ten bytes a descriptor holds.
std::string ansi_fit(std::u16string name, size_t room) {
    std::string ansi = tk_ucs2_to_ansi(name);
    while (ansi.size() > room && !name.empty()) {
        name.pop_back();
        if (!name.empty() && name.back() >= 0xD800 && name.back() <= 0xDBFF) name.pop_back();
        ansi = tk_ucs2_to_ansi(name);
    }
    return ansi;
}

bool same_field_name(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// The bytes a field's name is stored as.  Field names are looked up without
// regard to case, so a name whose stored form equals an earlier field's (its
// ANSI form cut to fit, characters the code page cannot hold replaced, or
// names differing only in case) gets the first free suffix 000..999 after
// at most seven bytes of it; two fields of one name would leave the second
// unreachable by name.
std::string descriptor_name(const std::u16string& name, std::vector<std::string>& taken) {
    auto is_taken = [&taken](const std::string& candidate) {
        for (const auto& t : taken)
            if (same_field_name(t, candidate)) return true;
        return false;
    };
    std::string stored = ansi_fit(name, 10);
    if (is_taken(stored)) {
        const std::string stem = ansi_fit(name, 7);
        stored.clear();
        for (int i = 0; i < 1000 && stored.empty(); ++i) {
            const std::string candidate =
                stem + char('0' + i / 100) + char('0' + i / 10 % 10) + char('0' + i % 10);
            if (!is_taken(candidate)) stored = candidate;
        }
        if (stored.empty()) throw TK_MAIL_ASSERTION();
    }
    if (stored != tk_ucs2_to_ansi(name))
        tk_wlog(1, u"Field %s stored as %s", name, tk_ansi_to_ucs2(stored));
    taken.push_back(stored);
    return stored;
}

}  // namespace

std::string dbf_system_path(const std::u16string& path) {
    std::string out;
    if (!tk_path_to_system(path, out)) throw TK_MAIL_ASSERTION();
    return out;
}

dbf_database::dbf_database(const std::u16string& folder, int open_mode, uint8_t codepage_mark,
                           dbf_format format)
    : udb_database(folder, open_mode, false), codepage_mark_(codepage_mark), format_(format) {
    tk_log(2, "dbf_database::ctor");
    if (!tk_is_path_exist(folder)) throw TK_MAIL_ASSERTION();
    std::vector<std::u16string> files;
    std::u16string pattern = folder;
    if (!pattern.empty() && pattern.back() != u'/' && pattern.back() != u'\\') pattern += u'/';
    pattern += u"*.dbf";
    tk_find_files(pattern, files, true);
    for (auto& file : files) {
        tk_wstring name(file);
        name.to_lower();
        if (ends_with_nocase(name, u".dbf")) {
            name.resize(name.size() - 4);
            tables_.push_back(name);
        }
    }
}

dbf_database::~dbf_database() = default;

std::u16string dbf_database::get_full_table_name(const std::u16string& name) const {
    tk_wlog(1, u"dbf_database::get_full_table_name(%s)", name);
    // Only the table's own name is lower-cased: the folder is taken as given,
    // since a case-sensitive file system would not find it otherwise.
    tk_wstring file(name);
    file.to_lower();
    std::u16string full = path_;
    if (!full.empty() && full.back() != u'/' && full.back() != u'\\') full += u'/';
    full += file;
    if (!ends_with_nocase(full, u".dbf") && !ends_with_nocase(full, u".dbt")) full += u".dbf";
    return full;
}

std::unique_ptr<udb_recordset> dbf_database::create_table(const std::u16string& name,
                                                          const udb_schema& schema,
                                                          const udb_indexes&) {
    tk_wlog(2, u"dbf_database::create_table(%s)", name);
    if (is_table_exist(name)) {
        tk_wlog(2, u"ERROR: Table '%s' exists, aborted!", name);
        throw TK_MAIL_ASSERTION();
    }
    dbf_fn_validator validator(schema);
    std::vector<dbf_field_descriptor> fields;
    std::vector<std::string> stored_names;
    uint64_t record_length = 1;  // the deletion flag
    bool has_memo = false;
    for (const t_ftd& ftd : schema) {
        std::u16string field_name = ftd.name;
        if (!validator.is_acceptable(field_name)) {
            field_name = validator.get_safe_name(field_name);
            tk_wlog(1, u"udb_validator::add_existing_name(%s)", field_name);
            validator.add_existing_name(field_name);
        }
        dbf_field_descriptor fd = dbf_create_field(ftd, format_);
        const std::string ansi = descriptor_name(field_name, stored_names);
        const uint8_t flags = fd[18];
        fd = dbf_make_descriptor(ansi, char(fd[11]), fd[16], fd[17]);
        fd[18] = flags;
        const char type = char(fd[11]);
        if (type == 'M' || type == 'G' || type == 'P') has_memo = true;

        record_length += dbf_writer_width(fd);
        fields.push_back(fd);
    }
    // Header and record lengths are 16-bit words: a table past them cannot be
    // written without its lengths wrapping round, which no reader could open.
    if (record_length > 0xFFFF || dbf_header_size + dbf_fd_size * fields.size() + 1 > 0xFFFF) {
        tk_wlog(2, u"ERROR: Table '%s' does not fit into the DBF format", name);
        throw dbf_exception("Table " + tk_ucs2_to_ansi(name) + " has " +
                            std::to_string(fields.size()) + " fields of " +
                            std::to_string(record_length) +
                            " bytes in all; a DBF record holds at most 65535");
    }
    const tk_local_time now = tk_now();
    // The mark tells readers which code page the texts are in; without it
    // they guess (ASCII, DOS 850) and misread or refuse every other letter.
    dbf_table_options options;
    options.format = format_;
    options.codepage_mark = dbf_mark_for_codepage(tk_ansi_code_page());
    const std::string image =
        dbf_build_table_image(std::move(fields), now.year, now.month, now.day, options);
    // A table whose header or memo file could not be written (a full disk)
    // is removed again: no reader could open what is left of it.
    const std::string table_path = dbf_system_path(get_full_table_name(name));
    try {
        {
            auto file = dbf_file::create(table_path);
            file->put_at(0, image.data(), image.size());
        }
        if (has_memo) create_memo_file(name);
    } catch (const tk_exception&) {
        std::remove(table_path.c_str());
        if (has_memo)
            std::remove(dbf_system_path(memo_file_name(name)).c_str());
        throw;
    }
    tk_wstring listed(name);
    listed.to_lower();
    tables_.push_back(listed);
    return get_table(name, dbf_recordset::mode_append);
}

std::u16string dbf_database::memo_file_name(const std::u16string& name) const {
    // get_full_table_name keeps a ".dbt" ending and appends ".dbf" to any
    // other: the ".fpt" name is formed from the ".dbt" one.
    std::u16string memo_name = name;
    if (!ends_with_nocase(memo_name, u".dbt")) memo_name += u".dbt";
    std::u16string full = get_full_table_name(memo_name);
    if (format_ == dbf_format::vfp) full.replace(full.size() - 3, 3, u"fpt");
    return full;
}

void dbf_database::create_memo_file(const std::u16string& name) {
    tk_wlog(2, u"dbf_database::create_memo_file(%s)", name);
    const std::u16string full = memo_file_name(name);
    tk_wlog(1, u"Full memo file name: %s", full);
    if (format_ == dbf_format::vfp)
        fpt_memo_file::create(dbf_system_path(full));
    else
        old_memo_file::create(dbf_system_path(full));
}

std::unique_ptr<udb_recordset> dbf_database::get_table(const std::u16string&,
                                                       const std::u16string&, int) {
    return nullptr;
}

std::unique_ptr<udb_recordset> dbf_database::get_table(const std::u16string& name,
                                                       int open_mode) {
    tk_wlog(2, u"dbf_database::get_table(%s)", name);
    const std::u16string full = find_file_nocase(get_full_table_name(name));
    if (full.empty()) throw TK_MAIL_ASSERTION();
    return std::make_unique<dbf_recordset>(dbf_system_path(full), name, open_mode,
                                           codepage_mark_);
}

bool dbf_database::test_query(const std::u16string&) { return false; }

void dbf_database::delete_tab(const std::u16string& name) {
    tk_wlog(2, u"dbf_database::delete_tab(%s)", name);
    udb_database::delete_tab(name);
    std::u16string full = get_full_table_name(name);
    const std::u16string found = find_file_nocase(full);
    if (found.empty())
        tk_wlog(2, u"File '%s' not exists", full);
    else
        full = found;
    if (std::remove(dbf_system_path(full).c_str()) != 0) throw tk_exception_ex();
    // Companions in any case of their extension; absent ones are fine.
    const std::u16string base = strip_extension(full);
    const std::u16string folder = folder_of(base);
    const std::u16string stem = base.substr(folder.size());
    for (const char16_t* ext : {u".dbt", u".fpt", u".smt"}) {
        for (const auto& companion : entries_nocase(folder, stem + ext))
            std::remove(dbf_system_path(folder + companion).c_str());
    }
}

void dbf_database::delete_all_tables() {
    tk_log(2, "dbf_database::delete_all_tables");
    const std::vector<std::u16string> names = tables_;
    for (const auto& name : names) delete_tab(name);
}
