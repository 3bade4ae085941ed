// VC_GDP_GetFlashInfo: what the program sees through the image it was
// loaded with, limited by what the drive has.
#include <gtest/gtest.h>

#include "diag_test_support.h"
#include "emulator/diag/program_settings.h"
#include "emulator/flash_answers.h"

namespace kv::emu::test {
namespace {

TEST(DiagFlashInfo, ReportsIdCountsAndChipEnableCodesOfAMatchingImage) {
    DiagBench bench;
    bench.Jump();
    const Bytes info = bench.FlashInfo();
    const auto id = bench.profile().flashId;
    EXPECT_TRUE(std::equal(id.begin(), id.end(), info.begin()));
    EXPECT_EQ(info[7], 4);
    EXPECT_EQ(info[8], 2);
    EXPECT_EQ(info[9], 8);
    EXPECT_EQ(info[10], 0);
    EXPECT_EQ(info[11], 1);
    for (int i = 12; i < 18; ++i) {
        EXPECT_EQ(info[i], 0xFF) << i;
    }
}

struct PatchCase {
    const char* name;
    std::size_t offset;
    std::vector<std::uint8_t> bytes;
    int channels;
    int banks;
    std::vector<std::uint8_t> codes;
};

void PrintTo(const PatchCase& c, std::ostream* os) {
    *os << c.name;
}

class DiagFlashInfoPatch : public ::testing::TestWithParam<PatchCase> {};

// The drive has 4 channels of 2 chip enables; the image says otherwise.
TEST_P(DiagFlashInfoPatch, ChannelsAndBanksFollowTheImageWithinTheDrive) {
    const PatchCase& p = GetParam();
    DiagBench bench;
    std::copy(p.bytes.begin(), p.bytes.end(), bench.image.begin() + static_cast<long>(p.offset));
    bench.Jump();
    const Bytes info = bench.FlashInfo();
    EXPECT_EQ(info[7], p.channels);
    EXPECT_EQ(info[8], p.banks);
    EXPECT_EQ(info[9], p.channels * p.banks);
    for (std::size_t i = 0; i < 8; ++i) {
        const std::uint8_t want = i < p.codes.size() ? p.codes[i] : 0xFF;
        EXPECT_EQ(info[10 + i], want) << "code " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DiagFlashInfoPatch,
    ::testing::Values(PatchCase{"more_channels_than_the_drive", 0x503, {8}, 4, 2, {0, 1}},
                      PatchCase{"fewer_channels", 0x503, {2}, 2, 2, {0, 1}},
                      PatchCase{"no_channels", 0x503, {0}, 0, 0, {}},
                      PatchCase{"swapped_bank_codes", 0x528, {1, 0}, 4, 2, {1, 0}},
                      PatchCase{"bank_codes_all_zero", 0x528, {0, 0, 0, 0, 0, 0, 0, 0}, 4, 1, {0}},
                      PatchCase{"missing_chip_enable_first", 0x528, {5, 0, 1}, 4, 0, {}},
                      PatchCase{"header_bank_count_not_used", 0x504, {7}, 4, 2, {0, 1}}),
    [](const auto& c) { return std::string(c.param.name); });

TEST(DiagFlashInfo, IdIsWhatBankZeroOfChannelZeroAnswers) {
    DriveProfile profile;
    Fault f;
    f.kind = FaultKind::IdMismatch;
    f.first = 0;
    f.second = 1;
    profile.faults.push_back(f);
    DiagBench bench(profile);
    bench.image[0x528] = 1;  // bank 0 is chip enable 1
    bench.image[0x529] = 0;
    bench.Jump();
    const Bytes info = bench.FlashInfo();
    const auto id = FlashIdOf(bench.profile(), 0, 1);
    EXPECT_NE(id, bench.profile().flashId);
    EXPECT_TRUE(std::equal(id.begin(), id.end(), info.begin()));
}

TEST(DiagProgramSettings, ReadsEveryPatchedField) {
    Bytes image(131072, 0);
    std::memcpy(image.data() + 0x300, "TST_", 4);
    const std::vector<std::pair<std::size_t, std::uint8_t>> bytes = {
        {0x500, 0x4A}, {0x501, 0x08}, {0x502, 0x13}, {0x503, 4},    {0x504, 2},    {0x505, 3},
        {0x508, 0x44}, {0x51A, 0x01}, {0x509, 0x30}, {0x50B, 2},    {0x510, 0x07}, {0x512, 2},
        {0x514, 4},    {0x516, 8},    {0x520, 48},   {0x521, 9},    {0x528, 3},    {0x52F, 7},
        {0x54C, 0x2D}, {0x554, 0x10}, {0x556, 0x20}, {0x55A, 0x00}, {0x55B, 0x01}, {0x569, 0x3D}};
    for (const auto& [at, v] : bytes) {
        image[at] = v;
    }
    const ProgramSettings s = ReadProgramSettings(image);
    EXPECT_TRUE(s.programKind);
    EXPECT_EQ(s.typeWord, 0x084A);
    EXPECT_EQ(s.interfaceByte, 0x13);
    EXPECT_EQ(s.channels, 4);
    EXPECT_EQ(s.banks, 2);
    EXPECT_EQ(s.eccMode, 3);
    EXPECT_EQ(s.reservedPerMille, 0x144);
    EXPECT_TRUE(s.scramble());
    EXPECT_TRUE(s.remap());
    EXPECT_EQ(s.ceCount, 2);
    EXPECT_EQ(s.codeBlocks, (std::array<std::uint16_t, 4>{7, 2, 4, 8}));
    EXPECT_EQ(s.defectPerMille, 48);
    EXPECT_EQ(s.prohibitRemapOffset, 9);
    EXPECT_EQ(s.bankCodes[0], 3);
    EXPECT_EQ(s.bankCodes[7], 7);
    EXPECT_EQ(s.defectCount, 0x2Du);
    EXPECT_EQ(s.extendBlocks, 0x10);
    EXPECT_EQ(s.dieOffset, 0x20);
    EXPECT_EQ(s.tablePages[1], 1);
    EXPECT_EQ(s.tablePages[15], 0x3D);
}

TEST(DiagProgramSettings, AShortImageReadsZeroBeyondItsEnd) {
    Bytes image(0x505, 0);
    std::memcpy(image.data() + 0x300, "GDP_", 4);
    image[0x503] = 4;
    const ProgramSettings s = ReadProgramSettings(image);
    EXPECT_TRUE(s.programKind);
    EXPECT_EQ(s.channels, 4);
    EXPECT_EQ(s.banks, 0);
    EXPECT_EQ(s.defectPerMille, 0);
    EXPECT_FALSE(ReadProgramSettings(Bytes(0x200, 0)).programKind);
}

}  // namespace
}  // namespace kv::emu::test
