#include <cstdio>

#include "cli/cli_discovery_window.h"
#include "cli/cli_ui.h"
#include "cli/commands.h"
#include "cli/exit_status.h"
#include "cli/scan_table.h"
#include "device/enum_usb_device.h"
#include "station/station.h"

namespace kv::cli {

// scan: starts as the station starts, runs one device re-scan, prints the
// port table and closes as the station closes.
int RunScan(const CommandLine& /*line*/) {
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
    const std::string table = ScanTable(session);
    std::fwrite(table.data(), 1, table.size(), stdout);
    station.Close();
    return kExitDone;
}

}  // namespace kv::cli
