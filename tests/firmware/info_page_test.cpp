#include "firmware/info_page.h"

#include <gtest/gtest.h>

#include <vector>

#include "firmware/byte_layout.h"
#include "firmware/firmware_test_support.h"

namespace kv {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes At(const Bytes& page, std::size_t offset, std::size_t n) {
    return Bytes(page.begin() + static_cast<std::ptrdiff_t>(offset),
                 page.begin() + static_cast<std::ptrdiff_t>(offset + n));
}

class InfoPageTest : public ::testing::Test {
  protected:
    InfoPageTest() : settings_(test::SettingsWith(4, 2)) { Rebuild(); }
    void Rebuild() { flash_ = test::MakeConfig(test::kToggleMlc, settings_); }
    ImageContext Context() const { return {flash_, settings_.block, settings_.process}; }
    std::size_t PageBytes() const { return static_cast<std::size_t>(flash_.SectorsPerPage) * 512; }

    FirmwarePageLayout Layout(std::vector<std::uint32_t> sizes) const {
        FirmwarePageLayout layout;
        std::string error;
        EXPECT_TRUE(LayoutFirmwarePages(flash_, settings_.block, sizes, layout, &error)) << error;
        return layout;
    }

    config::Settings settings_;
    FlashConfig flash_;
};

TEST_F(InfoPageTest, NormalModePageOnEveryChannel) {
    CodeBlockList blocks{{7, 2, 4, 8}, 4};
    // 8 KiB pages: 100 KiB take 13 + 1 pages, 20 KiB take 3 + 1.
    const FirmwarePageLayout layout = Layout({100, 20});
    Bytes set(PageBytes() * 4, 0xEE);
    ASSERT_TRUE(BuildInfoPage(Context(), blocks, layout, 0x1234, set));

    const Bytes page = At(set, 0, PageBytes());
    EXPECT_EQ(At(page, 0, 16), Bytes("LDBK BLOCKS V50", "LDBK BLOCKS V50" + 16));
    EXPECT_EQ(At(page, 0x10, 8), Bytes("51X V2 ", "51X V2 " + 8));
    EXPECT_EQ(At(page, 0x18, 8), (Bytes{0, 16, 0x00, 0x01, 2, 0, 0, 0}));
    EXPECT_EQ(At(page, 0x20, 16), (Bytes{7, 0, 7, 0, 2, 0, 7, 0, 4, 0, 7, 0, 8, 0, 7, 0}));
    EXPECT_EQ(page[0x30], 0);
    EXPECT_EQ(At(page, 0x200, 16), Bytes("LDBK CONFIG V50", "LDBK CONFIG V50" + 16));
    EXPECT_EQ(At(page, 0x210, 16),
              (Bytes{0x34, 0x12, 0, 0, 0x30, 0x02, 0, 0, 0x80, 0x02, 0, 0, 0xE0, 0x02, 0, 0}));
    EXPECT_EQ(At(page, 0x230, 16), (Bytes{2, 0, 0, 0, 8, 0, 25, 0, 8, 0, 14, 0, 22, 0, 4, 0}));
    EXPECT_EQ(At(page, 0x248, 0x18), Bytes(0x18, 0));
    EXPECT_EQ(At(page, 0x260, 11), Bytes("K9GBG08U0A", "K9GBG08U0A" + 11));
    for (int i = 0; i < 48; ++i) {
        EXPECT_EQ(Le16(page.data() + 0x280 + 2 * i), i);
    }
    // The default register map: 12 registers in three groups.
    EXPECT_EQ(Le16(page.data() + 0x2E0), 12);
    EXPECT_EQ(Le32(page.data() + 0x2E4), 0xB0004920u);
    EXPECT_EQ(Le32(page.data() + 0x2E4 + 12), 0xB0004923u);
    EXPECT_EQ(At(page, 0x2E4 + 16, 4), (Bytes{1, 2, 3, 4}));
    EXPECT_EQ(Le32(page.data() + 0x2E4 + 40), 0xB0004928u);
    EXPECT_EQ(At(page, 0x2E4 + 56, 4), (Bytes{9, 10, 11, 12}));
    EXPECT_EQ(page[0x2E4 + 60], 0);

    // Every channel slice is the same page with its own index at 0x018.
    for (std::size_t c = 1; c < 4; ++c) {
        Bytes slice = At(set, c * PageBytes(), PageBytes());
        EXPECT_EQ(slice[0x18], c);
        slice[0x18] = 0;
        EXPECT_EQ(slice, page) << "channel " << c;
    }
    SetInfoPageBlockNumber(set, 0x0107);
    EXPECT_EQ(set[0x1D], 0x07);
    EXPECT_EQ(set[PageBytes() + 0x1D], 0);
}

TEST_F(InfoPageTest, LowPageModeListsTheSequence) {
    settings_.block.EnCodeBlockLowPage = 1;
    Rebuild();  // page map type 4
    const FirmwarePageLayout layout = Layout({100, 20});
    EXPECT_EQ(layout.FirstFirmwarePage, 30);
    Bytes set(PageBytes() * 4, 0);
    ASSERT_TRUE(BuildInfoPage(Context(), CodeBlockList{{4, 5, 6, 7}, 4}, layout, 1, set));
    // Positions in the system page list: the second file continues after the first.
    EXPECT_EQ(At(set, 0x234, 12), (Bytes{0, 0, 17, 0, 0, 0, 14, 0, 14, 0, 4, 0}));
    EXPECT_EQ(Le16(set.data() + 0x280), 30);
    EXPECT_EQ(Le16(set.data() + 0x282), 31);
    EXPECT_EQ(Le16(set.data() + 0x284), 34);
    EXPECT_EQ(Le16(set.data() + 0x280 + 2 * 47), 123);
}

TEST_F(InfoPageTest, InterfaceRegisterMap) {
    struct Case {
        int regMap;
        std::uint8_t flashInterface;
        std::size_t count;
        std::uint8_t last[4];
    };
    const Case cases[] = {{1, 1, 48, {0x01, 0x05, 0x46, 0x00}},
                          {1, 3, 48, {0x00, 0x25, 0x46, 0x00}},
                          {1, 5, 12, {9, 10, 11, 12}},
                          {2, 1, 12, {9, 10, 11, 12}},
                          {0, 3, 12, {9, 10, 11, 12}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.count);
        settings_.block.EnRegMap = static_cast<std::uint8_t>(c.regMap);
        flash_.FlashInterface = c.flashInterface;
        Bytes set(PageBytes() * 4, 0);
        ASSERT_TRUE(BuildInfoPage(Context(), CodeBlockList{}, Layout({10}), 1, set));
        EXPECT_EQ(Le16(set.data() + 0x2E0), c.count);
        const std::size_t lastGroup = 0x2E4 + (c.count / 4 - 1) * 20;
        EXPECT_EQ(At(set, lastGroup + 16, 4), Bytes(c.last, c.last + 4));
        if (c.count == 48) {
            EXPECT_EQ(Le32(set.data() + 0x2E4), 0xB0010020u);
            EXPECT_EQ(At(set, 0x2E4 + 16, 4), (Bytes{0x0F, 0xD0, 0x0F, 0x0C}));
            EXPECT_EQ(Le32(set.data() + 0x2E4 + 20 * 4 + 8), 0xB00102C6u);
            EXPECT_EQ(Le32(set.data() + lastGroup), 0xB001007Cu);
        }
    }
}

TEST(LoaderSignaturesTest, ByControllerModel) {
    for (const char* model : {"512", "511", "518", "5180"}) {
        EXPECT_STREQ(LoaderSignaturesForModel(model).Blocks, "LDBK BLOCKS V40") << model;
        EXPECT_STREQ(LoaderSignaturesForModel(model).Config, "LDBK CONFIG V40") << model;
    }
    for (const char* model : {"517", "415", "417", ""}) {
        EXPECT_STREQ(LoaderSignaturesForModel(model).Blocks, "LDBK BLOCKS V50") << model;
        EXPECT_STREQ(LoaderSignaturesForModel(model).Config, "LDBK CONFIG V50") << model;
    }
}

TEST_F(InfoPageTest, RefusesTooSmallAPageSet) {
    Bytes set(PageBytes() * 3, 0);
    EXPECT_FALSE(BuildInfoPage(Context(), CodeBlockList{}, Layout({10}), 1, set));
}

TEST_F(InfoPageTest, FirmwareLayoutLimits) {
    EXPECT_EQ(FirmwareFilePageCount(100, 16), 14);
    EXPECT_EQ(FirmwareFilePageCount(0, 16), 1);
    EXPECT_EQ(FirmwareFilePageCount(8, 16), 2);
    EXPECT_EQ(FirmwareFilePageCount(9, 4), 6);
    EXPECT_EQ(FirmwareFilePageCount(9, 0), 0);

    FirmwarePageLayout layout;
    std::string error;
    // Normal mode: pages 8..47 hold 40 pages; 39 x 8 KiB take 40.
    const std::uint32_t fits[] = {39 * 8};
    EXPECT_TRUE(LayoutFirmwarePages(flash_, settings_.block, fits, layout, &error));
    EXPECT_EQ(layout.LastPage, 47);
    const std::uint32_t tooLarge[] = {39 * 8 + 1};
    EXPECT_FALSE(LayoutFirmwarePages(flash_, settings_.block, tooLarge, layout, &error));
    EXPECT_EQ(error, "The firmware files need 41 pages, but the system area holds 40.");
    const std::uint32_t three[] = {1, 1, 1};
    EXPECT_FALSE(LayoutFirmwarePages(flash_, settings_.block, three, layout, &error));
    EXPECT_FALSE(LayoutFirmwarePages(flash_, settings_.block, {}, layout, &error));
    FlashConfig invalid;
    EXPECT_FALSE(LayoutFirmwarePages(invalid, settings_.block, fits, layout, &error));
}

}  // namespace
}  // namespace kv
