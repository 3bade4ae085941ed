#include "device/ata_commands.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "device/vendor_channel.h"
#include "support/recording_platform.h"

namespace kv {
namespace {

using test::Bytes;
using test::CannedReply;

class AtaCommandsTest : public test::DeviceTest {
  protected:
    std::vector<std::uint8_t> buffer = std::vector<std::uint8_t>(128 * 512, 0);
};

struct AtaCase {
    const char* name;
    std::function<int(int port, std::uint8_t* buffer)> send;
    std::vector<std::uint8_t> cdb;  // SataPath bytes
    bool dataIn;
    std::uint32_t length;
    int usbResult;  // answered unsent on a UsbPath port
};

std::vector<AtaCase> AtaTable() {
    return {
        {"ATA_Identify", [](int p, std::uint8_t* b) { return ATA_Identify(p, b, 1); },
         Bytes({0xA1, 0x08, 0x0B, 0x00, 0x01, 0x00, 0x00, 0x00, 0xE0, 0xEC, 0x00, 0x00}), true, 512,
         2},
        {"ATA_SetFeatures",
         [](int p, std::uint8_t*) { return ATA_SetFeatures(p, 0xDC, 0x1234564B); },
         Bytes({0xA1, 0x06, 0x00, 0xDC, 0x4B, 0x56, 0x34, 0x12, 0xE0, 0xEF, 0x00, 0x00}), false, 0,
         1},
        {"ATA_SmartReadData", [](int p, std::uint8_t* b) { return ATA_SmartReadData(p, b, 1); },
         Bytes({0xA1, 0x08, 0x0B, 0xD0, 0x01, 0x00, 0x4F, 0xC2, 0x00, 0xB0, 0x00, 0x00}), true, 512,
         2},
        {"ATA_FlushCache", [](int p, std::uint8_t*) { return ATA_FlushCache(p); },
         Bytes({0xA1, 0x06, 0x00, 0x00, 0x00, 0x00, 0x00, 0xE0, 0x00, 0xE7, 0x00, 0x00}), false, 0,
         1},
        {"ATA_Standby", [](int p, std::uint8_t*) { return ATA_Standby(p); },
         Bytes({0xA1, 0x06, 0x00, 0x00, 0x00, 0x00, 0x00, 0xE0, 0x00, 0xE2, 0x00, 0x00}), false, 0,
         1},
        {"ATA_ReadNativeMax", [](int p, std::uint8_t*) { return ATA_ReadNativeMax(p); },
         Bytes({0xA1, 0x06, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xF8, 0x00, 0x00}), false, 0,
         1},
        {"ATA_ReadNativeMaxExt", [](int p, std::uint8_t*) { return ATA_ReadNativeMaxExt(p); },
         Bytes({0x85, 0x06, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                0x27, 0x00}),
         false, 0, 1},
        {"ATA_SetMaxAddress 0x0FFFFFFE",
         [](int p, std::uint8_t*) { return ATA_SetMaxAddress(p, 0x0FFFFFFE); },
         Bytes({0xA1, 0x06, 0x00, 0x00, 0x01, 0xFE, 0xFF, 0xFF, 0xEF, 0xF9, 0x00, 0x00}), false, 0,
         1},
        {"ATA_SetMaxAddress 0x0FFFFFFF",
         [](int p, std::uint8_t*) { return ATA_SetMaxAddress(p, 0x0FFFFFFF); },
         Bytes({0xA1, 0x06, 0x00, 0x00, 0x01, 0xFF, 0xFF, 0xFF, 0xEF, 0xF9, 0x00, 0x00}), false, 0,
         1},
        {"ATA_SetMaxAddress 0x01234567",
         [](int p, std::uint8_t*) { return ATA_SetMaxAddress(p, 0x01234567); },
         Bytes({0xA1, 0x06, 0x00, 0x00, 0x01, 0x67, 0x45, 0x23, 0xE1, 0xF9, 0x00, 0x00}), false, 0,
         1},
        {"ATA_SetMaxAddressExt",
         [](int p, std::uint8_t*) { return ATA_SetMaxAddressExt(p, 0x44332211, 0x6655); },
         Bytes({0x85, 0x07, 0x00, 0x00, 0x00, 0x00, 0x01, 0x44, 0x11, 0x55, 0x22, 0x66, 0x33, 0xE0,
                0x37, 0x00}),
         false, 0, 1},
        {"ATA_ReadLogExt PIO",
         [](int p, std::uint8_t* b) { return ATA_ReadLogExt(p, b, 0x0102, 0x9A, 0x0304, false); },
         Bytes({0x85, 0x09, 0x0B, 0x00, 0x00, 0x01, 0x02, 0x00, 0x9A, 0x03, 0x04, 0x00, 0x00, 0xE0,
                0x2F, 0x00}),
         true, 0x0102 * 512, 1},
        {"ATA_ReadLogExt DMA",
         [](int p, std::uint8_t* b) { return ATA_ReadLogExt(p, b, 1, 0x9A, 0, true); },
         Bytes({0x85, 0x15, 0x0B, 0x00, 0x00, 0x00, 0x01, 0x00, 0x9A, 0x00, 0x00, 0x00, 0x00, 0xE0,
                0x47, 0x00}),
         true, 512, 1},
        {"ATA_WriteLogExt PIO",
         [](int p, std::uint8_t* b) { return ATA_WriteLogExt(p, b, 2, 0x9A, 0x0001, false); },
         Bytes({0x85, 0x0B, 0x03, 0x00, 0x00, 0x00, 0x02, 0x00, 0x9A, 0x00, 0x01, 0x00, 0x00, 0xE0,
                0x3F, 0x00}),
         false, 1024, 1},
        {"ATA_WriteLogExt DMA",
         [](int p, std::uint8_t* b) { return ATA_WriteLogExt(p, b, 1, 0x80, 0, true); },
         Bytes({0x85, 0x17, 0x03, 0x00, 0x00, 0x00, 0x01, 0x00, 0x80, 0x00, 0x00, 0x00, 0x00, 0xE0,
                0x57, 0x00}),
         false, 512, 1},
    };
}

TEST_F(AtaCommandsTest, SataPathSendsTheExactPassThroughCdbs) {
    AttachSata();
    for (const AtaCase& c : AtaTable()) {
        backend.requests.clear();
        EXPECT_EQ(c.send(kSataPort, buffer.data()), 1) << c.name;
        ASSERT_EQ(backend.requests.size(), 1u) << c.name;
        const auto& request = backend.requests[0];
        EXPECT_EQ(request.cdb, c.cdb) << c.name;
        EXPECT_EQ(request.dataIn, c.dataIn) << c.name;
        EXPECT_EQ(request.length, c.length) << c.name;
        EXPECT_EQ(request.timeoutSeconds, 10u) << c.name;
    }
}

TEST_F(AtaCommandsTest, UsbPathSkipsTheAtaCommandsWithTheirValues) {
    AttachUsb();
    for (const AtaCase& c : AtaTable()) {
        EXPECT_EQ(c.send(kUsbPort, buffer.data()), c.usbResult) << c.name;
    }
    EXPECT_TRUE(backend.opened.empty());
}

TEST_F(AtaCommandsTest, AbortedCommandFailsOnItsScsiStatus) {
    AttachSata();
    backend.fallback = CannedReply{true, 0, 0x02, {}};  // CHECK CONDITION
    for (const AtaCase& c : AtaTable()) {
        EXPECT_EQ(c.send(kSataPort, buffer.data()), 2) << c.name;
    }
    AttachUsb();
    EXPECT_EQ(SCSI_Inquiry(kUsbPort, buffer.data()), 2);
    EXPECT_EQ(SCSI_ReadCapacity(kUsbPort, buffer.data(), 1), 2);
    backend.fallback = CannedReply{true, 0, 0x00, {}};
    EXPECT_EQ(ATA_Standby(kSataPort), 1);
}

TEST_F(AtaCommandsTest, ScsiCommandsOnUsbPathAndSkippedOnSata) {
    AttachUsb();
    AttachSata();
    EXPECT_EQ(SCSI_Inquiry(kUsbPort, buffer.data()), 1);
    EXPECT_EQ(SCSI_ReadCapacity(kUsbPort, buffer.data(), 1), 1);
    ASSERT_EQ(backend.requests.size(), 2u);
    EXPECT_EQ(backend.requests[0].cdb, Bytes({0x12, 0, 0, 0, 0x28, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_TRUE(backend.requests[0].dataIn);
    EXPECT_EQ(backend.requests[0].length, 40u);
    EXPECT_EQ(backend.requests[1].cdb, Bytes({0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(backend.requests[1].length, 512u);

    backend.requests.clear();
    std::vector<std::uint8_t> untouched(64, 0x3C);
    EXPECT_EQ(SCSI_Inquiry(kSataPort, untouched.data()), 1);
    EXPECT_EQ(untouched, std::vector<std::uint8_t>(64, 0x3C));
    EXPECT_EQ(SCSI_ReadCapacity(kSataPort, buffer.data(), 1), 2);
    EXPECT_TRUE(backend.requests.empty());
}

TEST_F(AtaCommandsTest, SectorCommandsUseReadTenAndWriteTenOnBothPaths) {
    AttachUsb();
    AttachSata();
    struct Case {
        const char* name;
        int port;
        bool read;
        std::uint32_t sectors;
        std::uint32_t lba;
        std::vector<std::uint8_t> cdb;
        std::uint32_t timeout;
    };
    const Case cases[] = {
        {"usb read", kUsbPort, true, 128, 0x00ABCDEF,
         Bytes({0x28, 0, 0x00, 0xAB, 0xCD, 0xEF, 0, 0x00, 0x80, 0, 0, 0}), 300},
        {"usb write", kUsbPort, false, 1, 0x12345678,
         Bytes({0x2A, 0, 0x12, 0x34, 0x56, 0x78, 0, 0x00, 0x01, 0, 0, 0}), 10},
        // SataPath goes through the fixed time-outs: 300 s for a path with "usb".
        {"sata read", kSataPort, true, 2, 0xFFFFFFFF,
         Bytes({0x28, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0x00, 0x02, 0, 0, 0}), 300},
        {"sata write", kSataPort, false, 0x0100, 0,
         Bytes({0x2A, 0, 0, 0, 0, 0, 0, 0x01, 0x00, 0, 0, 0}), 10},
    };
    std::vector<std::uint8_t> data(0x100 * 512, 0);
    for (const Case& c : cases) {
        backend.requests.clear();
        const int result = c.read ? ATA_ReadSectors(c.port, data.data(), c.sectors, c.lba)
                                  : ATA_WriteSectors(c.port, data.data(), c.sectors, c.lba);
        EXPECT_EQ(result, 1) << c.name;
        ASSERT_EQ(backend.requests.size(), 1u) << c.name;
        EXPECT_EQ(backend.requests[0].cdb, c.cdb) << c.name;
        EXPECT_EQ(backend.requests[0].dataIn, c.read) << c.name;
        EXPECT_EQ(backend.requests[0].length, c.sectors * 512) << c.name;
        EXPECT_EQ(backend.requests[0].timeoutSeconds, c.timeout) << c.name;
        EXPECT_EQ(backend.requests[0].buffer, data.data()) << c.name;
    }
    EXPECT_TRUE(backend.traces.empty()) << "sector commands on SataPath are not traced";
}

TEST_F(AtaCommandsTest, FailedSectorCommandLeavesItsErrorRecord) {
    AttachSata();
    struct Case {
        const char* name;
        CannedReply reply;
        bool read;
        std::uint32_t lba;
        std::vector<std::uint8_t> record;
    };
    const Case cases[] = {
        {"read, transport", {false, 0, 0, {}}, true, 5000, Bytes({2, 0, 0, 0, 0x88, 0x13, 0, 0})},
        {"read, device error", {true, 0, 2, {}}, true, 5000, Bytes({2, 0, 0, 0, 0x88, 0x13, 0, 0})},
        {"write, device error",
         {true, 0, 2, {}},
         false,
         0x01020304,
         Bytes({1, 0, 0, 0, 0x04, 0x03, 0x02, 0x01})},
    };
    for (const Case& c : cases) {
        backend.fallback = c.reply;
        std::vector<std::uint8_t> data(512, 0xEE);
        const int result = c.read ? ATA_ReadSectors(kSataPort, data.data(), 1, c.lba)
                                  : ATA_WriteSectors(kSataPort, data.data(), 1, c.lba);
        EXPECT_EQ(result, 2) << c.name;
        EXPECT_EQ(std::vector<std::uint8_t>(data.begin(), data.begin() + 8), c.record) << c.name;
        EXPECT_EQ(data[8], 0xEE) << c.name << ": only words 0-1 are written";
    }

    // A count beyond the CDB's 16-bit transfer length fails unsent.
    backend.requests.clear();
    backend.fallback = CannedReply{};
    std::vector<std::uint8_t> data(512, 0);
    EXPECT_EQ(ATA_ReadSectors(kSataPort, data.data(), 0x10000, 7), 2);
    EXPECT_TRUE(backend.requests.empty());
    EXPECT_EQ(data[0], 2);
    EXPECT_EQ(data[4], 7);

    // No device on the port.
    EXPECT_EQ(ATA_WriteSectors(kUsbPort, data.data(), 1, 9), 2);
    EXPECT_EQ(data[0], 1);
    EXPECT_EQ(data[4], 9);
}

}  // namespace
}  // namespace kv
