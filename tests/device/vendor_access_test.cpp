// The vendor access layer at byte level: what each operation sends, in which
// order, with which waits, and how it judges the answers. Waits run on a
// virtual clock that only records them.
#include "device/vendor_access.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "device/vendor_access_geometry.h"
#include "device/vendor_access_wait.h"
#include "support/recording_platform.h"

namespace kv {
namespace {

using test::CannedReply;
using test::RecordedRequest;

// Records every wait and lets no real time pass.
class RecordingClock final : public platform::Clock {
  public:
    std::int64_t NowMs() override { return now; }
    bool SleepMs(std::int64_t ms, const std::atomic<bool>* cancel) override {
        if (cancel != nullptr && cancel->load()) {
            return false;
        }
        waits.push_back(ms);
        now += ms;
        if (onWait) {
            onWait();
        }
        return cancel == nullptr || !cancel->load();
    }
    std::int64_t now = 0;
    std::vector<std::int64_t> waits;
    std::function<void()> onWait;
};

class ClockedRecorder final : public test::RecordingPlatform {
  public:
    platform::Clock& clock() override { return virtualClock; }
    RecordingClock virtualClock;
};

// A vendor block as one of the SataPath carrier's command sectors shows it.
struct SentBlock {
    std::vector<std::uint8_t> bytes;  // the first 17 bytes of the command sector
    std::uint32_t dataLength = 0;     // byte count of the data phase that followed (0: none)
    const void* dataBuffer = nullptr;
    std::vector<std::uint8_t> dataOut;
};

bool IsCommandSector(const RecordedRequest& r) {
    return r.cdb.size() == 12 && r.cdb[0] == 0xA1 && !r.dataIn && r.cdb[5] == 0xFF &&
           r.dataOut.size() == 512;
}

std::uint32_t Be32At(const std::vector<std::uint8_t>& b, std::size_t at) {
    return (static_cast<std::uint32_t>(b[at]) << 24) |
           (static_cast<std::uint32_t>(b[at + 1]) << 16) |
           (static_cast<std::uint32_t>(b[at + 2]) << 8) | b[at + 3];
}

class VendorAccessTest : public ::testing::Test {
  protected:
    static constexpr int kPort = 6;

    VendorAccessTest() {
        platform::SetCurrent(&backend);
        PortDeviceTable().ClearAll();
        SetVendorBusMode(2);
        SetKeepVendorBusMode1(false);
        SetKeepWaitingLimitMs(0);
        SetVaFlashGeometryAll({});
    }
    ~VendorAccessTest() override {
        SetPortCancelFlag(kPort, nullptr);
        SetKeepWaitingLimitMs(0);
        SetVaFlashGeometryAll({});
        PortDeviceTable().ClearAll();
        platform::SetCurrent(nullptr);
    }

    void AttachSata() { PortDeviceTable().Set(kPort, test::kSataDrivePath, BusPath::SataPath); }
    void AttachUsb() { PortDeviceTable().Set(kPort, test::kUsbDrivePath, BusPath::UsbPath); }
    void Geometry(std::uint8_t channels, std::uint8_t spp) {
        VaFlashGeometry g;
        g.Channels = channels;
        g.SectorsPerPage = spp;
        SetVaFlashGeometry(kPort, g);
    }

    // The blocks sent on the SataPath carrier, each with its data phase.
    std::vector<SentBlock> Blocks() const {
        std::vector<SentBlock> out;
        for (const RecordedRequest& r : backend.requests) {
            if (IsCommandSector(r)) {
                out.push_back({{r.dataOut.begin(), r.dataOut.begin() + 17}, 0, nullptr, {}});
            } else if (!out.empty() && r.cdb.size() == 12 && r.cdb[0] == 0xA1 &&
                       r.cdb[5] == out.back().bytes[2]) {
                out.back().dataLength = r.length;
                out.back().dataBuffer = r.buffer;
                out.back().dataOut = r.dataOut;
            }
        }
        return out;
    }
    bool Traced(const std::string& text) const {
        for (const std::string& t : backend.traces) {
            if (t.find(text) != std::string::npos) {
                return true;
            }
        }
        return false;
    }
    // SataPath status sectors: 0xE5 and the status for every status read.
    void AnswerStatus(std::function<std::uint8_t(int read)> status) {
        backend.answer = [this, status](const RecordedRequest& r) {
            CannedReply reply;
            if (r.dataIn && r.cdb[5] == 0x00) {
                reply.data = {0xE5, status(statusReads++)};
            }
            return reply;
        };
    }
    int StatusReads() const {
        int n = 0;
        for (const SentBlock& b : Blocks()) {
            n += b.bytes[2] == 0x00 && b.dataLength == 512 ? 1 : 0;
        }
        return n;
    }

    ClockedRecorder backend;
    int statusReads = 0;
};

// --- page writes ---

struct WriteCase {
    const char* name;
    std::uint8_t spp;
    std::uint32_t totalSectors;
    std::uint16_t block;
    std::vector<std::uint8_t> masks;
    std::vector<std::uint32_t> offsets;  // controller buffer offsets (bytes 12-15)
    std::vector<std::uint32_t> sectors;  // per chunk
};

class VendorAccessWriteTest : public VendorAccessTest,
                              public ::testing::WithParamInterface<WriteCase> {};

TEST_P(VendorAccessWriteTest, ChunksCarryTheirPagesMaskAndOffset) {
    const WriteCase& c = GetParam();
    AttachSata();
    Geometry(8, c.spp);
    std::vector<std::uint8_t> data(c.totalSectors * 512);
    for (std::size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<std::uint8_t>(i / 512);
    }
    FlashAddress address;
    address.Channel = 8;
    address.Bank = 1;
    address.Block = c.block;
    address.Page = 0x0102;
    address.Options[0] = 0x11;
    address.Options[1] = 0x22;
    address.Options[2] = 0x33;
    ASSERT_TRUE(VA_WritePages(kPort, address, data, c.totalSectors));
    const std::vector<SentBlock> blocks = Blocks();
    ASSERT_EQ(blocks.size(), c.masks.size());
    std::uint32_t sectorIndex = 0;
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        const std::vector<std::uint8_t>& b = blocks[i].bytes;
        EXPECT_EQ(b[2], 0x8A);
        EXPECT_EQ(b[4], 1);
        EXPECT_EQ((b[5] << 8) | b[6], c.block);
        EXPECT_EQ((b[7] << 8) | b[8], 0x0102);
        EXPECT_EQ(b[9], 0x11);
        EXPECT_EQ(b[10], 0x22);
        EXPECT_EQ(b[11], 0x33);
        EXPECT_EQ(Be32At(b, 12), c.offsets[i]) << "chunk " << i;
        EXPECT_EQ(b[16], c.masks[i]) << "chunk " << i;
        EXPECT_EQ(blocks[i].dataLength, c.sectors[i] * 512) << "chunk " << i;
        // Each chunk carries the data from its first page on.
        ASSERT_FALSE(blocks[i].dataOut.empty());
        EXPECT_EQ(blocks[i].dataOut[0], static_cast<std::uint8_t>(sectorIndex));
        sectorIndex += c.sectors[i];
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, VendorAccessWriteTest,
    ::testing::Values(
        WriteCase{"TwoChunksOfFourPages", 32, 256, 4, {0x0F, 0xF0}, {0, 65536}, {128, 128}},
        WriteCase{"OddBlockStartsInTheSecondHalf", 32, 64, 5, {0x03}, {32 * 4096}, {64}},
        WriteCase{
            "PagesFromIndexEightAddNothing", 16, 256, 2, {0xFF, 0x00}, {0, 65536}, {128, 128}},
        WriteCase{"ShortLastChunk", 32, 160, 0, {0x0F, 0x10}, {0, 65536}, {128, 32}}),
    [](const ::testing::TestParamInfo<WriteCase>& caseInfo) { return caseInfo.param.name; });

TEST_F(VendorAccessTest, WritePagesStopsAtTheFirstFailingChunk) {
    AttachSata();
    Geometry(4, 32);
    int commandSectors = 0;
    backend.answer = [&commandSectors](const RecordedRequest& r) {
        CannedReply reply;
        if (IsCommandSector(r)) {
            ++commandSectors;
        } else if (commandSectors == 1) {
            reply.callOk = false;  // the first chunk's data phase fails
        }
        return reply;
    };
    std::vector<std::uint8_t> data(256 * 512);
    EXPECT_FALSE(VA_WritePages(kPort, FlashAddress{}, data, 256));
    EXPECT_EQ(commandSectors, 1);
}

TEST_F(VendorAccessTest, PageLoopsRefuseWhatTheirBufferOrGeometryCannotHold) {
    AttachSata();
    std::vector<std::uint8_t> data(64 * 512);
    FlashAddress all;
    all.Channel = 4;
    // No geometry yet.
    EXPECT_FALSE(VA_ReadPages(kPort, all, data, false));
    EXPECT_FALSE(VA_WritePages(kPort, all, data, 64));
    Geometry(4, 32);
    // Four channels of 32 sectors need 64 KiB; the buffer holds 32 KiB.
    EXPECT_FALSE(VA_ReadPages(kPort, all, data, false));
    EXPECT_FALSE(VA_WritePages(kPort, all, data, 128));
    EXPECT_FALSE(VA_ReadFlashData(kPort, all, data, 65));
    EXPECT_FALSE(VA_ReadSysArea(kPort, 1, 2, 0, 3, 0, 0, data, 128));
    EXPECT_TRUE(backend.requests.empty());
}

// --- page reads ---

TEST_F(VendorAccessTest, ReadPagesVisitsEveryChannelIntoItsSlice) {
    AttachSata();
    Geometry(4, 16);
    std::vector<std::uint8_t> data(4 * 16 * 512);
    FlashAddress address;
    address.Channel = 4;  // the channel count: all channels
    address.Bank = 2;
    address.Block = 7;  // odd: the controller's second half
    address.Page = 9;
    address.Options[0] = 3;
    ASSERT_TRUE(VA_ReadPages(kPort, address, data, false));
    const std::vector<SentBlock> blocks = Blocks();
    ASSERT_EQ(blocks.size(), 4u);
    for (int c = 0; c < 4; ++c) {
        const std::vector<std::uint8_t>& b = blocks[static_cast<std::size_t>(c)].bytes;
        EXPECT_EQ(b[2], 0x89);
        EXPECT_EQ(b[3], c);
        EXPECT_EQ(b[4], 2);
        EXPECT_EQ(b[6], 7);
        EXPECT_EQ(b[8], 9);
        EXPECT_EQ(b[9], 3);
        EXPECT_EQ(Be32At(b, 12), 16u * 4096 + static_cast<std::uint32_t>(c) * 16 * 512);
        EXPECT_EQ(blocks[static_cast<std::size_t>(c)].dataLength, 16u * 512);
        EXPECT_EQ(blocks[static_cast<std::size_t>(c)].dataBuffer,
                  data.data() + static_cast<std::size_t>(c) * 16 * 512);
    }
}

TEST_F(VendorAccessTest, ReadPagesOfOneChannelUsesTheRdtReadWhenAsked) {
    AttachSata();
    Geometry(4, 16);
    std::vector<std::uint8_t> data(4 * 16 * 512);
    FlashAddress address;
    address.Channel = 2;
    address.Block = 6;
    ASSERT_TRUE(VA_ReadPages(kPort, address, data, true));
    const std::vector<SentBlock> blocks = Blocks();
    ASSERT_EQ(blocks.size(), 1u);
    EXPECT_EQ(blocks[0].bytes[2], 0x0D);
    EXPECT_EQ(blocks[0].bytes[3], 2);
    EXPECT_EQ(Be32At(blocks[0].bytes, 12), 2u * 16 * 512);
    EXPECT_EQ(blocks[0].dataBuffer, data.data() + 2 * 16 * 512);
}

TEST_F(VendorAccessTest, ReadFlashDataUsesTheChannelsStride) {
    AttachSata();
    std::vector<std::uint8_t> data(10 * 512);
    FlashAddress address;
    address.Channel = 3;
    ASSERT_TRUE(VA_ReadFlashData(kPort, address, data, 10));
    const std::vector<SentBlock> blocks = Blocks();
    ASSERT_EQ(blocks.size(), 1u);
    EXPECT_EQ(blocks[0].bytes[2], 0x09);
    EXPECT_EQ(Be32At(blocks[0].bytes, 12), 3u * 32768);
    EXPECT_EQ(blocks[0].dataBuffer, data.data());
    EXPECT_EQ(blocks[0].dataLength, 10u * 512);
}

TEST_F(VendorAccessTest, ReadSysAreaClearsOnlyWhatItReadsAndReportsAFailedChunk) {
    AttachSata();
    Geometry(4, 32);
    std::vector<std::uint8_t> data(256 * 512, 0x77);
    int dataPhases = 0;
    backend.answer = [&dataPhases](const RecordedRequest& r) {
        CannedReply reply;
        if (r.dataIn && r.cdb[5] == 0x04 && ++dataPhases == 2) {
            reply.callOk = false;
        }
        return reply;
    };
    EXPECT_FALSE(VA_ReadSysArea(kPort, 5, 0x0203, 1, 4, 8, 9, data, 160));
    const std::vector<SentBlock> blocks = Blocks();
    ASSERT_EQ(blocks.size(), 2u);
    const std::vector<std::uint8_t>& b = blocks[0].bytes;
    EXPECT_EQ(b[2], 0x04);
    EXPECT_EQ(b[3], 0xFF);
    EXPECT_EQ(b[4], 5);
    EXPECT_EQ((b[5] << 8) | b[6], 0x0203);
    EXPECT_EQ((b[7] << 8) | b[8], 4);
    EXPECT_EQ(b[9], 8);
    EXPECT_EQ(b[10], 9);
    EXPECT_EQ(Be32At(b, 12), 32u * 4096);
    EXPECT_EQ(Be32At(blocks[1].bytes, 12), 32u * 4096 + 4 * 32 * 512);
    EXPECT_EQ(blocks[1].dataLength, 32u * 512);
    // 160 sectors were cleared; the bytes after them are the caller's.
    EXPECT_EQ(data[160 * 512 - 1], 0);
    EXPECT_EQ(data[160 * 512], 0x77);
}

// --- programs and status polling ---

TEST_F(VendorAccessTest, ExecProgRefusesTypesOutsideOneToFour) {
    AttachSata();
    std::uint8_t status = 0;
    for (int type : {0, 5, -1}) {
        EXPECT_FALSE(VA_GDP_ExecProg(kPort, type, 0, status, true)) << type;
    }
    EXPECT_TRUE(backend.requests.empty());
    EXPECT_TRUE(backend.traces.empty());
}

TEST_F(VendorAccessTest, ExecProgDeliversTheStatusOnceTheProgramEnds) {
    AttachSata();
    AnswerStatus([](int read) { return read < 2 ? 0xAA : 0x0E; });
    std::uint8_t status = 0;
    ASSERT_TRUE(VA_GDP_ExecProg(kPort, 3, 0x5C, status, true));
    EXPECT_EQ(status, 0x0E);
    const std::vector<SentBlock> blocks = Blocks();
    ASSERT_FALSE(blocks.empty());
    EXPECT_EQ(blocks[0].bytes[2], 3);
    EXPECT_EQ(blocks[0].bytes[3], 0x5C);
    EXPECT_EQ(blocks[0].dataLength, 0u);
    EXPECT_EQ(StatusReads(), 3);
    EXPECT_EQ(backend.virtualClock.waits, (std::vector<std::int64_t>{30, 3000, 3000}));
}

TEST_F(VendorAccessTest, ExecProgWithoutKeepWaitingFailsAfterOneReadAndOneWait) {
    AttachSata();
    AnswerStatus([](int) { return 0xAA; });
    std::uint8_t status = 0;
    EXPECT_FALSE(VA_GDP_ExecProg(kPort, 1, 0, status, false));
    EXPECT_EQ(StatusReads(), 1);
    EXPECT_EQ(backend.virtualClock.waits, (std::vector<std::int64_t>{30, 3000}));
    EXPECT_TRUE(Traced("FAILED(VA_GDP_ExecProg)\r\n"));
}

TEST_F(VendorAccessTest, KeepWaitingEndsAtItsLimitAndAtTheCutOff) {
    AttachSata();
    AnswerStatus([](int) { return 0xAA; });
    SetKeepWaitingLimitMs(30000);
    std::uint8_t status = 0;
    EXPECT_FALSE(VA_GDP_ExecProg(kPort, 1, 0, status, true));
    EXPECT_EQ(StatusReads(), 10);
    EXPECT_TRUE(Traced("FAILED(VA_GDP_ExecProg)\r\n"));

    // A cut-off during the polls ends them at once.
    backend.requests.clear();
    backend.virtualClock.waits.clear();
    SetKeepWaitingLimitMs(0);
    std::atomic<bool> cancel{false};
    SetPortCancelFlag(kPort, &cancel);
    backend.virtualClock.onWait = [this, &cancel] {
        if (backend.virtualClock.waits.size() == 4) {
            cancel = true;
        }
    };
    EXPECT_FALSE(VA_ST_WaitReturn(kPort, status, true));
    EXPECT_EQ(backend.virtualClock.waits.size(), 4u);
    EXPECT_TRUE(Traced("FAILED(VA_ST_WaitReturn)\r\n"));
}

TEST_F(VendorAccessTest, StatusWithoutSignatureLogsTheFileNameLine) {
    AttachSata();
    backend.answer = [](const RecordedRequest& r) {
        CannedReply reply;
        if (r.dataIn && r.cdb[5] == 0x00) {
            reply.data = {0x00, 0x0E};  // no 0xE5: answer 3
        }
        return reply;
    };
    std::uint8_t status = 0;
    EXPECT_FALSE(VA_GDP_ExecProg(kPort, 4, 0, status, true));
    EXPECT_TRUE(
        Traced("FileName = ..\\..\\KVLib\\V_Access, Function = VA_GDP_ExecProg, "
               "Line = 127, nRet = 3\r\n"));
    EXPECT_TRUE(Traced("FAILED(VA_GDP_ExecProg)\r\n"));
    EXPECT_EQ(StatusReads(), 1);
}

// --- vendor mode steps ---

TEST_F(VendorAccessTest, EnableVendorCmdWaitsThenSwitchesTheFeatureOn) {
    AttachSata();
    ASSERT_TRUE(VA_EnableVendorCmd(kPort, 2));
    ASSERT_EQ(backend.requests.size(), 2u);
    EXPECT_EQ(backend.requests[0].dataOut[2], 0x83);
    EXPECT_EQ(backend.requests[0].dataOut[3], 2);
    // SET FEATURES 0xDC, count 0x4B.
    const std::vector<std::uint8_t>& cdb = backend.requests[1].cdb;
    EXPECT_EQ(cdb[3], 0xDC);
    EXPECT_EQ(cdb[4], 0x4B);
    EXPECT_EQ(backend.virtualClock.waits, (std::vector<std::int64_t>{500}));

    // A refused enable stops at once and says nothing.
    backend.requests.clear();
    backend.fallback.callOk = false;
    EXPECT_FALSE(VA_EnableVendorCmd(kPort, 1));
    EXPECT_EQ(backend.requests.size(), 1u);
    EXPECT_FALSE(Traced("FAILED(VA_EnableVendorCmd)"));
}

TEST_F(VendorAccessTest, CodeWindowAddressesCarryBitThirty) {
    AttachUsb();
    std::vector<std::uint8_t> code(4 * 512, 0x3C);
    ASSERT_TRUE(VA_WriteCodeToMem(kPort, code, 4, 0x00012000));
    ASSERT_TRUE(VA_ReadCodeFromMem(kPort, code, 4, 0x00012000));
    ASSERT_EQ(backend.requests.size(), 2u);
    EXPECT_EQ(backend.requests[0].cdb,
              test::Bytes({0xFF, 0x04, 0x87, 3, 0x40, 0x01, 0x20, 0x00, 0, 0, 0, 0}));
    EXPECT_EQ(backend.requests[1].cdb,
              test::Bytes({0xFF, 0x04, 0x86, 3, 0x40, 0x01, 0x20, 0x00, 0, 0, 0, 0}));
    EXPECT_FALSE(VA_WriteCodeToMem(kPort, code, 5, 0));  // more than the buffer holds
    EXPECT_TRUE(Traced("FAILED(VA_WriteCodeToMem)\r\n"));
}

// --- diagnostics ---

TEST_F(VendorAccessTest, FlashDiagnosticPassesOnlyOnResultFF) {
    AttachUsb();
    struct Case {
        std::vector<std::uint8_t> answer;
        bool passes;
        std::uint8_t result;
    };
    const Case cases[] = {
        {{1, 0x40}, false, 0x40},
        {{1, 0xFF}, true, 0xFF},
        {{2, 0x13}, true, 0xFF},  // byte 0 other than 1: the result reads 0xFF
    };
    for (const Case& c : cases) {
        backend.traces.clear();
        backend.fallback.data = c.answer;
        std::uint8_t result = 0;
        EXPECT_EQ(VA_FlashDiagnostic(kPort, 2, 602, result), c.passes);
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(Traced("FAILED(VA_FlashDiagnostic)\r\n"), !c.passes);
    }
    EXPECT_EQ(backend.requests[0].cdb,
              test::Bytes({0xFF, 0x04, 0x21, 2, 0x02, 0x5A, 0, 0, 0, 0, 0, 0}));
}

// The controller's buffer as a UsbPath drive keeps it: reads give back the
// last write, with one word spoiled in the pass named.
class BufferEcho {
  public:
    explicit BufferEcho(test::RecordingPlatform& backend, int spoiledPass = -1) {
        backend.answer = [this, spoiledPass](const RecordedRequest& r) {
            CannedReply reply;
            if (r.cdb[2] == 0x24) {
                kept_ = r.dataOut;
                seeds.push_back(static_cast<std::uint16_t>(kept_[0] | (kept_[1] << 8)));
            } else if (r.cdb[2] == 0x23) {
                reply.data = kept_;
                if (static_cast<int>(seeds.size()) - 1 == spoiledPass) {
                    reply.data[2 * 9000] ^= 0x01;
                }
            }
            return reply;
        };
    }
    std::vector<std::uint16_t> seeds;  // the first word of every write

  private:
    std::vector<std::uint8_t> kept_;
};

TEST_F(VendorAccessTest, BufferTestWritesTenSeedsAndReadsEachBack) {
    AttachUsb();
    BufferEcho echo(backend);
    std::vector<std::uint8_t> buffer(65536);
    ASSERT_TRUE(VA_BufferTest(kPort, buffer, 1));
    std::vector<std::uint16_t> expected;
    for (int p = 0; p < 10; ++p) {
        expected.push_back(static_cast<std::uint16_t>(4096 + 11 * p));
    }
    EXPECT_EQ(echo.seeds, expected);
    EXPECT_EQ(backend.requests[0].cdb,
              test::Bytes({0xFF, 0x04, 0x24, 1, 0xB0, 0x08, 0x40, 0x00, 0, 0, 0, 0}));
    EXPECT_EQ(backend.requests[0].length, 32768u);
    // The pattern runs on past 16 bits: word i = seed + i mod 65536.
    const std::vector<std::uint8_t>& last = backend.requests[18].dataOut;
    const std::size_t i = 16383;
    EXPECT_EQ(last[2 * i] | (last[2 * i + 1] << 8), (4195 + 16383) & 0xFFFF);
}

TEST_F(VendorAccessTest, BufferTestEndsAtAWrongWordInPassFour) {
    AttachUsb();
    BufferEcho echo(backend, 4);
    std::vector<std::uint8_t> buffer(32768);
    EXPECT_FALSE(VA_BufferTest(kPort, buffer, 0));
    EXPECT_EQ(echo.seeds.size(), 5u);
    EXPECT_EQ(backend.requests.size(), 10u);
    EXPECT_FALSE(Traced("FAILED("));  // a wrong word is not logged
}

}  // namespace
}  // namespace kv
