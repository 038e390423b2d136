#include "udb_profile.h"

#include <filesystem>
#include <optional>
#include <system_error>

#include "tk_cmd_line.h"
#include "tk_exception.h"
#include "tk_huge_file.h"
#include "tk_line_reader.h"
#include "tk_logger.h"
#include "tk_path.h"
#include "tk_string.h"

namespace {

const udb_profile::entries kNoEntries;
const std::vector<std::u16string> kNoLines;
const char16_t kSelectedTables[] = u"Selected Tables";

// A line without its spaces, and without carriage returns at its end: a
// "\r" that spaces kept away from the line feed is a line end, not a value.
std::u16string trim_line(std::u16string_view line) {
    size_t n = line.size();
    while (n > 0 && (line[n - 1] == u' ' || line[n - 1] == u'\r')) --n;
    return tk_trim(line.substr(0, n));
}

// The bare form "key" reads back as the same entry only when the key is not
// empty, holds no "=", and does not read as a section header "[name]".
bool reads_back_bare(const std::u16string& key) {
    return !key.empty() && key.find(u'=') == std::u16string::npos &&
           !(key.front() == u'[' && key.back() == u']');
}

}  // namespace

bool udb_profile::load(const std::u16string& path) {
    tk_wlog(2, u"udb_profile::load(%s)", path);
    std::string narrow;
    const bool representable = tk_ucs2_to_system(path, narrow);
    // Only a regular file: a FIFO blocks the open and a device such as
    // /dev/zero never ends, so either would hang the program.
    std::error_code ec;
    if (representable && (!tk_is_file_exist(narrow, tk_file_mode_read) ||
                          !std::filesystem::is_regular_file(std::filesystem::path(narrow), ec))) {
        throw tk_exception("Profile does not exist. Please verify the correct path/name was given.",
                           1);
    }
    if (!representable) return false;
    std::optional<tk_line_reader> in;
    try {
        in.emplace(narrow);
    } catch (const tk_exception& e) {
        tk_log(2, "udb_profile::load: %s", e.message());
        return false;
    }

    const std::u16string* current = nullptr;  // the section being read
    std::string raw;
    for (int line_number = 1;; ++line_number) {
        const tk_line_reader::result got = in->read_line(raw, kMaxLine);
        if (got == tk_line_reader::result::end) break;
        if (got == tk_line_reader::result::too_long) {
            throw tk_exception(
                "Profile line " + std::to_string(line_number) + " is longer than 4095 characters.",
                1);
        }
        const std::u16string line = trim_line(tk_utf8_to_ucs2(raw));
        if (line.empty()) continue;
        if (line.front() == u'[' && line.back() == u']') {
            const std::u16string name = line.substr(1, line.size() - 2);
            current = &sections_.try_emplace(name).first->first;
            continue;
        }
        if (current == nullptr) return false;  // an entry before any section
        entries& section = sections_[*current];
        const size_t equals = line.find(u'=');
        if (equals != std::u16string::npos) {
            section.emplace(tk_trim(line.substr(0, equals)), line.substr(equals + 1));
        } else {
            section.emplace(line, std::u16string());
            bare_lines_[*current].push_back(line);
        }
    }
    return true;
}

bool udb_profile::save(const std::u16string& path) const {
    std::string narrow;
    if (!tk_ucs2_to_system(path, narrow)) return false;
    // The whole text first: a line that load() would refuse is refused here,
    // before a file is written that could not be opened again.
    std::string text;
    for (const auto& [name, section] : sections_) {
        const std::string header = '[' + tk_ucs2_to_utf8(name) + ']';
        if (header.size() > kMaxLine) {
            throw tk_exception("Profile section \"" + tk_ucs2_to_utf8(name) +
                                   "\" is longer than 4095 characters and cannot be saved.",
                               1);
        }
        text += header + '\n';
        const bool bare_when_empty = name == kSelectedTables;
        for (const auto& [key, value] : section) {
            std::string line = tk_ucs2_to_utf8(key);
            if (!(bare_when_empty && value.empty() && reads_back_bare(key)))
                line += '=' + tk_ucs2_to_utf8(value);
            if (line.size() > kMaxLine) {
                throw tk_exception("Profile entry \"" + tk_ucs2_to_utf8(key) + "\" of section \"" +
                                       tk_ucs2_to_utf8(name) +
                                       "\" is longer than 4095 characters and cannot be saved.",
                                   1);
            }
            text += line;
            text += '\n';
        }
    }
    try {
        tk_huge_file out(narrow, true);
        out.set_size(0);
        out.put_at(0, text.data(), text.size());
    } catch (const tk_exception& e) {
        tk_log(2, "udb_profile::save: %s", e.message());
        return false;
    }
    return true;
}

std::u16string udb_profile::lookup(const std::u16string& section_name,
                                   const std::u16string& key) const {
    const entries& s = section(section_name);
    const auto it = s.find(key);
    return it == s.end() ? std::u16string() : it->second;
}

const udb_profile::entries& udb_profile::section(const std::u16string& name) const {
    const auto it = sections_.find(name);
    return it == sections_.end() ? kNoEntries : it->second;
}

const std::vector<std::u16string>& udb_profile::bare_lines(const std::u16string& name) const {
    const auto it = bare_lines_.find(name);
    return it == bare_lines_.end() ? kNoLines : it->second;
}

void udb_profile::set(const std::u16string& section_name, const std::u16string& key,
                      const std::u16string& value) {
    sections_[section_name][key] = value;
}
