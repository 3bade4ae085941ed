// The "Download" item: puts a drive's system area in its final state. The
// table pages the pre-format left in the code blocks are collected (code
// blocks 2, 3, 0, 1 in turn, signatures checked), the code blocks erased,
// and every code block rewritten with a new info page (next table
// generation), the collected tables and the system firmware file(s) with the
// port's identify data. The drive is touched only once every page has been
// collected.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "firmware/code_download.h"
#include "firmware/firmware_files.h"

namespace kv {

struct DownloadRequest {
    std::string SerialNumber;
    std::string WwnText;
    std::uint32_t MemoryBase = 0;
    // Passed on by the worker; the download itself does not use them.
    std::string EarlyBadPath;
    int FormatCode = 0;
    // The firmware files of the run (SATA first), as the run controller
    // listed them.
    std::vector<FirmwareFileEntry> Files;
    // A run with Download on and Preformat off in special mode: the defect
    // count is left at 0.
    bool DownloadOnly = false;
};

// Shown on the console and in the debug log when the files do not fit.
inline constexpr char kFirmwareLayoutFailFormat[] = "Download: %s\r\n";

// `DownloadFirmware`. On a damaged table page the work buffer holds 208..211,
// the channel and the page's slice (every code block was tried); after the
// table write fails the first 512 bytes of the program's report are dumped
// as "16_<serial>.txt".
bool DownloadFirmware(int port, std::span<std::uint8_t> workBuffer, const ProcedureContext& ctx,
                      const DownloadRequest& request);

}  // namespace kv
