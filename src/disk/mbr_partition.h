// One primary FAT32 partition at LBA 63 over the whole disk, made through the
// system's disk layout calls on the drive's device path.
#pragma once

#include <string>

namespace kv::disk {

// The partition's type and first byte.
inline constexpr unsigned kFat32PartitionType = 0x0B;
inline constexpr unsigned long long kPartitionStartOffset = 0x7E00;

// The current systems' way: a new empty MBR table (signature 0), then one
// entry at 0x7E00 whose length ends on the last whole cylinder of the drive's
// sector count (`GetDeviceCapacity` of the port), then the layout re-read
// twice. False when a call fails or the drive is smaller than one cylinder.
bool CreateSinglePartition(const std::string& path, int port);

// The older system's way: the station's own MBR template written at offset 0,
// then the entry at 0x7E00 over all the geometry's cylinders.
bool WriteMbrAndPartition(const std::string& path);

// Whether the system needs the older way; asked of the platform.
bool IsWindows2000();

}  // namespace kv::disk
