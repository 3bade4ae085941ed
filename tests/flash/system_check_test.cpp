#include "flash/system_check.h"

#include <gtest/gtest.h>

#include "firmware/code_download.h"
#include "firmware/system_area_fixture.h"
#include "flash/count_bad_blocks.h"
#include "flash/flash_scan.h"
#include "flash/flash_scan_stores.h"

namespace kv {
namespace {

using SystemCheckTest = test::SystemAreaFixture;

TEST_F(SystemCheckTest, ProducedDriveShowsItsConfigurationAndPassesTheCheck) {
    StartDrive("Boot=firmware\n");
    FlashConfig own;  // nothing known beforehand: all of it comes from the drive
    std::memcpy(own.BlocksSignature, flash.BlocksSignature, sizeof own.BlocksSignature);
    RunningSystemInfo info;
    ASSERT_TRUE(CheckTables(0, work, own, settings.block));
    ASSERT_TRUE(ReadSystemInfo(0, work, own, info));
    EXPECT_EQ(own.TypeWord, 0x1851);
    EXPECT_EQ(own.Channels, 4);
    EXPECT_EQ(own.Banks, 2);
    EXPECT_EQ(own.SectorsPerPage, 8);
    EXPECT_EQ(own.PagesPerBlock, 256);
    EXPECT_EQ(info.ModelCode, "517");
    EXPECT_EQ(FlashStoresOf(0).Image.CodeBlocks.Count, 4);
    EXPECT_TRUE(info.InfoPageFound);
    EXPECT_EQ(info.FileCount, 1);
    EXPECT_EQ(info.Files[0].StartPage, 8);
    EXPECT_EQ(info.SystemPageList[47], 47);

    BadBlockCounts counts(own.Channels, own.Banks);
    BadBlockSums sums{};
    ASSERT_TRUE(CountBadBlocks(0, work, own, info.ModelCode, counts, sums, nullptr));
    EXPECT_EQ(sums, (BadBlockSums{test::kSampleFactoryBad * test::kSampleDies, 0, 0, 0, 0}));
}

TEST_F(SystemCheckTest, ABrokenSignatureInTheFirstCodeBlockNamesThePage) {
    struct Case {
        const char* fault;
        int page;
    } cases[] = {{"table-damage:0.1", 1}, {"table-damage:0.2", 2}};
    for (const Case& c : cases) {
        StartDrive(std::string("Boot=firmware\nFault=") + c.fault + "\n");
        FlashConfig own = flash;
        work[0] = 0;
        EXPECT_FALSE(CheckTables(0, work, own, settings.block)) << c.fault;
        EXPECT_EQ(work[0], c.page) << c.fault;
        TearDown();
    }
}

TEST_F(SystemCheckTest, DamageInAnotherCodeBlockDoesNotFailTheCheck) {
    StartDrive("Boot=firmware\nFault=table-damage:2.1\n");
    FlashConfig own = flash;
    EXPECT_TRUE(CheckTables(0, work, own, settings.block));
}

TEST_F(SystemCheckTest, DefectTablePresenceSeesTheTableOrItsAbsence) {
    StartDrive("Boot=firmware\n");
    const ProcedureContext ctx = Context();
    ASSERT_TRUE(GetCodeBlocks(0, work, ctx));
    EXPECT_EQ(DefectTablePresence(0, flash), 1);

    StartDrive("Boot=firmware\nFault=table-damage:0.1\n");
    ASSERT_TRUE(GetCodeBlocks(0, work, Context()));
    // Only channel 0 is broken: the other slices still carry the table.
    EXPECT_EQ(DefectTablePresence(0, flash), 1);
}

TEST_F(SystemCheckTest, AFreshDriveHasNoDefectTable) {
    StartDrive("");
    ASSERT_TRUE(GetCodeBlocks(0, work, Context()));
    EXPECT_EQ(DefectTablePresence(0, flash), 2);
}

TEST(PlanePairNumber, BlocksMapToTheirPlanePair) {
    FlashConfig f;
    f.MakerClass = 1;
    EXPECT_EQ(PlanePairNumber(f, 7, false), 3);
    EXPECT_EQ(PlanePairNumber(f, 7, true), 7);
    f.MakerClass = 2;
    f.TypeWord = 0x2A89;
    f.BlocksPerPlaneDie = 2048;
    EXPECT_EQ(PlanePairNumber(f, 4097, false), 4097 % 4096 + 1 * 2048);
    f.AltFamily = 1;
    EXPECT_EQ(PlanePairNumber(f, 4097, false), 2048);
}

}  // namespace
}  // namespace kv
