#include "tk_cmd_line.h"

#include <cstring>

#include "tk_exception.h"

ansi_cmd_line::ansi_cmd_line(int argc, const char* const* argv, const tk_cmd_option* options)
    : options_(options), argv_(argv), remaining_(argc > 1 ? argc - 1 : 0) {
    if (options_ == nullptr) throw TK_MAIL_ASSERTION();
    if (remaining_ > 0 && argv_ == nullptr) throw TK_MAIL_ASSERTION();
    if (remaining_ > 0) match(argv_[position_]);
}

void ansi_cmd_line::advance() {
    if (!has_current()) throw TK_MAIL_ASSERTION();
    ++position_;
    --remaining_;
    if (remaining_ > 0) match(argv_[position_]);
}

void ansi_cmd_line::match(const char* argument) {
    // A null element (argv[argc] is the only one a caller may pass by mistake)
    // counts as an empty argument.
    const std::string_view arg = argument != nullptr ? argument : "";
    for (const tk_cmd_option* option = options_;; ++option) {
        if (option->name == nullptr) throw TK_MAIL_ASSERTION();
        const size_t length = std::strlen(option->name);
        if (arg.substr(0, length) != option->name) continue;
        if (length == 0) break;  // the end entry: nothing matched
        code_ = option->code;
        value_.assign(arg.substr(length));
        return;
    }
    code_ = kUnrecognised;
    value_.clear();
    if (unrecognised_count_ == kMaxUnrecognised) throw TK_MAIL_ASSERTION();
    unrecognised_[unrecognised_count_++].assign(arg);
}
