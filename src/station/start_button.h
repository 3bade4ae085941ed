// The START button: its repetitions in batch mode, the checks of the set-up
// and of the drives, the run mode, the firmware files, and one run controller
// per repetition, with the settings saved after each run.
#pragma once

#include <string>
#include <vector>

#include "run/run_checks.h"
#include "run/run_controller.h"
#include "station/station.h"

namespace kv {

// The window's controls START reads that no setting holds.
struct RunControls {
    RdPageChoice rdPage;
    bool rebuildClose = false;  // RebuildCloseChk
    bool erase = false;         // EraseChk
    bool later = false;         // LaterChk
    bool repairUsed = false;    // RepairUsedChkBox
    int repeatTimes = 0;        // LabeledEditRepeatTimes
    bool ignoreError = true;    // RadioGroupIgnoreError: "Enable"
};

// Everything of the station START drives beyond its own state.
class StartHost : public RunHost, public StartDriveProbe {
  public:
    // Panel7, the pages, StyleScrollBox and BottomPanel; START itself.
    virtual void EnableRunControls(bool enabled) = 0;
    virtual void EnableStart(bool enabled) = 0;
    virtual void ShowBatchRound(const std::string& text, BatchPanel panel) = 0;
    virtual void ShowBatchPanel(BatchPanel panel) = 0;
    // The flash configuration of the settings: capacity (GB), pages per block.
    virtual int FlashCapacityGb() = 0;
    virtual int FlashPagesPerBlock() = 0;
    virtual const FlashConfig* Flash() = 0;
    // The SATA speed byte of the port's device entry.
    virtual void SetSataSpeed(int port, std::uint8_t speed) = 0;
    virtual void Terminate() = 0;  // "AutoExecuteQuit"
    // The firmware files START listed for this repetition's Download.
    virtual void UseFirmwareFiles(const std::vector<FirmwareFileEntry>& /*files*/) {}
};

struct StartState {
    bool runInProgress = false;
    int lastResult = 0;   // of the last run controller
    int repetitions = 0;  // repetitions that reached the controller
};

// One press of START.
void ExecuteBtnClick(Station& station, const RunControls& controls, StartHost& host,
                     DailyLog& dailyLog, PortErrorBuffer& errors, StartState& state);

}  // namespace kv
