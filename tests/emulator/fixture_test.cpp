// The fixture as the sim backend sees it: hubs, ports, devices, plugging,
// device-change events, time, disks, volumes and removal.
#include "emulator/fixture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>

#include "emu_test_support.h"

namespace kv::emu {
namespace {

using test::Port;

constexpr char kTopology[] = R"([Fixture]
RootHubs=4,6
TimeScale=0
[Hub 1.2]
Ports=4
[Drive 1.1]
[Drive 1.2.1]
Name=left
[Drive 1.2.3]
Name=right
Bridge=p730
[Drive 2.1]
Bridge=p714
)";

TEST(FixtureTopology, HubsPortsAndDevicesInEnumerationOrder) {
    test::TempFolder folder;
    auto f = test::LoadFixture(folder, kTopology);
    ASSERT_TRUE(f);
    const TopologySnapshot t = f->Topology();
    ASSERT_EQ(t.rootHubs, 2);
    ASSERT_EQ(t.hubs.size(), 3u);
    EXPECT_EQ(t.hubs[0].location, "1");
    EXPECT_EQ(t.hubs[0].ports.size(), 4u);
    EXPECT_EQ(t.hubs[1].ports.size(), 6u);
    EXPECT_EQ(t.hubs[0].ports[0].kind, PortInfo::Kind::Device);
    ASSERT_EQ(t.hubs[0].ports[1].kind, PortInfo::Kind::Hub);
    const HubInfo& downstream = t.hubs[static_cast<std::size_t>(t.hubs[0].ports[1].hub)];
    EXPECT_EQ(downstream.location, "1.2");
    EXPECT_FALSE(downstream.root);
    ASSERT_EQ(downstream.ports[2].kind, PortInfo::Kind::Device);
    const DeviceInfo& right = *downstream.ports[2].device;
    EXPECT_EQ(right.name, "right");
    EXPECT_EQ(right.location, "1.2.3");
    EXPECT_EQ(right.kind.family, BridgeFamily::Direct);
    EXPECT_EQ(t.hubs[1].ports[0].device->kind.type, 8);
    EXPECT_EQ(t.hubs[0].ports[2].kind, PortInfo::Kind::Empty);

    // Identities are stable across loads and differ between drives.
    const std::vector<DeviceInfo> devices = f->Devices();
    ASSERT_EQ(devices.size(), 4u);
    f.reset();
    auto again = test::LoadFixture(folder, kTopology);
    const std::vector<DeviceInfo> later = again->Devices();
    for (std::size_t i = 0; i < devices.size(); ++i) {
        EXPECT_EQ(later[i].id, devices[i].id);
        EXPECT_EQ(later[i].serial, devices[i].serial);
        EXPECT_EQ(later[i].usbInstanceId, devices[i].usbInstanceId);
        EXPECT_NE(devices[i].usbInstanceId.find(devices[i].serial), std::string::npos);
        for (std::size_t j = 0; j < i; ++j) {
            EXPECT_NE(devices[i].serial, devices[j].serial);
            EXPECT_NE(devices[i].diskNumber, devices[j].diskNumber);
        }
    }
}

TEST(FixtureTopology, PlugAndUnplugRaiseDeviceChanges) {
    test::TempFolder folder;
    auto f = test::LoadFixture(folder, kTopology);
    std::vector<DeviceChange> seen;
    f->SetDeviceChangeCallback([&](const DeviceChange& c) { seen.push_back(c); });
    const DeviceId left = *f->DeviceNamed("left");
    ASSERT_TRUE(f->Unplug("1.2.1"));
    EXPECT_FALSE(f->DeviceAt("1.2.1"));
    std::string error;
    EXPECT_FALSE(f->Plug("left", "1.9", error));  // no such port
    EXPECT_FALSE(f->Plug("left", "1.1", error));  // taken
    EXPECT_FALSE(f->Plug("left", "1.2", error));  // a hub sits there
    ASSERT_TRUE(f->Plug("left", "1.3", error)) << error;
    EXPECT_EQ(f->DeviceAt("1.3"), left);  // the same drive, moved
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].kind, DeviceChange::Kind::Removal);
    EXPECT_EQ(seen[0].location, "1.2.1");
    EXPECT_EQ(seen[1].kind, DeviceChange::Kind::Arrival);
    EXPECT_EQ(seen[1].location, "1.3");
    EXPECT_EQ(f->TakeDeviceChanges().size(), 2u);
    EXPECT_TRUE(f->TakeDeviceChanges().empty());
}

TEST(FixtureTime, ScaledClockRunsFasterThanRealTime) {
    test::TempFolder folder;
    auto f = test::LoadFixture(folder, "[Fixture]\nTimeScale=0.001\n[Drive 1.1]\n");
    Clock& port = f->PortClock("1.1");
    EXPECT_EQ(&port, &f->MainClock());  // one clock for all when scaled
    const std::int64_t before = port.NowMs();
    const auto real = std::chrono::steady_clock::now();
    ASSERT_TRUE(port.SleepMs(5000));  // 5 s of fixture time: 5 ms of real time
    EXPECT_GE(port.NowMs() - before, 5000);
    EXPECT_LT(std::chrono::steady_clock::now() - real, std::chrono::seconds(5));
    std::atomic<bool> cancel{true};
    EXPECT_FALSE(port.SleepMs(100000, &cancel));
}

TEST(FixtureTime, UnscaledPortsKeepClocksOfTheirOwn) {
    test::TempFolder folder;
    auto f = test::LoadFixture(folder, "[Fixture]\nTimeScale=0\n[Drive 1.1]\n[Drive 1.2]\n");
    Clock& a = f->PortClock("1.1");
    Clock& b = f->PortClock("1.2");
    ASSERT_NE(&a, &b);
    a.SleepMs(3000);
    EXPECT_EQ(a.NowMs(), 3000);
    EXPECT_EQ(b.NowMs(), 0);
    EXPECT_EQ(f->DeviceClock(*f->DeviceAt("1.1")), &a);
}

class FixtureDisk : public ::testing::Test {
  protected:
    void SetUp() override {
        fixture =
            test::LoadFixture(folder,
                              "[Fixture]\nTimeScale=0\n[Drive 1.1]\nBoot=firmware\nVolumeDelay=3\n"
                              "[Drive 1.2]\n[Drive 1.3]\nBoot=firmware\nVolumeDelay=never\n");
        id = *fixture->DeviceAt("1.1");
    }
    void MakeFat32() {
        const DiskGeometry g = *fixture->Geometry(id);
        const std::uint64_t cylinders = g.sectors / (255 * 63);
        ASSERT_TRUE(fixture->CreateDisk(id, 0xB1732E49));
        ASSERT_TRUE(fixture->SetPartitions(id, {{63, cylinders * 255 * 63 - 63, 0x0B, false}}));
    }
    test::TempFolder folder;
    std::unique_ptr<Fixture> fixture;
    DeviceId id = 0;
};

TEST_F(FixtureDisk, GeometryAndTheMasterBootRecord) {
    const DiskGeometry g = *fixture->Geometry(id);
    EXPECT_EQ(g.tracksPerCylinder, 255u);
    EXPECT_EQ(g.sectorsPerTrack, 63u);
    EXPECT_EQ(g.bytesPerSector, 512u);
    EXPECT_EQ(g.cylinders, g.sectors / (255 * 63));
    MakeFat32();
    std::uint8_t mbr[512];
    std::ifstream(fixture->UserImagePath(id), std::ios::binary)
        .read(reinterpret_cast<char*>(mbr), 512);
    EXPECT_EQ(mbr[510], 0x55);
    EXPECT_EQ(mbr[511], 0xAA);
    EXPECT_EQ(mbr[440] | (mbr[441] << 8) | (mbr[442] << 16) | (std::uint32_t{mbr[443]} << 24),
              0xB1732E49u);
    EXPECT_EQ(mbr[446 + 4], 0x0B);
    EXPECT_EQ(mbr[446 + 8], 63);  // starts at LBA 63
    EXPECT_EQ(mbr[446 + 1], 1);   // CHS 0/1/1
    EXPECT_EQ(mbr[446 + 2], 1);
    const auto parts = fixture->Partitions(id);
    ASSERT_TRUE(parts);
    ASSERT_EQ(parts->size(), 1u);
    EXPECT_EQ((*parts)[0].startSector, 63u);
    // Entries that overlap or leave the disk are refused.
    EXPECT_FALSE(fixture->SetPartitions(id, {{63, 1000, 0x0B, false}, {500, 1000, 0x07, false}}));
    EXPECT_FALSE(fixture->SetPartitions(id, {{63, g.sectors, 0x0B, false}}));
    // A loader drive has no disk to lay out.
    EXPECT_FALSE(fixture->CreateDisk(*fixture->DeviceAt("1.2"), 1));
}

TEST_F(FixtureDisk, Fat32VolumeShowsUpAfterItsDelayAndIsFoundFromItsDisk) {
    MakeFat32();
    EXPECT_FALSE(fixture->VolumeOfDisk(id));
    fixture->DeviceClock(id)->SleepMs(2999);
    EXPECT_FALSE(fixture->VolumeOfDisk(id));
    fixture->DeviceClock(id)->SleepMs(1);
    const auto v = fixture->VolumeOfDisk(id);
    ASSERT_TRUE(v);
    EXPECT_EQ(v->startSector, 63u);
    EXPECT_GE(v->letter, 'D');
    // A drive whose VolumeDelay is never shows none.
    const DeviceId other = *fixture->DeviceAt("1.3");
    const std::uint64_t sectors = fixture->Geometry(other)->sectors;
    ASSERT_TRUE(fixture->SetPartitions(other, {{63, sectors / 2, 0x0C, false}}));
    fixture->DeviceClock(other)->SleepMs(1000000);
    EXPECT_FALSE(fixture->VolumeOfDisk(other));
    // A new empty table takes the volume away.
    ASSERT_TRUE(fixture->CreateDisk(id, 7));
    EXPECT_FALSE(fixture->VolumeOfDisk(id));
}

TEST_F(FixtureDisk, RemovalIsVetoedWhileTheVolumeIsLockedOrHeld) {
    MakeFat32();
    fixture->DeviceClock(id)->SleepMs(3000);
    ASSERT_TRUE(fixture->LockVolume(id));
    EXPECT_FALSE(fixture->LockVolume(id));
    std::string veto;
    EXPECT_EQ(fixture->QueryAndRemove(id, veto), RemovalResult::Vetoed);
    EXPECT_FALSE(veto.empty());
    ASSERT_TRUE(fixture->UnlockVolume(id));
    ASSERT_TRUE(fixture->HoldVolume(id));
    EXPECT_EQ(fixture->Eject(id, veto), RemovalResult::Vetoed);
    fixture->ReleaseVolume(id);
    fixture->TakeDeviceChanges();
    EXPECT_EQ(fixture->QueryAndRemove(id, veto), RemovalResult::Removed);
    // Removed: the port still shows the device, but it carries no disk.
    const auto info = fixture->Device(id);
    ASSERT_TRUE(info);
    EXPECT_TRUE(info->removed);
    EXPECT_EQ(fixture->DeviceAt("1.1"), id);
    std::uint8_t data[64];
    EXPECT_FALSE(fixture
                     ->Execute(id, std::vector<std::uint8_t>{0x12, 0, 0, 0, 0x28, 0}.data(), 6,
                               DataDirection::In, data, 40, 10)
                     .transportOk);
    EXPECT_EQ(fixture->TakeDeviceChanges().size(), 1u);
    EXPECT_EQ(fixture->QueryAndRemove(id, veto), RemovalResult::NoDevice);
    // Plugged in again, it is back.
    ASSERT_TRUE(fixture->PowerCycle(id));
    EXPECT_FALSE(fixture->Device(id)->removed);
}

}  // namespace
}  // namespace kv::emu
