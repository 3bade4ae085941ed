#include "platform/sim/sim_platform.h"

#include <algorithm>
#include <cctype>
#include <limits>

namespace kv::platform {

namespace {

// The disk device interface class, as the platform appends it to a disk path.
constexpr const char* kDiskInterfaceSuffix = "#{53f56307-b6bf-11d0-94f2-00a0c91efb8b}";
constexpr const char* kDevicePathPrefix = "\\\\?\\";

// An open disk path: the drive it names, looked up again for every request so
// that a drive unplugged after the open fails as a gone device.
class SimDeviceHandle final : public DeviceHandle {
  public:
    explicit SimDeviceHandle(kv::emu::DeviceId id) : id_(id) {}
    kv::emu::DeviceId id() const { return id_; }

  private:
    kv::emu::DeviceId id_;
};

SimDevice Describe(const kv::emu::DeviceInfo& info) {
    SimDevice d;
    d.id = info.id;
    d.path = SimDevicePathFor(info.storageInstanceId);
    d.location = info.location;
    d.vendorId = info.vendorId;
    d.productId = info.productId;
    d.serial = info.serial;
    d.usbInstanceId = info.usbInstanceId;
    d.storageInstanceId = info.storageInstanceId;
    d.diskNumber = info.diskNumber;
    return d;
}

kv::emu::DataDirection DirectionOf(const PassThroughRequest& request) {
    if (request.length == 0) {
        return kv::emu::DataDirection::None;
    }
    return request.dataIn ? kv::emu::DataDirection::In : kv::emu::DataDirection::Out;
}

}  // namespace

// A platform clock over one of the fixture's clocks.
class SimPlatform::ClockAdapter final : public Clock {
  public:
    explicit ClockAdapter(kv::emu::Clock& clock) : clock_(clock) {}
    std::int64_t NowMs() override { return clock_.NowMs(); }
    bool SleepMs(std::int64_t ms, const std::atomic<bool>* cancel) override {
        return clock_.SleepMs(ms, cancel);
    }

  private:
    kv::emu::Clock& clock_;
};

std::string SimDevicePathFor(const std::string& storageInstanceId) {
    std::string path = kDevicePathPrefix;
    for (const char c : storageInstanceId) {
        if (c == '\\' || c == '/') {
            path += '#';
        } else {
            path += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
    }
    path += kDiskInterfaceSuffix;
    return path;
}

SimPlatform::SimPlatform(kv::emu::Fixture& fixture)
    : fixture_(fixture),
      discovery_(std::make_unique<SimDiscovery>(fixture_, *this)),
      diskAccess_(std::make_unique<SimDiskAccess>(fixture_, *this)) {}

SimPlatform::SimPlatform(std::unique_ptr<kv::emu::Fixture> owned)
    : owned_(std::move(owned)),
      fixture_(*owned_),
      discovery_(std::make_unique<SimDiscovery>(fixture_, *this)),
      diskAccess_(std::make_unique<SimDiskAccess>(fixture_, *this)) {}

SimPlatform::~SimPlatform() = default;

std::unique_ptr<SimPlatform> SimPlatform::Load(const std::string& fixturePath, std::string& error) {
    std::unique_ptr<kv::emu::Fixture> fixture = kv::emu::Fixture::Load(fixturePath, error);
    if (fixture == nullptr) {
        return nullptr;
    }
    return std::unique_ptr<SimPlatform>(new SimPlatform(std::move(fixture)));
}

std::vector<SimDevice> SimPlatform::PresentDevices() const {
    std::vector<SimDevice> devices;
    for (const kv::emu::DeviceInfo& info : fixture_.Devices()) {
        if (!info.removed && !info.location.empty()) {
            devices.push_back(Describe(info));
        }
    }
    return devices;
}

std::string SimPlatform::DevicePathOf(kv::emu::DeviceId id) const {
    const std::optional<kv::emu::DeviceInfo> info = fixture_.Device(id);
    return info ? SimDevicePathFor(info->storageInstanceId) : std::string();
}

std::optional<kv::emu::DeviceId> SimPlatform::DeviceOfPath(const std::string& path) const {
    if (path.empty()) {
        return std::nullopt;
    }
    for (const SimDevice& d : PresentDevices()) {
        if (d.path == path) {
            return d.id;
        }
    }
    return std::nullopt;
}

Clock& SimPlatform::Adapt(kv::emu::Clock& clock) {
    std::lock_guard<std::mutex> lock(clocksMutex_);
    std::unique_ptr<ClockAdapter>& adapter = clocks_[&clock];
    if (adapter == nullptr) {
        adapter = std::make_unique<ClockAdapter>(clock);
    }
    return *adapter;
}

Clock& SimPlatform::clock() {
    return Adapt(fixture_.MainClock());
}

void SimPlatform::PortPathChanged(int portIndex, const std::string& path) {
    std::lock_guard<std::mutex> hold(portsMutex_);
    if (path.empty()) {
        portPaths_.erase(portIndex);
    } else {
        portPaths_[portIndex] = path;
    }
}

Clock& SimPlatform::portClock(int portIndex) {
    std::string path;
    {
        std::lock_guard<std::mutex> hold(portsMutex_);
        const auto bound = portPaths_.find(portIndex);
        if (bound != portPaths_.end())
            path = bound->second;
    }
    const std::optional<kv::emu::DeviceId> id = DeviceOfPath(path);
    if (id) {
        if (kv::emu::Clock* deviceClock = fixture_.DeviceClock(*id)) {
            return Adapt(*deviceClock);
        }
    }
    return clock();
}

LocalTime SimPlatform::Now() {
    return HostPlatform().Now();
}

void SimPlatform::DebuggerOutput(const char* text) {
    HostPlatform().DebuggerOutput(text);
}

std::string SimPlatform::ExecutableFolder() {
    return HostPlatform().ExecutableFolder();
}

bool SimPlatform::IsOnNetworkDrive(const std::string& folder) {
    return HostPlatform().IsOnNetworkDrive(folder);
}

std::unique_ptr<DeviceHandle> SimPlatform::OpenDevice(const std::string& path,
                                                      std::uint32_t& lastError) {
    const std::optional<kv::emu::DeviceId> id = DeviceOfPath(path);
    if (!id) {
        lastError = static_cast<std::uint32_t>(kv::emu::kErrorDeviceGone);
        return nullptr;
    }
    lastError = 0;
    return std::make_unique<SimDeviceHandle>(*id);
}

PassThroughResult SimPlatform::PassThrough(DeviceHandle& device, PassThroughRequest& request) {
    PassThroughResult result;
    auto* handle = dynamic_cast<SimDeviceHandle*>(&device);
    if (handle == nullptr || request.cdbLength > sizeof(request.cdb)) {
        // Not a handle this backend opened, or a command block longer than its field.
        result.lastError = static_cast<std::uint32_t>(kv::emu::kErrorInvalidParameter);
        return result;
    }
    const kv::emu::ExecuteResult r = fixture_.Execute(
        handle->id(), request.cdb, request.cdbLength, DirectionOf(request),
        static_cast<std::uint8_t*>(request.buffer), request.length, request.timeoutSeconds);
    result.callOk = r.transportOk;
    result.lastError = r.transportOk ? 0 : static_cast<std::uint32_t>(r.lastError);
    result.scsiStatus = r.scsiStatus;
    const std::size_t transferred = std::min<std::size_t>(r.bytesTransferred, request.length);
    result.transferred = static_cast<std::uint32_t>(
        std::min<std::size_t>(transferred, std::numeric_limits<std::uint32_t>::max()));
    return result;
}

bool SimPlatform::IsCapsLockOn() {
    return HostPlatform().IsCapsLockOn();
}

void SimPlatform::ToggleCapsLock() {
    HostPlatform().ToggleCapsLock();
}

}  // namespace kv::platform
