#include "run/port_worker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "run/test_item_catalogue.h"
#include "support/scripted_worker.h"
#include "support/temp_folder.h"

namespace kv {
namespace {

using test::RecordingHooks;
using test::ScriptedProcedures;

class PortWorkerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        param.port = 3;
        param.record = &record;
        param.errors = &errors;
        param.hooks = &hooks;
        param.procedures = &procedures;
        param.guard = &guard;
        param.logFolder = folder.path() + "/";
        std::strcpy(record.SerialNumber, "SN0001");
    }
    void Enable(std::initializer_list<int> items) {
        for (int item : items)
            param.settings.ItemEnabled[item] = 1;
        param.checks.checkedLines = static_cast<int>(items.size());
    }
    void Run() { EXPECT_EQ(PortWorker(param), 0); }

    test::TempFolder folder;
    PortRecord record;
    PortErrorBuffer errors;
    RecordingHooks hooks;
    ScriptedProcedures procedures;
    PortRunGuard guard;
    WorkerParam param;
};

TEST_F(PortWorkerTest, OnlyFlashModuleTestPassing) {
    Enable({kFlashModuleTest});
    Run();
    EXPECT_EQ(record.Result, 1);
    EXPECT_EQ(record.YieldPending, 1);
    for (int i = 0; i < kItemCount; ++i)
        EXPECT_EQ(record.ItemStatus[i], i == 1 ? 1 : 0) << i;
    EXPECT_EQ(hooks.gauge, 100);
    EXPECT_EQ(hooks.captions.front(), "Start");
    EXPECT_EQ(hooks.captions.back(), LookupTestItem(kFlashModuleTest).ItemName);
    EXPECT_EQ(hooks.colour, PanelColour::Yellow);
    EXPECT_EQ(hooks.watchdogMs, 300000);  // "TimeOut" 0
    EXPECT_TRUE(hooks.watchdogStopped);
}

TEST_F(PortWorkerTest, FailingBusTestEndsAtCodeBlockCheckBeforeDownload) {
    Enable({kBusInterfaceTest, kDownload});
    record.ItemStatus[kDownload] = 5;  // left from a previous run
    procedures.fails["BusInterfaceTest"] = true;
    Run();
    EXPECT_EQ(record.FailCode, kBusInterfaceTest);
    EXPECT_EQ(record.ItemStatus[kBusInterfaceTest], -1);
    EXPECT_EQ(record.ItemStatus[kDownload], 5);
    EXPECT_FALSE(procedures.Called("GetCodeBlocks"));
    EXPECT_EQ(record.Result, -1);
    EXPECT_EQ(errors.Slot(3, kBusInterfaceTest)[0], 0x5A);
}

TEST_F(PortWorkerTest, LaterItemAfterFailureIsMarkedWithoutRunning) {
    Enable({kBusInterfaceTest, kRWTest});
    procedures.fails["BusInterfaceTest"] = true;
    Run();
    EXPECT_EQ(record.ItemStatus[kRWTest], -1);
    EXPECT_FALSE(procedures.Called("RWTest"));
    EXPECT_EQ(hooks.gauge, 100);
}

TEST_F(PortWorkerTest, FailedCodeBlockCheckLeavesLaterStatusesAlone) {
    Enable({kPreformat, kDownload, kRWTest});
    for (int i = 7; i <= 16; ++i)
        record.ItemStatus[i] = 9;
    procedures.fails["GetCodeBlocks"] = true;
    Run();
    EXPECT_EQ(record.FailCode, kFailCheckLoaderBlock);
    for (int i = 7; i <= 16; ++i)
        EXPECT_EQ(record.ItemStatus[i], 9) << i;
    EXPECT_FALSE(procedures.Called("EraseBlocks"));  // EraseChk not checked
}

TEST_F(PortWorkerTest, CheckTablesOverLimitRecord) {
    Enable({kCheckTables});
    procedures.badBlockSums[0] = 12;
    procedures.badBlockSums[3] = 0x01020304;
    Run();
    EXPECT_EQ(record.FailCode, kFailBadBlockOver);
    const std::uint8_t* slot = errors.Slot(3, kFailBadBlockOver);
    EXPECT_EQ(slot[0], 0xBB);
    EXPECT_EQ(slot[1], 12);
    EXPECT_EQ(slot[1 + 12], 0x04);
    EXPECT_EQ(slot[1 + 15], 0x01);
}

TEST_F(PortWorkerTest, CheckTablesFailureAndCleanCount) {
    Enable({kCheckTables});
    Run();
    EXPECT_EQ(record.Result, 1);
    EXPECT_TRUE(procedures.Called("EnterVendorMode"));
    procedures.fails["CheckTables"] = true;
    Run();
    EXPECT_EQ(record.FailCode, kCheckTables);
}

TEST_F(PortWorkerTest, EarlyBadFileNamesCountUp) {
    Enable({kDownload});
    for (int i = 0; i < 3; ++i)
        Run();
    ASSERT_EQ(procedures.earlyBadPaths.size(), 3u);
    EXPECT_EQ(procedures.earlyBadPaths[0], param.logFolder + "SN0001_EB.txt");
    EXPECT_EQ(procedures.earlyBadPaths[1], param.logFolder + "SN0001(0)_EB.txt");
    EXPECT_EQ(procedures.earlyBadPaths[2], param.logFolder + "SN0001(1)_EB.txt");
}

TEST_F(PortWorkerTest, PreChecksEndTheRunBeforeAnyItem) {
    struct Case {
        const char* name;
        std::function<void(WorkerParam&, ScriptedProcedures&, PortRecord&)> set;
        int code;
    } cases[] = {
        {"erase counts not saved",
         [](WorkerParam& p, ScriptedProcedures& s, PortRecord&) {
             p.settings.EnKeepEraseCount = 1;
             s.fails["EraseCountSaved"] = true;
         },
         kFailCheckEraseCount},
        {"smart not saved",
         [](WorkerParam& p, ScriptedProcedures& s, PortRecord&) {
             p.settings.EnKeepSmartInfo = 1;
             s.fails["SmartInfoSaved"] = true;
         },
         kFailGetSmartInfo},
        {"rdt verdict",
         [](WorkerParam& p, ScriptedProcedures& s, PortRecord&) {
             p.settings.EnCheckRDT = 1;
             s.fails["CheckRdtResult"] = true;
         },
         kFailBbPerPlaneOverSpec},
        {"serial length",
         [](WorkerParam& p, ScriptedProcedures&, PortRecord& r) {
             p.settings.EnCheckSnLength = 1;
             p.settings.CheckSnLengthValue = 12;
             std::strcpy(r.SerialNumber, "ABCDEFGHIJKLM");
         },
         kFailCheckSnLength},
        {"ppid length",
         [](WorkerParam& p, ScriptedProcedures&, PortRecord& r) {
             p.settings.EnPPID = 1;
             p.settings.CheckPPIDLengthValue = 5;
             std::strcpy(r.Ppid, "1234");
         },
         kFailCheckPpidLength},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PortRecord fresh;
        record = fresh;
        std::strcpy(record.SerialNumber, "SN0001");
        procedures = ScriptedProcedures();
        param.settings = SettingsBlock();
        Enable({kFlashModuleTest});
        c.set(param, procedures, record);
        Run();
        EXPECT_EQ(record.FailCode, c.code);
        EXPECT_EQ(record.ReportedFailCode, c.code);
        EXPECT_EQ(record.Result, -1);
        EXPECT_FALSE(procedures.Called("FlashModuleTest"));
    }
}

TEST_F(PortWorkerTest, ClaimNewModeRebuildsOnceAndStops) {
    Enable({kFlashModuleTest, kRWTest});
    param.claimNewMode = true;
    param.checks.rebuildClose = true;
    procedures.fails["RebuildBadBlock"] = true;
    Run();
    EXPECT_EQ(record.Result, 1);
    EXPECT_FALSE(procedures.Called("RWTest"));
    param.checks.rebuildClose = false;
    Run();
    EXPECT_EQ(record.Result, -1);
    EXPECT_EQ(record.FailCode, kRebuildBadBlock);
}

TEST_F(PortWorkerTest, FirstFailureOfLeadingItemEndsRunWithoutStep) {
    Enable({kFlashModuleTest, kBusInterfaceTest});
    procedures.fails["FlashModuleTest"] = true;
    Run();
    EXPECT_EQ(record.FailCode, kFlashModuleTest);
    EXPECT_EQ(record.ItemStatus[kBusInterfaceTest], 0);
    EXPECT_FALSE(procedures.Called("BusInterfaceTest"));
}

TEST_F(PortWorkerTest, WritePpidSectorAndStandby) {
    Enable({kWritePpid});
    std::strcpy(record.Ppid, "PPID-ABCDEFGHIJKLMNOPQRS");  // 24 characters, 23 are sent
    Run();
    ASSERT_EQ(procedures.ppidSector.size(), 512u);
    EXPECT_EQ(std::string(procedures.ppidSector.begin(), procedures.ppidSector.begin() + 24),
              "PPID-ABCDEFGHIJKLMNOPQR ");
    EXPECT_EQ(procedures.ppidSector[511], 0x20);
    EXPECT_TRUE(procedures.Called("Standby"));
    EXPECT_EQ(record.Result, 1);
}

TEST_F(PortWorkerTest, CopyImageNeedsDownloadAndAddsNoStep) {
    Enable({kDownload, kCopyImage});
    param.checks.checkedLines = 1;  // Copy Image has no check-list line
    Run();
    EXPECT_EQ(record.ItemStatus[kCopyImage], 1);
    EXPECT_EQ(std::count(procedures.calls.begin(), procedures.calls.end(), "FlushPass"), 2);
    procedures.calls.clear();
    param.settings.ItemEnabled[kDownload] = 0;
    Run();
    EXPECT_FALSE(procedures.Called("CopyImage"));
}

TEST_F(PortWorkerTest, NoCheckedLineNeedsNoStep) {
    param.settings.ItemEnabled[kCheckTemperature] = 1;
    param.checks.checkedLines = 0;
    Run();
    EXPECT_EQ(record.Result, 1);
    EXPECT_EQ(record.Temperature, 41);
    EXPECT_EQ(hooks.gauge, 100);
}

TEST_F(PortWorkerTest, CutOffRunKeepsTheControllersOutcome) {
    Enable({kBusInterfaceTest, kRWTest, kCheckTemperature});
    procedures.onCall = [&] {
        if (procedures.calls.back() == "BusInterfaceTest") {
            guard.CutOff([&] {
                record.FailCode = kFailTimeout;
                record.Result = -1;
            });
        }
    };
    Run();
    EXPECT_EQ(record.FailCode, kFailTimeout);
    EXPECT_EQ(record.ItemStatus[kBusInterfaceTest], kItemRunning);
    EXPECT_FALSE(procedures.Called("RWTest"));
    EXPECT_FALSE(hooks.watchdogStopped);
}

}  // namespace
}  // namespace kv
