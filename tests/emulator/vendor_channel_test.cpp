// The vendor channel at byte level: the SATA carrier and its handshake, the
// three pairs of carrier opcodes, program RAM and the jump, the controller
// states, and the page masks of flash writes.
#include <gtest/gtest.h>

#include <cstring>

#include "emu_test_support.h"
#include "emulator/fault_list.h"
#include "emulator/system_area.h"

namespace kv::emu {
namespace {

using test::Port;

class VendorChannel : public test::FixtureTest {
  protected:
};

TEST_F(VendorChannel, HandshakeAnswersWhileTheVendorFeatureIsOn) {
    Load("[Drive 1.1]\n");
    Port p = At("1.1");
    std::uint8_t sector[512];
    // Feature off: LBA 0x1234FF is a plain sector, and a loader has no user area.
    EXPECT_EQ(p.CarrierRead(sector, 1, 0xFF).scsiStatus, kScsiCheckCondition);
    ASSERT_TRUE(p.VendorFeatureOn());
    std::memset(sector, 0, sizeof sector);
    ASSERT_TRUE(Port::Good(p.CarrierRead(sector, 1, 0xFF)));
    EXPECT_EQ(sector[0], 0xE5);
    EXPECT_EQ(sector[1], 0x4B);
    EXPECT_EQ(sector[2], 0x56);
    // Count 0x56 switches it off again; another count is refused.
    EXPECT_EQ(p.SetFeatures(0xDC, 0x11).scsiStatus, kScsiCheckCondition);
    ASSERT_TRUE(Port::Good(p.SetFeatures(0xDC, 0x56)));
    EXPECT_EQ(p.CarrierRead(sector, 1, 0xFF).scsiStatus, kScsiCheckCondition);
}

TEST_F(VendorChannel, HandshakeFailNeverAnswersTheSignature) {
    Load("[Drive 1.1]\nFault=handshake-fail\n");
    Port p = At("1.1");
    ASSERT_TRUE(p.VendorFeatureOn());
    for (int attempt = 0; attempt < 11; ++attempt) {
        std::uint8_t sector[512] = {};
        p.CarrierRead(sector, 1, 0xFF);
        EXPECT_FALSE(sector[0] == 0xE5 && sector[1] == 0x4B && sector[2] == 0x56);
    }
}

TEST_F(VendorChannel, HandshakeFailWithACountRefusesOnlyThatManyAfterPowerUp) {
    Load("[Drive 1.1]\nFault=handshake-fail:2\n");
    Port p = At("1.1");
    ASSERT_TRUE(p.VendorFeatureOn());
    auto answered = [&p] {
        std::uint8_t sector[512] = {};
        p.CarrierRead(sector, 1, 0xFF);
        return sector[0] == 0xE5 && sector[1] == 0x4B && sector[2] == 0x56;
    };
    EXPECT_FALSE(answered());
    EXPECT_FALSE(answered());
    EXPECT_TRUE(answered());
    EXPECT_TRUE(answered());
}

TEST_F(VendorChannel, HandshakeFailCountMustBePositive) {
    std::vector<Fault> faults;
    std::string error;
    EXPECT_TRUE(ParseFaultList("handshake-fail:3", faults, error));
    ASSERT_EQ(faults.size(), 1u);
    EXPECT_EQ(faults[0].first, 3);
    EXPECT_FALSE(ParseFaultList("handshake-fail:0", faults, error));
    EXPECT_FALSE(ParseFaultList("handshake-fail:x", faults, error));
}

TEST_F(VendorChannel, EveryBusModePairCarriesTheChannel) {
    Load("[Drive 1.1]\nBoot=firmware\n");
    for (int mode : {2, 1, 0}) {
        Port p = At("1.1");
        p.busMode = mode;
        ASSERT_TRUE(p.VendorFeatureOn());
        ASSERT_TRUE(p.EnableVendor(10)) << mode;
        std::uint8_t info[512] = {};
        ASSERT_TRUE(p.Vendor({0x80}, DataDirection::In, info, 1)) << mode;
        EXPECT_EQ(std::string(reinterpret_cast<char*>(info), 6), "KVR51X");
        EXPECT_EQ(info[44] | (info[45] << 8), 1);  // the info page's table generation
    }
    // A read opcode of one pair with the protocol of another fails.
    Port p = At("1.1");
    std::vector<std::uint8_t> cdb = p.CarrierCdb(false, 1, 0xFF);
    cdb[1] = 0x08;  // PIO data-in with the UDMA opcode 0x86
    std::uint8_t sector[512];
    EXPECT_EQ(p.Send(cdb, DataDirection::In, sector, 512).scsiStatus, kScsiCheckCondition);
}

TEST_F(VendorChannel, CarrierExampleFourSectorReadIsTwoRequests) {
    Load("[Drive 1.1]\nBoot=firmware\n");
    Port p = At("1.1");
    ASSERT_TRUE(p.VendorFeatureOn());
    // The command phase: 512 bytes out to LBA 0x1234FF carrying the block.
    std::uint8_t command[512] = {};
    const auto address = Port::FlashAddress(0x89, 0, 0, 0, 0);
    command[0] = 0xFF;
    command[1] = 0xE5;
    std::copy(address.begin(), address.end(), command + 2);
    const std::vector<std::uint8_t> commandCdb = {0xA1, 0x16, 0x03, 0x00, 0x01, 0xFF,
                                                  0x34, 0x12, 0xE0, 0x88, 0,    0};
    ASSERT_TRUE(Port::Good(p.Send(commandCdb, DataDirection::Out, command, 512)));
    // The data phase: 2048 bytes in from LBA 0x123489.
    std::vector<std::uint8_t> data(2048, 0);
    const std::vector<std::uint8_t> dataCdb = {0xA1, 0x14, 0x0B, 0x00, 0x04, 0x89,
                                               0x34, 0x12, 0xE0, 0x86, 0,    0};
    const ExecuteResult r = p.Send(dataCdb, DataDirection::In, data.data(), data.size());
    ASSERT_TRUE(Port::Good(r));
    EXPECT_EQ(r.bytesTransferred, 2048u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(data.data()), 15), "LDBK BLOCKS V50");
    // A data phase with no block waiting for it fails.
    EXPECT_EQ(p.Send(dataCdb, DataDirection::In, data.data(), data.size()).scsiStatus,
              kScsiCheckCondition);
}

TEST_F(VendorChannel, WrongPathByteIsNoVendorBlock) {
    Load("[Drive 1.1]\n[Drive 1.2]\nBridge=p730\n");
    Port sata = At("1.1");
    ASSERT_TRUE(sata.VendorFeatureOn());
    std::uint8_t command[512] = {0xFF, 0x04, 0x83, 0x0A};
    EXPECT_EQ(sata.CarrierWrite(command, 1, 0xFF).scsiStatus, kScsiCheckCondition);
    Port usb = At("1.2");
    EXPECT_EQ(
        usb.Send({0xFF, 0xE5, 0x83, 0x0A, 0, 0, 0, 0, 0, 0, 0, 0}, DataDirection::None, nullptr, 0)
            .scsiStatus,
        kScsiCheckCondition);
    usb.usb = true;
    EXPECT_TRUE(usb.EnableVendor(10));
}

TEST_F(VendorChannel, ProgramRamTakesOnlyAProgramImage) {
    Load("[Drive 1.1]\n[Drive 1.2]\n");
    Port p = At("1.1");
    ASSERT_TRUE(p.VendorFeatureOn());
    // Memory commands need vendor commands enabled.
    std::vector<std::uint8_t> piece(512, 0x42);
    EXPECT_FALSE(p.WriteProgramRam(0, piece.data(), 1));
    ASSERT_TRUE(p.EnableVendor(10));
    ASSERT_TRUE(p.WriteProgramRam(0x1FE00, piece.data(), 1));
    std::vector<std::uint8_t> back(512, 0);
    const std::uint32_t a = 0x4001FE00;
    ASSERT_TRUE(
        p.Vendor({0x86, 3, static_cast<std::uint8_t>(a >> 24), static_cast<std::uint8_t>(a >> 16),
                  static_cast<std::uint8_t>(a >> 8), static_cast<std::uint8_t>(a)},
                 DataDirection::In, back.data(), 1));
    EXPECT_EQ(back, piece);
    EXPECT_FALSE(p.WriteProgramRam(0x20000, piece.data(), 1));  // past 128 KiB
    // Without bit 30 there is no memory to read in the loader.
    back.resize(4096);
    EXPECT_FALSE(p.Vendor({0x86, 3, 0, 0, 0, 0}, DataDirection::In, back.data(), 8));

    // An image without "GDP_"/"TST_" at 0x300: after the jump the drive answers nothing.
    ASSERT_TRUE(p.RunImage("XYZ_"));
    std::uint8_t id[512];
    const ExecuteResult r = p.Identify(id);
    EXPECT_TRUE(r.timedOut);
    EXPECT_FALSE(r.transportOk);
    EXPECT_EQ(fixture->DeviceClock(p.id)->NowMs(),
              10000);  // the caller's 10 s on the drive's clock
    // Until power-up.
    ASSERT_TRUE(fixture->PowerCycle(p.id));
    EXPECT_TRUE(Port::Good(p.Identify(id)));

    Port q = At("1.2");
    ASSERT_TRUE(q.VendorFeatureOn());
    ASSERT_TRUE(q.EnableVendor(10));
    ASSERT_TRUE(q.RunImage("GDP_"));
    EXPECT_EQ(StateOf(q), ControllerState::Program);
    ASSERT_TRUE(Port::Good(q.Identify(id)));
    EXPECT_EQ(test::IdentifyModel(id).substr(0, 37), "Korvane KVR51X SATA SSD Loader Device");
    EXPECT_EQ(test::IdentifyCapacity28(id), 0u);
}

TEST_F(VendorChannel, FlashWritesAndErasesOnlyWhileAProgramRuns) {
    Load("[Drive 1.1]\n");
    Port p = At("1.1");
    ASSERT_TRUE(p.VendorFeatureOn());
    ASSERT_TRUE(p.EnableVendor(10));
    const int slice = 16 * 512;
    std::vector<std::uint8_t> set(4 * slice, 0x77);
    EXPECT_FALSE(p.Vendor(Port::FlashAddress(0x8A, 4, 0, 20, 0, 0, 0x0F), DataDirection::Out,
                          set.data(), 64));
    EXPECT_FALSE(p.Vendor({0x8B, 4, 0, 0, 20}, DataDirection::None, nullptr, 0));
    // Flash reads answer in every state.
    std::vector<std::uint8_t> page(slice, 0);
    ASSERT_TRUE(
        p.Vendor(Port::FlashAddress(0x89, 0, 0, 20, 0), DataDirection::In, page.data(), 16));
    EXPECT_EQ(page, std::vector<std::uint8_t>(slice, 0xFF));
    ASSERT_TRUE(p.RunImage("GDP_"));
    EXPECT_TRUE(p.Vendor(Port::FlashAddress(0x8A, 4, 0, 20, 0, 0, 0x0F), DataDirection::Out,
                         set.data(), 64));
    EXPECT_TRUE(p.Vendor({0x8B, 4, 0, 0, 20}, DataDirection::None, nullptr, 0));
}

// Programs one page set through two commands of two slices each and reads
// back which channel got which slice.
TEST_F(VendorChannel, PageMaskBitKProgramsSliceK) {
    Load("[Drive 1.1]\n[Drive 1.2]\nBridge=p730\n");
    const int slice = 16 * 512;
    std::vector<std::uint8_t> set(4 * slice);
    for (int k = 0; k < 4; ++k) {
        std::fill(set.begin() + k * slice, set.begin() + (k + 1) * slice,
                  static_cast<std::uint8_t>(0xA0 + k));
    }
    struct Case {
        int block;
        std::uint32_t base;  // controller buffer base of the block's plane
    };
    for (const Case c : {Case{20, 0}, Case{21, 16u * 4096u}}) {
        Port p = At("1.1");
        ASSERT_TRUE(p.VendorFeatureOn());
        ASSERT_TRUE(p.EnableVendor(10));
        ASSERT_TRUE(p.RunImage("GDP_"));
        // Slices 0 and 1 with mask 0x03, then slices 2 and 3 with mask 0x0C.
        ASSERT_TRUE(p.Vendor(Port::FlashAddress(0x8A, 4, 1, c.block, 7, c.base, 0x03),
                             DataDirection::Out, set.data(), 32));
        ASSERT_TRUE(p.Vendor(Port::FlashAddress(0x8A, 4, 1, c.block, 7, c.base + 2u * slice, 0x0C),
                             DataDirection::Out, set.data() + 2 * slice, 32));
        for (int channel = 0; channel < 4; ++channel) {
            std::vector<std::uint8_t> page(slice);
            ASSERT_TRUE(p.Vendor(Port::FlashAddress(0x89, channel, 1, c.block, 7),
                                 DataDirection::In, page.data(), 16));
            EXPECT_EQ(page,
                      std::vector<std::uint8_t>(slice, static_cast<std::uint8_t>(0xA0 + channel)))
                << "block " << c.block << " channel " << channel;
        }
        // The same page again: flash takes no second program.
        EXPECT_FALSE(p.Vendor(Port::FlashAddress(0x8A, 4, 1, c.block, 7, c.base, 0x01),
                              DataDirection::Out, set.data(), 16));
    }
    // A mask that names channel 1 only programs channel 1 alone.
    {
        Port p = At("1.1");
        ASSERT_TRUE(p.Vendor(Port::FlashAddress(0x8A, 4, 0, 30, 0, 0, 0x02), DataDirection::Out,
                             set.data(), 64));
        std::vector<std::uint8_t> page(slice);
        ASSERT_TRUE(
            p.Vendor(Port::FlashAddress(0x89, 0, 0, 30, 0), DataDirection::In, page.data(), 16));
        EXPECT_EQ(page[0], 0xFF);
        ASSERT_TRUE(
            p.Vendor(Port::FlashAddress(0x89, 1, 0, 30, 0), DataDirection::In, page.data(), 16));
        EXPECT_EQ(page[0], 0xA1);
    }
    // The USB path never sees bytes 12 and up: a write covers the slices of
    // its transfer from channel 0, whatever mask and offset the block held.
    Port usb = At("1.2");
    usb.usb = true;
    ASSERT_TRUE(usb.EnableVendor(10));
    ASSERT_TRUE(usb.RunImage("GDP_"));
    ASSERT_TRUE(usb.Vendor(Port::FlashAddress(0x8A, 4, 0, 40, 0, 2u * slice, 0x0C),
                           DataDirection::Out, set.data() + 2 * slice, 32));
    std::vector<std::uint8_t> page(slice);
    ASSERT_TRUE(
        usb.Vendor(Port::FlashAddress(0x89, 0, 0, 40, 0), DataDirection::In, page.data(), 16));
    EXPECT_EQ(page[0], 0xA2);
    ASSERT_TRUE(
        usb.Vendor(Port::FlashAddress(0x89, 2, 0, 40, 0), DataDirection::In, page.data(), 16));
    EXPECT_EQ(page[0], 0xFF);
}

TEST_F(VendorChannel, EnableVendorCmdBootsASoundSystemAreaAfterTheBootDelay) {
    Load("[Drive 1.1]\nBoot=firmware\n");
    Port p = At("1.1");
    ASSERT_TRUE(p.VendorFeatureOn());
    ASSERT_TRUE(p.EnableVendor(10));
    ASSERT_TRUE(p.RunImage("GDP_"));
    ASSERT_EQ(StateOf(p), ControllerState::Program);
    ASSERT_TRUE(p.EnableVendor(1));
    EXPECT_EQ(StateOf(p), ControllerState::Program);
    std::uint8_t id[512];
    ASSERT_TRUE(Port::Good(p.Identify(id)));
    EXPECT_EQ(test::IdentifyCapacity28(id), 0u);  // still booting
    fixture->DeviceClock(p.id)->SleepMs(kBootDelayMs);
    ASSERT_TRUE(Port::Good(p.Identify(id)));
    EXPECT_EQ(StateOf(p), ControllerState::Firmware);
    EXPECT_GT(test::IdentifyCapacity28(id), 0u);
}

TEST_F(VendorChannel, StatusAndRegisterAnswersCarryTheSignature) {
    Load("[Drive 1.1]\n[Drive 1.2]\nBridge=p730\n");
    Port sata = At("1.1");
    ASSERT_TRUE(sata.VendorFeatureOn());
    ASSERT_TRUE(sata.EnableVendor(10));
    ASSERT_TRUE(sata.Vendor({0x85, 0xB0, 0x00, 0x49, 0x20, 0x5A}, DataDirection::None, nullptr, 0));
    std::uint8_t answer[512] = {};
    ASSERT_TRUE(sata.Vendor({0x84, 0xB0, 0x00, 0x49, 0x20}, DataDirection::In, answer, 1));
    EXPECT_EQ(answer[0], 0xE5);
    EXPECT_EQ(answer[1], 0x5A);
    Port usb = At("1.2");
    usb.usb = true;
    ASSERT_TRUE(usb.EnableVendor(10));
    ASSERT_TRUE(usb.Vendor({0x85, 0xB0, 0x00, 0x49, 0x20, 0x5A}, DataDirection::None, nullptr, 0));
    std::memset(answer, 0, sizeof answer);
    ASSERT_TRUE(usb.Vendor({0x84, 0xB0, 0x00, 0x49, 0x20}, DataDirection::In, answer, 1));
    EXPECT_EQ(answer[0], 0x5A);
    // In the loader a status read has no program to ask.
    EXPECT_FALSE(usb.Vendor({0x00}, DataDirection::In, answer, 1));
}

TEST_F(VendorChannel, FlashIdsPerChannelAndChipEnable) {
    Load("[Drive 1.1]\nFlashId=2C 88 04 4B A9\nFault=id-mismatch:2.1\n");
    Port p = At("1.1");
    ASSERT_TRUE(p.VendorFeatureOn());
    for (int channel = 0; channel < 4; ++channel) {
        for (int ce = 0; ce < 2; ++ce) {
            std::uint8_t id[512] = {};
            ASSERT_TRUE(
                p.Vendor({0x88, static_cast<std::uint8_t>(channel), static_cast<std::uint8_t>(ce)},
                         DataDirection::In, id, 1));
            const bool expected = std::memcmp(id, "\x2C\x88\x04\x4B\xA9", 5) == 0;
            EXPECT_EQ(expected, !(channel == 2 && ce == 1)) << channel << "." << ce;
            EXPECT_EQ(id[0], 0x2C);  // the maker byte stays
        }
    }
    std::uint8_t none[512] = {};
    ASSERT_TRUE(p.Vendor({0x88, 0, 5}, DataDirection::In, none, 1));  // no chip enable 5
    EXPECT_EQ(none[0] | none[1], 0);
}

}  // namespace
}  // namespace kv::emu
