// The main window's device-change handling: the notification registration,
// the handler of each event and timer 51, which turns a burst of plug and
// unplug events into one re-scan. There is no window here: the platform's
// notifications are queued, and the front end's message loop calls Pump,
// which handles them and fires the timer on the platform clock.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>

#include "device/discovery_session.h"
#include "platform/discovery.h"

namespace kv {

inline constexpr int kDeviceChangeTimerId = 51;
inline constexpr std::int64_t kArrivalRescanDelayMs = 1500;
inline constexpr std::int64_t kRemovalRescanDelayMs = 200;

class DeviceChangeMonitor {
  public:
    explicit DeviceChangeMonitor(DiscoverySession& session);
    ~DeviceChangeMonitor();
    DeviceChangeMonitor(const DeviceChangeMonitor&) = delete;
    DeviceChangeMonitor& operator=(const DeviceChangeMonitor&) = delete;

    // Registers for arrivals and removals of USB device interfaces; false
    // when the platform has no discovery services.
    bool RegisterForDeviceChanges();

    // The handler of one event: with no run in progress, an arrival restarts
    // timer 51 with 1500 ms, a removal with 200 ms (none while the flash
    // "Auto Detect" button is disabled); START is disabled meanwhile.
    void OnDeviceChange(std::uint32_t event, std::uint32_t deviceType);

    // Timer 51, on the platform clock.
    void StartTimer(std::int64_t intervalMs);
    void KillTimer();
    bool timerRunning() const { return armed_; }
    std::int64_t timerDueMs() const { return dueMs_; }

    // One turn of the message loop: handles the events posted since the
    // last turn, then fires timer 51 when it is due (kills it, runs
    // EnumUSBDevice, gives START the focus). True when it re-scanned.
    bool Pump();

  private:
    struct Posted {
        std::mutex mutex;
        std::deque<platform::DeviceChangeEvent> events;
    };

    DiscoverySession& session_;
    std::shared_ptr<Posted> posted_;
    bool registered_ = false;
    bool armed_ = false;
    std::int64_t dueMs_ = 0;
};

}  // namespace kv
