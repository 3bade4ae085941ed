// The diagnostic program inside an emulated drive, driven over the SATA
// carrier the way the station drives it.
#include <gtest/gtest.h>

#include <cstring>

#include "../emu_test_support.h"
#include "diag_test_support.h"

namespace kv::emu::test {
namespace {

class DiagInFixture : public ::testing::Test {
  protected:
    void Load(const std::string& drive) {
        fixture = LoadFixture(folder, "[Fixture]\nRootHubs=4\nTimeScale=0\n" + drive);
        ASSERT_TRUE(fixture);
    }
    Port At(const std::string& location) {
        const auto id = fixture->DeviceAt(location);
        EXPECT_TRUE(id.has_value());
        return Port{*fixture, id.value_or(0)};
    }
    // Loads `image` in two 64 KiB pieces and jumps into it.
    bool Run(Port& p, Bytes image) {
        for (std::uint32_t at = 0; at < image.size(); at += 65536) {
            if (!p.WriteProgramRam(at, image.data() + at, 128)) {
                return false;
            }
        }
        return p.Jump();
    }
    std::uint8_t Exec(Port& p, int program, std::uint8_t flags, int& busy) {
        EXPECT_TRUE(
            p.Vendor({static_cast<std::uint8_t>(program), flags}, DataDirection::None, nullptr, 0));
        Clock* clock = fixture->DeviceClock(p.id);
        clock->SleepMs(30);
        std::uint8_t status[512] = {};
        busy = 0;
        for (int i = 0; i < 50; ++i) {
            std::memset(status, 0, sizeof status);
            EXPECT_TRUE(p.Vendor({0x00}, DataDirection::In, status, 1));
            EXPECT_EQ(status[0], 0xE5);
            if (status[1] != 0xAA) {
                break;
            }
            ++busy;
            clock->SleepMs(3000);
        }
        return status[1];
    }

    TempFolder folder;
    std::unique_ptr<Fixture> fixture;
};

TEST_F(DiagInFixture, PreFormatOverTheCarrierWritesTablesTheStationReadsBack) {
    Load("[Drive 1.1]\nFactoryBad=4\nRdt=pass\nRdtSerial=SN77\n");
    Port p = At("1.1");
    ASSERT_TRUE(p.VendorFeatureOn());
    ASSERT_TRUE(p.EnableVendor(10));
    DriveProfile profile;  // the fixture's defaults: 4 channels, 2 banks, type word 0x084A
    ASSERT_TRUE(Run(p, PatchedImage(profile)));

    std::uint8_t info[512] = {};
    ASSERT_TRUE(p.Vendor({0x05}, DataDirection::In, info, 1));
    EXPECT_EQ(info[7], 4);
    EXPECT_EQ(info[8], 2);

    int busy = 0;
    EXPECT_EQ(Exec(p, 3, 0x08, busy), 0x0A);
    EXPECT_GT(busy, 0);
    std::vector<std::uint8_t> report(2048, 0xCC);
    ASSERT_TRUE(p.Vendor({0x06}, DataDirection::In, report.data(), 4));
    EXPECT_EQ(report[0], 0);

    std::uint8_t blocks[512] = {};
    ASSERT_TRUE(p.Vendor({0x07}, DataDirection::In, blocks, 1));
    const int code2 = blocks[4] | (blocks[5] << 8);

    // VC_FLH_ReadPage of table page 1 of code block 2 on all channels.
    std::vector<std::uint8_t> page(4 * 8192);
    auto addr = Port::FlashAddress(0x89, 0, 0, code2, 1);
    addr.resize(14);
    ASSERT_TRUE(p.Vendor(addr, DataDirection::In, page.data(), 64));
    for (int c = 0; c < 4; ++c) {
        EXPECT_TRUE(
            std::equal(kDefectSignature.begin(), kDefectSignature.end(), page.begin() + c * 8192));
    }
    // The RDT record, through the RDT page read.
    std::vector<std::uint8_t> rdt(512);
    auto raddr = Port::FlashAddress(0x0D, 0, 0, 4095, 0);
    raddr.resize(14);
    ASSERT_TRUE(p.Vendor(raddr, DataDirection::In, rdt.data(), 1));
    EXPECT_EQ(std::memcmp(rdt.data(), "RDTM", 4), 0);

    // Program 1 erasing the code blocks answers within the first poll.
    EXPECT_EQ(Exec(p, 1, 0x10, busy), 0x0E);
    EXPECT_EQ(busy, 0);
}

}  // namespace
}  // namespace kv::emu::test
