// Page-set transfers of the table tools: one flash page on every channel,
// slice c for channel c, through the vendor access layer's page loops.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "flash/flash_config.h"

namespace kv {

// Channels x page bytes; 0 for a configuration without a geometry.
std::size_t ToolPageSetBytes(const FlashConfig& flash);

// A zeroed buffer of one page set.
std::vector<std::uint8_t> NewPageSet(const FlashConfig& flash);

// Hands the port's page loops the configuration's geometry (channels,
// sectors per page, ECC mode as access mode, loader signature).
void UseFlashGeometry(int port, const FlashConfig& flash);

// The ECC frame of a page transfer: sectors per page with ECC mode 3, else 4.
std::uint8_t EccFrameSectors(const FlashConfig& flash);

// The chip-enable code of the code blocks (bank 0).
std::uint8_t CodeChipEnable(const FlashConfig& flash);

// The flags byte of table page writes: option byte 13 x 2, or "ScrambleEnable".
std::uint8_t TablePageFlags(const FlashConfig& flash, const SettingsBlock& settings);

// Writes a table page set with the table page parameters.
bool WriteTablePageSet(int port, const FlashConfig& flash, const SettingsBlock& settings,
                       std::uint8_t chipEnable, std::uint16_t block, std::uint16_t page,
                       std::span<const std::uint8_t> pageSet);

// Reads `page` of `block` on all channels with chip-enable code `chipEnable`
// into `pageSet` (at least one page set), with the part's ECC mode and
// scramble flag.
bool ReadPageSet(int port, const FlashConfig& flash, std::uint8_t chipEnable, std::uint16_t block,
                 std::uint16_t page, std::span<std::uint8_t> pageSet);

// Writes one page set to `page` of `block` on all channels. `eccMode`,
// `flags` and `eccFrame` are the option bytes of the page kind.
bool WritePageSet(int port, const FlashConfig& flash, std::uint8_t chipEnable, std::uint16_t block,
                  std::uint16_t page, std::uint8_t eccMode, std::uint8_t flags,
                  std::uint8_t eccFrame, std::span<const std::uint8_t> pageSet);

// Erases `block` on all channels of chip-enable code `chipEnable`.
bool EraseBlockAllChannels(int port, const FlashConfig& flash, std::uint8_t chipEnable,
                           std::uint16_t block);

}  // namespace kv
