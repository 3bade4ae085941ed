// The 16-byte signatures at the start of every channel slice of the signed
// table pages of a code block: four tag bytes, "KVR51X-V001" and a zero.
//
//   page 1 defect table          E9 86 AA 55 "KVR51X-V001"
//   page 2 early / later table   45 79 AA 55 "KVR51X-V001"
//   page 3 remap table           9E 68 55 AA "KVR51X-V001" (when remapping is on)
//   page 4 system parameters     "SYSPKVR51X-V001"
//   page 5 SMART page            68 12 16 50 "KVR51X-V001" (when SMART is kept)
//   pages 6, 7, 60, 61           no signature
// The later table of the table side tools carries E8 DC 55 AA "KVR51X-V001".
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "config/settings_block.h"

namespace kv {

inline constexpr std::size_t kTableSignatureSize = 16;

inline constexpr int kDefectTablePage = 1;
inline constexpr int kEarlyTablePage = 2;
inline constexpr int kRemapTablePage = 3;
inline constexpr int kSystemParameterPage = 4;
inline constexpr int kSmartPage = 5;

// The signature of table page `page`; nullptr for pages without one.
const std::uint8_t* TableSignature(int page);
const std::uint8_t* LaterTableSignature();

// True when the slice starts with the page's signature; pages without one
// always pass.
bool HasTableSignature(std::span<const std::uint8_t> slice, int page);
bool HasLaterTableSignature(std::span<const std::uint8_t> slice);

// Writes the page's signature at the start of a slice (nothing for pages
// without one); false when the slice is shorter than a signature.
bool PutTableSignature(std::span<std::uint8_t> slice, int page);

// Pages 3 and 5 are kept only when their setting is on.
bool TablePageInUse(int page, const SettingsBlock& settings);

}  // namespace kv
