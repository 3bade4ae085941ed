// The reliability-test record set a new drive carries, read back the way the
// station searches for it.
#include <gtest/gtest.h>

#include <cstring>

#include "diag_test_support.h"
#include "emulator/diag/rdt_records.h"

namespace kv::emu::test {
namespace {

struct Found {
    int block = -1;
    std::uint8_t flags = 0;
    bool lastPage = false;
    std::string serial;
    int lts = -1;  // byte 4 of the LTS page, -1 without one
};

// The record search of the RDT check: from the last block down to 90 %.
Found Search(DiagBench& bench) {
    const NandGeometry& g = bench.nand().geometry();
    Found f;
    for (int b = g.blocksPerCe - 1; b * 10 >= g.blocksPerCe * 9; --b) {
        const Bytes header = bench.Page(0, 0, b, 0);
        const Bytes lts = bench.Page(0, 0, b, 2);
        if (std::memcmp(lts.data(), "LTSM", 4) == 0) {
            f.lts = lts[4];
        }
        if (std::memcmp(header.data(), "RDTM", 4) != 0) {
            continue;
        }
        f.block = b;
        f.flags = header[6];
        const Bytes last = bench.Page(0, 0, b, g.pagesPerBlock - 1);
        f.lastPage = std::memcmp(last.data(), "RDTM", 4) == 0;
        const Bytes record = bench.Page(0, 0, b, Le16At(header, 808));
        f.serial = reinterpret_cast<const char*>(record.data() + 24);
        EXPECT_EQ(record[6], header[6]);
        break;
    }
    return f;
}

struct RdtCase {
    RdtRecord rdt;
    int flags;
    int lts;
};

void PrintTo(const RdtCase& c, std::ostream* os) {
    *os << "Rdt key " << static_cast<int>(c.rdt);
}

class DiagRdtRecords : public ::testing::TestWithParam<RdtCase> {};

TEST_P(DiagRdtRecords, CarryTheVerdictAskedFor) {
    DriveProfile profile;
    profile.rdt = GetParam().rdt;
    profile.rdtSerial = "SN0042";
    DiagBench bench(profile);
    SeedReliabilityRecords(bench.profile(), bench.nand());
    const Found f = Search(bench);
    EXPECT_EQ(f.block, 4095);
    EXPECT_EQ(f.flags, GetParam().flags);
    EXPECT_TRUE(f.lastPage);
    EXPECT_EQ(f.serial, "SN0042");
    EXPECT_EQ(f.lts, GetParam().lts);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, DiagRdtRecords,
    ::testing::Values(RdtCase{RdtRecord::Pass, 0, -1}, RdtCase{RdtRecord::P07, 0x01, -1},
                      RdtCase{RdtRecord::P05, 0x02, -1}, RdtCase{RdtRecord::P06, 0x04, -1},
                      RdtCase{RdtRecord::LtsPass, 0, 0x07}, RdtCase{RdtRecord::LtsNotRun, 0, 0x01},
                      RdtCase{RdtRecord::LtsFail, 0, 0x03}));

TEST(DiagRdtRecordsPlacement, NoneWritesNothingAndABadLastBlockIsPassedOver) {
    DriveProfile none;
    DiagBench empty(none);
    SeedReliabilityRecords(empty.profile(), empty.nand());
    EXPECT_EQ(empty.nand().ProgrammedPages(), 0u);

    DriveProfile profile;
    profile.rdt = RdtRecord::Pass;
    profile.name = "1.4";
    profile.factoryBadBlocks = {{0, 0, 4095}};
    DiagBench bench(profile);
    SeedReliabilityRecords(bench.profile(), bench.nand());
    const Found f = Search(bench);
    EXPECT_EQ(f.block, 4094);
    // Without RdtSerial the record carries the drive's own serial string.
    EXPECT_FALSE(f.serial.empty());
    EXPECT_EQ(f.serial.substr(0, 2), "KV");
}

TEST(DiagRdtRecordsContent, FactoryBadPagesAndDieInformationDescribeTheFlash) {
    DriveProfile profile;
    profile.rdt = RdtRecord::P05;
    profile.factoryBadBlocks = {{1, 0, 0x0101}, {3, 1, 0x0100}, {3, 1, 0x0101}};
    DiagBench bench(profile);
    SeedReliabilityRecords(bench.profile(), bench.nand());
    const int block = RdtRecordBlock(bench.nand());
    ASSERT_EQ(block, 4095);
    const Bytes header = bench.Page(0, 0, block, 0);
    const int first = Le16At(header, 800);
    ASSERT_EQ(Le16At(header, 802), 1);  // 2 banks x 4096 bytes fit one 8 KiB page
    const Bytes bitmap = bench.Page(0, 0, block, first);
    // Byte bank x 4096 + channel x 512 + pair / 4, bit pair pair % 4.
    auto marks = [&](int bank, int channel, int b) {
        const int pair = b / 2;
        return (bitmap[static_cast<std::size_t>(bank * 4096 + channel * 512 + pair / 4)] >>
                ((pair % 4) * 2)) &
               3;
    };
    EXPECT_EQ(marks(0, 1, 0x0101), 2);
    EXPECT_EQ(marks(1, 3, 0x0100), 3);
    int set = 0;
    for (std::uint8_t v : bitmap) {
        set += __builtin_popcount(v);
    }
    EXPECT_EQ(set, 3);
    // The other channels carry no marks.
    const Bytes other = bench.Page(2, 0, block, first);
    EXPECT_TRUE(std::all_of(other.begin(), other.end(), [](std::uint8_t v) { return v == 0; }));

    const Bytes dies = bench.Page(0, 0, block, Le16At(header, 812));
    int records = 0;
    int bad = 0;
    for (std::size_t at = 0; at + 32 <= dies.size(); at += 32, ++records) {
        if (dies[at] == 0xAA || dies[at + 1] == 0xAA || dies[at + 2] == 0xAA) {
            break;
        }
        EXPECT_EQ(dies[at] & 0x80, 0x80);
        const int channel = (dies[at] >> 4) & 7;
        const int bank = dies[at] & 7;
        bad += Le16At(dies, at + 8);
        if (channel == 3 && bank == 1) {
            EXPECT_EQ(Le16At(dies, at + 8), 2);
        }
        EXPECT_TRUE(std::equal(profile.flashId.begin(), profile.flashId.end(),
                               dies.begin() + static_cast<long>(at) + 1));
    }
    EXPECT_EQ(records, 8);  // 4 channels x 2 chip enables, one die
    EXPECT_EQ(bad, 3);

    const Bytes errors = bench.Page(0, 0, block, Le16At(header, 796));
    int entries = 0;
    for (std::size_t at = 0; at + 16 <= errors.size(); at += 16) {
        if (errors[at] == 0xAA || errors[at + 7] == 0xAA || errors[at + 8] == 0xAA) {
            break;
        }
        EXPECT_EQ(errors[at + 1] >> 4, 4);  // P05: erase fails
        ++entries;
    }
    EXPECT_GT(entries, 0);
}

}  // namespace
}  // namespace kv::emu::test
