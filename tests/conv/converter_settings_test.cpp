// The converter's settings: set_logfile's checks, the profile file format and
// how a profile's keys reach the converter.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "conv_files.h"
#include "dbf_format.h"
#include "kestrel_convertor.h"
#include "tk_logger.h"
#include "udb_profile.h"

namespace {

namespace fs = std::filesystem;

class converter_test : public ::testing::Test {
  protected:
    void SetUp() override {
        static std::atomic<int> counter{0};
        folder_ = fs::temp_directory_path() / ("converter_test_" + std::to_string(::getpid()) +
                                               "_" + std::to_string(counter++));
        fs::remove_all(folder_);
        fs::create_directories(folder_);
        logger_ = std::make_unique<tk_logger>(nullptr, false, 3, false);
        converter_ = std::make_unique<kestrel_convertor>();
    }
    void TearDown() override {
        converter_.reset();
        logger_.reset();
        std::error_code ec;
        fs::remove_all(folder_, ec);
    }
    std::string file(const std::string& name) const { return (folder_ / name).string(); }
    std::u16string wfile(const std::string& name) const { return (folder_ / name).u16string(); }
    void write(const std::string& name, const std::string& bytes) const {
        std::ofstream(file(name), std::ios::binary) << bytes;
    }
    std::string read(const std::string& name) const {
        std::ifstream in(file(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    // Loads a profile with the given text into the converter.
    bool apply(const std::string& text) {
        write("p.ini", text);
        return converter_->load_profile(wfile("p.ini"));
    }
    static std::string level_one_message(const std::function<void()>& action) {
        try {
            action();
        } catch (const tk_exception& e) {
            EXPECT_EQ(e.level(), 1);
            return e.message();
        }
        return "(no exception)";
    }

    fs::path folder_;
    std::unique_ptr<tk_logger> logger_;
    std::unique_ptr<kestrel_convertor> converter_;
};

TEST_F(converter_test, set_logfile_turns_logging_on_and_empties_the_file_at_the_next_line) {
    write("run.log", "old");
    converter_->set_logfile(file("run.log"));
    EXPECT_EQ(converter_->logfile(), file("run.log"));
    EXPECT_TRUE(logger_->enabled());
    EXPECT_EQ(logger_->file_name(), file("run.log"));
    tk_log(1, "below the minimum level");
    EXPECT_EQ(read("run.log"), "");
    tk_log(3, "user event %d", 1);
    EXPECT_EQ(read("run.log"), "user event 1\r\n");
}

TEST_F(converter_test, set_logfile_with_empty_name_leaves_logging_off) {
    converter_->set_logfile("");
    EXPECT_FALSE(logger_->enabled());
}

TEST_F(converter_test, set_logfile_refuses_missing_folder_and_unwritable_files) {
    const std::string no_folder =
        "Logfile path does not exist.\nPlease verify the correct path was given.";
    const std::string read_only = "Logfile name specifies an existing read-only file.";
    EXPECT_EQ(level_one_message([&] { converter_->set_logfile(file("none/x.log")); }), no_folder);
    fs::create_directories(folder_ / "sub");
    EXPECT_EQ(level_one_message([&] { converter_->set_logfile(file("sub")); }), read_only);
    EXPECT_FALSE(logger_->enabled());
    EXPECT_EQ(converter_->logfile(), "");
    if (::geteuid() != 0) {
        write("ro.log", "keep");
        ::chmod(file("ro.log").c_str(), 0444);
        EXPECT_EQ(level_one_message([&] { converter_->set_logfile(file("ro.log")); }), read_only);
        EXPECT_EQ(read("ro.log"), "keep");
    }
}

TEST_F(converter_test, mode_and_flags_from_generic_settings) {
    struct check {
        std::string value;
        int mode;
    };
    for (const check& c : std::vector<check>{{"2", 2}, {"7", 7}, {"22", 1}, {"", 1}, {"x", 1}}) {
        SCOPED_TRACE(c.value);
        converter_->set_mode(1);
        ASSERT_TRUE(apply("[Generic settings]\nmode=" + c.value + "\n"));
        EXPECT_EQ(converter_->mode(), c.mode);
    }
    ASSERT_TRUE(apply("[Generic settings]\nMode=2\n"));  // keys are case-sensitive
    EXPECT_EQ(converter_->mode(), 1);

    ASSERT_TRUE(
        apply("[Generic settings]\nonly definitions=0\nskip indexes=yes\nBLOB to text=2\n"));
    EXPECT_FALSE(converter_->definitions_only());
    EXPECT_TRUE(converter_->skip_indexes());
    EXPECT_FALSE(converter_->blob_to_memo());
    ASSERT_TRUE(apply("[Generic settings]\nonly definitions=no\nBLOB to text=1\n"));
    EXPECT_TRUE(converter_->definitions_only());
    EXPECT_TRUE(converter_->blob_to_memo());
    ASSERT_TRUE(apply("[Generic settings]\nBLOB to text=\n"));  // empty: unchanged
    EXPECT_TRUE(converter_->blob_to_memo());
}

TEST_F(converter_test, selected_tables_and_queries) {
    ASSERT_TRUE(apply(
        "[Selected Tables]\nB\nA\nC=RENAMED\nD=\nA\n[Available Queries]\nQ1=SELECT 1 FROM DUAL\n"));
    EXPECT_EQ(converter_->table_list(), (std::vector<std::u16string>{u"A", u"B", u"D"}));
    EXPECT_EQ(converter_->name_map(),
              (udb_name_map{{u"A", u""}, {u"B", u""}, {u"C", u"RENAMED"}, {u"D", u""}}));
    EXPECT_EQ(converter_->query_map().at(u"Q1"), u"SELECT 1 FROM DUAL");
}

TEST_F(converter_test, generic_and_oracle_settings) {
    ASSERT_TRUE(apply("[Generic settings]\nsrc=ORCL\ndest=/out/dbf\nlogfile=" + file("p.log") +
                      "\n[Oracle settings]\nhost=db.example\nport=1522\nuser=scott\npassword=\n"));
    EXPECT_EQ(converter_->source_name(), u"ORCL");
    EXPECT_EQ(converter_->destination(), u"/out/dbf");
    EXPECT_EQ(converter_->logfile(), file("p.log"));
    EXPECT_EQ(converter_->host(), u"db.example");
    EXPECT_EQ(converter_->port(), u"1522");
    EXPECT_EQ(converter_->user(), u"scott");
    EXPECT_EQ(converter_->password(), u"");
    EXPECT_EQ(converter_->database(), u"");  // not a profile key
    EXPECT_TRUE(converter_->use_tns());
}

TEST_F(converter_test, profile_logfile_in_a_missing_folder_is_refused) {
    EXPECT_EQ(level_one_message([&] { apply("[Generic settings]\nlogfile=/no/such/dir/x.log\n"); }),
              "Logfile path does not exist.\nPlease verify the correct path was given.");
}

TEST_F(converter_test, profile_that_does_not_exist) {
    EXPECT_EQ(level_one_message([&] { converter_->load_profile(wfile("none.ini")); }),
              "Profile does not exist. Please verify the correct path/name was given.");
    fs::create_directories(folder_ / "dir.ini");
    EXPECT_EQ(level_one_message([&] { converter_->load_profile(wfile("dir.ini")); }),
              "Profile does not exist. Please verify the correct path/name was given.");
}

class udb_profile_test : public converter_test {};

TEST_F(udb_profile_test, lines_sections_entries_and_bare_lines) {
    write("p.ini",
          "  [Generic settings]  \r\n"
          "  key  =  value with space  \n"
          "key=second value is ignored\n"
          "\n"
          "   \n"
          "[ Spaced ]\n"
          "bare line\n"
          "=empty key\n"
          "[Generic settings]\n"
          "more=1\n"
          "[]\n"
          "x\n");
    udb_profile p;
    ASSERT_TRUE(p.load(wfile("p.ini")));
    EXPECT_EQ(p.lookup(u"Generic settings", u"key"), u"  value with space");
    EXPECT_EQ(p.lookup(u"Generic settings", u"more"), u"1");  // a section continues
    EXPECT_EQ(p.lookup(u" Spaced ", u"bare line"), u"");
    EXPECT_EQ(p.section(u" Spaced ").size(), 2u);
    EXPECT_EQ(p.lookup(u" Spaced ", u""), u"empty key");
    EXPECT_EQ(p.bare_lines(u" Spaced "), (std::vector<std::u16string>{u"bare line"}));
    EXPECT_EQ(p.lookup(u"", u"x"), u"");
    EXPECT_EQ(p.section(u"").count(u"x"), 1u);
    EXPECT_EQ(p.lookup(u"Missing", u"key"), u"");
    EXPECT_EQ(p.sections().size(), 3u);
}

TEST_F(udb_profile_test, entry_before_first_section_fails) {
    for (const std::string text : {"key=value\n[S]\n", "bare\n[S]\n", "[S\n"}) {
        SCOPED_TRACE(text);
        write("p.ini", text);
        udb_profile p;
        EXPECT_FALSE(p.load(wfile("p.ini")));
    }
}

TEST_F(udb_profile_test, utf8_text_and_long_lines) {
    write("p.ini", "[Selected Tables]\nКЛИЕНТЫ\nCafé=Кафе\n");
    udb_profile p;
    ASSERT_TRUE(p.load(wfile("p.ini")));
    EXPECT_EQ(p.lookup(u"Selected Tables", u"Café"), u"Кафе");
    EXPECT_EQ(p.bare_lines(u"Selected Tables"), (std::vector<std::u16string>{u"КЛИЕНТЫ"}));

    write("p.ini", "[S]\nk=" + std::string(4093, 'v') + "\r\n");  // 4095 bytes: fits
    udb_profile fits;
    ASSERT_TRUE(fits.load(wfile("p.ini")));
    EXPECT_EQ(fits.lookup(u"S", u"k").size(), 4093u);

    write("p.ini", "[S]\nk=" + std::string(1 << 20, 'v') + "\n");
    udb_profile too_long;
    EXPECT_EQ(level_one_message([&] { too_long.load(wfile("p.ini")); }),
              "Profile line 2 is longer than 4095 characters.");
}

TEST_F(udb_profile_test, written_profile_reads_back) {
    udb_profile p;
    p.set(u"Selected Tables", u"EMP", u"");
    p.set(u"Selected Tables", u"ÄRZTE", u"AERZTE");
    p.set(u"Generic settings", u"dest", u"");
    p.set(u"Generic settings", u"src", u"ORCL ");
    ASSERT_TRUE(p.save(wfile("out.ini")));
    EXPECT_EQ(read("out.ini"),
              "[Generic settings]\ndest=\nsrc=ORCL \n[Selected Tables]\nEMP\nÄRZTE=AERZTE\n");
    udb_profile back;
    ASSERT_TRUE(back.load(wfile("out.ini")));
    EXPECT_EQ(back.lookup(u"Selected Tables", u"ÄRZTE"), u"AERZTE");
    EXPECT_EQ(back.lookup(u"Generic settings", u"src"), u"ORCL");  // trailing space lost
    EXPECT_EQ(back.section(u"Selected Tables").size(), 2u);
    EXPECT_FALSE(p.save(wfile("no/such/folder/out.ini")));
}

TEST(conv_read_line, limits_and_line_ends) {
    std::istringstream in("abc\r\nabcd\nab\r\r\n" + std::string(10, 'x') + "\nlast");
    std::string line;
    EXPECT_EQ(conv_read_line(in, line, 3), conv_line_result::line);
    EXPECT_EQ(line, "abc");
    EXPECT_EQ(conv_read_line(in, line, 3), conv_line_result::too_long);
    EXPECT_EQ(conv_read_line(in, line, 3), conv_line_result::line);
    EXPECT_EQ(line, "ab\r");  // only the last carriage return belongs to the line end
    EXPECT_EQ(conv_read_line(in, line, 3), conv_line_result::too_long);
    EXPECT_EQ(conv_read_line(in, line, 4), conv_line_result::line);
    EXPECT_EQ(line, "last");
    EXPECT_EQ(conv_read_line(in, line, 4), conv_line_result::end);
}

}  // namespace

TEST_F(converter_test, dbf_format_from_the_profile) {
    EXPECT_EQ(converter_->format(), dbf_format::dbase3);
    ASSERT_TRUE(apply("[Generic settings]\nDBF format=vfp\n"));
    EXPECT_EQ(converter_->format(), dbf_format::vfp);
    // A value that names no format, or none, leaves the format as it was.
    for (const char* value : {"foxpro", "", "dbase"}) {
        ASSERT_TRUE(apply(std::string("[Generic settings]\nDBF format=") + value + "\n"));
        EXPECT_EQ(converter_->format(), dbf_format::vfp) << value;
    }
    ASSERT_TRUE(apply("[Generic settings]\nDBF format=DBASE3\n"));
    EXPECT_EQ(converter_->format(), dbf_format::dbase3);
}

TEST_F(converter_test, dbf_format_from_the_environment) {
    converter_.reset();
    for (const auto& [value, format] :
         std::vector<std::pair<const char*, dbf_format>>{{"vfp", dbf_format::vfp},
                                                         {"Dbase3", dbf_format::dbase3},
                                                         {"clipper", dbf_format::dbase3}}) {
        SCOPED_TRACE(value);
        ::setenv("KESTREL_DBF_FORMAT", value, 1);
        kestrel_convertor converter;
        EXPECT_EQ(converter.format(), format);
    }
    ::unsetenv("KESTREL_DBF_FORMAT");
    converter_ = std::make_unique<kestrel_convertor>();
    EXPECT_EQ(converter_->format(), dbf_format::dbase3);
}

TEST_F(converter_test, stored_profile_reads_back_to_the_same_settings) {
    converter_->set_source_name(u"ORCL");
    converter_->set_destination(u"/out/dbf");
    converter_->set_mode(2);
    converter_->set_definitions_only(true);
    converter_->set_format(dbf_format::vfp);
    converter_->table_list() = {u"EMP", u"DEPT"};
    udb_profile profile;
    converter_->store_profile(profile);
    EXPECT_EQ(profile.lookup(u"Generic settings", u"DBF format"), u"vfp");
    ASSERT_TRUE(profile.save(wfile("saved.ini")));
    converter_.reset();
    converter_ = std::make_unique<kestrel_convertor>();
    ASSERT_TRUE(converter_->load_profile(wfile("saved.ini")));
    EXPECT_EQ(converter_->source_name(), u"ORCL");
    EXPECT_EQ(converter_->destination(), u"/out/dbf");
    EXPECT_EQ(converter_->mode(), 2);
    EXPECT_TRUE(converter_->definitions_only());
    EXPECT_FALSE(converter_->skip_indexes());
    EXPECT_EQ(converter_->format(), dbf_format::vfp);
    EXPECT_EQ(converter_->table_list(), (std::vector<std::u16string>{u"DEPT", u"EMP"}));
    EXPECT_NE(read("saved.ini").find("DBF format=vfp\n"), std::string::npos);
}
