#include "firmware/table_writing_plan.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <vector>

#include "firmware_test_support.h"

namespace kv {
namespace {

using Plan = std::vector<PlannedPageWrite>;

std::map<int, PlannedPageWrite> ByPage(const Plan& plan) {
    std::map<int, PlannedPageWrite> pages;
    for (const PlannedPageWrite& w : plan) {
        EXPECT_TRUE(pages.emplace(w.Page, w).second) << "page " << w.Page << " planned twice";
    }
    return pages;
}

FirmwarePageLayout LayoutFor(const FlashConfig& flash, const SettingsBlock& settings,
                             std::vector<std::uint32_t> sizes) {
    FirmwarePageLayout layout;
    std::string error;
    EXPECT_TRUE(LayoutFirmwarePages(flash, settings, sizes, layout, &error)) << error;
    return layout;
}

TEST(TableWritingPlan, TableSourcesSkipTheUnusedPages) {
    SettingsBlock s;
    s.RemapEnable = 1;
    s.EnKeepSmartInfo = 1;
    EXPECT_EQ(TableSources(s), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8}));
    // Both off: 7 page sets; table 3 gets table 4's data, table 5 table 6's.
    s.RemapEnable = 0;
    s.EnKeepSmartInfo = 0;
    EXPECT_EQ(TableSources(s), (std::vector<int>{0, 1, 2, 2, 3, 3, 4, 5, 6}));
}

TEST(TableWritingPlan, NormalModeWritesTablesExtraPagesAndFirmwareOnce) {
    config::Settings settings = test::SettingsWith(2, 1);
    const FlashConfig flash =
        test::MakeConfig(test::kToggleMlc, settings);  // 16 sectors, 256 pages
    // 20 KiB and 10 KiB on 8 KiB pages: 4 and 3 pages.
    const FirmwarePageLayout layout = LayoutFor(flash, settings.block, {20, 10});
    const auto pages = ByPage(PlanSystemAreaWrites(flash, settings.block, layout));

    EXPECT_EQ(pages.at(0).Kind, SystemPageKind::Info);
    for (int p = 1; p <= 7; ++p) {
        EXPECT_EQ(pages.at(p).Kind, SystemPageKind::Table) << p;
        EXPECT_FALSE(pages.at(p).Dummy);
    }
    const std::vector<int> sources = TableSources(settings.block);
    EXPECT_EQ(pages.at(60).Source, sources[7]);
    EXPECT_EQ(pages.at(61).Source, sources[8]);
    EXPECT_EQ(pages.at(255).Source, sources[8]);  // copies of 61 up to the last page
    EXPECT_TRUE(pages.at(62).Dummy);
    // File 0 at 8..11, file 1 at 12..14, then copies of the last page to 59.
    for (int p = 8; p <= 11; ++p) {
        EXPECT_EQ(pages.at(p).Source, 0);
        EXPECT_EQ(pages.at(p).FilePage, p - 8);
    }
    for (int p = 12; p <= 14; ++p) {
        EXPECT_EQ(pages.at(p).Source, 1);
        EXPECT_EQ(pages.at(p).FilePage, p - 12);
        EXPECT_FALSE(pages.at(p).Dummy);
    }
    for (int p = 15; p <= 59; ++p) {
        EXPECT_TRUE(pages.at(p).Dummy) << p;
        EXPECT_EQ(pages.at(p).Source, 1);
        EXPECT_EQ(pages.at(p).FilePage, 2);
    }
    EXPECT_EQ(pages.size(), 256u);
}

TEST(TableWritingPlan, LowPageModeFillsGapsWithTheDataOfTheNextPage) {
    config::Settings settings = test::SettingsWith(2, 1);
    settings.block.EnCodeBlockLowPage = 1;
    FlashConfig flash = test::MakeConfig(test::kTwoDieMlc, settings);  // page map type 2
    ASSERT_EQ(flash.PageMapType, 2);
    const FirmwarePageLayout layout = LayoutFor(flash, settings.block, {8});
    ASSERT_TRUE(layout.LowPage);
    const auto pages = ByPage(PlanSystemAreaWrites(flash, settings.block, layout));

    // Type 2: 0, 1, 3, 5, ... Table index 3 is written at page 5, page 4 a
    // copy of it; page 2 a copy of table 2 at page 3.
    EXPECT_EQ(pages.at(5).Source, 2);
    EXPECT_FALSE(pages.at(5).Dummy);
    EXPECT_TRUE(pages.at(4).Dummy);
    EXPECT_EQ(pages.at(4).Source, pages.at(5).Source);
    EXPECT_TRUE(pages.at(2).Dummy);
    EXPECT_EQ(pages.at(2).Source, 1);
    // Table index 9 at 17 gets no copy before it; 18..30 copy it up to the
    // first firmware page 31.
    EXPECT_FALSE(pages.at(17).Dummy);
    EXPECT_EQ(pages.count(16), 0u);
    for (int p = 18; p <= 30; ++p) {
        EXPECT_TRUE(pages.at(p).Dummy) << p;
        EXPECT_EQ(pages.at(p).Kind, SystemPageKind::Table);
    }
    // 8 KiB on 4 KiB pages: 3 pages at 31, 33, 35 with copies at 32 and 34,
    // then the fill to 59.
    EXPECT_EQ(pages.at(31).FilePage, 0);
    EXPECT_TRUE(pages.at(32).Dummy);
    EXPECT_EQ(pages.at(32).FilePage, 1);
    EXPECT_EQ(pages.at(33).FilePage, 1);
    EXPECT_EQ(pages.at(35).FilePage, 2);
    EXPECT_TRUE(pages.at(59).Dummy);
    EXPECT_EQ(pages.at(59).FilePage, 2);
    EXPECT_EQ(pages.count(60), 0u);
}

TEST(TableWritingPlan, PagesBeyondTheBlockAreNotPlanned) {
    config::Settings settings = test::SettingsWith(1, 1);
    FlashConfig flash = test::MakeConfig(test::kSmallSlc, settings);  // 64 pages
    flash.PagesPerBlock = 32;
    const FirmwarePageLayout layout = LayoutFor(flash, settings.block, {4});
    const Plan plan = PlanSystemAreaWrites(flash, settings.block, layout);
    for (const PlannedPageWrite& w : plan) {
        EXPECT_LT(w.Page, 32);
    }
    EXPECT_EQ(ByPage(plan).size(), 32u);
}

}  // namespace
}  // namespace kv
