// One repetition of START after its checks: the run controller. It prepares
// the ports, runs a table transfer or starts one worker per present port,
// waits for them on the front end's thread (watchdogs and the stop button cut
// workers off), then writes the logs and error files, refreshes the panels and
// keeps the serial-number reuse list.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "config/settings_keys.h"
#include "flash/flash_config.h"
#include "flash/operator_message.h"
#include "platform/platform.h"
#include "run/check_list.h"
#include "run/global_state.h"
#include "run/port_status.h"
#include "run/port_worker.h"
#include "run/result_log.h"
#include "run/run_checks.h"
#include "run/table_mode.h"

namespace kv {

// The rest of the station as the controller uses it.
class RunHost {
  public:
    virtual ~RunHost() = default;
    // Lets the front end process its events (the window stays alive).
    virtual void Pump() = 0;
    virtual void ShowWaitPanel(bool shown) = 0;
    virtual void ShowElapsedTime(const std::string& text) = 0;
    virtual void ShowMessage(const OperatorMessage& message) = 0;
    // True once when the stop button was pressed since the last call.
    virtual bool TakeStopRequest() = 0;
    // Every present drive prepared for vendor commands, the disk matching
    // repeated until all are matched (bounded retries).
    virtual void ResetAndRescan() = 0;
    // The serial number in the drive's IDENTIFY data; false when unreadable.
    virtual bool ReadDriveSerial(int port, std::string& serial) = 0;
    // The retry budget of the disk formatter, the flash parameters and the
    // check list, derived again from the settings before the workers start.
    virtual void PrepareRun(int connectedDrives) = 0;
    virtual WorkerProcedures& Procedures(int port) = 0;
    virtual TableDrive& TableTransfers(int port) = 0;
    // Receives the workers' captions, colours and gauges.
    virtual WorkerHooks& Panel() = 0;
    // Whether the port's drive is on the SATA path (PPID and SMART columns).
    virtual bool IsSataPath(int port) = 0;
    // Reads a port's SMART sector for the log; false: no SMART columns.
    virtual bool ReadSmartSector(int port, std::uint8_t (&sector)[512]) = 0;
    // The main window closes (claim-new mode with RebuildCloseChk).
    virtual void CloseApplication() = 0;
    virtual void CaptureScreen(const std::string& path) = 0;
};

// The station's state a run works on.
struct RunContext {
    config::Settings* settings = nullptr;
    AP_GOLBAL* ap = nullptr;
    PortRecord (*ports)[kMaxPorts] = nullptr;
    PortView (*views)[kMaxPorts] = nullptr;
    int portCount = 0;  // ports the station shows
    PortErrorBuffer* errors = nullptr;
    const FlashConfig* flash = nullptr;
    std::vector<CheckListLine> checkList;  // as at START
    DailyLog* dailyLog = nullptr;
    std::string logFolder;      // with a trailing separator
    std::string programFolder;  // with a trailing separator
};

// What START decided for this repetition.
struct RunChoices {
    RunModes modes;
    RdPageChoice rdPage;
    WorkerChecks checks;
    bool specialMode = false;
    bool ignoreError = true;  // RadioGroupIgnoreError is "Enable"
    int formatCode = 0;
    BatchState* batch = nullptr;  // the START's batch; may be null
};

struct RunOutcome {
    int result = 0;  // 1: the run took place (or a table transfer ended); 0: stopped before
    bool downloadOnly = false;
};

// Runs one repetition. Messages go to the host; the result is 1 when the run
// took place.
RunOutcome RunController(RunContext& context, const RunChoices& choices, RunHost& host);

}  // namespace kv
