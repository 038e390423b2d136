// ocilite_script: an Oracle SQL script as ocilite-load runs it.
//
// Input: the script's text.
//
// Each input runs into a fresh in-memory database, its catalog created by the
// loader as for a new file.  What must hold: the script runs to its end (the
// loader is not strict, so run_script gives true), its problems are reported
// on the diagnostics stream and counted, and nothing leaves the loader: a
// statement the loader cannot run is the script's error, not the loader's.
#include <ostream>
#include <streambuf>
#include <string>

#include "fuzz_support.h"
#include "fuzz_targets.h"
#include "ol_loader.h"

namespace kestrel_fuzz {

namespace {

// Discards what the loader reports.
class null_buffer : public std::streambuf {
  protected:
    int_type overflow(int_type c) override { return traits_type::not_eof(c); }
    std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

}  // namespace

int ocilite_script(const uint8_t* data, size_t size) {
    const std::string_view input = as_text(data, size);
    null_buffer discard;
    std::ostream diagnostics(&discard);
    ocilite::load::loader_options options;
    options.users.push_back({"SCOTT", "tiger", false});
    try {
        ocilite::load::loader load(":memory:", options, diagnostics);
        fuzz_check(load.run_script(input, "fuzz.sql"), "a script stopped without --strict", input);
        fuzz_check(load.error_count() >= 0 && load.unsupported_count() >= 0,
                   "negative error counts", input);
    } catch (const std::exception& e) {
        fuzz_fail(std::string("the loader raised ") + e.what(), input);
    }
    return 0;
}

}  // namespace kestrel_fuzz
