// Program 3, the pre-format: scan, limits, code blocks and the tables it
// writes, checked byte by byte on the flash.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "diag_test_support.h"

namespace kv::emu::test {
namespace {

constexpr std::uint8_t kPreFormat = 0x08;

// Entries of a defect-table slice: bank -> block -> (die x 16 + plane, kind).
using DefectEntries = std::map<int, std::map<int, std::pair<int, int>>>;

DefectEntries ParseDefectSlice(const Bytes& slice, bool& ended) {
    DefectEntries entries;
    ended = false;
    int bank = -1;
    for (std::size_t at = 16; at + 4 <= slice.size(); at += 4) {
        if (slice[at] == 0xFE && slice[at + 1] == 0xD1) {
            ended = true;
            break;
        }
        if (slice[at] == 0xFB && slice[at + 1] == 0xA0) {
            bank = slice[at + 2];
            entries[bank];
            continue;
        }
        entries[bank][Le16At(slice, at)] = {slice[at + 2], slice[at + 3]};
    }
    return entries;
}

// Early-table slice: marker value -> blocks (bit 15 kept).
std::map<int, std::vector<int>> ParseEarlySlice(const Bytes& slice, bool& ended) {
    std::map<int, std::vector<int>> entries;
    ended = false;
    int marker = -1;
    for (std::size_t at = 16; at + 2 <= slice.size(); at += 2) {
        const int v = Le16At(slice, at);
        if ((v & 0xFF00) == 0xFE00) {
            ended = true;
            break;
        }
        if ((v & 0xFF00) == 0xFB00) {
            marker = v & 0xFF;
            entries[marker];
            continue;
        }
        entries[marker].push_back(v);
    }
    return entries;
}

DriveProfile ProfileWithBadBlocks() {
    DriveProfile profile;
    profile.factoryBadPerDie = 12;
    profile.factoryBadBlocks = {{2, 0, 1}, {3, 1, 4095}};
    return profile;
}

TEST(DiagPreFormat, DefectAndEarlyTablesListExactlyTheFactoryBadBlocks) {
    DiagBench bench(ProfileWithBadBlocks());
    bench.Jump();
    const auto run = bench.Exec(3, kPreFormat);
    ASSERT_TRUE(run.started);
    EXPECT_GT(run.busyReads, 0);
    ASSERT_EQ(run.status, 0x0A);
    EXPECT_EQ(bench.Result()[0], 0);

    // Code blocks: the first four blocks good on every channel of chip
    // enable 0; block 1 is factory bad on channel 2.
    std::vector<int> code;
    for (int block = 0; code.size() < 4; ++block) {
        bool good = true;
        for (int c = 0; c < 4; ++c) {
            good = good && !bench.nand().IsFactoryBad(c, 0, block);
        }
        if (good) {
            code.push_back(block);
        }
    }
    EXPECT_EQ(code[1], 2);
    EXPECT_EQ(bench.SysBlocks(), code);

    std::map<std::tuple<int, int>, std::set<int>> seeded;
    for (const BlockAddress& a : bench.nand().plan().factory) {
        seeded[{a.channel, a.chipEnable}].insert(a.block);
    }
    for (int block : code) {
        for (int c = 0; c < 4; ++c) {
            const Bytes defect = bench.Page(c, 0, block, 1);
            ASSERT_TRUE(StartsWith(defect, kDefectSignature)) << block << "/" << c;
            bool ended = false;
            const DefectEntries entries = ParseDefectSlice(defect, ended);
            EXPECT_TRUE(ended);
            ASSERT_EQ(entries.size(), 2u);
            for (int b = 0; b < 2; ++b) {
                std::set<int> listed;
                for (const auto& [blk, e] : entries.at(b)) {
                    listed.insert(blk);
                    EXPECT_EQ(e.first, blk & 1) << "die 0, plane of block " << blk;
                    EXPECT_EQ(e.second, 9);
                }
                EXPECT_EQ(listed, (seeded[{c, b}])) << "channel " << c << " bank " << b;
            }

            const Bytes early = bench.Page(c, 0, block, 2);
            ASSERT_TRUE(StartsWith(early, kEarlySignature));
            const auto earlyEntries = ParseEarlySlice(early, ended);
            EXPECT_TRUE(ended);
            ASSERT_EQ(earlyEntries.size(), 2u);
            for (int b = 0; b < 2; ++b) {
                const auto& blocks = earlyEntries.at(b);
                EXPECT_EQ(std::set<int>(blocks.begin(), blocks.end()), (seeded[{c, b}]));
            }

            const Bytes sys = bench.Page(c, 0, block, 4);
            ASSERT_TRUE(StartsWith(sys, kSystemSignature));
            // The later tables go to the first block after the code blocks
            // that is good everywhere.
            const int later = Le16At(sys, 16);
            EXPECT_GT(later, code.back());
            EXPECT_EQ(Le16At(sys, 20), later);
            for (int ch = 0; ch < 4; ++ch) {
                for (int ce = 0; ce < 2; ++ce) {
                    EXPECT_FALSE(bench.nand().IsFactoryBad(ch, ce, later));
                }
            }
            // Remap and SMART were not asked for.
            EXPECT_FALSE(bench.Programmed(c, 0, block, 3));
            EXPECT_FALSE(bench.Programmed(c, 0, block, 5));
        }
    }
    // Block 1 itself was not touched.
    EXPECT_FALSE(bench.Programmed(0, 0, 1, 1));
}

TEST(DiagPreFormat, TwoDieFlashListsBlocksPerDieAndChipEnableIndex) {
    DriveProfile profile;
    profile.typeWord = 0x0A4A;  // as 0x084A, two dies of 2,048 blocks
    profile.channels = 2;
    profile.factoryBadBlocks = {{1, 1, 100}, {1, 1, 2049}, {1, 0, 3000}};
    DiagBench bench(profile);
    bench.Jump();
    ASSERT_EQ(bench.Exec(3, kPreFormat).status, 0x0A);
    bool ended = false;
    const DefectEntries defects = ParseDefectSlice(bench.Page(1, 0, 0, 1), ended);
    EXPECT_EQ(defects.at(1).at(100), (std::pair<int, int>{0x00, 9}));
    EXPECT_EQ(defects.at(1).at(2049), (std::pair<int, int>{0x11, 9}));  // die 1, plane 1
    EXPECT_EQ(defects.at(0).at(3000), (std::pair<int, int>{0x10, 9}));
    // Early table: chip enable index n = die x banks + bank.
    const auto early = ParseEarlySlice(bench.Page(1, 0, 0, 2), ended);
    EXPECT_TRUE(ended);
    EXPECT_EQ(early.size(), 4u);
    EXPECT_TRUE(early.at(0).empty());
    EXPECT_EQ(early.at(1), std::vector<int>{100});
    EXPECT_EQ(early.at(2), std::vector<int>{3000});
    EXPECT_EQ(early.at(3), std::vector<int>{2049});
    // One later-table entry per bank and die.
    const Bytes sys = bench.Page(0, 0, 0, 4);
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(Le16At(sys, 16 + 4 * k), Le16At(sys, 16)) << k;
    }
    EXPECT_EQ(Le16At(sys, 32), 0xFFFF);
}

TEST(DiagPreFormat, RemapAndSmartPagesWhenAsked) {
    DiagBench bench;
    bench.image[0x509] = 0x20;  // remap on
    bench.Jump();
    Bytes smart(512);
    for (std::size_t i = 0; i < smart.size(); ++i) {
        smart[i] = static_cast<std::uint8_t>(i * 3);
    }
    ASSERT_TRUE(bench.Send(0x0E, {}, Transfer::Out, &smart).ok);
    EXPECT_EQ(bench.state().smartSector, smart);
    ASSERT_EQ(bench.Exec(3, kPreFormat).status, 0x0A);
    for (int c = 0; c < 4; ++c) {
        EXPECT_TRUE(StartsWith(bench.Page(c, 0, 3, 3), kRemapSignature));
        const Bytes page5 = bench.Page(c, 0, 3, 5);
        ASSERT_TRUE(StartsWith(page5, kSmartSignature));
        EXPECT_TRUE(std::equal(smart.begin(), smart.end(), page5.begin() + 16));
    }
}

TEST(DiagPreFormat, TablePagesFollowThePageListOfTheImage) {
    DiagBench bench;
    const std::uint8_t lowPages[10] = {0, 1, 2, 3, 6, 7, 10, 11, 14, 15};
    std::copy(lowPages, lowPages + 10, bench.image.begin() + 0x55A);
    bench.Jump();
    ASSERT_EQ(bench.Exec(3, kPreFormat).status, 0x0A);
    EXPECT_TRUE(StartsWith(bench.Page(1, 0, 2, 1), kDefectSignature));
    EXPECT_TRUE(StartsWith(bench.Page(1, 0, 2, 2), kEarlySignature));
    EXPECT_TRUE(StartsWith(bench.Page(1, 0, 2, 6), kSystemSignature));
    EXPECT_FALSE(bench.Programmed(1, 0, 2, 4));
}

TEST(DiagPreFormat, TableDamageBreaksOnePageOfOneCodeBlock) {
    DriveProfile profile;
    Fault f;
    f.kind = FaultKind::TableDamage;
    f.first = 2;
    f.second = 1;
    profile.faults.push_back(f);
    DiagBench bench(profile);
    bench.Jump();
    ASSERT_EQ(bench.Exec(3, kPreFormat).status, 0x0A);
    for (int block = 0; block < 4; ++block) {
        for (int c = 0; c < 4; ++c) {
            EXPECT_EQ(StartsWith(bench.Page(c, 0, block, 1), kDefectSignature), block != 2)
                << block << "/" << c;
            EXPECT_TRUE(StartsWith(bench.Page(c, 0, block, 2), kEarlySignature));
        }
    }
}

TEST(DiagPreFormat, OverTheDefectRatioFailsWithItsRecordsAndWritesNothing) {
    DriveProfile profile;
    Fault f;
    f.kind = FaultKind::BadOverRatio;
    profile.faults.push_back(f);
    DiagBench bench(profile);
    bench.Jump();
    const auto run = bench.Exec(3, kPreFormat);
    EXPECT_NE(run.status, 0x0A);
    EXPECT_NE(run.status, 0xAA);
    const Bytes report = bench.Result();
    const auto records = Records(report);
    ASSERT_FALSE(records.empty());
    int ratio = 0;
    for (const Record& r : records) {
        if (r.code != 3) {
            continue;
        }
        ++ratio;
        EXPECT_EQ(report[r.at + 1], 0);  // channel
        EXPECT_EQ(report[r.at + 2], 0);  // bank
        EXPECT_EQ(report[r.at + 3], 0);  // die
        const int bad = Le16At(report, r.at + 4);
        EXPECT_GT(bad * 1000 / 2048, 48);
    }
    EXPECT_EQ(ratio, 1);
    // The ratio alone: no plane runs out of free blocks.
    for (const Record& r : records) {
        EXPECT_NE(r.code, 5);
    }
    EXPECT_FALSE(bench.Programmed(0, 0, 0, 1));
}

TEST(DiagPreFormat, AppliesTheDefectRatioOfTheImage) {
    DriveProfile profile;
    profile.factoryBadPerDie = 3;  // 3 x 1000 / 2048 = 1 per mille
    DiagBench bench(profile);
    bench.Jump();
    ASSERT_EQ(bench.Exec(3, kPreFormat).status, 0x0A);
    bench.image[0x520] = 0;  // no bad block allowed
    bench.Jump();
    EXPECT_NE(bench.Exec(3, kPreFormat).status, 0x0A);
    const Bytes report = bench.Result();
    int ratio = 0;
    for (const Record& r : Records(report)) {
        ratio += r.code == 3 ? 1 : 0;
        if (r.code == 3) {
            EXPECT_EQ(Le16At(report, r.at + 4), 3);
        }
    }
    EXPECT_EQ(ratio, 8);  // every chip enable of every channel
}

TEST(DiagPreFormat, OtherChannelCountsInTheImageFailWithCountRecords) {
    DiagBench bench;
    bench.image[0x503] = 8;
    bench.Jump();
    EXPECT_NE(bench.Exec(3, kPreFormat).status, 0x0A);
    const Bytes report = bench.Result();
    ASSERT_EQ(report[0], 2);
    EXPECT_EQ(report[1], 128);
    EXPECT_EQ(report[2], 8);
    EXPECT_EQ(report[3], 2);
    EXPECT_EQ(report[18], 129);  // after the 17-byte record
    EXPECT_EQ(report[19], 4);
    EXPECT_EQ(report[20], 2);
}

TEST(DiagPreFormat, AChipEnableWithAnotherIdFailsWithIdRecords) {
    DriveProfile profile;
    Fault f;
    f.kind = FaultKind::IdMismatch;
    f.first = 1;
    f.second = 1;
    profile.faults.push_back(f);
    DiagBench bench(profile);
    bench.Jump();
    EXPECT_NE(bench.Exec(3, kPreFormat).status, 0x0A);
    const Bytes report = bench.Result();
    ASSERT_EQ(report[0], 2);
    EXPECT_EQ(report[1], 130);
    EXPECT_TRUE(std::equal(profile.flashId.begin(), profile.flashId.end(), report.begin() + 11));
    EXPECT_EQ(report[18], 131);
    EXPECT_EQ(report[19], 1);
    EXPECT_EQ(report[20], 1);
    EXPECT_FALSE(std::equal(profile.flashId.begin(), profile.flashId.end(), report.begin() + 28));
}

TEST(DiagPreFormat, EraseFindsGrownBadBlocksAndListsThem) {
    DriveProfile profile;
    profile.grownBadBlocks = {{1, 0, 77}};
    DiagBench bench(profile);
    bench.Jump();
    // Without the erase flag the block has never failed: nothing to list.
    ASSERT_EQ(bench.Exec(3, kPreFormat).status, 0x0A);
    bool ended = false;
    EXPECT_TRUE(ParseDefectSlice(bench.Page(1, 0, 0, 1), ended)[0].empty());

    bench.Jump();
    ASSERT_EQ(bench.Exec(3, kPreFormat | 0x01).status, 0x0A);
    const Bytes report = bench.Result();
    ASSERT_EQ(report[0], 1);
    EXPECT_EQ(report[1], 7);
    EXPECT_EQ(report[2], 1);
    EXPECT_EQ(Le16At(report, 5), 77);
    const DefectEntries entries = ParseDefectSlice(bench.Page(1, 0, 0, 1), ended);
    ASSERT_EQ(entries.at(0).count(77), 1u);
    EXPECT_EQ(entries.at(0).at(77).second, 4);
    const auto early = ParseEarlySlice(bench.Page(1, 0, 0, 2), ended);
    EXPECT_EQ(early.at(0), std::vector<int>{0x8000 | 77});
}

TEST(DiagPreFormat, WithoutThePreFormatFlagNothingIsDone) {
    DiagBench bench;
    bench.Jump();
    EXPECT_NE(bench.Exec(3, 0x00).status, 0x0A);
    EXPECT_FALSE(bench.Programmed(0, 0, 0, 1));
}

TEST(DiagPreFormat, AnUnpatchedPageListCannotWriteTheTables) {
    DiagBench bench;
    std::fill(bench.image.begin() + 0x55A, bench.image.begin() + 0x56A, std::uint8_t{0});
    bench.Jump();
    EXPECT_NE(bench.Exec(3, kPreFormat).status, 0x0A);
    const Bytes report = bench.Result();
    const auto records = Records(report);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].code, 8);
    EXPECT_EQ(report[records[0].at + 6], 0);  // the page it could not program twice
}

}  // namespace
}  // namespace kv::emu::test
