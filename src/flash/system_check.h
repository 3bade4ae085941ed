// Looking at what is on a produced drive: the running firmware's header page
// (flash configuration, code blocks, version texts) and the info page of its
// system area, the table-signature check of the "Check Tables" item, and the
// defect-table presence check that follows "Put Def. Table".
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "config/settings_block.h"
#include "firmware/code_block_list.h"
#include "firmware/firmware_page_layout.h"
#include "flash/flash_config.h"

namespace kv {

// The header page of the running firmware: 8 sectors read from address 0.
inline constexpr std::uint32_t kRunningHeaderSectors = 8;
inline constexpr std::size_t kRunningHeaderBytes = kRunningHeaderSectors * 512;

// What the running firmware and its info page say.
struct RunningSystemInfo {
    std::string Version;     // 0x306, six characters
    std::string FormatCode;  // 0x329, two
    std::string ModelCode;   // 0x324, three used
    std::string BuildTag;    // 0x330, four
    // From the info page of the first code block that carries one.
    bool InfoPageFound = false;
    int InfoPageBlockIndex = -1;
    int FileCount = 0;
    FirmwareFilePages Files[kMaxFirmwareFiles];
    std::uint16_t SystemPageList[kSystemPageListLength] = {};
};

// Takes the flash configuration a header page names into `flash`: type word,
// channels, banks, chip enables, ECC mode, flag and option bits, bank set and
// the geometry derived from them, and the loader signatures of its model.
// The port's code block list comes from 0x510. False when the page is too
// short.
bool AdoptRunningHeader(std::span<const std::uint8_t> header, FlashConfig& flash,
                        CodeBlockList& codeBlocks, RunningSystemInfo& info);

// Takes the firmware file table and system page list from an info page.
void AdoptInfoPage(std::span<const std::uint8_t> infoPage, RunningSystemInfo& info);

// `ReadSystemInfo`: the header page of the running firmware (into the work
// buffer), then page 0 of code blocks 0..3 until one carries the loader
// signature ("sysread.raw"). `flash` is the port's own copy, never the
// shared configuration. False when the header cannot be read.
bool ReadSystemInfo(int port, std::span<std::uint8_t> workBuffer, FlashConfig& flash,
                    RunningSystemInfo& info);

// Reads one page of a code block through the running code's system-area read
// (all channels, the block as plane pair and plane, the part's ECC mode and
// scramble flag). `pageSet` holds Channels x page bytes.
bool ReadSystemAreaPage(int port, const FlashConfig& flash, std::uint16_t block, std::uint16_t page,
                        std::span<std::uint8_t> pageSet);

// The plane-pair number the system-area read takes for a block.
std::uint16_t PlanePairNumber(const FlashConfig& flash, std::uint16_t block, bool loaderMode);

// `CheckTables`: vendor mode again, `ReadSystemInfo`, then table pages 1, 2
// and (with remapping) 3 of the first code block. A page that reads without
// its signature fails with byte 0 of the work buffer = the page; a page that
// cannot be read does not fail.
bool CheckTables(int port, std::span<std::uint8_t> workBuffer, FlashConfig& flash,
                 const SettingsBlock& settings);

// The presence check after "Put Def. Table", with the diagnostic program
// running: page 1 of the first code block; 2 when no channel slice starts
// with the defect-table signature (or the page cannot be read), else 1.
int DefectTablePresence(int port, const FlashConfig& flash);

}  // namespace kv
