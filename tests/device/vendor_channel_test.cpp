#include "device/vendor_channel.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "device/vendor_block.h"
#include "device/vendor_commands.h"
#include "support/recording_platform.h"

namespace kv {
namespace {

using test::Bytes;
using test::CannedReply;

class VendorChannelTest : public test::DeviceTest {
  protected:
    std::vector<std::uint8_t> buffer = std::vector<std::uint8_t>(256 * 512, 0);
};

TEST_F(VendorChannelTest, SataReadOfFourSectorsIsACommandSectorThenTheData) {
    AttachSata();
    FlashAddress address;
    address.Channel = 1;
    address.Block = 0x0203;
    ASSERT_EQ(VC_FLH_ReadPage(kSataPort, address, buffer.data(), 4), kCommandOk);

    ASSERT_EQ(backend.requests.size(), 2u);
    const auto& command = backend.requests[0];
    EXPECT_EQ(command.cdb,
              Bytes({0xA1, 0x16, 0x03, 0x00, 0x01, 0xFF, 0x34, 0x12, 0xE0, 0x88, 0x00, 0x00}));
    EXPECT_FALSE(command.dataIn);
    ASSERT_EQ(command.length, 512u);
    std::vector<std::uint8_t> sector(512, 0);
    const auto block = Bytes({0xFF, 0xE5, 0x89, 0x01, 0x00, 0x02, 0x03});
    std::copy(block.begin(), block.end(), sector.begin());
    EXPECT_EQ(command.dataOut, sector) << "the block, the rest of the sector zero";

    const auto& data = backend.requests[1];
    EXPECT_EQ(data.cdb,
              Bytes({0xA1, 0x14, 0x0B, 0x00, 0x04, 0x89, 0x34, 0x12, 0xE0, 0x86, 0x00, 0x00}));
    EXPECT_TRUE(data.dataIn);
    EXPECT_EQ(data.length, 2048u);
    EXPECT_EQ(data.buffer, buffer.data());
}

TEST_F(VendorChannelTest, BusModeSelectsTheCarrierOpcodes) {
    AttachSata();
    struct Case {
        std::uint8_t mode;
        std::uint8_t writeProtocol, writeCommand, readProtocol, readCommand;
    };
    const Case cases[] = {
        {2, 0x16, 0x88, 0x14, 0x86},
        {1, 0x0A, 0x8F, 0x08, 0x8A},
        {0, 0x0A, 0xC5, 0x08, 0xC4},
        {3, 0x0A, 0xC5, 0x08, 0xC4},
    };
    for (const Case& c : cases) {
        SetVendorBusMode(c.mode);
        backend.requests.clear();
        ASSERT_EQ(VC_GDP_GetFlashInfo(kSataPort, buffer.data(), 1), kCommandOk);
        ASSERT_EQ(backend.requests.size(), 2u);
        const auto& write = backend.requests[0].cdb;
        const auto& read = backend.requests[1].cdb;
        EXPECT_EQ(write[1], c.writeProtocol) << int(c.mode);
        EXPECT_EQ(write[9], c.writeCommand) << int(c.mode);
        EXPECT_EQ(read[1], c.readProtocol) << int(c.mode);
        EXPECT_EQ(read[9], c.readCommand) << int(c.mode);
    }
}

TEST_F(VendorChannelTest, CarriersAddressLba1234WithTheirLowByte) {
    AttachSata();
    SetVendorBusMode(1);
    EXPECT_EQ(VC_SATA_ReadCmd(kSataPort, buffer.data(), 1, 0xFF), kCommandOk);
    EXPECT_EQ(VC_SATA_WriteCmd(kSataPort, buffer.data(), 200, 0x24), kCommandOk);
    ASSERT_EQ(backend.requests.size(), 2u);
    EXPECT_EQ(backend.requests[0].cdb,
              Bytes({0xA1, 0x08, 0x0B, 0x00, 0x01, 0xFF, 0x34, 0x12, 0xE0, 0x8A, 0x00, 0x00}));
    EXPECT_EQ(backend.requests[0].timeoutSeconds, 10u);
    EXPECT_EQ(backend.requests[1].cdb,
              Bytes({0xA1, 0x0A, 0x03, 0x00, 200, 0x24, 0x34, 0x12, 0xE0, 0x8F, 0x00, 0x00}));
    EXPECT_EQ(backend.requests[1].length, 200u * 512u);
}

TEST_F(VendorChannelTest, NonDataCommandOnSataSendsOnlyTheCommandPhase) {
    AttachSata();
    EXPECT_EQ(VC_SYS_JumpToPRAM(kSataPort), kCommandOk);
    ASSERT_EQ(backend.requests.size(), 1u);
    EXPECT_EQ(backend.requests[0].cdb[5], 0xFF);
}

TEST_F(VendorChannelTest, PageWriteOnUsbPathSendsItsFirstTwelveBytes) {
    AttachUsb();
    FlashAddress address;
    address.Channel = 2;
    address.Bank = 1;
    address.Block = 0x0345;
    address.Page = 0x0067;
    address.Options[0] = 0x11;
    address.Options[1] = 0x22;
    address.Options[2] = 0x33;
    address.BufferOffset = 0x00010000;
    ASSERT_EQ(VC_FLH_WritePages(kUsbPort, address, 0x0F, buffer.data(), 64), kCommandOk);
    ASSERT_EQ(backend.requests.size(), 1u);
    const auto& request = backend.requests[0];
    EXPECT_EQ(request.cdb,
              Bytes({0xFF, 0x04, 0x8A, 0x02, 0x01, 0x03, 0x45, 0x00, 0x67, 0x11, 0x22, 0x33}));
    EXPECT_FALSE(request.dataIn);
    EXPECT_EQ(request.length, 64u * 512u);
    EXPECT_EQ(request.buffer, buffer.data());
    EXPECT_EQ(request.timeoutSeconds, 10u);

    // Data-in on a UsbPath port uses the long time-out.
    ASSERT_EQ(VC_FLH_ReadPage(kUsbPort, address, buffer.data(), 1), kCommandOk);
    EXPECT_EQ(backend.requests[1].timeoutSeconds, 300u);
}

TEST_F(VendorChannelTest, FailedCommandPhaseSendsNoDataPhase) {
    AttachSata();
    backend.fallback = CannedReply{true, 87, 0, {}};
    EXPECT_EQ(VC_SYS_ReadMem(kSataPort, 3, 0x40000000, buffer.data(), 128), kCommandFailed);
    EXPECT_EQ(backend.requests.size(), 1u);
    EXPECT_EQ(backend.traces,
              (std::vector<std::string>{"LastError(WriteSCSICommandWithTimeOutValue)[1] = 87\r\n",
                                        "FAILED(VC_SATA_WriteCmd)\r\n"}));
}

TEST_F(VendorChannelTest, FailedDataPhaseFailsTheCommandWithItsCarrierNamed) {
    AttachSata();
    struct Case {
        bool read;
        const char* trace;
    };
    for (const Case c :
         {Case{true, "FAILED(VC_SATA_ReadCmd)\r\n"}, Case{false, "FAILED(VC_SATA_WriteCmd)\r\n"}}) {
        backend.requests.clear();
        backend.traces.clear();
        backend.replies = {CannedReply{}, CannedReply{false, 0, 0, {}}};
        const int result = c.read ? VC_SYS_ReadMem(kSataPort, 3, 0x40000000, buffer.data(), 2)
                                  : VC_SYS_WriteMem(kSataPort, 3, 0x40000000, buffer.data(), 2);
        EXPECT_EQ(result, kCommandFailed) << c.trace;
        EXPECT_EQ(backend.requests.size(), 2u) << c.trace;
        ASSERT_FALSE(backend.traces.empty());
        EXPECT_EQ(backend.traces.back(), c.trace);
    }
}

TEST_F(VendorChannelTest, DataPhaseBeyondTheCarrierCountIsRefusedUnsent) {
    AttachSata();
    EXPECT_EQ(VC_SYS_ReadMem(kSataPort, 3, 0, buffer.data(), 256), kCommandFailed);
    EXPECT_EQ(VC_SATA_WriteCmd(kSataPort, buffer.data(), 256, 0x87), kCommandFailed);
    EXPECT_TRUE(backend.requests.empty());
    EXPECT_EQ(VC_SYS_ReadMem(kSataPort, 3, 0, buffer.data(), 255), kCommandOk);
    EXPECT_EQ(backend.requests.size(), 2u);
}

TEST_F(VendorChannelTest, DeviceStatusDoesNotDecideAVendorCommand) {
    AttachUsb();
    backend.fallback = CannedReply{true, 0, 0x02, {}};
    EXPECT_EQ(VC_SYS_EnableVendorCmd(kUsbPort, 1), kCommandOk);
}

TEST_F(VendorChannelTest, PortWithoutDeviceFailsUnsent) {
    EXPECT_EQ(VC_SYS_JumpToPRAM(kUsbPort), kCommandFailed);
    PortDeviceTable().Set(kSataPort, "", BusPath::SataPath);
    EXPECT_EQ(VC_SYS_JumpToPRAM(kSataPort), kCommandFailed);
    EXPECT_TRUE(backend.opened.empty());
}

TEST(VendorBusModeTest, StartsAtTwoAndIsProcessWide) {
    EXPECT_EQ(VendorBusMode(), 2);
    EXPECT_FALSE(KeepVendorBusMode1());
    SetVendorBusMode(1);
    SetKeepVendorBusMode1(true);
    EXPECT_EQ(VendorBusMode(), 1);
    EXPECT_TRUE(KeepVendorBusMode1());
    SetVendorBusMode(2);
    SetKeepVendorBusMode1(false);
}

}  // namespace
}  // namespace kv
