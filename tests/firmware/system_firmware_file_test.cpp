#include "firmware/system_firmware_file.h"

#include <gtest/gtest.h>

#include <fstream>
#include <vector>

#include "firmware/firmware_test_support.h"
#include "firmware/geometry_record.h"
#include "firmware/page_pair_map.h"
#include "support/temp_folder.h"

namespace kv {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes At(const Bytes& page, std::size_t offset, std::size_t n) {
    return Bytes(page.begin() + static_cast<std::ptrdiff_t>(offset),
                 page.begin() + static_cast<std::ptrdiff_t>(offset + n));
}

// A file image that passes the check: A5 second to last, the last byte
// balancing the sum of the others.
Bytes SoundImage(std::size_t size) {
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<std::uint8_t>(i * 13 + 1);
    }
    bytes[size - 2] = 0xA5;
    std::uint8_t sum = 0;
    for (std::size_t i = 0; i + 2 < size; ++i) {
        sum = static_cast<std::uint8_t>(sum + bytes[i]);
    }
    bytes[size - 1] = static_cast<std::uint8_t>(0x100 - sum);
    return bytes;
}

TEST(SystemFirmwareFileTest, FileCheck) {
    EXPECT_TRUE(IsSoundSystemFirmwareImage(SoundImage(4096)));
    EXPECT_TRUE(IsSoundSystemFirmwareImage(SoundImage(2)));
    Bytes wrongCheckByte = SoundImage(4096);
    wrongCheckByte[4094] = 0xA4;
    wrongCheckByte[4095] = static_cast<std::uint8_t>(wrongCheckByte[4095] + 1);
    EXPECT_FALSE(IsSoundSystemFirmwareImage(wrongCheckByte));
    Bytes flipped = SoundImage(4096);
    flipped[100] ^= 0x01;
    EXPECT_FALSE(IsSoundSystemFirmwareImage(flipped));
    EXPECT_FALSE(IsSoundSystemFirmwareImage(Bytes{0xA5}));

    test::TempFolder folder("sys_check");
    const Bytes image = SoundImage(10000);
    std::ofstream(folder.File("SYS_S.bin"), std::ios::binary)
        .write(reinterpret_cast<const char*>(image.data()),
               static_cast<std::streamsize>(image.size()));
    EXPECT_TRUE(IsSoundSystemFirmwareFile(folder.File("SYS_S.bin")));
    EXPECT_FALSE(IsSoundSystemFirmwareFile(folder.File("SYS_U.bin")));
}

TEST(SystemFirmwareFileTest, NamesHeaderRecognitionAndBankMapLayouts) {
    EXPECT_EQ(UsbFirmwareFileName("SYS_S.bin"), "SYS_U.bin");
    EXPECT_EQ(UsbFirmwareFileName("SYS"), "SYS");

    Bytes page(2048, 0);
    std::memcpy(page.data() + 0x300, "DIZO", 4);
    page[0x30D] = 'S';
    EXPECT_TRUE(IsSystemHeaderPage(page));
    page[0x30D] = 'U';
    EXPECT_FALSE(IsSystemHeaderPage(page));
    page[0x30D] = 'S';
    page[0x303] = '0';
    EXPECT_FALSE(IsSystemHeaderPage(page));
    EXPECT_FALSE(IsSystemHeaderPage(Bytes(0x30D, 0)));

    struct Case {
        const char* model;
        const char* format;
        int layoutFormat;
        std::size_t bytes;
    };
    const Case cases[] = {{"517", "43", 43, 384}, {"517", "30", 43, 384}, {"517", "42", 42, 96},
                          {"511", "43", 42, 96},  {"5170", "42", 42, 96}, {"512", "42", 0, 0},
                          {"415", "43", 0, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.model) + "/" + c.format);
        const BankMapLayout layout = BankMapLayoutFor(c.model, c.format);
        EXPECT_EQ(layout.Format, c.layoutFormat);
        EXPECT_EQ(layout.Bytes(), c.bytes);
    }
}

class HeaderPageTest : public ::testing::Test {
  protected:
    // A header page of `bytes`, every byte 0xEE but the recognised fields.
    static Bytes HeaderPage(std::size_t bytes, const char* model, const char* format) {
        Bytes page(bytes, 0xEE);
        std::memcpy(page.data() + 0x300, "DIZO", 4);
        page[0x30D] = 'S';
        std::memcpy(page.data() + 0x324, model, 4);
        std::memcpy(page.data() + 0x329, format, 2);
        return page;
    }
    static PortImageState Port() {
        PortImageState port;
        port.CodeBlocks = {{7, 2, 4, 8}, 4};
        for (int i = 0; i < kSysPageValueCount; ++i) {
            port.SysPageValues[i] = static_cast<std::uint16_t>(0x101 + i);
        }
        for (int i = 0; i < kMaxBankMapEntries; ++i) {
            port.BankMap[i] = static_cast<std::uint16_t>(0x4000 + i);
        }
        port.SataSpeed = 0x0E;
        return port;
    }
};

TEST_F(HeaderPageTest, PatchesAToggleMlcHeaderPage) {
    const config::Settings s = test::SettingsWith(4, 2);
    const FlashConfig flash = test::MakeConfig(test::kToggleMlc, s);
    const ImageContext ctx{flash, s.block, s.process};
    PortImageState port = Port();
    Bytes page = HeaderPage(8192, "517", "43");
    const Bytes before = page;
    ASSERT_TRUE(PatchSystemHeaderPage(ctx, port, 8, page, "SN1", "123456789"));

    // The port attribute: "LEDControl" 0 x 16 + "InterleaveWay" 4.
    EXPECT_EQ(port.PortAttr, 4);
    EXPECT_EQ(page[0x507], flash.GeometryCode2);
    EXPECT_EQ(At(page, 0x510, 8), (Bytes{7, 0, 2, 0, 4, 0, 8, 0}));
    // BCH-24 thresholds 20 and 15, wear levelling 128, security counter 5.
    EXPECT_EQ(At(page, 0x520, 5), (Bytes{20, 15, 128, 5, 0}));
    EXPECT_EQ(At(page, 0x528, 8), (Bytes{0, 1, 2, 3, 4, 5, 6, 7}));
    const Bytes record = {
        0x02, 0x01, 0x01, 0x08, 0x0B, 0x04, 0x07, 0x08,  // shifts, spare shift 7
        0x04, 0x00, 0x01, 0x01, 0xEE, 0xEE, 0xEE, 0xEE,  // port attribute .. kept bytes
        0x90, 0x90, 0x22, 0x04, 0x9B, 0xF9, 0x54, 0x61,  // asynchronous timing, features
        0x00, 0x00, 0x22, 0x04, 0xFF, 0xFF, 0x1F, 0x02,  // toggle timing, maker family
        0x01, 0x02, 0x03, 0x04, 0x44, 0x00, 0x08, 0x00,  // values 0..3, reserve, first page
        0x00, 0x00, 0x00, 0x00, 0x09, 0x01, 0x0A, 0x01,  // extended, die offset, values 8, 9
        0x20, 0x03, 0x00, 0x00, 0x05, 0x06, 0x07, 0x08,  // 800, driver, variant, values 4..7
        0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
    EXPECT_EQ(At(page, 0x530, 64), record);
    const PagePairMapBytes map = PagePairMap(4);
    EXPECT_EQ(At(page, 0x5A0, 256), Bytes(map.begin(), map.end()));
    // Model 517 with format 43: 192 bank map entries.
    EXPECT_EQ(At(page, 0x8A0, 4), (Bytes{0x00, 0x40, 0x01, 0x40}));
    EXPECT_EQ(At(page, 0x8A0 + 382, 4), (Bytes{0xBF, 0x40, 0xEE, 0xEE}));
    // The identify template got the serial number.
    EXPECT_EQ(At(page, 0x060, 4), (Bytes{'N', 'S', ' ', '1'}));
    // The version fields and everything past the bank map stay.
    EXPECT_EQ(At(page, 0x300, 0x200), At(before, 0x300, 0x200));
    EXPECT_EQ(At(page, 0xA20, 8192 - 0xA20), At(before, 0xA20, 8192 - 0xA20));
}

TEST_F(HeaderPageTest, GeometryRecordsOfOtherParts) {
    struct Case {
        const char* what;
        test::PartSample part;
        int channels, banks;
        Bytes first12;  // record bytes 0x00..0x0B
        std::uint8_t family;
        std::uint16_t dieOffset;
        std::uint16_t makerWord;
        std::uint8_t syncFirst;
    };
    const Case cases[] = {
        // Two dies with a die offset, single plane, 8 x 8 on a large drive: unit 8192 over
        // 8 x 2^4 gives X = 6.
        {"two-die MLC",
         test::kTwoDieMlc,
         8,
         8,
         {0x03, 0x04, 0x00, 0x07, 0x0C, 0x03, 0x06, 0x08, 0x04, 0x01, 0x03, 0x02},
         0x04,
         4096,
         800,
         0x00},
        // One channel, one bank: X = 12, the reserve limits to 12 - 4 = 8.
        {"small SLC",
         test::kSmallSlc,
         1,
         1,
         {0x00, 0x00, 0x01, 0x06, 0x0C, 0x02, 0x08, 0x08, 0x04, 0x00, 0x00, 0x01},
         0x01,
         0,
         512,
         0x10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const config::Settings s = test::SettingsWith(c.channels, c.banks);
        const FlashConfig flash = test::MakeConfig(c.part, s);
        const ImageContext ctx{flash, s.block, s.process};
        PortImageState port = Port();
        Bytes page = HeaderPage(static_cast<std::size_t>(flash.SectorsPerPage) * 512, "511", "42");
        ASSERT_TRUE(PatchSystemHeaderPage(ctx, port, 8, page, "", ""));
        EXPECT_EQ(At(page, 0x530, 12), c.first12);
        EXPECT_EQ(page[0x530 + 0x1F], c.family);
        EXPECT_EQ(page[0x530 + 0x2A] | (page[0x530 + 0x2B] << 8), c.dieOffset);
        EXPECT_EQ(page[0x530 + 0x30] | (page[0x530 + 0x31] << 8), c.makerWord);
        EXPECT_EQ(page[0x530 + 0x18], c.syncFirst);
    }
}

TEST_F(HeaderPageTest, BankMapStaysWithinTheHeaderPage) {
    // A 2048-byte page ends before 0x8A0: nothing of the bank map is written.
    const config::Settings s = test::SettingsWith(1, 1);
    const FlashConfig flash = test::MakeConfig(test::kSmallSlc, s);
    const ImageContext ctx{flash, s.block, s.process};
    PortImageState port = Port();
    Bytes page = HeaderPage(2048, "517", "43");
    ASSERT_TRUE(PatchSystemHeaderPage(ctx, port, 8, page, "", ""));
    EXPECT_EQ(page.size(), 2048u);

    // A 4096-byte page takes the 96 bytes of format 42 whole.
    const config::Settings s2 = test::SettingsWith(4, 2);
    const FlashConfig two = test::MakeConfig(test::kTwoDieMlc, s2);
    const ImageContext ctx2{two, s2.block, s2.process};
    Bytes page2 = HeaderPage(4096, "511", "42");
    ASSERT_TRUE(PatchSystemHeaderPage(ctx2, port, 8, page2, "", ""));
    EXPECT_EQ(At(page2, 0x8A0 + 94, 4), (Bytes{0x2F, 0x40, 0xEE, 0xEE}));
}

TEST_F(HeaderPageTest, OnlyAHeaderPageIsPatched) {
    const config::Settings s = test::SettingsWith(4, 2);
    const FlashConfig flash = test::MakeConfig(test::kToggleMlc, s);
    const ImageContext ctx{flash, s.block, s.process};
    PortImageState port = Port();
    Bytes page = HeaderPage(8192, "517", "43");
    page[0x30D] = 'U';
    const Bytes before = page;
    EXPECT_FALSE(PatchSystemHeaderPage(ctx, port, 8, page, "SN", ""));
    EXPECT_EQ(page, before);
    EXPECT_EQ(port.PortAttr, 0);
}

TEST_F(HeaderPageTest, OnePageFileGetsPatchAndTrailer) {
    const config::Settings s = test::SettingsWith(4, 2);
    const FlashConfig flash = test::MakeConfig(test::kToggleMlc, s);
    const ImageContext ctx{flash, s.block, s.process};
    PortImageState port = Port();
    Bytes page = HeaderPage(3000, "517", "43");
    page.resize(8192);
    PadFirmwarePage(page, 3000);
    EXPECT_EQ(page[2999], 0xEE);
    EXPECT_EQ(page[3000], 0x11);
    ASSERT_TRUE(PatchSystemHeaderPage(ctx, port, 8, page, "SN", ""));
    PutFirmwareTrailer(page);
    EXPECT_EQ(At(page, 8188, 4), (Bytes{0x55, 0xAA, 0xEC, 0x31}));
    EXPECT_EQ(page[8187], 0x11);
    EXPECT_TRUE(IsSystemHeaderPage(page));
}

TEST(SpareShiftTest, ReserveRatioAndCapacity) {
    struct Case {
        std::uint16_t reserve;
        bool large;
        std::uint8_t shift;
    };
    // Four channels, two banks, 2048 blocks a plane unit: X = log2(4096 / 8) = 9.
    const Case cases[] = {
        {68, false, 7},    // d = 16: Y = 11 - 4; limited to 11 - 4
        {500, false, 7},   // d = 4: Y = 9, X = 9, limited to 7
        {20, false, 5},    // d = 64: Y = 5
        {0, false, 0},     // d stops at 2048: Y = 0
        {1000, false, 7},  // d = 2
        {20, true, 5},     // X = 10 with the 8192 unit; Y = 5
        {67, true, 7},     // d = 16: Y = 7, X = 10, no limit below 68
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reserve);
        config::Settings s = test::SettingsWith(4, 2);
        s.block.ResPercentage = c.reserve;
        FlashConfig flash = test::MakeConfig(test::kToggleMlc, s);
        flash.LargeCapacity = c.large;
        EXPECT_EQ(SpareShift(flash), c.shift);
    }
}

}  // namespace
}  // namespace kv
