// The automation timer (`AutoTestTimer`): with "AutoExecute" set it presses
// START as soon as the button is enabled, and after 8 retries in vain it
// presses it regardless. Driven by clock values (milliseconds on any monotonic
// scale) rather than by a system timer, so both front ends and the tests run
// the same logic.
#pragma once

#include <cstdint>

namespace kv {

inline constexpr std::int64_t kAutoTestIntervalMs = 1000;
// A retry counter above this presses START whether or not it is enabled.
inline constexpr int kAutoTestMaxRetries = 8;

enum class AutoTestAction {
    None,        // the timer is stopped or not due, or START stays untouched
    PressStart,  // press START now
};

class AutomationTimer {
  public:
    // (Re)starts the timer: its next tick is one interval after `nowMs`.
    void Start(std::int64_t nowMs);
    void Stop() { running_ = false; }
    bool running() const { return running_; }
    int retries() const { return retries_; }

    // One tick when the timer is due at `nowMs`: it stops itself; with
    // `autoExecute` and START enabled the retry counter is reset and START is
    // pressed; with `autoExecute` and START disabled it restarts and counts a
    // retry, and once the counter exceeds 8 it stops and presses START
    // regardless. A forced press resets the counter too, so that a timer
    // started again later waits its full retries instead of pressing at once.
    AutoTestAction Poll(std::int64_t nowMs, bool executeEnabled, bool autoExecute);

  private:
    bool running_ = false;
    std::int64_t dueMs_ = 0;
    int retries_ = 0;
};

}  // namespace kv
