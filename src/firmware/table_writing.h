// Writing and reading the system area of a port's code blocks: one page on
// every channel of every code block, the whole system area from a table
// collection and the firmware files, and the page read of one code block.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "device/vendor_access_geometry.h"
#include "firmware/code_download.h"
#include "firmware/firmware_files.h"
#include "firmware/firmware_page_layout.h"

namespace kv {

inline constexpr char kTableDummyPageFormat[] =
    "######### - VP_WriteTables - Write dummy page! 0x%X\r\n";
inline constexpr char kFirmwareDummyPageFormat[] = "######### - Write dummy page! 0x%X\r\n";
// Shown on the console when a firmware file cannot be read at write time.
inline constexpr char kOpenBinFileFailFormat[] = "open bin file '%s' fail";

// The page loops' geometry of a flash configuration.
VaFlashGeometry VaGeometryOf(const FlashConfig& flash);

// Bytes of one page on all channels.
std::size_t PageSetBytes(const FlashConfig& flash);

// Page-write parameters (option bytes 9, 10 and 11 of the flash address).
struct PageWriteParams {
    std::uint8_t EccMode = 0;
    std::uint8_t Flags = 0;
    std::uint8_t EccFrame = 0;
};
PageWriteParams InfoPageParams(const FlashConfig& flash);
PageWriteParams TablePageParams(const FlashConfig& flash);
PageWriteParams FirmwarePageParams(const FlashConfig& flash);
// The flags byte of table pages: option byte 13 x 2, OR "ScrambleEnable".
std::uint8_t TableFlagsByte(const FlashConfig& flash);

// Writes `pageSet` as page `page` on all channels of every code block of the
// port, in list order; for page 0 byte 0x1D of the first slice becomes the
// low byte of each block's number first. Stops at the first failure.
bool WritePageAllBlocks(int port, const ProcedureContext& ctx, std::uint16_t page,
                        const PageWriteParams& params, std::span<std::uint8_t> pageSet,
                        std::uint32_t sectors);

// Reads page `page` of code block `blockIndex` on all channels, then the
// program's status: true when both answer and the status is 0.
bool ReadPageOfBlock(int port, const ProcedureContext& ctx, std::span<std::uint8_t> pageSet,
                     int blockIndex, std::uint16_t page);

// What the system area writer puts on the drive.
struct SystemAreaInput {
    std::uint16_t Generation = 0;
    std::string_view SerialNumber;
    std::string_view WwnText;
    // The collected page sets, one after the other.
    std::span<const std::uint8_t> Collection;
    std::span<const FirmwareFileEntry> Files;
    const FirmwarePageLayout* Layout = nullptr;
};

// `WriteTables`: info page, tables, firmware pages (header page patched for
// the port, trailer on the last page of the last file), with the copies the
// plan asks for. False at the first failing write or unreadable file.
bool WriteTables(int port, const ProcedureContext& ctx, const SystemAreaInput& input);

// Reads the firmware pages of every code block back into
// "UP<file><block><channel>.raw", one file per channel.
bool ReadBackFirmwarePages(int port, const ProcedureContext& ctx, const FirmwarePageLayout& layout);

// The firmware page layout of a file list; false with `error` when it does
// not fit the system page list.
bool LayoutOfFiles(const ProcedureContext& ctx, std::span<const FirmwareFileEntry> files,
                   FirmwarePageLayout& layout, std::string* error);

}  // namespace kv
