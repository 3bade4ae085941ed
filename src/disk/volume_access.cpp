#include "disk/volume_access.h"

#include <limits>

#include "platform/platform.h"

namespace kv::disk {

std::unique_ptr<platform::DiskHandle> OpenVolumeByLetter(char letter) {
    platform::DiskAccess* disks = platform::Current().diskAccess();
    if (disks == nullptr || letter == 0) {
        return nullptr;
    }
    platform::DiskOpenMode mode;
    switch (disks->GetDriveType(letter)) {
        case platform::DriveType::Removable:
        case platform::DriveType::Fixed:
            mode.write = true;
            break;
        case platform::DriveType::CdRom:
            mode.write = false;
            break;
        default:
            return nullptr;
    }
    mode.read = true;
    mode.shared = true;
    std::uint32_t error = 0;
    return disks->OpenVolume(letter, mode, error);
}

std::uint32_t UsedSpaceMB(char letter) {
    platform::DiskAccess* disks = platform::Current().diskAccess();
    std::uint64_t total = 0;
    std::uint64_t free = 0;
    if (letter == 0 || disks == nullptr || !disks->GetDiskFreeSpace(letter, total, free) ||
        free > total) {
        return 1;
    }
    const std::uint64_t used = ((total - free) >> 20) + 1;
    return used > std::numeric_limits<std::uint32_t>::max()
               ? std::numeric_limits<std::uint32_t>::max()
               : static_cast<std::uint32_t>(used);
}

}  // namespace kv::disk
