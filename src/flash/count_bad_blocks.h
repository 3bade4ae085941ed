// The bad-block count of "Check Tables": the drive's defect, early and later
// tables are read from its system area, and every bad block the firmware
// lists is counted per channel, bank and error category.
//
//   category 0  type 9, or found in the early table (factory / early bad)
//   category 1  type 4 (erase fail)      category 3  type 5 (ECC fail)
//   category 2  type 3 (program fail)    category 4  type 1 (ECC over threshold)
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "flash/flash_config.h"

namespace kv {

inline constexpr int kBadBlockCategories = 5;
// Counter slots per channel and bank; the categories use the first five.
inline constexpr int kBadBlockCategorySlots = 7;
inline constexpr int kUnknownBadBlockType = 99;

inline constexpr char kBadBlockTypeErrorFormat[] = "err bad block type=%d\n";
inline constexpr char kErrTypeHeader[] =
    "ErrType 1 (Ecc Over)\r\nErrType 3 (Prog Fail)\r\nErrType 4 (Erase Fail)\r\n"
    "ErrType 5 (Ecc Fail)\r\n";

// Counters [channel][bank][slot], sized from the geometry.
class BadBlockCounts {
  public:
    BadBlockCounts(int channels, int banks);
    int Channels() const { return channels_; }
    int Banks() const { return banks_; }
    // Out-of-range indexes read 0 and are not counted.
    std::uint32_t Get(int channel, int bank, int slot) const;
    void Add(int channel, int bank, int slot, std::uint32_t n = 1);

  private:
    int channels_;
    int banks_;
    std::vector<std::uint32_t> counts_;
};

using BadBlockSums = std::array<std::uint32_t, kBadBlockCategories>;

// The category of an error type; -1 for a type outside 1, 3, 4, 5, 9.
int BadBlockCategory(int type);

// The type of `block` of chip enable index `chipEnable` on one channel: 9
// when the early table lists it under that chip enable's marker, overridden
// by the type of a matching later-table entry; 99 when neither lists it.
// Either slice may be empty.
int BadBlockType(std::span<const std::uint8_t> earlySlice, std::span<const std::uint8_t> laterSlice,
                 int chipEnable, std::uint16_t block);

// Counts the blocks of one bad-block-info answer (u16 count at 4, 4-byte
// entries from 8) of channel `channel` and chip enable index `chipEnable`.
// Blocks of an unknown type are printed on the console and skipped.
void CountBadBlockAnswer(std::span<const std::uint8_t> answer,
                         std::span<const std::uint8_t> earlySlice,
                         std::span<const std::uint8_t> laterSlice, int channel, int chipEnable,
                         BadBlockCounts& counts);

// Model "415": every early-table entry of a slice counts in category 0 of
// its bank.
void CountEarlyTableEntries(std::span<const std::uint8_t> earlySlice, int channel,
                            BadBlockCounts& counts);
// Model "415": the bad unit records (u16 count at 0, records from 4 of
// `recordBytes`); byte 3 + chip enable of a record selects the slot counted
// for every channel.
void CountBadUnits(std::span<const std::uint8_t> answer, std::size_t recordBytes,
                   BadBlockCounts& counts);

BadBlockSums SumBadBlocks(const BadBlockCounts& counts);

// `CountBadBlocks`, with the drive's firmware running and `flash` its own
// configuration (from `ReadSystemInfo`). False, with no counts, when no code
// block carries the loader signature or a table page cannot be read.
bool CountBadBlocks(int port, std::span<std::uint8_t> workBuffer, const FlashConfig& flash,
                    const std::string& modelCode, BadBlockCounts& counts, BadBlockSums& sums,
                    std::string* text);

}  // namespace kv
