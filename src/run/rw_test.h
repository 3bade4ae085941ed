// The data checks of a production run: the destructive R/W Test item at fixed
// offsets of every sampled GiB, and the check that a copied image left a
// readable boot sector.
//
// Sector pattern: a run of `count` sectors from `lba` is count × 256 16-bit
// little-endian words; word i holds (lba × 256 + i) mod 65536, so each word
// carries the low byte of its sector's LBA and its index within the sector.
#pragma once

#include <cstdint>
#include <string>

#include "device/ata_procedures.h"

namespace kv {

// Sectors the caller's buffer must hold (the worker's 64 KiB buffer).
inline constexpr std::uint32_t kRwTestBufferSectors = 128;
// A drive of exactly this many sectors fails the test.
inline constexpr std::uint32_t kRwTestRefusedSectors = 8192;

// Fills `words` 16-bit words of `buffer` with the pattern of a run from `lba`.
void FillSectorPattern(std::uint8_t* buffer, std::uint32_t lba, std::uint32_t words);

// Writes the run's pattern, clears the buffer, flushes the drive's cache,
// waits 10 ms, reads the run back and compares it word by word. On a failure
// the buffer starts with the failed command's record (kinds 1 and 2), or with
// the compare record: kind 3, the run's LBA, the expected and the read word and
// the index of the first differing word within the run. `count` is 1..128.
bool SectorPatternTest(int port, std::uint8_t* buffer, std::uint32_t count, std::uint32_t lba);

// The R/W Test item: 20 runs in every sampled GiB (every GiB below 16 GiB,
// every (capacity in GiB / 16 + 1)-th above), then 0xFF bytes into sector 0,
// the last sector's run and a cache flush. A drive of 0 or 8,192 sectors
// fails. `enterVendorMode` (its answer not judged) may be nullptr.
bool RWTest(int port, std::uint8_t* buffer, EnterVendorModeFn enterVendorMode);

// After an image copy: reads 64 KiB from LBA 0, or from LBA 63 when the first
// byte read is not 0xEB. True when the last read succeeded and its first
// sector ends with the boot signature 55 AA, or when the buffer's first
// sector is a FAT boot sector (EB, 90 at 2, 29 at 66, 55 AA).
bool CheckImgPattern(const std::string& path);

}  // namespace kv
