// The FAT32 file system the station leaves on a drive: its sizes and the bytes
// of its boot sector, FSInfo sector and first FAT sector. Fixed choices: the
// partition at LBA 63, 32 reserved sectors, 2 FATs, the backup boot sector at 6
// (FSInfo copy at 7), the root directory in cluster 2.
//
// The boot sector's total sector count is the partition's own length, and the
// cluster and free counts follow from it, so the file system never claims a
// sector beyond its partition and the standard checker accepts it.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace kv::disk {

inline constexpr std::uint32_t kPartitionStartLba = 63;
inline constexpr std::uint32_t kReservedSectors = 32;
inline constexpr std::uint32_t kFatCount = 2;
inline constexpr std::uint32_t kBackupBootSector = 6;
inline constexpr std::uint32_t kRootCluster = 2;
inline constexpr std::size_t kLabelLength = 11;

// Sectors per cluster by drive size in MB (cluster sizes 512 B, 4, 8, 16 and
// 32 KiB); 0 when the sector size is 0 (reported as "get_spc").
std::uint32_t SectorsPerCluster(std::uint64_t driveMb, std::uint32_t bytesPerSector);

// FAT size in sectors for `totalSectors` on the whole disk.
std::uint32_t FatSizeSectors(std::uint64_t totalSectors, std::uint32_t sectorsPerCluster,
                             std::uint32_t bytesPerSector);

struct Fat32Layout {
    std::uint32_t bytesPerSector = 512;
    std::uint32_t sectorsPerTrack = 63;
    std::uint32_t tracksPerCylinder = 255;
    std::uint32_t sectorsPerCluster = 0;
    std::uint32_t fatSectors = 0;        // F
    std::uint32_t partitionSectors = 0;  // the boot sector's total sector count
    std::uint32_t clusters = 0;          // (partition − reserved − 2F) / P
    std::uint32_t volumeId = 0;
    std::array<char, kLabelLength> label{};  // blank-padded

    std::uint32_t freeClusters() const { return clusters - 1; }  // all but the root
    // Absolute LBAs on the disk.
    std::uint32_t FatLba(std::uint32_t k) const {
        return kPartitionStartLba + kReservedSectors + k * fatSectors;
    }
    std::uint32_t RootLba() const { return FatLba(kFatCount); }
    // Reserved sectors, both FATs and the root cluster.
    std::uint32_t SystemSectors() const {
        return kReservedSectors + kFatCount * fatSectors + sectorsPerCluster;
    }
};

// The first 11 characters of `label`, padded with blanks.
std::array<char, kLabelLength> PadLabel(const char* label);

// The volume ID from the local time: high half hour × 256 + minute + year,
// low half (month × 256 + day) + (second × 256 + millisecond / 10), each mod 65536.
std::uint32_t VolumeIdFrom(const platform::LocalTime& now);

// One sector (512 bytes, zero beyond the fields) of each structure.
using Sector = std::array<std::uint8_t, 512>;
Sector BuildBootSector(const Fat32Layout& layout);
Sector BuildFsInfoSector(const Fat32Layout& layout);
Sector BuildFirstFatSector();

}  // namespace kv::disk
