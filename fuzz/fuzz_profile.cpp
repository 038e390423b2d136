// profile: a profile file, as the agent's "--profile=" and the wizard read it.
//
// Input: the file's bytes.
//
// The file is read with udb_profile::load; a profile that reads is saved,
// read again and applied to a converter.  What must hold:
//   - load fails only with its level-1 tk_exception (a line too long) or false;
//   - save refuses only with a level-1 tk_exception (an entry longer than
//     load takes), and what it writes reads back as the same sections and
//     entries;
//   - applying the settings raises nothing but level-1 tk_exception (a log
//     file that cannot be used).
// The log file a profile names is moved into the sandbox first (its name kept
// apart from the characters that would leave it): the settings are applied
// without a logger, so nothing is written there, but the checks of the name
// open the file.
#include <memory>
#include <string>

#include "fuzz_support.h"
#include "fuzz_targets.h"
#include "kestrel_convertor.h"
#include "tk_codepage.h"
#include "tk_exception.h"
#include "udb_profile.h"

namespace kestrel_fuzz {

namespace {

const char16_t kGeneric[] = u"Generic settings";

// A file name of the sandbox made from a name of the profile: letters, digits,
// '.', '-' and '_' stay, the rest becomes '_'.
std::u16string sandboxed(const std::u16string& name) {
    std::u16string safe;
    for (const char16_t c : name.substr(0, 64)) {
        const bool plain = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') ||
                           (c >= u'0' && c <= u'9') || c == u'.' || c == u'-' || c == u'_';
        safe.push_back(plain ? c : u'_');
    }
    if (safe == u"." || safe == u"..") safe.assign(1, u'_');
    std::u16string folder;
    for (const char c : sandbox()) folder.push_back(char16_t(static_cast<unsigned char>(c)));
    return folder + u"/" + safe;
}

std::u16string wide(const std::string& narrow) {
    std::u16string out;
    for (const char c : narrow) out.push_back(char16_t(static_cast<unsigned char>(c)));
    return out;
}

}  // namespace

int profile(const uint8_t* data, size_t size) {
    static const bool once = [] {
        tk_set_ansi_code_page(1252);
        return true;
    }();
    (void)once;
    const std::string_view input = as_text(data, size);
    clear_sandbox();
    write_sandbox_file("p.ini", input);

    udb_profile loaded;
    try {
        if (!loaded.load(wide(sandbox_file("p.ini")))) return 0;
    } catch (const tk_mail_assertion& e) {
        fuzz_fail(std::string("load broke an internal assumption: ") + e.what(), input);
    } catch (const tk_exception& e) {
        fuzz_check(e.level() == 1, "load raised an exception of another level than 1", input);
        return 0;
    } catch (const std::exception& e) {
        fuzz_fail(std::string("load raised ") + e.what(), input);
    }

    try {
        bool saved = false;
        try {
            saved = loaded.save(wide(sandbox_file("saved.ini")));
        } catch (const tk_mail_assertion&) {
            throw;
        } catch (const tk_exception& e) {
            // An entry that would not read back (longer than load takes).
            fuzz_check(e.level() == 1, "save raised an exception of another level than 1", input);
        }
        if (saved) {
            udb_profile again;
            fuzz_check(again.load(wide(sandbox_file("saved.ini"))),
                       "a saved profile does not load again", input);
            fuzz_check(again.sections() == loaded.sections(),
                       "a saved profile reads back with other sections or entries", input);
        }
    } catch (const tk_mail_assertion& e) {
        fuzz_fail(std::string("saving broke an internal assumption: ") + e.what(), input);
    } catch (const std::exception& e) {
        fuzz_fail(std::string("saving and reading back raised ") + e.what(), input);
    }

    if (const std::u16string log = loaded.lookup(kGeneric, u"logfile"); !log.empty())
        loaded.set(kGeneric, u"logfile", sandboxed(log));
    try {
        kestrel_convertor converter;
        converter.udb_converter::load_profile(loaded);
        converter.oracle_converter_impl::load_profile(loaded);
    } catch (const tk_mail_assertion& e) {
        fuzz_fail(std::string("applying a profile broke an internal assumption: ") + e.what(),
                  input);
    } catch (const tk_exception& e) {
        fuzz_check(e.level() == 1, "applying a profile raised another level than 1", input);
    } catch (const std::exception& e) {
        fuzz_fail(std::string("applying a profile raised ") + e.what(), input);
    }
    return 0;
}

}  // namespace kestrel_fuzz
