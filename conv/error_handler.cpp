#include "error_handler.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "tk_cmd_line.h"
#include "tk_logger.h"
#include "tk_string.h"

namespace {

conv_exit_function g_exit_function = nullptr;

constexpr size_t kContextChars = 255;

std::string narrow_context(std::u16string_view text) {
    std::string narrow;
    // The ANSI conversion substitutes what it cannot hold, so it fails only
    // when the code page itself is unknown; the prefix then stays empty.
    if (!tk_ucs2_to_ansi(text, narrow)) narrow.clear();
    return narrow;
}

void print(std::FILE* stream, std::string_view ansi_text) {
    const std::string text = tk_ansi_to_system(ansi_text);
    std::fwrite(text.data(), 1, text.size(), stream);
}

}  // namespace

conv_exit_function conv_set_exit_function(conv_exit_function f) {
    const conv_exit_function previous = g_exit_function;
    g_exit_function = f;
    return previous;
}

void conv_exit(int status) {
    std::fflush(stdout);
    std::fflush(stderr);
    if (g_exit_function != nullptr) g_exit_function(status);
    std::exit(status);
}

error_handler::error_handler(std::span<const tk_error_entry> known_errors)
    : converter_(known_errors) {
    tk_log(2, "error_handler::ctor");
}

void error_handler::set_context(std::u16string_view table_name) {
    context_ = narrow_context(table_name);
}

void error_handler::set_context(std::u16string_view table_name, int record_number) {
    const std::u16string name(table_name);
    context_ =
        narrow_context(tk_wformat(kContextChars, u"%s, record #%d", name.c_str(), record_number));
}

void error_handler::end_process() {
    // The notice runs once: a failure inside it must not report again.
    if (auto notice = std::exchange(exit_notice_, nullptr)) notice();
    conv_exit(-1);
}

void error_handler::handle(const tk_exception& e, int /*may_go_on*/) {
    tk_log(2, "error_handler::handle");
    if (e.level() == 2) {
        tk_log(3, "Internal error:\n%s", e.message());
        // Shown even in silent mode: an internal error must never pass unseen.
        print(stdout, "Internal error: ");
        print(stdout, e.message());
        print(stdout, "\n");
        end_process();
    }
    std::string text;
    if (!context_.empty()) text = context_ + ": ";
    const std::string known = converter_.convert(e.code());
    text += known.empty() ? e.message() : known;
    tk_log(3, "Error:\n%s", text);
    // The log keeps the line feeds; the console shows the report on one line.
    std::replace(text.begin(), text.end(), '\n', ' ');
    if (!silent_) {
        print(stdout, "Error:\n");
        print(stdout, text);
        print(stdout, "\n");
    }
    if (e.level() == 1) {
        tk_log(1, "Got 1-level error");
        end_process();
    }
    tk_log(1, "Got 0-level error");
}
