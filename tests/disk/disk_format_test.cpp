#include "disk/disk_format.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "disk/disk_test_support.h"
#include "disk/drive_letter.h"
#include "disk/fat32_format.h"
#include "disk/fat32_layout.h"
#include "disk/mbr_boot_code.h"
#include "disk/mbr_partition.h"
#include "support/run_tool.h"

namespace kv::disk {
namespace {

using test::DiskFixture;
using test::Le32At;
using test::RunTool;
using test::ShellQuote;

bool VendorModeOk(int, std::uint8_t*) {
    return true;
}
bool VendorModeRefused(int, std::uint8_t*) {
    return false;
}

struct FormatCase {
    const char* name;
    std::uint64_t sectors;
    std::uint32_t sectorsPerCluster;
};

class DiskFormatSizes : public ::testing::TestWithParam<FormatCase> {};

// The finished drive as the buyer's tools judge it: one FAT32 partition at
// 63, and a file system the checker accepts with the label the station gave.
TEST_P(DiskFormatSizes, LeavesAPartitionAndFileSystemTheStandardToolsAccept) {
    const FormatCase& c = GetParam();
    DiskFixture rig({{c.sectors, ""}});
    ASSERT_TRUE(rig.ok());
    std::uint8_t buffer[65536];
    DiskFormatOutcome outcome;
    ASSERT_TRUE(DiskFormat(0, buffer, "DiskLabel", VendorModeOk, outcome));
    EXPECT_TRUE(outcome.formatted);
    EXPECT_NE(outcome.driveLetter, 0);

    const std::string image = rig.ImageOf(0);
    const test::ToolResult dump = RunTool("sfdisk -d " + ShellQuote(image));
    ASSERT_EQ(dump.exitCode, 0) << dump.output;
    EXPECT_NE(dump.output.find("start=          63"), std::string::npos) << dump.output;
    EXPECT_NE(dump.output.find("type=b"), std::string::npos) << dump.output;
    const test::ToolResult verify = RunTool("sfdisk -V " + ShellQuote(image));
    EXPECT_EQ(verify.exitCode, 0) << verify.output;

    // The boot sector's count is the partition's; the FSInfo free count all
    // clusters but the root.
    const std::vector<std::uint8_t> boot = rig.Read(0, 63, 2);
    const std::uint32_t partition = Le32At(boot, 32);
    const std::uint32_t fat = Le32At(boot, 36);
    EXPECT_EQ(boot[13], c.sectorsPerCluster);
    const std::uint32_t clusters = (partition - 32 - 2 * fat) / c.sectorsPerCluster;
    EXPECT_EQ(Le32At(boot, 512 + 488), clusters - 1);
    EXPECT_LE(63ull + partition, c.sectors);

    // The checker reads the partition from a sparse copy of its system area.
    const std::string copy = rig.folder().File("partition.img");
    const std::uint32_t system = 32 + 2 * fat + c.sectorsPerCluster;
    ASSERT_EQ(RunTool("truncate -s " + std::to_string(static_cast<std::uint64_t>(partition) * 512) +
                      " " + ShellQuote(copy))
                  .exitCode,
              0);
    ASSERT_EQ(RunTool("dd if=" + ShellQuote(image) + " of=" + ShellQuote(copy) +
                      " bs=512 skip=63 count=" + std::to_string(system) +
                      " conv=notrunc,sparse status=none")
                  .exitCode,
              0);
    const test::ToolResult check = RunTool("fsck.fat -n -v " + ShellQuote(copy));
    EXPECT_EQ(check.exitCode, 0) << check.output;

    const test::ToolResult info =
        RunTool("MTOOLS_SKIP_CHECK=1 minfo -i " + ShellQuote(image + "@@32256") + " ::");
    EXPECT_EQ(info.exitCode, 0) << info.output;
    EXPECT_NE(info.output.find("DiskLabel"), std::string::npos) << info.output;
}

INSTANTIATE_TEST_SUITE_P(Drives, DiskFormatSizes,
                         ::testing::Values(FormatCase{"Mb500", 1024000, 1},
                                           FormatCase{"Sectors8000000", 8000000, 8},
                                           FormatCase{"Gb32", 62533296, 32},
                                           FormatCase{"Gb128", 250069680, 64}),
                         [](const auto& param) { return std::string(param.param.name); });

TEST(DiskFormat, ThirtyTwoGigabyteDriveGetsItsFatSizeAndLabelEntryAtLba30615) {
    DiskFixture rig({{62533296, ""}});
    ASSERT_TRUE(rig.ok());
    std::uint8_t buffer[65536];
    DiskFormatOutcome outcome;
    ASSERT_TRUE(DiskFormat(0, buffer, "ABCDEFGHIJKLMNOPQ", VendorModeOk, outcome));
    const std::vector<std::uint8_t> boot = rig.Read(0, 63, 1);
    EXPECT_EQ(Le32At(boot, 36), 15260u);
    EXPECT_EQ(boot[13], 32);
    // A 17-character label keeps 11 characters in both places.
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(boot.data()) + 71, 11), "ABCDEFGHIJK");
    const std::vector<std::uint8_t> root = rig.Read(0, 30615, 1);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(root.data()), 11), "ABCDEFGHIJK");
    EXPECT_EQ(root[11], 0x08);
    // The backup boot sector and FSInfo copy.
    EXPECT_EQ(rig.Read(0, 69, 2), rig.Read(0, 63, 2));
    EXPECT_NE(rig.output.console.find("Clearing out 30584 sectors"), std::string::npos);
    EXPECT_NE(rig.output.console.find("Wrote 15659008 bytes in"), std::string::npos);
}

TEST(DiskFormat, ShortLabelIsPaddedWithBlanksInTheBootSectorAndTheRoot) {
    DiskFixture rig({{1024000, ""}});
    ASSERT_TRUE(rig.ok());
    std::uint8_t buffer[65536];
    DiskFormatOutcome outcome;
    ASSERT_TRUE(DiskFormat(0, buffer, "SSD", VendorModeOk, outcome));
    const std::vector<std::uint8_t> boot = rig.Read(0, 63, 1);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(boot.data()) + 71, 11), "SSD        ");
    const std::uint32_t fat = Le32At(boot, 36);
    const std::vector<std::uint8_t> root = rig.Read(0, 63 + 32 + 2 * fat, 1);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(root.data()), 11), "SSD        ");
}

struct VolumeWaitCase {
    const char* name;
    const char* delay;
    bool formats;
};

class DiskFormatVolumeWait : public ::testing::TestWithParam<VolumeWaitCase> {};

// 101 one-second looks for the volume: one that shows up after 40 s is still
// formatted, one that never shows up fails the item.
TEST_P(DiskFormatVolumeWait, WaitsUpToOneHundredAndOneSeconds) {
    const VolumeWaitCase& c = GetParam();
    DiskFixture rig({{1024000, std::string("VolumeDelay=") + c.delay + "\n"}});
    ASSERT_TRUE(rig.ok());
    std::uint8_t buffer[65536];
    DiskFormatOutcome outcome;
    const std::int64_t before = rig.sim().portClock(0).NowMs();
    EXPECT_EQ(DiskFormat(0, buffer, "SSD Disk", VendorModeOk, outcome), c.formats);
    EXPECT_EQ(outcome.formatted, c.formats);
    EXPECT_EQ(outcome.driveLetter != 0, c.formats);
    if (!c.formats) {
        EXPECT_GE(rig.sim().portClock(0).NowMs() - before, 101 * 1000);
    }
}

INSTANTIATE_TEST_SUITE_P(Delays, DiskFormatVolumeWait,
                         ::testing::Values(VolumeWaitCase{"After40s", "40", true},
                                           VolumeWaitCase{"After100s", "100", true},
                                           VolumeWaitCase{"Never", "never", false}),
                         [](const auto& param) { return std::string(param.param.name); });

TEST(DiskFormat, RefusedVendorModeTouchesNothing) {
    DiskFixture rig({{1024000, ""}});
    ASSERT_TRUE(rig.ok());
    std::uint8_t buffer[65536];
    DiskFormatOutcome outcome;
    EXPECT_FALSE(DiskFormat(0, buffer, "SSD Disk", VendorModeRefused, outcome));
    EXPECT_EQ(rig.Read(0, 0, 1), std::vector<std::uint8_t>(512, 0));
}

TEST(DiskFormat, FailedWriteInTheSystemAreaFailsTheFormat) {
    DiskFixture rig({{1024000, "Fault=write-error:100\n"}});
    ASSERT_TRUE(rig.ok());
    std::uint8_t buffer[65536];
    DiskFormatOutcome outcome;
    EXPECT_FALSE(DiskFormat(0, buffer, "SSD Disk", VendorModeOk, outcome));
    EXPECT_FALSE(outcome.formatted);
}

// The exclusive open is retried each second, five times per present port,
// while another handle keeps the disk open.
TEST(FormatFat32, GivesUpAfterFiveOpenAttemptsPerPresentPort) {
    DiskFixture rig({{1024000, ""}, {1024000, ""}});
    ASSERT_TRUE(rig.ok());
    ASSERT_TRUE(CreateSinglePartition(rig.PathOf(0), 0));
    platform::DiskAccess& disks = *rig.sim().diskAccess();
    std::uint32_t error = 0;
    std::unique_ptr<platform::DiskHandle> other =
        disks.OpenDisk(rig.PathOf(0), platform::DiskOpenMode{}, error);
    ASSERT_NE(other, nullptr);
    const std::int64_t before = rig.sim().portClock(0).NowMs();
    EXPECT_FALSE(FormatFat32(rig.PathOf(0), "SSD Disk", 0));
    EXPECT_EQ(rig.sim().portClock(0).NowMs() - before, 2 * 5 * 1000);
    other.reset();
    EXPECT_TRUE(FormatFat32(rig.PathOf(0), "SSD Disk", 0));
}

TEST(FormatFat32, DiskWithoutPartitionAtSixtyThreeIsNotFormatted) {
    DiskFixture rig({{1024000, ""}});
    ASSERT_TRUE(rig.ok());
    EXPECT_FALSE(FormatFat32(rig.PathOf(0), "SSD Disk", 0));
    EXPECT_EQ(rig.Read(0, 63, 1), std::vector<std::uint8_t>(512, 0));
}

TEST(WriteMbrAndPartition, WritesTheStationsBootRecordAndOnePartition) {
    DiskFixture rig({{1024000, ""}});
    ASSERT_TRUE(rig.ok());
    ASSERT_TRUE(WriteMbrAndPartition(rig.PathOf(0)));
    const std::vector<std::uint8_t> mbr = rig.Read(0, 0, 1);
    const std::array<std::uint8_t, 512> expected = MbrTemplate();
    // Boot code and signature as the template has them; the table filled in.
    EXPECT_TRUE(std::equal(mbr.begin(), mbr.begin() + 446, expected.begin()));
    EXPECT_EQ(Le32At(mbr, 440), kMbrDiskSignature);
    const test::ToolResult dump = RunTool("sfdisk -d " + ShellQuote(rig.ImageOf(0)));
    EXPECT_NE(dump.output.find("label-id: 0xb1732e49"), std::string::npos) << dump.output;
    EXPECT_NE(dump.output.find("start=          63"), std::string::npos) << dump.output;
    // All the geometry's cylinders: 63 cylinders of 16,065 sectors for 1,024,000.
    EXPECT_NE(dump.output.find("size=     1012032"), std::string::npos) << dump.output;
}

TEST(MbrTemplate, CarriesTheThreeMessagesAnEmptyTableAndTheSignatures) {
    const std::array<std::uint8_t, 512> mbr = MbrTemplate();
    const std::string text(reinterpret_cast<const char*>(mbr.data()), 440);
    for (const char* message : {"Invalid partition table", "Error loading operating system",
                                "Missing operating system"}) {
        const std::size_t at = text.find(message);
        ASSERT_NE(at, std::string::npos) << message;
        EXPECT_EQ(mbr[at + std::strlen(message)], 0) << message;
        // The code prints each message from its address after the relocation to 0x0600.
        const std::uint16_t address = static_cast<std::uint16_t>(0x0600 + at);
        bool referenced = false;
        for (std::size_t i = 0; i + 2 < 440; ++i) {
            referenced = referenced || (mbr[i] == 0xBE && mbr[i + 1] == (address & 0xFF) &&
                                        mbr[i + 2] == (address >> 8));
        }
        EXPECT_TRUE(referenced) << message;
    }
    EXPECT_TRUE(std::all_of(mbr.begin() + 446, mbr.begin() + 510, [](auto b) { return b == 0; }));
    EXPECT_EQ(mbr[510], 0x55);
    EXPECT_EQ(mbr[511], 0xAA);
}

TEST(FindDriveLetter, FindsTheVolumeOfItsOwnDiskOnly) {
    DiskFixture rig({{1024000, "VolumeDelay=0\n"}, {1024000, "VolumeDelay=0\n"}});
    ASSERT_TRUE(rig.ok());
    char letter = 'x';
    EXPECT_FALSE(FindDriveLetter(rig.PathOf(1), letter));
    EXPECT_EQ(letter, 0);
    ASSERT_TRUE(CreateSinglePartition(rig.PathOf(1), 1));
    EXPECT_FALSE(FindDriveLetter(rig.PathOf(0), letter));
    ASSERT_TRUE(FindDriveLetter(rig.PathOf(1), letter));
    EXPECT_EQ(letter, rig.fixture().VolumeOfDisk(rig.Id(1))->letter);
}

}  // namespace
}  // namespace kv::disk
