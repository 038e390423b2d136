// tk_singleton<T>: gives class T one live instance at a time.
//
// T derives from tk_singleton<T>.  Constructing a second T while one lives, or
// asking for the instance when there is none, is an internal error.  The
// instance pointer is not owned: whoever created the object destroys it.
// Not thread-safe; instances are created and destroyed on the main thread.
#pragma once

#include "tk_exception.h"

template <class T>
class tk_singleton {
  public:
    tk_singleton(const tk_singleton&) = delete;
    tk_singleton& operator=(const tk_singleton&) = delete;

    // REQUIRES: an instance exists (otherwise tk_mail_assertion).
    static T& instance() {
        if (instance_ == nullptr) throw TK_MAIL_ASSERTION();
        return *static_cast<T*>(instance_);
    }
    // The instance, or nullptr when there is none.
    static T* instance_or_null() noexcept { return static_cast<T*>(instance_); }
    static bool has_instance() noexcept { return instance_ != nullptr; }

  protected:
    tk_singleton() {
        if (instance_ != nullptr) throw TK_MAIL_ASSERTION();
        instance_ = this;
    }
    virtual ~tk_singleton() {
        // A destructor must not throw; a missing instance here can only come
        // from a broken construction, which has already thrown.
        if (instance_ == this) instance_ = nullptr;
    }

  private:
    // Kept as the base: while the base is being built or destroyed the object
    // is not (or no longer) a T, and a cast to T* then is undefined.
    static inline tk_singleton* instance_ = nullptr;
};
