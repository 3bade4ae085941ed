// Shared inputs of the flash and firmware layout tests: the settings as a
// fresh settings file gives them, and a few real-looking flash parts.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

#include "config/settings_keys.h"
#include "config/settings_text.h"
#include "flash/flash_config.h"
#include "flash/flash_parts_list.h"

namespace kv::test {

// Every key at its default.
inline config::Settings DefaultSettings() {
    config::SettingsText text;
    config::Settings settings;
    config::ReadSettingsKeys(text, settings);
    return settings;
}

struct PartSample {
    const char* name;
    const char* partNumber;
    std::uint16_t typeWord;
    std::uint8_t ceCount;
    std::uint8_t eccMode;
    std::uint8_t flashInterface;
    std::uint8_t pageMapType;
    std::uint16_t dieOffset;
    std::uint8_t onePlane;
    std::uint8_t altFamily;
};

inline FlashPart MakePart(const PartSample& sample) {
    FlashPart part;
    std::strncpy(part.FlashName, sample.name, sizeof part.FlashName - 1);
    std::strncpy(part.PartNumber, sample.partNumber, sizeof part.PartNumber - 1);
    part.TypeWord = sample.typeWord;
    part.CeCount = sample.ceCount;
    part.EccMode = sample.eccMode;
    part.FlashInterface = sample.flashInterface;
    part.PageMapType = sample.pageMapType;
    part.DieOffset = sample.dieOffset;
    part.OnePlane = sample.onePlane;
    part.AltFamily = sample.altFamily;
    part.FlashId[0] = 0xEC;
    part.FlashId[1] = 0xD7;
    return part;
}

// MLC, maker class 1, 16 sectors a page, 256 pages a block, 4096 blocks, one
// die, toggle interface 1, page map type 4.
inline constexpr PartSample kToggleMlc = {"TGL32G", "K9GBG08U0A", 0x1852, 2, 2, 1, 4, 0, 0, 0};
// MLC, maker class 2, 8 sectors, 128 pages, 8192 blocks, two dies with a die
// offset, single plane, interface 5.
inline constexpr PartSample kTwoDieMlc = {"TDM64G", "TH58TEG8D2", 0x2A89, 4, 3, 5, 2, 4096, 1, 0};
// SLC, maker class 0, type word 0x0080: 4 sectors, 64 pages, 8192 blocks.
inline constexpr PartSample kSmallSlc = {"SLC2G", "AX29F02G08", 0x0080, 1, 1, 0, 0, 0, 0, 0};

inline FlashConfig MakeConfig(const PartSample& sample, const config::Settings& settings) {
    return SelectFlashPart(MakePart(sample), settings.block, settings.process);
}

inline config::Settings SettingsWith(int channels, int banks) {
    config::Settings s = DefaultSettings();
    s.block.Channel = static_cast<std::uint8_t>(channels);
    s.block.Bank = static_cast<std::uint8_t>(banks);
    return s;
}

}  // namespace kv::test
