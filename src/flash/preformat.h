// The pre-format item (bad-block scan and table build by the diagnostic
// program) and the rebuild of the bad-block table.
#pragma once

#include <cstdint>
#include <span>

#include "firmware/code_download.h"

namespace kv {

// The operator's pre-format choices.
struct PreFormatOptions {
    bool EraseSearch = false;     // "Erase Search": erase before the scan
    bool FactoryPlusNew = false;  // "Factory + New BB": keep the grown bad blocks too
    bool RepairUsed = false;      // "Repair Used Module"
};

// The exec flags of the pre-format program: always 0x08, plus 0x01, 0x04,
// 0x10 for the choices and 0x20 for the port's keep flag.
std::uint8_t PreFormatFlags(std::uint8_t execFlags, const PreFormatOptions& options, bool keepFlag);

// Loads the program, erases first with "Erase Search", hands the kept erase
// counts ("EnKeepEraseCount") and SMART sector ("EnKeepSmartInfo") back to
// the drive and runs program 3, waiting. Pass on status 0x0A; on any other
// status the result report is in the work buffer.
bool PreFormat(int port, std::span<std::uint8_t> workBuffer, const ProcedureContext& ctx,
               const PreFormatOptions& options);

// The code blocks, then program 4 of "GDP_OLD.bin" (`useOldProgram`) or of
// "GDP.bin", waiting: pass on status 0x12.
bool RebuildBadBlock(int port, std::span<std::uint8_t> workBuffer, const ProcedureContext& ctx,
                     bool useOldProgram);

}  // namespace kv
