// Capacity, Set Max LBA, Check Temperature and the NTFS probe.
#include "device/ata_procedures.h"

#include <utility>

#include "device/ata_commands.h"
#include "device/loader_mode.h"
#include "device/port_device.h"
#include "device/transport.h"
#include "device/vendor_channel.h"

namespace kv {
namespace {

constexpr std::uint32_t kCapacityWordsUnused = 0x0FFFFFFF;  // words 60-61 of a large drive
constexpr std::uint32_t kCapacityUnreadable = 0xFFFFFFFF;
constexpr std::uint64_t kLba28Limit = 0x0FFFFFFF;
constexpr std::uint64_t kLba48Limit = 1ULL << 48;

// SMART data: 30 attribute entries of 12 bytes from byte 2.
constexpr std::size_t kSmartFirstEntry = 2;
constexpr std::size_t kSmartEntrySize = 12;
constexpr std::size_t kSmartEntryCount = 30;
constexpr std::size_t kSmartRawLowByte = 5;

// Partition table of sector 0.
constexpr std::size_t kPartitionTypeOffsets[] = {450, 466, 482, 498};
constexpr std::uint8_t kNtfsPartitionType = 0x07;
constexpr std::size_t kBootSignatureOffset = 510;
constexpr std::uint16_t kBootSignature = 0xAA55;

std::uint32_t Le32(const std::uint8_t* bytes) {
    return static_cast<std::uint32_t>(bytes[0]) | (static_cast<std::uint32_t>(bytes[1]) << 8) |
           (static_cast<std::uint32_t>(bytes[2]) << 16) |
           (static_cast<std::uint32_t>(bytes[3]) << 24);
}

std::uint32_t Be32(const std::uint8_t* bytes) {
    return (static_cast<std::uint32_t>(bytes[0]) << 24) |
           (static_cast<std::uint32_t>(bytes[1]) << 16) |
           (static_cast<std::uint32_t>(bytes[2]) << 8) | static_cast<std::uint32_t>(bytes[3]);
}

}  // namespace

std::uint32_t GetDeviceCapacity(int port) {
    std::uint8_t sector[kSectorSize] = {};
    if (PortDeviceTable().GetBusPath(port) == BusPath::UsbPath) {
        if (SCSI_ReadCapacity(port, sector, 1) != kCommandOk) {
            return 0;
        }
        return Be32(sector);
    }
    if (ATA_Identify(port, sector, 1) != kCommandOk) {
        return 0;
    }
    const std::uint32_t sectors28 = Le32(sector + kIdentifySectors28Offset);
    if (sectors28 != kCapacityWordsUnused) {
        return sectors28;
    }
    const std::uint32_t sectors48Low = Le32(sector + kIdentifySectors48Offset);
    return sectors48Low == kCapacityUnreadable ? 0 : sectors48Low;
}

std::uint64_t GetCapacityBytes(int port) {
    return static_cast<std::uint64_t>(GetDeviceCapacity(port)) * kSectorSize;
}

std::uint32_t GetCapacityMB(int port) {
    return GetDeviceCapacity(port) >> 11;
}

bool SetMaxLba(int port, std::uint8_t* buffer, std::uint64_t value,
               EnterVendorModeFn enterVendorMode) {
    if (value == 0 || value > kLba48Limit) {
        return false;
    }
    if (enterVendorMode != nullptr) {
        enterVendorMode(port, buffer);  // its answer does not decide the item
    }
    const std::uint64_t max = value - 1;
    // READ NATIVE MAX has to come directly before SET MAX ADDRESS.
    if ((value >> 32) != 0 || static_cast<std::uint32_t>(value) >= kLba28Limit) {
        return ATA_ReadNativeMaxExt(port) == kCommandOk &&
               ATA_SetMaxAddressExt(port, static_cast<std::uint32_t>(max),
                                    static_cast<std::uint16_t>(max >> 32)) == kCommandOk;
    }
    return ATA_ReadNativeMax(port) == kCommandOk &&
           ATA_SetMaxAddress(port, static_cast<std::uint32_t>(max) & 0x0FFFFFFF) == kCommandOk;
}

bool CheckTemperature(int port, std::uint8_t* buffer, std::uint8_t limit, std::uint8_t& temperature,
                      EnterVendorModeFn enterVendorMode) {
    if (enterVendorMode != nullptr) {
        enterVendorMode(port, buffer);
    }
    temperature = 0;
    if (ATA_SmartReadData(port, buffer, 1) != kCommandOk) {
        // Nothing is sent on a UsbPath port, so there is nothing to judge.
        return PortDeviceTable().GetBusPath(port) == BusPath::UsbPath;
    }
    for (std::size_t entry = 0; entry < kSmartEntryCount; ++entry) {
        const std::uint8_t* attribute = buffer + kSmartFirstEntry + entry * kSmartEntrySize;
        if (attribute[0] == kSmartTemperatureId) {
            temperature = attribute[kSmartRawLowByte];
            return limit >= temperature;
        }
    }
    return true;
}

bool SetMaxLba(int port, std::uint8_t* buffer, std::uint64_t value) {
    return SetMaxLba(port, buffer, value, &EnterVendorMode);
}

bool CheckTemperature(int port, std::uint8_t* buffer, std::uint8_t limit,
                      std::uint8_t& temperature) {
    return CheckTemperature(port, buffer, limit, temperature, &EnterVendorMode);
}

bool HasNtfsPartition(int port) {
    std::uint8_t sector[kSectorSize] = {};
    if (ATA_ReadSectors(port, sector, 1, 0) != kCommandOk) {
        return false;
    }
    const std::uint16_t signature = static_cast<std::uint16_t>(
        sector[kBootSignatureOffset] | (sector[kBootSignatureOffset + 1] << 8));
    if (signature != kBootSignature) {
        return false;
    }
    for (const std::size_t offset : kPartitionTypeOffsets) {
        if (sector[offset] == kNtfsPartitionType) {
            return true;
        }
    }
    return false;
}

void SwapIdentifyString(std::uint8_t* buffer, std::size_t length) {
    if (buffer == nullptr) {
        return;
    }
    for (std::size_t i = 0; i + 1 < length; i += 2) {
        std::swap(buffer[i], buffer[i + 1]);
    }
}

}  // namespace kv
