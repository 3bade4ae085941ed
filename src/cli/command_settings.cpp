#include <cstdio>

#include "cli/cli_ui.h"
#include "cli/commands.h"
#include "cli/exit_status.h"
#include "station/station.h"

namespace kv::cli {

// settings: runs the load sequence, prints every setting as held, and closes
// the station as it closes at exit (which saves the settings and the yield).
int RunSettings(const CommandLine& /*line*/) {
    CliUi ui;
    Station station(ui);
    if (!station.Start()) {
        if (station.refusedAsSecondInstance()) {
            std::fprintf(stderr, "Another station is running on this machine.\n");
        }
        return kExitRefusedStart;
    }
    const std::string listing = station.DescribeSettings();
    std::fwrite(listing.data(), 1, listing.size(), stdout);
    station.Close();
    return kExitDone;
}

}  // namespace kv::cli
