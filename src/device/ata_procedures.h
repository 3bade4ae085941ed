// Small procedures on the standard commands: capacity, the Set Max LBA and
// Check Temperature items, the NTFS partition probe and the byte order of
// IDENTIFY strings.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kv {

// Switches a loader drive into vendor mode before the commands of an item;
// the worker passes the loader-mode entry of the device layer. `buffer` is
// scratch of at least 64 KiB.
using EnterVendorModeFn = bool (*)(int port, std::uint8_t* buffer);

// Byte offsets in the 512-byte IDENTIFY data.
inline constexpr std::size_t kIdentifySerialOffset = 20;  // words 10-19
inline constexpr std::size_t kIdentifySerialLength = 20;
inline constexpr std::size_t kIdentifyFirmwareOffset = 46;  // words 23-26
inline constexpr std::size_t kIdentifyFirmwareLength = 8;
inline constexpr std::size_t kIdentifyModelOffset = 54;  // words 27-46
inline constexpr std::size_t kIdentifyModelLength = 40;
inline constexpr std::size_t kIdentifySectors28Offset = 120;  // words 60-61
inline constexpr std::size_t kIdentifySectors48Offset = 200;  // words 100-103

// The SMART attribute that carries the drive's temperature.
inline constexpr std::uint8_t kSmartTemperatureId = 0xC2;

// Sector count of the drive (UsbPath: READ CAPACITY's last-LBA value as it
// is; SataPath: IDENTIFY words 60-61, or the low half of words 100-103 when
// words 60-61 read 0x0FFFFFFF); 0 when it cannot be read.
std::uint32_t GetDeviceCapacity(int port);
std::uint64_t GetCapacityBytes(int port);
std::uint32_t GetCapacityMB(int port);

// The Set Max LBA item: the drive's last address becomes value − 1, by the
// 28-bit command pair below 0x0FFFFFFF sectors and the 48-bit pair from
// there. A value of 0, or one beyond the 48-bit address range, fails with
// nothing sent (the address would wrap and clip the drive).
bool SetMaxLba(int port, std::uint8_t* buffer, std::uint64_t value,
               EnterVendorModeFn enterVendorMode);
// The same with the device layer's own `EnterVendorMode`.
bool SetMaxLba(int port, std::uint8_t* buffer, std::uint64_t value);

// The Check Temperature item: SMART READ DATA into `buffer` (512 bytes), the
// temperature from attribute 0xC2; true when it is at most `limit`. No
// temperature attribute: temperature 0, true. A failed SMART read on a
// SataPath port fails the item (temperature 0); on a UsbPath port, where
// nothing is sent, it passes.
bool CheckTemperature(int port, std::uint8_t* buffer, std::uint8_t limit, std::uint8_t& temperature,
                      EnterVendorModeFn enterVendorMode);
// The same with the device layer's own `EnterVendorMode`.
bool CheckTemperature(int port, std::uint8_t* buffer, std::uint8_t limit,
                      std::uint8_t& temperature);

// True when sector 0 holds a partition table (0xAA55 at 510) with an entry
// of type 0x07.
bool HasNtfsPartition(int port);

// Swaps the two bytes of every 16-bit word in place; an odd last byte stays.
void SwapIdentifyString(std::uint8_t* buffer, std::size_t length);

}  // namespace kv
