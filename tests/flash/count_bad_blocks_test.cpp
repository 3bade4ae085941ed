#include "flash/count_bad_blocks.h"

#include <gtest/gtest.h>

#include <vector>

#include "firmware/byte_layout.h"
#include "firmware/table_signatures.h"

namespace kv {
namespace {

constexpr std::size_t kSlice = 2048;

std::vector<std::uint8_t> EarlySlice(std::initializer_list<std::uint16_t> entries) {
    std::vector<std::uint8_t> slice(kSlice, 0xFF);
    PutTableSignature(slice, kEarlyTablePage);
    std::size_t at = 16;
    for (std::uint16_t e : entries) {
        PutLe16(slice.data() + at, e);
        at += 2;
    }
    return slice;
}

struct LaterEntry {
    std::uint16_t block;
    std::uint8_t type;
};

std::vector<std::uint8_t> LaterSlice(std::initializer_list<LaterEntry> entries,
                                     std::uint16_t count) {
    static const std::uint8_t kTag[4] = {0xE8, 0xDC, 0x55, 0xAA};
    std::vector<std::uint8_t> slice(kSlice, 0);
    std::copy(kTag, kTag + 4, slice.begin());
    std::memcpy(slice.data() + 4, "KVR51X-V001", 12);
    PutLe16(slice.data() + 16, count);
    std::size_t at = 32;
    for (const LaterEntry& e : entries) {
        PutLe16(slice.data() + at, e.block);
        slice[at + 2] = e.type;
        at += 4;
    }
    return slice;
}

std::vector<std::uint8_t> Answer(std::initializer_list<std::uint16_t> blocks) {
    std::vector<std::uint8_t> answer(32768, 0);
    PutLe16(answer.data() + 4, static_cast<std::uint16_t>(blocks.size()));
    std::size_t at = 8;
    for (std::uint16_t b : blocks) {
        PutLe16(answer.data() + at, b);
        at += 4;
    }
    return answer;
}

TEST(CountBadBlocks, CategoriesOfTheErrorTypes) {
    const int expected[][2] = {{9, 0},  {4, 1},  {3, 2},   {5, 3},  {1, 4},
                               {0, -1}, {2, -1}, {99, -1}, {12, -1}};
    for (const auto& e : expected) {
        EXPECT_EQ(BadBlockCategory(e[0]), e[1]) << e[0];
    }
}

TEST(CountBadBlocks, EarlyEntriesCountOnlyUnderTheirOwnChipEnableAndLaterEntriesOverride) {
    // Chip enable 0 lists 0x12 (factory) and 0x34 (found by the program, bit
    // 15); chip enable 1 lists 0x56.
    const auto early = EarlySlice({0xFB00, 0x0012, 0x8034, 0xFB01, 0x0056, 0xFE00, 0x0077});
    const auto later = LaterSlice({{0x0034, 4}, {0x0099, 3}}, 2);
    EXPECT_EQ(BadBlockType(early, {}, 0, 0x12), 9);
    EXPECT_EQ(BadBlockType(early, {}, 0, 0x34), 9);
    EXPECT_EQ(BadBlockType(early, {}, 0, 0x56), kUnknownBadBlockType);  // other chip enable
    EXPECT_EQ(BadBlockType(early, {}, 1, 0x56), 9);
    EXPECT_EQ(BadBlockType(early, {}, 0, 0x77), kUnknownBadBlockType);  // after the end
    EXPECT_EQ(BadBlockType(early, later, 0, 0x34), 4);
    EXPECT_EQ(BadBlockType(early, later, 0, 0x99), 3);
}

TEST(CountBadBlocks, LaterCountIsBoundedByItsSlice) {
    const auto later = LaterSlice({{0x0010, 5}}, 0xFFFF);
    EXPECT_EQ(BadBlockType({}, later, 0, 0x0010), 5);
    EXPECT_EQ(BadBlockType({}, later, 0, 0x0011), kUnknownBadBlockType);
}

TEST(CountBadBlocks, AnswersCountPerChannelAndBankAndSumPerCategory) {
    BadBlockCounts counts(2, 2);
    const auto early0 = EarlySlice({0xFB00, 0x0012, 0xFB01, 0x0020, 0xFB02, 0x0030, 0xFE00});
    const auto later = LaterSlice({{0x0040, 1}, {0x0041, 7}}, 2);
    // Channel 0, chip enable 0: one factory block, one ECC-over, one of type
    // 7 (skipped) and one nobody lists (skipped).
    CountBadBlockAnswer(Answer({0x12, 0x40, 0x41, 0x50}), early0, later, 0, 0, counts);
    // Channel 1, chip enable index 2 (die 1 of bank 0 on two banks).
    CountBadBlockAnswer(Answer({0x30}), early0, {}, 1, 2, counts);
    EXPECT_EQ(counts.Get(0, 0, 0), 1u);
    EXPECT_EQ(counts.Get(0, 0, 4), 1u);
    EXPECT_EQ(counts.Get(1, 0, 0), 1u);
    const BadBlockSums sums = SumBadBlocks(counts);
    EXPECT_EQ(sums, (BadBlockSums{2, 0, 0, 0, 1}));
}

TEST(CountBadBlocks, AnAnswerClaimingMoreEntriesThanItHoldsStopsAtItsEnd) {
    BadBlockCounts counts(1, 1);
    std::vector<std::uint8_t> answer(512, 0);
    PutLe16(answer.data() + 4, 0xFFFF);
    const auto early = EarlySlice({0xFB00, 0x0000, 0xFE00});
    CountBadBlockAnswer(answer, early, {}, 0, 0, counts);  // 126 entries of block 0
    EXPECT_EQ(counts.Get(0, 0, 0), (512u - 8) / 4);
}

TEST(CountBadBlocks, Model415CountsEarlyEntriesAndBadUnits) {
    BadBlockCounts counts(2, 2);
    CountEarlyTableEntries(EarlySlice({0xFB00, 0x0001, 0x0002, 0xFB03, 0x0005, 0xFE00}), 1, counts);
    EXPECT_EQ(counts.Get(1, 0, 0), 2u);
    EXPECT_EQ(counts.Get(1, 1, 0), 1u);  // bank marker 3 on two banks: bank 1

    std::vector<std::uint8_t> units(4 + 7 * 2, 0);
    PutLe16(units.data(), 5);  // more records than the answer holds
    units[4 + 3] = 2;          // record 0: chip enable 0 in slot 2
    units[4 + 4] = 6;          // chip enable 1 in slot 6
    units[11 + 3] = 2;
    BadBlockCounts unitCounts(2, 2);
    CountBadUnits(units, 7, unitCounts);
    EXPECT_EQ(unitCounts.Get(0, 0, 2), 2u);
    EXPECT_EQ(unitCounts.Get(1, 0, 2), 2u);
    EXPECT_EQ(unitCounts.Get(0, 1, 6), 1u);
}

TEST(CountBadBlocks, CountersAreSizedFromTheGeometry) {
    BadBlockCounts counts(8, 8);
    counts.Add(7, 7, 4);
    counts.Add(8, 0, 0);  // outside: dropped
    counts.Add(0, 0, kBadBlockCategorySlots);
    EXPECT_EQ(counts.Get(7, 7, 4), 1u);
    EXPECT_EQ(SumBadBlocks(counts), (BadBlockSums{0, 0, 0, 0, 1}));
}

}  // namespace
}  // namespace kv
