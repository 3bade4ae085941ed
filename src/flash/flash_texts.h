// Texts of the flash selection: the detail memo, the status-bar panel, the
// entries of the part list.
#pragma once

#include <string>
#include <vector>

#include "flash/flash_config.h"
#include "flash/flash_parts_list.h"

namespace kv {

inline constexpr char kSelectFlashVendorText[] = "Please select a valid Flash Vendor!";

// "Type: MLC, Die: 2", "TotalBlock: 4096, BlockPage: 128",
// "PerPageSize: 8192 DieOffset: 0", "FlashInterface: 1".
std::vector<std::string> FlashDetailMemo(const FlashConfig& config);

// Status bar panel 0 of `FlashInfoChange`:
// "Flash: NAME(0x0080), Channel: 4, Bank: 2".
std::string FlashStatusText(const FlashPart& part, int channels, int banks);

// One entry of the part list: "NAME  /  PARTNUMBER (2CE)".
std::string FlashPartListItem(const FlashPart& part);

}  // namespace kv
