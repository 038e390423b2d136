#include "tk_logger.h"

#include <gtest/gtest.h>

#include "test_support.h"
#include "tk_exception.h"
#include "tk_singleton.h"
#include "tk_system.h"

using namespace kestrel_test;

namespace {

TEST(tk_logger, LineIsMessageAndCrLf) {
    log_capture log(1);
    tk_log(1, "first %d %s", 1, std::string("x"));
    tk_log(3, "second");
    EXPECT_EQ(log.text(), "first 1 x\r\nsecond\r\n");
}

TEST(tk_logger, TimeStampStartsTheLine) {
    temp_folder dir;
    const std::string file = dir.file("t.log");
    tk_logger logger(file.c_str(), true, 1, true);
    tk_log(2, "Error:\n%s", "two lines");
    const std::string text = read_file(file);
    ASSERT_EQ(text.size(), 9u + 18u) << text;
    // "HH:MM:SS " with two-digit fields in range.
    const auto field = [&](size_t at, char high) {
        return text[at] >= '0' && text[at] <= high && text[at + 1] >= '0' && text[at + 1] <= '9';
    };
    EXPECT_TRUE(field(0, '2') && text[2] == ':' && field(3, '5') && text[5] == ':' &&
                field(6, '5') && text[8] == ' ')
        << text;
    EXPECT_EQ(text.substr(9), "Error:\ntwo lines\r\n");
}

TEST(tk_logger, LinesBelowTheMinimumLevelAreDropped) {
    log_capture log(3);
    tk_log(1, "detail");
    tk_log(2, "entry");
    tk_log(3, "event");
    tk_wlog(2, u"wide entry");
    tk_wlog(4, u"wide event");
    EXPECT_EQ(log.text(), "event\r\nwide event\r\n");
}

TEST(tk_logger, EnabledAtConstructionEmptiesTheFileAtOnce) {
    temp_folder dir;
    const std::string file = dir.file("old.log");
    write_file(file, "old contents\r\n");
    tk_logger logger(file.c_str(), true, 3, false);
    EXPECT_TRUE(std::filesystem::exists(file));
    EXPECT_EQ(read_file(file), "");
}

TEST(tk_logger, FirstCallAfterEnablingEmptiesTheFileWhateverItsLevel) {
    temp_folder dir;
    const std::string file = dir.file("agent.log");
    write_file(file, "stale\r\n");
    tk_logger logger(nullptr, false, 3, false);  // as the agent builds it
    tk_log(3, "while disabled");
    EXPECT_EQ(read_file(file), "stale\r\n");
    logger.set_file_name(file.c_str());
    logger.set_enabled(true);
    EXPECT_EQ(read_file(file), "stale\r\n");  // not before the first call
    tk_log(1, "below the minimum level");
    EXPECT_EQ(read_file(file), "");
    EXPECT_TRUE(logger.emptied());
    tk_log(3, "kept");
    EXPECT_EQ(read_file(file), "kept\r\n");
}

TEST(tk_logger, SecondLogFileIsAppendedTo) {
    temp_folder dir;
    const std::string first = dir.file("first.log");
    const std::string second = dir.file("second.log");
    write_file(second, "earlier run\r\n");
    tk_logger logger(first.c_str(), true, 1, false);
    tk_log(3, "one");
    logger.set_file_name(second.c_str());
    tk_log(3, "two");
    EXPECT_EQ(read_file(first), "one\r\n");
    EXPECT_EQ(read_file(second), "earlier run\r\ntwo\r\n");
}

TEST(tk_logger, EachLineIsWrittenAtOnce) {
    log_capture log(1);
    tk_log(3, "a");
    EXPECT_EQ(log.text(), "a\r\n");  // readable while the logger lives
    std::filesystem::remove(log.file());
    tk_log(3, "b");  // opened again for this line
    EXPECT_EQ(log.text(), "b\r\n");
}

TEST(tk_logger, UnopenableFileLosesTheLineSilently) {
    temp_folder dir;
    const std::string file = (dir.path() / "missing" / "x.log").string();
    tk_logger logger(file.c_str(), true, 1, false);
    EXPECT_NO_THROW(tk_log(3, "lost"));
    EXPECT_NO_THROW(tk_wlog(3, u"lost"));
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "missing"));
}

TEST(tk_logger, NarrowBytesUnchangedWideAsUtf8) {
    log_capture log(1);
    tk_log(3, "%s", "\xfc\xdf");
    tk_wlog(3, u"%s %S %d", u"\u0436\u00fc\U0001D11E", "n", 5);
    EXPECT_EQ(log.text(), "\xfc\xdf\r\n\xd0\xb6\xc3\xbc\xf0\x9d\x84\x9e n 5\r\n");
}

TEST(tk_logger, LongWideLineIsCutToTheBuffer) {
    log_capture log(1);
    const std::u16string long_text(20000, u'x');
    tk_wlog(3, u"%s", long_text);
    EXPECT_EQ(log.text(), std::string(tk_logger::kWideBufferChars - 1, 'x') + "\r\n");
    const std::string long_narrow(3000, 'y');
    tk_log(3, "%s", long_narrow);
    EXPECT_EQ(log.text().size(), tk_logger::kWideBufferChars - 1 + 2 + 3000 + 2);
}

TEST(tk_logger, DisabledOrMissingLoggerWritesNothing) {
    EXPECT_EQ(tk_logger::instance_or_null(), nullptr);
    EXPECT_NO_THROW(tk_log(3, "no logger"));
    temp_folder dir;
    const std::string file = dir.file("off.log");
    tk_logger logger(file.c_str(), false, 1, false);
    tk_log(3, "off");
    EXPECT_FALSE(std::filesystem::exists(file));
}

TEST(tk_logger, NullFileNameIsAnInternalError) {
    temp_folder dir;
    const std::string file = dir.file("n.log");
    tk_logger logger(file.c_str(), false, 3, false);
    EXPECT_THROW(logger.set_file_name(nullptr), tk_mail_assertion);
}

TEST(tk_logger, DefaultFileIsTheProgramPathWithLogExtension) {
    tk_logger logger(nullptr, false, 3, false);
    const std::filesystem::path program = tk_program_path();
    const std::filesystem::path name = logger.file_name();
    EXPECT_EQ(name.parent_path(), program.parent_path());
    EXPECT_EQ(name.filename(), "tk_tests.log");
}

// A class of its own, so the rules are checked apart from the logger.
struct lonely : tk_singleton<lonely> {
    int value = 7;
};

TEST(tk_singleton, OneLiveInstanceAtATime) {
    EXPECT_FALSE(lonely::has_instance());
    EXPECT_THROW(lonely::instance(), tk_mail_assertion);
    {
        lonely first;
        EXPECT_EQ(&lonely::instance(), &first);
        EXPECT_THROW(lonely second, tk_mail_assertion);
        EXPECT_EQ(&lonely::instance(), &first);  // the failed second left it alone
    }
    EXPECT_EQ(lonely::instance_or_null(), nullptr);
    auto again = std::make_unique<lonely>();
    EXPECT_EQ(lonely::instance().value, 7);
    again.reset();
    EXPECT_FALSE(lonely::has_instance());
}

TEST(tk_singleton, SecondLoggerIsAnInternalError) {
    log_capture log(1);
    EXPECT_THROW(tk_logger(nullptr, false, 3, false), tk_mail_assertion);
    tk_log(3, "still the first");
    EXPECT_NE(log.text().find("still the first\r\n"), std::string::npos);
}

}  // namespace
