// The vendor access layer against drives of the virtual fixture: programs
// that end or stay busy, the buffer test of the test program, and pages
// written and read back on a drive's flash.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "device/vendor_access.h"
#include "vendor_access_drives.h"

namespace kv {
namespace {

// Ports: 0 SATA loader whose program 1 stays busy, 1 SATA loader, 2 SATA
// loader with a failing controller buffer, 3 USB-path loader.
constexpr const char* kDrives =
    "[Drive 1.1]\nBridge=p713\nFault=busy:program1\n"
    "[Drive 1.2]\nBridge=p713\n"
    "[Drive 1.3]\nBridge=p713\nFault=dram-fail\n"
    "[Drive 1.4]\nBridge=p730\n";

class VendorAccessDriveTest : public test::DrivesTest {
  protected:
    void SetUp() override {
        Load(kDrives, {"1.1", "1.2", "1.3", "1.4"},
             {BusPath::SataPath, BusPath::SataPath, BusPath::SataPath, BusPath::UsbPath});
    }
    // Vendor commands on, a 128 KiB image of `kind` into program RAM, the jump.
    void RunProgram(int port, const char* kind) {
        ASSERT_TRUE(VA_SetVendorFeature(port, true));
        ASSERT_TRUE(VA_EnableVendorCmd(port, 10));
        std::vector<std::uint8_t> image(131072, 0x66);
        std::memcpy(image.data() + 0x300, kind, 4);
        const std::span<const std::uint8_t> all(image);
        ASSERT_TRUE(VA_WriteCodeToMem(port, all.subspan(0, 65536), 128, 0));
        ASSERT_TRUE(VA_WriteCodeToMem(port, all.subspan(65536), 128, 65536));
        std::vector<std::uint8_t> back(65536);
        ASSERT_TRUE(VA_ReadCodeFromMem(port, back, 128, 0));
        ASSERT_TRUE(std::equal(back.begin(), back.end(), image.begin()));
        ASSERT_TRUE(VA_JumpToPRAM(port));
    }
    std::vector<std::uint8_t> buffer = std::vector<std::uint8_t>(65536);
};

TEST_F(VendorAccessDriveTest, ProgramThatEndsDeliversItsStatus) {
    RunProgram(1, "GDP_");
    std::uint8_t status = 0xAA;
    ASSERT_TRUE(VA_GDP_ExecProg(1, 1, 0, status, false));
    EXPECT_NE(status, 0xAA);
}

TEST_F(VendorAccessDriveTest, BusyProgramFailsAfterOneWaitWithoutKeepWaiting) {
    RunProgram(0, "GDP_");
    const std::int64_t start = PortTime(0);
    std::uint8_t status = 0;
    EXPECT_FALSE(VA_GDP_ExecProg(0, 1, 0, status, false));
    EXPECT_EQ(PortTime(0) - start, 30 + 3000);
    EXPECT_TRUE(Traced("FAILED(VA_GDP_ExecProg)\r\n"));
}

TEST_F(VendorAccessDriveTest, BusyProgramWithKeepWaitingEndsAtItsLimit) {
    RunProgram(0, "GDP_");
    SetKeepWaitingLimitMs(60000);
    const std::int64_t start = PortTime(0);
    std::uint8_t status = 0;
    EXPECT_FALSE(VA_GDP_ExecProg(0, 1, 0, status, true));
    EXPECT_EQ(PortTime(0) - start, 30 + 60000);
    // The program is still busy: a later wait ends at the limit as well.
    EXPECT_FALSE(VA_ST_WaitReturn(0, status, true));
    EXPECT_TRUE(Traced("FAILED(VA_ST_WaitReturn)\r\n"));
}

TEST_F(VendorAccessDriveTest, BufferTestPassesOnASoundBufferOnly) {
    RunProgram(1, "TST_");
    EXPECT_TRUE(VA_BufferTest(1, buffer, 0));
    EXPECT_TRUE(VA_BufferTest(1, buffer, 1));
    RunProgram(2, "TST_");
    EXPECT_FALSE(VA_BufferTest(2, buffer, 0));
}

// One page set (4 channels × 16 sectors) written on even and odd blocks and
// read back channel by channel, on both bus paths.
TEST_F(VendorAccessDriveTest, PagesWrittenReadBackOnBothBusPaths) {
    for (int port : {1, 3}) {
        RunProgram(port, "GDP_");
        for (std::uint16_t block : {20, 21}) {
            std::vector<std::uint8_t> set(4 * 16 * 512);
            for (std::size_t i = 0; i < set.size(); ++i) {
                set[i] = static_cast<std::uint8_t>(i * 13 + block + port);
            }
            FlashAddress address;
            address.Channel = 4;
            address.Block = block;
            address.Page = 5;
            ASSERT_TRUE(VA_WritePages(port, address, set, 64)) << port << " " << block;
            std::vector<std::uint8_t> back(set.size(), 0);
            ASSERT_TRUE(VA_ReadPages(port, address, back, false));
            EXPECT_EQ(back, set) << "port " << port << " block " << block;
            // One channel alone lands in its own slice.
            std::vector<std::uint8_t> one(set.size(), 0);
            address.Channel = 2;
            ASSERT_TRUE(VA_ReadPages(port, address, one, false));
            EXPECT_TRUE(
                std::equal(one.begin() + 2 * 8192, one.begin() + 3 * 8192, set.begin() + 2 * 8192));
        }
    }
}

TEST_F(VendorAccessDriveTest, LoaderInfoIsFoundOnlyWithTheLoaderSignature) {
    std::uint8_t info[kLoaderInfoSize] = {};
    // Vendor feature off: the drive refuses the page reads, which still count
    // as carried out. Neither an unset signature nor what the buffer held
    // before may pass for loader information.
    EXPECT_FALSE(VA_ReadLoaderInfo(1, buffer, info));
    VaFlashGeometry g = VaFlashGeometryOf(1);
    std::memcpy(g.LoaderSignature, "LDBK BLOCKS V50", 16);
    SetVaFlashGeometry(1, g);
    std::memcpy(buffer.data(), g.LoaderSignature, 16);
    EXPECT_FALSE(VA_ReadLoaderInfo(1, buffer, info));
    // A fresh drive has erased code blocks: no block starts with the signature.
    ASSERT_TRUE(VA_SetVendorFeature(1, true));
    EXPECT_FALSE(VA_ReadLoaderInfo(1, buffer, info));
    // Page 0 of block 2 written with the signature and a record at 560.
    RunProgram(1, "GDP_");
    std::vector<std::uint8_t> set(4 * 16 * 512, 0);
    std::memcpy(set.data(), "LDBK BLOCKS V50", 16);
    for (std::size_t i = 0; i < kLoaderInfoSize; ++i) {
        set[kLoaderInfoOffset + i] = static_cast<std::uint8_t>(i + 2);
    }
    FlashAddress address;
    address.Channel = 4;
    address.Block = 2;
    ASSERT_TRUE(VA_WritePages(1, address, set, 64));
    ASSERT_TRUE(VA_ReadLoaderInfo(1, buffer, info));
    EXPECT_EQ(info[0], 2);
    EXPECT_EQ(info[39], 41);
    // Without a signature in the configuration nothing is taken for loader information.
    SetVaFlashGeometry(1, VaFlashGeometry{4, 16, 0, {}});
    EXPECT_FALSE(VA_ReadLoaderInfo(1, buffer, info));
}

}  // namespace
}  // namespace kv
