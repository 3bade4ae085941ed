#include "device/ata_procedures.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/recording_platform.h"

namespace kv {
namespace {

using test::Bytes;
using test::CannedReply;

// Counts the vendor-mode entries and the requests sent before the first one.
struct VendorModeProbe {
    static inline int calls = 0;
    static inline std::uint8_t* buffer = nullptr;
    static inline test::RecordingPlatform* backend = nullptr;
    static inline std::size_t requestsBefore = 0;
    static bool Enter(int, std::uint8_t* scratch) {
        if (calls++ == 0) {
            requestsBefore = backend->requests.size();
        }
        buffer = scratch;
        return false;  // the item does not depend on it
    }
};

class AtaProceduresTest : public test::DeviceTest {
  protected:
    AtaProceduresTest() {
        VendorModeProbe::calls = 0;
        VendorModeProbe::buffer = nullptr;
        VendorModeProbe::backend = &backend;
    }
    std::vector<std::uint8_t> buffer = std::vector<std::uint8_t>(65536, 0);
};

void PutLe32(std::vector<std::uint8_t>& sector, std::size_t offset, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        sector[offset + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

TEST_F(AtaProceduresTest, SataCapacityFromTheIdentifyWords) {
    AttachSata();
    struct Case {
        std::uint32_t words60;
        std::uint32_t words100;
        std::uint32_t capacity;
    };
    const Case cases[] = {
        {0x0EE7C2B0, 0x12345678, 0x0EE7C2B0},  // 28-bit count in use
        {0x0FFFFFFF, 0x3B9E12B0, 0x3B9E12B0},  // large drive: the 48-bit count
        {0x0FFFFFFF, 0xFFFFFFFF, 0},
        {0x00000000, 0x3B9E12B0, 0},  // a loader answers capacity 0
    };
    for (const Case& c : cases) {
        std::vector<std::uint8_t> identify(512, 0);
        PutLe32(identify, 120, c.words60);
        PutLe32(identify, 200, c.words100);
        PutLe32(identify, 204, 0x00000001);  // high words are not part of the result
        backend.fallback.data = identify;
        EXPECT_EQ(GetDeviceCapacity(kSataPort), c.capacity) << std::hex << c.words60;
    }
    EXPECT_EQ(backend.requests.back().cdb[9], 0xEC);
    backend.fallback = CannedReply{false, 0, 0, {}};
    EXPECT_EQ(GetDeviceCapacity(kSataPort), 0u);
}

TEST_F(AtaProceduresTest, UsbCapacityIsTheReadCapacityValueAsIs) {
    AttachUsb();
    backend.fallback.data = Bytes({0x00, 0x0F, 0xFF, 0xFF, 0x00, 0x00, 0x02, 0x00});
    EXPECT_EQ(GetDeviceCapacity(kUsbPort), 0x000FFFFFu);
    EXPECT_EQ(GetCapacityMB(kUsbPort), 511u);
    EXPECT_EQ(GetCapacityBytes(kUsbPort), 0x000FFFFFull * 512);
    backend.fallback.data = Bytes({0xFF, 0xFF, 0xFF, 0xFE});
    EXPECT_EQ(GetCapacityBytes(kUsbPort), 0xFFFFFFFEull * 512) << "no 32-bit overflow";
    backend.fallback = CannedReply{true, 0, 0x02, {}};
    EXPECT_EQ(GetDeviceCapacity(kUsbPort), 0u);
}

TEST_F(AtaProceduresTest, SetMaxLbaPicksTheCommandPairByValue) {
    AttachSata();
    struct Case {
        std::uint64_t value;
        std::vector<std::uint8_t> readNativeMax;
        std::vector<std::uint8_t> setMax;
    };
    const auto rnm28 = Bytes({0xA1, 0x06, 0, 0, 0, 0, 0, 0, 0, 0xF8, 0, 0});
    const auto rnm48 = Bytes({0x85, 0x06, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x27, 0});
    const Case cases[] = {
        {0x0FFFFFFE, rnm28, Bytes({0xA1, 0x06, 0, 0, 0x01, 0xFD, 0xFF, 0xFF, 0xEF, 0xF9, 0, 0})},
        {0x0FFFFFFF, rnm48,
         Bytes({0x85, 0x07, 0, 0, 0, 0, 0x01, 0x0F, 0xFE, 0x00, 0xFF, 0x00, 0xFF, 0xE0, 0x37, 0})},
        {1, rnm28, Bytes({0xA1, 0x06, 0, 0, 0x01, 0x00, 0x00, 0x00, 0xE0, 0xF9, 0, 0})},
        {0x0000123456789ABCull, rnm48,
         Bytes({0x85, 0x07, 0, 0, 0, 0, 0x01, 0x56, 0xBB, 0x34, 0x9A, 0x12, 0x78, 0xE0, 0x37, 0})},
        {0x0001000000000000ull, rnm48,
         Bytes({0x85, 0x07, 0, 0, 0, 0, 0x01, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xE0, 0x37, 0})},
    };
    for (const Case& c : cases) {
        backend.requests.clear();
        VendorModeProbe::calls = 0;
        EXPECT_TRUE(SetMaxLba(kSataPort, buffer.data(), c.value, &VendorModeProbe::Enter))
            << std::hex << c.value;
        EXPECT_EQ(VendorModeProbe::calls, 1);
        EXPECT_EQ(VendorModeProbe::requestsBefore, 0u) << "vendor mode comes first";
        EXPECT_EQ(VendorModeProbe::buffer, buffer.data());
        ASSERT_EQ(backend.requests.size(), 2u) << std::hex << c.value;
        EXPECT_EQ(backend.requests[0].cdb, c.readNativeMax) << std::hex << c.value;
        EXPECT_EQ(backend.requests[1].cdb, c.setMax) << std::hex << c.value;
    }
}

TEST_F(AtaProceduresTest, SetMaxLbaRefusesValuesThatWouldWrap) {
    AttachSata();
    for (const std::uint64_t value : {0ull, 0x0001000000000001ull, ~0ull}) {
        EXPECT_FALSE(SetMaxLba(kSataPort, buffer.data(), value, &VendorModeProbe::Enter)) << value;
    }
    EXPECT_TRUE(backend.requests.empty());
    EXPECT_EQ(VendorModeProbe::calls, 0);
}

TEST_F(AtaProceduresTest, SetMaxLbaStopsAtTheFirstFailedCommand) {
    AttachSata();
    backend.replies = {CannedReply{true, 0, 0x02, {}}};
    EXPECT_FALSE(SetMaxLba(kSataPort, buffer.data(), 1000, &VendorModeProbe::Enter));
    EXPECT_EQ(backend.requests.size(), 1u) << "SET MAX ADDRESS only after READ NATIVE MAX";

    backend.requests.clear();
    backend.replies = {CannedReply{}, CannedReply{true, 0, 0x02, {}}};
    EXPECT_FALSE(SetMaxLba(kSataPort, buffer.data(), 1000, &VendorModeProbe::Enter))
        << "an aborted SET MAX ADDRESS fails the item";
    EXPECT_EQ(backend.requests.size(), 2u);
}

std::vector<std::uint8_t> SmartWithTemperatureAt(std::size_t entry, std::uint8_t degrees) {
    std::vector<std::uint8_t> smart(512, 0);
    smart[2] = 0x01;  // another attribute first
    smart[2 + 5] = 0x99;
    smart[2 + entry * 12] = 0xC2;
    smart[2 + entry * 12 + 5] = degrees;
    return smart;
}

TEST_F(AtaProceduresTest, CheckTemperatureComparesAttributeC2WithTheLimit) {
    AttachSata();
    struct Case {
        std::vector<std::uint8_t> smart;
        std::uint8_t limit;
        bool pass;
        std::uint8_t temperature;
    };
    const Case cases[] = {
        {SmartWithTemperatureAt(3, 0x2D), 45, true, 45},
        {SmartWithTemperatureAt(3, 0x2D), 44, false, 45},
        {SmartWithTemperatureAt(29, 0xF0), 0xFF, true, 0xF0},  // the last of 30 entries
        {SmartWithTemperatureAt(30, 0x50), 10, true, 0},       // beyond the table: not seen
        {std::vector<std::uint8_t>(512, 0), 0, true, 0},       // no temperature attribute
    };
    for (const Case& c : cases) {
        backend.fallback.data = c.smart;
        std::uint8_t temperature = 0x77;
        EXPECT_EQ(CheckTemperature(kSataPort, buffer.data(), c.limit, temperature,
                                   &VendorModeProbe::Enter),
                  c.pass)
            << int(c.limit);
        EXPECT_EQ(temperature, c.temperature);
    }
    EXPECT_EQ(backend.requests.back().cdb[9], 0xB0);
}

TEST_F(AtaProceduresTest, CheckTemperatureWithoutSmartData) {
    AttachSata();
    AttachUsb();
    backend.fallback = CannedReply{false, 0, 0, {}};
    std::uint8_t temperature = 0x77;
    EXPECT_FALSE(
        CheckTemperature(kSataPort, buffer.data(), 60, temperature, &VendorModeProbe::Enter))
        << "a failed SMART read on SataPath fails the item";
    EXPECT_EQ(temperature, 0);

    backend.requests.clear();
    temperature = 0x77;
    EXPECT_TRUE(
        CheckTemperature(kUsbPort, buffer.data(), 60, temperature, &VendorModeProbe::Enter));
    EXPECT_EQ(temperature, 0);
    EXPECT_TRUE(backend.requests.empty());
    EXPECT_EQ(VendorModeProbe::calls, 2);
}

TEST_F(AtaProceduresTest, NtfsPartitionNeedsTypeSevenAndTheBootSignature) {
    AttachSata();
    auto mbr = [](std::size_t typeOffset, std::uint8_t type, bool signature) {
        std::vector<std::uint8_t> sector(512, 0);
        sector[typeOffset] = type;
        if (signature) {
            sector[510] = 0x55;
            sector[511] = 0xAA;
        }
        return sector;
    };
    struct Case {
        std::vector<std::uint8_t> sector;
        bool ntfs;
    };
    const Case cases[] = {
        {mbr(450, 0x07, true), true},  {mbr(466, 0x07, true), true},
        {mbr(482, 0x07, true), true},  {mbr(498, 0x07, true), true},
        {mbr(450, 0x0C, true), false}, {mbr(450, 0x07, false), false},
        {mbr(451, 0x07, true), false},
    };
    for (const Case& c : cases) {
        backend.fallback.data = c.sector;
        EXPECT_EQ(HasNtfsPartition(kSataPort), c.ntfs);
    }
    EXPECT_EQ(backend.requests.back().cdb, Bytes({0x28, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0}));
    backend.fallback = CannedReply{false, 0, 0, mbr(450, 0x07, true)};
    EXPECT_FALSE(HasNtfsPartition(kSataPort));
}

TEST(SwapIdentifyStringTest, SwapsEveryBytePair) {
    std::string model = "oKvrna eVK5RX1S TAA";  // odd length: the last byte stays
    SwapIdentifyString(reinterpret_cast<std::uint8_t*>(model.data()), model.size());
    EXPECT_EQ(model, "Korvane KVR51X SATA");
    SwapIdentifyString(nullptr, 4);
}

}  // namespace
}  // namespace kv
