#include "run/automation_timer.h"

namespace kv {

void AutomationTimer::Start(std::int64_t nowMs) {
    running_ = true;
    dueMs_ = nowMs + kAutoTestIntervalMs;
}

AutoTestAction AutomationTimer::Poll(std::int64_t nowMs, bool executeEnabled, bool autoExecute) {
    if (!running_ || nowMs < dueMs_)
        return AutoTestAction::None;
    running_ = false;
    if (!autoExecute)
        return AutoTestAction::None;
    if (executeEnabled) {
        retries_ = 0;
        return AutoTestAction::PressStart;
    }
    Start(nowMs);
    ++retries_;
    if (retries_ > kAutoTestMaxRetries) {
        running_ = false;
        retries_ = 0;
        return AutoTestAction::PressStart;
    }
    return AutoTestAction::None;
}

}  // namespace kv
