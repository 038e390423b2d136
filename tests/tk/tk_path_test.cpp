#include "tk_path.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "test_support.h"
#include "tk_exception.h"
#include "tk_string.h"
#include "tk_system.h"

namespace fs = std::filesystem;

using namespace kestrel_test;

namespace {

std::string cwd() {
    return fs::current_path().string();
}

std::vector<std::u16string> sorted(std::vector<std::u16string> v) {
    std::sort(v.begin(), v.end());
    return v;
}

class tk_file_tests : public ::testing::Test {
  protected:
    temp_folder dir;
};

TEST_F(tk_file_tests, ExistingFileIsReadableAndWritable) {
    const std::string file = dir.file("a.dbf");
    write_file(file, "x");
    EXPECT_TRUE(tk_is_file_exist(std::string_view(file), tk_file_mode_read));
    EXPECT_TRUE(tk_is_file_exist(std::string_view(file), tk_file_mode_write));
    EXPECT_TRUE(tk_is_file_exist(tk_utf8_to_ucs2(file), tk_file_mode_read));
}

TEST_F(tk_file_tests, MissingFileOrFolderIsNoFile) {
    log_capture log(1);
    for (const std::string& path : {dir.file("missing.dbf"), dir.path().string(), std::string()}) {
        EXPECT_FALSE(tk_is_file_exist(std::string_view(path), tk_file_mode_read)) << path;
        EXPECT_FALSE(tk_is_file_exist(std::string_view(path), tk_file_mode_write)) << path;
    }
    EXPECT_NE(log.text().find("File not exists!\r\n"), std::string::npos);
    // A name cut short at an embedded zero would name another file.
    write_file(dir.file("a"), "x");
    EXPECT_FALSE(tk_is_file_exist(std::string_view(dir.file("a") + std::string(1, '\0') + "b"),
                                  tk_file_mode_read));
}

TEST_F(tk_file_tests, ReadOnlyFileIsReadableNotWritable) {
    std::string file = dir.file("ro.dbf");
    write_file(file, "x");
    ASSERT_EQ(chmod(file.c_str(), 0444), 0);
    // Permission bits do not stop root; a kernel setting that only reads is
    // read-only for root too.
    if (geteuid() == 0) file = "/proc/sys/kernel/osrelease";
    if (const int fd = open(file.c_str(), O_RDWR); fd >= 0) {
        close(fd);
        GTEST_SKIP() << file << " can be written here";
    }
    EXPECT_TRUE(tk_is_file_exist(std::string_view(file), tk_file_mode_read));
    EXPECT_FALSE(tk_is_file_exist(std::string_view(file), tk_file_mode_write));
}

TEST_F(tk_file_tests, WideNamesAreUtf8OnDisk) {
    const std::u16string folder = tk_utf8_to_ucs2(dir.path().string());
    const std::u16string name = folder + u"/\u0442\u0430\u0431\u043b\u0438\u0446\u0430.dbf";
    write_file(dir.path() / "\xd1\x82\xd0\xb0\xd0\xb1\xd0\xbb\xd0\xb8\xd1\x86\xd0\xb0.dbf", "x");
    EXPECT_TRUE(tk_is_file_exist(name, tk_file_mode_read));
    EXPECT_FALSE(tk_is_file_exist(name + u"x", tk_file_mode_read));
    // An unpaired surrogate has no system form.
    EXPECT_FALSE(tk_is_file_exist(folder + u"/" + std::u16string(1, char16_t(0xDC00)), 1));
}

TEST_F(tk_file_tests, PathExistsOnlyForFoldersAndKeepsTheCurrentFolder) {
    const std::string before = cwd();
    write_file(dir.file("file.txt"), "x");
    fs::create_directory(dir.path() / "\xc3\xa4rger");
    EXPECT_TRUE(tk_is_path_exist(std::string_view(dir.path().string())));
    EXPECT_FALSE(tk_is_path_exist(std::string_view(dir.file("file.txt"))));
    EXPECT_FALSE(tk_is_path_exist(std::string_view(dir.file("nowhere"))));
    EXPECT_FALSE(tk_is_path_exist(std::string_view()));
    EXPECT_TRUE(tk_is_path_exist(tk_utf8_to_ucs2(dir.path().string()) + u"/\u00e4rger"));
    EXPECT_FALSE(tk_is_path_exist(tk_utf8_to_ucs2(dir.path().string()) + u"/\u00e4rg"));
    EXPECT_EQ(cwd(), before);
}

TEST_F(tk_file_tests, TempChdirRestoresThePreviousFolder) {
    const std::string before = cwd();
    fs::create_directory(dir.path() / "sub");
    {
        tk_temp_chdir change(dir.file("sub"));
        EXPECT_TRUE(change.success());
        EXPECT_TRUE(fs::equivalent(fs::current_path(), dir.path() / "sub"));
        {
            tk_temp_chdir_w inner(u"..");
            EXPECT_TRUE(inner.success());
            EXPECT_TRUE(fs::equivalent(fs::current_path(), dir.path()));
        }
        EXPECT_TRUE(fs::equivalent(fs::current_path(), dir.path() / "sub"));
    }
    EXPECT_EQ(cwd(), before);
    {
        log_capture log(1);
        tk_temp_chdir failed(dir.file("missing"));
        EXPECT_FALSE(failed.success());
        EXPECT_EQ(cwd(), before);
        tk_temp_chdir_w failed_w(u"missing-\u0436");
        EXPECT_FALSE(failed_w.success());
        EXPECT_NE(log.text().find("_chdir failed\r\n"), std::string::npos);
        EXPECT_NE(log.text().find("_wchdir failed\r\n"), std::string::npos);
    }
    EXPECT_EQ(cwd(), before);
}

struct split_case {
    const char* path;    // relative to the test's folder unless it starts with "/"
    const char* folder;  // "" + relative part: the test's folder is put in front
    const char* name;
    const char* extension;
};

TEST_F(tk_file_tests, FileNameIsMadeAbsoluteAndSplit) {
    const split_case cases[] = {
        {"data.dbf", "/", "data", ".dbf"},
        {"sub/../data.dbf", "/", "data", ".dbf"},
        {"./a/./b/c.tar.gz", "/a/b/", "c.tar", ".gz"},
        {"a\\b\\c.dbt", "/a/b/", "c", ".dbt"},
        {"a/b/", "/a/b/", "", ""},
        {"noext", "/", "noext", ""},
        {"a.b/file", "/a.b/", "file", ""},
        {".hidden", "/", "", ".hidden"},
    };
    tk_temp_chdir here(dir.path().string());
    ASSERT_TRUE(here.success());
    const std::string base = cwd();
    for (const split_case& c : cases) {
        SCOPED_TRACE(c.path);
        const tk_file_name n(c.path);
        EXPECT_EQ(n.folder, base + c.folder);
        EXPECT_EQ(n.name, c.name);
        EXPECT_EQ(n.extension, c.extension);
        EXPECT_EQ(n.drive, "");
        EXPECT_EQ(n.folder_path(), base + c.folder);
        EXPECT_EQ(n.full_name(), base + c.folder + c.name + c.extension);

        const tk_file_wname w(tk_utf8_to_ucs2(c.path));
        EXPECT_EQ(w.folder, tk_utf8_to_ucs2(base + c.folder));
        EXPECT_EQ(w.name, tk_utf8_to_ucs2(c.name));
        EXPECT_EQ(w.extension, tk_utf8_to_ucs2(c.extension));
        EXPECT_EQ(w.full_name(), tk_utf8_to_ucs2(base + c.folder + c.name + c.extension));
    }
}

TEST(tk_file_name, AbsolutePathsFoldDots) {
    const tk_file_name n("/x/./y/../z.txt");
    EXPECT_EQ(n.folder, "/x/");
    EXPECT_EQ(n.name, "z");
    EXPECT_EQ(n.extension, ".txt");
    EXPECT_EQ(tk_file_name("/../../a.b").full_name(), "/a.b");
    EXPECT_EQ(tk_file_name("\\\\x\\\\y").full_name(), "/x/y");
    const tk_file_wname w(u"/\u0434\u0430\u043d\u043d\u044b\u0435/\u0444\u0430\u0439\u043b.DBF");
    EXPECT_EQ(w.folder, u"/\u0434\u0430\u043d\u043d\u044b\u0435/");
    EXPECT_EQ(w.name, u"\u0444\u0430\u0439\u043b");
    EXPECT_EQ(w.extension, u".DBF");
}

TEST(tk_file_name, FullNameAddsAMissingSeparator) {
    tk_file_name n("/x/y.dbf");
    n.folder = "/other";
    EXPECT_EQ(n.full_name(), "/other/y.dbf");
}

TEST(tk_file_name, EmptyPathTakesTheProgramFolderWithoutName) {
    const fs::path program = tk_program_path();
    const tk_file_name n("");
    EXPECT_EQ(n.folder, program.parent_path().string() + "/");
    EXPECT_EQ(n.name, "");
    const tk_file_wname w(u"");
    EXPECT_EQ(w.folder, tk_utf8_to_ucs2(program.parent_path().string() + "/"));
    EXPECT_EQ(w.name, u"");
    EXPECT_EQ(tk_program_wpath(), tk_utf8_to_ucs2(program.string()));
}

TEST(tk_file_name, NullPathIsAnInternalError) {
    EXPECT_THROW(tk_file_name(static_cast<const char*>(nullptr)), tk_mail_assertion);
    EXPECT_THROW(tk_file_wname(static_cast<const char16_t*>(nullptr)), tk_mail_assertion);
}

struct match_case {
    const char16_t* pattern;
    const char16_t* name;
    bool exact;
    bool ignoring_case;
};

TEST(tk_path_parts, FolderAndNameWithoutExtensionFromTheTextAlone) {
    const struct {
        const char* path;
        const char* folder;
        const char* without_extension;
    } cases[] = {
        {"/data/emp.dbf", "/data/", "/data/emp"},
        {"emp.dbf", "", "emp"},
        {"emp", "", "emp"},
        {"/data.v2/emp", "/data.v2/", "/data.v2/emp"},  // a dot in a folder is no extension
        {"/data/archive.tar.gz", "/data/", "/data/archive.tar"},
        {"/data/.hidden", "/data/", "/data/"},
        {"/data/", "/data/", "/data/"},
        {"c:\\tables\\Emp.DBF", "c:\\tables\\", "c:\\tables\\Emp"},
        {"a/b\\c.x", "a/b\\", "a/b\\c"},
        {"", "", ""},
        {"/", "/", "/"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(tk_path_folder(std::string_view(c.path)), c.folder);
        EXPECT_EQ(tk_path_without_extension(std::string_view(c.path)), c.without_extension);
        const std::u16string wide = tk_utf8_to_ucs2(c.path);
        EXPECT_EQ(tk_path_folder(std::u16string_view(wide)), tk_utf8_to_ucs2(c.folder));
        EXPECT_EQ(tk_path_without_extension(std::u16string_view(wide)),
                  tk_utf8_to_ucs2(c.without_extension));
    }
    EXPECT_EQ(tk_path_without_extension(std::u16string_view(u"/d\u00e9p/\u0416.dbf")),
              u"/d\u00e9p/\u0416");
}

TEST(tk_wildcard_match, StarAndQuestionMark) {
    const match_case cases[] = {
        {u"*.dbf", u"a.dbf", true, true},
        {u"*.dbf", u"A.DBF", false, true},
        {u"*.dbf", u"a.dbfx", false, false},
        {u"*.dbf", u".dbf", true, true},
        {u"a?c", u"abc", true, true},
        {u"a?c", u"ac", false, false},
        {u"*", u"", true, true},
        {u"", u"", true, true},
        {u"", u"a", false, false},
        {u"*a*b", u"xxaxxb", true, true},
        {u"*a*b", u"xxaxxbx", false, false},
        {u"a**?", u"ab", true, true},
        {u"*.*", u"noext", true, true},
        {u"*.*", u"..", true, true},
        {u"*.\u0434\u0431\u0444", u"x.\u0414\u0411\u0424", false, true},
        {u"??.dbt", u"\u00e4b.dbt", true, true},
    };
    for (const match_case& c : cases) {
        SCOPED_TRACE(tk_ucs2_to_utf8(c.pattern) + " ~ " + tk_ucs2_to_utf8(c.name));
        EXPECT_EQ(tk_wildcard_match(c.pattern, c.name), c.exact);
        EXPECT_EQ(tk_wildcard_match(c.pattern, c.name, true), c.ignoring_case);
    }
}

TEST_F(tk_file_tests, FindFilesListsFilesAndFolders) {
    for (const char* name : {"a.dbf", "B.DBF", "c.txt", "d.dbt"}) write_file(dir.file(name), "x");
    fs::create_directory(dir.path() / "e.dbf");
    fs::create_directory(dir.path() / "sub");
    write_file(dir.path() / "sub" / "f.dbt", "x");

    tk_temp_chdir_w here(tk_utf8_to_ucs2(dir.path().string()));
    ASSERT_TRUE(here.success());
    std::vector<std::u16string> list{u"stale"};
    EXPECT_TRUE(here.find_files(u"*.dbf", list));
    EXPECT_EQ(sorted(list), (std::vector<std::u16string>{u"a.dbf", u"e.dbf"}));
    EXPECT_TRUE(here.find_files(u"*.dbf", list, true));
    EXPECT_EQ(sorted(list), (std::vector<std::u16string>{u"B.DBF", u"a.dbf", u"e.dbf"}));
    EXPECT_TRUE(here.find_files(u"?.txt", list));
    EXPECT_EQ(list, std::vector<std::u16string>{u"c.txt"});
    EXPECT_TRUE(here.find_files(u"sub/*.dbt", list));
    EXPECT_EQ(list, std::vector<std::u16string>{u"f.dbt"});
    EXPECT_TRUE(here.find_files(u"sub\\*", list));
    EXPECT_EQ(list, std::vector<std::u16string>{u"f.dbt"});
    EXPECT_TRUE(here.find_files(u"*", list));
    EXPECT_EQ(list.size(), 6u);
}

TEST_F(tk_file_tests, FindFilesWithoutMatches) {
    log_capture log(1);
    tk_temp_chdir here(dir.path().string());
    ASSERT_TRUE(here.success());
    std::vector<std::u16string> list{u"stale"};
    // Only "." and ".." match: found, but nothing to list.
    EXPECT_TRUE(here.find_files(u"*", list));
    EXPECT_TRUE(list.empty());
    EXPECT_NE(log.text().find("Found file: .\r\n...ignored\r\n"), std::string::npos);
    EXPECT_NE(log.text().find("No more files\r\n"), std::string::npos);

    list = {u"stale"};
    EXPECT_FALSE(here.find_files(u"*.dbf", list));
    EXPECT_TRUE(list.empty());
    EXPECT_NE(log.text().find("No files found\r\n"), std::string::npos);
    EXPECT_FALSE(tk_find_files(u"missing/*", list));
    EXPECT_FALSE(tk_find_files(u"", list));
}

}  // namespace

namespace {

TEST(tk_system_text, Utf8BothWaysStrictOnTheWayOut) {
    std::string out = "stale";
    EXPECT_TRUE(tk_ucs2_to_system(u"\u0436/x", out));
    EXPECT_EQ(out, "\xd0\xb6/x");
    EXPECT_FALSE(tk_ucs2_to_system(std::u16string(1, char16_t(0xD800)), out));
    EXPECT_EQ(out, "\xd0\xb6/x");  // left alone on failure
    EXPECT_EQ(tk_path_from_system("a\xff"), u"a\ufffd");
    EXPECT_EQ(tk_path_from_system("\xf0\x9d\x84\x9e"), u"\U0001D11E");
}

// The same bytes under the two rules: a name that goes back to the system is
// refused when it is not valid, one that is only shown keeps U+FFFD.
TEST(tk_system_text, NamesAreRefusedWhereShownTextIsSubstituted) {
    for (const std::string bad : {"a\xff", "\xc3", "\xed\xa0\x80", "x\xc0\xafy"}) {
        SCOPED_TRACE(tk_hex_text(bad));
        std::u16string wide = u"stale";
        EXPECT_FALSE(tk_system_to_ucs2(bad, wide));
        EXPECT_EQ(wide, u"stale");
        const std::u16string shown = tk_path_from_system(bad);
        EXPECT_NE(shown.find(u'\ufffd'), std::u16string::npos);
        std::string back;
        EXPECT_TRUE(tk_ucs2_to_system(shown, back));
        EXPECT_NE(back, bad);  // the shown form names another file
    }
    std::u16string wide;
    ASSERT_TRUE(tk_system_to_ucs2("d\xc3\xa9p/\xf0\x9d\x84\x9e", wide));
    EXPECT_EQ(wide, tk_path_from_system("d\xc3\xa9p/\xf0\x9d\x84\x9e"));
}

}  // namespace
