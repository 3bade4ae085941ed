#include "station/control_state.h"

#include <gtest/gtest.h>

#include "run/test_item_catalogue.h"

namespace kv {
namespace {

TEST(ControlState, ListsShowTheEqualEntryOrTheFirst) {
    struct Case {
        int channel, bank, current;
        int savedChannel, savedBank, savedCurrent;
    } cases[] = {
        {4, 2, 3, 4, 2, 3},
        {8, 2, 1, 1, 2, 1},    // 8 channels are not offered: the first entry shows
        {0, 9, 200, 1, 1, 0},  // neither are 0 channels, 9 banks or code 200
    };
    for (const Case& c : cases) {
        config::Settings settings;
        settings.block.Channel = static_cast<std::uint8_t>(c.channel);
        settings.block.Bank = static_cast<std::uint8_t>(c.bank);
        settings.block.DrvCurrent = static_cast<std::uint8_t>(c.current);
        ControlState controls;
        SettingsToControls(settings, false, controls);
        ControlsToSettings(controls, settings);
        EXPECT_EQ(settings.block.Channel, c.savedChannel);
        EXPECT_EQ(settings.block.Bank, c.savedBank);
        EXPECT_EQ(settings.block.DrvCurrent, c.savedCurrent);
    }
}

TEST(ControlState, LaterPreformatChoicesWin) {
    struct Case {
        int earlyBad, eraseSearch, checkRdt;
        PreformatChoice shown;
    } cases[] = {
        {0, 0, 0, PreformatChoice::FactoryNewBB}, {1, 0, 0, PreformatChoice::FactoryDefaultBB},
        {1, 1, 0, PreformatChoice::EraseSearch},  {1, 1, 1, PreformatChoice::InheritBBEC},
        {0, 0, 1, PreformatChoice::InheritBBEC},
    };
    for (const Case& c : cases) {
        config::Settings settings;
        settings.block.EnEarlyBad = static_cast<std::uint8_t>(c.earlyBad);
        settings.block.EnEraseReBuildBad = static_cast<std::uint8_t>(c.eraseSearch);
        settings.block.EnCheckRDT = static_cast<std::uint8_t>(c.checkRdt);
        ControlState controls;
        SettingsToControls(settings, false, controls);
        EXPECT_EQ(controls.preformat, c.shown);
        // Saving writes back the single choice shown.
        ControlsToSettings(controls, settings);
        const int chosen = settings.block.EnEarlyBad + settings.block.EnEraseReBuildBad +
                           settings.block.EnCheckRDT;
        EXPECT_EQ(chosen, c.shown == PreformatChoice::FactoryNewBB ? 0 : 1);
    }
}

TEST(ControlState, BoxesRoundTripTheirBits) {
    config::Settings settings;
    settings.block.CheckFlashMask = 0x15;
    settings.block.DownloadType = 2;
    settings.block.SataLBA48 = 0;
    settings.block.EnOneDram = 1;
    ControlState controls;
    SettingsToControls(settings, false, controls);
    EXPECT_TRUE(controls.checkFlashId[0]);
    EXPECT_FALSE(controls.checkFlashId[1]);
    EXPECT_TRUE(controls.usbImage);
    EXPECT_FALSE(controls.sataImage);
    controls.checkFlashId[1] = true;
    controls.sataImage = true;
    controls.volumeLabel = "A label longer than the forty bytes a label may hold";
    ControlsToSettings(controls, settings);
    EXPECT_EQ(settings.block.CheckFlashMask, 0x17);
    EXPECT_EQ(settings.process.CheckFlashMask, 0x17);
    EXPECT_EQ(settings.block.DownloadType, 3);
    EXPECT_EQ(settings.block.SataLBA48, 0);
    EXPECT_EQ(settings.block.EnOneDram, 1);
    EXPECT_EQ(std::string(settings.block.DiskLabel).size(), sizeof settings.block.DiskLabel - 1);
}

TEST(ControlState, ProductPanelShowsGodMode) {
    config::Settings settings;
    std::snprintf(settings.block.ProductModel, sizeof settings.block.ProductModel, "Line 3");
    ControlState controls;
    SettingsToControls(settings, false, controls);
    EXPECT_EQ(controls.productPanel, "Line 3");
    SettingsToControls(settings, true, controls);
    EXPECT_EQ(controls.productPanel, "God Mode");
}

TEST(ControlState, CheckingPreformatChecksDownload) {
    config::Settings settings;
    settings.block.ItemEnabled[kFlashModuleTest] = 1;
    ControlState controls;
    SettingsToControls(settings, false, controls);
    std::size_t preformat = controls.checkList.size();
    std::size_t download = controls.checkList.size();
    for (std::size_t i = 0; i < controls.checkList.size(); ++i) {
        if (controls.checkList[i].text == "Preformat")
            preformat = i;
        if (controls.checkList[i].text == "Download")
            download = i;
    }
    ASSERT_LT(preformat, controls.checkList.size());
    ASSERT_LT(download, controls.checkList.size());
    ClickCheckListLine(controls, preformat, settings);
    EXPECT_EQ(settings.block.ItemEnabled[kPreformat], 1);
    EXPECT_EQ(settings.block.ItemEnabled[kDownload], 1);
    EXPECT_TRUE(controls.checkList[download].checked);
    ClickCheckListLine(controls, download, settings);  // stays on while Preformat is on
    EXPECT_EQ(settings.block.ItemEnabled[kDownload], 1);
    EXPECT_TRUE(controls.checkList[download].checked);
}

TEST(ControlState, CopyImageBoxEnablesItsItem) {
    config::Settings settings;
    ControlState controls;
    SettingsToControls(settings, false, controls);
    controls.copyImage = true;
    ControlsToSettings(controls, settings);
    EXPECT_EQ(settings.block.ItemEnabled[kCopyImage], 1);
}

}  // namespace
}  // namespace kv
