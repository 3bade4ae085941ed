#include <cstdio>

#include "cli/cli_station.h"
#include "cli/commands.h"
#include "cli/exit_status.h"
#include "cli/scan_table.h"
#include "device/safe_removal.h"
#include "station/station.h"

namespace kv::cli {

// remove: the Safe Remove button after the start's re-scan. Prints the port
// table of the re-scan that follows the removal; a drive that stays present
// shows the warning and ends with status 2.
int RunRemove(const CommandLine& /*line*/) {
    CliStation cli;
    if (!cli.Start())
        return kExitRefusedStart;
    Station& station = cli.station();
    DiscoverySession& session = cli.session();
    const SafeRemoveOutcome outcome = SafeRmBtnClick(session);
    const std::string table = ScanTable(session);
    std::fwrite(table.data(), 1, table.size(), stdout);
    station.Close();
    return outcome == SafeRemoveOutcome::SomeRemain ? kExitRefusedAction : kExitDone;
}

}  // namespace kv::cli
