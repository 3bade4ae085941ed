// The bridges at byte level: INQUIRY, pass-through, sector commands, the
// bridge block of type 7, unknown command blocks and the 1-byte rule.
#include <gtest/gtest.h>

#include <cstring>

#include "emu_test_support.h"

namespace kv::emu {
namespace {

using test::Port;

constexpr char kFixture[] = R"([Fixture]
TimeScale=0
RootHubs=8
[Drive 1.1]
Bridge=p713
[Drive 1.2]
Bridge=p730
[Drive 1.3]
Bridge=p710
[Drive 1.4]
Bridge=zz99
[Drive 1.5]
Bridge=p713
Boot=firmware
)";

class BridgeTest : public ::testing::Test {
  protected:
    void SetUp() override { fixture = test::LoadFixture(folder, kFixture); }
    Port At(const char* location) { return Port{*fixture, *fixture->DeviceAt(location)}; }
    test::TempFolder folder;
    std::unique_ptr<Fixture> fixture;
};

TEST_F(BridgeTest, InquiryAnswersFortyBytesWithTheBridgeCode) {
    std::uint8_t data[64];
    std::memset(data, 0xCC, sizeof data);
    Port sat = At("1.1");
    const ExecuteResult r =
        sat.Send({0x12, 0, 0, 0, 0x28, 0, 0, 0, 0, 0, 0, 0}, DataDirection::In, data, 40);
    ASSERT_TRUE(Port::Good(r));
    EXPECT_EQ(r.bytesTransferred, 40u);
    EXPECT_EQ(data[0], 0x00);
    EXPECT_EQ(data[4], 35);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(data + 36), 4), "p713");
    EXPECT_EQ(data[40], 0xCC);  // nothing beyond the 40 bytes

    // A direct device in its loader shows the loader identity in bytes 8..31.
    Port usb = At("1.2");
    ASSERT_TRUE(Port::Good(
        usb.Send({0x12, 0, 0, 0, 0x28, 0, 0, 0, 0, 0, 0, 0}, DataDirection::In, data, 40)));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(data + 8), 23), "Vudivod EZA USB Loader ");
    EXPECT_EQ(std::string(reinterpret_cast<char*>(data + 36), 4), "p730");

    // The allocation length bounds the answer.
    ASSERT_TRUE(Port::Good(sat.Send({0x12, 0, 0, 0, 0x10, 0}, DataDirection::In, data, 40)));
}

TEST_F(BridgeTest, UnknownCommandBlocksFailWithIllegalRequest) {
    struct Case {
        const char* location;
        std::vector<std::uint8_t> cdb;
    };
    const Case cases[] = {
        {"1.1", {0x5A, 0, 0, 0, 0, 0, 0, 0, 0, 0}},  // not a command of the bridge
        {"1.2",
         {0xA1, 0x08, 0x0B, 0, 1, 0, 0, 0, 0xE0, 0xEC, 0, 0}},  // a direct device takes no ATA
        {"1.4", {0xA1, 0x08, 0x0B, 0, 1, 0, 0, 0, 0xE0, 0xEC, 0, 0}},  // nor does a foreign bridge
        {"1.3", {0xFF, 0x04, 0x32, 0x01, 0, 0, 0, 0, 0, 0, 0, 0}},  // the bridge block is type 7's
        {"1.1", {0xFF, 0xE5, 0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0}},  // a SAT bridge takes no vendor CDB
    };
    for (const Case& c : cases) {
        std::uint8_t data[512] = {};
        Port p = At(c.location);
        const bool hasData = c.cdb[0] == 0xA1;
        const ExecuteResult r = p.Send(c.cdb, hasData ? DataDirection::In : DataDirection::None,
                                       hasData ? data : nullptr, hasData ? 512 : 0);
        EXPECT_TRUE(r.transportOk) << c.location;
        EXPECT_EQ(r.scsiStatus, kScsiCheckCondition) << c.location;
        EXPECT_EQ(r.sense[2] & 0x0F, 0x05) << c.location;  // ILLEGAL REQUEST
    }
    Port type7 = At("1.1");
    EXPECT_TRUE(Port::Good(type7.Send({0xFF, 0x04, 0x32, 0x01, 0, 0, 0, 0, 0, 0, 0, 0},
                                      DataDirection::None, nullptr, 0)));
}

TEST_F(BridgeTest, PioOnlyBridgeRefusesUdma) {
    Port p = At("1.3");  // type 1
    std::uint8_t sector[512] = {};
    ASSERT_TRUE(p.VendorFeatureOn());
    p.busMode = 2;
    const ExecuteResult udma = p.CarrierRead(sector, 1, 0xFF);
    EXPECT_EQ(udma.scsiStatus, kScsiCheckCondition);
    p.busMode = 1;
    ASSERT_TRUE(Port::Good(p.CarrierRead(sector, 1, 0xFF)));
    EXPECT_EQ(sector[0], 0xE5);
}

TEST_F(BridgeTest, OneByteTransfersAreRefusedByTheTransport) {
    Port p = At("1.1");
    std::uint8_t two[2] = {};
    const ExecuteResult r = p.Send({0x12, 0, 0, 0, 0x28, 0}, DataDirection::In, two, 1);
    EXPECT_FALSE(r.transportOk);
    EXPECT_EQ(r.lastError, kErrorInvalidParameter);
    EXPECT_TRUE(p.Send({0x12, 0, 0, 0, 0x28, 0}, DataDirection::In, two, 2).transportOk);
}

TEST_F(BridgeTest, SectorCommandsNeedTheFirmware) {
    std::vector<std::uint8_t> buf(65536);
    Port loader = At("1.1");
    // READ(10) of 128 sectors at 0x12345, as a 12-byte block.
    const std::vector<std::uint8_t> read = {0x28, 0,    0x00, 0x01, 0x23, 0x45,
                                            0,    0x00, 0x80, 0,    0,    0};
    const ExecuteResult r = loader.Send(read, DataDirection::In, buf.data(), buf.size(), 300);
    EXPECT_EQ(r.scsiStatus, kScsiCheckCondition);
    EXPECT_EQ(r.sense[2] & 0x0F, 0x02);  // NOT READY: no user area
    Port produced = At("1.5");
    std::fill(buf.begin(), buf.end(), 0x3C);
    const std::vector<std::uint8_t> write = {0x2A, 0,    0x00, 0x01, 0x23, 0x45,
                                             0,    0x00, 0x80, 0,    0,    0};
    ASSERT_TRUE(Port::Good(produced.Send(write, DataDirection::Out, buf.data(), buf.size())));
    std::vector<std::uint8_t> back(65536, 0);
    ASSERT_TRUE(Port::Good(produced.Send(read, DataDirection::In, back.data(), back.size(), 300)));
    EXPECT_EQ(back, buf);
    // The image holds the sectors at n x 512.
    std::ifstream img(fixture->UserImagePath(produced.id), std::ios::binary);
    img.seekg(0x12345ll * 512);
    char first = 0;
    img.read(&first, 1);
    EXPECT_EQ(static_cast<std::uint8_t>(first), 0x3C);
    // A length that does not match the block count fails.
    EXPECT_EQ(produced.Send(read, DataDirection::In, back.data(), 512).scsiStatus,
              kScsiCheckCondition);
}

TEST_F(BridgeTest, ReadCapacityReportsTheLastSector) {
    std::uint8_t data[512] = {};
    Port produced = At("1.5");
    ASSERT_TRUE(Port::Good(
        produced.Send({0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, DataDirection::In, data, 512)));
    const std::uint32_t last =
        (std::uint32_t{data[0]} << 24) | (data[1] << 16) | (data[2] << 8) | data[3];
    EXPECT_EQ(last + 1u, fixture->DriveOf(produced.id)->profile().userSectors);
    EXPECT_EQ(data[6], 0x02);  // 512-byte blocks
    Port loader = At("1.2");
    ASSERT_TRUE(Port::Good(
        loader.Send({0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, DataDirection::In, data, 512)));
    EXPECT_EQ(data[0] | data[1] | data[2] | data[3], 0);
}

}  // namespace
}  // namespace kv::emu
