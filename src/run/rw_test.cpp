#include "run/rw_test.h"

#include <cstring>
#include <memory>

#include "device/ata_commands.h"
#include "device/rw_error_record.h"
#include "device/transport.h"
#include "platform/platform.h"

namespace kv {

namespace {

constexpr std::uint32_t kWordsPerSector = kSectorSize / 2;
constexpr std::uint32_t kSectorsPerGiB = 2097152;
constexpr std::int64_t kSettleMs = 10;
constexpr int kAtaOk = 1;

// The (count, offset) runs of every sampled GiB, in order.
struct Run {
    std::uint32_t count;
    std::uint32_t offset;
};
constexpr Run kRuns[] = {
    {128, 0},   {128, 0},     {128, 128},   {128, 128}, {128, 256},   {128, 256},   {1, 150},
    {1, 150},   {1, 180000},  {5, 100033},  {4, 80058}, {26, 5000},   {5, 100033},  {1, 180000},
    {26, 5000}, {126, 15000}, {33, 154900}, {4, 80058}, {126, 15000}, {33, 154900},
};

std::uint16_t Word(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

bool IsFatBootSector(const std::uint8_t* s) {
    return s[0] == 0xEB && s[2] == 0x90 && s[66] == 0x29 && s[510] == 0x55 && s[511] == 0xAA;
}

}  // namespace

void FillSectorPattern(std::uint8_t* buffer, std::uint32_t lba, std::uint32_t words) {
    std::uint16_t value = static_cast<std::uint16_t>(lba * kWordsPerSector);
    for (std::uint32_t i = 0; i < words; ++i, ++value) {
        buffer[2 * i] = static_cast<std::uint8_t>(value);
        buffer[2 * i + 1] = static_cast<std::uint8_t>(value >> 8);
    }
}

bool SectorPatternTest(int port, std::uint8_t* buffer, std::uint32_t count, std::uint32_t lba) {
    if (buffer == nullptr || count == 0 || count > kRwTestBufferSectors) {
        return false;
    }
    const std::uint32_t words = count * kWordsPerSector;
    FillSectorPattern(buffer, lba, words);
    if (ATA_WriteSectors(port, buffer, count, lba) != kAtaOk) {
        return false;
    }
    std::memset(buffer, 0, static_cast<std::size_t>(count) * kSectorSize);
    if (ATA_FlushCache(port) != kAtaOk) {
        return false;
    }
    platform::Current().portClock(port).SleepMs(kSettleMs);
    if (ATA_ReadSectors(port, buffer, count, lba) != kAtaOk) {
        return false;
    }
    std::uint16_t expected = static_cast<std::uint16_t>(lba * kWordsPerSector);
    for (std::uint32_t i = 0; i < words; ++i, ++expected) {
        const std::uint16_t got = Word(buffer + 2 * i);
        if (got != expected) {
            RwErrorRecord record;
            record.Kind = kRwCompareFailed;
            record.Lba = lba;
            record.Expected = expected;
            record.Received = got;
            record.WordOffset = i;
            StoreRwErrorRecord(buffer, record);
            return false;
        }
    }
    return true;
}

bool RWTest(int port, std::uint8_t* buffer, EnterVendorModeFn enterVendorMode) {
    if (buffer == nullptr) {
        return false;
    }
    if (enterVendorMode != nullptr) {
        enterVendorMode(port, buffer);
    }
    const std::uint32_t gib = GetCapacityMB(port) >> 10;
    const std::uint32_t step = gib / 16 + 1;
    for (std::uint32_t g = 0; g < gib; g += step) {
        const std::uint32_t base = g * kSectorsPerGiB;
        for (const Run& run : kRuns) {
            if (!SectorPatternTest(port, buffer, run.count, base + run.offset)) {
                return false;
            }
        }
    }
    // A drive that reports no sectors has no last sector to test.
    const std::uint32_t sectors = GetDeviceCapacity(port);
    if (sectors == kRwTestRefusedSectors || sectors == 0) {
        return false;
    }
    std::memset(buffer, 0xFF, kSectorSize);
    if (ATA_WriteSectors(port, buffer, 1, 0) != kAtaOk) {
        return false;
    }
    if (!SectorPatternTest(port, buffer, 1, sectors - 1)) {
        return false;
    }
    return ATA_FlushCache(port) == kAtaOk;
}

bool CheckImgPattern(const std::string& path) {
    constexpr std::uint32_t kBytes = 65536;
    std::unique_ptr<std::uint8_t[]> buffer(new std::uint8_t[kBytes]());
    bool lastRead = ReadSectorsByPath(path, buffer.get(), 0, kBytes) == 1;
    if (buffer[0] != 0xEB) {
        lastRead = ReadSectorsByPath(path, buffer.get(), 63, kBytes) == 1;
    }
    const bool signed55AA = buffer[510] == 0x55 && buffer[511] == 0xAA;
    return (lastRead && signed55AA) || IsFatBootSector(buffer.get());
}

}  // namespace kv
