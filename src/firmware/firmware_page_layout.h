// Where the system firmware files go in a code block. In normal mode file 0
// starts at page 8 and each file follows the previous one; the page numbers
// are positions in the system page list 0..47. In low-page mode the system
// page list holds the low-page sequence entries 16..63, and the start and
// last pages are positions in that list: file 0 starts at position 0 and the
// second file continues after the first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "config/settings_block.h"
#include "firmware/low_page_sequence.h"
#include "flash/flash_config.h"

namespace kv {

inline constexpr int kMaxFirmwareFiles = 2;
inline constexpr std::uint16_t kNormalFirstFirmwarePage = 8;

inline constexpr char kFirmwareTooLargeFormat[] =
    "The firmware files need %d pages, but the system area holds %d.";

struct FirmwareFilePages {
    std::uint16_t StartPage = 0;
    std::uint16_t PageCount = 0;
};

struct FirmwarePageLayout {
    bool LowPage = false;
    int FileCount = 0;
    FirmwareFilePages Files[kMaxFirmwareFiles];
    std::uint16_t FirstPage = 0;  // info page 0x234
    std::uint16_t LastPage = 0;   // info page 0x236
    std::uint16_t SystemPageList[kSystemPageListLength] = {};
    // The flash page the first file begins at (8, or the low-page sequence
    // entry 16), as the program image and the geometry record carry it.
    std::uint16_t FirstFirmwarePage = kNormalFirstFirmwarePage;
};

// ceil(size in KiB / KiB per page) + 1.
std::uint16_t FirmwareFilePageCount(std::uint32_t sizeKiB, std::uint8_t sectorsPerPage);

// The first firmware page of the configuration without any file.
std::uint16_t FirstFirmwarePage(const FlashConfig& flash, const SettingsBlock& settings);

// Lays out one or two files of the given sizes (KiB). False, with `error`
// set, when there are no files or more than two, or when they need more pages
// than the system page list holds.
bool LayoutFirmwarePages(const FlashConfig& flash, const SettingsBlock& settings,
                         std::span<const std::uint32_t> sizesKiB, FirmwarePageLayout& layout,
                         std::string* error = nullptr);

}  // namespace kv
