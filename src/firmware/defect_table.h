// The factory defect table, page 1 of a code block, and its text form.
//
// Binary, per channel slice: the 16-byte page-1 signature, then 4-byte
// entries: FB A0 bank 0 starts a bank; u16 block, die x 16 + plane, kind is a
// bad block; FE D1 0 0 ends the channel.
//
// Text, CR LF line ends:
//   V#12V#10             the table format code when it is 11, 12, 20, 21 or
//                        30, then "V#10"; otherwise just "V#10"
//   C#00                 a channel
//   B#00U#0012,00,9...   a bank and its bad blocks: block in four hex
//                        digits, die and plane digits, kind (above 7 as 9)
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "flash/flash_config.h"

namespace kv {

inline constexpr std::uint8_t kDefectBankMarker[2] = {0xFB, 0xA0};
inline constexpr std::uint8_t kDefectEndMarker[2] = {0xFE, 0xD1};
inline constexpr std::size_t kDefectEntrySize = 4;

// What a table is checked against.
struct DefectTableGeometry {
    int Channels = 0;
    int Banks = 0;
    int Dies = 0;
    std::uint32_t Blocks = 0;  // block numbers below this count are valid
    std::size_t PageBytes = 0;
};

DefectTableGeometry DefectTableGeometryOf(const FlashConfig& flash);

// The formats whose code leads the version line.
bool IsVersionedTableFormat(int formatCode);

// The text of a defect table page set (channel slices of `PageBytes`). Only
// slices whose first byte is 0xE9 are written; a slice without an end entry
// ends at its last whole entry.
std::string DefectTableToText(std::span<const std::uint8_t> pageSet,
                              const DefectTableGeometry& geometry, int formatCode);

// Writes the text to `path`, replacing the file; false when it cannot be written.
bool DefectTableToTextFile(std::span<const std::uint8_t> pageSet,
                           const DefectTableGeometry& geometry, const std::string& path,
                           int formatCode);

// Reads a defect-table text back into a page set of Channels x PageBytes.
// The whole text is checked before anything is kept: the version line, every
// record's form, the channels 0..Channels-1 once each and in order, the banks
// 0..Banks-1 once each and in order within every channel, every block, die,
// plane and kind, and that each channel's entries fit its slice. With text
// version 21 and table format code 12, bad blocks whose kind differs from
// their channel are dropped. On any fault `pageSet` is left unchanged, the
// result is false and `error` says where.
bool TextToDefectTable(std::string_view text, const DefectTableGeometry& geometry, int formatCode,
                       std::span<std::uint8_t> pageSet, std::string* error = nullptr);

// The same from a file; false when the path is empty or the file cannot be read.
bool TextFileToDefectTable(const std::string& path, const DefectTableGeometry& geometry,
                           int formatCode, std::span<std::uint8_t> pageSet,
                           std::string* error = nullptr);

}  // namespace kv
