// Program starts, the status reads while a program works and after, and
// program 1 (erase steps and the defect-table commit) and program 4
// (rebuild).
#include <gtest/gtest.h>

#include <set>

#include "diag_test_support.h"

namespace kv::emu::test {
namespace {

TEST(DiagProgramStatus, IdleThenBusyThenEndStatus) {
    DiagBench bench;
    bench.Jump();
    EXPECT_EQ(bench.program().Status(), 0x00);
    ASSERT_TRUE(bench.Send(3, {0x08}, Transfer::None).ok);
    EXPECT_EQ(bench.program().Status(), 0xAA);
    // While it works the program takes no other command.
    Bytes data(2048);
    EXPECT_FALSE(bench.Send(0x06, {}, Transfer::In, &data).ok);
    EXPECT_FALSE(bench.Send(1, {0x10}, Transfer::None).ok);
    bench.clock().Advance(60000);
    EXPECT_EQ(bench.program().Status(), 0x0A);
    EXPECT_EQ(bench.program().Status(), 0x0A);
    EXPECT_TRUE(bench.Send(0x06, {}, Transfer::In, &data).ok);
}

TEST(DiagProgramStatus, ThePreFormatTakesLongerOnALargerFlash) {
    auto busyMs = [](int banks) {
        DriveProfile profile;
        profile.banks = banks;
        DiagBench bench(profile);
        bench.Jump();
        EXPECT_TRUE(bench.Send(3, {0x08}, Transfer::None).ok);
        int ms = 0;
        while (bench.program().Status() == 0xAA && ms < 600000) {
            bench.clock().Advance(10);
            ms += 10;
        }
        EXPECT_EQ(bench.program().Status(), 0x0A);
        return ms;
    };
    const int one = busyMs(1);
    const int two = busyMs(2);
    EXPECT_GT(one, 0);
    EXPECT_GT(two, one);
}

TEST(DiagProgramStatus, UnknownProgramsAndDataPhasesOnStartsFail) {
    DiagBench bench;
    bench.Jump();
    EXPECT_FALSE(bench.Send(2, {0}, Transfer::None).ok);
    Bytes data(512);
    EXPECT_FALSE(bench.Send(1, {0}, Transfer::In, &data).ok);
    EXPECT_FALSE(bench.Send(0x09, {}, Transfer::In, &data).ok);
    EXPECT_EQ(bench.program().Status(), 0x00);
}

TEST(DiagEraseProgram, ErasesTheCodeBlocksTheImageNamesWithinTheFirstPoll) {
    DiagBench bench;
    // Code block list 7, 2, 4, 0xFFFF.
    const std::uint16_t list[4] = {7, 2, 4, 0xFFFF};
    for (int i = 0; i < 4; ++i) {
        bench.image[0x510 + i * 2] = static_cast<std::uint8_t>(list[i]);
        bench.image[0x511 + i * 2] = static_cast<std::uint8_t>(list[i] >> 8);
    }
    Bytes page(static_cast<std::size_t>(bench.pageBytes()), 0x5A);
    for (int block : {2, 3, 4, 7}) {
        for (int c = 0; c < 4; ++c) {
            ASSERT_EQ(bench.nand().ProgramPage({c, 0, block, 0}, page), NandStatus::Ok);
        }
    }
    bench.Jump();
    const auto run = bench.Exec(1, 0x10);
    EXPECT_EQ(run.busyReads, 0);
    EXPECT_EQ(run.status, 0x0E);
    EXPECT_EQ(bench.Result()[0], 0);
    for (int c = 0; c < 4; ++c) {
        EXPECT_FALSE(bench.Programmed(c, 0, 2, 0));
        EXPECT_TRUE(bench.Programmed(c, 0, 3, 0));
        EXPECT_FALSE(bench.Programmed(c, 0, 4, 0));
        EXPECT_FALSE(bench.Programmed(c, 0, 7, 0));
    }
}

TEST(DiagEraseProgram, ACodeBlockThatCannotBeErasedFailsIt) {
    DriveProfile profile;
    profile.factoryBadBlocks = {{3, 0, 2}};
    DiagBench bench(profile);
    bench.Jump();
    const auto run = bench.Exec(1, 0x10);  // the image names blocks 0..3
    EXPECT_NE(run.status, 0x0E);
    const Bytes report = bench.Result();
    ASSERT_EQ(report[0], 1);
    EXPECT_EQ(report[1], 7);
    EXPECT_EQ(report[2], 3);
    EXPECT_EQ(Le16At(report, 5), 2);
}

TEST(DiagEraseProgram, EraseAllReportsTheBlocksThatFailNow) {
    DriveProfile profile;
    profile.grownBadBlocks = {{2, 1, 300}, {0, 0, 9}};
    DiagBench bench(profile);
    Bytes page(static_cast<std::size_t>(bench.pageBytes()), 0x11);
    ASSERT_EQ(bench.nand().ProgramPage({3, 1, 4000, 5}, page), NandStatus::Ok);
    bench.Jump();
    const auto run = bench.Exec(1, 0x01);
    EXPECT_EQ(run.busyReads, 0);
    EXPECT_EQ(run.status, 0x0E);
    EXPECT_FALSE(bench.Programmed(3, 1, 4000, 5));
    EXPECT_TRUE(bench.nand().HasFailed(2, 1, 300));
    EXPECT_TRUE(bench.nand().HasFailed(0, 0, 9));
    const Bytes report = bench.Result();
    ASSERT_EQ(report[0], 2);
    std::set<std::pair<int, int>> found;
    for (const Record& r : Records(report)) {
        EXPECT_EQ(r.code, 7);
        found.insert({report[r.at + 1] * 10 + report[r.at + 2], Le16At(report, r.at + 4)});
    }
    EXPECT_EQ(found, (std::set<std::pair<int, int>>{{21, 300}, {0, 9}}));
}

TEST(DiagEraseProgram, CommitBuildsTheTablesOfAWrittenDefectTable) {
    DiagBench bench;
    // What "Put Def. Table" leaves: code blocks erased, page 1 written.
    Bytes slice(static_cast<std::size_t>(bench.pageBytes()), 0xFF);
    std::copy(kDefectSignature.begin(), kDefectSignature.end(), slice.begin());
    const std::uint8_t entries[] = {0xFB, 0xA0, 0,    0,    0x34, 0x02, 0x00, 9,    0xFB, 0xA0,
                                    1,    0,    0x35, 0x01, 0x01, 4,    0xFE, 0xD1, 0,    0};
    std::copy(std::begin(entries), std::end(entries), slice.begin() + 16);
    for (int block = 0; block < 4; ++block) {
        for (int c = 0; c < 4; ++c) {
            ASSERT_EQ(bench.nand().ProgramPage({c, 0, block, 1}, slice), NandStatus::Ok);
        }
    }
    bench.Jump();
    EXPECT_EQ(bench.Exec(1, 0x00).status, 0x0E);
    for (int block = 0; block < 4; ++block) {
        for (int c = 0; c < 4; ++c) {
            const Bytes early = bench.Page(c, 0, block, 2);
            ASSERT_TRUE(StartsWith(early, kEarlySignature));
            // Bank 0: 0x234; bank 1: 0x135 (an erase fail, flagged).
            EXPECT_EQ(Le16At(early, 16), 0xFB00);
            EXPECT_EQ(Le16At(early, 18), 0x0234);
            EXPECT_EQ(Le16At(early, 20), 0xFB01);
            EXPECT_EQ(Le16At(early, 22), 0x8135);
            EXPECT_EQ(Le16At(early, 24), 0xFE00);
            EXPECT_TRUE(StartsWith(bench.Page(c, 0, block, 4), kSystemSignature));
        }
    }
    // A second commit finds the tables there and leaves them.
    bench.Jump();
    EXPECT_EQ(bench.Exec(1, 0x00).status, 0x0E);
}

TEST(DiagRebuild, KeepsTheEntriesOfTheDriveTableAndAddsWhatTheFlashKnows) {
    DriveProfile profile;
    profile.factoryBadBlocks = {{0, 1, 1000}};
    profile.grownBadBlocks = {{1, 0, 2000}};
    DiagBench bench(profile);
    EXPECT_NE(bench.nand().EraseBlock(1, 0, 2000), NandStatus::Ok);  // failed in use
    // The table the drive carries lists a block its firmware found bad on
    // channel 0 (a program fail the flash itself does not show).
    for (int c = 0; c < 4; ++c) {
        Bytes slice(static_cast<std::size_t>(bench.pageBytes()), 0xFF);
        std::copy(kDefectSignature.begin(), kDefectSignature.end(), slice.begin());
        const Bytes withEntry = {0xFB, 0xA0, 0, 0, 0x55, 0x05, 0x01, 3,
                                 0xFB, 0xA0, 1, 0, 0xFE, 0xD1, 0,    0};
        const Bytes empty = {0xFB, 0xA0, 0, 0, 0xFB, 0xA0, 1, 0, 0xFE, 0xD1, 0, 0};
        const Bytes& entries = c == 0 ? withEntry : empty;
        std::copy(entries.begin(), entries.end(), slice.begin() + 16);
        for (int block = 0; block < 4; ++block) {
            ASSERT_EQ(bench.nand().ProgramPage({c, 0, block, 1}, slice), NandStatus::Ok);
        }
    }
    bench.Jump();
    const auto run = bench.Exec(4, 0x00);
    EXPECT_GT(run.busyReads, 0);
    ASSERT_EQ(run.status, 0x12);
    const Bytes ch0 = bench.Page(0, 0, 0, 1);
    const Bytes ch1 = bench.Page(1, 0, 0, 1);
    ASSERT_TRUE(StartsWith(ch0, kDefectSignature));
    const Bytes want0 = {0xFB, 0xA0, 0,    0,    0x55, 0x05, 0x01, 3,    0xFB, 0xA0,
                         1,    0,    0xE8, 0x03, 0x00, 9,    0xFE, 0xD1, 0,    0};
    const Bytes want1 = {0xFB, 0xA0, 0, 0, 0xD0, 0x07, 0x00, 4, 0xFB, 0xA0, 1, 0, 0xFE, 0xD1, 0, 0};
    EXPECT_TRUE(std::equal(want0.begin(), want0.end(), ch0.begin() + 16));
    EXPECT_TRUE(std::equal(want1.begin(), want1.end(), ch1.begin() + 16));
    EXPECT_TRUE(StartsWith(bench.Page(3, 0, 3, 2), kEarlySignature));
}

TEST(DiagSavedAreas, EraseCountsAreKeptAsTheDriveErasecountArea) {
    DiagBench bench;
    bench.Jump();
    Bytes counts(3 * 512);
    for (std::size_t i = 0; i < counts.size(); ++i) {
        counts[i] = static_cast<std::uint8_t>(i);
    }
    ASSERT_TRUE(bench.Send(0x08, {0, 0}, Transfer::Out, &counts).ok);
    EXPECT_EQ(bench.state().eraseCountArea, counts);
    Bytes tooMany(128 * 512);
    EXPECT_FALSE(bench.Send(0x08, {0, 0}, Transfer::Out, &tooMany).ok);
    EXPECT_EQ(bench.state().eraseCountArea, counts);
}

TEST(DiagSysBlocks, FewerThanFourGoodBlocksAreListedAndReported) {
    DriveProfile profile;
    for (int b = 0; b < 61; ++b) {
        profile.factoryBadBlocks.push_back({0, 0, b});
    }
    DiagBench bench(profile);
    bench.Jump();
    EXPECT_EQ(bench.SysBlocks(), (std::vector<int>{61, 62, 63}));
    const Bytes report = bench.Result();
    ASSERT_EQ(report[0], 1);
    EXPECT_EQ(report[1], 1);
    EXPECT_EQ(Le16At(report, 5), 0);  // the code page
    // The pre-format cannot build a system area there either.
    EXPECT_NE(bench.Exec(3, 0x08).status, 0x0A);
}

TEST(DiagProgramReads, SystemAreaAndBadBlockInfoAnswerFromTheFlash) {
    DriveProfile profile;
    profile.factoryBadBlocks = {{1, 1, 321}};
    DiagBench bench(profile);
    bench.Jump();
    ASSERT_EQ(bench.Exec(3, 0x08).status, 0x0A);
    // VC_GDP_ReadSysArea of page 1 of block 2 (plane pair 1, even plane).
    const Bytes area = bench.ReadIn(0x04, 16, {0xFF, 0, 0, 1, 0, 1});
    EXPECT_TRUE(StartsWith(area, kDefectSignature));
    // VC_GDP_ReadBadBlockInfo of channel 1, chip enable index 1.
    const Bytes info = bench.ReadIn(0x00, 64, {1, 1});
    ASSERT_EQ(Le16At(info, 4), 1);
    EXPECT_EQ(Le16At(info, 8), 321);
    EXPECT_EQ(info[11], 9);
}

}  // namespace
}  // namespace kv::emu::test
