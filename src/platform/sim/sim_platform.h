// The sim backend: the platform interface routed to the virtual fixture.
// Pass-through requests go to the emulated drives, and every wait runs on the
// fixture's clocks (one per port at TimeScale 0). Wall time, the executable
// folder, the debugger channel and the keyboard stay those of the host.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "emulator/fixture.h"
#include "platform/platform.h"
#include "platform/sim/sim_discovery.h"
#include "platform/sim/sim_disk_access.h"

namespace kv::platform {

// A drive the fixture shows on the system, as discovery will need it.
struct SimDevice {
    kv::emu::DeviceId id = 0;
    std::string path;      // its disk device path (lower case)
    std::string location;  // hub location, "1.3.1"
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::string serial;
    std::string usbInstanceId;
    std::string storageInstanceId;
    std::uint32_t diskNumber = 0;
};

// The device path the platform gives the disk of a USB storage instance:
// lower case, the instance ID's separators turned into '#', with the disk
// interface class appended.
std::string SimDevicePathFor(const std::string& storageInstanceId);

class SimPlatform : public Platform {
  public:
    // Uses a fixture the caller keeps alive for the backend's lifetime.
    explicit SimPlatform(kv::emu::Fixture& fixture);
    // Loads the fixture file and owns it; nullptr with `error` set on failure.
    static std::unique_ptr<SimPlatform> Load(const std::string& fixturePath, std::string& error);
    ~SimPlatform() override;
    SimPlatform(const SimPlatform&) = delete;
    SimPlatform& operator=(const SimPlatform&) = delete;

    kv::emu::Fixture& fixture() { return fixture_; }

    // Drives that are plugged and not taken off by safe removal.
    std::vector<SimDevice> PresentDevices() const;
    // The device path of a drive; empty for an unknown drive.
    std::string DevicePathOf(kv::emu::DeviceId id) const;
    // The present drive with that device path.
    std::optional<kv::emu::DeviceId> DeviceOfPath(const std::string& path) const;

    Clock& clock() override;
    // The clock of the drive the port table names for that port; the main
    // clock when the port has no path or the path names no present drive.
    Clock& portClock(int portIndex) override;
    void PortPathChanged(int portIndex, const std::string& path) override;
    LocalTime Now() override;
    void DebuggerOutput(const char* text) override;
    std::string ExecutableFolder() override;
    bool IsOnNetworkDrive(const std::string& folder) override;

    std::unique_ptr<DeviceHandle> OpenDevice(const std::string& path,
                                             std::uint32_t& lastError) override;
    PassThroughResult PassThrough(DeviceHandle& device, PassThroughRequest& request) override;

    Discovery* discovery() override { return discovery_.get(); }
    DiskAccess* diskAccess() override { return diskAccess_.get(); }

    bool IsCapsLockOn() override;
    void ToggleCapsLock() override;

  private:
    class ClockAdapter;
    explicit SimPlatform(std::unique_ptr<kv::emu::Fixture> owned);
    Clock& Adapt(kv::emu::Clock& clock);

    std::unique_ptr<kv::emu::Fixture> owned_;
    kv::emu::Fixture& fixture_;
    std::mutex clocksMutex_;
    // The device path the station bound to each port, for the port clocks.
    mutable std::mutex portsMutex_;
    std::map<int, std::string> portPaths_;
    std::map<kv::emu::Clock*, std::unique_ptr<ClockAdapter>> clocks_;
    std::unique_ptr<SimDiscovery> discovery_;
    std::unique_ptr<SimDiskAccess> diskAccess_;
};

}  // namespace kv::platform
