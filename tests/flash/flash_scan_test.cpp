#include "flash/flash_scan.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "device/loader_mode.h"
#include "firmware/system_area_fixture.h"
#include "flash/flash_scan_stores.h"
#include "flash/scan_result_decoder.h"

namespace kv {
namespace {

class FlashScanTest : public test::SystemAreaFixture {
  protected:
    void Start(const std::string& keys) {
        StartDrive(keys);
        ASSERT_TRUE(EnterVendorMode(0, work.data()));
    }
    std::string DecodeReport(int* failCode = nullptr) const {
        std::string text;
        DecodeScanResult(work[0], std::span<const std::uint8_t>(work).subspan(1, 2047), flash, text,
                         failCode);
        return text;
    }
};

TEST_F(FlashScanTest, IdMismatchEndsInARecord131ForThatChipEnable) {
    Start("Fault=id-mismatch:1.1\n");
    EXPECT_FALSE(FlashModuleTest(0, work, Context()));
    EXPECT_EQ(work[0], 2);
    EXPECT_EQ(work[1], kModuleChecking);
    EXPECT_EQ(work[kModuleFirstRecord], kModuleIdMismatch);
    EXPECT_EQ(work[kModuleFirstRecord + 1], 1);
    EXPECT_EQ(work[kModuleFirstRecord + 2], 1);
    const std::string text = DecodeReport();
    EXPECT_NE(text.find("Flash Setting - ID: 2C 88 04 4B A9\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("(Ch#01, Bank#01)\r\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("(Ch#00, Bank#00)"), std::string::npos) << text;
}

TEST_F(FlashScanTest, CheckFlashMaskSelectsTheComparedIdBytes) {
    Start("Fault=id-mismatch:2.0\n");
    // The mismatching chip enable answers other ID bytes 1 and 3.
    const struct {
        std::uint8_t mask;
        bool passes;
    } cases[] = {{0x1F, false}, {0x00, true},  {0x01, true},
                 {0x02, false}, {0x08, false}, {0x15, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.mask));
        settings.block.CheckFlashMask = c.mask;
        EXPECT_EQ(FlashModuleTest(0, work, Context()), c.passes);
        EXPECT_EQ(work[1], c.passes ? kModuleAllMatch : kModuleChecking);
    }
}

TEST_F(FlashScanTest, ProgramSeeingOtherBanksThanThePatchedImageNamesFailsWith129) {
    Start("");
    // Two banks with one chip-enable code: the program finds one bank.
    flash.FwBankSet[1] = flash.FwBankSet[0];
    EXPECT_FALSE(FlashModuleTest(0, work, Context()));
    EXPECT_EQ(work[0], 2);
    EXPECT_EQ(work[1], kModuleAllMatch);
    EXPECT_EQ(work[kModuleFirstRecord], kModuleCountMismatch);
    const std::string text = DecodeReport();
    EXPECT_NE(text.find("Flash Setting - Ch:04 , Bank:02\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Scan Result -  Ch:04 , Bank:01\r\n"), std::string::npos) << text;
}

TEST_F(FlashScanTest, FreshDrivePassesTheModuleAndInterfaceTests) {
    Start("");
    const ProcedureContext ctx = Context();
    EXPECT_TRUE(FlashModuleTest(0, work, ctx));
    EXPECT_EQ(work[1], kModuleAllMatch);
    EXPECT_TRUE(BusInterfaceTest(0, work, ctx));
    std::uint8_t failByte = 0xFF;
    std::uint8_t result = 0;
    EXPECT_TRUE(FlashInterfaceTest(0, work, ctx, failByte, result));
    EXPECT_EQ(failByte, 0);
    // The worker's erase before the code-block query.
    EXPECT_TRUE(EraseBlocks(0, work, ctx));
    ASSERT_TRUE(GetCodeBlocks(0, work, ctx));
    const CodeBlockList& blocks = FlashStoresOf(0).Image.CodeBlocks;
    EXPECT_EQ(blocks.Count, 4);
    EXPECT_EQ(std::set<int>(blocks.Blocks, blocks.Blocks + 4).size(), 4u);
}

TEST_F(FlashScanTest, BufferFaultFailsTheBusInterfaceTest) {
    Start("Fault=dram-fail\n");
    EXPECT_FALSE(BusInterfaceTest(0, work, Context()));
}

TEST_F(FlashScanTest, FlashInterfaceFaultLeavesADecodableLog) {
    Start("Fault=flash-if-fail:7\n");
    std::uint8_t failByte = 0;
    std::uint8_t result = 0;
    EXPECT_FALSE(FlashInterfaceTest(0, work, Context(), failByte, result));
    EXPECT_TRUE(failByte == kFlashIfFirstFailed || failByte == kFlashIfSecondFailed ||
                failByte == kFlashIfRandomFailed)
        << int(failByte);
    std::string text;
    int failCode = 0;
    DecodeFlashInterfaceResult(std::span<const std::uint8_t>(work).first(2048), flash, text,
                               &failCode);
    EXPECT_EQ(failCode, 60);
    EXPECT_NE(text.find("Flash Interface Test Fail\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Flash ECC fail."), std::string::npos) << text;
}

TEST(DiagnosticValues, TenDistinctValuesInRange) {
    for (std::uint32_t seed = 0; seed < 300; ++seed) {
        const DiagnosticValues v = DrawDiagnosticValues(seed);
        EXPECT_EQ(std::set<std::uint16_t>(v.begin(), v.end()).size(), v.size()) << seed;
        for (std::uint16_t x : v) {
            EXPECT_GE(x, 256);
            EXPECT_LE(x, 1791);
        }
    }
}

}  // namespace
}  // namespace kv
