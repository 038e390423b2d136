// tab_file: a table-names file, as the agent's "--tab_file=" reads it.
//
// Input: the file's bytes.
//
// process_tab_file reads the file into the converter's table list, or ends the
// process through fatal_exit; here the end of the process is an exception
// that the target catches.  What must hold:
//   - nothing else leaves process_tab_file: no exception, no other status;
//   - the file's names replace the list the converter held;
//   - every name taken is non-empty, at most 254 characters long and free of
//     control characters, and there are no more names than lines.
#include <algorithm>
#include <memory>
#include <string>

#include "error_handler.h"
#include "fuzz_support.h"
#include "fuzz_targets.h"
#include "kestrel_convertor.h"
#include "kslagent.h"
#include "tk_codepage.h"
#include "tk_error_converter.h"

namespace kestrel_fuzz {

namespace {

struct process_end {
    int status;
};

[[noreturn]] void throw_process_end(int status) {
    throw process_end{status};
}

}  // namespace

int tab_file(const uint8_t* data, size_t size) {
    static const bool once = [] {
        tk_set_ansi_code_page(1252);
        conv_set_exit_function(&throw_process_end);
        return true;
    }();
    (void)once;
    const std::string_view input = as_text(data, size);
    clear_sandbox();
    write_sandbox_file("tables.txt", input);

    error_handler handler(tk_oracle_error_table());
    kestrel_convertor converter;
    converter.set_silent(true);
    converter.table_list() = {u"KEPT"};
    try {
        process_tab_file(sandbox_file("tables.txt"));
    } catch (const process_end& end) {
        fuzz_check(end.status == -1, "the agent ended with a status other than -1", input);
        return 0;
    } catch (const std::exception& e) {
        fuzz_fail(std::string("process_tab_file raised ") + e.what(), input);
    }
    const size_t lines = size_t(std::count(input.begin(), input.end(), '\n')) + 1;
    const auto& names = converter.table_list();
    fuzz_check(names.size() <= lines, "more table names than lines", input);
    fuzz_check(input.find("KEPT") != input.npos ||
                   std::find(names.begin(), names.end(), u"KEPT") == names.end(),
               "the file's names were added to the list instead of replacing it", input);
    for (const std::u16string& name : names) {
        fuzz_check(!name.empty() && name.size() <= 254, "a table name is empty or too long", input);
        fuzz_check(std::none_of(name.begin(), name.end(), [](char16_t c) { return c < u' '; }),
                   "a table name holds a control character", input);
    }
    return 0;
}

}  // namespace kestrel_fuzz
