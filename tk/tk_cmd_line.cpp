#include "tk_cmd_line.h"

#include <cstring>

#include "tk_codepage.h"
#include "tk_exception.h"

namespace {

#ifdef _WIN32
constexpr int kSystemCodePage = tk_cp_acp;
#else
constexpr int kSystemCodePage = tk_cp_utf8;
#endif

}  // namespace

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

bool tk_system_to_ucs2(std::string_view text, std::u16string& out) {
    auto wide = tk_decode(text, kSystemCodePage);
    if (!wide) return false;
    // The conversion substitutes malformed input; a text that does not come
    // back unchanged was not valid, and a substituted path would name another
    // file.
    auto back = tk_encode(*wide, kSystemCodePage);
    if (!back || *back != text) return false;
    out = std::move(*wide);
    return true;
}

bool tk_ucs2_to_system(std::u16string_view text, std::string& out) {
    auto narrow = tk_encode(text, kSystemCodePage);
    if (!narrow) return false;
    auto back = tk_decode(*narrow, kSystemCodePage);
    if (!back || *back != text) return false;
    out = std::move(*narrow);
    return true;
}

std::string tk_ansi_to_system(std::string_view text) {
    if (kSystemCodePage == tk_cp_acp) return std::string(text);
    auto wide = tk_decode(text, tk_cp_acp);
    if (!wide) return std::string(text);
    auto narrow = tk_encode(*wide, kSystemCodePage);
    return narrow ? std::move(*narrow) : std::string(text);
}
