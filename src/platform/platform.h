// The one narrow interface between the station core and the operating system.
// The core calls nothing of the operating system directly: every service it
// needs is a method here, and a backend (host, sim, linux) implements it.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

namespace kv::platform {

class Discovery;
class DiskAccess;

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

// An open device path; closed when destroyed.
class DeviceHandle {
  public:
    virtual ~DeviceHandle() = default;
};

// One SCSI pass-through request, as the transport fills it for every call.
struct PassThroughRequest {
    std::uint8_t cdb[16] = {};
    std::uint8_t cdbLength = 0;  // 10, 12 or 16
    bool dataIn = false;         // true for reads; false for writes and non-data commands
    void* buffer = nullptr;      // the caller's data, moved without a copy
    std::uint32_t length = 0;    // byte count of the data phase
    std::uint32_t timeoutSeconds = 0;
};

struct PassThroughResult {
    bool callOk = false;            // the request was carried out by the driver
    std::uint32_t lastError = 0;    // the platform's error value read right after the call
    std::uint8_t scsiStatus = 0;    // SCSI status of the completed request (0 = GOOD)
    std::uint32_t transferred = 0;  // byte count reported back
};

class Platform {
  public:
    virtual ~Platform() = default;

    virtual Clock& clock() = 0;
    // The clock a port's waits run on; the same clock unless a backend keeps one
    // per port (the virtual fixture does, so that each port's time runs apart).
    virtual Clock& portClock(int /*portIndex*/) { return clock(); }
    // Told whenever the station binds a port to a device path (empty: none), so
    // a backend that keeps a clock per drive can hand each port its drive's.
    virtual void PortPathChanged(int /*portIndex*/, const std::string& /*path*/) {}
    virtual LocalTime Now() = 0;

    // The debugger channel: a line for an attached debugger or system log.
    virtual void DebuggerOutput(const char* text) = 0;

    // Folder of the running executable, with a trailing separator.
    virtual std::string ExecutableFolder() = 0;
    // True when the folder lies on a network file system.
    virtual bool IsOnNetworkDrive(const std::string& folder) = 0;

    // Opens a device path for one pass-through request; nullptr with
    // `lastError` set when it cannot be opened.
    virtual std::unique_ptr<DeviceHandle> OpenDevice(const std::string& /*path*/,
                                                     std::uint32_t& lastError) {
        lastError = 2;  // no such device
        return nullptr;
    }
    virtual PassThroughResult PassThrough(DeviceHandle& /*device*/,
                                          PassThroughRequest& /*request*/) {
        return PassThroughResult{};
    }

    // Hub walk, disk and USB-storage lists, removal and device-change events;
    // nullptr when the backend has none.
    virtual Discovery* discovery() { return nullptr; }
    // Disk geometry, layout and volume services; nullptr when the backend has none.
    virtual DiskAccess* diskAccess() { return nullptr; }

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
