#include "station/start_button.h"

#include <cstdlib>

#include "platform/paths.h"

namespace kv {

namespace {

// The end of a repetition (without the focus, which is the window's).
void EndRepetition(StartState& state, StartHost& host, const Station& station, bool started) {
    state.runInProgress = false;
    host.EnableRunControls(true);
    host.EnableStart(started && state.lastResult == 1);
    if (station.ap.AutoExecuteQuit)
        host.Terminate();
}

}  // namespace

void ExecuteBtnClick(Station& station, const RunControls& controls, StartHost& host,
                     DailyLog& dailyLog, PortErrorBuffer& errors, StartState& state) {
    config::Settings& settings = station.settings;
    const bool batchMode = settings.process.EnBatchMode != 0;
    BatchState batch(batchMode, controls.repeatTimes);
    auto show = [&](const OperatorMessage& m) {
        station.ui().ShowMessage(m.text, m.caption, MessageIconOf(m.icon));
    };
    while (batch.MoreRepetitions()) {
        if (auto round = batch.RoundLabel())
            host.ShowBatchRound(*round, batch.RunningPanel());
        host.EnableRunControls(false);
        host.EnableStart(false);
        state.runInProgress = true;
        state.lastResult = 0;
        ControlsToSettings(station.controls, settings);
        CopyCheckListToEnables(station.controls.checkList, settings.block.ItemEnabled);

        StartCheckInput input;
        input.settings = &settings;
        input.specialMode = station.ap.SpecialMode != 0;
        input.sataBin = station.controls.sataImage;
        input.usbBin = station.controls.usbImage;
        input.flashCapacityGb = host.FlashCapacityGb();
        input.ap = &station.ap;
        input.checkList = &station.controls.checkList;
        FirmwareChoice firmware;
        firmware.programFolder = platform::StationFolder();
        firmware.sataName = station.ap.SataBinName;
        firmware.usbName = station.ap.UsbBinName;
        firmware.pagesPerBlock = host.FlashPagesPerBlock();
        const StartDecision decision =
            ExecuteChecks(input, std::span<PortRecord>(station.ports, kMaxPorts), host,
                          controls.rdPage, firmware);
        host.UseFirmwareFiles(decision.files.Files);
        for (int i = 0; i < kMaxPorts; ++i) {
            if (decision.sataSpeed[i])
                host.SetSataSpeed(i, *decision.sataSpeed[i]);
        }
        if (decision.outcome == StartOutcome::StartEnds) {
            if (decision.message)
                show(*decision.message);
            state.runInProgress = false;
            host.EnableRunControls(true);
            return;
        }
        bool started = false;
        if (decision.outcome == StartOutcome::RunEnds && decision.message)
            show(*decision.message);
        if (decision.outcome == StartOutcome::Run) {
            RunContext context;
            context.settings = &settings;
            context.ap = &station.ap;
            context.ports = &station.ports;
            context.views = &station.views;
            context.portCount = kMaxPorts;
            context.errors = &errors;
            context.flash = host.Flash();
            context.checkList = station.controls.checkList;
            context.dailyLog = &dailyLog;
            context.logFolder = station.logFolder;
            context.programFolder = platform::StationFolder();
            RunChoices choices;
            choices.modes = decision.modes;
            choices.rdPage = controls.rdPage;
            choices.checks.rebuildClose = controls.rebuildClose;
            choices.checks.erase = controls.erase;
            choices.checks.later = controls.later;
            choices.checks.repairUsed = controls.repairUsed;
            for (const CheckListLine& line : station.controls.checkList) {
                choices.checks.checkedLines += line.checked ? 1 : 0;
            }
            choices.specialMode = input.specialMode;
            choices.ignoreError = controls.ignoreError;
            choices.formatCode = std::atoi(station.ap.FormatCodeText);
            choices.batch = &batch;
            state.lastResult = RunController(context, choices, host).result;
            ++state.repetitions;
            started = true;
            ControlsToSettings(station.controls, settings);
            station.SaveSettingsFile(station.currentSettingsFile);
        }
        EndRepetition(state, host, station, started);
        batch.EndRepetition();
    }
    if (batchMode)
        host.ShowBatchPanel(batch.FinalPanel());
}

}  // namespace kv
