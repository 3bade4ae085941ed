#include "tools/sample_fixture.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <vector>

#include "emulator/fixture.h"
#include "support/temp_folder.h"
#include "tools/sample_station.h"

namespace kv::tools {
namespace {

std::unique_ptr<emu::Fixture> LoadSample(const test::TempFolder& folder, int drives) {
    {
        std::ofstream out(folder.File("Fixture.ini"), std::ios::binary);
        out << SampleFixture(drives);
    }
    std::string error;
    auto fixture = emu::Fixture::Load(folder.File("Fixture.ini"), error);
    EXPECT_NE(fixture, nullptr) << error;
    return fixture;
}

TEST(SampleFixture, DriveKSitsOnPortKOfEightPortRootHubs) {
    struct Case {
        int drives;
        std::vector<int> rootHubPorts;
    } cases[] = {{1, {1}}, {8, {8}}, {9, {8, 1}}, {50, {8, 8, 8, 8, 8, 8, 2}}};
    for (const Case& c : cases) {
        test::TempFolder folder("kv_fixture");
        auto fixture = LoadSample(folder, c.drives);
        ASSERT_NE(fixture, nullptr);
        const emu::TopologySnapshot topology = fixture->Topology();
        std::vector<int> roots;
        for (const auto& hub : topology.hubs) {
            if (hub.root)
                roots.push_back(static_cast<int>(hub.ports.size()));
        }
        EXPECT_EQ(roots, c.rootHubPorts) << c.drives << " drives";
        for (int k = 0; k < c.drives; ++k) {
            const std::string location =
                std::to_string(k / 8 + 1) + "." + std::to_string(k % 8 + 1);
            EXPECT_TRUE(fixture->DeviceAt(location).has_value()) << location;
        }
    }
}

TEST(SampleFixture, LastOfSeveralDrivesTakesVendorBlocksOnItsUsbInterface) {
    test::TempFolder folder("kv_fixture");
    auto fixture = LoadSample(folder, 8);
    ASSERT_NE(fixture, nullptr);
    int usbPath = 0;
    for (int k = 0; k < 8; ++k) {
        const auto id = fixture->DeviceAt("1." + std::to_string(k + 1));
        ASSERT_TRUE(id.has_value());
        const auto device = fixture->Device(*id);
        ASSERT_TRUE(device.has_value());
        EXPECT_NE(device->kind.family, emu::BridgeFamily::Foreign);
        if (device->kind.family == emu::BridgeFamily::Direct) {
            ++usbPath;
            EXPECT_EQ(k, 7);
        }
    }
    EXPECT_EQ(usbPath, 1);

    test::TempFolder single("kv_fixture");
    auto one = LoadSample(single, 1);
    ASSERT_NE(one, nullptr);
    EXPECT_EQ(one->Device(*one->DeviceAt("1.1"))->kind.family, emu::BridgeFamily::Sat);
}

TEST(SampleFixture, InitWritesItIntoTheStationFolder) {
    test::TempFolder folder("kv_fixture");
    std::string error;
    ASSERT_TRUE(WriteSampleStation(folder.path(), SampleOptions{3}, error)) << error;
    std::ifstream in(folder.File("Fixture.ini"), std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, SampleFixture(3));
}

}  // namespace
}  // namespace kv::tools
