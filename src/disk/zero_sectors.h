// Clearing a run of sectors through the drive's device path, each piece read
// back and checked.
#pragma once

#include <cstdint>
#include <string>

namespace kv::disk {

// Sectors per piece (64 KiB of 512-byte sectors).
inline constexpr std::uint32_t kZeroPieceSectors = 128;

// Writes `count` zero sectors of `bytesPerSector` bytes from `lba` in pieces of
// up to 128 sectors, reading every piece back and checking that it is all
// zero. Traces "Failed to write" / "Failed to read" on a failed command and
// reports the throughput on the format output. False at the first failure;
// also false for a sector size of 0 or a run beyond 32-bit LBAs.
bool ZeroSectors(const std::string& path, std::uint32_t lba, std::uint32_t bytesPerSector,
                 std::uint32_t count);

}  // namespace kv::disk
