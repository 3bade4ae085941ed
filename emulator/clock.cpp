#include "emulator/clock.h"

#include <algorithm>
#include <thread>

namespace kv::emu {

ScaledClock::ScaledClock(double scale) : scale_(scale), start_(std::chrono::steady_clock::now()) {}

std::int64_t ScaledClock::NowMs() {
    const double realMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start_)
            .count();
    return static_cast<std::int64_t>(realMs / scale_);
}

bool ScaledClock::SleepMs(std::int64_t ms, const std::atomic<bool>* cancel) {
    if (ms <= 0) {
        return !(cancel != nullptr && cancel->load());
    }
    const auto realWait =
        std::chrono::duration<double, std::milli>(static_cast<double>(ms) * scale_);
    const auto end = std::chrono::steady_clock::now() +
                     std::chrono::duration_cast<std::chrono::steady_clock::duration>(realWait);
    // Wake at least every 10 ms of real time to look at the cancellation flag.
    const auto slice = std::chrono::milliseconds(10);
    for (;;) {
        if (cancel != nullptr && cancel->load()) {
            return false;
        }
        const auto now = std::chrono::steady_clock::now();
        if (now >= end) {
            return true;
        }
        std::this_thread::sleep_for(
            std::min<std::chrono::steady_clock::duration>(end - now, slice));
    }
}

bool VirtualClock::SleepMs(std::int64_t ms, const std::atomic<bool>* cancel) {
    if (cancel != nullptr && cancel->load()) {
        return false;
    }
    if (ms > 0) {
        now_.fetch_add(ms);
    }
    return true;
}

void VirtualClock::Advance(std::int64_t ms) {
    if (ms > 0) {
        now_.fetch_add(ms);
    }
}

}  // namespace kv::emu
