#include "device/discovery_hub_ports.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "device/port_scan.h"
#include "discovery_test_support.h"

namespace kv {
namespace {

class DiscoveryHubPorts : public test::DiscoveryTest {
  protected:
    // The instance ID of the USB device at a fixture location.
    std::string UsbIdAt(const std::string& location) {
        return fixture->Device(*fixture->DeviceAt(location))->usbInstanceId;
    }
};

TEST_F(DiscoveryHubPorts, SlotsFollowRootHubsThenPortsAndDownstreamHubsShareSlots) {
    const struct {
        const char* name;
        const char* fixture;
        int totalPorts;
        std::map<int, std::string> slots;  // attached slot -> fixture location
    } cases[] = {
        {"two root hubs", "RootHubs=4,6\n[Drive 1.2]\n[Drive 2.1]\n", 10, {{1, "1.2"}, {4, "2.1"}}},
        {"downstream hub overwrites slot 0",
         "RootHubs=4\n[Hub 1.2]\nPorts=4\n[Drive 1.1]\n[Drive 1.2.1]\n[Drive 1.2.3]\n[Drive 1.3]\n",
         8,
         {{0, "1.2.1"}, {2, "1.2.3"}, {6, "1.3"}}},
        {"slots from 50 on are dropped",
         "RootHubs=8,8,8,8,8,8,8\n[Drive 7.2]\n[Drive 7.8]\n",
         56,
         {{49, "7.2"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Load(c.fixture);
        PortScan scan;
        ScanPorts(sim->discovery(), scan);
        EXPECT_EQ(scan.TotalPorts, c.totalPorts);
        EXPECT_EQ(scan.PortCount, std::min(c.totalPorts, kMaxPorts));
        for (int slot = 0; slot < kMaxPorts; ++slot) {
            const PortRecord& r = scan.ScannedPorts[slot];
            const auto expected = c.slots.find(slot);
            if (expected == c.slots.end()) {
                EXPECT_EQ(r.Attached, 0) << "slot " << slot;
                continue;
            }
            const kv::emu::DeviceInfo info = *fixture->Device(*fixture->DeviceAt(expected->second));
            EXPECT_EQ(r.Attached, 1) << "slot " << slot;
            EXPECT_EQ(r.DeviceKey, info.usbInstanceId) << "slot " << slot;
            EXPECT_EQ(r.DescriptorText, info.serial);
            EXPECT_EQ(r.UsbVendorId, info.vendorId);
            EXPECT_EQ(r.UsbProductId, info.productId);
            EXPECT_NE(r.HubHandle, 0u);
            EXPECT_NE(r.DriverKeyName[0], '\0');
        }
        TearDown();
    }
}

TEST_F(DiscoveryHubPorts, DriverKeysFindTheirNodesInTheDeviceTree) {
    Load("RootHubs=2,2\n[Hub 2.2]\nPorts=2\n[Drive 1.1]\n[Drive 2.2.2]\n");
    platform::Discovery& d = *sim->discovery();
    PortScan scan;
    ScanPorts(&d, scan);
    ASSERT_EQ(scan.ScannedPorts[3].Attached, 1);  // root 2 starts at slot 2; its hub at 2, port 2
    const platform::DevNode node = FindNodeByDriverKey(d, scan.ScannedPorts[3].DriverKeyName);
    ASSERT_NE(node, 0u);
    std::string id;
    ASSERT_TRUE(d.InstanceId(node, id));
    EXPECT_EQ(id, UsbIdAt("2.2.2"));
    // Driver keys compare case-blind; an unknown key finds nothing.
    std::string upper = scan.ScannedPorts[0].DriverKeyName;
    for (char& ch : upper) {
        ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    }
    EXPECT_NE(FindNodeByDriverKey(d, upper), 0u);
    EXPECT_EQ(FindNodeByDriverKey(d, "{00000000-0000-0000-0000-000000000000}\\9999"), 0u);
}

}  // namespace
}  // namespace kv
