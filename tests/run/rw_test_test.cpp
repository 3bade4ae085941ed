#include "run/rw_test.h"

#include <gtest/gtest.h>

#include "disk/disk_test_support.h"

namespace kv {
namespace {

using test::DiskFixture;
using test::Le32At;

constexpr std::uint64_t kGiB = 2097152;

int vendorModeCalls = 0;
bool CountVendorMode(int, std::uint8_t*) {
    ++vendorModeCalls;
    return false;  // its answer does not decide the test
}

std::vector<std::uint8_t> Record(const std::uint8_t* buffer) {
    return std::vector<std::uint8_t>(buffer, buffer + 20);
}

std::uint16_t FirstWord(const std::vector<std::uint8_t>& sector) {
    return static_cast<std::uint16_t>(sector[0] | (sector[1] << 8));
}

TEST(FillSectorPattern, CarriesTheLbaLowByteAndTheWordIndex) {
    std::vector<std::uint8_t> run(26 * 512);
    FillSectorPattern(run.data(), 5000, 26 * 256);
    EXPECT_EQ(run[0] | (run[1] << 8), 0x8800);
    EXPECT_EQ(run[run.size() - 2] | (run[run.size() - 1] << 8), 0xA1FF);
    // Sector 5001 (low byte 0x89), word 3.
    EXPECT_EQ(run[512 + 6] | (run[512 + 7] << 8), 0x8903);
}

struct SamplingCase {
    const char* name;
    std::uint64_t sectors;
    std::vector<std::uint64_t> visited;
    std::vector<std::uint64_t> skipped;
};

class RWTestSampling : public ::testing::TestWithParam<SamplingCase> {};

TEST_P(RWTestSampling, VisitsEveryStepthGiBAndLeavesSectorZeroFilledWithFF) {
    const SamplingCase& c = GetParam();
    DiskFixture rig({{c.sectors, ""}});
    ASSERT_TRUE(rig.ok());
    std::vector<std::uint8_t> buffer(65536);
    vendorModeCalls = 0;
    ASSERT_TRUE(RWTest(0, buffer.data(), CountVendorMode));
    EXPECT_EQ(vendorModeCalls, 1);
    for (const std::uint64_t g : c.visited) {
        const std::uint64_t lba = g * kGiB + 5000;
        EXPECT_EQ(FirstWord(rig.Read(0, lba, 1)), static_cast<std::uint16_t>(lba * 256)) << g;
    }
    for (const std::uint64_t g : c.skipped) {
        EXPECT_EQ(rig.Read(0, g * kGiB + 5000, 1), std::vector<std::uint8_t>(512, 0)) << g;
    }
    EXPECT_EQ(rig.Read(0, 0, 1), std::vector<std::uint8_t>(512, 0xFF));
    const std::uint64_t last = c.sectors - 1;
    EXPECT_EQ(FirstWord(rig.Read(0, last, 1)), static_cast<std::uint16_t>(last * 256));
}

INSTANTIATE_TEST_SUITE_P(
    Drives, RWTestSampling,
    ::testing::Values(SamplingCase{"Gib14", 14336ull * 2048, {0, 1, 7, 13}, {}},
                      SamplingCase{"Gib32", 32768ull * 2048, {0, 3, 6, 27, 30}, {1, 2, 29, 31}},
                      // Below one GiB nothing is sampled; the last sector still is.
                      SamplingCase{"Mib500", 1024000, {}, {}}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(RWTest, MiscompareLeavesTheCompareRecordOfTheRun) {
    DiskFixture rig({{2 * kGiB, "Fault=miscompare:200\n"}});
    ASSERT_TRUE(rig.ok());
    std::vector<std::uint8_t> buffer(65536);
    EXPECT_FALSE(RWTest(0, buffer.data(), nullptr));
    // Run 3 (128 sectors at 128) covers LBA 200; the drive spoils its word 32.
    const std::uint32_t index = (200 - 128) * 256 + 32;
    const std::uint16_t expected = static_cast<std::uint16_t>(128 * 256 + index);
    const std::vector<std::uint8_t> record = Record(buffer.data());
    EXPECT_EQ(Le32At(record, 0), 3u);
    EXPECT_EQ(Le32At(record, 4), 128u);
    EXPECT_EQ(Le32At(record, 8), expected);
    EXPECT_EQ(Le32At(record, 12), expected ^ 0x5AFFu);
    EXPECT_EQ(Le32At(record, 16), index);
    // The test stopped before sector 0 got its 0xFF bytes.
    EXPECT_NE(rig.Read(0, 0, 1), std::vector<std::uint8_t>(512, 0xFF));
}

TEST(RWTest, ReadErrorLeavesTheReadRecord) {
    DiskFixture rig({{2 * kGiB, "Fault=read-error:5010\n"}});
    ASSERT_TRUE(rig.ok());
    std::vector<std::uint8_t> buffer(65536);
    EXPECT_FALSE(RWTest(0, buffer.data(), nullptr));
    const std::vector<std::uint8_t> record = Record(buffer.data());
    EXPECT_EQ(Le32At(record, 0), 2u);
    EXPECT_EQ(Le32At(record, 4), 5000u);  // the run of 26 sectors at 5,000
}

TEST(RWTest, DriveOfExactly8192SectorsFails) {
    DiskFixture rig({{8192, ""}, {8193, ""}});
    ASSERT_TRUE(rig.ok());
    std::vector<std::uint8_t> buffer(65536);
    EXPECT_FALSE(RWTest(0, buffer.data(), nullptr));
    EXPECT_EQ(rig.Read(0, 0, 1), std::vector<std::uint8_t>(512, 0));
    EXPECT_TRUE(RWTest(1, buffer.data(), nullptr));
}

TEST(SectorPatternTest, RefusesARunLargerThanTheBuffer) {
    DiskFixture rig({{1024000, ""}});
    ASSERT_TRUE(rig.ok());
    std::vector<std::uint8_t> buffer(65536);
    EXPECT_FALSE(SectorPatternTest(0, buffer.data(), 129, 0));
    EXPECT_FALSE(SectorPatternTest(0, buffer.data(), 0, 0));
    EXPECT_TRUE(SectorPatternTest(0, buffer.data(), 128, 1000));
}

struct ImgCase {
    const char* name;
    std::vector<std::pair<std::uint64_t, std::vector<std::uint8_t>>> sectors;
    std::string fault;
    bool pass;
};

std::vector<std::uint8_t> BootLike(std::uint8_t first, bool fat, bool signature) {
    std::vector<std::uint8_t> s(512, 0);
    s[0] = first;
    if (fat) {
        s[2] = 0x90;
        s[66] = 0x29;
    }
    if (signature) {
        s[510] = 0x55;
        s[511] = 0xAA;
    }
    return s;
}

class CheckImgPatternCases : public ::testing::TestWithParam<ImgCase> {};

TEST_P(CheckImgPatternCases, JudgesTheSectorItRead) {
    const ImgCase& c = GetParam();
    DiskFixture rig({{1024000, c.fault}});
    ASSERT_TRUE(rig.ok());
    for (const auto& [lba, data] : c.sectors) {
        ASSERT_TRUE(rig.fixture().WriteDisk(rig.Id(0), lba, data));
    }
    EXPECT_EQ(CheckImgPattern(rig.PathOf(0)), c.pass);
}

INSTANTIATE_TEST_SUITE_P(
    Images, CheckImgPatternCases,
    ::testing::Values(ImgCase{"FatBootSectorAt63", {{63, BootLike(0xEB, true, true)}}, "", true},
                      ImgCase{"BlankDrive", {}, "", false},
                      ImgCase{"SignedSectorAt63", {{63, BootLike(0x33, false, true)}}, "", true},
                      // LBA 0 starts with 0xEB: LBA 63 (unreadable here) is not read.
                      ImgCase{"SignedSectorAt0",
                              {{0, BootLike(0xEB, false, true)}},
                              "Fault=read-error:150\n",
                              true},
                      ImgCase{"UnreadableAt63", {}, "Fault=read-error:150\n", false}),
    [](const auto& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace kv
