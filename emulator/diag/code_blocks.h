// The code blocks: the first four blocks among the first 64 of chip enable 0
// that are good on every channel the program sees. They carry the system
// area (page 0 the info page, pages 1.. the table pages, then the firmware),
// every page on all channels at once.
#pragma once

#include <vector>

#include "emulator/diag/defect_map.h"
#include "emulator/diag/diag_session.h"

namespace kv::emu {

// At most four blocks, in block order: not factory-marked and not failed.
std::vector<int> FirstGoodBlocks(const Nand& nand, const FlashView& view);

// Picks the code blocks for a table write and erases them; a block that
// fails its erase is added to `defects` (under the bank whose chip enable is
// 0) and reported, and the next good block is taken instead; blocks
// `defects` lists already are passed over. Reports a
// missing code page (record 1) when fewer than four remain.
std::vector<int> PrepareCodeBlocks(DiagSession& session, DefectMap& defects);

// The block that takes the later (grown) bad-block tables: the first block
// after the code blocks that is good on every bank of every channel; -1 when
// there is none.
int PickLaterTableBlock(const Nand& nand, const FlashView& view, const DefectMap& defects,
                        const std::vector<int>& codeBlocks);

// Reads the defect table (table page 1) that code block `block` carries into
// `into`; false, with `into` untouched, unless every channel carries one.
bool ReadStoredDefectTable(const DiagSession& session, int block, DefectMap& into);

// Builds the table pages from `defects` and writes them into every code
// block, each table page i at page list[i] of the image. Remap (page 3) only
// when the image's option bits ask for it, SMART (page 5) only when the
// station handed a SMART sector over. A "table-damage:I.P" fault breaks the
// signature of table page P in code block I. False, with the records in the
// report, when a table does not fit or a page cannot be programmed. Without
// `withDefectTable` page 1 is left as it is (it holds the table already).
bool WriteSystemTables(DiagSession& session, const DefectMap& defects,
                       const std::vector<int>& codeBlocks, bool withDefectTable = true);

}  // namespace kv::emu
