// The flash: program-once pages, bad blocks, sparse and persistent storage.
#include "emulator/nand.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "emu_test_support.h"

namespace kv::emu {
namespace {

NandGeometry Geometry4096() {
    // 16 sectors per page, 128 pages per block, 4096 blocks, 1 die; 4 channels, 2 chip enables.
    return *GeometryFromTypeWord(0x084A, 4, 2);
}

std::vector<std::uint8_t> PageOf(const NandGeometry& g, std::uint8_t fill) {
    return std::vector<std::uint8_t>(static_cast<std::size_t>(g.pageBytes()), fill);
}

TEST(NandGeometry, FromTypeWord) {
    const auto g = GeometryFromTypeWord(0x0080, 1, 1);
    ASSERT_TRUE(g);
    EXPECT_EQ(g->sectorsPerPage, 4);
    EXPECT_EQ(g->pagesPerBlock, 64);
    EXPECT_EQ(g->blocksPerCe, 8192);
    EXPECT_EQ(g->dies, 1);
    EXPECT_FALSE(g->mlc);
    EXPECT_FALSE(GeometryFromTypeWord(0x0004, 1, 1));  // page size index 4
    EXPECT_FALSE(GeometryFromTypeWord(0x0600, 1, 1));  // die index 3
    EXPECT_FALSE(GeometryFromTypeWord(0x0080, 9, 1));
}

TEST(Nand, PageIsProgrammedOnceUntilErased) {
    const NandGeometry g = Geometry4096();
    Nand nand(g, {});
    std::vector<std::uint8_t> out(static_cast<std::size_t>(g.pageBytes()));
    ASSERT_EQ(nand.ReadPage({1, 1, 9, 3}, out), NandStatus::Ok);
    EXPECT_EQ(out, PageOf(g, 0xFF));  // erased
    EXPECT_EQ(nand.ProgramPage({1, 1, 9, 3}, PageOf(g, 0x12)), NandStatus::Ok);
    EXPECT_EQ(nand.ProgramPage({1, 1, 9, 3}, PageOf(g, 0x34)), NandStatus::AlreadyProgrammed);
    nand.ReadPage({1, 1, 9, 3}, out);
    EXPECT_EQ(out, PageOf(g, 0x12));
    EXPECT_EQ(nand.EraseBlock(1, 1, 9), NandStatus::Ok);
    EXPECT_EQ(nand.EraseCount(1, 1, 9), 1u);
    EXPECT_EQ(nand.ProgramPage({1, 1, 9, 3}, PageOf(g, 0x34)), NandStatus::Ok);
    nand.ReadPage({1, 1, 9, 3}, out);
    EXPECT_EQ(out, PageOf(g, 0x34));
    EXPECT_EQ(nand.ProgramPage({4, 0, 0, 0}, PageOf(g, 0)), NandStatus::OutOfRange);
    EXPECT_EQ(nand.ProgramPage({0, 0, 4096, 0}, PageOf(g, 0)), NandStatus::OutOfRange);
    EXPECT_EQ(nand.ProgramPage({0, 0, 0, 128}, PageOf(g, 0)), NandStatus::OutOfRange);
}

TEST(Nand, FactoryBadBlocksAreSeededPerDieAndAvoidTheFirstFour) {
    const NandGeometry g = *GeometryFromTypeWord(0x024A, 2, 2);  // two dies of 2048 blocks
    DriveProfile profile;
    profile.name = "d1";
    profile.factoryBadPerDie = 40;
    const BadBlockPlan plan = PlanBadBlocks(g, profile, 7);
    EXPECT_EQ(plan.factory.size(), 2u * 2u * 2u * 40u);
    std::map<std::tuple<int, int, int>, int> perDie;
    for (const BlockAddress& a : plan.factory) {
        EXPECT_GE(a.block, 4);
        ++perDie[{a.channel, a.chipEnable, g.dieOfBlock(a.block)}];
    }
    for (const auto& [die, count] : perDie) {
        EXPECT_EQ(count, 40);
    }
    // The same seed and name give the same blocks; another seed others.
    EXPECT_EQ(PlanBadBlocks(g, profile, 7).factory, plan.factory);
    EXPECT_NE(PlanBadBlocks(g, profile, 8).factory, plan.factory);

    Nand nand(g, plan);
    const BlockAddress bad = plan.factory.front();
    std::vector<std::uint8_t> out(static_cast<std::size_t>(g.pageBytes()));
    nand.ReadPage({bad.channel, bad.chipEnable, bad.block, 0}, out);
    EXPECT_EQ(out, PageOf(g, 0x00));
    EXPECT_EQ(nand.ProgramPage({bad.channel, bad.chipEnable, bad.block, 0}, PageOf(g, 1)),
              NandStatus::Bad);
    EXPECT_EQ(nand.EraseBlock(bad.channel, bad.chipEnable, bad.block), NandStatus::Bad);
}

TEST(Nand, ListedBadBlocksMayFallOnTheFirstFour) {
    const NandGeometry g = Geometry4096();
    DriveProfile profile;
    profile.factoryBadBlocks = {{0, 0, 2}};
    profile.grownBadBlocks = {{1, 1, 3}};
    Nand nand(g, PlanBadBlocks(g, profile, 1));
    EXPECT_TRUE(nand.IsFactoryBad(0, 0, 2));
    EXPECT_TRUE(nand.IsGrownBad(1, 1, 3));
}

TEST(Nand, GrownBadBlockFailsWhenFirstUsedAndStaysFailed) {
    const NandGeometry g = Geometry4096();
    DriveProfile profile;
    profile.grownBad = 5;
    const BadBlockPlan plan = PlanBadBlocks(g, profile, 3);
    ASSERT_EQ(plan.grown.size(), 5u);
    const BlockAddress a = plan.grown[0];
    const BlockAddress b = plan.grown[1];
    Nand nand(g, plan);
    std::vector<std::uint8_t> out(static_cast<std::size_t>(g.pageBytes()));
    EXPECT_EQ(nand.ReadPage({a.channel, a.chipEnable, a.block, 0}, out), NandStatus::Ok);
    EXPECT_FALSE(nand.HasFailed(a.channel, a.chipEnable, a.block));
    EXPECT_EQ(nand.ProgramPage({a.channel, a.chipEnable, a.block, 0}, PageOf(g, 1)),
              NandStatus::ProgramFailed);
    EXPECT_TRUE(nand.HasFailed(a.channel, a.chipEnable, a.block));
    EXPECT_EQ(nand.EraseBlock(a.channel, a.chipEnable, a.block), NandStatus::Bad);
    EXPECT_EQ(nand.EraseBlock(b.channel, b.chipEnable, b.block), NandStatus::EraseFailed);
}

std::uintmax_t FolderBytes(const std::filesystem::path& p) {
    std::uintmax_t total = 0;
    for (const auto& e : std::filesystem::directory_iterator(p)) {
        total += e.file_size();
    }
    return total;
}

TEST(Nand, StorageIsSparseAndSurvivesReopening) {
    test::TempFolder folder;
    const NandGeometry g = Geometry4096();
    const std::string dir = (folder.path() / "drive").string();
    std::string error;
    bool created = false;
    {
        Nand nand(g, {});
        ASSERT_TRUE(nand.Open(dir, created, error)) << error;
        EXPECT_TRUE(created);
        ASSERT_EQ(nand.ProgramPage({3, 1, 4000, 127}, PageOf(g, 0xA7)), NandStatus::Ok);
        nand.Flush();
        // One page of a 4,096-block drive costs about one page of disk and memory.
        EXPECT_LT(FolderBytes(dir), 2u * static_cast<std::uintmax_t>(g.pageBytes()));
        EXPECT_LT(nand.MemoryBytes(), 64u * 1024u);
        // Equal pages share one copy.
        for (int b = 10; b < 20; ++b) {
            ASSERT_EQ(nand.ProgramPage({0, 0, b, 0}, PageOf(g, 0x5C)), NandStatus::Ok);
        }
        EXPECT_EQ(nand.DistinctContents(), 2u);
        ASSERT_EQ(nand.EraseBlock(0, 0, 11), NandStatus::Ok);
    }
    // A crash-free reopen replays the journal; a second one reads the folded image.
    for (int round = 0; round < 2; ++round) {
        Nand nand(g, {});
        ASSERT_TRUE(nand.Open(dir, created, error)) << error;
        EXPECT_FALSE(created);
        std::vector<std::uint8_t> out(static_cast<std::size_t>(g.pageBytes()));
        nand.ReadPage({3, 1, 4000, 127}, out);
        EXPECT_EQ(out, PageOf(g, 0xA7));
        EXPECT_TRUE(nand.IsProgrammed({0, 0, 10, 0}));
        EXPECT_FALSE(nand.IsProgrammed({0, 0, 11, 0}));
        EXPECT_EQ(nand.EraseCount(0, 0, 11), 1u);
        EXPECT_EQ(nand.ProgrammedPages(), 10u);
        EXPECT_EQ(nand.ProgramPage({3, 1, 4000, 127}, PageOf(g, 1)), NandStatus::AlreadyProgrammed);
    }
}

TEST(Nand, RefusesStateOfAnotherGeometry) {
    test::TempFolder folder;
    const std::string dir = (folder.path() / "drive").string();
    std::string error;
    bool created = false;
    {
        Nand nand(Geometry4096(), {});
        ASSERT_TRUE(nand.Open(dir, created, error));
    }
    Nand other(*GeometryFromTypeWord(0x084A, 2, 2), {});
    EXPECT_FALSE(other.Open(dir, created, error));
    EXPECT_NE(error.find("another flash geometry"), std::string::npos) << error;
}

}  // namespace
}  // namespace kv::emu
