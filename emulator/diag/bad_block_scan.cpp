#include "emulator/diag/bad_block_scan.h"

namespace kv::emu {

std::int64_t BlockRows(const FlashView& view) {
    return static_cast<std::int64_t>(view.channels()) * view.banks() * view.blocks();
}

ScanResult ScanBadBlocks(DiagSession& session, bool erase) {
    const FlashView& v = session.view;
    Nand& nand = session.nand;
    ScanResult result{DefectMap(v.channels(), v.banks()), 0};
    for (int c = 0; c < v.channels(); ++c) {
        for (int b = 0; b < v.banks(); ++b) {
            const int ce = v.chipEnable(b);
            for (int block = 0; block < v.blocks(); ++block) {
                if (!nand.InRange(c, ce, block)) {
                    result.defects.Add(c, b, block, DefectKind::EraseFail);
                    continue;
                }
                if (nand.IsFactoryBad(c, ce, block)) {
                    result.defects.Add(c, b, block, DefectKind::Factory);
                    continue;
                }
                if (nand.HasFailed(c, ce, block)) {
                    result.defects.Add(c, b, block, DefectKind::EraseFail);
                    continue;
                }
                if (!erase) {
                    continue;
                }
                ++result.blocksErased;
                if (nand.EraseBlock(c, ce, block) != NandStatus::Ok) {
                    result.defects.Add(c, b, block, DefectKind::EraseFail);
                    ReportRecord r;
                    r.code = Finding::BadBlock;
                    r.channel = static_cast<std::uint8_t>(c);
                    r.bank = static_cast<std::uint8_t>(b);
                    r.die = static_cast<std::uint8_t>(v.DieOf(block));
                    r.value = static_cast<std::uint16_t>(block);
                    session.report.Add(r);
                }
            }
        }
    }
    return result;
}

}  // namespace kv::emu
