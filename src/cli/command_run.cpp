#include <cstdio>
#include <cstdlib>
#include <string>

#include "cli/cli_station.h"
#include "cli/commands.h"
#include "cli/exit_status.h"
#include "disk/format_output.h"
#include "platform/paths.h"
#include "run/test_item_catalogue.h"
#include "station/station.h"
#include "station/station_run.h"

namespace kv::cli {

namespace {

// The run as the command line shows it: every caption a worker shows goes to
// standard error as one line, so a line controller can follow each port.
class CliRunView final : public RunView {
  public:
    void PortCaption(int port, const std::string& caption) override {
        std::fprintf(stderr, "Port %d: %s\n", port + 1, caption.c_str());
    }
    void ElapsedTime(const std::string& text) override { elapsed = text; }
    void BatchRound(const std::string& text) override {
        std::fprintf(stderr, "%s\n", text.c_str());
    }
    std::string elapsed;
};

// The formatter's progress report goes to standard error with the captions,
// so that standard output carries the result table alone.
class FormatReportToStderr final : public disk::FormatOutput {
  public:
    void Console(const std::string& text) override { std::fputs(text.c_str(), stderr); }
};

}  // namespace

// run: starts as the station starts, finds the drives, presses START once (or
// for every repetition of a batch) and prints one line per present port:
// port number, "Pass" or the failure code, the serial number and the WWN.
int RunProduction(const CommandLine& /*line*/) {
    CliStation cli;
    if (!cli.Start())
        return kExitRefusedStart;
    Station& station = cli.station();
    DiscoverySession& session = cli.session();
    SelectRunFirmware(station);
    CliRunView view;
    FormatReportToStderr formatReport;
    disk::SetFormatOutput(&formatReport);
    StationRun run(station, session, view);
    const StartState state = run.Start(RunControls{});
    std::printf("Port\tResult\tSerialNumber\tWwn\n");
    int present = 0;
    int passed = 0;
    for (int i = 0; i < session.portCount(); ++i) {
        const PortRecord& p = station.ports[i];
        if (!p.Present)
            continue;
        ++present;
        passed += p.Result == 1 ? 1 : 0;
        const char* result = p.Result == 1 ? "Pass" : LookupTestItem(p.ReportedFailCode).ErrorCode;
        std::printf("%d\t%s\t%s\t%s\n", i + 1, result, p.SerialNumber, p.Wwn);
    }
    if (!view.elapsed.empty())
        std::fprintf(stderr, "Elapsed: %s\n", view.elapsed.c_str());
    disk::SetFormatOutput(nullptr);
    station.Close();
    if (state.repetitions == 0)
        return kExitRefusedAction;
    return present > 0 && passed == present ? kExitDone : kExitDriveFailed;
}

}  // namespace kv::cli
