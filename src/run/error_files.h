// The error files of a run: for every present port that failed the Flash
// Interface Test (4), Preformat (7) or Download (8), a text file in the log
// folder holding the decoded diagnostic kept for that code. Decoding also
// refines the port's reported code and its fail detail, which the panels show.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "flash/flash_config.h"
#include "platform/platform.h"
#include "run/global_state.h"

namespace kv {

// `logDir` + "Error_%04d%02d%02d%02d%02d_%02d" (end time to the minute, port
// number) + "_" + the first 40 characters of the serial number, made safe for a
// file name, + ".txt".
std::string ErrorFilePath(const std::string& logDir, const platform::LocalTime& end, int portIndex,
                          const PortRecord& port);

// The Download failure's dump: a table-compare line when the slot's first byte
// is 0xD0..0xD3, a hex dump of one flash page from the slot's third byte (8
// bytes a line, the last line shorter where the slot ends), then the slot's
// first 512 bytes as they are.
std::string DownloadErrorText(std::span<const std::uint8_t> slot, int sectorsPerPage);

// The file content for `failCode` (4, 7 or 8) from the slot of that code.
// Clears the port's fail detail first; codes 4 and 7 decode the slot and set
// `ReportedFailCode`, `FailDetailKind` and `FailDetailNumber` from it.
std::string ErrorFileText(int failCode, std::span<const std::uint8_t> slot,
                          const FlashConfig& flash, PortRecord& port);

// Writes the error files of every present port in [0, ports.size()) whose
// `FailCode` is 4, 7 or 8. A file that cannot be created is skipped; the port's
// codes are refined all the same.
void WriteErrorFiles(std::span<PortRecord> ports, const PortErrorBuffer& errors,
                     const FlashConfig& flash, const std::string& logDir,
                     const platform::LocalTime& end);

}  // namespace kv
