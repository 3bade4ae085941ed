#include "device/vendor_access_wait.h"

#include <array>

#include "device/port_device.h"
#include "platform/platform.h"

namespace kv {
namespace {

std::array<std::atomic<const std::atomic<bool>*>, kPortDeviceCount>& CancelFlags() {
    static auto* const flags =
        new std::array<std::atomic<const std::atomic<bool>*>, kPortDeviceCount>();
    return *flags;
}

std::atomic<std::int64_t> g_keepWaitingLimitMs{kDefaultKeepWaitingLimitMs};

const std::atomic<bool>* FlagOf(int port) {
    if (!IsPortIndex(port)) {
        return nullptr;
    }
    return CancelFlags()[static_cast<std::size_t>(port)].load();
}

}  // namespace

void SetPortCancelFlag(int port, const std::atomic<bool>* flag) {
    if (IsPortIndex(port)) {
        CancelFlags()[static_cast<std::size_t>(port)].store(flag);
    }
}

bool PortCancelled(int port) {
    const std::atomic<bool>* flag = FlagOf(port);
    return flag != nullptr && flag->load();
}

bool PortWait(int port, std::int64_t ms) {
    const std::atomic<bool>* flag = FlagOf(port);
    if (flag != nullptr && flag->load()) {
        return false;
    }
    if (ms <= 0) {
        return true;
    }
    return platform::Current().portClock(port).SleepMs(ms, flag);
}

void SetKeepWaitingLimitMs(std::int64_t ms) {
    g_keepWaitingLimitMs.store(ms > 0 ? ms : kDefaultKeepWaitingLimitMs);
}

std::int64_t KeepWaitingLimitMs() {
    return g_keepWaitingLimitMs.load();
}

}  // namespace kv
