// The host backend: real time, the machine's local clock, stderr as the
// debugger channel and the file system the executable runs from.
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "platform/network_drive.h"
#include "platform/platform.h"

namespace kv::platform {
namespace {

// A cancellable wait looks at its flag at least this often.
constexpr std::int64_t kCancelPollMs = 10;
// Longer waits are cut to this (a year), keeping the deadline arithmetic in range.
constexpr std::int64_t kLongestSleepMs = 365LL * 24 * 3600 * 1000;

class HostClock final : public Clock {
  public:
    std::int64_t NowMs() override {
        const auto since = std::chrono::steady_clock::now().time_since_epoch();
        return std::chrono::duration_cast<std::chrono::milliseconds>(since).count();
    }

    bool SleepMs(std::int64_t ms, const std::atomic<bool>* cancel) override {
        const std::int64_t wait = std::clamp<std::int64_t>(ms, 0, kLongestSleepMs);
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(wait);
        for (;;) {
            if (cancel != nullptr && cancel->load()) {
                return false;
            }
            const auto now = std::chrono::steady_clock::now();
            if (now >= end) {
                return true;
            }
            const auto step = cancel == nullptr
                                  ? end - now
                                  : std::min<std::chrono::steady_clock::duration>(
                                        end - now, std::chrono::milliseconds(kCancelPollMs));
            std::this_thread::sleep_for(step);
        }
    }
};

class HostBackend final : public Platform {
  public:
    Clock& clock() override { return clock_; }

    LocalTime Now() override {
        const auto now = std::chrono::system_clock::now();
        const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
        const auto sinceSecond = now - std::chrono::system_clock::from_time_t(seconds);
        std::tm parts{};
        LocalTime result;
        if (localtime_r(&seconds, &parts) == nullptr) {
            return result;
        }
        result.year = parts.tm_year + 1900;
        result.month = parts.tm_mon + 1;
        result.day = parts.tm_mday;
        result.hour = parts.tm_hour;
        result.minute = parts.tm_min;
        result.second = parts.tm_sec;
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(sinceSecond).count();
        result.millisecond = static_cast<int>(std::clamp<std::int64_t>(ms, 0, 999));
        result.dayOfWeek = parts.tm_wday;
        return result;
    }

    // A Linux station has no debugger channel; KV_DEBUGGER_OUTPUT=1 sends the
    // text to stderr for someone watching the console.
    void DebuggerOutput(const char* text) override {
        if (text == nullptr) {
            return;
        }
        const char* wanted = std::getenv("KV_DEBUGGER_OUTPUT");
        if (wanted == nullptr || std::strcmp(wanted, "1") != 0) {
            return;
        }
        std::fputs(text, stderr);
        std::fflush(stderr);
    }

    std::string ExecutableFolder() override {
        char buffer[4096];
        const ssize_t length = readlink("/proc/self/exe", buffer, sizeof(buffer));
        if (length <= 0 || static_cast<std::size_t>(length) >= sizeof(buffer)) {
            return "./";
        }
        std::string path(buffer, static_cast<std::size_t>(length));
        const std::size_t slash = path.rfind('/');
        if (slash == std::string::npos) {
            return "./";
        }
        path.resize(slash + 1);
        return path;
    }

    bool IsOnNetworkDrive(const std::string& folder) override {
        return IsNetworkFileSystem(folder);
    }

    // A console-less Linux host has no keyboard state to read or change.
    bool IsCapsLockOn() override { return false; }
    void ToggleCapsLock() override {}

  private:
    HostClock clock_;
};

std::atomic<Platform*> g_current{nullptr};

}  // namespace

Platform& HostPlatform() {
    // Never destroyed, so threads still tracing during exit find it alive.
    static HostBackend* const backend = new HostBackend();
    return *backend;
}

Platform& Current() {
    Platform* backend = g_current.load(std::memory_order_acquire);
    return backend != nullptr ? *backend : HostPlatform();
}

// nullptr puts the host backend back.
void SetCurrent(Platform* backend) {
    g_current.store(backend, std::memory_order_release);
}

}  // namespace kv::platform
