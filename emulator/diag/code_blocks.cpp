#include "emulator/diag/code_blocks.h"

#include <algorithm>

#include "emulator/diag/table_pages.h"

namespace kv::emu {
namespace {

bool GoodOnEveryChannel(const Nand& nand, const FlashView& view, int chipEnable, int block) {
    for (int c = 0; c < view.channels(); ++c) {
        if (!nand.InRange(c, chipEnable, block) || nand.IsFactoryBad(c, chipEnable, block) ||
            nand.HasFailed(c, chipEnable, block)) {
            return false;
        }
    }
    return view.channels() > 0;
}

int BankOfChipEnable(const FlashView& view, int chipEnable) {
    for (int b = 0; b < view.banks(); ++b) {
        if (view.chipEnable(b) == chipEnable) {
            return b;
        }
    }
    return -1;
}

int SearchLimit(const FlashView& view) {
    return std::min(kCodeBlockSearch, view.blocks());
}

bool HasFault(const DriveProfile& profile, int codeBlock, int page) {
    for (const Fault& f : profile.faults) {
        if (f.kind == FaultKind::TableDamage && f.first == codeBlock && f.second == page) {
            return true;
        }
    }
    return false;
}

}  // namespace

std::vector<int> FirstGoodBlocks(const Nand& nand, const FlashView& view) {
    std::vector<int> blocks;
    for (int block = 0; block < SearchLimit(view) && blocks.size() < kCodeBlockCount; ++block) {
        if (GoodOnEveryChannel(nand, view, kCodeChipEnable, block)) {
            blocks.push_back(block);
        }
    }
    return blocks;
}

std::vector<int> PrepareCodeBlocks(DiagSession& session, DefectMap& defects) {
    const FlashView& view = session.view;
    const int bank = BankOfChipEnable(view, kCodeChipEnable);
    std::vector<int> blocks;
    for (int block = 0; block < SearchLimit(view) && blocks.size() < kCodeBlockCount; ++block) {
        bool listed = false;
        for (int c = 0; c < view.channels(); ++c) {
            listed = listed || defects.Has(c, bank, block);
        }
        if (listed || !GoodOnEveryChannel(session.nand, view, kCodeChipEnable, block)) {
            continue;
        }
        bool erased = true;
        for (int c = 0; c < view.channels(); ++c) {
            if (session.nand.EraseBlock(c, kCodeChipEnable, block) != NandStatus::Ok) {
                erased = false;
                defects.Add(c, bank, block, DefectKind::EraseFail);
                ReportRecord r;
                r.code = Finding::BadBlock;
                r.channel = static_cast<std::uint8_t>(c);
                r.bank = static_cast<std::uint8_t>(bank < 0 ? 0 : bank);
                r.value = static_cast<std::uint16_t>(block);
                session.report.Add(r);
            }
        }
        if (erased) {
            blocks.push_back(block);
        }
    }
    if (blocks.size() < kCodeBlockCount) {
        ReportRecord r;
        r.code = Finding::PageMissing;
        r.value = static_cast<std::uint16_t>(PageKind::Code);
        session.report.Add(r);
    }
    return blocks;
}

int PickLaterTableBlock(const Nand& nand, const FlashView& view, const DefectMap& defects,
                        const std::vector<int>& codeBlocks) {
    const int first =
        codeBlocks.empty() ? 0 : *std::max_element(codeBlocks.begin(), codeBlocks.end()) + 1;
    for (int block = first; block < view.blocks(); ++block) {
        bool good = true;
        for (int c = 0; c < view.channels() && good; ++c) {
            for (int b = 0; b < view.banks() && good; ++b) {
                good = nand.InRange(c, view.chipEnable(b), block) && !defects.Has(c, b, block) &&
                       !nand.HasFailed(c, view.chipEnable(b), block);
            }
        }
        if (good) {
            return block;
        }
    }
    return -1;
}

bool ReadStoredDefectTable(const DiagSession& session, int block, DefectMap& into) {
    const FlashView& view = session.view;
    const int page = session.settings.tablePages[static_cast<std::size_t>(TablePage::Defect)];
    std::vector<std::uint8_t> slice(static_cast<std::size_t>(session.nand.geometry().pageBytes()));
    DefectMap found(view.channels(), view.banks());
    for (int c = 0; c < view.channels(); ++c) {
        const PageAddress at{c, kCodeChipEnable, block, page};
        if (page >= view.pagesPerBlock || !session.nand.IsProgrammed(at) ||
            session.nand.ReadPage(at, slice) != NandStatus::Ok ||
            !ReadDefectTable(slice, c, found)) {
            return false;
        }
    }
    for (int c = 0; c < view.channels(); ++c) {
        for (int b = 0; b < view.banks(); ++b) {
            for (const auto& [number, kind] : found.At(c, b)) {
                into.Add(c, b, number, kind);
            }
        }
    }
    return view.channels() > 0;
}

bool WriteSystemTables(DiagSession& session, const DefectMap& defects,
                       const std::vector<int>& codeBlocks, bool withDefectTable) {
    const FlashView& view = session.view;
    Nand& nand = session.nand;
    const std::size_t driveBytes = static_cast<std::size_t>(nand.geometry().pageBytes());
    const std::size_t sliceBytes = std::min(static_cast<std::size_t>(view.pageBytes()), driveBytes);

    auto tableFail = [&](int channel) {
        ReportRecord r;
        r.code = Finding::BuildTableFail;
        r.channel = static_cast<std::uint8_t>(channel);
        session.report.Add(r);
        return false;
    };
    const int laterBlock = PickLaterTableBlock(nand, view, defects, codeBlocks);
    if (laterBlock < 0) {
        return tableFail(0);
    }
    std::vector<std::pair<TablePage, PageSet>> tables;
    int failedChannel = 0;
    PageSet set;
    if (!BuildDefectTable(defects, view, sliceBytes, set, failedChannel)) {
        return tableFail(failedChannel);
    }
    if (withDefectTable) {
        tables.emplace_back(TablePage::Defect, std::move(set));
    }
    if (!BuildEarlyTable(defects, view, sliceBytes, set, failedChannel)) {
        return tableFail(failedChannel);
    }
    tables.emplace_back(TablePage::Early, std::move(set));
    if (session.settings.remap()) {
        tables.emplace_back(TablePage::Remap, BuildRemapTable(view.channels(), sliceBytes));
    }
    tables.emplace_back(TablePage::SystemParameter,
                        BuildSystemParameterPage(view, laterBlock, sliceBytes));
    if (session.smart) {
        tables.emplace_back(TablePage::Smart,
                            BuildSmartPage(view.channels(), *session.smart, sliceBytes));
    }

    std::vector<std::uint8_t> page(driveBytes);
    for (std::size_t i = 0; i < codeBlocks.size(); ++i) {
        const int block = codeBlocks[i];
        for (const auto& [table, slices] : tables) {
            const int number = static_cast<int>(table);
            const int pageNo = session.settings.tablePages[static_cast<std::size_t>(number)];
            const bool damaged = HasFault(session.profile, static_cast<int>(i), number);
            for (int c = 0; c < view.channels(); ++c) {
                const auto& slice = slices[static_cast<std::size_t>(c)];
                std::fill(page.begin(), page.end(), std::uint8_t{0xFF});
                std::copy(slice.begin(), slice.end(), page.begin());
                if (damaged) {
                    page[0] = static_cast<std::uint8_t>(page[0] ^ 0xFF);
                }
                const NandStatus st =
                    pageNo < view.pagesPerBlock
                        ? nand.ProgramPage({c, kCodeChipEnable, block, pageNo}, page)
                        : NandStatus::OutOfRange;
                if (st != NandStatus::Ok) {
                    ReportRecord r;
                    r.code = Finding::BadPage;
                    r.channel = static_cast<std::uint8_t>(c);
                    r.value = static_cast<std::uint16_t>(block);
                    r.page = static_cast<std::uint8_t>(pageNo);
                    r.error = static_cast<std::uint8_t>(st);
                    session.report.Add(r);
                    return false;
                }
            }
        }
    }
    return true;
}

}  // namespace kv::emu
