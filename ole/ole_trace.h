// Trace lines of the values layer whose arguments include texts held as
// string views: the copy that gives the formatter a terminated string is made
// only when the line will be written, so that parsing a field value costs no
// allocation while tracing is off.  Internal to ole/.
#pragma once

#include <string>
#include <string_view>
#include <type_traits>

#include "tk_logger.h"

namespace ole_trace_detail {
template <class T>
decltype(auto) arg(const T& v) {
    if constexpr (std::is_same_v<T, std::string_view>) {
        return std::string(v);
    } else if constexpr (std::is_same_v<T, std::u16string_view>) {
        return std::u16string(v);
    } else {
        return (v);
    }
}
}  // namespace ole_trace_detail

template <class... A>
void ole_trace(int level, const char* format, const A&... args) {
    if (tk_log_detail::wants(level)) tk_log(level, format, ole_trace_detail::arg(args)...);
}

template <class... A>
void ole_wtrace(int level, const char16_t* format, const A&... args) {
    if (tk_log_detail::wants(level)) tk_wlog(level, format, ole_trace_detail::arg(args)...);
}
