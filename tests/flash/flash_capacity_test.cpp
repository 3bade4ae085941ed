#include "flash/flash_capacity.h"

#include <gtest/gtest.h>

#include "firmware/firmware_test_support.h"

namespace kv {
namespace {

TEST(FlashCapacityTest, UserCapacityFormula) {
    struct Case {
        const char* what;
        CapacityInput in;
        std::int64_t sectors;
    };
    const Case cases[] = {
        // b = 2048, d = 2048, e = 140, r = 0 (256-page blocks).
        {"4096 blocks, 256 pages", {4096, 1, 256, 16, 4, 2, 68}, 1908LL * 4 * 2 * 2 * 256 * 16},
        // b = 2048, d = 4096, e = (139 + 1) x 2 = 280, r = 1 x 1 x 2 = 2.
        {"two dies, eight channels", {8192, 2, 128, 8, 8, 8, 68}, 3814LL * 8 * 2 * 8 * 128 * 8},
        // b = 4096, e = 278 + 1, r = 2 x 8 x 4 = 64.
        {"one channel SLC", {8192, 1, 64, 4, 1, 1, 68}, (4096LL - 279 - 64) * 2 * 64 * 4},
        {"no reserve", {8192, 1, 64, 4, 1, 1, 0}, (4096LL - 1 - 64) * 2 * 64 * 4},
        {"zero geometry", {0, 0, 0, 0, 4, 2, 68}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(UserCapacitySectors(c.in), c.sectors);
    }
}

TEST(FlashCapacityTest, DisplayHalvedInSlcModeAndLargeFlag) {
    const std::int64_t sectors = 3814LL * 8 * 2 * 8 * 128 * 8;  // 238.375 GiB
    CapacityDisplay shown = MakeCapacityDisplay(sectors, false);
    EXPECT_EQ(shown.DecimalGb, "255.95");
    EXPECT_EQ(shown.BinaryGb, "238.38");
    EXPECT_EQ(shown.Hint, "");
    EXPECT_TRUE(shown.LargeCapacity);

    shown = MakeCapacityDisplay(sectors, true);
    EXPECT_EQ(shown.DecimalGb, "127.98");
    EXPECT_EQ(shown.BinaryGb, "119.19");
    EXPECT_EQ(shown.Hint, "SLC mode enabled");
    EXPECT_FALSE(shown.LargeCapacity);

    EXPECT_EQ(MakeCapacityDisplay(0, false).BinaryGb, "0.00");
}

TEST(FlashCapacityTest, ConfigurationCarriesCapacityAndLargeFlag) {
    const FlashConfig big = test::MakeConfig(test::kTwoDieMlc, test::SettingsWith(8, 8));
    EXPECT_EQ(big.UserCapacity, 3814LL * 8 * 2 * 8 * 128 * 8);
    EXPECT_TRUE(big.LargeCapacity);
    config::Settings slc = test::SettingsWith(8, 8);
    slc.block.EnLowPage = 1;
    EXPECT_FALSE(test::MakeConfig(test::kTwoDieMlc, slc).LargeCapacity);
    EXPECT_FALSE(test::MakeConfig(test::kTwoDieMlc, test::SettingsWith(4, 4)).LargeCapacity);
}

}  // namespace
}  // namespace kv
