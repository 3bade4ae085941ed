#include "cli/command_identify.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "cli/cli_station.h"
#include "cli/exit_status.h"
#include "firmware/download_identify.h"
#include "station/station.h"

namespace kv::cli {
namespace {

// The station port number 1..50 of the first argument; 0 when there is none.
int PortNumberOf(const CommandLine& line) {
    if (line.args.empty()) {
        return 0;
    }
    const std::string& text = line.args.front();
    char* end = nullptr;
    const long n = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || end == nullptr || *end != '\0' || n < 1 || n > 50) {
        return 0;
    }
    return static_cast<int>(n);
}

}  // namespace

int RunIdentifyCommand(const CommandLine& line) {
    const int number = PortNumberOf(line);
    if (number == 0) {
        std::fprintf(stderr, "identify: give a port number from 1 to 50\n");
        return kExitRefusedAction;
    }
    // The station starts and finds its drives as it does at start-up.
    CliStation cli;
    if (!cli.Start())
        return kExitRefusedStart;
    Station& station = cli.station();
    IdentifyData data;
    const IdentifyReadOutcome outcome = ReadPortIdentify(number - 1, data);
    station.Close();
    switch (outcome) {
        case IdentifyReadOutcome::Read:
            break;
        case IdentifyReadOutcome::NoDrive:
            std::fprintf(stderr, "identify: no drive on port %d\n", number);
            return kExitRefusedAction;
        case IdentifyReadOutcome::UsbPath:
            std::fprintf(stderr,
                         "identify: port %d takes vendor commands over USB; IDENTIFY DEVICE is "
                         "not sent there\n",
                         number);
            return kExitRefusedAction;
        case IdentifyReadOutcome::Failed:
            std::fprintf(stderr, "identify: IDENTIFY DEVICE failed on port %d\n", number);
            return kExitRefusedAction;
    }
    const std::string text = IdentifyWordsText(data);
    std::fwrite(text.data(), 1, text.size(), stdout);
    return kExitDone;
}

}  // namespace kv::cli
