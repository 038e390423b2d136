// Helpers shared by the agent's tests: the shared test support, and running the built kslagent
// with its output caught.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "test_support.h"

extern char** environ;

namespace agent_test {

using kestrel_test::read_file;
using kestrel_test::temp_folder;
using kestrel_test::write_file;

struct run_result {
    int status = -1;  // exit code, or -1 when the program did not exit normally
    std::string out;
    std::string err;
};

// Runs program with args (argv[0] is the program), standard output and error
// caught in files of folder; env adds or replaces "NAME=value" entries.
inline run_result run(const std::string& program, const std::vector<std::string>& args,
                      const temp_folder& folder, const std::vector<std::string>& env = {}) {
    const std::string out_path = folder.file(".stdout");
    const std::string err_path = folder.file(".stderr");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_addopen(&actions, 2, err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    std::vector<std::string> all_args{program};
    all_args.insert(all_args.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all_args) argv.push_back(a.data());
    argv.push_back(nullptr);

    std::vector<std::string> env_strings;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry(*e);
        const std::string name = entry.substr(0, entry.find('='));
        bool replaced = false;
        for (const auto& add : env) replaced |= add.substr(0, add.find('=')) == name;
        if (!replaced) env_strings.push_back(entry);
    }
    env_strings.insert(env_strings.end(), env.begin(), env.end());
    std::vector<char*> envp;
    for (auto& e : env_strings) envp.push_back(e.data());
    envp.push_back(nullptr);

    run_result result;
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return result;
    int wstatus = 0;
    ::waitpid(pid, &wstatus, 0);
    if (WIFEXITED(wstatus)) result.status = WEXITSTATUS(wstatus);
    result.out = read_file(out_path);
    result.err = read_file(err_path);
    return result;
}

// The usage text as the agent must print it, version 3.3.
inline const std::string kUsage =
    "KSLAGENT v3.3\n"
    "Usage: KSLAGENT.EXE OPTIONS\n"
    "\n"
    "   --blob2memo    convert Oracle BLOB into DBF MEMO\n"
    "   --dest=...     path to DBF database folder\n"
    "   --help         display this help message and exit\n"
    "   --logfile=...  path to the file where execution trace will be written\n"
    "   --mode=...     how to process an existing DBF folder\n"
    "                  (0 - overwrite the entire folder, 1 - overwrite\n"
    "                  existing files only, 2 - skip existing files)\n"
    "   --oraclu=...   Oracle user name\n"
    "   --oraclp=...   Oracle user password\n"
    "   --profile=...  path to the file to load conversion settings from\n"
    "   --silent       disable program output\n"
    "   --src=...      Oracle database name\n"
    "   --tab_def      convert table definitions only\n"
    "   --tab_file=... file containing the list of tables to convert\n"
    "                  (one table name per line)\n"
    "\n"
    "NOTES:\n"
    "   1) If you omit 'tab_file' parameter, all database tables will be converted\n"
    "   2) If you omit 'mode' parameter, default mode 'overwrite the entire\n"
    "      database' will be used.\n"
    "   3) Command line parameters that contain spaces should be enclosed in\n"
    "      quotes (for example --dest=\"c:\\my database\")\n";

}  // namespace agent_test
