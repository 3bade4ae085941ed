#include "run/port_worker.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>
#include <memory>

#include "device/debug_log.h"
#include "run/test_item_catalogue.h"

namespace kv {

std::int64_t WatchdogIntervalMs(const SettingsBlock& settings) {
    return settings.TimeOut == 0 ? 300000 : settings.TimeOut;
}

std::string EarlyBadFilePath(const std::string& logFolder, const char* serial) {
    const std::string stem = logFolder + serial;
    std::error_code ec;
    std::string path = stem + "_EB.txt";
    for (long n = 0; std::filesystem::exists(path, ec); ++n) {
        path = stem + "(" + std::to_string(n) + ")" + "_EB.txt";
    }
    return path;
}

namespace {

constexpr std::size_t kPpidBytes = 23;
constexpr std::size_t kBadBlockCountsSize = 1280;
constexpr std::uint8_t kOverLimitRecord = 0xBB;

// One run of the worker. Every write to the port goes through the guard; once
// the controller has cut the run off, `alive_` turns false and nothing more is
// written or sent.
class WorkerRun {
  public:
    explicit WorkerRun(WorkerParam& p)
        : p_(p),
          s_(p.settings),
          port_(p.port),
          proc_(*p.procedures),
          buffer_(new std::uint8_t[kWorkBufferSize]()) {}

    void Run() {
        if (!Start())
            return;
        if (PreChecks())
            Items();
        EndOfRun();
    }

  private:
    template <class Change>
    bool Write(Change&& write) {
        if (!alive_)
            return false;
        alive_ = p_.guard == nullptr ? (write(), true) : p_.guard->Apply(write);
        return alive_;
    }
    bool Alive() {
        if (alive_ && p_.guard != nullptr && p_.guard->IsCutOff())
            alive_ = false;
        return alive_;
    }
    bool Enabled(int item) const { return item >= 0 && item < kItemCount && s_.ItemEnabled[item]; }
    std::uint8_t* ClearedBuffer() {
        std::memset(buffer_.get(), 0, kWorkBufferSize);
        return buffer_.get();
    }

    bool Start() {
        return Write([&] {
                   PortRecord& r = *p_.record;
                   r.Result = 0;
                   r.YieldPending = 0;
                   r.FailDetailKind = 0;
                   r.FailDetailNumber = 0;
                   p_.hooks->SetCaption(port_, "Start");
                   p_.hooks->SetColour(port_, PanelColour::Yellow);
                   p_.hooks->SetGauge(port_, 0);
                   p_.hooks->SetSecondGauge(port_, 0);
               }) &&
               (p_.record->BridgeType != 7 || (proc_.SetBridgeState(port_, 1), Alive())) &&
               Write([&] {
                   p_.hooks->ArmWatchdog(port_, WatchdogIntervalMs(s_));
                   p_.hooks->ShowSerial(port_, p_.record->SerialNumber, p_.record->Wwn);
                   step_ = p_.checks.checkedLines > 0 ? 100 / p_.checks.checkedLines : 0;
               });
    }

    // Records a failure with `code`; the buffer goes to that code's slot.
    void Fail(int code, bool copyBuffer = true) {
        failed_ = true;
        Write([&] {
            p_.record->FailCode = code;
            p_.record->ReportedFailCode = code;
            if (copyBuffer && p_.errors != nullptr && code > 0 && code < kFailCodeCount) {
                std::memcpy(p_.errors->Slot(port_, code), buffer_.get(), kPortErrorSlotSize);
            }
        });
    }

    bool PreChecks() {
        const PortRecord& r = *p_.record;
        if (s_.EnKeepEraseCount && !proc_.EraseCountSaved(port_)) {
            Fail(kFailCheckEraseCount, false);
            return false;
        }
        if (s_.EnKeepSmartInfo && !proc_.SmartInfoSaved(port_)) {
            Fail(kFailGetSmartInfo, false);
            return false;
        }
        if (s_.EnReadRDTLog) {
            proc_.ShowRdtResult(port_);
            if (!Alive())
                return false;
        }
        if (s_.EnCheckRDT) {
            char rdtSerial[22] = {};
            const int verdict = proc_.CheckRdtResult(port_, ClearedBuffer(), r.SerialNumber,
                                                     s_.CheckRDTMode, rdtSerial);
            if (!Alive())
                return false;
            rdtSerial[sizeof rdtSerial - 1] = '\0';
            OutputDbgMsg("RDT Serial number = %s", rdtSerial);
            if (verdict != 1) {
                Fail(verdict);
                return false;
            }
        }
        if (s_.EnCheckSnLength &&
            std::strlen(r.SerialNumber) != static_cast<std::size_t>(s_.CheckSnLengthValue)) {
            Fail(kFailCheckSnLength, false);
            return false;
        }
        if (s_.EnPPID && std::strlen(r.Ppid) != static_cast<std::size_t>(s_.CheckPPIDLengthValue)) {
            Fail(kFailCheckPpidLength, false);
            return false;
        }
        return true;
    }

    void SetStatus(int item, std::int32_t status) {
        Write([&] { p_.record->ItemStatus[item] = status; });
    }
    void AddStep() {
        gauge_ = std::min(100, gauge_ + step_);
        Write([&] { p_.hooks->SetGauge(port_, gauge_); });
    }

    // The common frame of items 3 onwards: skipped after a failure, else run
    // under its caption; the progress step is added either way.
    template <class Body>
    void Item(int item, Body&& body, bool addsStep = true) {
        SetStatus(item, kItemRunning);
        if (failed_) {
            SetStatus(item, kItemFailed);
        } else if (Write([&] { p_.hooks->SetCaption(port_, LookupTestItem(item).ItemName); })) {
            const int code = body();  // 0 = pass, else the failure code
            if (!Alive())
                return;
            if (code == 0) {
                SetStatus(item, kItemPassed);
            } else {
                Fail(code);
                SetStatus(item, kItemFailed);
            }
        }
        if (addsStep)
            AddStep();
    }

    // Items 1 and 2 end the run at once when they fail.
    template <class Body>
    bool LeadingItem(int item, Body&& body) {
        SetStatus(item, kItemRunning);
        if (!Write([&] { p_.hooks->SetCaption(port_, LookupTestItem(item).ItemName); }))
            return false;
        const bool passed = body();
        if (!Alive())
            return false;
        if (!passed) {
            Fail(item);
            SetStatus(item, kItemFailed);
            return false;
        }
        SetStatus(item, kItemPassed);
        AddStep();
        return Alive();
    }

    void Items() {
        if (Enabled(kFlashModuleTest) && !LeadingItem(kFlashModuleTest, [&] {
                return proc_.FlashModuleTest(port_, ClearedBuffer());
            })) {
            return;
        }
        if ((Enabled(kRebuildBadBlock) || s_.UpdateFirmwareA2B) &&
            !LeadingItem(kRebuildBadBlock, [&] {
                return proc_.RebuildBadBlock(port_, ClearedBuffer(), s_.UpdateFirmwareA2B);
            })) {
            return;
        }
        if (p_.claimNewMode) {
            if (!proc_.RebuildBadBlock(port_, ClearedBuffer(), 0) && !p_.checks.rebuildClose) {
                Fail(kRebuildBadBlock);
            }
            return;
        }
        if (Enabled(kBusInterfaceTest)) {
            Item(kBusInterfaceTest, [&] {
                return proc_.BusInterfaceTest(port_, ClearedBuffer()) ? 0 : kBusInterfaceTest;
            });
        }
        if (Enabled(kFlashInterfaceTest)) {
            Item(kFlashInterfaceTest, [&] {
                std::int32_t info = 0;
                std::uint8_t flag = 0;
                Write([&] {
                    p_.record->FlashFailInfo = 0;
                    p_.record->FlashFailFlag = 0;
                });
                const bool ok = proc_.FlashInterfaceTest(port_, ClearedBuffer(), info, flag);
                Write([&] {
                    p_.record->FlashFailInfo = info;
                    p_.record->FlashFailFlag = flag;
                });
                return ok ? 0 : kFlashInterfaceTest;
            });
        }
        if (!Alive())
            return;
        if (Enabled(kPreformat) || Enabled(kDownload) || Enabled(kUpload) ||
            Enabled(kCheckTables)) {
            if (Enabled(kPreformat) && p_.checks.erase)
                proc_.EraseBlocks(port_, buffer_.get());
            if (!failed_ && Alive() && !proc_.GetCodeBlocks(port_, buffer_.get())) {
                Fail(kFailCheckLoaderBlock);
            }
            if (failed_ || !Alive())
                return;
        }
        SystemAreaItems();
        DriveItems();
    }

    void SystemAreaItems() {
        const PortRecord& r = *p_.record;
        if (Enabled(kPreformat)) {
            Item(kPreformat, [&] {
                Write([&] { p_.record->FlashFailInfo = 0; });
                return proc_.PreFormat(port_, ClearedBuffer(), p_.checks.erase, p_.checks.later,
                                       p_.checks.repairUsed)
                           ? 0
                           : kPreformat;
            });
        }
        if (Enabled(kDownload)) {
            Item(kDownload, [&] {
                const std::string earlyBad = EarlyBadFilePath(p_.logFolder, r.SerialNumber);
                return proc_.DownloadFirmware(port_, buffer_.get(), r.SerialNumber, r.Wwn, earlyBad,
                                              p_.formatCode)
                           ? 0
                           : kDownload;
            });
        }
        if (Enabled(kWritePpid)) {
            Item(kWritePpid, [&] {
                if (proc_.IsLoaderDevice(port_))
                    proc_.EnterVendorMode(port_, buffer_.get());
                std::array<std::uint8_t, 512> sector;
                sector.fill(0x20);
                std::memcpy(sector.data(), r.Ppid, kPpidBytes);
                const bool ok =
                    proc_.WritePpidLog(port_, sector.data()) == 1 && proc_.Standby(port_) == 1;
                return ok ? 0 : kWritePpid;
            });
        }
        if (Enabled(kUpload)) {
            Item(kUpload, [&] { return proc_.UploadFirmware(port_, buffer_.get()) ? 0 : kUpload; });
        }
    }

    int CheckTablesBody() {
        std::uint8_t* buffer = buffer_.get();
        if (proc_.CheckTables(port_, buffer)) {
            proc_.EnterVendorMode(port_, buffer);
            std::array<std::uint8_t, kBadBlockCountsSize> counts{};
            std::uint32_t sums[5] = {};
            const bool counted = proc_.CountBadBlocks(port_, buffer, counts.data(), sums);
            if (counted && sums[1] == 0 && sums[2] == 0 && sums[3] == 0 && sums[4] == 0)
                return 0;
            if (counted) {
                buffer[0] = kOverLimitRecord;
                for (int i = 0; i < 5; ++i) {
                    for (int b = 0; b < 4; ++b) {
                        buffer[1 + 4 * i + b] = static_cast<std::uint8_t>(sums[i] >> (8 * b));
                    }
                }
            }
        }
        return buffer[0] == kOverLimitRecord ? static_cast<int>(kFailBadBlockOver) : kCheckTables;
    }

    void DriveItems() {
        if (Enabled(kRWTest)) {
            Item(kRWTest, [&] { return proc_.RWTest(port_, buffer_.get()) ? 0 : kRWTest; });
        }
        if (Enabled(kCheckTables))
            Item(kCheckTables, [&] { return CheckTablesBody(); });
        if (Enabled(kSetMaxLba)) {
            Item(kSetMaxLba, [&] {
                return proc_.SetMaxLba(port_, buffer_.get(), s_.SetMaxLBAValue) ? 0 : kSetMaxLba;
            });
        }
        if (Enabled(kDiskFormat)) {
            Item(kDiskFormat, [&] {
                char letter = 0;
                const bool ok = proc_.EnterVendorMode(port_, buffer_.get()) &&
                                proc_.DiskFormat(port_, s_.DiskLabel, letter);
                Write([&] {
                    p_.record->DriveLetter = letter;
                    p_.record->Formatted = ok ? 1 : 0;
                });
                return ok ? 0 : kDiskFormat;
            });
        }
        if (Enabled(kDownload) && Enabled(kCopyImage)) {
            Item(
                kCopyImage,
                [&] {
                    std::uint8_t* buffer = buffer_.get();
                    const bool ok = proc_.EnterVendorMode(port_, buffer) &&
                                    proc_.CopyImage(port_, buffer, s_.CopyImagePath) &&
                                    proc_.FlushPass(port_, buffer) &&
                                    proc_.FlushPass(port_, buffer) &&
                                    proc_.CheckImgPattern(port_, buffer);
                    return ok ? 0 : kCopyImage;
                },
                false);
        }
        if (Enabled(kCheckTemperature)) {
            Item(kCheckTemperature, [&] {
                std::uint8_t temperature = 0;
                const bool ok = proc_.CheckTemperature(port_, buffer_.get(),
                                                       s_.CheckMaxTemperatureValue, temperature);
                Write([&] { p_.record->Temperature = temperature; });
                return ok ? 0 : kCheckTemperature;
            });
        }
    }

    void EndOfRun() {
        Write([&] {
            PortRecord& r = *p_.record;
            r.Result = failed_ ? -1 : 1;
            r.YieldPending = failed_ ? -1 : 1;
            p_.hooks->SetGauge(port_, 100);
            p_.hooks->StopWatchdog(port_);
        });
    }

    WorkerParam& p_;
    const SettingsBlock& s_;
    const int port_;
    WorkerProcedures& proc_;
    std::unique_ptr<std::uint8_t[]> buffer_;
    bool alive_ = true;
    bool failed_ = false;
    int step_ = 0;
    int gauge_ = 0;
};

}  // namespace

int PortWorker(WorkerParam& param) {
    if (param.record == nullptr || param.hooks == nullptr || param.procedures == nullptr)
        return 0;
    WorkerRun(param).Run();
    return 0;
}

}  // namespace kv
