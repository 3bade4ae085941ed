#include "flash/later_table.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "emulator/controller.h"
#include "emulator/drive.h"
#include "emulator/nand.h"
#include "firmware/system_area_fixture.h"
#include "flash/defect_table_io.h"
#include "flash/flash_scan_stores.h"
#include "flash/later_table_text.h"
#include "support/produced_drive.h"

namespace kv {
namespace {

LaterTableGeometry SmallGeometry() {
    return LaterTableGeometry{4, 2, 1, 4096, 512};
}

TEST(LaterTableText, SoundTextIsReadIntoUnitsChannelsAndEntries) {
    const std::string text =
        "V#12\r\nB#00\r\nD#00\r\nS#0010\r\nC#00\r\nC#02T#0002,U#0123,4U#0FFF,3\r\n"
        "B#01\r\nD#00\r\nS#0011\r\nC#03T#0000,\r\n";
    LaterTableText parsed;
    std::string error;
    ASSERT_TRUE(ParseLaterTableText(text, SmallGeometry(), parsed, &error)) << error;
    ASSERT_EQ(parsed.Units.size(), 2u);
    EXPECT_EQ(parsed.Units[0].Block, 0x10);
    ASSERT_EQ(parsed.Units[0].Channels.size(), 2u);
    EXPECT_FALSE(parsed.Units[0].Channels[0].HasTable);
    const LaterTableChannel& c2 = parsed.Units[0].Channels[1];
    EXPECT_EQ(c2.Channel, 2);
    ASSERT_EQ(c2.Entries.size(), 2u);
    EXPECT_EQ(c2.Entries[1].Block, 0x0FFF);
    EXPECT_EQ(c2.Entries[1].Kind, 3);
    EXPECT_EQ(parsed.Units[1].Bank, 1);
    EXPECT_TRUE(parsed.Units[1].Channels[0].HasTable);
}

TEST(LaterTableText, FaultyTextsAreRefusedWithTheirLine) {
    const char* head = "\r\nB#00\r\nD#00\r\nS#0010\r\n";
    const struct {
        const char* what;
        std::string text;
        const char* line;
    } cases[] = {
        {"bank beyond the flash", "B#02\r\nD#00\r\nS#0010\r\n", "line 1"},
        {"die beyond the flash", "B#00\r\nD#01\r\nS#0010\r\n", "line 2"},
        {"block beyond the flash", "B#00\r\nD#00\r\nS#1000\r\n", "line 3"},
        {"channel beyond the flash", std::string(head) + "C#04\r\n", "line 5"},
        {"channels out of order", std::string(head) + "C#01\r\nC#01\r\n", "line 6"},
        {"count larger than its entries", std::string(head) + "C#00T#0002,U#0001,4\r\n", ""},
        {"entries beyond the count", std::string(head) + "C#00T#0001,U#0001,4U#0002,4\r\n", ""},
        {"count beyond a page", std::string(head) + "C#00T#0079,\r\n", ""},
        {"entry block beyond the flash", std::string(head) + "C#00T#0001,U#2000,4\r\n", ""},
        {"entry without a count", std::string(head) + "C#00U#0001,4\r\n", ""},
        {"bank without a block", "B#00\r\nD#00\r\nC#00\r\n", ""},
        {"bank and die twice", std::string(head) + "B#00\r\nD#00\r\nS#0011\r\n", ""},
        {"unknown letter", std::string(head) + "X#00\r\n", "line 5"},
        {"version not a format", "V#13\r\n", ""},
        {"hex digits missing", "B#00\r\nD#00\r\nS#00G0\r\n", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        LaterTableText parsed;
        parsed.Units.resize(1);
        std::string error;
        EXPECT_FALSE(ParseLaterTableText(c.text, SmallGeometry(), parsed, &error));
        EXPECT_NE(error.find(c.line), std::string::npos) << error;
        EXPECT_EQ(parsed.Units.size(), 1u);  // left as it was
    }
}

TEST(LaterTableText, ChannelLineBoundsTheCountByTheSlice) {
    std::vector<std::uint8_t> slice(512, 0xFF);
    LaterTableChannel channel{1, true, {{0x0123, 4}, {0x0456, 9}}};
    BuildLaterTableSlice(channel, slice);
    std::string text;
    AppendLaterTableChannel(text, 1, slice);
    EXPECT_EQ(text, "C#01T#0002,U#0123,4U#0456,9\r\n");
    // A count the slice cannot hold is cut to what it holds.
    slice[16] = 0xFF;
    slice[17] = 0xFF;
    text.clear();
    AppendLaterTableChannel(text, 1, slice);
    EXPECT_EQ(text.find("T#0078,"), 4u) << text.substr(0, 20);
    text.clear();
    AppendLaterTableChannel(text, 3, std::vector<std::uint8_t>(512, 0xFF));
    EXPECT_EQ(text, "C#03\r\n");
}

class LaterTableTest : public test::SystemAreaFixture {
  protected:
    static std::string Read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    std::size_t ProgrammedPages() {
        return fixture->DriveOf(*fixture->DeviceAt("1.1"))
            ->WithParts([](emu::Controller&, emu::Nand& nand, emu::DriveState&) {
                return nand.ProgrammedPages();
            });
    }
};

TEST_F(LaterTableTest, PutTableComesBackFromGetAndTheSystemAreaStays) {
    StartDrive("");
    const ProcedureContext ctx = Context();
    ASSERT_EQ(test::PreFormatFreshDrive(0, work, ctx), "");
    const std::string fresh = folder.File("fresh.txt");
    ASSERT_TRUE(GetLaterTable(0, work, ctx, fresh, 12));
    const std::string empty = Read(fresh);
    ASSERT_EQ(empty.rfind("V#12\r\nB#00\r\nD#00\r\nS#", 0), 0u) << empty;
    EXPECT_EQ(empty.find("T#"), std::string::npos);

    // Grown bad blocks on channels 1 and 3 of both banks.
    std::string put = empty;
    for (std::size_t at = put.find("C#01\r\n"); at != std::string::npos;
         at = put.find("C#01\r\n", at + 1)) {
        put.replace(at, 6, "C#01T#0002,U#0123,4U#0456,3\r\n");
    }
    for (std::size_t at = put.find("C#03\r\n"); at != std::string::npos;
         at = put.find("C#03\r\n", at + 1)) {
        put.replace(at, 6, "C#03T#0001,U#0200,4\r\n");
    }
    const std::string putPath = folder.File("put.txt");
    std::ofstream(putPath, std::ios::binary) << put;
    std::string error;
    ASSERT_TRUE(PutLaterTable(0, work, ctx, putPath, &error)) << error;
    const std::string back = folder.File("back.txt");
    ASSERT_TRUE(GetLaterTable(0, work, ctx, back, 12));
    EXPECT_EQ(Read(back), put);

    // The rest of every code block is where it was: the program still finds
    // its defect table and builds on it.
    const std::string defects = folder.File("defects.txt");
    EXPECT_TRUE(GetDefectTable(0, work, ctx, defects, 12));
    EXPECT_NE(Read(defects).find("U#"), std::string::npos);
    for (int i = 0; i < 4; ++i) {
        const int block = FlashStoresOf(0).Image.CodeBlocks.Blocks[i];
        fixture->DriveOf(*fixture->DeviceAt("1.1"))
            ->WithParts([&](emu::Controller&, emu::Nand& nand, emu::DriveState&) {
                for (int page : {1, 2, 4}) {
                    EXPECT_TRUE(nand.IsProgrammed({0, 0, block, page})) << block << "/" << page;
                }
                return 0;
            });
    }
}

TEST_F(LaterTableTest, FaultyTextFailsWithTheDriveUntouched) {
    StartDrive("");
    const ProcedureContext ctx = Context();
    ASSERT_EQ(test::PreFormatFreshDrive(0, work, ctx), "");
    const std::string path = folder.File("bad.txt");
    std::ofstream(path, std::ios::binary) << "\r\nB#00\r\nD#00\r\nS#0010\r\nC#09\r\n";
    const std::size_t before = ProgrammedPages();
    std::string error;
    EXPECT_FALSE(PutLaterTable(0, work, ctx, path, &error));
    EXPECT_NE(error.find("channel"), std::string::npos) << error;
    EXPECT_FALSE(PutLaterTable(0, work, ctx, folder.File("missing.txt")));
    EXPECT_EQ(ProgrammedPages(), before);
}

}  // namespace
}  // namespace kv
