// The later-table side tools: the grown bad-block tables of a drive to a
// text file (later_table_text.h) and back.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "firmware/code_download.h"

namespace kv {

// The page of a later-table block that carries the table "Put Later Table"
// writes; the readers scan the pages from 1 on.
inline constexpr std::uint16_t kLaterTablePage = 1;

// Reads the system parameter page of the first code block, then for every
// bank and die the table pages of its later-table block, and writes the text
// to `textPath`. The last table found per bank and die is kept in the port's
// later-table store. False when the page is not the system parameter page,
// a read fails or the file cannot be written.
bool GetLaterTable(int port, std::span<std::uint8_t> workBuffer, const ProcedureContext& ctx,
                   const std::string& textPath, int formatCode);

// Reads and checks the whole text first; only a sound text reaches the
// drive. Every code block gets a new system parameter page naming the
// text's later-table blocks (the block's other pages are kept), then each
// bank and die's block is erased and its table written.
bool PutLaterTable(int port, std::span<std::uint8_t> workBuffer, const ProcedureContext& ctx,
                   const std::string& textPath, std::string* error = nullptr);

}  // namespace kv
