#include "platform/sim/sim_disk_access.h"

#include <gtest/gtest.h>

#include "disk/disk_test_support.h"

namespace kv::platform {
namespace {

using test::DiskFixture;

constexpr DiskOpenMode kShared{};
constexpr DiskOpenMode kExclusive{true, true, false, true, false};
constexpr DiskOpenMode kQuery{false, false, true, false, true};

class SimDiskAccessTest : public ::testing::Test {
  protected:
    DiskAccess& disks() { return *rig.sim().diskAccess(); }
    std::unique_ptr<DiskHandle> Open(const DiskOpenMode& mode) {
        std::uint32_t error = 0;
        return disks().OpenDisk(rig.PathOf(0), mode, error);
    }
    // Drive 0 has its volume at once, drive 1 after two seconds of its clock.
    DiskFixture rig{{{1024000, "VolumeDelay=0\n"}, {1024000, ""}}};
};

TEST_F(SimDiskAccessTest, ExclusiveOpenWaitsForEveryOtherDiskHandle) {
    ASSERT_TRUE(rig.ok());
    std::unique_ptr<DiskHandle> shared = Open(kShared);
    ASSERT_NE(shared, nullptr);
    std::uint32_t error = 0;
    EXPECT_EQ(disks().OpenDisk(rig.PathOf(0), kExclusive, error), nullptr);
    EXPECT_EQ(error, SimDiskAccess::kErrorSharingViolation);
    // A query handle takes no share.
    EXPECT_NE(Open(kQuery), nullptr);
    shared.reset();
    std::unique_ptr<DiskHandle> exclusive = Open(kExclusive);
    ASSERT_NE(exclusive, nullptr);
    EXPECT_EQ(Open(kShared), nullptr);
    EXPECT_NE(Open(kQuery), nullptr);
    EXPECT_EQ(disks().OpenDisk("\\\\?\\no-such-disk", kShared, error), nullptr);
    EXPECT_EQ(error, SimDiskAccess::kErrorFileNotFound);
}

TEST_F(SimDiskAccessTest, LayoutCallsWriteTheTableAndMountTheVolume) {
    ASSERT_TRUE(rig.ok());
    std::unique_ptr<DiskHandle> disk = Open(kShared);
    DriveGeometry g;
    ASSERT_TRUE(disks().GetDriveGeometry(*disk, g));
    EXPECT_EQ(g.tracksPerCylinder, 255u);
    EXPECT_EQ(g.sectorsPerTrack, 63u);
    EXPECT_EQ(g.bytesPerSector, 512u);
    EXPECT_EQ(g.cylinders, 1024000u / 16065);
    ASSERT_TRUE(disks().CreateDisk(*disk, 0x1234));
    DriveLayout layout;
    ASSERT_TRUE(disks().GetDriveLayout(*disk, layout));
    EXPECT_EQ(layout.signature, 0x1234u);
    EXPECT_EQ(layout.entries[0].partitionType, 0);
    layout.entries[0].startingOffset = 63 * 512;
    layout.entries[0].length = 100000 * 512;
    layout.entries[0].partitionType = 0x0B;
    ASSERT_TRUE(disks().SetDriveLayout(*disk, layout));
    DriveLayout again;
    ASSERT_TRUE(disks().GetDriveLayout(*disk, again));
    EXPECT_EQ(again.entries[0].startingOffset, 63u * 512);
    EXPECT_EQ(again.entries[0].length, 100000u * 512);

    const std::vector<char> letters = disks().LogicalDrives();
    ASSERT_EQ(letters.size(), 2u);
    EXPECT_EQ(letters[0], 'C');
    const char letter = letters[1];
    EXPECT_EQ(disks().GetDriveType(letter), DriveType::Removable);
    std::uint32_t error = 0;
    std::unique_ptr<DiskHandle> volume = disks().OpenVolume(letter, kShared, error);
    ASSERT_NE(volume, nullptr);
    StorageDeviceNumber ofDisk;
    StorageDeviceNumber ofVolume;
    ASSERT_TRUE(disks().GetDeviceNumber(*disk, ofDisk));
    ASSERT_TRUE(disks().GetDeviceNumber(*volume, ofVolume));
    EXPECT_EQ(ofDisk.deviceNumber, ofVolume.deviceNumber);
    PartitionInfo info;
    ASSERT_TRUE(disks().GetPartitionInfo(*volume, info));
    EXPECT_EQ(info.startingOffset, 63u * 512);
    EXPECT_EQ(info.length, 100000u * 512);
    // Volume sectors are the partition's.
    const std::vector<std::uint8_t> sector(512, 0x5C);
    ASSERT_TRUE(disks().WriteVolume(*volume, 512, sector.data(), 512));
    EXPECT_EQ(rig.Read(0, 64, 1), sector);
    std::vector<std::uint8_t> back(512);
    ASSERT_TRUE(disks().ReadVolume(*volume, 512, back.data(), 512));
    EXPECT_EQ(back, sector);
    EXPECT_FALSE(disks().ReadVolume(*volume, 100000ull * 512, back.data(), 512));
}

TEST_F(SimDiskAccessTest, OpenOrLockedVolumeVetoesRemovalUntilClosed) {
    ASSERT_TRUE(rig.ok());
    {
        std::unique_ptr<DiskHandle> disk = Open(kShared);
        DriveLayout layout;
        layout.entries[0].startingOffset = 63 * 512;
        layout.entries[0].length = 200000 * 512;
        layout.entries[0].partitionType = 0x0B;
        ASSERT_TRUE(disks().SetDriveLayout(*disk, layout));
    }
    const char letter = rig.fixture().VolumeOfDisk(rig.Id(0))->letter;
    std::uint32_t error = 0;
    std::unique_ptr<DiskHandle> volume = disks().OpenVolume(letter, kShared, error);
    ASSERT_NE(volume, nullptr);
    ASSERT_TRUE(disks().LockVolume(*volume));
    EXPECT_FALSE(disks().LockVolume(*volume));
    EXPECT_TRUE(rig.fixture().VolumeOfDisk(rig.Id(0))->locked);
    std::string veto;
    EXPECT_EQ(rig.fixture().QueryAndRemove(rig.Id(0), veto), emu::RemovalResult::Vetoed);
    EXPECT_TRUE(disks().UnlockVolume(*volume));
    EXPECT_FALSE(disks().UnlockVolume(*volume));
    EXPECT_EQ(rig.fixture().QueryAndRemove(rig.Id(0), veto), emu::RemovalResult::Vetoed);
    // Closing a locked handle unlocks and releases it.
    ASSERT_TRUE(disks().LockVolume(*volume));
    EXPECT_TRUE(disks().Close(std::move(volume)));
    EXPECT_EQ(rig.fixture().QueryAndRemove(rig.Id(0), veto), emu::RemovalResult::Removed);
}

TEST_F(SimDiskAccessTest, SystemVolumeIsListedButNeverOpened) {
    ASSERT_TRUE(rig.ok());
    EXPECT_EQ(disks().SystemDriveLetter(), 'C');
    EXPECT_EQ(disks().GetDriveType('C'), DriveType::Fixed);
    std::uint32_t error = 0;
    EXPECT_EQ(disks().OpenVolume('C', kShared, error), nullptr);
    EXPECT_FALSE(disks().IsWindows2000());
    std::uint64_t total = 0;
    std::uint64_t free = 0;
    EXPECT_FALSE(disks().GetDiskFreeSpace('C', total, free));
}

}  // namespace
}  // namespace kv::platform
