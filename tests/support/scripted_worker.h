// Worker procedures answering from a table of results, and panel hooks that
// record what a worker showed: for tests of the worker and the run controller.
#pragma once

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "run/table_mode.h"
#include "run/test_item_catalogue.h"
#include "run/worker_hooks.h"
#include "run/worker_procedures.h"

namespace kv::test {

// Procedures answering from a table of results; every call is logged by name.
class ScriptedProcedures : public WorkerProcedures {
  public:
    std::map<std::string, bool> fails;  // name -> true makes that call fail
    std::vector<std::string> calls;
    std::uint32_t badBlockSums[5] = {};
    std::vector<std::string> earlyBadPaths;
    std::vector<std::uint8_t> ppidSector;
    std::function<void()> onCall;  // runs inside every call (e.g. a cut-off)

    bool Ok(const std::string& name) {
        calls.push_back(name);
        if (onCall)
            onCall();
        return !fails.count(name) || !fails[name];
    }

    bool EraseCountSaved(int) override { return Ok("EraseCountSaved"); }
    bool SmartInfoSaved(int) override { return Ok("SmartInfoSaved"); }
    void SetBridgeState(int, int) override { Ok("SetBridgeState"); }
    void ShowRdtResult(int) override { Ok("ShowRdtResult"); }
    int CheckRdtResult(int, std::uint8_t*, const char*, int, char (&serial)[22]) override {
        std::strcpy(serial, "RDT123");
        return Ok("CheckRdtResult") ? 1 : kFailBbPerPlaneOverSpec;
    }
    bool FlashModuleTest(int, std::uint8_t*) override { return Ok("FlashModuleTest"); }
    bool RebuildBadBlock(int, std::uint8_t*, int) override { return Ok("RebuildBadBlock"); }
    bool BusInterfaceTest(int, std::uint8_t* b) override {
        b[0] = 0x5A;  // the procedure's record
        return Ok("BusInterfaceTest");
    }
    bool FlashInterfaceTest(int, std::uint8_t*, std::int32_t& info, std::uint8_t& flag) override {
        info = 7;
        flag = 1;
        return Ok("FlashInterfaceTest");
    }
    bool EraseBlocks(int, std::uint8_t*) override { return Ok("EraseBlocks"); }
    bool GetCodeBlocks(int, std::uint8_t*) override { return Ok("GetCodeBlocks"); }
    bool PreFormat(int, std::uint8_t*, bool, bool, bool) override { return Ok("PreFormat"); }
    bool DownloadFirmware(int, std::uint8_t*, const char*, const char*, const std::string& path,
                          int) override {
        earlyBadPaths.push_back(path);
        std::ofstream(path) << "EB";
        return Ok("DownloadFirmware");
    }
    bool UploadFirmware(int, std::uint8_t*) override { return Ok("UploadFirmware"); }
    bool IsLoaderDevice(int) override { return Ok("IsLoaderDevice"); }
    bool EnterVendorMode(int, std::uint8_t*) override { return Ok("EnterVendorMode"); }
    int WritePpidLog(int, const std::uint8_t* sector) override {
        ppidSector.assign(sector, sector + 512);
        return Ok("WritePpidLog") ? 1 : 2;
    }
    int Standby(int) override { return Ok("Standby") ? 1 : 2; }
    bool RWTest(int, std::uint8_t*) override { return Ok("RWTest"); }
    bool CheckTables(int, std::uint8_t*) override { return Ok("CheckTables"); }
    bool CountBadBlocks(int, std::uint8_t*, std::uint8_t*, std::uint32_t (&sums)[5]) override {
        std::memcpy(sums, badBlockSums, sizeof badBlockSums);
        return Ok("CountBadBlocks");
    }
    bool SetMaxLba(int, std::uint8_t*, std::uint64_t) override { return Ok("SetMaxLba"); }
    bool DiskFormat(int, const char*, char& letter) override {
        letter = 'E';
        return Ok("DiskFormat");
    }
    bool CopyImage(int, std::uint8_t*, const char*) override { return Ok("CopyImage"); }
    bool FlushPass(int, std::uint8_t*) override { return Ok("FlushPass"); }
    bool CheckImgPattern(int, std::uint8_t*) override { return Ok("CheckImgPattern"); }
    bool CheckTemperature(int, std::uint8_t*, std::uint8_t, std::uint8_t& t) override {
        t = 41;
        return Ok("CheckTemperature");
    }

    bool Called(const std::string& name) const {
        return std::find(calls.begin(), calls.end(), name) != calls.end();
    }
};

// Records the panel calls of one port (the single-worker tests) and, for
// several workers at once, every port's captions in their order.
class RecordingHooks : public WorkerHooks {
  public:
    std::vector<std::string> captions;
    std::map<int, std::vector<std::string>> portCaptions;
    int gauge = -1;
    PanelColour colour = PanelColour::ButtonFace;
    std::int64_t watchdogMs = 0;
    bool watchdogStopped = false;
    void SetCaption(int port, const std::string& c) override {
        std::lock_guard<std::mutex> lock(mutex_);
        captions.push_back(c);
        portCaptions[port].push_back(c);
    }
    void SetColour(int, PanelColour c) override {
        std::lock_guard<std::mutex> lock(mutex_);
        colour = c;
    }
    void SetGauge(int, int v) override {
        std::lock_guard<std::mutex> lock(mutex_);
        gauge = v;
    }
    void SetSecondGauge(int, int) override {}
    void ShowSerial(int, const std::string&, const std::string&) override {}
    void ArmWatchdog(int, std::int64_t ms) override {
        std::lock_guard<std::mutex> lock(mutex_);
        watchdogMs = ms;
    }
    void StopWatchdog(int) override {
        std::lock_guard<std::mutex> lock(mutex_);
        watchdogStopped = true;
    }

  private:
    std::mutex mutex_;
};

// A latch a procedure waits on until the test opens it.
struct Gate {
    std::mutex m;
    std::condition_variable cv;
    bool open = false;
    std::atomic<bool> reached{false};
    void Wait() {
        reached = true;
        std::unique_lock<std::mutex> lock(m);
        cv.wait(lock, [&] { return open; });
    }
    void Open() {
        {
            std::lock_guard<std::mutex> lock(m);
            open = true;
        }
        cv.notify_all();
    }
};

// Table transfers that all succeed.
class PassingTables : public TableDrive {
  public:
    bool FlashModuleTest(int) override { return true; }
    bool GetCodeBlocks(int) override { return true; }
    bool GetDefectTable(int, const std::string&, int) override { return true; }
    bool PutDefectTable(int, const std::string&, int) override { return true; }
    int CheckDefectTable(int) override { return 1; }
    bool GetLaterTable(int, const std::string&, int) override { return true; }
    bool PutLaterTable(int, const std::string&, int) override { return true; }
    void Wait(int) override {}
};

}  // namespace kv::test
