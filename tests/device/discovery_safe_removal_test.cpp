#include "device/safe_removal.h"

#include <gtest/gtest.h>

#include "device/enum_usb_device.h"
#include "discovery_test_support.h"

namespace kv {
namespace {

class DiscoverySafeRemoval : public test::DiscoveryTest {
  protected:
    // A FAT32 volume on the drive at `location`, held open as another program would.
    void HoldVolumeAt(const std::string& location) {
        const kv::emu::DeviceId id = *fixture->DeviceAt(location);
        const std::uint64_t sectors = fixture->Geometry(id)->sectors;
        ASSERT_TRUE(fixture->CreateDisk(id, 0x12345678));
        ASSERT_TRUE(fixture->SetPartitions(id, {{63, sectors / 2, 0x0B, false}}));
        ASSERT_TRUE(fixture->HoldVolume(id));
    }
};

constexpr const char* kTwoDrives =
    "RootHubs=4\n[Drive 1.1]\nBridge=p713\nBoot=firmware\nVolumeDelay=0\n"
    "[Drive 1.2]\nBridge=p712\nBoot=firmware\nVolumeDelay=0\n";

TEST_F(DiscoverySafeRemoval, NothingPresentDoesNothing) {
    Load("RootHubs=4\n");
    ASSERT_TRUE(EnumUSBDevice(session));
    sim->ClearTraces();
    EXPECT_EQ(SafeRmBtnClick(session), SafeRemoveOutcome::NothingToRemove);
    EXPECT_FALSE(Traced("EnumUSBDevice 1 \r\n"));
    EXPECT_TRUE(window.warnings.empty());
}

TEST_F(DiscoverySafeRemoval, AllDrivesGoAndTheRescanFindsNone) {
    Load(kTwoDrives);
    ASSERT_TRUE(EnumUSBDevice(session));
    ASSERT_EQ(session.lastPresent, 2);
    EXPECT_EQ(SafeRmBtnClick(session), SafeRemoveOutcome::AllRemoved);
    EXPECT_EQ(session.lastPresent, 0);
    EXPECT_TRUE(window.warnings.empty());
    for (const char* location : {"1.1", "1.2"}) {
        EXPECT_TRUE(fixture->Device(*fixture->DeviceAt(location))->removed) << location;
    }
    EXPECT_EQ(ports[0].Attached, 1);  // the USB device still hangs on its port
}

TEST_F(DiscoverySafeRemoval, AHeldDriveIsVetoedStaysAndIsWarnedAbout) {
    Load(kTwoDrives);
    HoldVolumeAt("1.1");
    ASSERT_TRUE(EnumUSBDevice(session));
    const std::int64_t before = sim->clock().NowMs();
    EXPECT_EQ(SafeRmBtnClick(session), SafeRemoveOutcome::SomeRemain);
    EXPECT_EQ(window.warnings, (std::vector<std::string>{"Warning: Unable to remove all device!"}));
    EXPECT_EQ(ports[0].Present, 1);
    EXPECT_EQ(ports[1].Present, 0);
    EXPECT_FALSE(fixture->Device(*fixture->DeviceAt("1.1"))->removed);
    EXPECT_TRUE(fixture->Device(*fixture->DeviceAt("1.2"))->removed);
    // Five vetoed attempts, 500 ms apart.
    EXPECT_GE(sim->clock().NowMs() - before, kRemovalAttempts * kRemovalRetryWaitMs);
}

TEST_F(DiscoverySafeRemoval, ADriveUnpluggedByHandEndsItsAttemptsWithoutAWarning) {
    Load(kTwoDrives);
    ASSERT_TRUE(EnumUSBDevice(session));
    ASSERT_TRUE(fixture->Unplug("1.1"));
    ASSERT_TRUE(fixture->Unplug("1.2"));
    EXPECT_FALSE(RemoveDeviceThread(*sim->discovery(), ports[0].UsbDevInst));
    EXPECT_EQ(SafeRmBtnClick(session), SafeRemoveOutcome::AllRemoved);
    EXPECT_TRUE(window.warnings.empty());
    EXPECT_EQ(ports[0].Attached, 0);
}

}  // namespace
}  // namespace kv
