// ora_stmt: one OCI statement handle, allocated on the engine's environment
// for as long as one query lives.
//
// Every query of the Oracle layer prepares and executes on its own ora_stmt.
// The engine (ora_engine) must outlive the statement.  Not copyable; one
// thread (the engine's).
#pragma once

struct OCIStmt;

class ora_stmt {
  public:
    // Logs "ora_stmt::ctor" and allocates the handle (OCI_HTYPE_STMT).
    // REQUIRES: an ora_engine exists (otherwise tk_mail_assertion).
    // Raises ora_exception when OCI refuses the handle.
    ora_stmt();
    // Logs "ora_stmt::dtor", frees the handle and logs "ora_stmt::dtor - END".
    ~ora_stmt();
    ora_stmt(const ora_stmt&) = delete;
    ora_stmt& operator=(const ora_stmt&) = delete;

    OCIStmt* get() const noexcept { return handle_; }

  private:
    OCIStmt* handle_ = nullptr;
};
