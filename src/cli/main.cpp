// kvstation-cli [--dir FOLDER] COMMAND [ARGS]: the station without its window.
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "cli/command_identify.h"
#include "cli/commands.h"
#include "cli/exit_status.h"
#include "platform/paths.h"
#include "platform/platform.h"
#include "platform/sim/sim_platform.h"

namespace {

void PrintUsage() {
    std::fprintf(stderr,
                 "usage: kvstation-cli [--dir FOLDER] [--fixture FILE] COMMAND [ARGS]\n"
                 "  --fixture FILE            drive the virtual fixture of FILE (default:\n"
                 "                            Fixture.ini of the station folder when it exists)\n"
                 "commands:\n"
                 "  init FOLDER [--drives N]  write a sample station folder with N drives\n"
                 "  settings                  load the settings, print them, save them\n"
                 "  scan                      find the drives and print the port table\n"
                 "  remove                    safely remove every present drive\n"
                 "  identify PORT             print the IDENTIFY data of the drive on PORT\n"
                 "  run                       press START once and print each port's result\n");
}

// The backend of the commands that reach drives: the virtual fixture when one
// is named or the station folder holds "Fixture.ini", otherwise the host.
// False with a message when the fixture cannot be loaded.
bool SelectBackend(const std::string& fixtureFile,
                   std::unique_ptr<kv::platform::SimPlatform>& sim) {
    std::string file = fixtureFile;
    std::error_code ec;
    if (file.empty() && std::filesystem::is_regular_file("Fixture.ini", ec)) {
        file = "Fixture.ini";
    }
    if (file.empty()) {
        return true;
    }
    std::string error;
    sim = kv::platform::SimPlatform::Load(file, error);
    if (sim == nullptr) {
        std::fprintf(stderr, "cannot load the fixture %s: %s\n", file.c_str(), error.c_str());
        return false;
    }
    kv::platform::SetCurrent(sim.get());
    return true;
}

// The backend stays installed for the whole command and is taken down last.
struct BackendScope {
    std::unique_ptr<kv::platform::SimPlatform> sim;
    ~BackendScope() {
        if (sim != nullptr) {
            kv::platform::SetCurrent(nullptr);
        }
    }
};

}  // namespace

int main(int argc, char** argv) {
    using namespace kv::cli;
    CommandLine line;
    for (int i = 0; i < argc; ++i) {
        if (i > 0)
            line.whole += ' ';
        line.whole += argv[i];
    }
    int i = 1;
    while (i < argc && line.command.empty()) {
        const std::string arg = argv[i++];
        if (arg == "--dir" && i < argc) {
            line.stationFolder = argv[i++];
        } else if (arg == "--fixture" && i < argc) {
            line.fixtureFile = argv[i++];
        } else if (arg == "--help" || arg == "-h") {
            PrintUsage();
            return kExitDone;
        } else if (arg.rfind("--", 0) == 0) {
            std::fprintf(stderr, "unknown option '%s'\n", arg.c_str());
            PrintUsage();
            return kExitRefusedAction;
        } else {
            line.command = arg;
        }
    }
    for (; i < argc; ++i)
        line.args.emplace_back(argv[i]);
    if (line.command.empty()) {
        PrintUsage();
        return kExitRefusedAction;
    }
    if (line.command == "init")
        return RunInit(line);

    // Every other command runs in the station folder: relative names of the
    // station (the debug log, dumps) land there.
    // A fixture named relative to the caller's folder stays that file.
    if (!line.fixtureFile.empty()) {
        std::error_code abs;
        const std::filesystem::path absolute = std::filesystem::absolute(line.fixtureFile, abs);
        if (!abs)
            line.fixtureFile = absolute.string();
    }
    std::string folder = line.stationFolder.empty() ? kv::platform::Current().ExecutableFolder()
                                                    : line.stationFolder;
    std::error_code ec;
    std::filesystem::current_path(folder, ec);
    if (ec) {
        std::fprintf(stderr, "cannot enter the station folder %s: %s\n", folder.c_str(),
                     ec.message().c_str());
        return kExitRefusedStart;
    }
    kv::platform::SetStationFolder(std::filesystem::current_path(ec).string());

    if (line.command == "settings")
        return RunSettings(line);

    BackendScope backend;
    if (!SelectBackend(line.fixtureFile, backend.sim))
        return kExitRefusedStart;
    if (line.command == "scan")
        return RunScan(line);
    if (line.command == "remove")
        return RunRemove(line);
    if (line.command == "identify")
        return RunIdentifyCommand(line);
    if (line.command == "run")
        return RunProduction(line);
    std::fprintf(stderr, "unknown command '%s'\n", line.command.c_str());
    PrintUsage();
    return kExitRefusedAction;
}
