// The commands of the command-line station.
#pragma once

#include <string>
#include <vector>

namespace kv::cli {

struct CommandLine {
    std::string stationFolder;  // --dir, empty for the executable's folder
    std::string fixtureFile;    // --fixture, empty for "Fixture.ini" of the station folder
    std::string command;
    std::vector<std::string> args;  // what follows the command
    std::string whole;              // the whole command line, for the automation switches
};

int RunInit(const CommandLine& line);
int RunSettings(const CommandLine& line);
int RunScan(const CommandLine& line);
int RunRemove(const CommandLine& line);
// run: one press of START on the drives found; one result line per present port.
int RunProduction(const CommandLine& line);

}  // namespace kv::cli
