#include "oracle_converter_impl.h"

#include "ora_engine.h"
#include "tk_exception.h"
#include "tk_logger.h"
#include "udb_database.h"
#include "udb_profile.h"

oracle_converter_impl::oracle_converter_impl() {
    tk_log(2, "oracle_converter_impl::ctor");
}

oracle_converter_impl::~oracle_converter_impl() {
    tk_log(2, "oracle_converter_impl::dtor");
    // The database belongs to the engine's session: it goes first.
    open_database_.reset();
    engine_.reset();
}

udb_database& oracle_converter_impl::connect_oracle_server() {
    tk_log(2, "oracle_converter_impl::connect_oracle_server");
    if (open_database_ != nullptr) {
        tk_log(2, "Delete previous initialization of ora_base...");
        open_database_.reset();
        tk_log(2, "done");
    }
    // The engine loads the client library: built at the first connection,
    // inside the caller's error handling, rather than with the converter.
    if (engine_ == nullptr) engine_ = std::make_unique<ora_engine>();
    if (use_tns_) {
        open_database_ = engine_->open_db(database_, user_, password_);
    } else {
        if (port_.empty()) port_ = u"1521";
        open_database_ = engine_->open_db(host_, user_, password_, port_);
    }
    return *open_database_;
}

void oracle_converter_impl::set_open_database(std::unique_ptr<udb_database> database) {
    open_database_.reset();
    open_database_ = std::move(database);
}

void oracle_converter_impl::store_oracle_settings(const std::u16string& database,
                                                  const std::u16string& user,
                                                  const std::u16string& password) {
    // The password is not written to the trace: a log file outlives the run.
    tk_wlog(2, u"oracle_converter_impl::store_oracle_settings(%s,%s,%s)", database, user,
            password.empty() ? u"" : u"***");
    database_ = database;
    user_ = user;
    password_ = password;
}

bool oracle_converter_impl::load_profile(const udb_profile& profile) {
    tk_log(2, "oracle_converter_impl::load_profile");
    const std::u16string section = u"Oracle settings";
    if (auto v = profile.lookup(section, u"host"); !v.empty()) host_ = v;
    if (auto v = profile.lookup(section, u"password"); !v.empty()) password_ = v;
    if (auto v = profile.lookup(section, u"port"); !v.empty()) port_ = v;
    if (auto v = profile.lookup(section, u"user"); !v.empty()) user_ = v;
    return true;
}
