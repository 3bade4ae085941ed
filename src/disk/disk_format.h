// The Disk Format test item: one FAT32 partition at LBA 63 and an empty FAT32
// file system, ready for the buyer or for an image copy.
#pragma once

#include <cstdint>

#include "device/ata_procedures.h"

namespace kv::disk {

// What the item leaves in the port's record.
struct DiskFormatOutcome {
    char driveLetter = 0;  // the volume's letter once it showed up
    bool formatted = false;
};

inline constexpr int kVolumeWaitAttempts = 101;
inline constexpr std::int64_t kVolumeWaitMs = 1000;

// Enters vendor mode (must succeed), makes the partition table (the plain MBR
// write on the older system), then waits up to 101 times one second on the
// port's clock for the new volume and formats it with `label`. `buffer` is the
// worker's 64 KiB buffer, used as scratch by the vendor-mode entry.
bool DiskFormat(int port, std::uint8_t* buffer, const char* label,
                EnterVendorModeFn enterVendorMode, DiskFormatOutcome& outcome);

}  // namespace kv::disk
