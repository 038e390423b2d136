// ora_engine: the system's one connection to an Oracle server.
//
// Loads the Oracle Call Interface (ora_oci.h: the client library named by
// KESTREL_OCI_LIB, else the platform's client, else the bundled libocilite
// beside the program), creates the OCI environment for UTF-16 text and the
// error, server, session and service-context handles, attaches to a server,
// begins a session and hands out the source database (ora_database) of that
// session.  It also carries the small services every Oracle class uses: the
// error check after each OCI call, the quoting of table names, row counts,
// the server version and the catalog fragments that choose between the
// user's own tables (USER_ views) and every visible table (ALL_ views).
//
// One instance at a time (tk_singleton); the Oracle settings of the converter
// hold it and every Oracle class reaches it through the instance.  The
// databases it hands out belong to the caller and must be destroyed before
// the engine.  The environment handle lives until the process ends.
//
// Threads: one at a time.  The single error handle is shared by every
// statement, so the engine and everything opened through it must be used
// from one thread at a time (the agent's main thread, or the wizard's worker
// while its pages wait).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "tk_singleton.h"

struct OCIEnv;
struct OCIError;
struct OCIServer;
struct OCISvcCtx;
struct OCISession;
class udb_database;

class ora_engine : public tk_singleton<ora_engine> {
  public:
    // Registers the instance (a second live instance is tk_mail_assertion),
    // logs "ora_engine::ctor" and initializes: loads the client library and
    // allocates the handles.  Raises tk_exception at level 1 when no client
    // library can be loaded or one lacks a function, and ora_exception when
    // OCI refuses a handle; the instance is then not registered.
    ora_engine();
    // Logs "ora_engine::dtor", ends the session and frees the handles (clean)
    // and unregisters the instance.
    ~ora_engine() override;

    // Attaches to the data source (a connect identifier or descriptor), begins
    // a session of the user and returns the new source database for it,
    // which the caller owns.  An earlier server attachment is detached
    // first.  Raises ora_exception (0x100000 | ORA number, the server's text)
    // when a step fails; no database is created then.
    std::unique_ptr<udb_database> open_db(const std::u16string& data_source,
                                          const std::u16string& user,
                                          const std::u16string& password);
    // The console agent's host form: the data source becomes the descriptor
    // "(DESCRIPTION=(CONNECT_DATA=(SERVICE_NAME=))(ADDRESS=(PROTOCOL=TCP)
    // (HOST=host)(PORT=port)))", an empty port being 1521.
    std::unique_ptr<udb_database> open_db(const std::u16string& host, const std::u16string& user,
                                          const std::u16string& password,
                                          const std::u16string& port);
    // The wizard's form: with host and port both empty the service is the
    // data source (a name the client resolves); otherwise the data source is
    // "//host:port/service", an empty host being localhost and an empty port
    // 1521.
    std::unique_ptr<udb_database> open_db(const std::u16string& host, const std::u16string& user,
                                          const std::u16string& password,
                                          const std::u16string& port,
                                          const std::u16string& service);

    // Checks the status an OCI call returned: OCI_ERROR raises ora_exception
    // with the error handle's first record (number and text); an invalid
    // handle raises tk_mail_assertion, since continuing would read values
    // that OCI never wrote; every other status (success, success with info,
    // no data, need data) returns.  Callers that care about OCI_NO_DATA test
    // it themselves.
    void check_err(int status) const;

    // The server version packed as major * 65536 + minor * 256 + patch,
    // from the first row of v$version; 0 when no piece of the banner reads as
    // three dot-separated numbers.  REQUIRES: an open session (otherwise
    // tk_mail_assertion).
    uint32_t get_version();

    // The number of rows of a table (is_query false) or of the result of a
    // query text (is_query true).  Works on the instance.  REQUIRES: an
    // engine (otherwise tk_mail_assertion); without a session OCI's error is
    // raised as ora_exception.
    static int32_t get_records_cnt(const std::u16string& name, bool is_query = false);
    // The name quoted for Oracle SQL: the whole name in double quotes, or,
    // while the catalog is read from the ALL_ views (names are then owner,
    // dot, table), owner and table each in double quotes joined by the
    // first dot.  Quotes inside the name are not doubled.  REQUIRES: an
    // engine.
    static std::u16string get_safe_name(const std::u16string& name);
    // "USER_TAB_COLUMNS" while owned_by_user, else "ALL_TAB_COLUMNS".
    static std::u16string get_tab_columns_view();
    // The condition that selects one table in those views:
    // "table_name = '<name>'" while owned_by_user, else
    // "concat(owner,concat('.',table_name)) = '<name>'"; single quotes in the
    // name are doubled, so that any name stays one literal.
    static std::u16string get_table_condition(const std::u16string& name);

    // Ends the session and frees the handles other than the environment,
    // without checking results.  Called by the destructor; the engine has no
    // session afterwards.
    void clean();

    // true: the catalog is read from the USER_ views (the connected user's
    // tables); false: from the ALL_ views (names owner.table).  true after
    // construction; the programs never change it.
    bool owned_by_user() const noexcept { return owned_by_user_; }
    void set_owned_by_user(bool on) noexcept { owned_by_user_ = on; }
    bool attached() const noexcept { return attached_; }

    OCIEnv* envhp() const noexcept { return envhp_; }
    OCIError* errhp() const noexcept { return errhp_; }
    OCISvcCtx* svchp() const noexcept { return svchp_; }

    // The data source, user and password of the open session (stored once
    // the session has begun).
    const std::u16string& data_source() const noexcept { return data_source_; }
    const std::u16string& user() const noexcept { return user_; }
    const std::u16string& password() const noexcept { return password_; }

  private:
    // Logs "ora_engine::initialize", loads the client library and allocates
    // the handles (steps #1 to #5).
    void initialize();
    // The instance with an open service context (otherwise tk_mail_assertion).
    static ora_engine& with_session();

    bool owned_by_user_ = true;
    bool attached_ = false;
    OCIServer* srvhp_ = nullptr;
    OCISvcCtx* svchp_ = nullptr;
    OCIEnv* envhp_ = nullptr;
    OCIError* errhp_ = nullptr;
    OCISession* usrhp_ = nullptr;
    std::u16string data_source_;
    std::u16string user_;
    std::u16string password_;
};
