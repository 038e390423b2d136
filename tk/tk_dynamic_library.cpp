#include "tk_dynamic_library.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <utility>

#include "tk_exception.h"
#include "tk_system.h"

tk_dynamic_library::~tk_dynamic_library() {
    close();
}

tk_dynamic_library::tk_dynamic_library(tk_dynamic_library&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)),
      path_(std::move(other.path_)),
      error_(std::move(other.error_)) {}

tk_dynamic_library& tk_dynamic_library::operator=(tk_dynamic_library&& other) noexcept {
    if (this != &other) {
        close();
        handle_ = std::exchange(other.handle_, nullptr);
        path_ = std::move(other.path_);
        error_ = std::move(other.error_);
    }
    return *this;
}

bool tk_dynamic_library::open(const std::string& path) {
    close();
    path_ = path;
    error_.clear();
#if defined(_WIN32)
    handle_ = reinterpret_cast<void*>(LoadLibraryA(path.c_str()));
    if (handle_ == nullptr) {
        const int code = static_cast<int>(GetLastError());
        error_ = tk_system_error_text(code);
        if (error_.empty()) error_ = "error " + std::to_string(code);
    }
#else
    // RTLD_NOW: a library that lacks what it needs fails here, not at a call.
    // RTLD_LOCAL: two libraries exporting the same names stay apart.
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
        const char* reason = dlerror();
        error_ = reason != nullptr ? reason : "unknown error";
    }
#endif
    return handle_ != nullptr;
}

void* tk_dynamic_library::symbol(const char* name) const {
    TK_ASSERT(handle_ != nullptr && name != nullptr);
#if defined(_WIN32)
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
#else
    return dlsym(handle_, name);
#endif
}

void tk_dynamic_library::keep() noexcept {
    handle_ = nullptr;
}

void tk_dynamic_library::close() noexcept {
    if (handle_ == nullptr) return;
#if defined(_WIN32)
    FreeLibrary(static_cast<HMODULE>(handle_));
#else
    dlclose(handle_);
#endif
    handle_ = nullptr;
}
