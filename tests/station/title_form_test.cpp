#include "station/title_form.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

namespace kv {
namespace {

TEST(TitleForm, SerialNumberPerVariant) {
    struct Case {
        int variant;
        TitleFields fields;
        const char* serial;
    };
    const Case cases[] = {
        {1, {"WO12", "SN0001", "X", "Y", "Z"}, "WO12SN0001"},
        {2, {"WO", "SN", "AB12CDE", "1234", "7777777"}, "AB12CDE-1234-7777777"},
        {2, {"", "", "AB12CDE", "", "7777777"}, "AB12CDE7777777"},
        {2, {"", "", "", "1234", "7777777"}, "1234-7777777"},
        {2, {"", "", "AB12CDE", "1234", ""}, "AB12CDE-1234"},
        {0, {"WO", "SN", "A", "B", "C"}, ""},
        {3, {"WO", "SN", "A", "B", "C"}, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TitleSerialNumber(c.variant, c.fields), c.serial) << c.variant;
}

TEST(TitleForm, KeysAndLimitsOfTheThreeFields) {
    EXPECT_EQ(FilterTitleKey('q'), 'Q');
    EXPECT_EQ(FilterTitleKey('7'), '7');
    EXPECT_EQ(FilterTitleKey('\r'), '\r');
    EXPECT_EQ(FilterTitleKey('\b'), '\b');
    EXPECT_FALSE(FilterTitleKey('-'));
    EXPECT_FALSE(FilterTitleKey(' '));
    EXPECT_EQ(TitleFieldLimit(1), 7u);
    EXPECT_EQ(TitleFieldLimit(2), 4u);
    EXPECT_EQ(TitleFieldLimit(3), 7u);
}

TEST(TitleForm, ResultReplacesTheSerialCutToItsSetting) {
    auto settings = std::make_unique<SettingsBlock>();
    std::strcpy(settings->SerialNum, "OLD");
    settings->SNAutoInc = 1;
    ApplyTitleResult("", false, *settings);  // an empty result keeps the number
    EXPECT_STREQ(settings->SerialNum, "OLD");
    EXPECT_EQ(settings->SNAutoInc, 0);

    ApplyTitleResult(std::string(30, '9'), true, *settings);  // variant 1 has no limit of its own
    EXPECT_EQ(std::string(settings->SerialNum), std::string(21, '9'));
    EXPECT_EQ(settings->SNAutoInc, 1);
}

TEST(WorkOrderForm, StartNeedsAllThreeTexts) {
    auto ap = std::make_unique<AP_GOLBAL>();
    const auto refused = WorkorderStartClick("WO1", "", "1346", *ap);
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->text, "Input error");
    EXPECT_STREQ(ap->WorkOrder, "");

    EXPECT_FALSE(WorkorderStartClick("WO1", std::string(100, 'P'), "1346", *ap));
    EXPECT_STREQ(ap->WorkOrder, "WO1");
    EXPECT_EQ(std::string(ap->PartNumber), std::string(sizeof ap->PartNumber - 1, 'P'));
    EXPECT_STREQ(ap->WeekCode, "1346");
}

}  // namespace
}  // namespace kv
