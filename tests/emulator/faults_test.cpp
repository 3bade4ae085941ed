// Injected faults behaving as a real drive would.
#include <gtest/gtest.h>

#include <cstring>

#include "emu_test_support.h"

namespace kv::emu {
namespace {

using test::Port;

class Faults : public test::FixtureTest {
  protected:
    static std::vector<std::uint8_t> Read10(std::uint32_t lba, std::uint16_t count) {
        return {0x28,
                0,
                static_cast<std::uint8_t>(lba >> 24),
                static_cast<std::uint8_t>(lba >> 16),
                static_cast<std::uint8_t>(lba >> 8),
                static_cast<std::uint8_t>(lba),
                0,
                static_cast<std::uint8_t>(count >> 8),
                static_cast<std::uint8_t>(count),
                0,
                0,
                0};
    }
    static std::vector<std::uint8_t> Write10(std::uint32_t lba, std::uint16_t count) {
        std::vector<std::uint8_t> cdb = Read10(lba, count);
        cdb[0] = 0x2A;
        return cdb;
    }
};

TEST_F(Faults, HangRunsEveryCommandIntoTheCallersTimeOut) {
    Load("[Drive 1.1]\nFault=hang:0x89\n[Drive 1.2]\n");
    Port p = At("1.1");
    Clock& clock = *fixture->DeviceClock(p.id);
    ASSERT_TRUE(p.VendorFeatureOn());
    std::uint8_t sector[512];
    ASSERT_TRUE(Port::Good(p.CarrierRead(sector, 1, 0xFF)));
    const std::int64_t before = clock.NowMs();
    // The command phase of the page read reaches EVENT 0x89 once its data phase shows it is a read.
    std::uint8_t block[512] = {0xFF, 0xE5, 0x89};
    ASSERT_TRUE(Port::Good(p.CarrierWrite(block, 1, 0xFF)));
    std::vector<std::uint8_t> page(8192);
    ExecuteResult r = p.CarrierRead(page.data(), 16, 0x89);
    EXPECT_TRUE(r.timedOut);
    EXPECT_EQ(r.lastError, kErrorTimeout);
    EXPECT_EQ(clock.NowMs() - before, 10000);
    // From then on nothing answers, with each caller's own time-out.
    r = p.Send({0x12, 0, 0, 0, 0x28, 0}, DataDirection::In, sector, 40, 300);
    EXPECT_TRUE(r.timedOut);
    EXPECT_EQ(clock.NowMs() - before, 310000);
    // The other port's clock has not moved: it made no waits.
    EXPECT_EQ(fixture->PortClock("1.2").NowMs(), 0);
    EXPECT_TRUE(Port::Good(At("1.2").Identify(sector)));
}

TEST_F(Faults, SectorFaultsHitCommandsCoveringTheirLba) {
    Load("[Drive 1.1]\nBoot=firmware\nFault=read-error:5000,write-error:6000,miscompare:7001\n");
    Port p = At("1.1");
    std::vector<std::uint8_t> buf(8 * 512, 0x5A);
    // Reads covering LBA 5000 fail, others pass; writes there still work.
    EXPECT_TRUE(Port::Good(p.Send(Write10(4996, 8), DataDirection::Out, buf.data(), buf.size())));
    ExecuteResult r = p.Send(Read10(4996, 8), DataDirection::In, buf.data(), buf.size());
    EXPECT_EQ(r.scsiStatus, kScsiCheckCondition);
    EXPECT_EQ(r.sense[2] & 0x0F, 0x03);  // MEDIUM ERROR
    EXPECT_EQ(r.sense[12], 0x11);        // unrecovered read error
    EXPECT_TRUE(Port::Good(p.Send(Read10(5001, 8), DataDirection::In, buf.data(), buf.size())));
    // Writes covering 6000 fail.
    r = p.Send(Write10(5999, 2), DataDirection::Out, buf.data(), 1024);
    EXPECT_EQ(r.sense[12], 0x0C);
    // Reading 7001 returns one wrong word, whatever was written.
    std::vector<std::uint8_t> pattern(4 * 512);
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        pattern[i] = static_cast<std::uint8_t>(i * 7);
    }
    ASSERT_TRUE(
        Port::Good(p.Send(Write10(7000, 4), DataDirection::Out, pattern.data(), pattern.size())));
    std::vector<std::uint8_t> back(pattern.size());
    ASSERT_TRUE(Port::Good(p.Send(Read10(7000, 4), DataDirection::In, back.data(), back.size())));
    int wrongWords = 0;
    for (std::size_t w = 0; w < back.size() / 2; ++w) {
        if (back[2 * w] != pattern[2 * w] || back[2 * w + 1] != pattern[2 * w + 1]) {
            ++wrongWords;
            EXPECT_EQ(w / 256, 1u);  // in the sector of LBA 7001
        }
    }
    EXPECT_EQ(wrongWords, 1);
}

TEST_F(Faults, UnplugAtTheFirstWriteTakesTheDriveOffItsPort) {
    Load("[Drive 1.4]\nBoot=firmware\nFault=unplug:write\n");
    Port p = At("1.4");
    fixture->TakeDeviceChanges();
    std::vector<std::uint8_t> buf(512, 1);
    EXPECT_TRUE(Port::Good(p.Send(Read10(0, 1), DataDirection::In, buf.data(), 512)));
    const ExecuteResult r = p.Send(Write10(0, 1), DataDirection::Out, buf.data(), 512);
    EXPECT_FALSE(r.transportOk);
    EXPECT_EQ(r.lastError, kErrorDeviceGone);
    EXPECT_FALSE(fixture->DeviceAt("1.4"));
    const auto changes = fixture->TakeDeviceChanges();
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].kind, DeviceChange::Kind::Removal);
    EXPECT_EQ(changes[0].location, "1.4");
    // An unplugged drive fails to open.
    EXPECT_EQ(p.Send(Read10(0, 1), DataDirection::In, buf.data(), 512).lastError, kErrorDeviceGone);
}

TEST_F(Faults, BusyProgramAnswersStillWorkingForever) {
    Load("[Drive 1.1]\nFault=busy:program3\n");
    Port p = At("1.1");
    ASSERT_TRUE(p.VendorFeatureOn());
    ASSERT_TRUE(p.EnableVendor(10));
    ASSERT_TRUE(p.RunImage("GDP_"));
    std::uint8_t status[512] = {};
    ASSERT_TRUE(p.Vendor({0x00}, DataDirection::In, status, 1));
    EXPECT_EQ(status[0], 0xE5);
    EXPECT_NE(status[1], 0xAA);
    ASSERT_TRUE(p.Vendor({0x03, 0x08}, DataDirection::None, nullptr, 0));  // program 3 starts
    for (int poll = 0; poll < 5; ++poll) {
        fixture->DeviceClock(p.id)->SleepMs(3000);
        std::memset(status, 0, sizeof status);
        ASSERT_TRUE(p.Vendor({0x00}, DataDirection::In, status, 1));
        EXPECT_EQ(status[1], 0xAA);
    }
}

TEST_F(Faults, HangAtPowerUpMakesTheDriveSilentFromTheStart) {
    Load("[Drive 1.1]\nFault=hang:power\n");
    std::uint8_t data[64];
    const ExecuteResult r =
        At("1.1").Send({0x12, 0, 0, 0, 0x28, 0}, DataDirection::In, data, 40, 5);
    EXPECT_TRUE(r.timedOut);
}

}  // namespace
}  // namespace kv::emu
