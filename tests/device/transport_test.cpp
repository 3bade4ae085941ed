#include "device/transport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "device/port_device.h"
#include "support/recording_platform.h"

namespace kv {
namespace {

using test::Bytes;
using test::CannedReply;

class TransportTest : public test::DeviceTest {};

const std::uint8_t kInquiryCdb[12] = {0x12, 0, 0, 0, 0x28, 0, 0, 0, 0, 0, 0, 0};

TEST_F(TransportTest, PortWithoutDevicePathAnswersMinusOneAndSendsNothing) {
    PortDeviceTable().Set(3, "", BusPath::SataPath);
    std::uint8_t buffer[512] = {};
    for (const int port : {3, 4, -1, 50}) {
        EXPECT_EQ(SendPortCommand(port, true, kInquiryCdb, 12, buffer, 40), kPortNoDevice) << port;
        EXPECT_EQ(SendRawPortCommand(port, false, kInquiryCdb, 12, buffer, 512), kPortNoDevice)
            << port;
    }
    EXPECT_TRUE(backend.opened.empty());
    EXPECT_TRUE(backend.traces.empty());
}

TEST_F(TransportTest, RequestCarriesTheCdbAndTheCallersBufferAndClosesTheHandle) {
    AttachSata();
    const std::uint8_t cdb[16] = {0x85, 0x07, 0,    0,    0,    0,    0x01, 0x11,
                                  0x22, 0x33, 0x44, 0x55, 0x66, 0xE0, 0x37, 0};
    std::vector<std::uint8_t> buffer(4096, 0x5A);
    ASSERT_EQ(SendPortCommand(kSataPort, false, cdb, 16, buffer.data(), 4096), kPortCommandOk);
    ASSERT_EQ(SendPortCommand(kSataPort, true, cdb, 12, buffer.data(), 4096), kPortCommandOk);

    ASSERT_EQ(backend.requests.size(), 2u);
    EXPECT_EQ(backend.opened,
              (std::vector<std::string>{test::kSataDrivePath, test::kSataDrivePath}));
    EXPECT_EQ(backend.openHandles, 0);
    const auto& write = backend.requests[0];
    EXPECT_EQ(write.cdb, std::vector<std::uint8_t>(cdb, cdb + 16));
    EXPECT_FALSE(write.dataIn);
    EXPECT_EQ(write.length, 4096u);
    EXPECT_EQ(write.buffer, buffer.data()) << "data must move without a copy";
    // A 12-byte CDB leaves the rest of the 16-byte field zero.
    const auto& read = backend.requests[1];
    EXPECT_TRUE(read.dataIn);
    EXPECT_EQ(read.fullCdb,
              Bytes({0x85, 0x07, 0, 0, 0, 0, 0x01, 0x11, 0x22, 0x33, 0x44, 0x55, 0, 0, 0, 0}));
    EXPECT_EQ(read.buffer, buffer.data());
}

TEST_F(TransportTest, TimeOutsFollowTheOperationAndThePath) {
    AttachSata();
    AttachUsb();
    std::uint8_t buffer[512] = {};
    std::uint32_t moved = 0;
    struct Case {
        const char* what;
        std::function<int()> send;
        std::uint32_t timeout;
        bool dataIn;
    };
    const Case cases[] = {
        {"read, UsbPath",
         [&] { return SendPortCommand(kUsbPort, true, kInquiryCdb, 12, buffer, 512); }, 300, true},
        {"read, SataPath",
         [&] { return SendPortCommand(kSataPort, true, kInquiryCdb, 12, buffer, 512); }, 10, true},
        {"write, UsbPath",
         [&] { return SendPortCommand(kUsbPort, false, kInquiryCdb, 12, buffer, 512); }, 10, false},
        {"non-data, SataPath",
         [&] { return SendPortCommand(kSataPort, false, kInquiryCdb, 12, nullptr, 0); }, 10, false},
        {"raw read, usb path",
         [&] { return SendRawPortCommand(kSataPort, true, kInquiryCdb, 12, buffer, 512); }, 300,
         true},
        {"raw write",
         [&] { return SendRawPortCommand(kSataPort, false, kInquiryCdb, 12, buffer, 512); }, 10,
         false},
        {"fixed read, other path",
         [&] { return ReadSCSICommand("/dev/sdz", kInquiryCdb, 12, buffer, 512, &moved); }, 5,
         true},
        {"fixed write, other path",
         [&] { return WriteSCSICommand("/dev/sdz", kInquiryCdb, 12, buffer, 512, &moved); }, 10,
         false},
        {"explicit time-out",
         [&] {
             return ReadSCSICommandWithTimeOutValue("/dev/sdz", kInquiryCdb, 12, buffer, 512,
                                                    &moved, 77);
         },
         77, true},
    };
    for (const Case& c : cases) {
        backend.requests.clear();
        EXPECT_EQ(c.send(), 1) << c.what;
        ASSERT_EQ(backend.requests.size(), 1u) << c.what;
        EXPECT_EQ(backend.requests[0].timeoutSeconds, c.timeout) << c.what;
        EXPECT_EQ(backend.requests[0].dataIn, c.dataIn) << c.what;
    }
}

TEST_F(TransportTest, OneByteTransfersGoThroughATwoByteBounceBuffer) {
    AttachSata();
    std::uint8_t out[4] = {0x9C, 0x77, 0x77, 0x77};
    ASSERT_EQ(SendPortCommand(kSataPort, false, kInquiryCdb, 12, out, 1), kPortCommandOk);
    ASSERT_EQ(backend.requests.size(), 1u);
    EXPECT_EQ(backend.requests[0].length, 2u);
    EXPECT_EQ(backend.requests[0].dataOut, Bytes({0x9C, 0x00}));
    EXPECT_NE(backend.requests[0].buffer, out);

    backend.fallback.data = Bytes({0x3E, 0x41});
    std::uint8_t in[4] = {0x77, 0x77, 0x77, 0x77};
    ASSERT_EQ(SendPortCommand(kSataPort, true, kInquiryCdb, 12, in, 1), kPortCommandOk);
    EXPECT_EQ(backend.requests[1].length, 2u);
    EXPECT_EQ(Bytes({in[0], in[1], in[2], in[3]}), Bytes({0x3E, 0x77, 0x77, 0x77}))
        << "exactly one byte reaches the caller";
}

TEST_F(TransportTest, CompletedRequestWithLastErrorFailsAndIsLogged) {
    AttachSata();
    std::uint8_t buffer[512] = {};
    backend.replies = {CannedReply{true, 1117, 0, {}}, CannedReply{true, 31, 0, {}},
                       CannedReply{false, 0, 0, {}}};
    EXPECT_EQ(SendPortCommand(kSataPort, true, kInquiryCdb, 12, buffer, 512), kPortRequestFailed);
    EXPECT_EQ(SendPortCommand(kSataPort, false, kInquiryCdb, 12, buffer, 512), kPortRequestFailed);
    EXPECT_EQ(SendPortCommand(kSataPort, false, kInquiryCdb, 12, nullptr, 0), kPortRequestFailed)
        << "a call that returned failure fails even without a last error";
    EXPECT_EQ(backend.traces,
              (std::vector<std::string>{"LastError(ReadSCSICommandWithTimeOutValue)[1] = 1117\r\n",
                                        "LastError(WriteSCSICommandWithTimeOutValue)[1] = 31\r\n",
                                        "LastError(WriteSCSICommandWithTimeOutValue)[1] = 0\r\n"}));
    EXPECT_EQ(backend.openHandles, 0);

    // The fixed-time-out functions fail the same way, silently.
    backend.traces.clear();
    backend.fallback = CannedReply{true, 5, 0, {}};
    std::uint32_t moved = 0;
    EXPECT_EQ(ReadSCSICommand(test::kSataDrivePath, kInquiryCdb, 12, buffer, 512, &moved), 0);
    EXPECT_EQ(SendRawPortCommand(kSataPort, false, kInquiryCdb, 12, buffer, 512),
              kPortRequestFailed);
    EXPECT_TRUE(backend.traces.empty());
}

TEST_F(TransportTest, UnpluggedDriveFailsAtTheOpenWithItsPathLogged) {
    AttachSata();
    AttachUsb();
    backend.unopenable = {test::kSataDrivePath, test::kUsbDrivePath};
    std::uint8_t buffer[512] = {};
    EXPECT_EQ(SendPortCommand(kSataPort, true, kInquiryCdb, 12, buffer, 512), kPortRequestFailed);
    EXPECT_EQ(SendPortCommand(kUsbPort, false, kInquiryCdb, 12, nullptr, 0), kPortRequestFailed);
    EXPECT_EQ(SendRawPortCommand(kSataPort, true, kInquiryCdb, 12, buffer, 512),
              kPortRequestFailed);
    EXPECT_TRUE(backend.requests.empty());
    EXPECT_EQ(backend.traces,
              (std::vector<std::string>{
                  std::string("ReadSCSICommandWithTimeOutValue(INVALID_HANDLE_VALUE) = ") +
                      test::kSataDrivePath + "\r\n",
                  std::string("WriteSCSICommandWithTimeOutValue(INVALID_HANDLE_VALUE) = ") +
                      test::kUsbDrivePath + "\r\n"}));
}

TEST_F(TransportTest, ScsiStatusAndTransferredCountTravelBack) {
    backend.fallback = CannedReply{true, 0, 0x02, {}};
    std::uint8_t buffer[1024] = {};
    std::uint32_t moved = 0;
    std::uint8_t status = 0;
    // A device error is not a transport failure; the caller sees the status.
    EXPECT_EQ(ReadSCSICommandWithTimeOutValue("/dev/sdz", kInquiryCdb, 12, buffer, 1024, &moved, 10,
                                              &status),
              1);
    EXPECT_EQ(status, 0x02);
    EXPECT_EQ(moved, 1024u);
    AttachSata();
    status = 0;
    EXPECT_EQ(SendPortCommand(kSataPort, false, kInquiryCdb, 12, buffer, 512, &status),
              kPortCommandOk);
    EXPECT_EQ(status, 0x02);
}

TEST_F(TransportTest, RefusedArgumentsSendNothing) {
    std::uint8_t buffer[512] = {};
    const std::uint8_t longCdb[17] = {0x28};
    std::uint32_t moved = 0;
    EXPECT_EQ(ReadSCSICommand("/dev/sdz", longCdb, 17, buffer, 512, &moved), 0);
    EXPECT_EQ(ReadSCSICommand("/dev/sdz", longCdb, 0, buffer, 512, &moved), 0);
    EXPECT_EQ(WriteSCSICommand("/dev/sdz", longCdb, 10, nullptr, 512, &moved), 0);
    EXPECT_TRUE(backend.opened.empty());
}

TEST_F(TransportTest, SectorsByPathBuildReadAndWriteTen) {
    std::vector<std::uint8_t> buffer(65536, 0);
    EXPECT_EQ(ReadSectorsByPath(test::kUsbDrivePath, buffer.data(), 0x12345, 65536), 1);
    EXPECT_EQ(WriteSectorsByPath("/dev/sdz", buffer.data(), 0xA1B2C3D4, 512), 1);
    ASSERT_EQ(backend.requests.size(), 2u);
    EXPECT_EQ(backend.requests[0].cdb, Bytes({0x28, 0, 0x00, 0x01, 0x23, 0x45, 0, 0x00, 0x80, 0}));
    EXPECT_TRUE(backend.requests[0].dataIn);
    EXPECT_EQ(backend.requests[0].length, 65536u);
    EXPECT_EQ(backend.requests[0].timeoutSeconds, 300u);
    EXPECT_EQ(backend.requests[1].cdb, Bytes({0x2A, 0, 0xA1, 0xB2, 0xC3, 0xD4, 0, 0x00, 0x01, 0}));
    EXPECT_FALSE(backend.requests[1].dataIn);
    EXPECT_EQ(backend.requests[1].timeoutSeconds, 10u);
}

TEST_F(TransportTest, SectorsByPathFailOnDeviceErrorAndOnTooManyBlocks) {
    std::vector<std::uint8_t> buffer(512, 0);
    backend.fallback = CannedReply{true, 0, 0x02, {}};  // CHECK CONDITION
    EXPECT_EQ(ReadSectorsByPath("/dev/sdz", buffer.data(), 7, 512), 0);
    EXPECT_EQ(WriteSectorsByPath("/dev/sdz", buffer.data(), 7, 512), 0);
    EXPECT_EQ(backend.requests.size(), 2u);

    // 65,536 blocks would go out as a transfer length of 0.
    backend.requests.clear();
    EXPECT_EQ(ReadSectorsByPath("/dev/sdz", buffer.data(), 0, 65536u * 512u), 0);
    EXPECT_TRUE(backend.requests.empty());
}

TEST_F(TransportTest, SetBridgeStateSendsTheBridgeCommand) {
    AttachSata();
    EXPECT_TRUE(SetBridgeState(kSataPort, 1));
    ASSERT_EQ(backend.requests.size(), 1u);
    EXPECT_EQ(backend.requests[0].cdb, Bytes({0xFF, 0x04, 0x32, 0x01, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_FALSE(backend.requests[0].dataIn);
    EXPECT_EQ(backend.requests[0].length, 0u);
    backend.fallback.callOk = false;
    EXPECT_FALSE(SetBridgeState(kSataPort, 0));
    EXPECT_FALSE(SetBridgeState(kUsbPort, 1)) << "no device on that port";
}

}  // namespace
}  // namespace kv
