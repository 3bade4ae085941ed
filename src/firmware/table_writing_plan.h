// Where the system area writer puts every page of a code block: the info
// page, the table pages from the collection, the firmware pages, and the
// pages that get copies so that a block is programmed without gaps.
//
// Normal mode: page 0 info; tables 1..7 at pages 1..7; the extra tables at
// 60 and 61 and copies of 61 up to the block's last page; the firmware pages
// from the system page list; after the last file, copies of its last page up
// to page 59.
// Low-page mode: the nine tables at `LowPageSequence`[1..9], the pages
// between two of them (but not before the last) and the pages after the last
// up to the first firmware page as copies; the firmware pages from the
// system page list with copies in the gaps, then the fill up to page 59.
// Every page is planned once and only pages inside the block are planned.
#pragma once

#include <cstdint>
#include <vector>

#include "config/settings_block.h"
#include "firmware/firmware_page_layout.h"
#include "flash/flash_config.h"

namespace kv {

inline constexpr std::uint16_t kLastFirmwareFillPage = 59;

enum class SystemPageKind : std::uint8_t { Info, Table, Firmware };

struct PlannedPageWrite {
    std::uint16_t Page = 0;
    SystemPageKind Kind = SystemPageKind::Info;
    // Table pages: the collection page set written. Firmware pages: the file.
    int Source = 0;
    // Firmware pages: the page of the file whose data are written.
    int FilePage = 0;
    // A copy that fills a gap (logged as a dummy page) or the tail of the
    // block; it is not dumped.
    bool Dummy = false;
};

// The collection index of each table written (tables 1..7, then 60 and 61):
// the pointer does not advance after table 3 without remapping and after
// table 5 without the kept SMART page.
std::vector<int> TableSources(const SettingsBlock& settings);

std::vector<PlannedPageWrite> PlanSystemAreaWrites(const FlashConfig& flash,
                                                   const SettingsBlock& settings,
                                                   const FirmwarePageLayout& layout);

}  // namespace kv
