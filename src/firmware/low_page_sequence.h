// The low-page sequences of the paired-page flash processes: the 64 pages of a
// code block that are written when only low pages are used. Entries 0..15
// address the table pages, entries 16..63 the firmware pages.
#pragma once

#include <array>
#include <cstdint>

#include "config/settings_block.h"

namespace kv {

inline constexpr int kLowPageSequenceLength = 64;
inline constexpr int kSystemPageListLength = 48;
inline constexpr int kFirstFirmwareSequenceEntry = 16;

using PageSequence = std::array<std::uint16_t, kLowPageSequenceLength>;

// True for the page map types 1..8, which have a sequence.
bool HasLowPageSequence(int pageMapType);

// Types 1, 4, 7: 0..3, then 4k+2, 4k+3 (k = 1..30); types 2, 5: 0 and the odd
// pages 1..125; types 3, 6, 8: 0..5, then 4k, 4k+1 (k = 2..30). Other types
// have no sequence and give the identity pages 0..63.
PageSequence LowPageSequence(int pageMapType);

// Low-page mode: "EnCodeBlockLowPage" on and a page map type with a sequence.
bool CodeBlockLowPageMode(const SettingsBlock& settings, int pageMapType);

}  // namespace kv
