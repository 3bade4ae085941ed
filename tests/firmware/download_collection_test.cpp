#include "firmware/download_collection.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "firmware/byte_layout.h"
#include "firmware/table_signatures.h"
#include "firmware_test_support.h"

namespace kv {
namespace {

constexpr std::size_t kSlice = 4096;

TEST(DownloadCollection, PageSetCountAndGenerationFollowTheSettings) {
    struct Case {
        std::uint8_t remap, smart;
        int count, sysIndex;
    } cases[] = {{1, 1, 9, 3}, {0, 1, 8, 2}, {1, 0, 8, 3}, {0, 0, 7, 2}};
    for (const Case& c : cases) {
        SettingsBlock s;
        s.RemapEnable = c.remap;
        s.EnKeepSmartInfo = c.smart;
        EXPECT_EQ(CollectionPageSetCount(s), c.count);
        EXPECT_EQ(SystemParameterPageSetIndex(s), c.sysIndex);
    }
    EXPECT_EQ(NextTableGeneration(0), 1);
    EXPECT_EQ(NextTableGeneration(119), 120);
    EXPECT_EQ(NextTableGeneration(65535), 0);
}

TEST(DownloadCollection, DamagedPagesAreFoundPerChannelAndRecorded) {
    std::vector<std::uint8_t> pageSet(kSlice * 4, 0);
    for (int c = 0; c < 4; ++c) {
        PutTableSignature(std::span<std::uint8_t>(pageSet).subspan(c * kSlice, kSlice), 2);
    }
    EXPECT_EQ(FirstUnsignedSlice(pageSet, kSlice, 4, 2), -1);
    pageSet[2 * kSlice + 5] ^= 0xFF;  // channel 2 broken
    EXPECT_EQ(FirstUnsignedSlice(pageSet, kSlice, 4, 2), 2);
    // Pages without a signature always pass.
    EXPECT_EQ(FirstUnsignedSlice(pageSet, kSlice, 4, 6), -1);

    std::vector<std::uint8_t> work(2048, 0xCC);
    PutDamagedTableRecord(work, 2, 2,
                          std::span<const std::uint8_t>(pageSet).subspan(2 * kSlice, kSlice));
    EXPECT_EQ(work[0], 209);
    EXPECT_EQ(work[1], 2);
    EXPECT_EQ(std::memcmp(work.data() + 2, pageSet.data() + 2 * kSlice, work.size() - 2), 0);

    struct Code {
        int page;
        int code;
    } codes[] = {{1, 208}, {2, 209}, {3, 210}, {5, 211}, {6, 0}};
    for (const Code& c : codes) {
        EXPECT_EQ(DamagedTablePageCode(c.page), c.code) << c.page;
    }
}

std::vector<std::uint8_t> SystemPage(int channels) {
    std::vector<std::uint8_t> set(kSlice * channels, 0);
    for (int c = 0; c < channels; ++c) {
        std::memcpy(set.data() + c * kSlice, "SYSPKVR51X-V001", 16);
    }
    return set;
}

TEST(DownloadCollection, SystemParameterPageWithoutPerChipEnableRecords) {
    config::Settings settings = test::SettingsWith(2, 2);
    const FlashConfig flash = test::MakeConfig(test::kToggleMlc, settings);
    std::vector<std::uint8_t> set = SystemPage(2);
    for (int c = 0; c < 2; ++c) {
        PutLe16(set.data() + c * kSlice + 16, 0x0123);
        PutLe16(set.data() + c * kSlice + 20, 0x0456);
    }
    PortImageState port;
    AdoptSystemParameterPage(set, kSlice, flash, BankMapLayoutFor("517", "21"), port);
    EXPECT_EQ(port.SysPageValues[0], 0x0124);
    for (int k = 1; k < 8; ++k) {
        EXPECT_EQ(port.SysPageValues[k], 1) << k;
    }
    EXPECT_EQ(port.SysPageValues[8], 0x0123);
    EXPECT_EQ(port.SysPageValues[9], 0x0456);  // two chip enables
}

TEST(DownloadCollection, PerChipEnableRecordsFillTheBankMapInBothFormats) {
    config::Settings settings = test::SettingsWith(1, 2);
    const FlashConfig flash = test::MakeConfig(test::kToggleMlc, settings);
    struct Case {
        const char* format;
        int perCe;
    } cases[] = {{"42", 6}, {"43", 12}};
    for (const Case& c : cases) {
        std::vector<std::uint8_t> set = SystemPage(1);
        std::uint8_t* s = set.data() + 16;
        PutLe16(s, 0x0200);
        PutLe16(s + 1008, 0x5451);
        const std::size_t record = (c.perCe + 1) * 2;
        for (int k = 0; k < 2; ++k) {
            for (int e = 0; e <= c.perCe; ++e) {
                PutLe16(s + 1010 + k * record + e * 2, static_cast<std::uint16_t>(k * 100 + e));
            }
        }
        PortImageState port;
        AdoptSystemParameterPage(set, kSlice, flash, BankMapLayoutFor("517", c.format), port);
        EXPECT_EQ(port.SysPageValues[0], c.perCe) << c.format;  // last word of record 0
        EXPECT_EQ(port.SysPageValues[1], 100 + c.perCe) << c.format;
        EXPECT_EQ(port.SysPageValues[2], 1);
        EXPECT_EQ(port.SysPageValues[8], 0x0200);
        EXPECT_EQ(port.BankMap[0], 0);
        EXPECT_EQ(port.BankMap[c.perCe - 1], c.perCe - 1);
        EXPECT_EQ(port.BankMap[c.perCe], 100);  // record 1 follows record 0
    }
}

TEST(DownloadCollection, ManyChipEnablesStayInsideTheSliceAndTheValues) {
    // 8 banks x 4 dies: 32 records of 26 bytes would run past a 1 KiB slice.
    config::Settings settings = test::SettingsWith(1, 8);
    FlashConfig flash = test::MakeConfig(test::kToggleMlc, settings);
    flash.Dies = 4;
    const std::size_t slice = 1024 + 16;
    std::vector<std::uint8_t> set(slice, 0xEE);
    std::memcpy(set.data(), "SYSPKVR51X-V001", 16);
    PutLe16(set.data() + 16 + 1008, 0x5451);
    PortImageState port;
    AdoptSystemParameterPage(set, slice, flash, BankMapLayoutFor("517", "43"), port);
    EXPECT_EQ(port.SysPageValues[0], 1);  // no whole record fits
    EXPECT_EQ(port.BankMap[0], 0);
}

TEST(DownloadCollection, EarlyTableDefectsCountBlocksNotMarkersAndStopAtTheEnd) {
    std::vector<std::uint8_t> set(kSlice * 2, 0);
    const std::uint16_t channel0[] = {0xFB00, 0x0012, 0x8034, 0xFB01, 0x0100, 0xFE00, 0x0777};
    std::uint8_t* s = set.data();
    PutTableSignature(std::span<std::uint8_t>(set).first(kSlice), 2);
    for (std::size_t i = 0; i < std::size(channel0); ++i) {
        PutLe16(s + 16 + i * 2, channel0[i]);
    }
    // Channel 1: a slice without an end marker counts up to its end only.
    PutTableSignature(std::span<std::uint8_t>(set).subspan(kSlice, kSlice), 2);
    std::memset(set.data() + kSlice + 16, 0x11, kSlice - 16);
    EXPECT_EQ(CountEarlyTableDefects(set, kSlice, 1), 3u);
    EXPECT_EQ(CountEarlyTableDefects(set, kSlice, 2), 3u + (kSlice - 16) / 2);
    // A slice without the signature counts nothing.
    set[0] = 0;
    EXPECT_EQ(CountEarlyTableDefects(set, kSlice, 1), 0u);
}

}  // namespace
}  // namespace kv
