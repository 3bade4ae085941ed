#include "device/discovery_matching.h"

#include <gtest/gtest.h>

#include "device/bridge_type.h"
#include "device/discovery_text.h"
#include "discovery_test_support.h"

namespace kv {
namespace {

class DiscoveryMatching : public test::DiscoveryTest {};

TEST_F(DiscoveryMatching, JoinedDrivesBecomePresentWithTheirPathBusAndCapacity) {
    Load("RootHubs=4\n[Drive 1.1]\nBridge=p713\nBoot=firmware\n[Drive 1.3]\nBridge=p730\n");
    EXPECT_EQ(MatchPortsToDisks(session), 2);
    const struct {
        int port;
        const char* location;
        BusPath bus;
        int bridge;
        bool capacity;
    } cases[] = {{0, "1.1", BusPath::SataPath, 7, true}, {2, "1.3", BusPath::UsbPath, 10, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.location);
        const PortRecord& r = ports[c.port];
        EXPECT_EQ(r.Attached, 1);
        EXPECT_EQ(r.Present, 1);
        EXPECT_EQ(r.BridgeType, c.bridge);
        EXPECT_EQ(r.DevicePath, PathAt(c.location));
        EXPECT_EQ(PortDeviceTable().Get(c.port).DevicePath, PathAt(c.location));
        EXPECT_EQ(PortDeviceTable().GetBusPath(c.port), c.bus);
        EXPECT_EQ(r.BusType, 3);  // the path names usbstor
        EXPECT_NE(r.UsbDevInst, 0u);
        EXPECT_NE(r.DiskDevInst, 0u);
        EXPECT_EQ(r.CapacityMb > 0, c.capacity);  // a loader drive reports no capacity
        // The device key was lower-cased for the join.
        EXPECT_EQ(std::string(r.DeviceKey), LowerCase(r.DeviceKey));
    }
    EXPECT_EQ(ports[1].Attached, 0);
    EXPECT_EQ(ports[1].Present, 0);
}

TEST_F(DiscoveryMatching, AForeignBridgeIsAttachedButNotPresentUnlessBridgesAreNotChecked) {
    const struct {
        bool noCheck;
        int present;
        int bridge;
    } cases[] = {{false, 0, 0}, {true, 1, kBridgeNoCheck}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.noCheck);
        Load("RootHubs=2\n[Drive 1.2]\nBridge=zzzz\n");
        settings.process.EnNoCheckBridge = c.noCheck ? 1 : 0;
        EXPECT_EQ(MatchPortsToDisks(session), c.present);
        EXPECT_EQ(ports[1].Attached, 1);
        EXPECT_EQ(ports[1].Present, c.present);
        EXPECT_EQ(ports[1].BridgeType, c.bridge);
        EXPECT_EQ(ports[1].DevicePath, PathAt("1.2"));  // joined all the same
        ports[1] = PortRecord{};
    }
}

TEST_F(DiscoveryMatching, APioOnlyBridgeSwitchesSataBusModeForTheProcess) {
    Load("RootHubs=2\n[Drive 1.1]\nBridge=p713\n[Drive 1.2]\nBridge=0x05E30718\n");
    EXPECT_EQ(MatchPortsToDisks(session), 2);
    EXPECT_EQ(ports[1].BridgeType, 14);
    EXPECT_EQ(PortDeviceTable().GetBusPath(1), BusPath::SataPath);
    EXPECT_EQ(settings.process.SataBusMode, 1);
    EXPECT_TRUE(SataBusModeSwitched());
}

TEST_F(DiscoveryMatching, ASafelyRemovedDriveStaysAttachedWithoutADisk) {
    Load("RootHubs=2\n[Drive 1.1]\n[Drive 1.2]\n");
    std::string veto;
    ASSERT_EQ(fixture->QueryAndRemove(*fixture->DeviceAt("1.1"), veto),
              kv::emu::RemovalResult::Removed);
    EXPECT_EQ(MatchPortsToDisks(session), 1);
    EXPECT_EQ(ports[0].Attached, 1);
    EXPECT_EQ(ports[0].Present, 0);
    EXPECT_EQ(ports[0].DevicePath[0], '\0');
    EXPECT_EQ(ports[1].Present, 1);
}

TEST(DiscoveryBusType, FromTheDevicePathText) {
    EXPECT_EQ(BusTypeOfPath("\\\\?\\IDE#disk"), 1);
    EXPECT_EQ(BusTypeOfPath("\\\\?\\scsi#disk&ven_x"), 2);
    EXPECT_EQ(BusTypeOfPath("\\\\?\\usbstor#disk&ven_x"), 3);
    EXPECT_EQ(BusTypeOfPath("\\\\?\\nvme#disk"), 0);
}

}  // namespace
}  // namespace kv
