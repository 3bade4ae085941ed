#include "run/automation_timer.h"

#include <gtest/gtest.h>

namespace kv {
namespace {

// Ticks the timer each second until it presses START or stops; the number of
// ticks it took, or -1 when it stopped without pressing.
int TicksUntilPress(AutomationTimer& timer, std::int64_t& now, int enabledFromTick,
                    bool autoExecute = true) {
    for (int tick = 1; tick <= 20; ++tick) {
        now += kAutoTestIntervalMs;
        const AutoTestAction action = timer.Poll(now, tick >= enabledFromTick, autoExecute);
        if (action == AutoTestAction::PressStart)
            return tick;
        if (!timer.running())
            return -1;
    }
    return 0;
}

TEST(AutomationTimer, PressesOnceStartIsEnabled) {
    AutomationTimer timer;
    std::int64_t now = 0;
    timer.Start(now);
    EXPECT_EQ(TicksUntilPress(timer, now, 4), 4);
    EXPECT_FALSE(timer.running());
    EXPECT_EQ(timer.retries(), 0);
}

TEST(AutomationTimer, PressesRegardlessAfterEightRetries) {
    AutomationTimer timer;
    std::int64_t now = 0;
    timer.Start(now);
    EXPECT_EQ(TicksUntilPress(timer, now, 100), 9);
    EXPECT_FALSE(timer.running());

    // Started again later, it waits its full retries again.
    timer.Start(now);
    EXPECT_EQ(TicksUntilPress(timer, now, 100), 9);
}

TEST(AutomationTimer, WithoutAutoExecuteATickOnlyStopsIt) {
    AutomationTimer timer;
    std::int64_t now = 0;
    timer.Start(now);
    EXPECT_EQ(TicksUntilPress(timer, now, 1, false), -1);
}

TEST(AutomationTimer, TicksOnlyWhenDue) {
    AutomationTimer timer;
    EXPECT_EQ(timer.Poll(5000, true, true), AutoTestAction::None);  // not started
    timer.Start(1000);
    EXPECT_EQ(timer.Poll(1999, true, true), AutoTestAction::None);
    EXPECT_TRUE(timer.running());
    EXPECT_EQ(timer.Poll(2000, true, true), AutoTestAction::PressStart);
}

}  // namespace
}  // namespace kv
