#include "disk/mbr_partition.h"

#include <cstdint>
#include <memory>

#include "device/ata_procedures.h"
#include "disk/mbr_boot_code.h"
#include "platform/disk_access.h"
#include "platform/platform.h"

namespace kv::disk {

namespace {

using platform::DiskAccess;
using platform::DiskHandle;

constexpr platform::DiskOpenMode kReadWriteShared{true, true, true, false, false};

// The first entry as both layout calls set it.
void FillEntry(platform::PartitionInfo& entry, std::uint64_t length) {
    entry.startingOffset = kPartitionStartOffset;
    entry.length = length;
    entry.hiddenSectors = 0;
    entry.partitionNumber = 1;
    entry.rewritePartition = true;
    entry.partitionType = static_cast<std::uint8_t>(kFat32PartitionType);
    entry.bootIndicator = false;
    entry.recognizedPartition = true;
}

// The length from the first byte to the end of the last whole cylinder; 0
// when the drive does not reach past the first byte.
std::uint64_t LengthToCylinder(std::uint64_t cylinders, const platform::DriveGeometry& g) {
    const std::uint64_t end =
        cylinders * g.tracksPerCylinder * g.sectorsPerTrack * g.bytesPerSector;
    return end > kPartitionStartOffset ? end - kPartitionStartOffset : 0;
}

}  // namespace

bool CreateSinglePartition(const std::string& path, int port) {
    DiskAccess* disks = platform::Current().diskAccess();
    if (disks == nullptr) {
        return false;
    }
    std::uint32_t error = 0;
    std::unique_ptr<DiskHandle> disk = disks->OpenDisk(path, kReadWriteShared, error);
    if (disk == nullptr) {
        return false;
    }
    platform::DriveGeometry g;
    if (!disks->GetDriveGeometry(*disk, g) || !disks->CreateDisk(*disk, 0)) {
        return false;
    }
    platform::DriveLayout layout;
    if (!disks->GetDriveLayout(*disk, layout)) {
        return false;
    }
    const std::uint64_t trackSectors =
        static_cast<std::uint64_t>(g.tracksPerCylinder) * g.sectorsPerTrack;
    const std::uint64_t capacity = GetDeviceCapacity(port);
    const std::uint64_t length =
        trackSectors == 0 ? 0 : LengthToCylinder(capacity / trackSectors, g);
    if (length == 0) {
        return false;
    }
    layout.mbrStyle = true;
    FillEntry(layout.entries[0], length);
    const bool ok = disks->SetDriveLayout(*disk, layout) && disks->UpdateProperties(*disk) &&
                    disks->UpdateProperties(*disk);
    return disks->Close(std::move(disk)) && ok;
}

bool WriteMbrAndPartition(const std::string& path) {
    DiskAccess* disks = platform::Current().diskAccess();
    if (disks == nullptr) {
        return false;
    }
    std::uint32_t error = 0;
    std::unique_ptr<DiskHandle> disk = disks->OpenDisk(path, kReadWriteShared, error);
    if (disk == nullptr) {
        return false;
    }
    platform::DriveGeometry g;
    if (!disks->GetDriveGeometry(*disk, g)) {
        return false;
    }
    const std::array<std::uint8_t, 512> mbr = MbrTemplate();
    std::uint32_t written = 0;
    if (!disks->WriteAt(*disk, 0, mbr.data(), static_cast<std::uint32_t>(mbr.size()), written) ||
        written != mbr.size()) {
        return false;
    }
    platform::DriveLayout layout;
    if (!disks->GetDriveLayout(*disk, layout)) {
        return false;
    }
    const std::uint64_t length = LengthToCylinder(g.cylinders, g);
    if (length == 0) {
        return false;
    }
    FillEntry(layout.entries[0], length);
    const bool ok = disks->SetDriveLayout(*disk, layout);
    return disks->Close(std::move(disk)) && ok;
}

bool IsWindows2000() {
    DiskAccess* disks = platform::Current().diskAccess();
    return disks != nullptr && disks->IsWindows2000();
}

}  // namespace kv::disk
