#include <cstdio>
#include <cstdlib>
#include <string>

#include "cli/commands.h"
#include "cli/exit_status.h"
#include "tools/sample_station.h"

namespace kv::cli {

// init FOLDER [--drives N]: writes a sample station folder.
int RunInit(const CommandLine& line) {
    std::string folder;
    tools::SampleOptions options;
    for (std::size_t i = 0; i < line.args.size(); ++i) {
        const std::string& arg = line.args[i];
        if (arg == "--drives" && i + 1 < line.args.size()) {
            char* end = nullptr;
            const long drives = std::strtol(line.args[++i].c_str(), &end, 10);
            if (end == nullptr || *end != '\0' || drives < 1 || drives > 50) {
                std::fprintf(stderr, "init: --drives takes a number from 1 to 50\n");
                return kExitRefusedAction;
            }
            options.drives = static_cast<int>(drives);
        } else if (folder.empty() && arg.rfind("--", 0) != 0) {
            folder = arg;
        } else {
            std::fprintf(stderr, "init: unexpected argument '%s'\n", arg.c_str());
            return kExitRefusedAction;
        }
    }
    if (folder.empty())
        folder = line.stationFolder;
    if (folder.empty()) {
        std::fprintf(stderr, "init: name the folder to write\n");
        return kExitRefusedAction;
    }
    std::string error;
    if (!tools::WriteSampleStation(folder, options, error)) {
        std::fprintf(stderr, "init: %s\n", error.c_str());
        return kExitRefusedAction;
    }
    std::printf("%s\n", folder.c_str());
    return kExitDone;
}

}  // namespace kv::cli
