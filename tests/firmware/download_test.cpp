#include "firmware/download.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <regex>

#include "device/ata_commands.h"
#include "device/vendor_access.h"
#include "device/vendor_access_boolean_forms.h"
#include "device/vendor_access_wait.h"
#include "firmware/byte_layout.h"
#include "firmware/download_identify.h"
#include "firmware/upload.h"
#include "flash/count_bad_blocks.h"
#include "flash/flash_scan.h"
#include "flash/system_check.h"
#include "support/produced_drive.h"
#include "support/run_tool.h"
#include "system_area_fixture.h"

namespace kv {
namespace {

class DownloadTest : public test::SystemAreaFixture {
  protected:
    DownloadRequest Request() const {
        DownloadRequest r;
        r.SerialNumber = "KV5100000042";
        r.WwnText = "000000042";
        r.Files = SataFiles();
        return r;
    }

    std::uint16_t Generation() {
        std::uint8_t info[kCtrlInfoSize] = {};
        EXPECT_TRUE(VA_EnableVendorCmd(0, 10));
        EXPECT_TRUE(va::VC_SYS_GetCtrlInfo(0, info));
        return Le16(info + 44);
    }

    // Vendor mode 1 makes a drive with a sound system area boot its firmware.
    void BootFirmware() {
        ASSERT_TRUE(VA_EnableVendorCmd(0, 1));
        ASSERT_TRUE(PortWait(0, 3000));
    }

    std::string HdparmDecode(const IdentifyData& id) {
        const std::string file = folder.File("identify.txt");
        std::ofstream(file, std::ios::binary) << IdentifyWordsText(id);
        const test::ToolResult r = test::RunTool("hdparm --Istdin < " + test::ShellQuote(file));
        EXPECT_EQ(r.exitCode, 0) << r.output;
        return r.output;
    }
};

TEST_F(DownloadTest, ProducedDriveBootsWithTheIdentifyDataTheStationGaveIt) {
    StartDrive("Boot=firmware\n");
    const ProcedureContext ctx = Context();
    ASSERT_EQ(Generation(), 1);
    ASSERT_TRUE(GetCodeBlocks(0, work, ctx));
    ASSERT_TRUE(DownloadFirmware(0, work, ctx, Request()));
    EXPECT_EQ(FlashStoresOf(0).Image.DefectCount,
              static_cast<std::uint32_t>(test::kSampleFactoryBad * test::kSampleDies));

    BootFirmware();
    EXPECT_EQ(Generation(), 2);
    IdentifyData id;
    ASSERT_EQ(ReadPortIdentify(0, id), IdentifyReadOutcome::Read);
    const std::string decoded = HdparmDecode(id);
    EXPECT_NE(decoded.find("Checksum: correct"), std::string::npos) << decoded;
    EXPECT_TRUE(std::regex_search(decoded, std::regex("Model Number:\\s+Korvane KVR51X 64GB SSD")))
        << decoded;
    EXPECT_TRUE(std::regex_search(decoded, std::regex("Serial Number:\\s+KV5100000042")))
        << decoded;
    EXPECT_TRUE(std::regex_search(decoded, std::regex("Firmware Revision:\\s+KV51A203")))
        << decoded;
    EXPECT_TRUE(std::regex_search(
        decoded, std::regex("Logical Unit WWN Device Identifier:\\s+55cd2e4000000042")))
        << decoded;
    EXPECT_TRUE(
        std::regex_search(decoded, std::regex("LBA48\\s+user addressable sectors:\\s+[1-9]")))
        << decoded;
    EXPECT_NE(decoded.find("Gen3 signaling speed (6.0Gb/s)"), std::string::npos) << decoded;
}

TEST_F(DownloadTest, CheckTablesAfterDownloadCountsTheFactoryBadBlocks) {
    StartDrive("Boot=firmware\n");
    const ProcedureContext ctx = Context();
    ASSERT_TRUE(GetCodeBlocks(0, work, ctx));
    ASSERT_TRUE(DownloadFirmware(0, work, ctx, Request()));
    BootFirmware();

    FlashConfig own = flash;
    ASSERT_TRUE(CheckTables(0, work, own, settings.block));
    EXPECT_EQ(own.Channels, 4);
    EXPECT_EQ(own.Banks, 2);
    BadBlockCounts counts(own.Channels, own.Banks);
    BadBlockSums sums{};
    std::string text;
    ASSERT_TRUE(CountBadBlocks(0, work, own, "517", counts, sums, &text));
    EXPECT_EQ(sums, (BadBlockSums{test::kSampleFactoryBad * test::kSampleDies, 0, 0, 0, 0}));
    for (int c = 0; c < 4; ++c) {
        for (int b = 0; b < 2; ++b) {
            EXPECT_EQ(counts.Get(c, b, 0), static_cast<std::uint32_t>(test::kSampleFactoryBad));
        }
    }
    EXPECT_EQ(text.rfind("ErrType 1 (Ecc Over)\r\n", 0), 0u);
}

TEST_F(DownloadTest, DamagedPageInEveryCodeBlockFailsBeforeTheDriveIsTouched) {
    StartDrive(
        "Boot=firmware\nFault=table-damage:0.2,table-damage:1.2,table-damage:2.2,"
        "table-damage:3.2\n");
    const ProcedureContext ctx = Context();
    ASSERT_TRUE(GetCodeBlocks(0, work, ctx));
    EXPECT_FALSE(DownloadFirmware(0, work, ctx, Request()));
    EXPECT_EQ(work[0], 209);
    EXPECT_EQ(work[1], 0);       // the damage sits on channel 0
    EXPECT_NE(work[2], 0x45);    // the broken signature follows
    EXPECT_EQ(Generation(), 1);  // nothing erased or rewritten
}

TEST_F(DownloadTest, DamagedPageOfCodeBlockTwoIsTakenFromCodeBlockThree) {
    StartDrive("Boot=firmware\nFault=table-damage:2.1\n");
    const ProcedureContext ctx = Context();
    ASSERT_TRUE(GetCodeBlocks(0, work, ctx));
    ASSERT_TRUE(DownloadFirmware(0, work, ctx, Request()));
    BootFirmware();
    EXPECT_EQ(Generation(), 2);
    FlashConfig own = flash;
    EXPECT_TRUE(CheckTables(0, work, own, settings.block));
}

TEST_F(DownloadTest, UploadReadsTheWrittenHeaderPageBack) {
    StartDrive("Boot=firmware\n");
    const ProcedureContext ctx = Context();
    ASSERT_TRUE(GetCodeBlocks(0, work, ctx));
    ASSERT_TRUE(DownloadFirmware(0, work, ctx, Request()));
    const std::vector<FirmwareFileEntry> files = SataFiles();
    ASSERT_TRUE(UploadFirmware(0, work, ctx, files));
    char name[32];
    std::snprintf(name, sizeof name, "UP00%2.2X03.raw",
                  static_cast<unsigned>(FlashStoresOf(0).Image.CodeBlocks.Blocks[1]));
    std::ifstream in(folder.File(name), std::ios::binary);
    ASSERT_TRUE(in) << name;
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
    ASSERT_GE(bytes.size(), 0x400u);
    EXPECT_EQ(std::string(bytes.begin() + 0x300, bytes.begin() + 0x304), "DIZO");
    // The serial number of the port, in ATA string order.
    EXPECT_EQ(std::string(bytes.begin() + 0x060, bytes.begin() + 0x064), "VK15");
    std::ifstream table(folder.File("10_TPR_00_01.raw"), std::ios::binary);
    EXPECT_TRUE(table);
}

}  // namespace
}  // namespace kv

namespace kv {
namespace {

TEST_F(DownloadTest, FreshDriveAfterPreformatAndDownloadReportsThePatchedIdentify) {
    StartDrive("");
    const ProcedureContext ctx = Context();
    ASSERT_EQ(test::PreFormatFreshDrive(0, work, ctx), "");
    ASSERT_TRUE(DownloadFirmware(0, work, ctx, Request()));
    EXPECT_EQ(FlashStoresOf(0).Image.DefectCount,
              static_cast<std::uint32_t>(test::kSampleFactoryBad * test::kSampleDies));
    BootFirmware();
    IdentifyData id;
    ASSERT_EQ(ReadPortIdentify(0, id), IdentifyReadOutcome::Read);
    const std::string decoded = HdparmDecode(id);
    EXPECT_NE(decoded.find("Checksum: correct"), std::string::npos) << decoded;
    EXPECT_TRUE(std::regex_search(decoded, std::regex("Serial Number:\\s+KV5100000042")))
        << decoded;

    FlashConfig own = flash;
    ASSERT_TRUE(CheckTables(0, work, own, settings.block));
    BadBlockCounts counts(own.Channels, own.Banks);
    BadBlockSums sums{};
    ASSERT_TRUE(CountBadBlocks(0, work, own, "517", counts, sums, nullptr));
    EXPECT_EQ(sums, (BadBlockSums{test::kSampleFactoryBad * test::kSampleDies, 0, 0, 0, 0}));
}

}  // namespace
}  // namespace kv
