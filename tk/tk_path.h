// File and folder tests, file names split into their parts, working in another
// folder for a while, and listing the files of a folder.
//
// Narrow paths are the system's narrow encoding (UTF-8 on POSIX, the ANSI code
// page on Windows); wide paths are UTF-16 and become the narrow form at the
// system boundary.  Both "\" and "/" separate folders; built paths use "/" on
// POSIX.  Nothing here keeps state between calls except tk_temp_chdir, whose
// change of the current folder affects the whole process while it lives.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// Modes of tk_is_file_exist.
inline constexpr int tk_file_mode_read = 16384;  // exists and can be read
inline constexpr int tk_file_mode_write = 1;     // exists and can be written

// True when path names an existing file (not a folder) that opens for reading,
// or for reading and writing when mode is tk_file_mode_write.  The file is
// closed at once.  Never throws.
bool tk_is_file_exist(std::string_view path, int mode);
bool tk_is_file_exist(std::u16string_view path, int mode);

// True when the process can make path its current folder; the current folder
// is the same afterwards.  Never throws; a wide path that cannot be converted
// answers false.
bool tk_is_path_exist(std::string_view path);
bool tk_is_path_exist(std::u16string_view path);

// The system's text: paths, arguments and console output in the system's
// narrow encoding (UTF-8 on POSIX, the ANSI code page on Windows); data and
// exception messages are in the ANSI code page of tk_codepage.h.  One rule for
// each need:
// - Text that names something of the system (a path, an argument that is
//   one) must come back unchanged: tk_ucs2_to_system and tk_system_to_ucs2
//   refuse (false) a text that does not, since a changed name is another
//   file.  Every UTF-16 text handed to the system goes through
//   tk_ucs2_to_system.
// - Text from the system that is only shown or compared (a folder entry, a
//   message) is read with tk_path_from_system, which keeps what it cannot read
//   as U+FFFD.

// UTF-16 -> narrow system text; false when a character cannot be represented
// (an unpaired surrogate).
bool tk_ucs2_to_system(std::u16string_view text, std::string& out);
// Narrow system text -> UTF-16; false when the text is not valid in the
// system's encoding (nothing is substituted).
bool tk_system_to_ucs2(std::string_view text, std::u16string& out);
// Narrow system text -> UTF-16 for showing or comparing: malformed bytes
// become U+FFFD.
std::u16string tk_path_from_system(std::string_view path);
// Text in the ANSI code page -> narrow system text for printing; characters
// that cannot be shown become "?".
std::string tk_ansi_to_system(std::string_view text);

// The full path of the program's own file in UTF-16 (narrow: tk_program_path
// in tk_system.h).  An unreadable path is an internal error.
std::u16string tk_program_wpath();

// Wildcard match of a whole name: "*" any run of characters, "?" exactly one.
// "*.*" matches every name, with or without a dot.  With ignore_case the
// comparison folds case by Unicode rules ("*.dbf" matches "ORDERS.DBF").
bool tk_wildcard_match(std::u16string_view pattern, std::u16string_view name,
                       bool ignore_case = false);

// The folder part of a path with its trailing separator ("" when the path has
// none).  Only the text is looked at: the path is not made absolute.
std::string tk_path_folder(std::string_view path);
std::u16string tk_path_folder(std::u16string_view path);
// The path without the extension of its last part (its last dot and what
// follows); unchanged when the last part has no dot.  Only the text is
// looked at.
std::string tk_path_without_extension(std::string_view path);
std::u16string tk_path_without_extension(std::u16string_view path);

// A path made absolute and split into its parts: extension (with its dot),
// drive ("C:" on Windows, always empty on POSIX), name (without extension) and
// folder (with its leading and trailing separator).  A relative path resolves
// against the current folder; "." and ".." are folded without looking at the
// file system.  An empty path splits the program's own path but leaves the
// name empty.  A null path, or a current folder that cannot be read, is an
// internal error (tk_mail_assertion).
class tk_file_name {
  public:
    explicit tk_file_name(const char* path);
    explicit tk_file_name(const std::string& path);

    // Drive followed by folder.
    std::string folder_path() const;
    // Drive, folder, name and extension joined again.
    std::string full_name() const;

    std::string extension;
    std::string drive;
    std::string name;
    std::string folder;
};

// The wide form of tk_file_name.
class tk_file_wname {
  public:
    explicit tk_file_wname(const char16_t* path);
    explicit tk_file_wname(const std::u16string& path);

    std::u16string folder_path() const;
    std::u16string full_name() const;

    std::u16string extension;
    std::u16string drive;
    std::u16string name;
    std::u16string folder;

  private:
    void initialize(const std::u16string& path);
};

// Lists the entries of a folder that match a wide pattern such as "*.dbf" or
// "sub/*.dbt" (relative patterns resolve in the current folder).  list is
// emptied, then receives the matching names (files and folders alike, without
// the folder part) in the order the file system returns them; "." and ".."
// are skipped.  False when nothing matches (not even "." or "..") or the
// folder cannot be read to its end.
bool tk_find_files(std::u16string_view pattern, std::vector<std::u16string>& list,
                   bool ignore_case = false);

// Makes a folder the current folder for the life of the object and puts the
// previous one back at its end.  When the change fails, success() is false
// and the current folder is unchanged.  Not copyable.
class tk_temp_chdir {
  public:
    explicit tk_temp_chdir(const std::string& folder);
    ~tk_temp_chdir();
    tk_temp_chdir(const tk_temp_chdir&) = delete;
    tk_temp_chdir& operator=(const tk_temp_chdir&) = delete;

    bool success() const { return success_; }
    // tk_find_files in the current folder (the one this object made current).
    bool find_files(std::u16string_view pattern, std::vector<std::u16string>& list,
                    bool ignore_case = false) const;

  private:
    void initialize(const std::string& folder);

    bool success_ = false;
    std::string previous_;
};

// The wide form of tk_temp_chdir.
class tk_temp_chdir_w {
  public:
    explicit tk_temp_chdir_w(const std::u16string& folder);
    ~tk_temp_chdir_w();
    tk_temp_chdir_w(const tk_temp_chdir_w&) = delete;
    tk_temp_chdir_w& operator=(const tk_temp_chdir_w&) = delete;

    bool success() const { return success_; }
    bool find_files(std::u16string_view pattern, std::vector<std::u16string>& list,
                    bool ignore_case = false) const;

  private:
    void initialize(const std::u16string& folder);

    bool success_ = false;
    // Kept in the system's form, so that a folder whose name is not valid
    // UTF-8 is still found again.
    std::string previous_;
};
