// The test program's commands: the DRAM buffer window, the flash-interface
// diagnostics and their log.
#include <gtest/gtest.h>

#include "diag_test_support.h"

namespace kv::emu::test {
namespace {

std::vector<std::uint8_t> Address(std::uint8_t buffer, std::uint32_t a) {
    return {buffer, static_cast<std::uint8_t>(a >> 24), static_cast<std::uint8_t>(a >> 16),
            static_cast<std::uint8_t>(a >> 8), static_cast<std::uint8_t>(a)};
}

// The station's buffer test pass: 16,384 words (seed + i).
Bytes Words(std::uint16_t seed) {
    Bytes b(32768);
    for (std::size_t i = 0; i < 16384; ++i) {
        const auto v = static_cast<std::uint16_t>(seed + i);
        b[i * 2] = static_cast<std::uint8_t>(v);
        b[i * 2 + 1] = static_cast<std::uint8_t>(v >> 8);
    }
    return b;
}

TEST(DiagTestBuffer, ReadsBackWhatWasWrittenPerBuffer) {
    DiagBench bench;
    bench.Jump();
    Bytes zero = Words(4096);
    Bytes one = Words(4107);
    ASSERT_TRUE(bench.Send(0x24, Address(0, 0xB0084000), Transfer::Out, &zero).ok);
    ASSERT_TRUE(bench.Send(0x24, Address(1, 0xB0084000), Transfer::Out, &one).ok);
    EXPECT_EQ(bench.ReadIn(0x23, 64, Address(0, 0xB0084000)), Words(4096));
    EXPECT_EQ(bench.ReadIn(0x23, 64, Address(1, 0xB0084000)), Words(4107));
}

TEST(DiagTestBuffer, RefusesTransfersOutsideTheWindow) {
    DiagBench bench;
    bench.Jump();
    Bytes data(32768);
    EXPECT_FALSE(bench.Send(0x24, Address(0, 0xB0083E00), Transfer::Out, &data).ok);
    EXPECT_FALSE(bench.Send(0x24, Address(0, 0xB008C200), Transfer::Out, &data).ok);
    EXPECT_FALSE(bench.Send(0x24, Address(4, 0xB0084000), Transfer::Out, &data).ok);
    EXPECT_TRUE(bench.Send(0x24, Address(0, 0xB008C000), Transfer::Out, &data).ok);
    EXPECT_FALSE(bench.Send(0x23, Address(0, 0xB0090000), Transfer::In, &data).ok);
}

TEST(DiagTestBuffer, DramFailReadsBackOneWrongWord) {
    DriveProfile profile;
    Fault f;
    f.kind = FaultKind::DramFail;
    profile.faults.push_back(f);
    DiagBench bench(profile);
    bench.Jump();
    Bytes data = Words(4140);
    ASSERT_TRUE(bench.Send(0x24, Address(0, 0xB0084000), Transfer::Out, &data).ok);
    const Bytes back = bench.ReadIn(0x23, 64, Address(0, 0xB0084000));
    int wrongWords = 0;
    for (std::size_t i = 0; i < 16384; ++i) {
        wrongWords += back[i * 2] != data[i * 2] || back[i * 2 + 1] != data[i * 2 + 1] ? 1 : 0;
    }
    EXPECT_EQ(wrongWords, 1);
}

std::pair<bool, Bytes> Diagnostic(DiagBench& bench, int kind, int parameter) {
    Bytes answer(512, 0xCC);
    const bool ok =
        bench
            .Send(0x21,
                  {static_cast<std::uint8_t>(kind), static_cast<std::uint8_t>(parameter >> 8),
                   static_cast<std::uint8_t>(parameter)},
                  Transfer::In, &answer)
            .ok;
    return {ok, answer};
}

// Log entries up to the first with 0xFF in channel, bank or code.
std::vector<std::array<int, 4>> Log(DiagBench& bench) {
    const Bytes log = bench.ReadIn(0x22, 1);
    std::vector<std::array<int, 4>> entries;
    for (std::size_t at = 4; at + 4 <= log.size(); at += 4) {
        if (log[at] == 0xFF || log[at + 1] == 0xFF || log[at + 2] == 0xFF) {
            break;
        }
        entries.push_back({log[at], log[at + 1], log[at + 2], log[at + 3]});
    }
    EXPECT_EQ(Le16At(log, 0), entries.size());
    return entries;
}

TEST(DiagFlashDiagnostic, AllKindsPassOnASoundDriveAndLeaveTheBlockErased) {
    DriveProfile profile;
    profile.factoryBadBlocks = {{1, 1, 602}};
    DiagBench bench(profile);
    bench.Jump();
    for (const auto& [kind, parameter] :
         std::vector<std::pair<int, int>>{{1, 602}, {2, 602}, {3, 1234}}) {
        const auto [ok, answer] = Diagnostic(bench, kind, parameter);
        ASSERT_TRUE(ok) << kind;
        EXPECT_NE(answer[0], 1) << "kind " << kind;
    }
    EXPECT_FALSE(bench.Programmed(0, 0, 602, 0));
    EXPECT_TRUE(Log(bench).empty());
    const auto [ok, answer] = Diagnostic(bench, 4, 0);
    EXPECT_FALSE(ok);
}

TEST(DiagFlashDiagnostic, ChipEnablesTheImageNamesButTheDriveLacksFailTheIdRead) {
    DiagBench bench;
    bench.image[0x503] = 6;  // the drive has 4 channels
    bench.Jump();
    const auto [ok, answer] = Diagnostic(bench, 1, 602);
    ASSERT_TRUE(ok);
    EXPECT_EQ(answer[0], 1);
    EXPECT_EQ(answer[1], 2);
    const auto log = Log(bench);
    const std::vector<std::array<int, 4>> want = {
        {4, 0, 2, 1}, {5, 0, 2, 1}, {4, 1, 2, 1}, {5, 1, 2, 1}};
    EXPECT_EQ(log, want);
}

TEST(DiagFlashDiagnostic, AGrownBadTestBlockFailsItsErase) {
    DriveProfile profile;
    profile.grownBadBlocks = {{2, 1, 1500}};
    DiagBench bench(profile);
    bench.Jump();
    const auto [ok, answer] = Diagnostic(bench, 3, 1500);
    ASSERT_TRUE(ok);
    EXPECT_EQ(answer[0], 1);
    EXPECT_EQ(answer[1], 4);
    EXPECT_EQ(Log(bench), (std::vector<std::array<int, 4>>{{2, 1, 4, 3}}));
    EXPECT_NE(Diagnostic(bench, 3, 1501).second[0], 1);
}

struct IfFailCase {
    int code;
    int failingKind;
};

void PrintTo(const IfFailCase& c, std::ostream* os) {
    *os << "code " << c.code;
}

class DiagFlashIfFail : public ::testing::TestWithParam<IfFailCase> {};

TEST_P(DiagFlashIfFail, FailsTheKindThatCoversTheCode) {
    const IfFailCase& p = GetParam();
    DriveProfile profile;
    Fault f;
    f.kind = FaultKind::FlashIfFail;
    f.first = p.code;
    profile.faults.push_back(f);
    DiagBench bench(profile);
    bench.Jump();
    for (int kind = 1; kind <= 3; ++kind) {
        const auto [ok, answer] = Diagnostic(bench, kind, kind == 3 ? 700 : 602);
        ASSERT_TRUE(ok);
        if (kind == p.failingKind) {
            EXPECT_EQ(answer[0], 1) << "kind " << kind;
            EXPECT_EQ(answer[1], p.code);
        } else {
            EXPECT_NE(answer[0], 1) << "kind " << kind;
        }
    }
    EXPECT_EQ(Log(bench), (std::vector<std::array<int, 4>>{{0, 0, p.code, p.failingKind}}));
}

INSTANTIATE_TEST_SUITE_P(Codes, DiagFlashIfFail,
                         ::testing::Values(IfFailCase{1, 1}, IfFailCase{2, 1}, IfFailCase{3, 1},
                                           IfFailCase{10, 1}, IfFailCase{4, 2}, IfFailCase{7, 2},
                                           IfFailCase{11, 2}, IfFailCase{9, 3}));

TEST(DiagFlashDiagnostic, TheLogEndsWithinASmallAnswer) {
    DiagBench bench;
    bench.image[0x503] = 8;
    bench.image[0x504] = 8;
    bench.image[0x52A] = 6;  // banks 2.. name chip enables the drive lacks
    bench.Jump();
    for (int i = 0; i < 3; ++i) {  // 56 failures each
        ASSERT_TRUE(Diagnostic(bench, 1, 602).first);
    }
    const Bytes log = bench.ReadIn(0x22, 1);
    const int count = Le16At(log, 0);
    EXPECT_EQ(count, (512 - 8) / 4);
    EXPECT_EQ(log[4 + static_cast<std::size_t>(count) * 4], 0xFF);
}

}  // namespace
}  // namespace kv::emu::test
