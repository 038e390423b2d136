#include "kslagent.h"

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <system_error>
#include <vector>

#include "conv_files.h"
#include "error_handler.h"
#include "kestrel_convertor.h"
#include "tk_codepage.h"
#include "tk_error_converter.h"
#include "tk_logger.h"
#include "tk_path.h"
#include "tk_string.h"

const tk_cmd_option kslagent_options[] = {
    {opt_blob2memo, "--blob2memo"},
    {opt_dest, "--dest="},
    {opt_help, "--help"},
    {opt_logfile, "--logfile="},
    {opt_mode, "--mode="},
    {opt_oraclu, "--oraclu="},
    {opt_oraclp, "--oraclp="},
    {opt_src, "--src="},
    {opt_profile, "--profile="},
    {opt_silent, "--silent"},
    {opt_tab_def, "--tab_def"},
    {opt_tab_file, "--tab_file="},
    {0, ""},
};

namespace {

constexpr int kVersionMajor = 3;
constexpr int kVersionMinor = 3;
constexpr size_t kUsageBuffer = 16384;

const char kUsageFormat[] =
    "KSLAGENT v%d.%d\n"
    "Usage: KSLAGENT.EXE OPTIONS\n"
    "\n"
    "   --blob2memo    convert Oracle BLOB into DBF MEMO\n"
    "   --dest=...     path to DBF database folder\n"
    "   --help         display this help message and exit\n"
    "   --logfile=...  path to the file where execution trace will be written\n"
    "   --mode=...     how to process an existing DBF folder\n"
    "                  (0 - overwrite the entire folder, 1 - overwrite\n"
    "                  existing files only, 2 - skip existing files)\n"
    "   --oraclu=...   Oracle user name\n"
    "   --oraclp=...   Oracle user password\n"
    "   --profile=...  path to the file to load conversion settings from\n"
    "   --silent       disable program output\n"
    "   --src=...      Oracle database name\n"
    "   --tab_def      convert table definitions only\n"
    "   --tab_file=... file containing the list of tables to convert\n"
    "                  (one table name per line)\n"
    "\n"
    "NOTES:\n"
    "   1) If you omit 'tab_file' parameter, all database tables will be converted\n"
    "   2) If you omit 'mode' parameter, default mode 'overwrite the entire\n"
    "      database' will be used.\n"
    "   3) Command line parameters that contain spaces should be enclosed in\n"
    "      quotes (for example --dest=\"c:\\my database\")\n";

// Longest table name, in characters, that a table-names file may hold.
constexpr size_t kMaxTableName = 254;
// Bytes read per line before the name is decoded: room for 254 characters of
// up to four bytes in UTF-8 and the byte-order mark.
constexpr size_t kMaxTableLineBytes = kMaxTableName * 4 + 3;
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// True for "0", "1" and "2" only: the value read as a number and written back
// in decimal must give the same text.
bool parse_mode(const std::string& value, int& mode) {
    int n = 0;
    const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), n);
    if (ec != std::errc() || end != value.data() + value.size()) return false;
    if (std::to_string(n) != value || n < 0 || n > 2) return false;
    mode = n;
    return true;
}

// Control characters, and the replacement character that a conversion puts
// for bytes that are not text, cannot be part of a table name.
bool is_valid_table_name(const std::u16string& name) {
    for (const char16_t c : name) {
        if (c < u' ' || c == u'\x7F' || c == u'\xFFFD') return false;
    }
    return true;
}

// Decodes one line; false when the bytes are not valid in the encoding.
bool decode_line(std::string_view bytes, bool utf8, std::u16string& name) {
    const int code_page = utf8 ? tk_cp_utf8 : tk_cp_acp;
    auto wide = tk_decode(bytes, code_page);
    if (!wide) return false;
    if (utf8) {
        auto back = tk_encode(*wide, code_page);
        if (!back || *back != bytes) return false;
    }
    name = std::move(*wide);
    return true;
}

std::string line_message(int line_number, const char* what) {
    return "Table names file: line " + std::to_string(line_number) + " " + what;
}

}  // namespace

std::string kslagent_usage_text() {
    std::vector<char> buffer(kUsageBuffer);
    std::snprintf(buffer.data(), buffer.size(), kUsageFormat, kVersionMajor, kVersionMinor);
    return std::string(buffer.data());
}

void fatal_exit(const std::string& message) {
    tk_log(3, "%s", message);
    const kestrel_convertor* converter = kestrel_convertor::instance_or_null();
    if (converter == nullptr || !converter->silent()) {
        std::fwrite(message.data(), 1, message.size(), stderr);
        std::fputc('\n', stderr);
    }
    conv_exit(-1);
}

void process_tab_file(const std::string& path) {
    tk_log(1, "process_tab_file(%s)", path);
    // Only a regular file: a device such as /dev/zero never ends a line and a
    // FIFO blocks the open, so either would hang the agent.
    std::error_code ec;
    if (!tk_is_file_exist(path, tk_file_mode_read) ||
        !std::filesystem::is_regular_file(std::filesystem::path(path), ec)) {
        fatal_exit(
            "Table names file does not exist.\nPlease verify the correct path/name was given.");
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        fatal_exit(
            "Table names file does not exist.\nPlease verify the correct path/name was given.");
    }
    std::vector<std::u16string> names;
    bool utf8 = false;
    bool first = true;
    std::string line;
    for (int line_number = 1;; ++line_number) {
        const conv_line_result got = conv_read_line(in, line, kMaxTableLineBytes);
        if (got == conv_line_result::end) break;
        if (got == conv_line_result::too_long) {
            fatal_exit(line_message(line_number, "is longer than 254 characters."));
        }
        if (line.empty()) continue;
        std::string_view bytes = line;
        if (first) {
            first = false;
            utf8 = bytes.substr(0, kUtf8Bom.size()) == kUtf8Bom;
            if (utf8) bytes.remove_prefix(kUtf8Bom.size());
            if (bytes.empty()) continue;
        }
        std::u16string name;
        if (!decode_line(bytes, utf8, name) || !is_valid_table_name(name)) {
            fatal_exit(line_message(line_number, "does not hold a valid table name."));
        }
        if (name.size() > kMaxTableName) {
            fatal_exit(line_message(line_number, "is longer than 254 characters."));
        }
        names.push_back(std::move(name));
    }
    kestrel_convertor::instance().table_list() = std::move(names);
}

bool parse_cmd_line(int argc, const char* const* argv) {
    tk_log(1, "parse_cmd_line");
    for (int i = 0; i < argc && argv != nullptr; ++i) {
        tk_log(1, "parameter #%d: %s", i, argv[i] != nullptr ? argv[i] : "");
    }
    kestrel_convertor& converter = kestrel_convertor::instance();
    std::u16string database;
    std::u16string user;
    std::u16string password;
    bool profile_loaded = false;

    ansi_cmd_line reader(argc, argv, kslagent_options);
    while (reader.has_current()) {
        const std::string& value = reader.value();
        std::u16string wide;
        // A value that is not valid text in the system's encoding is ignored.
        const auto wide_value = [&] { return tk_system_to_ucs2(value, wide); };
        switch (reader.code()) {
            case opt_blob2memo:
                converter.set_blob_to_memo(true);
                tk_log(2, "\tset blob2text -> true");
                break;
            case opt_dest:
                if (wide_value()) {
                    converter.set_destination(wide);
                    tk_wlog(1, u"parse_cmd_line - got dest %s", wide);
                }
                break;
            case opt_help:
                fatal_exit(kslagent_usage_text());
            case opt_logfile:
                tk_log(1, "parse_cmd_line - got logfile %s", value);
                converter.set_logfile(value);
                break;
            case opt_mode: {
                int mode = 0;
                if (!parse_mode(value, mode)) fatal_exit("Invalid merge/overwrite mode");
                tk_log(2, "\tgot mode %d", mode);
                converter.set_mode(mode);
                break;
            }
            case opt_oraclu:
                if (wide_value()) user = wide;
                break;
            case opt_oraclp:
                if (wide_value()) password = wide;
                break;
            case opt_src:
                if (wide_value()) database = wide;
                break;
            case opt_profile:
                if (wide_value()) {
                    tk_wlog(1, u"parse_cmd_line - got profile %s", wide);
                    profile_loaded = converter.load_profile(wide);
                }
                break;
            case opt_silent:
                converter.set_silent(true);
                error_handler::instance().set_silent(true);
                tk_log(1, "parse_cmd_line - silent mode is ON");
                break;
            case opt_tab_def:
                converter.set_definitions_only(true);
                tk_log(2, "\tconvert table definitions only");
                break;
            case opt_tab_file:
                tk_log(2, "\tparse_cmd_line - got tab_file %s", value);
                process_tab_file(value);
                break;
            default:  // unrecognised: collected by the reader
                break;
        }
        reader.advance();
    }
    if (reader.unrecognised_count() != 0) return false;
    if (database.empty() && converter.source_name().empty()) {
        fatal_exit("You should enter Oracle database name");
    }
    if (converter.destination().empty()) {
        fatal_exit("You should enter path to destination DBF database");
    }
    if (!profile_loaded) {
        converter.store_oracle_settings(database, user, password);
    } else if (converter.database().empty()) {
        // A profile names the database only by its "src" key: that is the
        // connect identifier, or the job could not connect at all.
        converter.store_oracle_settings(converter.source_name(), converter.user(),
                                        converter.password());
    }
    return true;
}

namespace {

// Prints the summary of a run that has started, unless silent.
void print_summary(const kestrel_convertor& converter) {
    if (!converter.has_run() || converter.silent()) return;
    const std::string text = converter.summary_text() + "\n";
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

}  // namespace

int kslagent_exit_status(const kestrel_convertor& converter) {
    if (!converter.has_run()) return 0;
    const conv_run_summary& summary = converter.summary();
    if (!summary.completed) return kslagent_status_failed;
    return summary.with_errors != 0 ? kslagent_status_with_errors : 0;
}

int kslagent_run(int argc, const char* const* argv, const std::function<void()>& job) {
    auto logger = std::make_unique<tk_logger>(nullptr, false, 3, false);
    auto handler = std::make_unique<error_handler>(tk_oracle_error_table());
    auto converter = std::make_unique<kestrel_convertor>();
    // A failure that ends the process during the run still tells how far
    // the run got.
    handler->set_exit_notice([c = converter.get()] { print_summary(*c); });
    int status = 0;
    try {
        if (argc <= 1 || !parse_cmd_line(argc, argv)) fatal_exit(kslagent_usage_text());
        job();
        print_summary(*converter);
        status = kslagent_exit_status(*converter);
    } catch (const tk_exception& e) {
        handler->handle(e, 0);
        // Only level 0 comes back from the handler.  Reaching this point means
        // the job stopped early (a failed connection, for one): that must not
        // end with the status of a completed conversion.
        status = kslagent_status_failed;
    } catch (const std::exception& e) {
        fatal_exit(e.what());
    } catch (...) {
        fatal_exit("Unknown exception");
    }
    handler->set_exit_notice(nullptr);
    converter.reset();
    handler.reset();
    logger.reset();
    return status;
}

int kslagent_main(int argc, const char* const* argv) {
    return kslagent_run(argc, argv, [] {
        kestrel_convertor& converter = kestrel_convertor::instance();
        converter.connect_oracle_server();
        converter.check_dest();
        converter();
    });
}
