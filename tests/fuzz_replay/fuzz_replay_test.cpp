// Replays the inputs of the fuzz targets through the same target functions,
// built with the normal compiler: every seed of fuzz/corpus/<target>/ and
// every regression file of tests/data/fuzz/<target>/, each a test named after
// what broke.  A target ends the process when a property breaks, so a
// failing input fails its test (CTest runs each test in a process of its own).
//
// Regression files of faults in layers that this test does not mend are
// replayed by DISABLED_ tests that name the fault; they check the sound
// behaviour directly and pass once the fault is mended.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "fuzz_targets.h"
#include "tk_codepage.h"
#include "tk_exception.h"
#include "udb_profile.h"

namespace {

namespace fs = std::filesystem;

using target_function = int (*)(const uint8_t*, size_t);

const std::map<std::string, target_function>& targets() {
    static const std::map<std::string, target_function> all = {
        {"dbf_table", &kestrel_fuzz::dbf_table},
        {"dbf_memo", &kestrel_fuzz::dbf_memo},
        {"profile", &kestrel_fuzz::profile},
        {"tab_file", &kestrel_fuzz::tab_file},
        {"cmd_line", &kestrel_fuzz::cmd_line},
        {"ole_variant", &kestrel_fuzz::ole_variant_text},
        {"ole_date", &kestrel_fuzz::ole_date_text},
        {"ocilite_script", &kestrel_fuzz::ocilite_script},
        {"ocilite_sql", &kestrel_fuzz::ocilite_sql},
    };
    return all;
}

// Every regression file, as <target>/<name>.  A file must be listed here, and
// so have a test below, to be kept.
const std::set<std::string> kRegressionFiles = {
    "dbf_table/vfp_null_flags_beside_a_field_of_width_0",
    "dbf_table/vfp_null_flags_between_fields",
    "ole_date/invalid_record_prints_its_numbers",
    "profile/carriage_return_before_spaces_kept_in_value",
    "profile/saved_line_longer_than_load_takes",
    "profile/saved_section_longer_than_load_takes",
    "profile/selected_table_saved_as_section_header",
};

std::string read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

fs::path regression_path(const std::string& target, const std::string& name) {
    return fs::path(KESTREL_TEST_DATA) / "fuzz" / target / name;
}

// Runs one file through its target; the target aborts on a broken property.
void replay(const std::string& target, const fs::path& path) {
    ASSERT_TRUE(fs::is_regular_file(path)) << path;
    const std::string bytes = read_file(path);
    SCOPED_TRACE(path.string());
    EXPECT_EQ(targets().at(target)(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()),
              0);
}

void replay_regression(const std::string& target, const std::string& name) {
    replay(target, regression_path(target, name));
}

// ---- the seeds

class seed_corpus : public ::testing::TestWithParam<std::string> {};

TEST_P(seed_corpus, every_seed_passes) {
    const fs::path folder = fs::path(KESTREL_FUZZ_CORPUS) / GetParam();
    ASSERT_TRUE(fs::is_directory(folder)) << folder;
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.is_regular_file()) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    ASSERT_FALSE(files.empty()) << folder;
    for (const fs::path& file : files) replay(GetParam(), file);
}

std::vector<std::string> target_names() {
    std::vector<std::string> names;
    for (const auto& [name, function] : targets()) names.push_back(name);
    return names;
}

INSTANTIATE_TEST_SUITE_P(fuzz_replay, seed_corpus, ::testing::ValuesIn(target_names()),
                         [](const ::testing::TestParamInfo<std::string>& param_info) {
                             return param_info.param;
                         });

// ---- the regression files

TEST(fuzz_replay, every_regression_file_has_a_test) {
    std::set<std::string> found;
    const fs::path root = fs::path(KESTREL_TEST_DATA) / "fuzz";
    std::error_code ec;
    for (const auto& target : fs::directory_iterator(root, ec)) {
        ASSERT_TRUE(target.is_directory()) << target.path();
        EXPECT_TRUE(targets().count(target.path().filename().string()))
            << "no fuzz target " << target.path();
        for (const auto& file : fs::directory_iterator(target.path()))
            found.insert(target.path().filename().string() + "/" + file.path().filename().string());
    }
    EXPECT_EQ(found, kRegressionFiles);
}

// A Visual FoxPro table whose system null-flags field stands between two
// fields: the reader keeps the flags aside, so the next field starts behind
// them and not where the last value ended.  The target's layout check now
// allows for the flags.
TEST(fuzz_replay, dbf_table_vfp_null_flags_between_fields) {
    replay_regression("dbf_table", "vfp_null_flags_between_fields");
}

// The same with a field of width 0 at the offset of the flags: it may be
// listed before them, so it starts where the last value ended.
TEST(fuzz_replay, dbf_table_vfp_null_flags_beside_a_field_of_width_0) {
    replay_regression("dbf_table", "vfp_null_flags_beside_a_field_of_width_0");
}

// A calendar record that is_valid() rejects (month 13360) printed its numbers,
// while the header promised the empty text for every invalid value; the
// header now says what the printing does (by kind, as the record holds it).
TEST(fuzz_replay, ole_date_invalid_record_prints_its_numbers) {
    replay_regression("ole_date", "invalid_record_prints_its_numbers");
}

// udb_profile::save wrote entries of any length, but load() refuses a line
// longer than 4095 bytes: a profile with a long entry (here a byte that is not
// UTF-8, read as U+FFFD, which takes three bytes when saved) was saved and
// then could not be opened.  save() now refuses such an entry with a level-1
// error naming it and writes no file.
TEST(fuzz_replay, profile_saved_line_longer_than_load_takes) {
    tk_set_ansi_code_page(1252);
    const std::string in = regression_path("profile", "saved_line_longer_than_load_takes").string();
    const std::string out = kestrel_fuzz::sandbox_file("saved.ini");
    std::filesystem::remove(out);
    udb_profile loaded;
    ASSERT_TRUE(loaded.load(std::u16string(in.begin(), in.end())));
    try {
        loaded.save(std::u16string(out.begin(), out.end()));
        ADD_FAILURE() << "a line longer than load() takes was saved";
    } catch (const tk_exception& e) {
        EXPECT_EQ(e.level(), 1);
        EXPECT_NE(std::string(e.what()).find("\"k\" of section \"S\""), std::string::npos)
            << e.what();
    }
    EXPECT_FALSE(std::filesystem::exists(out));
}

// The same for a section header: a name of 3,444 bytes with bytes that are
// not UTF-8 grows past 4095 when saved.  save() refuses it too.
TEST(fuzz_replay, profile_saved_section_longer_than_load_takes) {
    tk_set_ansi_code_page(1252);
    const std::string in =
        regression_path("profile", "saved_section_longer_than_load_takes").string();
    const std::string out = kestrel_fuzz::sandbox_file("saved.ini");
    std::filesystem::remove(out);
    udb_profile loaded;
    ASSERT_TRUE(loaded.load(std::u16string(in.begin(), in.end())));
    try {
        loaded.save(std::u16string(out.begin(), out.end()));
        ADD_FAILURE() << "a section header longer than load() takes was saved";
    } catch (const tk_exception& e) {
        EXPECT_EQ(e.level(), 1);
        EXPECT_NE(std::string(e.what()).find("Profile section"), std::string::npos) << e.what();
    }
    EXPECT_FALSE(std::filesystem::exists(out));
}

// A carriage return that spaces separate from the line feed ("k=v\r \n") is
// kept in the value ("v\r"), which save() writes as a line end: the value
// reads back as "v".  conv/udb_profile.cpp, udb_profile::load (the line is
// trimmed of spaces only after conv_read_line took the one "\r" it strips).
TEST(fuzz_replay, profile_carriage_return_before_spaces_kept_in_value) {
    const std::string in =
        regression_path("profile", "carriage_return_before_spaces_kept_in_value").string();
    udb_profile loaded;
    ASSERT_TRUE(loaded.load(std::u16string(in.begin(), in.end())));
    EXPECT_EQ(loaded.lookup(u"S", u"k"), u"v");
}

// save() writes an entry of "Selected Tables" with an empty value as its bare
// key.  A table named "[X]" then comes back as the header of a section X that
// takes the entries after it, and the entry "=" as an empty line, dropped.
// conv/udb_profile.cpp, udb_profile::save (the bare form is safe only for a
// key that is not empty and cannot read as a section header).
TEST(fuzz_replay, profile_selected_table_saved_as_section_header) {
    const std::string in =
        regression_path("profile", "selected_table_saved_as_section_header").string();
    const std::string out = kestrel_fuzz::sandbox_file("saved.ini");
    udb_profile loaded;
    ASSERT_TRUE(loaded.load(std::u16string(in.begin(), in.end())));
    ASSERT_EQ(loaded.section(u"Selected Tables").size(), 3u);
    ASSERT_TRUE(loaded.save(std::u16string(out.begin(), out.end())));
    udb_profile again;
    ASSERT_TRUE(again.load(std::u16string(out.begin(), out.end())));
    EXPECT_TRUE(again.sections() == loaded.sections());
}

}  // namespace
