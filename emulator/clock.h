// Time as the virtual fixture sees it.
//
// Every wait of the station and every duration of a drive (boot delay, the
// run time of a program, the delay until a volume shows up) is measured on a
// Clock. The fixture file's TimeScale chooses the kind:
//   - TimeScale > 0: a ScaledClock that runs 1/TimeScale times faster than
//     real time; one instance is shared by every port.
//   - TimeScale = 0: one VirtualClock per port (and one for the fixture's own
//     thread). It advances only by the waits made on it, at their nominal
//     length, and a wait costs no real time.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>

namespace kv::emu {

class Clock {
  public:
    virtual ~Clock() = default;
    // Milliseconds on a monotonic scale that starts at 0 when the clock is made.
    virtual std::int64_t NowMs() = 0;
    // Waits `ms` milliseconds of this clock. Returns false when `cancel` became
    // true before the wait ended (the clock then stands where the wait stopped).
    virtual bool SleepMs(std::int64_t ms, const std::atomic<bool>* cancel = nullptr) = 0;
};

// Real time scaled by a factor: one millisecond of this clock lasts `scale`
// real milliseconds (scale 1 = real time, 0.001 = a thousand times faster).
class ScaledClock final : public Clock {
  public:
    explicit ScaledClock(double scale);
    std::int64_t NowMs() override;
    bool SleepMs(std::int64_t ms, const std::atomic<bool>* cancel = nullptr) override;
    double scale() const { return scale_; }

  private:
    double scale_;
    std::chrono::steady_clock::time_point start_;
};

// A clock that moves only when someone waits on it. Thread-safe: a port's
// worker and the fixture may read it while another thread waits.
class VirtualClock final : public Clock {
  public:
    std::int64_t NowMs() override { return now_.load(); }
    bool SleepMs(std::int64_t ms, const std::atomic<bool>* cancel = nullptr) override;
    // Moves the clock forward without a wait (for tests and device timers).
    void Advance(std::int64_t ms);

  private:
    std::atomic<std::int64_t> now_{0};
};

}  // namespace kv::emu
