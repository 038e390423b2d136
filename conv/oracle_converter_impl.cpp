#include "oracle_converter_impl.h"

#include "tk_exception.h"
#include "tk_logger.h"
#include "udb_database.h"
#include "udb_profile.h"

oracle_converter_impl::oracle_converter_impl() {
    tk_log(2, "oracle_converter_impl::ctor");
}

oracle_converter_impl::~oracle_converter_impl() {
    tk_log(2, "oracle_converter_impl::dtor");
    open_database_.reset();
}

udb_database& oracle_converter_impl::connect_oracle_server() {
    tk_log(2, "oracle_converter_impl::connect_oracle_server");
    // The Oracle layer is not linked into this build yet.
    throw tk_exception(
        "The Oracle connection is not available in this build of KSLAGENT: "
        "no table was converted.",
        1);
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
