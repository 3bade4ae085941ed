#include "device/vendor_commands.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "support/recording_platform.h"

namespace kv {
namespace {

using test::Bytes;
using test::CannedReply;

class VendorCommandsTest : public test::DeviceTest {
  protected:
    std::vector<std::uint8_t> buffer = std::vector<std::uint8_t>(128 * 512, 0);
};

enum class Dir { In, Out, None };

struct CommandCase {
    const char* name;
    std::function<int(int port, std::uint8_t* buffer)> send;
    std::vector<std::uint8_t> block;  // from byte 2 (the sub-code) on; the rest is 0
    Dir dir;
    std::uint32_t sectors;
};

FlashAddress SampleAddress() {
    FlashAddress address;
    address.Channel = 3;
    address.Bank = 1;
    address.Block = 0x0123;
    address.Page = 0x0456;
    address.Options[0] = 0x07;
    address.Options[1] = 0x08;
    address.Options[2] = 0x09;
    address.BufferOffset = 0x00018000;
    return address;
}

// Every command of the set with distinct parameter values, and the block
// bytes 2..16 they must produce.
std::vector<CommandCase> CommandTable() {
    static std::uint8_t status = 0;
    static std::uint8_t info[kCtrlInfoSize] = {};
    const FlashAddress a = SampleAddress();
    const std::vector<int> addr = {0x03, 0x01, 0x01, 0x23, 0x04, 0x56, 0x07,
                                   0x08, 0x09, 0x00, 0x01, 0x80, 0x00};
    auto withAddr = [&](int sub, std::vector<int> tail = {}) {
        std::vector<std::uint8_t> out{static_cast<std::uint8_t>(sub)};
        for (int v : addr)
            out.push_back(static_cast<std::uint8_t>(v));
        for (int v : tail)
            out.push_back(static_cast<std::uint8_t>(v));
        return out;
    };
    return {
        {"VC_ST_GetReturn", [](int p, std::uint8_t*) { return VC_ST_GetReturn(p, status); },
         Bytes({0x00}), Dir::In, 1},
        {"VC_GDP_ReadBadBlockInfo",
         [](int p, std::uint8_t* b) { return VC_GDP_ReadBadBlockInfo(p, 2, 5, 0x01020304, b, 64); },
         Bytes({0x00, 0x02, 0x05, 0, 0, 0, 0, 0, 0, 0, 0x01, 0x02, 0x03, 0x04}), Dir::In, 64},
        {"VC_GDP_Exec", [](int p, std::uint8_t*) { return VC_GDP_Exec(p, 3, 0x7A); },
         Bytes({0x03, 0x7A}), Dir::None, 0},
        {"VC_SYS_ReadEraseCount",
         [](int p, std::uint8_t* b) {
             return VC_SYS_ReadEraseCount(p, 0x11, 0x22, 0xA0B0C0D0, b, 128);
         },
         Bytes({0x01, 0x11, 0x22, 0, 0, 0, 0, 0, 0, 0, 0xA0, 0xB0, 0xC0, 0xD0}), Dir::In, 128},
        {"VC_GDP_ReadSysArea",
         [](int p, std::uint8_t* b) {
             return VC_GDP_ReadSysArea(p, 0x02, 0x1234, 0x5678, 0x9A, 0xBC, 0x00DEF000, b, 8);
         },
         Bytes({0x04, 0xFF, 0x02, 0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0, 0x00, 0xDE, 0xF0, 0x00}),
         Dir::In, 8},
        {"VC_GDP_GetFlashInfo", [](int p, std::uint8_t* b) { return VC_GDP_GetFlashInfo(p, b, 1); },
         Bytes({0x05}), Dir::In, 1},
        {"VC_SYS_USB_GetSMARTInfo",
         [](int p, std::uint8_t* b) { return VC_SYS_USB_GetSMARTInfo(p, b); }, Bytes({0x05}),
         Dir::In, 1},
        {"VC_GDP_GetResult", [](int p, std::uint8_t* b) { return VC_GDP_GetResult(p, b); },
         Bytes({0x06}), Dir::In, 4},
        {"VC_GDP_GetSysBlocks", [](int p, std::uint8_t* b) { return VC_GDP_GetSysBlocks(p, b, 2); },
         Bytes({0x07}), Dir::In, 2},
        {"VC_GDP_WriteEraseCount",
         [](int p, std::uint8_t* b) { return VC_GDP_WriteEraseCount(p, 3, 4, b, 127); },
         Bytes({0x08, 0x03, 0x04}), Dir::Out, 127},
        {"VC_FLH_ReadFlashData",
         [a](int p, std::uint8_t* b) { return VC_FLH_ReadFlashData(p, a, b, 9); }, withAddr(0x09),
         Dir::In, 9},
        {"VC_FLH_ReadPageRdt",
         [a](int p, std::uint8_t* b) { return VC_FLH_ReadPageRdt(p, a, b, 16); }, withAddr(0x0D),
         Dir::In, 16},
        {"VC_GDP_WriteSmartInfo",
         [](int p, std::uint8_t* b) { return VC_GDP_WriteSmartInfo(p, b, 1); }, Bytes({0x0E}),
         Dir::Out, 1},
        {"VC_TST_FlashDiagnostic",
         [](int p, std::uint8_t*) { return VC_TST_FlashDiagnostic(p, 5, 0x0102, status); },
         Bytes({0x21, 0x05, 0x01, 0x02}), Dir::In, 1},
        {"VC_TST_GetDiagLog", [](int p, std::uint8_t* b) { return VC_TST_GetDiagLog(p, b, 1); },
         Bytes({0x22}), Dir::In, 1},
        {"VC_TST_ReadBuffer",
         [](int p, std::uint8_t* b) { return VC_TST_ReadBuffer(p, 1, 0xB0084000, b, 64); },
         Bytes({0x23, 0x01, 0xB0, 0x08, 0x40, 0x00}), Dir::In, 64},
        {"VC_TST_WriteBuffer",
         [](int p, std::uint8_t* b) { return VC_TST_WriteBuffer(p, 2, 0xB0084000, b, 64); },
         Bytes({0x24, 0x02, 0xB0, 0x08, 0x40, 0x00}), Dir::Out, 64},
        {"VC_SYS_GetCtrlInfo", [](int p, std::uint8_t*) { return VC_SYS_GetCtrlInfo(p, info); },
         Bytes({0x80}), Dir::In, 1},
        {"VC_SYS_JumpToPRAM", [](int p, std::uint8_t*) { return VC_SYS_JumpToPRAM(p); },
         Bytes({0x82}), Dir::None, 0},
        {"VC_SYS_EnableVendorCmd",
         [](int p, std::uint8_t*) { return VC_SYS_EnableVendorCmd(p, 2); }, Bytes({0x83, 0x02}),
         Dir::None, 0},
        {"VC_SYS_ReadReg",
         [](int p, std::uint8_t*) { return VC_SYS_ReadReg(p, 0x1F000040, status); },
         Bytes({0x84, 0x1F, 0x00, 0x00, 0x40}), Dir::In, 1},
        {"VC_SYS_WriteReg",
         [](int p, std::uint8_t*) { return VC_SYS_WriteReg(p, 0x1F000040, 0x5C); },
         Bytes({0x85, 0x1F, 0x00, 0x00, 0x40, 0x5C}), Dir::None, 0},
        {"VC_SYS_ReadMem",
         [](int p, std::uint8_t* b) { return VC_SYS_ReadMem(p, 3, 0x40000000, b, 128); },
         Bytes({0x86, 0x03, 0x40, 0x00, 0x00, 0x00}), Dir::In, 128},
        {"VC_SYS_WriteMem",
         [](int p, std::uint8_t* b) { return VC_SYS_WriteMem(p, 3, 0x40010000, b, 128); },
         Bytes({0x87, 0x03, 0x40, 0x01, 0x00, 0x00}), Dir::Out, 128},
        {"VC_FLH_ReadId", [](int p, std::uint8_t* b) { return VC_FLH_ReadId(p, 1, 0x20, b, 1); },
         Bytes({0x88, 0x01, 0x20}), Dir::In, 1},
        {"VC_FLH_ReadPage", [a](int p, std::uint8_t* b) { return VC_FLH_ReadPage(p, a, b, 32); },
         withAddr(0x89), Dir::In, 32},
        {"VC_FLH_WritePages",
         [a](int p, std::uint8_t* b) { return VC_FLH_WritePages(p, a, 0x0F, b, 64); },
         withAddr(0x8A, {0x0F}), Dir::Out, 64},
        {"VC_FLH_EraseBlock",
         [](int p, std::uint8_t*) { return VC_FLH_EraseBlock(p, 4, 1, 0x0ABC); },
         Bytes({0x8B, 0x04, 0x01, 0x0A, 0xBC}), Dir::None, 0},
    };
}

std::vector<std::uint8_t> FullBlock(std::uint8_t pathByte, const std::vector<std::uint8_t>& tail) {
    std::vector<std::uint8_t> block(kVendorBlockSize, 0);
    block[0] = 0xFF;
    block[1] = pathByte;
    std::copy(tail.begin(), tail.end(), block.begin() + 2);
    return block;
}

TEST_F(VendorCommandsTest, EveryCommandBuildsItsBlockOnSataPath) {
    AttachSata();
    for (const CommandCase& c : CommandTable()) {
        backend.requests.clear();
        c.send(kSataPort, buffer.data());
        const std::size_t phases = c.dir == Dir::None ? 1 : 2;
        ASSERT_EQ(backend.requests.size(), phases) << c.name;
        const auto& command = backend.requests[0];
        ASSERT_EQ(command.dataOut.size(), 512u) << c.name;
        const std::vector<std::uint8_t> sent(command.dataOut.begin(),
                                             command.dataOut.begin() + kVendorBlockSize);
        EXPECT_EQ(sent, FullBlock(0xE5, c.block)) << c.name;
        if (phases == 2) {
            const auto& data = backend.requests[1];
            EXPECT_EQ(data.dataIn, c.dir == Dir::In) << c.name;
            EXPECT_EQ(data.cdb[4], static_cast<std::uint8_t>(c.sectors)) << c.name;
            EXPECT_EQ(data.cdb[5], c.block[0]) << c.name << ": LBA-low is the sub-code";
            EXPECT_EQ(data.length, c.sectors * 512) << c.name;
        }
    }
}

TEST_F(VendorCommandsTest, EveryCommandIsItsTwelveByteCdbOnUsbPath) {
    AttachUsb();
    for (const CommandCase& c : CommandTable()) {
        backend.requests.clear();
        c.send(kUsbPort, buffer.data());
        ASSERT_EQ(backend.requests.size(), 1u) << c.name;
        const auto& request = backend.requests[0];
        const auto full = FullBlock(0x04, c.block);
        EXPECT_EQ(request.cdb, std::vector<std::uint8_t>(full.begin(), full.begin() + 12))
            << c.name;
        EXPECT_EQ(request.dataIn, c.dir == Dir::In) << c.name;
        EXPECT_EQ(request.length, c.sectors * 512) << c.name;
    }
}

TEST_F(VendorCommandsTest, ProgramTypeOutsideOneToFourIsRefused) {
    AttachSata();
    EXPECT_EQ(VC_GDP_Exec(kSataPort, 0, 1), kCommandFailed);
    EXPECT_EQ(VC_GDP_Exec(kSataPort, 5, 1), kCommandFailed);
    EXPECT_TRUE(backend.requests.empty());
}

// The status sector as each path delivers it. On SataPath the command phase
// answers first, so the sector is the second reply.
TEST_F(VendorCommandsTest, StatusAnswersFollowTheSignatureRule) {
    AttachSata();
    AttachUsb();
    struct Case {
        const char* what;
        int port;
        CannedReply reply;
        int result;
        std::uint8_t value;  // expected when the result is 1; else the value stays 0x5A
    };
    const Case cases[] = {
        {"usb: byte 0", kUsbPort, {true, 0, 0, Bytes({0xAA, 0x01})}, 1, 0xAA},
        {"sata: byte 1 behind E5", kSataPort, {true, 0, 0, Bytes({0xE5, 0x00})}, 1, 0x00},
        {"sata: still working", kSataPort, {true, 0, 0, Bytes({0xE5, 0xAA})}, 1, 0xAA},
        {"sata: no signature", kSataPort, {true, 0, 0, Bytes({0x00, 0x01})}, 3, 0},
        {"sata: transport failure", kSataPort, {true, 5, 0, Bytes({0xE5, 0x01})}, 2, 0},
        {"usb: transport failure", kUsbPort, {false, 0, 0, {}}, 2, 0},
    };
    for (const Case& c : cases) {
        for (const bool readReg : {false, true}) {
            backend.replies.clear();
            if (c.port == kSataPort) {
                backend.replies.push_back(CannedReply{});
            }
            backend.replies.push_back(c.reply);
            std::uint8_t value = 0x5A;
            const int result =
                readReg ? VC_SYS_ReadReg(c.port, 0x1000, value) : VC_ST_GetReturn(c.port, value);
            EXPECT_EQ(result, c.result) << c.what << (readReg ? " (ReadReg)" : " (GetReturn)");
            if (c.result == 1) {
                EXPECT_EQ(value, c.value) << c.what;
            } else {
                EXPECT_EQ(value, 0x5A) << c.what;
            }
        }
    }
}

TEST_F(VendorCommandsTest, FlashDiagnosticResultIsByteOneOnlyBehindAOne) {
    AttachUsb();
    struct Case {
        std::vector<std::uint8_t> sector;
        std::uint8_t result;
    };
    const Case cases[] = {
        {Bytes({0x01, 0x13}), 0x13},
        {Bytes({0x02, 0x13}), 0xFF},
        {Bytes({0x00, 0x00}), 0xFF},
        {{}, 0xFF},  // nothing delivered: the zeroed sector
    };
    for (const Case& c : cases) {
        backend.fallback.data = c.sector;
        std::uint8_t result = 0;
        EXPECT_EQ(VC_TST_FlashDiagnostic(kUsbPort, 1, 0, result), kCommandOk);
        EXPECT_EQ(result, c.result);
    }
    backend.fallback = CannedReply{false, 0, 0, {}};
    std::uint8_t result = 0x42;
    EXPECT_EQ(VC_TST_FlashDiagnostic(kUsbPort, 1, 0, result), kCommandFailed);
    EXPECT_EQ(result, 0x42);
}

TEST_F(VendorCommandsTest, ControllerInfoHandsOverTheFirst104Bytes) {
    AttachUsb();
    std::vector<std::uint8_t> sector(512);
    for (std::size_t i = 0; i < sector.size(); ++i) {
        sector[i] = static_cast<std::uint8_t>(i + 1);
    }
    backend.fallback.data = sector;
    std::uint8_t info[kCtrlInfoSize] = {};
    ASSERT_EQ(VC_SYS_GetCtrlInfo(kUsbPort, info), kCommandOk);
    EXPECT_EQ(std::vector<std::uint8_t>(info, info + kCtrlInfoSize),
              std::vector<std::uint8_t>(sector.begin(), sector.begin() + kCtrlInfoSize));
    EXPECT_EQ(backend.requests[0].length, 512u) << "one whole sector is read";

    backend.fallback = CannedReply{false, 0, 0, {}};
    std::uint8_t kept[kCtrlInfoSize];
    std::fill(std::begin(kept), std::end(kept), 0x77);
    EXPECT_EQ(VC_SYS_GetCtrlInfo(kUsbPort, kept), kCommandFailed);
    EXPECT_EQ(kept[0], 0x77);
}

}  // namespace
}  // namespace kv
