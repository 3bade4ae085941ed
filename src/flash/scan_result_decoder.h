// The two fail-detail decoders: they turn the diagnostic program's result
// report and the flash-interface diagnostic log into the text of the error
// files and error window, the finer failure codes 46..64 and the list of bad
// channel / chip-enable units.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "flash/flash_config.h"

namespace kv {

// What the decoders count for the port's fail detail: one per bad unit, and
// the index (channel + bank x channels) of the last one listed. The caller
// clears them before decoding; the decoders only add to them.
struct BadUnitList {
    int count = 0;
    int lastIndex = 0;
};

// Decodes the flash-interface diagnostic log. `log` is the buffer the log was
// read into: 4-byte entries (channel, bank, code, spare) from byte 4, ending at
// the first entry whose channel, bank or code is 0xFF or at the buffer's end.
// Appends the text; sets `*failCode` (54..64) from the last entry with a code
// of its own when `failCode` is given; adds the bad units to `*badList` when
// given.
void DecodeFlashInterfaceResult(std::span<const std::uint8_t> log, const FlashConfig& flash,
                                std::string& text, int* failCode = nullptr,
                                BadUnitList* badList = nullptr);

// Decodes `count` records of a result report (the report's byte 0), read from
// `records` (the report from its byte 1 on). Records are 16 bytes, 17 for the
// codes 128 and 130; a record that would pass the buffer's end is not read.
// Appends the text; sets `*failCode` (46..52) from the last record with a code
// of its own when given; adds the bad units to `*badList` when given. A count of
// 0 appends nothing and leaves the code as it was.
void DecodeScanResult(int count, std::span<const std::uint8_t> records, const FlashConfig& flash,
                      std::string& text, int* failCode = nullptr, BadUnitList* badList = nullptr);

}  // namespace kv
