// The production worker: runs the enabled test items on one drive in their
// fixed order, shows the current item and the progress on the port's panel,
// and leaves the outcome (Result, YieldPending, FailCode, item statuses and the
// fail-detail buffer) in the port's own records. The batch's pass and continue
// flags are kept by the run controller from each port's Result once the
// workers have ended, so the order in which workers end cannot change them.
#pragma once

#include <string>

#include "config/settings_block.h"
#include "run/global_state.h"
#include "run/port_run_guard.h"
#include "run/worker_hooks.h"
#include "run/worker_procedures.h"

namespace kv {

// The window check states a worker reads; the main thread does not change
// them during a run.
struct WorkerChecks {
    bool rebuildClose = false;  // RebuildCloseChk
    bool erase = false;         // EraseChk
    bool later = false;         // LaterChk
    bool repairUsed = false;    // RepairUsedChkBox
    int checkedLines = 0;       // checked lines of FunCheckListBox
};

struct WorkerParam {
    int port = 0;
    bool claimNewMode = false;
    SettingsBlock settings;  // the worker's own copy
    WorkerChecks checks;
    std::string logFolder;  // with a trailing separator
    int formatCode = 0;     // from the system firmware file's two-digit text
    PortRecord* record = nullptr;
    PortErrorBuffer* errors = nullptr;
    WorkerHooks* hooks = nullptr;
    WorkerProcedures* procedures = nullptr;
    PortRunGuard* guard = nullptr;
};

// The watchdog interval of a run: "TimeOut" in milliseconds, 300,000 when 0.
std::int64_t WatchdogIntervalMs(const SettingsBlock& settings);

// The early-bad table file Download writes: folder + serial + "_EB.txt", or
// the first free folder + serial + "(n)" + "_EB.txt" for n = 0, 1, 2, ...
std::string EarlyBadFilePath(const std::string& logFolder, const char* serial);

// Always 0; the outcome is in the port's records. Returns early, writing
// nothing more, once the controller has cut the run off.
int PortWorker(WorkerParam& param);

}  // namespace kv
