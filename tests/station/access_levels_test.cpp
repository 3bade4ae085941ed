#include "station/access_levels.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "platform/paths.h"
#include "station/station.h"
#include "support/temp_folder.h"
#include "tools/sample_station.h"

namespace kv {
namespace {

// A front end whose password prompt answers with a text given in advance.
class PasswordUi : public SilentUi {
  public:
    std::optional<std::string> AskText(const std::string& caption, const std::string& prompt,
                                       const std::string&, bool masked) override {
        lastCaption = caption;
        lastPrompt = prompt;
        lastMasked = masked;
        ++asked;
        return answer;
    }
    std::optional<std::string> answer;
    std::string lastPrompt;
    bool lastMasked = false;
    int asked = 0;
};

class AccessLevels : public ::testing::Test {
  protected:
    void SetUp() override {
        platform::SetStationFolder(folder.path());
        platform::SetMachineFilePath(folder.File("pc.ini"));
        Write("Flash.ini", tools::SampleFlashList());
    }
    void TearDown() override { platform::SetMachineFilePath(""); }
    void Write(const std::string& name, const std::string& text) {
        std::ofstream out(folder.File(name), std::ios::binary | std::ios::trunc);
        out << text;
    }

    test::TempFolder folder{"kv_access"};
    test::ScopedLockFolder locks;
    PasswordUi ui;
};

TEST_F(AccessLevels, ProductionVersionStartsLockedAndThePasswordOpens) {
    Write("REVODEDE.ini", "[Setting]\r\nMPVersion=1\r\n");
    Station station(ui);
    ASSERT_TRUE(station.Start());
    LockView view = station.ApplySettingsLock();
    EXPECT_FALSE(view.pagesEnabled);
    EXPECT_FALSE(view.saveIniEnabled);
    EXPECT_TRUE(view.lockButtonDown);

    for (const char* wrong : {"", "Tupelka", "tupelka "}) {
        ui.answer = wrong;
        EXPECT_TRUE(station.LockButtonClick().lockButtonDown) << wrong;
    }
    ui.answer.reset();  // cancelled
    EXPECT_TRUE(station.LockButtonClick().lockButtonDown);
    EXPECT_EQ(ui.lastCaption, "Please Input the Password");
    EXPECT_EQ(ui.lastPrompt, "Password");
    EXPECT_TRUE(ui.lastMasked);

    ui.answer = "tupelka";
    view = station.LockButtonClick();
    EXPECT_TRUE(view.pagesEnabled);
    EXPECT_TRUE(view.saveIniEnabled);
    EXPECT_FALSE(view.lockButtonDown);

    // A load of a production file closes it again.
    Write("line.ini", "[Setting]\r\nMPVersion=1\r\n");
    ASSERT_TRUE(station.LoadSettingsFile(folder.File("line.ini")));
    EXPECT_TRUE(station.ApplySettingsLock().lockButtonDown);
}

TEST_F(AccessLevels, ALoadNeverReopensTheLock) {
    Write("REVODEDE.ini", "[Setting]\r\nMPVersion=0\r\n");
    Station station(ui);
    ASSERT_TRUE(station.Start());
    EXPECT_TRUE(station.ApplySettingsLock().pagesEnabled);
    const int asked = ui.asked;
    EXPECT_TRUE(station.LockButtonClick().lockButtonDown);  // closing asks nothing
    EXPECT_EQ(ui.asked, asked);
    ASSERT_TRUE(station.LoadSettingsFile(folder.File("REVODEDE.ini")));
    EXPECT_FALSE(station.ApplySettingsLock().pagesEnabled);
}

TEST(GodModeKeys, OnlyTheThreeKeysInOrderEnterGodMode) {
    struct Case {
        std::vector<int> keys;
        int state;
    } cases[] = {
        {{4096, 4097, 4098}, 7},
        {{4096, 4096, 4097, 4098}, 0},  // the second 4096 starts again at 0
        {{4096, 4096, 4096, 4097, 4098}, 7},
        {{4097, 4098}, 0},
        {{4096, 4097, 4098, 4096}, 7},  // on stays on
    };
    for (const Case& c : cases) {
        int state = 0;
        for (int key : c.keys)
            state = NextGodModeState(state, key);
        EXPECT_EQ(state, c.state);
    }
}

TEST_F(AccessLevels, GodModeIsSpecialModeWithItsLabel) {
    Write("REVODEDE.ini", "[Setting]\r\nProductModel=Line 4\r\n");
    Station station(ui);
    ASSERT_TRUE(station.Start());
    for (int key : {4096, 4097})
        station.GodModeHotKey(key);
    EXPECT_EQ(station.ap.SpecialMode, 0);
    station.GodModeHotKey(4098);
    EXPECT_EQ(station.godModeState, kGodModeOn);
    EXPECT_EQ(station.ap.SpecialMode, 1);
    EXPECT_EQ(station.settings.block.EnableGetPutTable, 1);
    EXPECT_EQ(station.settings.process.DumpDebugFile, 1);
    EXPECT_EQ(station.settings.process.EnGodMode, 1);
    EXPECT_TRUE(station.useDefaultSysName);  // the silent front end confirms with OK
    EXPECT_EQ(station.controls.productPanel, "God Mode");
    // Every later refresh of the controls keeps the label.
    SettingsToControls(station.settings, station.godModeState == kGodModeOn, station.controls);
    EXPECT_EQ(station.controls.productPanel, "God Mode");
    // God mode switches nothing on in the file: the save leaves those keys out.
    station.Close();
    std::ifstream in(folder.File("REVODEDE.ini"), std::ios::binary);
    const std::string saved((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(saved.find("EnGodMode"), std::string::npos);
    EXPECT_EQ(saved.find("DumpDebugFile"), std::string::npos);
    EXPECT_NE(saved.find("[RDSetting]\r\nTableIn="), std::string::npos);
}

TEST_F(AccessLevels, SpecialModeGestureNeedsTheModifierAndAnOpenLock) {
    Write("REVODEDE.ini", "[Setting]\r\nMPVersion=0\r\n");
    Station station(ui);
    ASSERT_TRUE(station.Start());
    const int before = ui.messageCount;
    station.EnterSpecialModeGesture(false);
    EXPECT_EQ(ui.messageCount, before);
    EXPECT_EQ(station.ap.SpecialMode, 0);
    station.EnterSpecialModeGesture(true);
    station.EnterSpecialModeGesture(true);  // both messages again, flags set again
    EXPECT_EQ(ui.messageCount, before + 4);
    EXPECT_EQ(station.ap.SpecialMode, 1);
    EXPECT_TRUE(station.firmwareOptionsEnabled);
}

}  // namespace
}  // namespace kv
