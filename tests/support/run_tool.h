// Runs a command-line tool for a test and captures what it printed (standard
// output and standard error together) and its exit code.
#pragma once

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <string>

namespace kv::test {

struct ToolResult {
    int exitCode = -1;  // -1 when the tool could not be started or did not exit normally
    std::string output;
};

// Runs `command` through the shell; quote arguments with ShellQuote.
inline ToolResult RunTool(const std::string& command) {
    ToolResult result;
    std::FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) {
        return result;
    }
    std::array<char, 4096> chunk;
    std::size_t got = 0;
    while ((got = std::fread(chunk.data(), 1, chunk.size(), pipe)) > 0) {
        result.output.append(chunk.data(), got);
    }
    const int status = pclose(pipe);
    if (status != -1 && WIFEXITED(status)) {
        result.exitCode = WEXITSTATUS(status);
    }
    return result;
}

// `text` in single quotes for the shell.
inline std::string ShellQuote(const std::string& text) {
    std::string quoted = "'";
    for (const char c : text) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    return quoted + "'";
}

}  // namespace kv::test
