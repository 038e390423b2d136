#include "kestrel_convertor.h"

#include "tk_exception.h"
#include "tk_logger.h"
#include "udb_profile.h"

kestrel_convertor::kestrel_convertor() {
    tk_log(1, "kestrel_convertor::ctor");
    blob_to_memo_ = false;
}

kestrel_convertor::~kestrel_convertor() = default;

void kestrel_convertor::operator()() {
    convert(conv_run_policy::agent());
}

void kestrel_convertor::convert(const conv_run_policy& policy) {
    tk_log(2, "kestrel_convertor::operator()");
    udb_database* source = open_database();
    TK_ASSERT(source != nullptr);
    run(*source, policy);
}

bool kestrel_convertor::load_profile(const std::u16string& path) {
    const std::u16string profile_path = path;
    udb_profile profile;
    if (!profile.load(profile_path)) return false;
    if (!udb_converter::load_profile(profile) || !oracle_converter_impl::load_profile(profile)) {
        return false;
    }
    if (auto v = profile.lookup(u"Generic settings", u"BLOB to text"); !v.empty()) {
        blob_to_memo_ = v == u"1";
    }
    return true;
}
