// The one narrow interface between the station core and the operating system.
// The core calls nothing of the operating system directly: every service it
// needs is a method here, and a backend (host, sim, linux) implements it.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

namespace kv::platform {

// Wall-clock date and time of the machine, for log names, rows and volume IDs.
struct LocalTime {
    int year = 0;
    int month = 0;  // 1..12
    int day = 0;    // 1..31
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
    int dayOfWeek = 0;  // 0 = Sunday
};

// Every protocol wait, time-out and watchdog runs on this clock, so that the
// virtual fixture can scale time. Waits end early when `cancel` becomes true.
class Clock {
  public:
    virtual ~Clock() = default;
    // Milliseconds on a monotonic scale (not related to the wall clock).
    virtual std::int64_t NowMs() = 0;
    // Waits `ms` milliseconds; returns false when `cancel` ended the wait early.
    virtual bool SleepMs(std::int64_t ms, const std::atomic<bool>* cancel = nullptr) = 0;
};

class Platform {
  public:
    virtual ~Platform() = default;

    virtual Clock& clock() = 0;
    virtual LocalTime Now() = 0;

    // The debugger channel: a line for an attached debugger or system log.
    virtual void DebuggerOutput(const char* text) = 0;

    // Folder of the running executable, with a trailing separator.
    virtual std::string ExecutableFolder() = 0;
    // True when the folder lies on a network file system.
    virtual bool IsOnNetworkDrive(const std::string& folder) = 0;

    // Keyboard state for bar-code scanners that type in the wrong case.
    virtual bool IsCapsLockOn() = 0;
    virtual void ToggleCapsLock() = 0;
};

// The backend in use. The host backend is installed until a front end sets another.
Platform& Current();
void SetCurrent(Platform* backend);

// The host backend: real time and the machine the station runs on.
Platform& HostPlatform();

}  // namespace kv::platform
