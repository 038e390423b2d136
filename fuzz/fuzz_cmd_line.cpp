// cmd_line: the argument vector of kslagent.
//
// Input: the arguments, separated by NUL bytes (the program name comes first
// and is not part of the input); an empty input is a call without arguments.
//
// The vector is walked with ansi_cmd_line over the agent's options, then given
// to the agent's whole entry (kslagent_run) with a job that only looks at the
// settings; the end of the process is an exception that the target catches.
// The files that "--logfile=", "--profile=" and "--tab_file=" name are moved
// into the sandbox (the name kept apart from the characters that would leave
// it), which holds a profile "profile.ini" and table-names files "tables.txt"
// and "bom.txt" to be found.  What must hold:
//   - the reader gives each argument the code of the first option that begins
//     it and the rest of the argument as its value, or -1; it raises only
//     tk_mail_assertion, and only for a 21st argument that matches nothing;
//   - the entry returns 0 or -1 or ends the process with -1, nothing else;
//   - the job runs only with a destination and an Oracle database name.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "error_handler.h"
#include "fuzz_support.h"
#include "fuzz_targets.h"
#include "kestrel_convertor.h"
#include "kslagent.h"
#include "tk_cmd_line.h"
#include "tk_codepage.h"
#include "tk_exception.h"

namespace kestrel_fuzz {

namespace {

struct process_end {
    int status;
};

[[noreturn]] void throw_process_end(int status) {
    throw process_end{status};
}

const char* const kFileOptions[] = {"--logfile=", "--profile=", "--tab_file="};

// A path of the sandbox made from a value: letters, digits, '.', '-' and '_'
// stay, the rest becomes '_'.  An empty value stays empty.
std::string sandboxed(std::string_view value) {
    if (value.empty()) return {};
    std::string safe;
    for (const char c : value.substr(0, 64)) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '_';
        safe.push_back(plain ? c : '_');
    }
    if (safe == "." || safe == "..") safe.assign(1, '_');
    return sandbox_file(safe);
}

void make_sandbox_files() {
    write_sandbox_file("profile.ini",
                       "[Generic settings]\n"
                       "src=ORCL\n"
                       "dest=" +
                           sandbox_file("dest") +
                           "\n"
                           "logfile=" +
                           sandbox_file("profile.log") +
                           "\n"
                           "mode=1\n"
                           "only definitions=1\n"
                           "BLOB to text=1\n"
                           "[Oracle settings]\n"
                           "user=scott\n"
                           "password=tiger\n"
                           "[Selected Tables]\n"
                           "EMP\n"
                           "DEPT=DEPARTMENTS\n");
    write_sandbox_file("tables.txt", "EMP\nDEPT\n\nSALGRADE\n");
    write_sandbox_file("bom.txt", "\xEF\xBB\xBF\xC3\x89MP\nBONUS\n");
}

// The reader against the option table: codes, values and the limit of 20
// unrecognised arguments.
void walk(const std::vector<const char*>& argv, std::string_view input) {
    size_t unmatched = 0;
    try {
        ansi_cmd_line reader(int(argv.size()), argv.data(), kslagent_options);
        for (size_t i = 1; reader.has_current(); ++i) {
            const std::string_view arg = argv[i];
            const tk_cmd_option* first = kslagent_options;
            while (first->name[0] != '\0' && arg.substr(0, std::strlen(first->name)) != first->name)
                ++first;
            if (first->name[0] == '\0') {
                ++unmatched;
                fuzz_check(reader.code() == ansi_cmd_line::kUnrecognised && reader.value().empty(),
                           "an argument that matches no option has a code or a value", input);
                fuzz_check(reader.unrecognised_count() == unmatched,
                           "the unrecognised count differs from the arguments that match nothing",
                           input);
                fuzz_check(reader.unrecognised(unmatched - 1) == arg,
                           "the unrecognised list does not hold the argument", input);
            } else {
                fuzz_check(reader.code() == first->code &&
                               reader.value() == arg.substr(std::strlen(first->name)),
                           "an argument has another code or value than its first option gives",
                           input);
            }
            fuzz_check(reader.unrecognised_count() == unmatched,
                       "the unrecognised count differs from the arguments that match nothing",
                       input);
            reader.advance();
        }
    } catch (const tk_mail_assertion&) {
        fuzz_check(unmatched == ansi_cmd_line::kMaxUnrecognised,
                   "the reader raised before a 21st unrecognised argument", input);
        return;
    }
    fuzz_check(unmatched <= ansi_cmd_line::kMaxUnrecognised,
               "more than 20 unrecognised arguments were taken", input);
}

}  // namespace

int cmd_line(const uint8_t* data, size_t size) {
    static const bool once = [] {
        tk_set_ansi_code_page(1252);
        conv_set_exit_function(&throw_process_end);
        return true;
    }();
    (void)once;
    const std::string_view input = as_text(data, size);
    clear_sandbox();
    make_sandbox_files();

    std::vector<std::string> args{"kslagent"};
    if (!input.empty()) {
        for (const std::string_view part : split(input, std::string_view("\0", 1))) {
            std::string arg(part);
            for (const char* option : kFileOptions) {
                if (arg.rfind(option, 0) == 0)
                    arg = option + sandboxed(std::string_view(arg).substr(std::strlen(option)));
            }
            args.push_back(std::move(arg));
        }
    }
    std::vector<const char*> argv;
    for (const std::string& a : args) argv.push_back(a.c_str());

    walk(argv, input);

    argv.push_back(nullptr);  // as the system passes it
    bool job_ran = false;
    int status = 0;
    try {
        status = kslagent_run(int(args.size()), argv.data(), [&job_ran, input] {
            job_ran = true;
            const kestrel_convertor& converter = kestrel_convertor::instance();
            fuzz_check(!converter.destination().empty(), "the job runs without a destination",
                       input);
            fuzz_check(!converter.database().empty() || !converter.source_name().empty(),
                       "the job runs without an Oracle database name", input);
        });
    } catch (const process_end& end) {
        fuzz_check(end.status == -1, "the agent ended with a status other than -1", input);
        return 0;
    } catch (const std::exception& e) {
        fuzz_fail(std::string("the agent's entry raised ") + e.what(), input);
    }
    fuzz_check(status == 0 || status == -1, "the agent returned a status other than 0 and -1",
               input);
    fuzz_check(job_ran == (status == 0), "the agent returned 0 without running the job", input);
    return 0;
}

}  // namespace kestrel_fuzz
