// The defect-table side tools: the factory defect table (page 1 of the code
// blocks) of a drive to a text file and back.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "firmware/code_download.h"

namespace kv {

// The table generation "Put Def. Table" writes into the info page.
inline constexpr std::uint16_t kPutDefectTableGeneration = 120;
// The wait before the final commit of "Put Def. Table".
inline constexpr std::int64_t kPutDefectTableSettleMs = 300;

// Reads page 1 of the port's first code block on all channels and writes its
// text to `textPath`. On a failure no file is left at `textPath`.
bool GetDefectTable(int port, std::span<std::uint8_t> workBuffer, const ProcedureContext& ctx,
                    const std::string& textPath, int formatCode);

// Reads and checks the whole text first; only a sound text reaches the
// drive: the code blocks are erased (commit with 0x10), page 0 gets an info
// page of generation 120 and page 1 the table on every code block, and after
// 300 ms the final commit (flags 0) has the program build the other tables
// from it. False at the first failing step, the final commit included.
bool PutDefectTable(int port, std::span<std::uint8_t> workBuffer, const ProcedureContext& ctx,
                    const std::string& textPath, int formatCode, std::string* error = nullptr);

}  // namespace kv
