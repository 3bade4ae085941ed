#include "run/elapsed_time.h"

#include <gtest/gtest.h>

namespace kv {
namespace {

platform::LocalTime At(int year, int month, int day, int hour, int minute, int second) {
    platform::LocalTime t;
    t.year = year;
    t.month = month;
    t.day = day;
    t.hour = hour;
    t.minute = minute;
    t.second = second;
    return t;
}

TEST(ElapsedTime, TextShowsOnlyTheNonZeroParts) {
    struct Case {
        std::int64_t seconds;
        const char* text;
    };
    const Case cases[] = {
        {0, ""},
        {7, "7 Sec"},
        {60, "1 Min "},
        {3600, "1 Hour "},
        {3725, "1 Hour 2 Min 5 Sec"},
        {3605, "1 Hour 5 Sec"},
        {90000, "25 Hour "},  // hours are not wrapped at a day
    };
    for (const Case& c : cases)
        EXPECT_EQ(ElapsedTimeText(c.seconds), c.text) << c.seconds;
}

TEST(ElapsedTime, AbsoluteAcrossDayMonthAndYearEnds) {
    struct Case {
        platform::LocalTime start;
        platform::LocalTime now;
        std::int64_t seconds;
    };
    const Case cases[] = {
        {At(2026, 12, 11, 10, 59, 50), At(2026, 12, 11, 11, 0, 5), 15},
        {At(2026, 12, 11, 23, 59, 59), At(2026, 12, 12, 0, 0, 1), 2},
        {At(2026, 1, 31, 23, 0, 0), At(2026, 2, 1, 1, 0, 0), 7200},
        {At(2028, 2, 28, 12, 0, 0), At(2028, 3, 1, 12, 0, 0), 2 * 86400},  // leap year
        {At(2026, 12, 31, 23, 59, 30), At(2027, 1, 1, 0, 0, 30), 60},
        {At(2026, 12, 11, 12, 0, 0), At(2026, 12, 11, 11, 0, 0), 0},  // clock set back
    };
    for (const Case& c : cases)
        EXPECT_EQ(ElapsedSeconds(c.start, c.now), c.seconds) << c.seconds;
}

}  // namespace
}  // namespace kv
