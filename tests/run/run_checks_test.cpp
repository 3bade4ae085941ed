#include "run/run_checks.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "run/test_item_catalogue.h"

namespace kv {
namespace {

// --- Batch -------------------------------------------------------------------

// Runs a whole START: `failing(round)` tells whether the round's drive fails.
struct BatchRun {
    int repetitions = 0;
    BatchPanel panel = BatchPanel::Hidden;
    std::vector<std::string> labels;
};

template <typename Failing>
BatchRun RunBatch(bool batchMode, int repeat, bool ignoreError, Failing failing) {
    BatchState batch(batchMode, repeat);
    BatchRun run;
    while (batch.MoreRepetitions()) {
        ++run.repetitions;
        if (auto label = batch.RoundLabel())
            run.labels.push_back(*label);
        batch.PortEnded(failing(batch.Round()), ignoreError);
        batch.EndRepetition();
    }
    run.panel = batch.FinalPanel();
    return run;
}

TEST(BatchState, RepeatTimesWithIgnoreErrorBothWays) {
    const auto alwaysFails = [](int) { return true; };
    const BatchRun ignore = RunBatch(true, 3, true, alwaysFails);
    EXPECT_EQ(ignore.repetitions, 3);
    EXPECT_EQ(ignore.panel, BatchPanel::Red);
    EXPECT_EQ(ignore.labels, (std::vector<std::string>{"Batch Mode Round 1", "Batch Mode Round 2",
                                                       "Batch Mode Round 3"}));

    const BatchRun stop = RunBatch(true, 3, false, alwaysFails);
    EXPECT_EQ(stop.repetitions, 1);
    EXPECT_EQ(stop.panel, BatchPanel::Red);

    const BatchRun pass = RunBatch(true, 3, false, [](int) { return false; });
    EXPECT_EQ(pass.repetitions, 3);
    EXPECT_EQ(pass.panel, BatchPanel::Green);

    // A failure in the first round keeps the batch red after passing rounds.
    const BatchRun late = RunBatch(true, 3, true, [](int round) { return round == 1; });
    EXPECT_EQ(late.repetitions, 3);
    EXPECT_EQ(late.panel, BatchPanel::Red);
}

TEST(BatchState, OneRepetitionWithoutBatchOrRepeatCount) {
    const BatchRun plain = RunBatch(false, 5, false, [](int) { return true; });
    EXPECT_EQ(plain.repetitions, 1);
    EXPECT_EQ(plain.panel, BatchPanel::Hidden);
    EXPECT_TRUE(plain.labels.empty());

    const BatchRun zero = RunBatch(true, 0, false, [](int) { return false; });
    EXPECT_EQ(zero.repetitions, 1);
    EXPECT_TRUE(zero.labels.empty());
    EXPECT_EQ(zero.panel, BatchPanel::Green);
}

TEST(BatchState, APassingPortDoesNotUndoAFailureOfTheSameRound) {
    BatchState batch(true, 2);
    batch.PortEnded(true, true);
    batch.PortEnded(false, true);
    EXPECT_FALSE(batch.passFlag());
    EXPECT_TRUE(batch.continueFlag());
}

TEST(BatchState, StopButtonEndsTheBatchAsFailed) {
    BatchState batch(true, 4);
    batch.StopPressed();
    EXPECT_FALSE(batch.MoreRepetitions());
    EXPECT_EQ(batch.FinalPanel(), BatchPanel::Red);
}

// --- Set-up checks -------------------------------------------------------------

struct StartSetup {
    config::Settings settings;
    AP_GOLBAL ap;
    PortRecord ports[kMaxPorts];
    std::vector<CheckListLine> checkList{{"Preformat", true}, {"Download", true}};
    StartCheckInput input;

    StartSetup() {
        settings.block.Channel = 4;
        settings.block.Bank = 2;
        settings.block.SNMinLength = 12;
        input.settings = &settings;
        input.ap = &ap;
        input.checkList = &checkList;
        input.sataBin = true;
        input.flashCapacityGb = 64;
    }
    std::string Check() {
        const auto message = CheckStartSetup(input, ports);
        return message ? message->text : "";
    }
};

TEST(StartChecks, FirstFailingCheckGivesItsMessage) {
    struct Case {
        const char* name;
        void (*arrange)(StartSetup&);
        const char* message;
    };
    const Case cases[] = {
        {"sound", [](StartSetup&) {}, ""},
        {"capacity matches", [](StartSetup& s) { s.settings.block.Capacity = 6; }, ""},
        {"capacity differs", [](StartSetup& s) { s.settings.block.Capacity = 5; },
         "Please make sure the Flash parameter selection!"},
        {"capacity beyond the list", [](StartSetup& s) { s.settings.block.Capacity = 11; },
         "Please make sure the Flash parameter selection!"},
        {"capacity first of all",
         [](StartSetup& s) {
             s.settings.block.Capacity = 1;
             s.settings.block.Channel = 0;
         },
         "Please make sure the Flash parameter selection!"},
        {"five channels", [](StartSetup& s) { s.settings.block.Channel = 5; },
         "Please check total channel's number, only support 1, 2, 3, and 4 channel"},
        {"three banks", [](StartSetup& s) { s.settings.block.Bank = 3; },
         "Please check total bank's number, only support 1, 2, 4 and 8 bank"},
        {"eight banks", [](StartSetup& s) { s.settings.block.Bank = 8; }, ""},
        {"special mode allows any count",
         [](StartSetup& s) {
             s.settings.block.Channel = 8;
             s.settings.block.Bank = 3;
             s.input.specialMode = true;
         },
         ""},
        {"two files, short serial",
         [](StartSetup& s) {
             s.input.usbBin = true;
             s.settings.block.SNMinLength = 11;
         },
         "When mptool download SATA and USB codes to flash simultaneously, the length of SN "
         "is'nt less than 12"},
        {"one file, short serial", [](StartSetup& s) { s.settings.block.SNMinLength = 11; }, ""},
        {"equal scanned serials",
         [](StartSetup& s) {
             s.settings.block.EnBarCode = 1;
             s.ports[2].Present = s.ports[9].Present = 1;
             std::snprintf(s.ap.BarcodeSn[2], 40, "SAME");
             std::snprintf(s.ap.BarcodeSn[9], 40, "SAME");
         },
         "The SN isn't unique"},
        {"equal serial on an empty port",
         [](StartSetup& s) {
             s.settings.block.EnBarCode = 1;
             s.ports[2].Present = 1;
             std::snprintf(s.ap.BarcodeSn[2], 40, "SAME");
             std::snprintf(s.ap.BarcodeSn[9], 40, "SAME");
         },
         ""},
        {"equal serials without bar codes",
         [](StartSetup& s) {
             s.ports[2].Present = s.ports[9].Present = 1;
             std::snprintf(s.ap.BarcodeSn[2], 40, "SAME");
             std::snprintf(s.ap.BarcodeSn[9], 40, "SAME");
         },
         ""},
    };
    for (const Case& c : cases) {
        auto setup = std::make_unique<StartSetup>();
        c.arrange(*setup);
        EXPECT_EQ(setup->Check(), c.message) << c.name;
    }
}

TEST(StartChecks, CapacityMismatchClearsTheAttachedPortsStatuses) {
    auto setup = std::make_unique<StartSetup>();
    setup->settings.block.Capacity = 3;
    for (int i : {0, 1}) {
        setup->ports[i].ItemStatus[kPreformat] = kItemFailed;
        setup->ports[i].ItemStatus[kDownload] = kItemPassed;
        setup->ports[i].ItemStatus[kRWTest] = kItemPassed;  // not on the list
        setup->ports[i].Result = -1;
    }
    setup->ports[0].Attached = 1;

    EXPECT_EQ(setup->Check(), kFlashParameterText);
    EXPECT_EQ(setup->ports[0].ItemStatus[kPreformat], kItemNotSelected);
    EXPECT_EQ(setup->ports[0].ItemStatus[kDownload], kItemNotSelected);
    EXPECT_EQ(setup->ports[0].ItemStatus[kRWTest], kItemPassed);
    EXPECT_EQ(setup->ports[0].Result, 0);
    EXPECT_EQ(setup->ports[1].ItemStatus[kPreformat], kItemFailed);
    EXPECT_EQ(setup->ports[1].Result, -1);
}

// --- Drive checks ---------------------------------------------------------------

struct FakeDrive {
    bool loader = false;
    bool ntfs = false;
    bool identifyOk = true;
    std::uint8_t speed = 0;
};

class FakeProbe : public StartDriveProbe {
  public:
    std::map<int, FakeDrive> drives;
    std::vector<int> probed;

    bool IsLoaderMode(int port) override {
        probed.push_back(port);
        return drives[port].loader;
    }
    bool ReadFirstSector(int port, std::uint8_t (&sector)[512]) override {
        if (drives[port].ntfs) {
            sector[510] = 0x55;
            sector[511] = 0xAA;
            sector[446 + 2 * 16 + 4] = 0x07;
        }
        return true;
    }
    bool ReadIdentify(int port, std::uint8_t (&identify)[512]) override {
        identify[152] = drives[port].speed;
        identify[153] = 0xFF;
        return drives[port].identifyOk;
    }
};

TEST(StartChecks, NtfsPartitionNeedsSignatureAndType) {
    struct Case {
        bool signature;
        std::uint8_t type;
        int entry;
        bool ntfs;
    };
    const Case cases[] = {{true, 0x07, 0, true},
                          {true, 0x07, 3, true},
                          {false, 0x07, 0, false},
                          {true, 0x0B, 0, false},
                          {true, 0x0C, 1, false}};
    for (const Case& c : cases) {
        std::uint8_t sector[512] = {};
        if (c.signature) {
            sector[510] = 0x55;
            sector[511] = 0xAA;
        }
        sector[446 + c.entry * 16 + 4] = c.type;
        EXPECT_EQ(HasNtfsPartition(sector), c.ntfs) << int(c.type) << " " << c.entry;
    }
}

TEST(StartChecks, DrivesGiveSpeedsUntilAnNtfsDisk) {
    PortRecord ports[kMaxPorts];
    for (int i : {0, 1, 2, 3, 4})
        ports[i].Present = 1;
    FakeProbe probe;
    probe.drives[0] = {true, false, true, 0};
    probe.drives[1] = {false, false, true, 0x0E};
    probe.drives[2] = {false, false, false, 0x06};
    probe.drives[3] = {false, true, true, 0x06};

    const DriveCheck check = CheckStartDrives(ports, probe);
    ASSERT_TRUE(check.message.has_value());
    EXPECT_EQ(check.message->text,
              "Please remove the #4 SSD's disk partition (NTFS) before initialize the SSD.");
    EXPECT_EQ(probe.probed, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(check.sataSpeed[0], std::optional<std::uint8_t>(kLoaderSataSpeed));
    EXPECT_EQ(check.sataSpeed[1], std::optional<std::uint8_t>(0x0E));
    EXPECT_FALSE(check.sataSpeed[2].has_value());  // IDENTIFY failed
    EXPECT_FALSE(check.sataSpeed[3].has_value());
}

// --- Modes, items and the whole decision ------------------------------------------

TEST(RunModes, ChosenOnlyOnTheRdPage) {
    struct Case {
        RdPageChoice choice;
        bool table;
        bool claimNew;
    };
    const Case cases[] = {
        {{false, true, true, false, false, false}, false, false},
        {{true, false, false, false, false, false}, false, false},
        {{true, true, true, false, false, false}, false, true},
        {{true, false, true, false, false, false}, true, false},
        {{true, false, false, true, false, false}, true, false},
        {{true, false, false, false, true, false}, true, false},
        {{true, false, false, false, false, true}, true, false},
    };
    for (const Case& c : cases) {
        const RunModes modes = ChooseRunModes(c.choice);
        EXPECT_EQ(modes.TableMode, c.table);
        EXPECT_EQ(modes.ClaimNewMode, c.claimNew);
    }
}

class RunItemsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        folder_ =
            std::filesystem::path(::testing::TempDir()) /
            ("run_items_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
             "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(folder_);
        std::ofstream(folder_ / "SYS_S.bin", std::ios::binary) << std::string(1025, 'x');
        firmware_.programFolder = folder_.string() + "/";
        firmware_.sataName = "SYS_S.bin";
        firmware_.usbName = "SYS_U.bin";
        firmware_.pagesPerBlock = 128;
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    std::filesystem::path folder_;
    FirmwareChoice firmware_;
    std::uint8_t enabled_[kItemCount] = {};
};

TEST_F(RunItemsTest, OutcomeByItemsAndFiles) {
    EXPECT_EQ(PrepareRunItems(enabled_, true, false, firmware_).outcome,
              StartOutcome::NothingToRun);

    enabled_[kRWTest] = 1;  // no firmware needed: no file is even looked at
    RunItems rw = PrepareRunItems(enabled_, false, false, firmware_);
    EXPECT_EQ(rw.outcome, StartOutcome::Run);
    EXPECT_TRUE(rw.files.Files.empty());

    for (const int item : {kDownload, kUpload, kCheckTables}) {
        std::uint8_t one[kItemCount] = {};
        one[item] = 1;
        const RunItems none = PrepareRunItems(one, false, false, firmware_);
        EXPECT_EQ(none.outcome, StartOutcome::StartEnds) << item;
        ASSERT_TRUE(none.message.has_value());
        EXPECT_EQ(none.message->text, "At lease one bin file needed!");
    }

    enabled_[kDownload] = 1;
    const RunItems ready = PrepareRunItems(enabled_, true, false, firmware_);
    EXPECT_EQ(ready.outcome, StartOutcome::Run);
    ASSERT_EQ(ready.files.Files.size(), 1u);
    EXPECT_EQ(ready.files.Files[0].SizeKiB, 2u);

    const RunItems missing = PrepareRunItems(enabled_, true, true, firmware_);
    EXPECT_EQ(missing.outcome, StartOutcome::RunEnds);
    ASSERT_TRUE(missing.message.has_value());
    EXPECT_EQ(missing.message->text, "Can't open: " + firmware_.programFolder + "SYS_U.bin");

    firmware_.pagesPerBlock = 64;
    EXPECT_EQ(PrepareRunItems(enabled_, true, true, firmware_).outcome, StartOutcome::StartEnds);
}

TEST_F(RunItemsTest, DecisionFollowsTheOrderOfStart) {
    auto setup = std::make_unique<StartSetup>();
    setup->ports[0].Present = 1;
    setup->settings.block.ItemEnabled[kDownload] = 1;
    FakeProbe probe;

    // A failed set-up check touches no drive.
    setup->settings.block.Bank = 3;
    StartDecision refused = ExecuteChecks(setup->input, setup->ports, probe, {}, firmware_);
    EXPECT_EQ(refused.outcome, StartOutcome::StartEnds);
    EXPECT_TRUE(probe.probed.empty());

    // Table mode needs no firmware file, even when none is chosen.
    setup->settings.block.Bank = 2;
    setup->input.sataBin = false;
    RdPageChoice table{true, false, true, false, false, false};
    StartDecision tableRun = ExecuteChecks(setup->input, setup->ports, probe, table, firmware_);
    EXPECT_EQ(tableRun.outcome, StartOutcome::Run);
    EXPECT_TRUE(tableRun.modes.TableMode);
    EXPECT_EQ(probe.probed, (std::vector<int>{0}));

    StartDecision normal = ExecuteChecks(setup->input, setup->ports, probe, {}, firmware_);
    EXPECT_EQ(normal.outcome, StartOutcome::StartEnds);
    EXPECT_EQ(normal.message->text, "At lease one bin file needed!");
}

TEST(RunController, ConnectionCountCheck) {
    struct Case {
        int connected;
        int expected;
        bool refused;
    };
    const Case cases[] = {{0, 0, true}, {3, 0, false}, {3, 3, false}, {3, 4, true}, {5, 4, true}};
    for (const Case& c : cases) {
        const auto message = CheckConnectionCount(c.connected, c.expected);
        EXPECT_EQ(message.has_value(), c.refused) << c.connected << " " << c.expected;
        if (message) {
            EXPECT_EQ(message->text, "Please Make sure the Connection devices Number!!");
        }
    }
}

TEST(RunController, RebuildCloseOnlyAfterTheFirstPresentPortPassed) {
    PortRecord ports[kMaxPorts];
    ports[1].Present = 1;
    ports[1].Result = 1;
    ports[4].Present = 1;
    ports[4].Result = -1;
    ports[0].Result = -1;  // no drive: not looked at
    const auto close = RebuildCloseMessage(true, true, ports);
    ASSERT_TRUE(close.has_value());
    EXPECT_EQ(close->text, "Rebuild O.K., Close the AP");
    EXPECT_FALSE(RebuildCloseMessage(true, false, ports).has_value());
    EXPECT_FALSE(RebuildCloseMessage(false, true, ports).has_value());
    ports[1].Result = -1;
    ports[4].Result = 1;
    EXPECT_FALSE(RebuildCloseMessage(true, true, ports).has_value());
}

TEST(RunController, DownloadOnlyNeedsSpecialModeWithoutPreformat) {
    std::uint8_t enabled[kItemCount] = {};
    enabled[kDownload] = 1;
    EXPECT_TRUE(DownloadOnlyRun(true, enabled));
    EXPECT_FALSE(DownloadOnlyRun(false, enabled));
    enabled[kPreformat] = 1;
    EXPECT_FALSE(DownloadOnlyRun(true, enabled));
}

}  // namespace
}  // namespace kv
