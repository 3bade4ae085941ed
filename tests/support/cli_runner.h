// Runs the command-line station as a separate process and collects what it
// printed, for end-to-end tests of its commands.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

namespace kv::test {

struct CliResult {
    int status = -1;
    std::string out;
    std::string err;
};

// `args` is appended to the program path as it stands (quote what needs it).
// `lockFolder` keeps the run's single-instance lock apart from other tests.
inline CliResult RunCli(const std::string& args, const std::string& lockFolder,
                        const std::string& scratchFolder) {
    const std::string errFile = scratchFolder + "/cli_stderr.txt";
    const std::string command = "KV_LOCK_DIR='" + lockFolder + "' '" KV_CLI_PATH "' " + args +
                                " 2>'" + errFile + "' </dev/null";
    CliResult result;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return result;
    char buffer[4096];
    std::size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        result.out.append(buffer, n);
    const int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream err(errFile, std::ios::binary);
    result.err.assign(std::istreambuf_iterator<char>(err), std::istreambuf_iterator<char>());
    return result;
}

}  // namespace kv::test
