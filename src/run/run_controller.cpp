#include "run/run_controller.h"

#include <algorithm>
#include <cstring>

#include "run/elapsed_time.h"
#include "run/error_files.h"
#include "run/serial_assignment.h"
#include "run/test_item_catalogue.h"
#include "run/worker_pool.h"

namespace kv {

namespace {

// How often the wait looks at its workers when none has ended, in real time.
constexpr int kWaitSliceMs = 20;

void CopyBounded(char* field, std::size_t size, const std::string& text) {
    const std::size_t n = std::min(size - 1, text.size());
    std::memcpy(field, text.data(), n);
    field[n] = '\0';
}

class Controller {
  public:
    Controller(RunContext& c, const RunChoices& choices, RunHost& host)
        : c_(c), choices_(choices), host_(host), ports_(*c.ports) {
        portCount_ = std::clamp(c.portCount, 0, kMaxPorts);
    }

    RunOutcome Run() {
        RunOutcome outcome;
        platform::Platform& os = platform::Current();
        start_ = os.Now();
        if (ConnectedCount() > 0) {
            host_.ShowWaitPanel(true);
            host_.Pump();
        }
        if (c_.settings->block.EnUpdateFirmwareMode)
            ReadDriveSerials();
        host_.ResetAndRescan();
        const int connected = ConnectedCount();
        if (auto message = CheckConnectionCount(connected, c_.settings->block.ConnectDevNum)) {
            host_.ShowMessage(*message);
            host_.ShowWaitPanel(false);
            return outcome;
        }
        host_.PrepareRun(connected);
        if (choices_.modes.TableMode) {
            const int first = FirstPresentPort();
            if (first >= 0) {
                for (const OperatorMessage& m : RunTableMode(
                         first, choices_.rdPage, c_.settings->block, choices_.specialMode,
                         c_.programFolder, choices_.formatCode, host_.TableTransfers(first))) {
                    host_.ShowMessage(m);
                }
                host_.ShowWaitPanel(false);
                outcome.result = 1;
                return outcome;
            }
        }
        outcome.downloadOnly =
            DownloadOnlyRun(choices_.specialMode, c_.settings->block.ItemEnabled);
        RunNumbering numbering;
        numbering.claimNewMode = choices_.modes.ClaimNewMode;
        numbering.today = start_;
        const RunNumbers numbers = AssignRunNumbers(
            *c_.settings, *c_.ap, std::span<PortRecord>(ports_, portCount_), numbering);
        if (numbers.message) {
            host_.ShowMessage(*numbers.message);
            host_.ShowWaitPanel(false);
            return outcome;
        }
        RunWorkers();
        host_.ShowWaitPanel(false);
        AfterRun(numbers);
        outcome.result = 1;
        return outcome;
    }

  private:
    bool Present(int port) const { return ports_[port].Present != 0; }
    int ConnectedCount() const {
        int n = 0;
        for (int i = 0; i < portCount_; ++i)
            n += Present(i) ? 1 : 0;
        return n;
    }
    int FirstPresentPort() const {
        for (int i = 0; i < portCount_; ++i) {
            if (Present(i))
                return i;
        }
        return -1;
    }

    void ReadDriveSerials() {
        for (int i = 0; i < portCount_; ++i) {
            std::string serial;
            if (Present(i) && host_.ReadDriveSerial(i, serial)) {
                CopyBounded(ports_[i].SerialNumber, sizeof ports_[i].SerialNumber, serial);
            }
        }
    }

    std::string Elapsed() {
        return ElapsedTimeText(ElapsedSeconds(start_, platform::Current().Now()));
    }

    void RefreshPanels() {
        UpdateDrawPanel(ports_, portCount_, *c_.views, c_.settings->block.Yield);
    }

    void RunWorkers() {
        WorkerPool pool(host_.Panel());
        for (int i = 0; i < portCount_; ++i) {
            if (!Present(i))
                continue;
            WorkerParam param;
            param.port = i;
            param.claimNewMode = choices_.modes.ClaimNewMode;
            param.settings = c_.settings->block;
            param.checks = choices_.checks;
            param.logFolder = c_.logFolder;
            param.formatCode = choices_.formatCode;
            param.record = &ports_[i];
            param.errors = c_.errors;
            param.procedures = &host_.Procedures(i);
            pool.Start(param);
        }
        while (pool.RunningCount() > 0) {
            // An expired port is cut off at once; its panel is redrawn with
            // the others once every worker has ended, because a redraw now
            // would read the records the other ports' workers are writing.
            for (int port : pool.ExpiredWatchdogs()) {
                host_.Panel().StopWatchdog(port);
                pool.CutOff(port, [&] {
                    PortRecord& r = ports_[port];
                    r.FailCode = kFailTimeout;
                    r.ReportedFailCode = kFailTimeout;
                    r.Result = -1;
                });
            }
            if (host_.TakeStopRequest())
                Stop(pool);
            host_.ShowElapsedTime(Elapsed());
            host_.Pump();
            pool.WaitForChange(kWaitSliceMs);
        }
        // Cut-off workers finish their last device command within its own
        // time-out; nothing touches their drives before they have.
        pool.Drain();
    }

    void Stop(WorkerPool& pool) {
        for (int port : pool.RunningPorts()) {
            host_.Panel().StopWatchdog(port);
            pool.CutOff(port, [&] {
                PortRecord& r = ports_[port];
                r.ItemStatus[kPreformat] = kItemFailed;
                r.FailCode = kPreformat;
                r.ReportedFailCode = kPreformat;
                r.Result = -1;
            });
        }
        stopped_ = true;
        if (choices_.batch != nullptr && choices_.batch->batchMode() &&
            choices_.batch->continueFlag()) {
            choices_.batch->StopPressed();
        }
    }

    void AfterRun(const RunNumbers& numbers) {
        const platform::LocalTime end = platform::Current().Now();
        if (choices_.batch != nullptr && choices_.batch->batchMode() && !stopped_) {
            for (int i = 0; i < portCount_; ++i) {
                if (Present(i))
                    choices_.batch->PortEnded(ports_[i].Result == -1, choices_.ignoreError);
            }
        }
        RunLogInput in = MakeRunLogInput(c_.settings->block, c_.settings->process, *c_.ap);
        in.ports = std::span<const PortRecord>(ports_, portCount_);
        in.checkList = c_.checkList;
        in.yieldBefore = c_.settings->block.Yield;
        in.batchRound = choices_.batch != nullptr ? choices_.batch->Round() : 1;
        in.start = start_;
        in.end = end;
        for (int i = 0; i < portCount_; ++i)
            in.sataPath[i] = Present(i) && host_.IsSataPath(i);
        in.readSmart = [this](int port, std::uint8_t(&sector)[512]) {
            return host_.ReadSmartSector(port, sector);
        };
        const RunLogResult logs = WriteRunLogs(in, *c_.dailyLog);
        if (logs.message)
            host_.ShowMessage(*logs.message);
        host_.ShowElapsedTime(Elapsed());
        if (logs.written && c_.flash != nullptr) {
            WriteErrorFiles(std::span<PortRecord>(ports_, portCount_), *c_.errors, *c_.flash,
                            c_.logFolder, end);
        }
        RefreshPanels();
        if (c_.settings->block.SNErrReuse) {
            RebuildReuseAfterRun(numbers, std::span<const PortRecord>(ports_, portCount_),
                                 c_.ap->ReuseSn);
        }
        if (auto message =
                RebuildCloseMessage(choices_.modes.ClaimNewMode, choices_.checks.rebuildClose,
                                    std::span<const PortRecord>(ports_, portCount_))) {
            host_.ShowMessage(*message);
            host_.CloseApplication();
        }
        if (c_.ap->CaptureAppImage)
            host_.CaptureScreen(ScreenImagePath(c_.logFolder, end));
    }

    RunContext& c_;
    const RunChoices& choices_;
    RunHost& host_;
    PortRecord (&ports_)[kMaxPorts];
    int portCount_ = 0;
    platform::LocalTime start_;
    bool stopped_ = false;
};

}  // namespace

RunOutcome RunController(RunContext& context, const RunChoices& choices, RunHost& host) {
    if (context.settings == nullptr || context.ap == nullptr || context.ports == nullptr ||
        context.views == nullptr || context.errors == nullptr || context.dailyLog == nullptr) {
        return RunOutcome{};
    }
    return Controller(context, choices, host).Run();
}

}  // namespace kv
