// The table pages a pre-format writes into the code blocks, one slice per
// channel (slice c for channel c). Every slice starts with the 16 signature
// bytes of its page; bytes after the content stay 0xFF, as erased flash.
//
//   page 1, defect table: per bank a marker FB A0 bank 00, then one 4-byte
//     entry per bad block of the bank on that channel: u16 block, die x 16 +
//     plane, kind (9 factory, 4 erase fail, 3 program fail); FE D1 00 00 ends
//     the slice.
//   page 2, early table: u16 entries; per chip enable index n = die x banks +
//     bank a marker 0xFB00 + n, then the bad blocks of that die (bit 15 set
//     for blocks found bad by the program rather than factory-marked);
//     0xFE00 ends the slice.
//   page 3, remap table: an empty list (u16 count 0 after the signature).
//   page 4, system parameter page: "SYSPKVR51X-V001", then per bank and die
//     (bank after bank) a 4-byte entry: u16 later-table block, 0xFFFF.
//   page 5, SMART page: the SMART sector the station handed over, after the
//     signature.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "emulator/diag/defect_map.h"
#include "emulator/diag/flash_probe.h"

namespace kv::emu {

using PageSet = std::vector<std::vector<std::uint8_t>>;

enum class TablePage { Defect = 1, Early = 2, Remap = 3, SystemParameter = 4, Smart = 5 };

std::array<std::uint8_t, 16> TableSignature(TablePage page);

// False, with the channel whose slice is too small, when the entries do not fit.
bool BuildDefectTable(const DefectMap& defects, const FlashView& view, std::size_t sliceBytes,
                      PageSet& out, int& failedChannel);
bool BuildEarlyTable(const DefectMap& defects, const FlashView& view, std::size_t sliceBytes,
                     PageSet& out, int& failedChannel);
PageSet BuildRemapTable(int channels, std::size_t sliceBytes);
PageSet BuildSystemParameterPage(const FlashView& view, int laterBlock, std::size_t sliceBytes);
PageSet BuildSmartPage(int channels, const std::array<std::uint8_t, 512>& smart,
                       std::size_t sliceBytes);

// Adds the entries of a signed defect-table slice of `channel` to `into`;
// false when the slice carries no defect table.
bool ReadDefectTable(std::span<const std::uint8_t> slice, int channel, DefectMap& into);

}  // namespace kv::emu
