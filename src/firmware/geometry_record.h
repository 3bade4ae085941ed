// The geometry record, 64 bytes at 0x530 of the system firmware header page:
// the shifts and counts the firmware addresses the flash with, the timing
// bytes and the values of the drive's previous system parameter page. Bytes
// the record does not name (0x0C..0x0F, 0x38..0x3F) keep the file's values.
#pragma once

#include <cstdint>

#include "firmware/image_context.h"

namespace kv {

inline constexpr std::size_t kGeometryRecordOffset = 0x530;
inline constexpr std::size_t kGeometryRecordSize = 64;

// Log2 of the blocks of one plane unit (both planes unless the part is
// single-plane): byte 0x04 of the record.
std::uint8_t PlaneUnitShift(const FlashConfig& flash);

// Byte 0x06: how far the spare area is shifted. The reserve divisor is the
// smallest power of two d from 2 on with 1/d below the reserved ratio,
// compared in integers and never beyond the plane unit's block count; the
// result is clamped at 0.
std::uint8_t SpareShift(const FlashConfig& flash);

// Rewrites the named bytes of the 64-byte record at `record`.
void BuildGeometryRecord(const ImageContext& ctx, const PortImageState& port,
                         std::uint16_t firstFirmwarePage, std::uint8_t* record);

}  // namespace kv
