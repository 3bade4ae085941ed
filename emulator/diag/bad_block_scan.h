// The bad-block scan of a pre-format or rebuild: every block of every bank
// on every channel the program sees.
//   - a factory-marked block is listed as kind 9;
//   - a block that failed a program or erase before (the flash keeps it
//     failed) is listed as kind 4; as a failed block never recovers, the
//     "keep grown bad blocks" flag changes nothing here;
//   - with `erase`, every other block is erased; one that fails now is listed
//     as kind 4 and reported (record 7);
//   - a block the drive does not have (the image names more blocks than the
//     chip enable holds) does not answer and is listed as kind 4.
#pragma once

#include "emulator/diag/defect_map.h"
#include "emulator/diag/diag_session.h"

namespace kv::emu {

struct ScanResult {
    DefectMap defects;
    std::int64_t blocksErased = 0;
};

ScanResult ScanBadBlocks(DiagSession& session, bool erase);

// Blocks the program addresses on every bank of every channel it sees.
std::int64_t BlockRows(const FlashView& view);

}  // namespace kv::emu
