#include "tk_exception.h"

#include <cstdio>

#include "tk_logger.h"
#include "tk_string.h"
#include "tk_system.h"

namespace {
const char kUnknown[] = "Unknown exception";

std::string non_empty(std::string message) {
    return message.empty() ? std::string(kUnknown) : std::move(message);
}

std::string narrow_of(std::u16string_view message) {
    std::string narrow;
    if (!tk_ucs2_to_ansi(message, narrow)) return kUnknown;
    return narrow;
}

std::string base_name(const char* path) {
    if (path == nullptr) return {};
    std::string_view p(path);
    const size_t cut = p.find_last_of("/\\");
    return std::string(cut == std::string_view::npos ? p : p.substr(cut + 1));
}
}  // namespace

tk_exception::tk_exception(std::string message, int level)
    : message_(non_empty(std::move(message))), level_(level) {}

tk_exception::tk_exception(std::u16string_view message, int level)
    : message_(non_empty(narrow_of(message))), level_(level) {}

tk_exception::tk_exception(std::string message, uint32_t code, int level)
    : message_(non_empty(std::move(message))), code_(code), level_(level) {}

tk_exception_ex::tk_exception_ex() : tk_exception(std::string(), 1) {
    take_system_error(std::string(), tk_last_system_error());
}

tk_exception_ex::tk_exception_ex(const std::string& prefix, int level)
    : tk_exception(std::string(), level) {
    take_system_error(prefix, tk_last_system_error());
}

tk_exception_ex::tk_exception_ex(const std::string& prefix, int error_number, int level)
    : tk_exception(std::string(), level) {
    take_system_error(prefix, error_number);
}

void tk_exception_ex::take_system_error(const std::string& prefix, int error_number) {
    set_code(static_cast<uint32_t>(error_number));
    const std::string text = tk_system_error_text(error_number);
    if (!text.empty()) {
        set_message(prefix + text);
        tk_log(2, "GetLastError: %s", text);
    }
}

std::string tk_mail_assertion::encode_location(const char* source_file, int line) {
    const std::string location = base_name(source_file) + "\\" + std::to_string(line);
    std::string code;
    code.reserve(location.size() * 2);
    static const char digits[] = "0123456789abcdef";
    for (unsigned char c : location) {
        code += digits[c >> 4];
        code += digits[c & 0x0F];
    }
    return code;
}

tk_mail_assertion::tk_mail_assertion(const char* source_file, int line)
    : tk_exception("Internal error: \ncode=" + encode_location(source_file, line), 0, 2) {
    tk_log(2, "tk_mail_assertion::ctor(%s)", source_file != nullptr ? source_file : "");
}
