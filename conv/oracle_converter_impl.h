// oracle_converter_impl: the Oracle connection settings of the converter and
// the source database its last connection opened.
//
// With "use TNS" set (always, in the agent) the database name is an Oracle
// connect identifier; otherwise host and port name the server.  The object
// owns the open database; it is destroyed before the Oracle engine.  One
// thread.
#pragma once

#include <memory>
#include <string>

class udb_profile;
class udb_database;
class ora_engine;

class oracle_converter_impl {
  public:
    oracle_converter_impl();
    virtual ~oracle_converter_impl();

    // Logs "oracle_converter_impl::store_oracle_settings(%s,%s,%s)" and stores
    // the three values.
    void store_oracle_settings(const std::u16string& database, const std::u16string& user,
                               const std::u16string& password);

    // Reads "host", "password", "port" and "user" of "Oracle settings"; each
    // non-empty value replaces the stored one.  Always true.
    bool load_profile(const udb_profile& profile);

    // Opens the source database with the stored settings: the connect
    // identifier (use TNS), or host and port (an empty port becomes 1521).
    // The earlier open database is destroyed first; the Oracle engine is
    // built at the first call.  Raises what the engine raises: tk_exception
    // at level 1 without an Oracle client library, ora_exception (level 0)
    // when the connection fails.
    udb_database& connect_oracle_server();

    // The source database of the last connection, or nullptr before one.
    udb_database* open_database() const { return open_database_.get(); }
    // Replaces the open database (the earlier one is destroyed first).
    void set_open_database(std::unique_ptr<udb_database> database);

    bool use_tns() const { return use_tns_; }
    void set_use_tns(bool on) { use_tns_ = on; }
    const std::u16string& database() const { return database_; }
    const std::u16string& user() const { return user_; }
    const std::u16string& password() const { return password_; }
    const std::u16string& host() const { return host_; }
    const std::u16string& port() const { return port_; }

  private:
    bool use_tns_ = true;
    std::unique_ptr<ora_engine> engine_;
    std::unique_ptr<udb_database> open_database_;
    std::u16string database_;
    std::u16string user_;
    std::u16string password_;
    std::u16string host_;
    std::u16string port_;
};
