// The "Upload" item: reads a drive's system area back into files. Every
// table page of every code block goes to "10_TPR_<block>_<page>.raw" (dumps
// are switched on for it and stay on), and the firmware pages of every code
// block, file and channel to "UP<file><block><channel>.raw".
#pragma once

#include <cstdint>
#include <span>

#include "firmware/code_download.h"
#include "firmware/firmware_files.h"

namespace kv {

bool UploadFirmware(int port, std::span<std::uint8_t> workBuffer, const ProcedureContext& ctx,
                    std::span<const FirmwareFileEntry> files);

}  // namespace kv
