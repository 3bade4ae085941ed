// Loader identities, the vendor-mode entry and the pre-run captures, against
// drives of the virtual fixture (and IDENTIFY models the fixture does not
// make, through the recording backend).
#include "device/loader_mode.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "device/vendor_access.h"
#include "support/recording_platform.h"
#include "vendor_access_drives.h"

namespace kv {
namespace {

using kv::emu::Controller;
using kv::emu::ControllerState;

// Ports: 0 SATA loader refusing two handshakes, 1 SATA loader refusing all,
// 2 USB-path loader, 3 SATA produced drive, 4 USB-path produced drive.
constexpr const char* kDrives =
    "[Drive 1.1]\nBridge=p713\nFault=handshake-fail:2\n"
    "[Drive 1.2]\nBridge=p712\nFault=handshake-fail\n"
    "[Drive 1.3]\nBridge=p730\n"
    "[Drive 1.4]\nBridge=p713\nBoot=firmware\nTemperature=41\n"
    "[Drive 1.5]\nBridge=p730\nBoot=firmware\n";

class LoaderModeTest : public test::DrivesTest {
  protected:
    void SetUp() override {
        Load(kDrives, {"1.1", "1.2", "1.3", "1.4", "1.5"},
             {BusPath::SataPath, BusPath::SataPath, BusPath::UsbPath, BusPath::SataPath,
              BusPath::UsbPath});
    }
    std::vector<std::uint8_t> buffer = std::vector<std::uint8_t>(kLoaderScratchSize);
};

TEST_F(LoaderModeTest, LoaderIdentitiesOnBothBusPaths) {
    EXPECT_TRUE(IsLoaderMode(0));
    EXPECT_TRUE(IsLoaderMode(2));
    EXPECT_FALSE(IsLoaderMode(3));
    EXPECT_FALSE(IsLoaderMode(4));
    EXPECT_FALSE(IsLoaderMode(9));  // no drive: the failed command reads as "not a loader"

    EXPECT_TRUE(IsSataLoaderDevice(0));
    EXPECT_FALSE(IsSataLoaderDevice(3));
    EXPECT_FALSE(Traced("USB Command Path"));
    EXPECT_FALSE(IsSataLoaderDevice(2));
    EXPECT_TRUE(Traced("######### - USB Command Path!"));
}

TEST_F(LoaderModeTest, SataLoaderEntersAtTheThirdHandshake) {
    ASSERT_TRUE(EnterVendorMode(0, buffer.data()));
    EXPECT_TRUE(WithController("1.1", [](Controller& c) { return c.vendorFeature(); }));
    // The enable's 500 ms; the loader stays a loader: three 3 s checks; then
    // two refused handshakes with 1 s after each.
    EXPECT_EQ(PortTime(0), 500 + 3 * 3000 + 2 * 1000);
    EXPECT_EQ(PortTime(1), 0);  // the other drive's time did not move
}

TEST_F(LoaderModeTest, SataLoaderFailsAfterElevenHandshakes) {
    EXPECT_FALSE(EnterVendorMode(1, buffer.data()));
    EXPECT_EQ(PortTime(1), 500 + 3 * 3000 + 11 * 1000);
}

TEST_F(LoaderModeTest, UsbLoaderIsEnabledAndAnswersInquiry) {
    ASSERT_TRUE(EnterVendorMode(2, buffer.data()));
    EXPECT_TRUE(WithController("1.3", [](Controller& c) { return c.vendorCommandsEnabled(); }));
    EXPECT_EQ(PortTime(2), 500);  // the enable's wait; INQUIRY answered at once
}

TEST_F(LoaderModeTest, ProducedDriveNeedsNothing) {
    ASSERT_TRUE(EnterVendorMode(3, buffer.data()));
    EXPECT_FALSE(WithController("1.4", [](Controller& c) { return c.vendorFeature(); }));
    EXPECT_EQ(PortTime(3), 0);
}

TEST_F(LoaderModeTest, CutOffEndsTheEntryWaits) {
    std::atomic<bool> cancel{true};
    SetPortCancelFlag(1, &cancel);
    EXPECT_FALSE(EnterVendorMode(1, buffer.data()));
    SetPortCancelFlag(1, nullptr);
    EXPECT_EQ(PortTime(1), 0);
}

TEST_F(LoaderModeTest, CapturesKeepTheProducedDrivesAreas) {
    // Discovery switches the vendor feature on for every present port first.
    ASSERT_TRUE(VA_SetVendorFeature(3, true));
    ASSERT_TRUE(ReadEraseCount(3, buffer.data()));
    const PortSaveAreas& areas = *PortDeviceTable().SaveAreas(3);
    EXPECT_TRUE(areas.EraseCountSaved);
    EXPECT_TRUE(std::equal(areas.EraseCount.begin(), areas.EraseCount.end(), buffer.begin()));

    std::fill(buffer.begin(), buffer.end(), std::uint8_t{0});
    ASSERT_TRUE(ReadSmartInfo(3, buffer.data()));
    EXPECT_TRUE(areas.SmartSaved);
    // Attribute 0xC2 carries the drive's temperature.
    bool found = false;
    for (std::size_t at = 2; at + 12 <= 362; at += 12) {
        if (areas.Smart[at] == 0xC2) {
            found = areas.Smart[at + 5] == 41;
        }
    }
    EXPECT_TRUE(found);

    ASSERT_TRUE(ReadSmartInfo(4, buffer.data()));  // the USB-path firmware's own SMART read
    EXPECT_TRUE(PortDeviceTable().SaveAreas(4)->SmartSaved);
}

TEST_F(LoaderModeTest, FailedCapturesLeaveNothingToWriteBack) {
    PortSaveAreas& areas = *PortDeviceTable().SaveAreas(1);
    areas.EraseCount.fill(0x55);
    areas.EraseCountSaved = true;
    EXPECT_FALSE(ReadEraseCount(1, buffer.data()));  // vendor mode never comes
    EXPECT_FALSE(areas.EraseCountSaved);
    EXPECT_TRUE(std::all_of(areas.EraseCount.begin(), areas.EraseCount.end(),
                            [](std::uint8_t b) { return b == 0; }));

    // A loader answers no SMART READ DATA; the message goes to the standard output.
    ::testing::internal::CaptureStdout();
    EXPECT_FALSE(ReadSmartInfo(0, buffer.data()));
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              "Please make sure that BIOS enable the S.M.A.R.T function!\n");
    EXPECT_FALSE(PortDeviceTable().SaveAreas(0)->SmartSaved);
}

// IDENTIFY models the fixture does not make.
class LoaderModelTest : public test::DeviceTest {
  protected:
    void AnswerModel(const std::string& model) {
        std::vector<std::uint8_t> identify(512, 0);
        std::string text = model;
        text.resize(40, ' ');
        for (std::size_t i = 0; i < 40; ++i) {
            identify[54 + (i ^ 1)] = static_cast<std::uint8_t>(text[i]);  // ATA byte order
        }
        backend.fallback.data = identify;
    }
};

TEST_F(LoaderModelTest, ModelsAreComparedOnTheirFirst36Characters) {
    AttachSata();
    struct Case {
        const char* model;
        bool loader;
        bool controllerLoader;
    };
    const Case cases[] = {
        {"Vudivod EZA SATA Loader Loader Devic", true, false},
        {"Vudivod EZA SATA Loader Loader Device", true, false},
        {"Korvane KVR51X SATA SSD Loader Devicx", true, true},
        {"Korvane KVR51X SATA SSD Loader Devi", false, false},
        {"Korvane KVR51X SATA SSD", false, false},
        {"vudivod EZA SATA Loader Loader Device", false, false},
    };
    for (const Case& c : cases) {
        AnswerModel(c.model);
        EXPECT_EQ(IsLoaderMode(kSataPort), c.loader) << c.model;
        EXPECT_EQ(IsSataLoaderDevice(kSataPort), c.controllerLoader) << c.model;
    }
}

}  // namespace
}  // namespace kv
