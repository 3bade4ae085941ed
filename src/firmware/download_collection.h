// The table pages a Download collects from a drive's code blocks before it
// rewrites them: which pages, from which block first, the signature check,
// the failure record of a damaged page, and the values the station takes
// over from the collected pages (system parameter page, early table).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "config/settings_block.h"
#include "firmware/image_context.h"
#include "firmware/system_firmware_file.h"
#include "flash/flash_config.h"

namespace kv {

// Code block indexes in the order a table page is looked for.
inline constexpr int kCollectionBlockOrder[kMaxCodeBlocks] = {2, 3, 0, 1};
// Signed table pages 1..7, then the two extra table pages.
inline constexpr int kCollectedTablePages = 7;
inline constexpr std::uint16_t kExtraTablePages[2] = {60, 61};
inline constexpr int kMaxCollectionPageSets = 9;

// Page sets the collection holds: 9, one less without remapping and one less
// without the kept SMART page.
int CollectionPageSetCount(const SettingsBlock& settings);

// The collection index (from 0) of the system parameter page and of the
// early table.
int SystemParameterPageSetIndex(const SettingsBlock& settings);
inline constexpr int kEarlyTablePageSetIndex = 1;

// The generation written by a Download: one more than the drive's, 65535
// wrapping to 0.
std::uint16_t NextTableGeneration(std::uint16_t current);

// The work-buffer code of a damaged table page: 208 (page 1), 209 (page 2),
// 210 (page 3), 211 (page 5); 0 for a page without one (its damage is not
// reported by code).
std::uint8_t DamagedTablePageCode(int page);

// The first channel slice of `pageSet` that does not start with the
// signature of table page `page`; -1 when all do (or the page has none).
int FirstUnsignedSlice(std::span<const std::uint8_t> pageSet, std::size_t sliceBytes, int channels,
                       int page);

// Byte 0 the damage code, byte 1 the channel, the slice from byte 2, as much
// of it as the work buffer holds.
void PutDamagedTableRecord(std::span<std::uint8_t> workBuffer, int page, int channel,
                           std::span<const std::uint8_t> slice);

// Takes the drive's per-bank values and bank map from the collected system
// parameter page into `port`: every channel slice that starts with the
// system parameter signature sets `SysPageValues` (and, when the page holds
// per-chip-enable records, the `BankMap`). Records outside the slice, chip
// enables beyond eight and bank-map entries beyond the map are skipped.
void AdoptSystemParameterPage(std::span<const std::uint8_t> pageSet, std::size_t sliceBytes,
                              const FlashConfig& flash, const BankMapLayout& bankMap,
                              PortImageState& port);

// The defect count of the early table page set: per slice with the early
// table signature, the 2-byte entries after the signature up to the end
// marker (second byte 0xFE) that are not bank markers (second byte 0xFB).
// A slice without an end marker ends at its last whole entry.
std::uint32_t CountEarlyTableDefects(std::span<const std::uint8_t> pageSet, std::size_t sliceBytes,
                                     int channels);

}  // namespace kv
