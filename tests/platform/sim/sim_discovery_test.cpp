#include "platform/sim/sim_discovery.h"

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "platform/sim/sim_platform.h"
#include "support/temp_folder.h"

namespace kv::platform {
namespace {

// Root hub 1 with a drive on port 1 and a hub on port 2 that carries a drive
// on its port 3; root hub 2 empty.
constexpr const char* kFixtureText =
    "[Fixture]\nTimeScale=0\nRootHubs=3,2\n"
    "[Hub 1.2]\nPorts=4\n"
    "[Drive 1.1]\nBridge=p713\nBoot=firmware\nVolumeDelay=0\n"
    "[Drive 1.2.3]\nBridge=p730\n";

class SimDiscoveryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const std::string file = folder.File("Fixture.ini");
        std::ofstream(file) << kFixtureText;
        std::string error;
        fixture = kv::emu::Fixture::Load(file, error);
        ASSERT_TRUE(fixture) << error;
        sim = std::make_unique<SimPlatform>(*fixture);
        d = sim->discovery();
        ASSERT_NE(d, nullptr);
    }
    kv::emu::DeviceInfo InfoAt(const std::string& location) {
        return *fixture->Device(*fixture->DeviceAt(location));
    }

    test::TempFolder folder{"kvsimdisc"};
    std::unique_ptr<kv::emu::Fixture> fixture;
    std::unique_ptr<SimPlatform> sim;
    Discovery* d = nullptr;
};

TEST_F(SimDiscoveryTest, HubsAnswerAsTheHubDriverAndNameTheirDevices) {
    const std::vector<std::string> hubs = d->HubInterfaces();
    ASSERT_EQ(hubs.size(), 3u);  // two root hubs, then the downstream hub
    EXPECT_NE(hubs[0].find("root_hub30"), std::string::npos);
    EXPECT_NE(hubs[1].find("root_hub30"), std::string::npos);
    EXPECT_EQ(hubs[2].find("root_hub"), std::string::npos);

    std::unique_ptr<UsbHub> root = d->OpenHub(hubs[0]);
    ASSERT_NE(root, nullptr);
    int ports = 0;
    ASSERT_TRUE(root->NodeInformation(ports));
    EXPECT_EQ(ports, 3);
    UsbConnection c;
    ASSERT_TRUE(root->ConnectionInformation(1, c));
    EXPECT_TRUE(c.connected);
    EXPECT_FALSE(c.isHub);
    EXPECT_EQ(c.idVendor, InfoAt("1.1").vendorId);
    std::u16string languages;
    ASSERT_TRUE(root->StringDescriptor(1, 0, 0, languages));
    ASSERT_FALSE(languages.empty());
    std::u16string serial;
    ASSERT_TRUE(root->StringDescriptor(1, c.iSerialNumber, languages.front(), serial));
    EXPECT_EQ(serial.size(), InfoAt("1.1").serial.size());
    ASSERT_TRUE(root->ConnectionInformation(3, c));
    EXPECT_FALSE(c.connected);
    EXPECT_FALSE(root->ConnectionInformation(4, c));

    // The downstream hub opens by "\\.\" + its connection name.
    ASSERT_TRUE(root->ConnectionInformation(2, c));
    EXPECT_TRUE(c.isHub);
    std::string name;
    ASSERT_TRUE(root->ConnectionName(2, name));
    std::unique_ptr<UsbHub> hub = d->OpenHub("\\\\.\\" + name);
    ASSERT_NE(hub, nullptr);
    EXPECT_NE(hub->HandleValue(), root->HandleValue());
    ASSERT_TRUE(hub->NodeInformation(ports));
    EXPECT_EQ(ports, 4);
    EXPECT_EQ(d->OpenHub("\\\\.\\USB#nothing"), nullptr);
}

TEST_F(SimDiscoveryTest, DiskInterfacesAndTheDeviceTreeJoinDisksToTheirUsbDevices) {
    const std::vector<DiskInterface> disks = d->DiskInterfaces();
    ASSERT_EQ(disks.size(), 2u);
    for (const DiskInterface& disk : disks) {
        SCOPED_TRACE(disk.devicePath);
        const std::optional<kv::emu::DeviceId> id = sim->DeviceOfPath(disk.devicePath);
        ASSERT_TRUE(id);  // the path the sim platform opens
        const kv::emu::DeviceInfo info = *fixture->Device(*id);
        EXPECT_EQ(disk.instanceId, info.storageInstanceId);
        EXPECT_EQ(disk.parentInstanceId, info.usbInstanceId);
        EXPECT_EQ(disk.deviceNumber, info.diskNumber);
    }
    const std::vector<DevNode> drives = d->DiskDrives();
    ASSERT_EQ(drives.size(), 2u);
    for (const DevNode node : drives) {
        std::string id;
        ASSERT_TRUE(d->InstanceId(node, id));
        EXPECT_EQ(id.rfind("USBSTOR\\", 0), 0u) << id;
        std::string parent;
        ASSERT_TRUE(d->InstanceId(d->Parent(node), parent));
        EXPECT_EQ(parent.rfind("USB\\VID_", 0), 0u) << parent;
        EXPECT_EQ(d->Child(node), 0u);
    }
    // The hub's driver key of the port's device names the USB device's node.
    std::unique_ptr<UsbHub> root = d->OpenHub(d->HubInterfaces()[0]);
    std::string key;
    ASSERT_TRUE(root->DriverKeyName(1, key));
    bool found = false;
    for (const DevNode node : drives) {
        std::string parent;
        ASSERT_TRUE(d->InstanceId(d->Parent(node), parent));
        if (parent == InfoAt("1.1").usbInstanceId) {
            std::string nodeKey;
            ASSERT_TRUE(d->DriverKey(d->Parent(node), nodeKey));
            EXPECT_EQ(nodeKey, key);
            found = true;
        }
    }
    EXPECT_TRUE(found);
}

TEST_F(SimDiscoveryTest, RemovalIsVetoedWhileTheVolumeIsHeldAndTakesTheDiskAway) {
    const kv::emu::DeviceId id = *fixture->DeviceAt("1.1");
    const std::uint64_t sectors = fixture->Geometry(id)->sectors;
    ASSERT_TRUE(fixture->CreateDisk(id, 1));
    ASSERT_TRUE(fixture->SetPartitions(id, {{63, sectors / 2, 0x0B, false}}));
    ASSERT_TRUE(fixture->HoldVolume(id));
    DevNode usb = 0;
    for (const DevNode node : d->DiskDrives()) {
        std::string parent;
        d->InstanceId(d->Parent(node), parent);
        if (parent == InfoAt("1.1").usbInstanceId) {
            usb = d->Parent(node);
        }
    }
    ASSERT_NE(usb, 0u);
    std::vector<DeviceChangeEvent> events;
    ASSERT_TRUE(d->RegisterDeviceChanges([&](const DeviceChangeEvent& e) { events.push_back(e); }));

    Veto veto;
    EXPECT_EQ(d->QueryAndRemoveSubTree(usb, veto), ConfigResult::RemoveVetoed);
    EXPECT_EQ(veto.type, kVetoOutstandingOpen);
    EXPECT_FALSE(veto.name.empty());
    EXPECT_LT(veto.name.size(), kVetoNameCapacity);
    fixture->ReleaseVolume(id);
    EXPECT_EQ(d->RequestDeviceEject(usb, veto), ConfigResult::Success);
    EXPECT_TRUE(veto.name.empty());
    EXPECT_EQ(d->DiskInterfaces().size(), 1u);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].event, kDeviceRemoveComplete);
    EXPECT_EQ(events[0].deviceType, kDeviceTypeInterface);
    EXPECT_NE(events[0].name.find("VID_"), std::string::npos);
    // Removed, the device still hangs on its port.
    UsbConnection c;
    ASSERT_TRUE(d->OpenHub(d->HubInterfaces()[0])->ConnectionInformation(1, c));
    EXPECT_TRUE(c.connected);

    // Unplugged, its node is gone; plugged again, it arrives.
    ASSERT_TRUE(fixture->Unplug("1.1"));
    EXPECT_EQ(d->QueryAndRemoveSubTree(usb, veto), ConfigResult::NoSuchDevNode);
    std::string error;
    ASSERT_TRUE(fixture->Plug("1.1", "1.3", error)) << error;
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[1].event, kDeviceArrival);
    d->UnregisterDeviceChanges();
    ASSERT_TRUE(fixture->Unplug("1.3"));
    EXPECT_EQ(events.size(), 2u);
}

}  // namespace
}  // namespace kv::platform
