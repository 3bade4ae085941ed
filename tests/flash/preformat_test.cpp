#include "flash/preformat.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <tuple>

#include "emulator/controller.h"
#include "emulator/drive.h"
#include "emulator/nand.h"
#include "firmware/system_area_fixture.h"
#include "flash/defect_table_io.h"
#include "flash/flash_scan.h"
#include "flash/flash_scan_stores.h"
#include "flash/scan_result_decoder.h"
#include "support/produced_drive.h"

namespace kv {
namespace {

class PreFormatTest : public test::SystemAreaFixture {
  protected:
    // Factory-marked blocks of the drive, as (channel, chip enable, block).
    std::set<std::tuple<int, int, int>> FactoryBad() {
        std::set<std::tuple<int, int, int>> bad;
        fixture->DriveOf(*fixture->DeviceAt("1.1"))
            ->WithParts([&](emu::Controller&, emu::Nand& nand, emu::DriveState&) {
                const auto& g = nand.geometry();
                for (int c = 0; c < g.channels; ++c) {
                    for (int ce = 0; ce < g.chipEnables; ++ce) {
                        for (int b = 0; b < g.blocksPerCe; ++b) {
                            if (nand.IsFactoryBad(c, ce, b)) {
                                bad.insert({c, ce, b});
                            }
                        }
                    }
                }
                return 0;
            });
        return bad;
    }

    std::string Decode(const std::vector<std::uint8_t>& report, int* failCode) const {
        std::string text;
        DecodeScanResult(report[0], std::span<const std::uint8_t>(report).subspan(1), flash, text,
                         failCode);
        return text;
    }
};

TEST_F(PreFormatTest, FreshDrivePassesAndItsDefectTableListsTheSeededBadBlocks) {
    StartDrive("");
    const ProcedureContext ctx = Context();
    ASSERT_EQ(test::PreFormatFreshDrive(0, work, ctx), "");
    const CodeBlockList& blocks = FlashStoresOf(0).Image.CodeBlocks;
    ASSERT_EQ(blocks.Count, 4);

    const std::string path = folder.File("defect.txt");
    ASSERT_TRUE(GetDefectTable(0, work, ctx, path, 12));
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    // Every "U#" entry of a channel and bank is one bad block of that chip
    // enable (bank b is chip-enable code FwBankSet[b]).
    std::set<std::tuple<int, int, int>> listed;
    int channel = -1;
    int bank = -1;
    const std::regex record(R"((C|B)#0(\d)|U#([0-9A-F]{4}),)");
    const std::string all = text.str();
    for (auto it = std::sregex_iterator(all.begin(), all.end(), record);
         it != std::sregex_iterator(); ++it) {
        if ((*it)[1] == "C") {
            channel = std::stoi((*it)[2]);
        } else if ((*it)[1] == "B") {
            bank = std::stoi((*it)[2]);
        } else {
            listed.insert({channel, flash.FwBankSet[bank], std::stoi((*it)[3], nullptr, 16)});
        }
    }
    EXPECT_EQ(listed, FactoryBad());
    EXPECT_EQ(listed.size(), static_cast<std::size_t>(test::kSampleFactoryBad * test::kSampleDies));
}

TEST_F(PreFormatTest, PutOfTheTextRestoresTheTableAndTheProgramBuildsTheRest) {
    StartDrive("");
    const ProcedureContext ctx = Context();
    ASSERT_EQ(test::PreFormatFreshDrive(0, work, ctx), "");
    const std::string before = folder.File("before.txt");
    const std::string after = folder.File("after.txt");
    ASSERT_TRUE(GetDefectTable(0, work, ctx, before, 12));

    std::string error;
    ASSERT_TRUE(PutDefectTable(0, work, ctx, before, 12, &error)) << error;
    ASSERT_TRUE(GetDefectTable(0, work, ctx, after, 12));
    auto read = [](const std::string& p) {
        std::ifstream in(p, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    };
    EXPECT_EQ(read(after), read(before));
    // The program's commit rebuilt the early table next to the restored one.
    for (int i = 0; i < 4; ++i) {
        const std::uint16_t block = FlashStoresOf(0).Image.CodeBlocks.Blocks[i];
        fixture->DriveOf(*fixture->DeviceAt("1.1"))
            ->WithParts([&](emu::Controller&, emu::Nand& nand, emu::DriveState&) {
                EXPECT_TRUE(nand.IsProgrammed({0, 0, block, 2})) << "code block " << block;
                return 0;
            });
    }
}

TEST_F(PreFormatTest, DamagedOrMistypedTableFileFailsWithTheDriveUntouched) {
    StartDrive("");
    const ProcedureContext ctx = Context();
    ASSERT_EQ(test::PreFormatFreshDrive(0, work, ctx), "");
    const std::string good = folder.File("good.txt");
    ASSERT_TRUE(GetDefectTable(0, work, ctx, good, 12));
    std::string sound;
    {
        std::ifstream in(good, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        sound = s.str();
    }
    const std::size_t firstEntry = sound.find("U#");
    ASSERT_NE(firstEntry, std::string::npos);
    const struct {
        const char* what;
        std::string text;
    } cases[] = {
        {"cut short", sound.substr(0, sound.size() / 2)},
        {"block beyond the flash", std::string(sound).replace(firstEntry + 2, 4, "FFFF")},
        {"letter mistyped", std::string(sound).replace(firstEntry, 1, "X")},
        {"channel out of range", std::string(sound).replace(sound.find("C#00"), 4, "C#07")},
        {"empty file", ""},
    };
    const std::size_t programmedBefore =
        fixture->DriveOf(*fixture->DeviceAt("1.1"))
            ->WithParts([](emu::Controller&, emu::Nand& nand, emu::DriveState&) {
                return nand.ProgrammedPages();
            });
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = folder.File("bad.txt");
        std::ofstream(path, std::ios::binary) << c.text;
        std::string error;
        EXPECT_FALSE(PutDefectTable(0, work, ctx, path, 12, &error));
        EXPECT_FALSE(error.empty());
    }
    EXPECT_FALSE(PutDefectTable(0, work, ctx, folder.File("missing.txt"), 12));
    const std::size_t programmedAfter =
        fixture->DriveOf(*fixture->DeviceAt("1.1"))
            ->WithParts([](emu::Controller&, emu::Nand& nand, emu::DriveState&) {
                return nand.ProgrammedPages();
            });
    EXPECT_EQ(programmedAfter, programmedBefore);
    // Still the table it was.
    const std::string again = folder.File("again.txt");
    ASSERT_TRUE(GetDefectTable(0, work, ctx, again, 12));
    std::ifstream in(again, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    EXPECT_EQ(s.str(), sound);
}

TEST_F(PreFormatTest, FailedGetLeavesNoTextBehind) {
    StartDrive("");
    const std::string path = folder.File("old.txt");
    std::ofstream(path, std::ios::binary) << "V#10\r\nC#00\r\n";
    // No code blocks known for the port: nothing to read.
    EXPECT_FALSE(GetDefectTable(0, work, Context(), path, 12));
    EXPECT_FALSE(std::ifstream(path).good());
}

TEST_F(PreFormatTest, BadBlocksOverTheDefectRatioFailWithFailCode48) {
    StartDrive("Fault=bad-over-ratio\n");
    const ProcedureContext ctx = Context();
    ASSERT_EQ(test::PreFormatFreshDrive(0, work, ctx), "PreFormat");
    const std::vector<std::uint8_t> report(work.begin(), work.begin() + kScanReportSize);
    ASSERT_GT(report[0], 0);
    int failCode = 0;
    const std::string text = Decode(report, &failCode);
    EXPECT_EQ(failCode, 48);
    EXPECT_NE(text.find("Number of bad block is over defect ratio:\r\n"), std::string::npos)
        << text;
}

TEST_F(PreFormatTest, FlagsFollowTheChoicesAndTheKeepFlag) {
    const struct {
        PreFormatOptions options;
        bool keep;
        std::uint8_t expected;
    } cases[] = {
        {{}, false, 0x08},
        {{true, false, false}, false, 0x09},
        {{false, true, false}, false, 0x0C},
        {{false, false, true}, false, 0x18},
        {{}, true, 0x28},
        {{true, true, true}, true, 0x3D},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PreFormatFlags(0, c.options, c.keep), c.expected);
        EXPECT_EQ(PreFormatFlags(kExecHalfPageBlock, c.options, c.keep),
                  c.expected | kExecHalfPageBlock);
    }
}

TEST_F(PreFormatTest, KeptEraseCountsAndSmartSectorGoBackToTheDrive) {
    StartDrive("");
    settings.block.EnKeepEraseCount = 1;
    settings.block.EnKeepSmartInfo = 1;
    PortSaveAreas* saved = PortDeviceTable().SaveAreas(0);
    ASSERT_NE(saved, nullptr);
    saved->EraseCount.fill(0);
    // 1024 bytes of counts: 8 sectors go back.
    saved->EraseCount[0] = 0x00;
    saved->EraseCount[1] = 0x04;
    for (std::size_t i = 4; i < 4 + 8 * 512; ++i) {
        saved->EraseCount[i] = static_cast<std::uint8_t>(i * 7);
    }
    saved->Smart.fill(0x5A);
    saved->SmartSaved = true;
    const ProcedureContext ctx = Context();
    ASSERT_EQ(test::PreFormatFreshDrive(0, work, ctx), "");
    EXPECT_FALSE(saved->SmartSaved);
    fixture->DriveOf(*fixture->DeviceAt("1.1"))
        ->WithParts([&](emu::Controller&, emu::Nand&, emu::DriveState& state) {
            EXPECT_EQ(state.eraseCountArea.size(), 8u * 512);
            EXPECT_TRUE(state.eraseCountArea.size() == 8u * 512 &&
                        std::equal(state.eraseCountArea.begin(), state.eraseCountArea.end(),
                                   saved->EraseCount.begin() + 4));
            EXPECT_EQ(state.smartSector, std::vector<std::uint8_t>(512, 0x5A));
            return 0;
        });
}

TEST_F(PreFormatTest, EraseSearchAndKeepingGrownBadBlocksStillBuildTheTables) {
    StartDrive("");
    const ProcedureContext ctx = Context();
    PreFormatOptions options;
    options.EraseSearch = true;
    options.FactoryPlusNew = true;
    ASSERT_EQ(test::PreFormatFreshDrive(0, work, ctx, options), "");
    EXPECT_TRUE(GetDefectTable(0, work, ctx, folder.File("defect.txt"), 12));
}

TEST_F(PreFormatTest, RebuildRunsProgramFourOnAProducedDrive) {
    StartDrive("");
    const ProcedureContext ctx = Context();
    ASSERT_EQ(test::PreFormatFreshDrive(0, work, ctx), "");
    EXPECT_TRUE(RebuildBadBlock(0, work, ctx, false));
    // No "GDP_OLD.bin" in the working folder.
    EXPECT_FALSE(RebuildBadBlock(0, work, ctx, true));
}

}  // namespace
}  // namespace kv
