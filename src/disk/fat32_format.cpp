#include "disk/fat32_format.h"

#include <cstdint>
#include <memory>

#include "device/ata_procedures.h"
#include "device/debug_log.h"
#include "device/transport.h"
#include "disk/fat32_layout.h"
#include "disk/format_output.h"
#include "disk/mbr_partition.h"
#include "disk/present_ports.h"
#include "disk/volume_label.h"
#include "disk/zero_sectors.h"
#include "platform/disk_access.h"
#include "platform/platform.h"

namespace kv::disk {

namespace {

constexpr platform::DiskOpenMode kExclusiveUnbuffered{true, true, false, true, false};
constexpr std::int64_t kOpenRetryMs = 1000;

// A warning goes to the debug log only.
void Trace(const std::string& text) {
    OutputDbgMsg("%s", text.c_str());
}

// The size report goes both to the debug log and to the format output.
void Report(const std::string& text) {
    OutputDbgMsg("%s", text.c_str());
    CurrentFormatOutput().Console(text);
}

std::unique_ptr<platform::DiskHandle> OpenWithRetries(platform::DiskAccess& disks,
                                                      const std::string& path, int port) {
    const int attempts = FormatOpenAttempts();
    for (int attempt = 0; attempt < attempts; ++attempt) {
        std::uint32_t error = 0;
        std::unique_ptr<platform::DiskHandle> disk =
            disks.OpenDisk(path, kExclusiveUnbuffered, error);
        if (disk != nullptr) {
            return disk;
        }
        platform::Current().portClock(port).SleepMs(kOpenRetryMs);
    }
    return nullptr;
}

// The partition the layout gives at LBA 63, in sectors; 0 when there is none.
std::uint64_t PartitionSectors(const platform::DriveLayout& layout, std::uint32_t bytesPerSector) {
    for (const platform::PartitionInfo& entry : layout.entries) {
        if (entry.partitionType != 0 &&
            entry.startingOffset ==
                static_cast<std::uint64_t>(kPartitionStartLba) * bytesPerSector) {
            return entry.length / bytesPerSector;
        }
    }
    return 0;
}

bool WriteSector(const std::string& path, const Sector& sector, std::uint32_t lba) {
    return WriteSectorsByPath(path, sector.data(), lba,
                              static_cast<std::uint32_t>(sector.size())) == 1;
}

}  // namespace

bool FormatFat32(const std::string& path, const char* label, int port) {
    platform::DiskAccess* disks = platform::Current().diskAccess();
    if (disks == nullptr) {
        return false;
    }
    Fat32Layout layout;
    layout.label = PadLabel(label);
    layout.volumeId = VolumeIdFrom(platform::Current().Now());

    std::unique_ptr<platform::DiskHandle> disk = OpenWithRetries(*disks, path, port);
    if (disk == nullptr) {
        return false;
    }
    platform::DriveGeometry geometry;
    if (!disks->GetDriveGeometry(*disk, geometry)) {
        DbgTrace("Failed to get device geometry");
        return false;
    }
    platform::PartitionInfo partitionInfo;
    if (!disks->GetPartitionInfo(*disk, partitionInfo)) {
        DbgTrace("Failed to get parition info");
        return false;
    }
    // The file system covers the partition the table gives it, not the disk.
    platform::DriveLayout driveLayout;
    const bool haveLayout = disks->GetDriveLayout(*disk, driveLayout);
    disks->Close(std::move(disk));
    if (!haveLayout) {
        DbgTrace("Failed to get drive layout");
        return false;
    }

    const std::uint64_t size = GetCapacityBytes(port);
    const std::uint32_t bytesPerSector = geometry.bytesPerSector;
    if (bytesPerSector != 512) {
        Trace("This version of fat32format only supports hard disks with 512 bytes per sector.\n");
    }
    const std::uint64_t totalSectors =
        CheckedDivide(size, bytesPerSector, "Format_direct qTotalSectors");
    if (totalSectors < 65536) {
        Trace("This drive is too small for FAT32 - there must be at least 64K clusters\n");
    }
    if (totalSectors >= 0xFFFFFFFFull) {
        Trace("This drive is too big for FAT32 - max 2TB supported\n");
    }
    layout.bytesPerSector = bytesPerSector;
    layout.sectorsPerTrack = geometry.sectorsPerTrack;
    layout.tracksPerCylinder = geometry.tracksPerCylinder;
    layout.sectorsPerCluster = SectorsPerCluster(size / 1048576, bytesPerSector);
    layout.fatSectors = FatSizeSectors(totalSectors, layout.sectorsPerCluster, bytesPerSector);

    const std::uint64_t partition =
        bytesPerSector == 0 ? 0 : PartitionSectors(driveLayout, bytesPerSector);
    const std::uint64_t system =
        kReservedSectors + static_cast<std::uint64_t>(kFatCount) * layout.fatSectors;
    // A drive of no capacity, or one whose partition cannot hold the reserved
    // sectors, both FATs and at least the root cluster, gets no file system.
    if (totalSectors == 0 || layout.sectorsPerCluster == 0 || partition > 0xFFFFFFFFull ||
        partition < system + layout.sectorsPerCluster) {
        Trace("This drive is too small to hold the file system\n");
        return false;
    }
    layout.partitionSectors = static_cast<std::uint32_t>(partition);
    layout.clusters = static_cast<std::uint32_t>(
        CheckedDivide(partition - system, layout.sectorsPerCluster, "Format_direct TotalSectors"));

    if (layout.clusters > 0x0FFFFFFF) {
        Trace("This drive has more than 2^28 clusters, try to specify a larger cluster size\n");
    }
    const std::uint64_t fatNeeded = CheckedDivide(4ull * layout.clusters + bytesPerSector - 1,
                                                  bytesPerSector, "format_direct FatNeeded");
    if (fatNeeded > layout.fatSectors) {
        Trace("This drive is too big for this version of fat32format, check for an upgrade\n");
    }

    Report(FormatText("Size : %gGB %d sectors\n", static_cast<double>(size / 1000000000ull),
                      static_cast<int>(totalSectors)));
    Report(FormatText("%d Bytes Per Sector, Cluster size %d bytes\n",
                      static_cast<int>(bytesPerSector),
                      static_cast<int>(layout.sectorsPerCluster * bytesPerSector)));
    Report(FormatText("Volume ID is %x:%x\n", layout.volumeId >> 16, layout.volumeId & 0xFFFF));
    Report(FormatText("%d Reserved Sectors, %d Sectors per FAT, %d fats\n",
                      static_cast<int>(kReservedSectors), static_cast<int>(layout.fatSectors),
                      static_cast<int>(kFatCount)));
    Report(FormatText("%d Total clusters\n", static_cast<int>(layout.clusters)));
    Report(FormatText("%d Free Clusters\n", static_cast<int>(layout.freeClusters())));
    Report("Formatting drive ...\n");

    const std::uint32_t clear = layout.SystemSectors();
    CurrentFormatOutput().Console(
        FormatText("Clearing out %d sectors for Reserved sectors, fats and root cluster...\n",
                   static_cast<int>(clear)));
    if (!ZeroSectors(path, kPartitionStartLba, bytesPerSector, clear)) {
        return false;
    }

    CurrentFormatOutput().Console("Initialising reserved sectors and FATs...\n");
    const Sector boot = BuildBootSector(layout);
    const Sector info = BuildFsInfoSector(layout);
    const Sector fat = BuildFirstFatSector();
    const bool written = WriteSector(path, boot, kPartitionStartLba) &&
                         WriteSector(path, info, kPartitionStartLba + 1) &&
                         WriteSector(path, boot, kPartitionStartLba + kBackupBootSector) &&
                         WriteSector(path, info, kPartitionStartLba + kBackupBootSector + 1) &&
                         WriteSector(path, fat, layout.FatLba(0)) &&
                         WriteSector(path, fat, layout.FatLba(1));
    if (!written) {
        return false;
    }
    // A label entry that could not be written fails the format: the buyer
    // would find the volume without its label.
    return WriteVolumeLabelEntry(path, label, layout.RootLba());
}

}  // namespace kv::disk
