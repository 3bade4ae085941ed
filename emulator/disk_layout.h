// The master boot record of a drive's user area, as the platform's disk
// driver writes it: geometry 255 heads x 63 sectors per track, 512-byte
// sectors, four primary partition entries at 446, boot signature 55 AA.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace kv::emu {

inline constexpr std::uint32_t kHeads = 255;
inline constexpr std::uint32_t kSectorsPerTrack = 63;
inline constexpr std::uint32_t kBytesPerSector = 512;

struct PartitionEntry {
    std::uint64_t startSector = 0;
    std::uint64_t sectors = 0;
    std::uint8_t type = 0;
    bool bootable = false;
    bool operator==(const PartitionEntry&) const = default;
};

using MbrSector = std::array<std::uint8_t, 512>;

// An empty table: no partitions, disk signature, boot signature.
MbrSector EmptyMbr(std::uint32_t signature);
// Puts up to four entries into the table of `mbr` (CHS fields from the
// geometry, 0xFE 0xFF 0xFF past cylinder 1023). False, with `mbr` unchanged,
// when an entry is empty, starts at sector 0, leaves the disk of `capacity`
// sectors, does not fit 32 bits, or overlaps another.
bool PutPartitions(MbrSector& mbr, const std::vector<PartitionEntry>& entries,
                   std::uint64_t capacity);
// The non-empty entries of a table that carries the boot signature.
std::vector<PartitionEntry> ReadPartitions(const MbrSector& mbr);
// True for the FAT32 partition types 0x0B and 0x0C.
inline bool IsFat32Type(std::uint8_t type) {
    return type == 0x0B || type == 0x0C;
}

}  // namespace kv::emu
