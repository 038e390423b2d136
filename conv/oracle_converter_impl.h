// oracle_converter_impl: the Oracle connection settings of the converter.
//
// With "use TNS" set (always, in the agent) the database name is an Oracle
// connect identifier; otherwise host and port name the server.  Opening the
// connection belongs to the Oracle layer and is not part of this class yet.
#pragma once

#include <string>

class udb_profile;

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

    bool use_tns() const { return use_tns_; }
    void set_use_tns(bool on) { use_tns_ = on; }
    const std::u16string& database() const { return database_; }
    const std::u16string& user() const { return user_; }
    const std::u16string& password() const { return password_; }
    const std::u16string& host() const { return host_; }
    const std::u16string& port() const { return port_; }

  private:
    bool use_tns_ = true;
    std::u16string database_;
    std::u16string user_;
    std::u16string password_;
    std::u16string host_;
    std::u16string port_;
};
