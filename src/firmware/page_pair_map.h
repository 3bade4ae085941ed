// The page pair maps of the MLC flash processes: for each page map type 1..8
// the page order of a block under the paired-page scheme, 256 bytes at 0x5A0
// of the system firmware header page. Types 0 and above 8 have no map (all
// bytes 0xFF).
#pragma once

#include <array>
#include <cstdint>

namespace kv {

inline constexpr std::size_t kPagePairMapSize = 256;
inline constexpr std::size_t kPagePairMapOffset = 0x5A0;

using PagePairMapBytes = std::array<std::uint8_t, kPagePairMapSize>;

// Types 1..3 map 128-page blocks (the other 128 bytes are 0), types 4..8 map
// 256-page blocks; types 7 and 8 are types 4 and 6 with their last two pairs 0.
PagePairMapBytes PagePairMap(int pageMapType);

}  // namespace kv
