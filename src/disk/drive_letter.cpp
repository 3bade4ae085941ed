#include "disk/drive_letter.h"

#include <memory>

#include "platform/disk_access.h"
#include "platform/platform.h"

namespace kv::disk {

namespace {
constexpr platform::DiskOpenMode kQueryOnly{false, false, true, false, true};
}

bool FindDriveLetter(const std::string& path, char& letter) {
    letter = 0;
    platform::DiskAccess* disks = platform::Current().diskAccess();
    if (disks == nullptr) {
        return false;
    }
    std::uint32_t error = 0;
    platform::StorageDeviceNumber disk;
    {
        std::unique_ptr<platform::DiskHandle> handle = disks->OpenDisk(path, kQueryOnly, error);
        if (handle == nullptr || !disks->GetDeviceNumber(*handle, disk)) {
            return false;
        }
    }
    const char system = disks->SystemDriveLetter();
    for (const char candidate : disks->LogicalDrives()) {
        // Any volume name the platform lists; a fixture with more drives than
        // letters names the later volumes with other characters.
        if (candidate <= ' ' || candidate > '~' || candidate == system) {
            continue;
        }
        std::unique_ptr<platform::DiskHandle> volume =
            disks->OpenVolume(candidate, kQueryOnly, error);
        platform::StorageDeviceNumber number;
        if (volume != nullptr && disks->GetDeviceNumber(*volume, number) &&
            number.deviceType == disk.deviceType && number.deviceNumber == disk.deviceNumber) {
            letter = candidate;
            return true;
        }
    }
    return false;
}

}  // namespace kv::disk
