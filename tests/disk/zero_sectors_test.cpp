#include "disk/zero_sectors.h"

#include <gtest/gtest.h>

#include "disk/disk_test_support.h"
#include "disk/volume_label.h"

namespace kv::disk {
namespace {

using test::DiskFixture;

TEST(ZeroSectors, ClearsTheRunAndReportsItsThroughput) {
    DiskFixture rig({{1024000, ""}});
    ASSERT_TRUE(rig.ok());
    const std::vector<std::uint8_t> ones(300 * 512, 0x11);
    ASSERT_TRUE(rig.fixture().WriteDisk(rig.Id(0), 10, ones));
    EXPECT_TRUE(ZeroSectors(rig.PathOf(0), 20, 512, 200));  // two pieces, one short
    EXPECT_EQ(rig.Read(0, 20, 200), std::vector<std::uint8_t>(200 * 512, 0));
    // Neighbours stay as they were.
    EXPECT_EQ(rig.Read(0, 10, 10), std::vector<std::uint8_t>(10 * 512, 0x11));
    EXPECT_EQ(rig.Read(0, 220, 90), std::vector<std::uint8_t>(90 * 512, 0x11));
    EXPECT_NE(rig.output.console.find("Wrote 102400 bytes in "), std::string::npos)
        << rig.output.console;
    EXPECT_NE(rig.output.console.find(" bytes/sec\n"), std::string::npos);
}

TEST(ZeroSectors, FailsWhenTheDriveDoesNotGiveZerosBack) {
    const char* faults[] = {"Fault=miscompare:150\n", "Fault=read-error:150\n",
                            "Fault=write-error:150\n"};
    for (const char* fault : faults) {
        DiskFixture rig({{1024000, fault}});
        ASSERT_TRUE(rig.ok());
        EXPECT_FALSE(ZeroSectors(rig.PathOf(0), 0, 512, 256)) << fault;
        EXPECT_EQ(rig.output.console.find("Wrote"), std::string::npos) << fault;
    }
}

TEST(WriteVolumeLabelEntry, KeepsTheRestOfTheSector) {
    DiskFixture rig({{1024000, ""}});
    ASSERT_TRUE(rig.ok());
    const std::vector<std::uint8_t> ones(512, 0x11);
    ASSERT_TRUE(rig.fixture().WriteDisk(rig.Id(0), 500, ones));
    ASSERT_TRUE(WriteVolumeLabelEntry(rig.PathOf(0), "A", 500));
    std::vector<std::uint8_t> expected = ones;
    std::fill(expected.begin(), expected.begin() + 11, ' ');
    expected[0] = 'A';
    expected[11] = 0x08;
    EXPECT_EQ(rig.Read(0, 500, 1), expected);
}

}  // namespace
}  // namespace kv::disk
