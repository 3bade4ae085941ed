#include <cstdio>

#include "cli/cli_station.h"
#include "cli/commands.h"
#include "cli/exit_status.h"
#include "cli/scan_table.h"
#include "station/station.h"

namespace kv::cli {

// scan: starts as the station starts, runs one device re-scan, prints the
// port table and closes as the station closes.
int RunScan(const CommandLine& /*line*/) {
    CliStation cli;
    if (!cli.Start())
        return kExitRefusedStart;
    Station& station = cli.station();
    DiscoverySession& session = cli.session();
    const std::string table = ScanTable(session);
    std::fwrite(table.data(), 1, table.size(), stdout);
    station.Close();
    return kExitDone;
}

}  // namespace kv::cli
