#include "disk/fat32_layout.h"

#include <gtest/gtest.h>

#include <string>

#include "disk/disk_test_support.h"
#include "disk/format_output.h"

namespace kv::disk {
namespace {

struct ClusterCase {
    std::uint64_t mb;
    std::uint32_t sectors;
};

TEST(SectorsPerCluster, FollowsTheDriveSizeTable) {
    const ClusterCase cases[] = {{1, 1},      {512, 1},    {513, 8},    {8192, 8},   {8193, 16},
                                 {16384, 16}, {16385, 32}, {32768, 32}, {32769, 64}, {2000000, 64}};
    for (const ClusterCase& c : cases) {
        EXPECT_EQ(SectorsPerCluster(c.mb, 512), c.sectors) << c.mb << " MB";
    }
    // 4 KiB clusters of 4 KiB sectors.
    EXPECT_EQ(SectorsPerCluster(1000, 4096), 1u);
}

TEST(SectorsPerCluster, ZeroSectorSizeIsReportedAndCountsAsZero) {
    test::CapturedFormatOutput output;
    SetFormatOutput(&output);
    EXPECT_EQ(SectorsPerCluster(1000, 0), 0u);
    EXPECT_EQ(CheckedDivide(10, 0, "format_direct FatNeeded"), 0u);
    SetFormatOutput(nullptr);
    EXPECT_EQ(output.zeroDivisors, "get_spc\nformat_direct FatNeeded\n");
}

TEST(FatSizeSectors, MatchesTheThirtyTwoGigabyteExample) {
    EXPECT_EQ(FatSizeSectors(62533296, 32, 512), 15260u);
    EXPECT_EQ(FatSizeSectors(10, 1, 512), 0u);  // less than the reserved sectors
}

TEST(VolumeIdFrom, AddsTheDateAndTimeHalves) {
    platform::LocalTime t;
    t.year = 2026;
    t.month = 12;
    t.day = 11;
    t.hour = 15;
    t.minute = 7;
    t.second = 30;
    t.millisecond = 990;
    const std::uint32_t low = (12 * 256 + 11) + (30 * 256 + 99);
    const std::uint32_t high = 15 * 256 + 7 + 2026;
    EXPECT_EQ(VolumeIdFrom(t), (high << 16) | low);
    // Both halves wrap at 65,536.
    t.hour = 255;
    t.minute = 255;
    t.year = 65535;
    EXPECT_EQ(VolumeIdFrom(t) >> 16, (255u * 256 + 255 + 65535) & 0xFFFF);
}

TEST(BuildBootSector, PutsTheLayoutIntoItsFields) {
    Fat32Layout layout;
    layout.sectorsPerCluster = 32;
    layout.fatSectors = 15260;
    layout.partitionSectors = 62524917;
    layout.clusters = (62524917 - 32 - 2 * 15260) / 32;
    layout.volumeId = 0x12345678;
    layout.label = PadLabel("SSD Disk");
    const Sector s = BuildBootSector(layout);
    const std::vector<std::uint8_t> b(s.begin(), s.end());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(s.data()) + 3, 8), "MSWIN4.1");
    EXPECT_EQ(b[0], 0xEB);
    EXPECT_EQ(b[13], 32);
    EXPECT_EQ(test::Le32At(b, 28), 63u);
    EXPECT_EQ(test::Le32At(b, 32), 62524917u);
    EXPECT_EQ(test::Le32At(b, 36), 15260u);
    EXPECT_EQ(test::Le32At(b, 44), 2u);
    EXPECT_EQ(b[48] | (b[49] << 8), 1);
    EXPECT_EQ(b[50] | (b[51] << 8), 6);
    EXPECT_EQ(test::Le32At(b, 67), 0x12345678u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(s.data()) + 71, 11), "SSD Disk   ");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(s.data()) + 82, 8), "FAT32   ");
    EXPECT_EQ(b[510], 0x55);
    EXPECT_EQ(b[511], 0xAA);

    const Sector info = BuildFsInfoSector(layout);
    const std::vector<std::uint8_t> i(info.begin(), info.end());
    EXPECT_EQ(test::Le32At(i, 0), 0x41615252u);
    EXPECT_EQ(test::Le32At(i, 484), 0x61417272u);
    EXPECT_EQ(test::Le32At(i, 488), layout.clusters - 1);
    EXPECT_EQ(test::Le32At(i, 492), 3u);
    EXPECT_EQ(test::Le32At(i, 508), 0xAA550000u);
}

}  // namespace
}  // namespace kv::disk
