#include <algorithm>
#include <vector>

#include "emulator/diag/bad_block_scan.h"
#include "emulator/diag/code_blocks.h"
#include "emulator/diag/flash_checks.h"
#include "emulator/diag/programs.h"
#include "emulator/diag/table_pages.h"

namespace kv::emu {
namespace {

constexpr std::int64_t kAcknowledgeMs = 25;

// The code blocks the image names, without repeats; the first good blocks
// when it names none.
std::vector<int> NamedCodeBlocks(const DiagSession& session) {
    std::vector<int> blocks;
    for (std::uint16_t b : session.settings.codeBlocks) {
        if (b != 0xFFFF && std::find(blocks.begin(), blocks.end(), b) == blocks.end()) {
            blocks.push_back(b);
        }
    }
    if (blocks.empty()) {
        blocks = FirstGoodBlocks(session.nand, session.view);
    }
    return blocks;
}

bool EraseCodeBlocks(DiagSession& session, const std::vector<int>& blocks, std::int64_t& erased) {
    bool ok = true;
    for (int block : blocks) {
        for (int c = 0; c < session.view.channels(); ++c) {
            ++erased;
            if (session.nand.EraseBlock(c, kCodeChipEnable, block) != NandStatus::Ok) {
                ok = false;
                ReportRecord r;
                r.code = Finding::BadBlock;
                r.channel = static_cast<std::uint8_t>(c);
                r.value = static_cast<std::uint16_t>(block);
                session.report.Add(r);
            }
        }
    }
    return ok;
}

// Builds the tables that belong to a defect table already in the code
// blocks; nothing to do when there is none or the tables are there.
bool CommitDefectTable(DiagSession& session, const std::vector<int>& blocks) {
    const int early = session.settings.tablePages[static_cast<std::size_t>(TablePage::Early)];
    DefectMap defects(session.view.channels(), session.view.banks());
    std::vector<int> open;
    for (int block : blocks) {
        if (session.nand.IsProgrammed({0, kCodeChipEnable, block, early})) {
            continue;
        }
        if (ReadStoredDefectTable(session, block, defects)) {
            open.push_back(block);
        }
    }
    return open.empty() || WriteSystemTables(session, defects, open, false);
}

}  // namespace

ProgramOutcome RunEraseProgram(DiagSession& session, std::uint8_t flags) {
    session.report.Clear();
    const ProgramOutcome failed{FailedStatus(1), 5};
    if (!CheckFlashCounts(session)) {
        return failed;
    }
    std::int64_t erased = 0;
    bool ok = true;
    if ((flags & kExecErase) != 0) {
        erased += ScanBadBlocks(session, true).blocksErased;
    } else if ((flags & kExecRepair) != 0) {
        ok = EraseCodeBlocks(session, NamedCodeBlocks(session), erased);
    } else {
        ok = CommitDefectTable(session, NamedCodeBlocks(session));
    }
    const std::int64_t duration = std::min<std::int64_t>(kAcknowledgeMs, 5 + erased / 256);
    return {ok ? kStatusEraseDone : FailedStatus(1), duration};
}

}  // namespace kv::emu
