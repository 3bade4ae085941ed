// The per-port device table of the process.
#include "device/port_device.h"

#include "platform/platform.h"

namespace kv {

bool IsPortIndex(int port) {
    return port >= 0 && port < kPortDeviceCount;
}

PortDevices::PortDevices()
    : saveAreas_(std::make_unique<std::array<PortSaveAreas, kPortDeviceCount>>()) {}

bool PortDevices::Set(int port, const std::string& devicePath, BusPath bus) {
    if (!IsPortIndex(port)) {
        return false;
    }
    {
        std::lock_guard<std::mutex> hold(mutex_);
        entries_[static_cast<std::size_t>(port)].DevicePath = devicePath;
        entries_[static_cast<std::size_t>(port)].Bus = bus;
    }
    platform::Current().PortPathChanged(port, devicePath);
    return true;
}

bool PortDevices::SetBusPath(int port, BusPath bus) {
    if (!IsPortIndex(port)) {
        return false;
    }
    std::lock_guard<std::mutex> hold(mutex_);
    entries_[static_cast<std::size_t>(port)].Bus = bus;
    return true;
}

void PortDevices::Clear(int port) {
    if (!IsPortIndex(port)) {
        return;
    }
    {
        std::lock_guard<std::mutex> hold(mutex_);
        entries_[static_cast<std::size_t>(port)] = PortDevice{};
    }
    platform::Current().PortPathChanged(port, "");
}

void PortDevices::ClearAll() {
    {
        std::lock_guard<std::mutex> hold(mutex_);
        entries_.fill(PortDevice{});
    }
    for (int port = 0; port < kPortDeviceCount; ++port) {
        platform::Current().PortPathChanged(port, "");
    }
}

PortDevice PortDevices::Get(int port) const {
    if (!IsPortIndex(port)) {
        return PortDevice{};
    }
    std::lock_guard<std::mutex> hold(mutex_);
    return entries_[static_cast<std::size_t>(port)];
}

BusPath PortDevices::GetBusPath(int port) const {
    if (!IsPortIndex(port)) {
        return PortDevice{}.Bus;
    }
    std::lock_guard<std::mutex> hold(mutex_);
    return entries_[static_cast<std::size_t>(port)].Bus;
}

PortSaveAreas* PortDevices::SaveAreas(int port) {
    if (!IsPortIndex(port)) {
        return nullptr;
    }
    return &(*saveAreas_)[static_cast<std::size_t>(port)];
}

PortDevices& PortDeviceTable() {
    // Never destroyed, so a worker still ending during exit finds it alive.
    static PortDevices* const table = new PortDevices();
    return *table;
}

}  // namespace kv
