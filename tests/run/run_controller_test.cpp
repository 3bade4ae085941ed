#include "run/run_controller.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>

#include "support/scripted_worker.h"
#include "support/temp_folder.h"

namespace kv {
namespace {

using test::Gate;
using test::PassingTables;
using test::RecordingHooks;
using test::ScriptedProcedures;

class TestHost : public RunHost {
  public:
    std::array<ScriptedProcedures, kMaxPorts> procedures;
    RecordingHooks panel;
    PassingTables tables;
    std::vector<OperatorMessage> messages;
    std::function<bool()> stopRequest = [] { return false; };
    int rescans = 0;
    int preparedFor = -1;
    bool closed = false;

    std::function<void()> onPump;
    void Pump() override {
        if (onPump)
            onPump();
    }
    void ShowWaitPanel(bool) override {}
    void ShowElapsedTime(const std::string&) override {}
    void ShowMessage(const OperatorMessage& m) override { messages.push_back(m); }
    bool TakeStopRequest() override { return stopRequest(); }
    void ResetAndRescan() override { ++rescans; }
    bool ReadDriveSerial(int, std::string& serial) override {
        serial = "DRIVE-SERIAL";
        return true;
    }
    void PrepareRun(int connected) override { preparedFor = connected; }
    WorkerProcedures& Procedures(int port) override { return procedures[port]; }
    TableDrive& TableTransfers(int) override { return tables; }
    WorkerHooks& Panel() override { return panel; }
    bool IsSataPath(int) override { return true; }
    bool ReadSmartSector(int, std::uint8_t (&)[512]) override { return false; }
    void CloseApplication() override { closed = true; }
    void CaptureScreen(const std::string&) override {}
};

class RunControllerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        settings.block.ItemEnabled[kBusInterfaceTest] = 1;
        settings.block.ItemEnabled[kRWTest] = 1;
        std::strcpy(settings.block.SerialNum, "SN0001");
        settings.block.SNAutoInc = 1;
        for (int i = 0; i < 3; ++i)
            ports[i].Present = ports[i].Attached = 1;
        context.settings = &settings;
        context.ap = &ap;
        context.ports = &ports;
        context.views = &views;
        context.portCount = 4;
        context.errors = &errors;
        context.checkList = BuildCheckList(settings.block.ItemEnabled, false);
        context.logFolder = folder.path() + "/";
        context.programFolder = folder.path() + "/";
        log.logDir = context.logFolder;
        log.date = platform::Current().Now();
        context.dailyLog = &log;
        choices.checks.checkedLines = 2;
    }
    std::string DailyLogText() {
        std::ifstream in(log.Path(), std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    test::TempFolder folder;
    config::Settings settings;
    AP_GOLBAL ap;
    PortRecord ports[kMaxPorts];
    PortView views[kMaxPorts];
    PortErrorBuffer errors;
    DailyLog log;
    RunContext context;
    RunChoices choices;
    TestHost host;
};

TEST_F(RunControllerTest, RunsEveryPresentPortAndWritesTheResults) {
    settings.block.ItemEnabled[kDownload] = 1;  // numbers advance only when firmware is written
    context.checkList = BuildCheckList(settings.block.ItemEnabled, false);
    choices.checks.checkedLines = 3;
    host.procedures[1].fails["RWTest"] = true;
    const RunOutcome outcome = RunController(context, choices, host);
    EXPECT_EQ(outcome.result, 1);
    EXPECT_EQ(host.rescans, 1);
    EXPECT_EQ(host.preparedFor, 3);
    EXPECT_EQ(ports[0].Result, 1);
    EXPECT_EQ(ports[1].Result, -1);
    EXPECT_EQ(ports[2].Result, 1);
    EXPECT_EQ(ports[3].Result, 0);  // not present: no worker
    EXPECT_TRUE(host.procedures[3].calls.empty());
    // Each port got its own serial number from the sequence.
    EXPECT_STREQ(ports[0].SerialNumber, "SN0001");
    EXPECT_STREQ(ports[1].SerialNumber, "SN0002");
    EXPECT_STREQ(ports[2].SerialNumber, "SN0003");
    // The refresh counted the yield once per present port.
    EXPECT_EQ(settings.block.Yield.TotalTestCount, 3);
    EXPECT_EQ(settings.block.Yield.NumberOfPass, 2);
    EXPECT_EQ(views[0].colour, PanelColour::Green);
    EXPECT_EQ(views[1].colour, PanelColour::Red);
    const std::string text = DailyLogText();
    EXPECT_NE(text.find("SN0002"), std::string::npos);
    EXPECT_NE(text.find("SN0003"), std::string::npos);
}

TEST_F(RunControllerTest, WrongConnectionCountStopsBeforeAnyWorker) {
    settings.block.ConnectDevNum = 4;
    const RunOutcome outcome = RunController(context, choices, host);
    EXPECT_EQ(outcome.result, 0);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, kConnectionCountText);
    EXPECT_TRUE(host.procedures[0].calls.empty());
}

TEST_F(RunControllerTest, WatchdogExpiryEndsPortsWithoutCountingThem) {
    Gate gate;
    settings.block.TimeOut = 1;  // 1 ms
    ports[3].Present = 1;
    for (int port = 0; port < 3; ++port) {
        auto& p = host.procedures[port];
        p.onCall = [&p, &gate] {
            if (p.calls.back() == "BusInterfaceTest")
                gate.Wait();
        };
    }
    // Port 3 passes before its watchdog can matter; ports 0..2 hang until all
    // three have been cut off (the controller's thread checks in its pump).
    host.procedures[3].fails.clear();
    host.onPump = [&] {
        if (ports[0].FailCode == kFailTimeout && ports[1].FailCode == kFailTimeout &&
            ports[2].FailCode == kFailTimeout) {
            gate.Open();
        }
    };
    RunController(context, choices, host);
    gate.Open();
    for (int port = 0; port < 3; ++port) {
        SCOPED_TRACE(port);
        EXPECT_EQ(ports[port].FailCode, kFailTimeout);
        EXPECT_EQ(ports[port].ReportedFailCode, kFailTimeout);
        EXPECT_EQ(ports[port].Result, -1);
        EXPECT_EQ(ports[port].YieldPending, 0);
        EXPECT_FALSE(host.procedures[port].Called("RWTest"));
    }
    // Only a port that ended on its own is counted in the yield.
    EXPECT_EQ(settings.block.Yield.TotalTestCount, ports[3].Result == 1 ? 1 : 0);
}

TEST_F(RunControllerTest, StopButtonEndsRunningPortsAndTheBatch) {
    Gate gate;
    for (int port = 0; port < 3; ++port) {
        auto& p = host.procedures[port];
        p.onCall = [&p, &gate] {
            if (p.calls.back() == "RWTest")
                gate.Wait();
        };
    }
    BatchState batch(true, 3);
    choices.batch = &batch;
    std::atomic<bool> pressed{false};
    host.stopRequest = [&] {
        if (pressed || !gate.reached)
            return false;
        pressed = true;
        return true;
    };
    std::thread release([&] {
        while (!pressed)
            std::this_thread::yield();
        gate.Open();
    });
    RunController(context, choices, host);
    release.join();
    for (int port = 0; port < 3; ++port) {
        SCOPED_TRACE(port);
        EXPECT_EQ(ports[port].FailCode, kPreformat);
        EXPECT_EQ(ports[port].ItemStatus[kPreformat], kItemFailed);
        EXPECT_EQ(ports[port].Result, -1);
        EXPECT_NE(ports[port].ItemStatus[kRWTest], kItemPassed);
    }
    EXPECT_FALSE(batch.continueFlag());
    EXPECT_FALSE(batch.passFlag());
}

TEST_F(RunControllerTest, FirmwareUpdateModeTakesTheDrivesSerial) {
    settings.block.EnUpdateFirmwareMode = 1;
    RunController(context, choices, host);
    EXPECT_STREQ(ports[0].SerialNumber, "DRIVE-SERIAL");
}

}  // namespace
}  // namespace kv
