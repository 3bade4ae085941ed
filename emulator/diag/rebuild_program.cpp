#include "emulator/diag/bad_block_scan.h"
#include "emulator/diag/code_blocks.h"
#include "emulator/diag/flash_checks.h"
#include "emulator/diag/programs.h"

namespace kv::emu {

ProgramOutcome RunRebuild(DiagSession& session, std::uint8_t /*flags*/) {
    session.report.Clear();
    const std::uint8_t failed = FailedStatus(4);
    if (!CheckFlashCounts(session)) {
        return {failed, 200};
    }
    ScanResult scan = ScanBadBlocks(session, false);
    const std::int64_t duration = 500 + BlockRows(session.view) / 16;
    // The entries of the table the drive carries (grown bad blocks the
    // firmware recorded there) stay in the rebuilt table.
    for (int block : FirstGoodBlocks(session.nand, session.view)) {
        if (ReadStoredDefectTable(session, block, scan.defects)) {
            break;
        }
    }
    const std::vector<int> codeBlocks = PrepareCodeBlocks(session, scan.defects);
    if (codeBlocks.size() < kCodeBlockCount ||
        !WriteSystemTables(session, scan.defects, codeBlocks)) {
        return {failed, duration};
    }
    session.codeBlocks = codeBlocks;
    return {kStatusRebuildDone, duration};
}

}  // namespace kv::emu
