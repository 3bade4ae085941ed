#include "station/start_button.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "platform/paths.h"
#include "support/scripted_worker.h"
#include "support/temp_folder.h"

namespace kv {
namespace {

using test::PassingTables;
using test::RecordingHooks;
using test::ScriptedProcedures;

class RecordingUi : public SilentUi {
  public:
    std::vector<std::string> texts;
    MessageAnswer ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon,
                              MessageButtons buttons) override {
        texts.push_back(text);
        return SilentUi::ShowMessage(text, caption, icon, buttons);
    }
};

class FakeStartHost : public StartHost {
  public:
    std::array<ScriptedProcedures, kMaxPorts> procedures;
    RecordingHooks panel;
    PassingTables tables;
    std::vector<std::string> rounds;
    BatchPanel finalPanel = BatchPanel::Hidden;
    bool controlsEnabled = true;
    bool startEnabled = true;
    int runs = 0;

    void Pump() override {}
    void ShowWaitPanel(bool) override {}
    void ShowElapsedTime(const std::string&) override {}
    void ShowMessage(const OperatorMessage&) override {}
    bool TakeStopRequest() override { return false; }
    void ResetAndRescan() override { ++runs; }
    bool ReadDriveSerial(int, std::string&) override { return false; }
    void PrepareRun(int) override {}
    WorkerProcedures& Procedures(int port) override { return procedures[port]; }
    TableDrive& TableTransfers(int) override { return tables; }
    WorkerHooks& Panel() override { return panel; }
    bool IsSataPath(int) override { return true; }
    bool ReadSmartSector(int, std::uint8_t (&)[512]) override { return false; }
    void CloseApplication() override {}
    void CaptureScreen(const std::string&) override {}
    bool IsLoaderMode(int) override { return false; }
    bool ReadFirstSector(int, std::uint8_t (&)[512]) override { return false; }
    bool ReadIdentify(int, std::uint8_t (&)[512]) override { return false; }
    void EnableRunControls(bool enabled) override { controlsEnabled = enabled; }
    void EnableStart(bool enabled) override { startEnabled = enabled; }
    void ShowBatchRound(const std::string& text, BatchPanel) override { rounds.push_back(text); }
    void ShowBatchPanel(BatchPanel shown) override { finalPanel = shown; }
    int FlashCapacityGb() override { return 64; }
    int FlashPagesPerBlock() override { return 256; }
    const FlashConfig* Flash() override { return nullptr; }
    void SetSataSpeed(int, std::uint8_t) override {}
    void Terminate() override {}
};

class StartButtonTest : public ::testing::Test {
  protected:
    void SetUp() override {
        platform::SetStationFolder(folder.path() + "/");
        station.logFolder = folder.path() + "/";
        station.currentSettingsFile = "REVODEDE.ini";
        log.logDir = station.logFolder;
        log.date = platform::Current().Now();
        for (int i = 0; i < 2; ++i)
            station.ports[i].Present = station.ports[i].Attached = 1;
    }
    void CheckItems(std::initializer_list<int> items) {
        std::uint8_t enables[kItemCount] = {};
        for (int item : items)
            enables[item] = 1;
        station.controls.checkList = BuildCheckList(enables, false);
    }

    test::TempFolder folder;
    RecordingUi ui;
    Station station{ui};
    FakeStartHost host;
    DailyLog log;
    PortErrorBuffer errors;
    StartState state;
};

TEST_F(StartButtonTest, BatchRunsEveryRepetitionWhenErrorsAreIgnored) {
    CheckItems({kRWTest});
    station.settings.process.EnBatchMode = 1;
    host.procedures[1].fails["RWTest"] = true;
    RunControls controls;
    controls.repeatTimes = 3;
    controls.ignoreError = true;
    ExecuteBtnClick(station, controls, host, log, errors, state);
    EXPECT_EQ(state.repetitions, 3);
    EXPECT_EQ(host.rounds, (std::vector<std::string>{"Batch Mode Round 1", "Batch Mode Round 2",
                                                     "Batch Mode Round 3"}));
    EXPECT_EQ(host.finalPanel, BatchPanel::Red);
    EXPECT_TRUE(host.startEnabled);
    EXPECT_TRUE(host.controlsEnabled);
    EXPECT_FALSE(state.runInProgress);
}

TEST_F(StartButtonTest, BatchStopsAfterAFailingRepetitionWhenErrorsCount) {
    CheckItems({kRWTest});
    station.settings.process.EnBatchMode = 1;
    host.procedures[1].fails["RWTest"] = true;
    RunControls controls;
    controls.repeatTimes = 3;
    controls.ignoreError = false;
    ExecuteBtnClick(station, controls, host, log, errors, state);
    EXPECT_EQ(state.repetitions, 1);
    EXPECT_EQ(host.finalPanel, BatchPanel::Red);
}

TEST_F(StartButtonTest, PassingBatchEndsGreen) {
    CheckItems({kRWTest});
    station.settings.process.EnBatchMode = 1;
    RunControls controls;
    controls.repeatTimes = 2;
    ExecuteBtnClick(station, controls, host, log, errors, state);
    EXPECT_EQ(state.repetitions, 2);
    EXPECT_EQ(host.finalPanel, BatchPanel::Green);
}

TEST_F(StartButtonTest, NothingEnabledReEnablesTheWindowWithoutWorkers) {
    CheckItems({});
    ExecuteBtnClick(station, RunControls{}, host, log, errors, state);
    EXPECT_EQ(state.repetitions, 0);
    EXPECT_EQ(host.runs, 0);
    EXPECT_TRUE(host.controlsEnabled);
    EXPECT_FALSE(host.startEnabled);  // stays off until the next device refresh
    EXPECT_TRUE(host.procedures[0].calls.empty());
}

TEST_F(StartButtonTest, FailedCheckShowsItsMessageAndEndsStart) {
    CheckItems({kRWTest});
    std::strcpy(station.ap.BarcodeSn[0], "SAME");
    std::strcpy(station.ap.BarcodeSn[1], "SAME");
    station.settings.block.EnBarCode = 1;
    ExecuteBtnClick(station, RunControls{}, host, log, errors, state);
    ASSERT_EQ(ui.texts.size(), 1u);
    EXPECT_EQ(ui.texts[0], kSerialNotUniqueText);
    EXPECT_EQ(state.repetitions, 0);
    EXPECT_TRUE(host.controlsEnabled);
}

}  // namespace
}  // namespace kv
