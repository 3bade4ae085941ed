// The 40-byte flash header at 0x500 of program images and of the system
// firmware header page: the flash geometry and options the controller runs
// with.
//
//   0x00 u16 type word          0x0B chip enables per package
//   0x02 0x10 low page | 0x20 alternate family | flash interface
//   0x03 channels  0x04 banks   0x0C, 0x0D feature flags 2 and 3
//   0x05 ECC mode               0x10 u16[4] code block list
//   0x06 drive current          0x18 u16 64
//   0x07 geometry code          0x1A high byte of the reserved ratio
//   0x08 low byte of the reserved ratio
//   0x09, 0x0A option bits      everything else 0
#pragma once

#include <cstdint>

#include "firmware/image_context.h"

namespace kv {

inline constexpr std::size_t kFlashHeaderSize = 40;
inline constexpr std::size_t kFlashHeaderOffset = 0x500;

// Fills `header` (40 bytes) from the configuration and the port's code
// blocks; `geometryCode` is `GeometryCode` for program images and
// `GeometryCode2` for the system firmware header.
void BuildFlashHeader(const ImageContext& ctx, const CodeBlockList& codeBlocks,
                      std::uint8_t geometryCode, std::uint8_t* header);

}  // namespace kv
