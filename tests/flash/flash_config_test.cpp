#include "flash/flash_config.h"

#include <gtest/gtest.h>

#include <functional>

#include "firmware/firmware_test_support.h"
#include "flash/flash_texts.h"

namespace kv {
namespace {

using test::DefaultSettings;
using test::MakeConfig;
using test::MakePart;
using test::SettingsWith;

TEST(FlashConfigTest, SelectsAToggleMlcPartWithDefaultSettings) {
    const config::Settings s = SettingsWith(4, 2);
    const FlashConfig c = MakeConfig(test::kToggleMlc, s);
    ASSERT_TRUE(c.Valid) << c.Problem;
    EXPECT_STREQ(c.FlashName, "TGL32G");
    EXPECT_STREQ(c.PartNumber, "K9GBG08U0A");
    EXPECT_EQ(c.Channels, 4);
    EXPECT_EQ(c.Banks, 2);
    EXPECT_EQ(c.BlocksPerCe, 4096);
    EXPECT_EQ(c.BlocksPerPlaneDie, 2048);
    EXPECT_EQ(c.PagesPerBlock, 256);
    EXPECT_EQ(c.SectorsPerPage, 16);
    EXPECT_EQ(c.Dies, 1);
    EXPECT_EQ(c.MakerClass, 1);
    EXPECT_EQ(c.GeometryCode, 0x1A);
    EXPECT_EQ(c.GeometryCode2, 0x1A);
    // Trim and 48-bit LBA are on by default, bit 5 always.
    EXPECT_EQ(c.FeatureFlags, 0x61);
    EXPECT_EQ(c.FeatureFlags2, 0x00);
    EXPECT_EQ(c.FeatureFlags3, 0x00);
    const std::uint8_t toggle[7] = {0x00, 0x00, 0x22, 0x04, 0xFF, 0xFF, 0x1F};
    const std::uint8_t async[7] = {0x90, 0x90, 0x22, 0x04, 0x9B, 0xF9, 0x54};
    EXPECT_EQ(0, std::memcmp(c.SyncTiming, toggle, 7));
    EXPECT_EQ(0, std::memcmp(c.AsyncTiming, async, 7));
    const std::uint8_t options[16] = {0, 0, 0, 0, 1, 1, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0};
    EXPECT_EQ(0, std::memcmp(c.OptionFlags, options, 16));
    EXPECT_EQ(c.DirtyDepth, 40);
    EXPECT_EQ(c.ResPercentage, 68);
    EXPECT_STREQ(c.BlocksSignature, "LDBK BLOCKS V50");
    EXPECT_STREQ(c.ConfigSignature, "LDBK CONFIG V50");
    const std::uint8_t bankSet[8] = {0, 1, 2, 3, 4, 5, 6, 7};
    EXPECT_EQ(0, std::memcmp(c.FwBankSet, bankSet, 8));
    // b = 2048, e = 68 x 2048 / 1000 + 1 = 140, r = 0 for 256-page blocks.
    EXPECT_EQ(c.UserCapacity, (2048 - 140) * 4 * 2 * 2 * 256 * 16);
    EXPECT_FALSE(c.LargeCapacity);
}

struct FlagCase {
    const char* what;
    std::function<void(config::Settings&)> change;
    std::function<std::uint8_t(const FlashConfig&)> field;
    std::uint8_t expected;
};

TEST(FlashConfigTest, FeatureBytesFollowTheirSettings) {
    auto f1 = [](const FlashConfig& c) { return c.FeatureFlags; };
    auto f2 = [](const FlashConfig& c) { return c.FeatureFlags2; };
    auto f3 = [](const FlashConfig& c) { return c.FeatureFlags3; };
    const FlagCase cases[] = {
        {"all off", [](config::Settings& s) { s.block.EnTrimCmd = s.block.SataLBA48 = 0; }, f1,
         0x20},
        {"thermal, alignment",
         [](config::Settings& s) {
             s.block.EnThermalSensor = 1;
             s.block.EnSizeAlignment = 7;
         },
         f1, 0x73},
        {"no SPI", [](config::Settings& s) { s.block.EnNoSPI = 1; }, f2, 0x08},
        {"later skips",
         [](config::Settings& s) {
             s.block.EnLaterSkipEccOver = s.block.EnLaterSkipProgFail = 1;
             s.block.EnLaterSkipEraseFail = s.block.EnLaterSkipEccFail = 1;
         },
         f3, 0x1D},
        {"later ECC fail only", [](config::Settings& s) { s.block.EnLaterSkipEccFail = 1; }, f3,
         0x10},
    };
    for (const FlagCase& c : cases) {
        SCOPED_TRACE(c.what);
        config::Settings s = SettingsWith(4, 2);
        c.change(s);
        EXPECT_EQ(c.field(MakeConfig(test::kToggleMlc, s)), c.expected);
    }
    // Interface 5 and a single-plane part set bits 1 and 2 of the second byte.
    EXPECT_EQ(MakeConfig(test::kTwoDieMlc, SettingsWith(4, 2)).FeatureFlags2, 0x06);
}

TEST(FlashConfigTest, TimingDefaultsAndOverrides) {
    config::Settings s = SettingsWith(4, 2);
    const std::uint8_t onfi[7] = {0x10, 0x10, 0x11, 0x00, 0x9B, 0xF9, 0x54};
    EXPECT_EQ(0, std::memcmp(MakeConfig(test::kSmallSlc, s).SyncTiming, onfi, 7));

    s.block.EnModifyTMCvalue = 1;
    for (int i = 0; i < 7; ++i) {
        s.block.ToggleTMC[i] = static_cast<std::uint8_t>(0x10 + i);
        s.block.ONFITMC[i] = static_cast<std::uint8_t>(0x20 + i);
        s.block.AsynTMC[i] = static_cast<std::uint8_t>(0x30 + i);
    }
    const FlashConfig toggle = MakeConfig(test::kToggleMlc, s);
    const FlashConfig plain = MakeConfig(test::kSmallSlc, s);
    EXPECT_EQ(0, std::memcmp(toggle.SyncTiming, s.block.ToggleTMC, 7));
    EXPECT_EQ(0, std::memcmp(plain.SyncTiming, s.block.ONFITMC, 7));
    EXPECT_EQ(0, std::memcmp(toggle.AsyncTiming, s.block.AsynTMC, 7));
    EXPECT_EQ(0, std::memcmp(plain.AsyncTiming, s.block.AsynTMC, 7));
}

TEST(FlashConfigTest, FixedBch24CopyThresholdOfSomeMakerClass1Parts) {
    struct Case {
        const char* partNumber;
        std::uint16_t typeWord;
        int expected;
    };
    const Case cases[] = {
        {"K9HDG08U1A", 0x1852, 15},  // class 1, "HDG08" at characters 3..7
        {"K9PFG08U5M", 0x1852, 15},
        {"K9GBG08U0A", 0x1852, 3},  // another class 1 part keeps the setting
        {"K9HDG08U1A", 0x2852, 3},  // class 2 keeps the setting
        {"XK9HDG08U1", 0x1852, 3},  // the code one character later
        {"K9HDG0", 0x1852, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.partNumber);
        config::Settings s = SettingsWith(4, 2);
        s.block.Bch24EccErrorCopyThreshold = 3;
        test::PartSample sample = test::kToggleMlc;
        sample.partNumber = c.partNumber;
        sample.typeWord = c.typeWord;
        EXPECT_EQ(MakeConfig(sample, s).Bch24EccErrorCopyThreshold, c.expected);
    }
}

TEST(FlashConfigTest, SerialNumberPaddedOrCutToTheMinimumLength) {
    struct Case {
        const char* serial;
        int minLength;
        const char* expected;
    };
    const Case cases[] = {
        {"1234", 12, "000000001234"},         {"KV_0123456789", 12, "V_0123456789"},
        {"ABCDEFGHIJKL", 12, "ABCDEFGHIJKL"}, {"AB", 0, ""},
        {"XY", 40, "0000000000000000000XY"},  // at most 21 characters are kept
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.serial);
        EXPECT_EQ(PadSerialNumber(c.serial, c.minLength), c.expected);
    }
    config::Settings s = SettingsWith(4, 2);
    EXPECT_STREQ(MakeConfig(test::kToggleMlc, s).SerialNumber, "V_0123456789");
}

TEST(FlashConfigTest, SettingsCopiesAndClamps) {
    config::Settings s = SettingsWith(4, 2);
    test::PartSample sample = test::kToggleMlc;
    FlashPart part = MakePart(sample);
    part.ExtendBlocks = 32;
    part.SpareAttr = 5;
    s.block.DirtyDepth = 5;
    s.block.ScrambleEnable = 9;
    s.block.RemapEnable = 0;
    s.process.UsbLedP14 = 3;
    s.block.NoDeviceSleep = 1;
    FlashConfig c = SelectFlashPart(part, s.block, s.process);
    EXPECT_EQ(c.ExtendBlocks, 0);  // unless "EnExtendBlock" is on
    EXPECT_EQ(c.DirtyDepth, 10);
    EXPECT_EQ(c.OptionFlags[4], 1);
    EXPECT_EQ(c.OptionFlags[5], 0);
    EXPECT_EQ(c.OptionFlags[7], 5);
    EXPECT_EQ(c.OptionFlags[9], 3);
    EXPECT_EQ(c.OptionFlags[14], 1);

    s.block.EnExtendBlock = 1;
    s.block.DirtyDepth = 100;
    c = SelectFlashPart(part, s.block, s.process);
    EXPECT_EQ(c.ExtendBlocks, 32);
    EXPECT_EQ(c.DirtyDepth, 40);
}

TEST(FlashConfigTest, InvalidPartsAreReported) {
    struct Case {
        const char* what;
        std::uint16_t typeWord;
        int channels, banks, ceCount;
        bool valid;
    };
    const Case cases[] = {
        {"sound", 0x1852, 8, 8, 2, true},
        {"three channels", 0x1852, 3, 1, 2, true},
        {"undefined page size", 0x1854, 4, 2, 2, false},
        {"undefined pages per block", 0x1872, 4, 2, 2, false},
        {"undefined block count", 0x1952, 4, 2, 2, false},
        {"undefined die count", 0x1E52, 4, 2, 2, false},
        {"no channel", 0x1852, 0, 2, 2, false},
        {"nine channels", 0x1852, 9, 2, 2, false},
        {"no bank", 0x1852, 4, 0, 2, false},
        {"nine banks", 0x1852, 4, 9, 2, false},
        {"no chip enable", 0x1852, 4, 2, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::PartSample sample = test::kToggleMlc;
        sample.typeWord = c.typeWord;
        sample.ceCount = static_cast<std::uint8_t>(c.ceCount);
        const FlashConfig config = MakeConfig(sample, SettingsWith(c.channels, c.banks));
        EXPECT_EQ(config.Valid, c.valid) << config.Problem;
        EXPECT_EQ(config.Problem.empty(), c.valid);
        if (!c.valid) {
            EXPECT_EQ(config.UserCapacity, 0);
            const OperatorMessage m = InvalidFlashPartMessage(config);
            EXPECT_EQ(m.caption, "Error");
            EXPECT_NE(m.text.find("TGL32G"), std::string::npos);
        }
    }
}

FlashPartsList ListOf(std::initializer_list<const char*> names) {
    FlashPartsList list;
    list.Vendors.push_back("V");
    for (const char* name : names) {
        test::PartSample sample = test::kToggleMlc;
        sample.name = name;
        list.Parts.push_back(MakePart(sample));
    }
    list.VendorPartEnd.push_back(static_cast<int>(list.Parts.size()));
    return list;
}

TEST(FlashConfigTest, ChangeGlobalParameterFindsThePartByItsWholeName) {
    const char* longName = "ABCDEFGHIJKLMNOPQRSTUVWXYZ01234";  // 31 characters
    const FlashPartsList list = ListOf({"First", "wbg", longName});
    config::Settings s = SettingsWith(4, 2);

    std::strcpy(s.block.FlashUniName, longName);
    FlashSelection sel = ChangeGlobalParameter(list, s.block, s.process);
    EXPECT_EQ(sel.PartIndex, 2);
    EXPECT_STREQ(sel.Config.FlashName, longName);
    EXPECT_FALSE(sel.Message.has_value());
    ASSERT_EQ(sel.Memo.size(), 4u);

    // The comparison is case-sensitive; an unknown name applies the first part.
    std::strcpy(s.block.FlashUniName, "WBG");
    sel = ChangeGlobalParameter(list, s.block, s.process);
    EXPECT_EQ(sel.PartIndex, 0);
    EXPECT_STREQ(sel.Config.FlashName, "First");

    sel = ChangeGlobalParameter(FlashPartsList{}, s.block, s.process);
    EXPECT_EQ(sel.PartIndex, -1);
    EXPECT_FALSE(sel.Config.Valid);
    EXPECT_TRUE(sel.Message.has_value());

    s.block.Channel = 12;
    sel = ChangeGlobalParameter(list, s.block, s.process);
    EXPECT_FALSE(sel.Config.Valid);
    ASSERT_TRUE(sel.Message.has_value());
    EXPECT_NE(sel.Message->text.find("channel count 12"), std::string::npos);
}

TEST(FlashConfigTest, SelectionTexts) {
    const FlashConfig two = MakeConfig(test::kTwoDieMlc, SettingsWith(4, 2));
    const std::vector<std::string> memo = FlashDetailMemo(two);
    const std::vector<std::string> expected = {
        "Type: MLC, Die: 2", "TotalBlock: 8192, BlockPage: 128",
        "PerPageSize: 4096 DieOffset: 4096", "FlashInterface: 5"};
    EXPECT_EQ(memo, expected);
    EXPECT_EQ(FlashDetailMemo(MakeConfig(test::kSmallSlc, SettingsWith(1, 1)))[0],
              "Type: SLC, Die: 1");

    const FlashPart part = MakePart(test::kSmallSlc);
    EXPECT_EQ(FlashStatusText(part, 4, 2), "Flash: SLC2G(0x0080), Channel: 4, Bank: 2");
    EXPECT_EQ(FlashPartListItem(part), "SLC2G  /  AX29F02G08 (1CE)");
}

}  // namespace
}  // namespace kv
