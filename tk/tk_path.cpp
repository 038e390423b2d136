#include "tk_path.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unicode/uchar.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <memory>
#include <system_error>

#include "tk_codepage.h"
#include "tk_exception.h"
#include "tk_logger.h"
#include "tk_system.h"

namespace {

#ifdef _WIN32
constexpr int kSystemCodePage = tk_cp_acp;
#else
constexpr int kSystemCodePage = tk_cp_utf8;
#endif

template <class C>
bool is_separator(C c) {
    return c == C('/') || c == C('\\');
}

// A narrow string that the system would cut at an embedded zero names another
// file than the caller meant: such a path is refused, not shortened.
bool has_zero(std::string_view s) {
    return s.find('\0') != std::string_view::npos;
}

std::string current_folder_or_empty() {
    std::error_code ec;
    std::filesystem::path p = std::filesystem::current_path(ec);
    return ec ? std::string() : p.string();
}

bool change_folder(const std::string& folder) {
    if (folder.empty() || has_zero(folder)) return false;
    std::error_code ec;
    std::filesystem::current_path(std::filesystem::path(folder), ec);
    return !ec;
}

// The absolute form of path with "." and ".." folded and "/" as separator.
// cwd is absolute.  A trailing separator of the path is kept.
template <class S>
S make_absolute(const S& path, const S& cwd) {
    using C = typename S::value_type;
    const S slash(1, C('/'));
    const S combined = is_separator(path.front()) ? path : cwd + slash + path;
    std::vector<S> parts;
    size_t i = 0;
    while (i < combined.size()) {
        while (i < combined.size() && is_separator(combined[i])) ++i;
        size_t j = i;
        while (j < combined.size() && !is_separator(combined[j])) ++j;
        if (j > i) {
            S part = combined.substr(i, j - i);
            if (part == S(1, C('.'))) {
                // stays in the same folder
            } else if (part == S(2, C('.'))) {
                if (!parts.empty()) parts.pop_back();  // ".." of the root is the root
            } else {
                parts.push_back(std::move(part));
            }
        }
        i = j;
    }
    S out;
    for (const S& part : parts) out += slash + part;
    if (out.empty() || is_separator(path.back())) out += slash;
    return out;
}

// The length of the folder part of a path, its trailing separator included.
template <class V>
size_t folder_length(V path) {
    size_t cut = path.size();
    while (cut > 0 && !is_separator(path[cut - 1])) --cut;
    return cut;
}

// The position of the dot that begins the extension of the last part; npos
// when that part has none.
template <class V>
size_t extension_dot(V path) {
    const size_t dot = path.rfind(typename V::value_type('.'));
    return dot == V::npos || dot < folder_length(path) ? V::npos : dot;
}

template <class S>
void split(const S& absolute, S& extension, S& name, S& folder) {
    const std::basic_string_view<typename S::value_type> view(absolute);
    const size_t cut = folder_length(view);
    const size_t dot = extension_dot(view);
    folder = absolute.substr(0, cut);
    if (dot == S::npos) {
        extension.clear();
        name = absolute.substr(cut);
    } else {
        extension = absolute.substr(dot);
        name = absolute.substr(cut, dot - cut);
    }
}

template <class S>
S join(const S& drive, const S& folder, const S& name, const S& extension) {
    S out = drive + folder;
    if (!folder.empty() && !is_separator(folder.back())) out += typename S::value_type('/');
    return out + name + extension;
}

const char* not_null(const char* path) {
    if (path == nullptr) throw TK_MAIL_ASSERTION();
    return path;
}

struct dir_closer {
    void operator()(DIR* d) const { closedir(d); }
};

char16_t fold(char16_t c) {
    return static_cast<char16_t>(u_foldCase(c, U_FOLD_CASE_DEFAULT));
}

}  // namespace

bool tk_system_to_ucs2(std::string_view text, std::u16string& out) {
    auto wide = tk_decode(text, kSystemCodePage);
    if (!wide) return false;
    // The conversion substitutes malformed input; a text that does not come
    // back unchanged was not valid, and a substituted path would name another
    // file.
    auto back = tk_encode(*wide, kSystemCodePage);
    if (!back || *back != text) return false;
    out = std::move(*wide);
    return true;
}

bool tk_ucs2_to_system(std::u16string_view text, std::string& out) {
    auto narrow = tk_encode(text, kSystemCodePage);
    if (!narrow) return false;
    auto back = tk_decode(*narrow, kSystemCodePage);
    if (!back || *back != text) return false;
    out = std::move(*narrow);
    return true;
}

std::string tk_ansi_to_system(std::string_view text) {
    if (kSystemCodePage == tk_cp_acp) return std::string(text);
    auto wide = tk_decode(text, tk_cp_acp);
    if (!wide) return std::string(text);
    auto narrow = tk_encode(*wide, kSystemCodePage);
    return narrow ? std::move(*narrow) : std::string(text);
}

std::u16string tk_path_from_system(std::string_view path) {
    auto wide = tk_decode(path, kSystemCodePage);
    return wide ? std::move(*wide) : std::u16string();
}

std::u16string tk_program_wpath() {
    return tk_path_from_system(tk_program_path());
}

bool tk_is_file_exist(std::string_view path, int mode) {
    tk_log(1, "tk_is_file_exist(%s)", std::string(path));
    bool exists = false;
    if (!path.empty() && !has_zero(path)) {
        // Non-blocking so that a FIFO does not hang the test; a folder opens
        // for reading on POSIX but is not a file.
        const int flags = ((mode & tk_file_mode_write) != 0 ? O_RDWR : O_RDONLY) | O_CLOEXEC |
                          O_NONBLOCK | O_NOCTTY;
        const int fd = open(std::string(path).c_str(), flags);
        if (fd >= 0) {
            struct stat st {};
            exists = fstat(fd, &st) == 0 && !S_ISDIR(st.st_mode);
            close(fd);
        }
    }
    if (!exists) tk_log(1, "File not exists!");
    return exists;
}

bool tk_is_file_exist(std::u16string_view path, int mode) {
    std::string narrow;
    if (!tk_ucs2_to_system(path, narrow)) {
        tk_wlog(1, u"tk_is_file_exist(%s)", std::u16string(path));
        tk_log(1, "File not exists!");
        return false;
    }
    return tk_is_file_exist(std::string_view(narrow), mode);
}

bool tk_is_path_exist(std::string_view path) {
    tk_log(1, "tk_is_path_exist(%s)", std::string(path));
    tk_temp_chdir change{std::string(path)};
    return change.success();
}

bool tk_is_path_exist(std::u16string_view path) {
    tk_wlog(1, u"tk_is_path_exist(%s)", std::u16string(path));
    std::string narrow;
    if (!tk_ucs2_to_system(path, narrow)) return false;
    tk_temp_chdir change{narrow};
    return change.success();
}

bool tk_wildcard_match(std::u16string_view pattern, std::u16string_view name, bool ignore_case) {
    if (pattern == u"*.*") return true;
    auto same = [ignore_case](char16_t p, char16_t n) {
        return p == n || (ignore_case && fold(p) == fold(n));
    };
    // Greedy scan that backtracks to the last "*": linear in practice and
    // never worse than pattern length times name length.
    size_t p = 0, n = 0;
    size_t star = std::u16string_view::npos, star_n = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == u'*') {
            star = p++;
            star_n = n;
        } else if (p < pattern.size() && (pattern[p] == u'?' || same(pattern[p], name[n]))) {
            ++p;
            ++n;
        } else if (star != std::u16string_view::npos) {
            p = star + 1;
            n = ++star_n;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*') ++p;
    return p == pattern.size();
}

std::string tk_path_folder(std::string_view path) {
    return std::string(path.substr(0, folder_length(path)));
}

std::u16string tk_path_folder(std::u16string_view path) {
    return std::u16string(path.substr(0, folder_length(path)));
}

std::string tk_path_without_extension(std::string_view path) {
    return std::string(path.substr(0, extension_dot(path)));
}

std::u16string tk_path_without_extension(std::u16string_view path) {
    return std::u16string(path.substr(0, extension_dot(path)));
}

tk_file_name::tk_file_name(const char* path) : tk_file_name(std::string(not_null(path))) {}

tk_file_name::tk_file_name(const std::string& path) {
    tk_log(1, "tk_file_name::ctor(%s)", path);
    std::string absolute;
    if (path.empty()) {
        absolute = tk_program_path();
    } else {
        const std::string cwd = current_folder_or_empty();
        if (cwd.empty()) throw TK_MAIL_ASSERTION();
        absolute = make_absolute(path, cwd);
    }
    std::string base;
    split(absolute, extension, base, folder);
    if (!path.empty()) name = std::move(base);
}

std::string tk_file_name::folder_path() const {
    return drive + folder;
}

std::string tk_file_name::full_name() const {
    return join(drive, folder, name, extension);
}

tk_file_wname::tk_file_wname(const char16_t* path) {
    if (path == nullptr) throw TK_MAIL_ASSERTION();
    initialize(path);
}

tk_file_wname::tk_file_wname(const std::u16string& path) {
    initialize(path);
}

void tk_file_wname::initialize(const std::u16string& path) {
    tk_wlog(1, u"tk_file_name::ctor(%s)", path);
    tk_wlog(1, u"tk_file_wname::initialize(%s)", path);
    std::u16string absolute;
    if (path.empty()) {
        absolute = tk_program_wpath();
    } else {
        const std::string cwd = current_folder_or_empty();
        if (cwd.empty()) throw TK_MAIL_ASSERTION();
        absolute = make_absolute(path, tk_path_from_system(cwd));
    }
    std::u16string base;
    split(absolute, extension, base, folder);
    if (!path.empty()) name = std::move(base);
}

std::u16string tk_file_wname::folder_path() const {
    return drive + folder;
}

std::u16string tk_file_wname::full_name() const {
    return join(drive, folder, name, extension);
}

bool tk_find_files(std::u16string_view pattern, std::vector<std::u16string>& list,
                   bool ignore_case) {
    tk_wlog(2, u"tk_temp_chdir::find_files(%s)", std::u16string(pattern));
    list.clear();

    size_t cut = pattern.size();
    while (cut > 0 && !is_separator(pattern[cut - 1])) --cut;
    const std::u16string_view name_pattern = pattern.substr(cut);
    std::string folder(1, '.');
    if (cut > 0) {
        if (!tk_ucs2_to_system(pattern.substr(0, cut), folder)) folder.clear();
        for (char& c : folder) {
            if (c == '\\') c = '/';
        }
    }

    std::unique_ptr<DIR, dir_closer> dir(folder.empty() || has_zero(folder) || name_pattern.empty()
                                             ? nullptr
                                             : opendir(folder.c_str()));
    std::vector<std::u16string> matches;
    bool read_error = false;
    if (dir) {
        for (;;) {
            errno = 0;
            const dirent* entry = readdir(dir.get());
            if (entry == nullptr) {
                read_error = errno != 0;
                break;
            }
            std::u16string entry_name = tk_path_from_system(entry->d_name);
            if (tk_wildcard_match(name_pattern, entry_name, ignore_case)) {
                matches.push_back(std::move(entry_name));
            }
        }
    }
    if (matches.empty()) {
        tk_log(2, "No files found");
        return false;
    }
    for (std::u16string& found : matches) {
        tk_wlog(1, u"Found file: %s", found);
        if (found == u"." || found == u"..") {
            tk_log(1, "...ignored");
            continue;
        }
        list.push_back(std::move(found));
    }
    if (read_error) {
        tk_log(2, "Couldn't find next file");
        return false;
    }
    tk_log(2, "No more files");
    return true;
}

tk_temp_chdir::tk_temp_chdir(const std::string& folder) {
    initialize(folder);
}

void tk_temp_chdir::initialize(const std::string& folder) {
    tk_log(2, "tk_temp_chdir::initialize(%s)", folder);
    previous_ = current_folder_or_empty();
    if (previous_.empty()) {
        tk_log(1, "_getcwd failed");
        return;
    }
    success_ = change_folder(folder);
    if (!success_) tk_log(1, "_chdir failed");
}

tk_temp_chdir::~tk_temp_chdir() {
    if (success_) change_folder(previous_);
}

bool tk_temp_chdir::find_files(std::u16string_view pattern, std::vector<std::u16string>& list,
                               bool ignore_case) const {
    return tk_find_files(pattern, list, ignore_case);
}

tk_temp_chdir_w::tk_temp_chdir_w(const std::u16string& folder) {
    initialize(folder);
}

void tk_temp_chdir_w::initialize(const std::u16string& folder) {
    tk_wlog(2, u"tk_temp_chdir_w::initialize(%s)", folder);
    previous_ = current_folder_or_empty();
    if (previous_.empty()) {
        tk_log(1, "_wgetcwd failed");
        return;
    }
    std::string narrow;
    success_ = tk_ucs2_to_system(folder, narrow) && change_folder(narrow);
    if (!success_) tk_log(1, "_wchdir failed");
}

tk_temp_chdir_w::~tk_temp_chdir_w() {
    if (success_) change_folder(previous_);
}

bool tk_temp_chdir_w::find_files(std::u16string_view pattern, std::vector<std::u16string>& list,
                                 bool ignore_case) const {
    return tk_find_files(pattern, list, ignore_case);
}
