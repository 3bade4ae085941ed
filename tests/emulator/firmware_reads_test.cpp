// The firmware's vendor reads: bad-block information, erase counts, the
// system area, SMART on the USB path, and the controller information record.
#include <gtest/gtest.h>

#include "emu_test_support.h"
#include "emulator/bytes.h"

namespace kv::emu {
namespace {

using test::Port;

class FirmwareReads : public ::testing::Test {
  protected:
    void SetUp() override {
        fixture = test::LoadFixture(folder,
                                    "[Fixture]\nTimeScale=0\nSeed=5\n"
                                    "[Drive 1.1]\nBoot=firmware\nFactoryBad=3\n"
                                    "[Drive 1.2]\nBoot=firmware\nBridge=p730\nTemperature=51\n"
                                    "[Drive 1.3]\n");
        ASSERT_TRUE(Sata().VendorFeatureOn());
    }
    Port Sata() { return Port{*fixture, *fixture->DeviceAt("1.1")}; }
    Port Usb() { return Port{*fixture, *fixture->DeviceAt("1.2"), 2, true}; }
    test::TempFolder folder;
    std::unique_ptr<Fixture> fixture;
};

TEST_F(FirmwareReads, BadBlockInfoListsTheFactoryBadBlocksOfAChipEnable) {
    Port sata = Sata();
    std::vector<std::uint8_t> info(64 * 512);
    ASSERT_TRUE(
        sata.Vendor({0x00, 2, 1}, DataDirection::In, info.data(), 64));  // channel 2, chip enable 1
    const int count = Le16(info.data() + 4);
    ASSERT_EQ(count, 3);
    Drive* drive = fixture->DriveOf(sata.id);
    for (int i = 0; i < count; ++i) {
        const int block = Le16(info.data() + 8 + i * 4);
        EXPECT_TRUE(drive->WithParts(
            [&](Controller&, Nand& n, DriveState&) { return n.IsFactoryBad(2, 1, block); }));
        EXPECT_EQ(info[8 + i * 4 + 3], 9);
    }
    // One sector without parameters is a status read, which no program answers here.
    std::uint8_t status[512];
    EXPECT_FALSE(sata.Vendor({0x00}, DataDirection::In, status, 1));
}

TEST_F(FirmwareReads, EraseCountsComeBackAsTheProgramSavedThem) {
    Port sata = Sata();
    fixture->DriveOf(sata.id)->WithParts(
        [](Controller&, Nand&, DriveState& s) { s.eraseCountArea.assign(3 * 512, 0x21); });
    std::vector<std::uint8_t> area(128 * 512, 0xEE);
    ASSERT_TRUE(sata.Vendor({0x01}, DataDirection::In, area.data(), 128));
    EXPECT_EQ(Le16(area.data()) >> 7, 3);  // the sector count, as the pre-format reads it
    EXPECT_EQ(area[4], 0x21);
    EXPECT_EQ(area[4 + 3 * 512 - 1], 0x21);
    EXPECT_EQ(area[4 + 3 * 512], 0x00);
}

TEST_F(FirmwareReads, SystemAreaReadTakesThePlanePairAndTheBufferOffset) {
    Port sata = Sata();
    // The info page of code block 0 (pair 0, even plane), 8 sectors.
    std::vector<std::uint8_t> page(8 * 512);
    ASSERT_TRUE(sata.Vendor({0x04, 0xFF, 0, 0, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0}, DataDirection::In,
                            page.data(), 8));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(page.data()), 15), "LDBK BLOCKS V50");
    // Code block 1 is the odd plane of pair 0: buffer offset spp x 4096.
    const std::uint32_t odd = 16 * 4096;
    ASSERT_TRUE(
        sata.Vendor({0x04, 0xFF, 0, 0, 0, 0, 0, 3, 0, 0, static_cast<std::uint8_t>(odd >> 24),
                     static_cast<std::uint8_t>(odd >> 16), static_cast<std::uint8_t>(odd >> 8), 0},
                    DataDirection::In, page.data(), 8));
    EXPECT_EQ(page[0x1D], 1);  // the first slice names its own code block
    EXPECT_EQ(std::string(reinterpret_cast<char*>(page.data()), 15), "LDBK BLOCKS V50");
    // Byte 3 must be 0xFF.
    EXPECT_FALSE(sata.Vendor({0x04, 0x00, 0, 0, 0, 0, 0}, DataDirection::In, page.data(), 8));
}

TEST_F(FirmwareReads, UsbSmartInfoCarriesTheTemperature) {
    Port sata = Sata();
    Port usb = Usb();
    std::uint8_t smart[512] = {};
    ASSERT_TRUE(usb.Vendor({0x05}, DataDirection::In, smart, 1));
    int temperature = -1;
    for (int i = 0; i < 30; ++i) {
        if (smart[2 + i * 12] == 0xC2) {
            temperature = smart[2 + i * 12 + 5];
        }
    }
    EXPECT_EQ(temperature, 51);
    unsigned sum = 0;
    for (std::uint8_t b : smart) {
        sum += b;
    }
    EXPECT_EQ(sum & 0xFF, 0u);
    EXPECT_FALSE(
        sata.Vendor({0x05}, DataDirection::In, smart, 1));  // the SATA path asks SMART READ DATA
}

TEST_F(FirmwareReads, ControllerInfoGenerationIsZeroInTheLoader) {
    Port loader{*fixture, *fixture->DeviceAt("1.3")};
    ASSERT_TRUE(loader.VendorFeatureOn());
    std::uint8_t info[512];
    EXPECT_FALSE(
        loader.Vendor({0x80}, DataDirection::In, info, 1));  // vendor commands not enabled yet
    ASSERT_TRUE(loader.EnableVendor(10));
    ASSERT_TRUE(loader.Vendor({0x80}, DataDirection::In, info, 1));
    EXPECT_EQ(Le16(info + 44), 0);
}

}  // namespace
}  // namespace kv::emu
