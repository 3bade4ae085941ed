// The master boot record the station writes itself where the system's layout
// call needs a readable table first: a standard boot loader (relocate, find
// the active entry, load its first sector, hand over), its three messages, the
// disk signature 0xB1732E49 at 440, an empty partition table, 55 AA at 510.
#pragma once

#include <array>
#include <cstdint>

namespace kv::disk {

inline constexpr std::uint32_t kMbrDiskSignature = 0xB1732E49;
inline constexpr std::size_t kMbrSignatureOffset = 440;

std::array<std::uint8_t, 512> MbrTemplate();

}  // namespace kv::disk
