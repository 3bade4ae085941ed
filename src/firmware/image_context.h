// What the controller images are filled from: the flash configuration, the
// settings and the values the station keeps per port.
#pragma once

#include <cstdint>

#include "config/settings_block.h"
#include "firmware/code_block_list.h"
#include "flash/flash_config.h"

namespace kv {

// The bank map of a header page holds at most 16 x 1 x 12 entries.
inline constexpr int kMaxBankMapEntries = 16 * 12;
inline constexpr int kSysPageValueCount = 10;

// Per-port values, filled by the pre-format and the download.
struct PortImageState {
    CodeBlockList CodeBlocks;
    std::uint32_t DefectCount = 0;
    // Eight per-bank values and two values of the drive's previous system
    // parameter page.
    std::uint16_t SysPageValues[kSysPageValueCount] = {};
    std::uint16_t BankMap[kMaxBankMapEntries] = {};
    // "LEDControl" x 16 + "InterleaveWay", set when the port's header page is
    // patched; 0 until then.
    std::uint8_t PortAttr = 0;
    // Low byte of the drive's IDENTIFY word 76 (0x0E for a drive in loader mode).
    std::uint8_t SataSpeed = 0;
};

// Read-only inputs shared by every image of a run.
struct ImageContext {
    const FlashConfig& flash;
    const SettingsBlock& settings;
    const ProcessSettings& process;
};

}  // namespace kv
