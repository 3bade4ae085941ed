// The commands of the command-line station.
#pragma once

#include <string>
#include <vector>

namespace kv::cli {

struct CommandLine {
    std::string stationFolder;  // --dir, empty for the executable's folder
    std::string command;
    std::vector<std::string> args;  // what follows the command
    std::string whole;              // the whole command line, for the automation switches
};

int RunInit(const CommandLine& line);
int RunSettings(const CommandLine& line);

}  // namespace kv::cli
