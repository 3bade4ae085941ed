#include <cstdio>

#include "cli/cli_discovery_window.h"
#include "cli/cli_ui.h"
#include "cli/commands.h"
#include "cli/exit_status.h"
#include "cli/scan_table.h"
#include "device/enum_usb_device.h"
#include "device/safe_removal.h"
#include "station/station.h"

namespace kv::cli {

// remove: the Safe Remove button after the start's re-scan. Prints the port
// table of the re-scan that follows the removal; a drive that stays present
// shows the warning and ends with status 2.
int RunRemove(const CommandLine& /*line*/) {
    CliUi ui;
    Station station(ui);
    if (!station.Start()) {
        if (station.refusedAsSecondInstance()) {
            std::fprintf(stderr, "Another station is running on this machine.\n");
        }
        return kExitRefusedStart;
    }
    CliDiscoveryWindow window(station);
    DiscoverySession session(station.ports, station.settings, window);
    EnumUSBDevice(session);
    const SafeRemoveOutcome outcome = SafeRmBtnClick(session);
    const std::string table = ScanTable(session);
    std::fwrite(table.data(), 1, table.size(), stdout);
    station.Close();
    return outcome == SafeRemoveOutcome::SomeRemain ? kExitRefusedAction : kExitDone;
}

}  // namespace kv::cli
