#include "firmware/table_writing_plan.h"

#include <vector>

#include "firmware/low_page_sequence.h"

namespace kv {
namespace {

constexpr int kWrittenTables = 9;  // 1..7, 60, 61
constexpr int kLastTableIndex = 9;
constexpr int kSignedTablePages = 7;

class Planner {
  public:
    Planner(const FlashConfig& flash) : pagesPerBlock_(flash.PagesPerBlock) {}

    void Add(std::uint16_t page, SystemPageKind kind, int source, int filePage, bool dummy) {
        if (page >= pagesPerBlock_ || Taken(page)) {
            return;
        }
        plan_.push_back({page, kind, source, filePage, dummy});
    }
    // Copies of the given page's data on [from, to).
    void Fill(int from, int to, SystemPageKind kind, int source, int filePage) {
        for (int p = from; p < to; ++p) {
            Add(static_cast<std::uint16_t>(p), kind, source, filePage, true);
        }
    }
    std::vector<PlannedPageWrite> Take() { return std::move(plan_); }

  private:
    bool Taken(std::uint16_t page) const {
        for (const PlannedPageWrite& w : plan_) {
            if (w.Page == page) {
                return true;
            }
        }
        return false;
    }
    int pagesPerBlock_;
    std::vector<PlannedPageWrite> plan_;
};

}  // namespace

std::vector<int> TableSources(const SettingsBlock& settings) {
    std::vector<int> sources;
    int pointer = 0;
    for (int i = 1; i <= kWrittenTables; ++i) {
        sources.push_back(pointer);
        const bool stays =
            (i == 3 && settings.RemapEnable == 0) || (i == 5 && settings.EnKeepSmartInfo == 0);
        if (!stays) {
            ++pointer;
        }
    }
    return sources;
}

std::vector<PlannedPageWrite> PlanSystemAreaWrites(const FlashConfig& flash,
                                                   const SettingsBlock& settings,
                                                   const FirmwarePageLayout& layout) {
    Planner plan(flash);
    plan.Add(0, SystemPageKind::Info, 0, 0, false);
    const std::vector<int> sources = TableSources(settings);
    const PageSequence sequence = LowPageSequence(flash.PageMapType);

    int last = -1;  // the last page written, for the gap copies of low-page mode
    if (!layout.LowPage) {
        for (int i = 1; i <= kSignedTablePages; ++i) {
            plan.Add(static_cast<std::uint16_t>(i), SystemPageKind::Table,
                     sources[static_cast<std::size_t>(i - 1)], 0, false);
        }
        plan.Add(60, SystemPageKind::Table, sources[7], 0, false);
        plan.Add(61, SystemPageKind::Table, sources[8], 0, false);
        plan.Fill(62, flash.PagesPerBlock, SystemPageKind::Table, sources[8], 0);
    } else {
        int remembered = -1;
        for (int i = 1; i <= kLastTableIndex; ++i) {
            const int p = sequence[static_cast<std::size_t>(i)];
            const int source = sources[static_cast<std::size_t>(i - 1)];
            if (remembered >= 0 && i != kLastTableIndex) {
                plan.Fill(remembered + 1, p, SystemPageKind::Table, source, 0);
            }
            plan.Add(static_cast<std::uint16_t>(p), SystemPageKind::Table, source, 0, false);
            remembered = i == kLastTableIndex ? -1 : p;
        }
        const int lastTable = sequence[kLastTableIndex];
        plan.Fill(lastTable + 1, layout.FirstFirmwarePage, SystemPageKind::Table, sources[8], 0);
        last = layout.FirstFirmwarePage - 1;
    }

    const int files = layout.FileCount < kMaxFirmwareFiles ? layout.FileCount : kMaxFirmwareFiles;
    for (int f = 0; f < files; ++f) {
        const FirmwareFilePages& file = layout.Files[f];
        for (int j = 0; j < file.PageCount; ++j) {
            const int index = file.StartPage + j;
            if (index >= kSystemPageListLength) {
                break;
            }
            const int page = layout.SystemPageList[index];
            if (layout.LowPage && last >= 0) {
                plan.Fill(last + 1, page, SystemPageKind::Firmware, f, j);
            }
            plan.Add(static_cast<std::uint16_t>(page), SystemPageKind::Firmware, f, j, false);
            last = page;
        }
        if (f == files - 1 && file.PageCount > 0) {
            plan.Fill(last + 1, kLastFirmwareFillPage + 1, SystemPageKind::Firmware, f,
                      file.PageCount - 1);
        }
    }
    return plan.Take();
}

}  // namespace kv
