// ocilite-load DB SCRIPT.sql ...: creates or opens an ocilite database and
// runs Oracle SQL scripts into it.
//
// Exit status: 0 when every statement ran (unsupported statements skipped
// with a message do not count), 1 when a statement failed or --strict
// stopped a script, 2 for a usage error or a database/script that cannot be
// opened.
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "ol_loader.h"

namespace {

void usage(std::ostream& out) {
    out << "usage: ocilite-load [--strict] [--banner TEXT] [--user NAME/PASSWORD[/LOCKED]]... "
           "[--owner NAME]\n"
           "                    DB [SCRIPT.sql ...]\n"
           "Creates the ocilite database DB if missing and runs the Oracle SQL scripts into it.\n"
           "  --strict        stop at the first failing or unsupported statement (exit status 1)\n"
           "  --banner TEXT   first row of v$version (default: \""
        << ocilite::load::kDefaultBanner
        << "\")\n"
           "  --user N/P      add or replace a user (the engine then checks passwords);\n"
           "                  N/P/LOCKED adds a locked account; may be repeated\n"
           "  --owner NAME    schema owning the new tables (default: the first --user)\n";
}

}  // namespace

int main(int argc, char** argv) {
    ocilite::load::loader_options opts;
    std::vector<std::string> positional;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&](const char* opt) -> const char* {
            if (i + 1 >= argc) {
                std::cerr << "ocilite-load: " << opt << " needs a value\n";
                return nullptr;
            }
            return argv[++i];
        };
        if (a == "--strict") {
            opts.strict = true;
        } else if (a == "--banner") {
            const char* v = value("--banner");
            if (!v) return 2;
            opts.banner = v;
        } else if (a == "--owner") {
            const char* v = value("--owner");
            if (!v) return 2;
            opts.owner = v;
        } else if (a == "--user") {
            const char* v = value("--user");
            if (!v) return 2;
            ocilite::load::user_spec u;
            if (!ocilite::load::parse_user_spec(v, u)) {
                std::cerr
                    << "ocilite-load: --user wants NAME/PASSWORD or NAME/PASSWORD/LOCKED, not \""
                    << v << "\"\n";
                return 2;
            }
            opts.users.push_back(u);
        } else if (a == "--help" || a == "-h") {
            usage(std::cout);
            return 0;
        } else if (a.size() > 1 && a[0] == '-' && a != "-") {
            std::cerr << "ocilite-load: unknown option " << a << "\n";
            usage(std::cerr);
            return 2;
        } else {
            positional.push_back(a);
        }
    }
    if (positional.empty()) {
        usage(std::cerr);
        return 2;
    }
    // Read every script first so that a missing file changes nothing.
    std::vector<std::pair<std::string, std::string>> scripts;
    for (std::size_t i = 1; i < positional.size(); ++i) {
        std::ifstream in(positional[i], std::ios::binary);
        if (!in) {
            std::cerr << "ocilite-load: cannot read " << positional[i] << "\n";
            return 2;
        }
        std::ostringstream text;
        text << in.rdbuf();
        scripts.emplace_back(positional[i], text.str());
    }
    try {
        ocilite::load::loader load(positional[0], opts, std::cerr);
        for (const auto& [name, text] : scripts)
            if (!load.run_script(text, name)) {
                std::cerr << "ocilite-load: " << name
                          << " stopped (--strict); its changes were rolled back\n";
                return 1;
            }
        if (load.error_count() > 0) {
            std::cerr << "ocilite-load: " << load.error_count()
                      << " statement(s) or row(s) failed\n";
            return 1;
        }
    } catch (const std::exception& e) {
        std::cerr << "ocilite-load: " << e.what() << "\n";
        return 2;
    }
    return 0;
}
