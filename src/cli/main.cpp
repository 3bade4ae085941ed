// kvstation-cli [--dir FOLDER] COMMAND [ARGS]: the station without its window.
#include <cstdio>
#include <filesystem>
#include <string>

#include "cli/commands.h"
#include "cli/exit_status.h"
#include "platform/paths.h"
#include "platform/platform.h"

namespace {

void PrintUsage() {
    std::fprintf(stderr,
                 "usage: kvstation-cli [--dir FOLDER] COMMAND [ARGS]\n"
                 "commands:\n"
                 "  init FOLDER [--drives N]  write a sample station folder with N drives\n"
                 "  settings                  load the settings, print them, save them\n");
}

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
    std::fprintf(stderr, "unknown command '%s'\n", line.command.c_str());
    PrintUsage();
    return kExitRefusedAction;
}
