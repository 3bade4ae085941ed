#include "emulator/diag/bad_block_scan.h"
#include "emulator/diag/code_blocks.h"
#include "emulator/diag/flash_checks.h"
#include "emulator/diag/programs.h"

namespace kv::emu {
namespace {

// A scan reads every block's bad-block mark (1 ms per 8 blocks) and an erase
// takes as long again; building and writing the tables takes a second.
std::int64_t PreFormatMs(std::int64_t rows, std::int64_t erased) {
    return 1000 + rows / 8 + erased / 8;
}

}  // namespace

ProgramOutcome RunPreFormat(DiagSession& session, std::uint8_t flags) {
    session.report.Clear();
    const std::uint8_t failed = FailedStatus(3);
    if ((flags & kExecPreFormat) == 0) {
        return {failed, 5};
    }
    if (!CheckFlashCounts(session) || !CheckFlashIds(session)) {
        return {failed, 200};
    }
    ScanResult scan = ScanBadBlocks(session, (flags & kExecErase) != 0);
    const std::int64_t duration = PreFormatMs(BlockRows(session.view), scan.blocksErased);
    if (!CheckBadBlockLimits(session, scan.defects)) {
        return {failed, duration};
    }
    const std::vector<int> codeBlocks = PrepareCodeBlocks(session, scan.defects);
    if (codeBlocks.size() < kCodeBlockCount ||
        !WriteSystemTables(session, scan.defects, codeBlocks)) {
        return {failed, duration};
    }
    session.codeBlocks = codeBlocks;
    return {kStatusPreFormatDone, duration};
}

}  // namespace kv::emu
