#include "device/discovery_device_change.h"

#include "device/debug_log.h"
#include "device/enum_usb_device.h"
#include "platform/platform.h"

namespace kv {

DeviceChangeMonitor::DeviceChangeMonitor(DiscoverySession& session)
    : session_(session), posted_(std::make_shared<Posted>()) {}

DeviceChangeMonitor::~DeviceChangeMonitor() {
    if (registered_) {
        if (platform::Discovery* discovery = platform::Current().discovery()) {
            discovery->UnregisterDeviceChanges();
        }
    }
}

bool DeviceChangeMonitor::RegisterForDeviceChanges() {
    platform::Discovery* discovery = platform::Current().discovery();
    if (discovery == nullptr) {
        return false;
    }
    // The queue outlives the monitor for a notification already under way.
    std::shared_ptr<Posted> posted = posted_;
    registered_ =
        discovery->RegisterDeviceChanges([posted](const platform::DeviceChangeEvent& event) {
            std::lock_guard<std::mutex> hold(posted->mutex);
            posted->events.push_back(event);
        });
    return registered_;
}

void DeviceChangeMonitor::StartTimer(std::int64_t intervalMs) {
    armed_ = true;
    dueMs_ = platform::Current().clock().NowMs() + intervalMs;
}

void DeviceChangeMonitor::KillTimer() {
    armed_ = false;
}

void DeviceChangeMonitor::OnDeviceChange(std::uint32_t event, std::uint32_t deviceType) {
    OutputDbgMsg("DeviceChange in \r\n");
    DiscoveryWindow& window = session_.window;
    const bool plugEvent =
        event == platform::kDeviceArrival || event == platform::kDeviceRemoveComplete;
    if (plugEvent && deviceType == platform::kDeviceTypeInterface && !window.RunInProgress()) {
        window.SetStartEnabled(false);
        KillTimer();
        if (event == platform::kDeviceArrival) {
            OutputDbgMsg("Normal Plug-in event captured\r\n");
            StartTimer(kArrivalRescanDelayMs);
        } else {
            OutputDbgMsg("Normal Unplug event captured\r\n");
            if (window.AutoDetectEnabled()) {
                StartTimer(kRemovalRescanDelayMs);
            } else {
                OutputDbgMsg("DeviceChange by FlashAutoDetectBtn \r\n");
            }
        }
    }
    OutputDbgMsg("DeviceChange out \r\n");
}

bool DeviceChangeMonitor::Pump() {
    std::deque<platform::DeviceChangeEvent> events;
    {
        std::lock_guard<std::mutex> hold(posted_->mutex);
        events.swap(posted_->events);
    }
    for (const platform::DeviceChangeEvent& e : events) {
        OnDeviceChange(e.event, e.deviceType);
    }
    if (!armed_ || platform::Current().clock().NowMs() < dueMs_) {
        return false;
    }
    KillTimer();
    EnumUSBDevice(session_);
    session_.window.FocusStart();
    return true;
}

}  // namespace kv
