// The virtual fixture: USB root hubs, downstream hubs, their ports and the
// drives plugged into them, as the sim platform backend sees them.
//
// Loading a fixture powers up every drive of the file on its port. Drives
// can be unplugged and plugged while the station runs; every change raises a
// device-change event (a callback and a queue the backend may poll). Safe
// removal takes a drive's USB device off the system without unplugging it:
// its port still shows the device, but it carries no disk until it is
// unplugged and plugged again.
//
// Time: with TimeScale > 0 every port shares one scaled clock; with
// TimeScale 0 each port has a clock of its own that advances only by the
// waits made on it (PortClock), and the fixture's own thread has another
// (MainClock). A drive measures its durations on the clock of its port.
//
// Thread-safety: every method may be called from any thread. Requests to
// different drives run in parallel; a drive that hangs holds only its caller.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "emulator/bridge_kind.h"
#include "emulator/clock.h"
#include "emulator/disk_layout.h"
#include "emulator/drive.h"
#include "emulator/execute_result.h"
#include "emulator/fixture_config.h"

namespace kv::emu {

// A drive's identity, stable across runs (derived from its name); never 0.
using DeviceId = std::uint64_t;

struct DeviceInfo {
    DeviceId id = 0;
    std::string name;      // its state folder
    std::string location;  // "1.3.1"
    BridgeCode bridge{};
    BridgeKind kind;
    std::uint16_t vendorId = 0;  // USB device descriptor
    std::uint16_t productId = 0;
    std::string serial;             // USB serial number string descriptor
    std::string usbInstanceId;      // "USB\VID_xxxx&PID_yyyy\serial"
    std::string storageInstanceId;  // "USBSTOR\DISK&VEN_..&PROD_..&REV_..\serial&0"
    std::uint32_t diskNumber = 0;   // device number of its disk (from 1)
    bool removed = false;           // taken off by safe removal: no disk
};

struct PortInfo {
    int number = 0;  // from 1
    enum class Kind { Empty, Hub, Device } kind = Kind::Empty;
    int hub = -1;                      // index into TopologySnapshot::hubs when kind is Hub
    std::optional<DeviceInfo> device;  // when kind is Device
};

struct HubInfo {
    std::string location;  // "2" for root hub 2, "1.3" for the hub on root hub 1, port 3
    bool root = false;
    std::vector<PortInfo> ports;
};

struct TopologySnapshot {
    std::vector<HubInfo> hubs;  // root hubs first, in enumeration order
    int rootHubs = 0;
};

struct DeviceChange {
    enum class Kind { Arrival, Removal } kind = Kind::Arrival;
    DeviceId device = 0;
    std::string location;
};

struct DiskGeometry {
    std::uint64_t cylinders = 0;
    std::uint32_t tracksPerCylinder = kHeads;
    std::uint32_t sectorsPerTrack = kSectorsPerTrack;
    std::uint32_t bytesPerSector = kBytesPerSector;
    std::uint64_t sectors = 0;
};

struct VolumeInfo {
    DeviceId disk = 0;
    std::string name;  // "\\?\Volume{...}\"
    char letter = 0;   // 'D'..'Z', 0 when none was free
    std::uint64_t startSector = 0;
    std::uint64_t sectors = 0;
    bool locked = false;
    int holds = 0;  // open handles on the volume
};

enum class RemovalResult { Removed, Vetoed, NoDevice };

class Fixture {
  public:
    static std::unique_ptr<Fixture> Load(const std::string& path, std::string& error);
    static std::unique_ptr<Fixture> FromConfig(const FixtureConfig& config, std::string& error);
    // Saves every drive's state.
    ~Fixture();
    Fixture(const Fixture&) = delete;
    Fixture& operator=(const Fixture&) = delete;

    const FixtureConfig& config() const { return config_; }

    // Hubs, ports and what is attached.
    TopologySnapshot Topology() const;
    std::vector<DeviceInfo> Devices() const;  // plugged drives
    std::optional<DeviceInfo> Device(DeviceId id) const;
    std::optional<DeviceId> DeviceAt(const std::string& location) const;
    std::optional<DeviceId> DeviceNamed(const std::string& name) const;

    // One pass-through request to a plugged drive. An unplugged or removed
    // drive fails (transportOk false, lastError kErrorDeviceGone); a transfer
    // of exactly one byte is refused (kErrorInvalidParameter); a drive that
    // does not answer reports timedOut after `timeoutSeconds` of its clock.
    ExecuteResult Execute(DeviceId id, const std::uint8_t* cdb, std::size_t cdbLength,
                          DataDirection direction, std::uint8_t* data, std::size_t length,
                          std::uint32_t timeoutSeconds);

    // Clocks.
    Clock& MainClock();
    Clock& PortClock(const std::string& location);
    Clock* DeviceClock(DeviceId id);

    // Plugging. Plug() puts a drive of the fixture file (by name) on an empty
    // port and powers it up; Unplug() takes whatever drive is on the port off.
    bool Plug(const std::string& name, const std::string& location, std::string& error);
    bool Unplug(const std::string& location);
    bool PowerCycle(DeviceId id);
    void SetDeviceChangeCallback(std::function<void(const DeviceChange&)> callback);
    std::vector<DeviceChange> TakeDeviceChanges();

    // The disk of a drive, as the platform's disk driver offers it.
    std::optional<DiskGeometry> Geometry(DeviceId id);
    bool ReadDisk(DeviceId id, std::uint64_t lba, std::span<std::uint8_t> out);
    bool WriteDisk(DeviceId id, std::uint64_t lba, std::span<const std::uint8_t> data);
    // Writes an empty partition table with the disk signature.
    bool CreateDisk(DeviceId id, std::uint32_t signature);
    // Writes the partition entries into the table (up to four, see PutPartitions).
    bool SetPartitions(DeviceId id, const std::vector<PartitionEntry>& entries);
    std::optional<std::vector<PartitionEntry>> Partitions(DeviceId id);
    // The user area image of a drive (for tools and tests).
    std::string UserImagePath(DeviceId id) const;

    // Volumes: a FAT32 partition of a plugged drive shows up VolumeDelay
    // seconds (of the drive's clock) after it appeared.
    std::vector<VolumeInfo> Volumes();
    std::optional<VolumeInfo> VolumeOfDisk(DeviceId id);
    bool LockVolume(DeviceId id);  // false when locked already or not there
    bool UnlockVolume(DeviceId id);
    bool HoldVolume(DeviceId id);  // an open handle
    void ReleaseVolume(DeviceId id);

    // Removal of a drive's USB device, vetoed while its volume is locked or held.
    RemovalResult QueryAndRemove(DeviceId id, std::string& vetoName);
    RemovalResult Eject(DeviceId id, std::string& vetoName);

    // The drive itself, for tests (nullptr for an unknown id).
    Drive* DriveOf(DeviceId id);
    // Saves every drive (also done by the destructor).
    bool Save(std::string& error);

  private:
    struct Hub {
        std::vector<int> location;  // {r} for root hub r
        int ports = 0;
    };
    struct Slot {
        std::unique_ptr<Drive> drive;
        DeviceId id = 0;
        std::uint32_t diskNumber = 0;
        std::optional<std::vector<int>> location;  // nothing = unplugged
        bool removed = false;
        bool locked = false;
        int holds = 0;
        char letter = 0;
    };

    Fixture() = default;
    Slot* Find(DeviceId id);
    // The drive of a plugged, not removed device whose disk may be read; nullptr otherwise.
    Drive* DiskDrive(DeviceId id);
    const Slot* Find(DeviceId id) const;
    Slot* SlotAt(const std::vector<int>& location);
    DeviceInfo Describe(const Slot& s) const;
    Clock& ClockFor(const std::vector<int>& location);
    bool HubExists(const std::vector<int>& location) const;
    int PortsOf(const std::vector<int>& hubLocation) const;
    bool PortExists(const std::vector<int>& location) const;
    bool VolumeVisible(Slot& s);
    void Emit(const DeviceChange& change);
    bool UnplugLocked(std::vector<int> location,
                      std::vector<DeviceChange>& changes);  // a copy: the slot forgets it
    RemovalResult Remove(DeviceId id, std::string& vetoName);

    FixtureConfig config_;
    mutable std::mutex mutex_;
    std::vector<Hub> hubs_;
    std::vector<Slot> slots_;
    std::unique_ptr<ScaledClock> scaled_;
    std::map<std::string, std::unique_ptr<VirtualClock>> virtualClocks_;
    VirtualClock mainVirtual_;
    std::function<void(const DeviceChange&)> callback_;
    std::mutex callbackMutex_;
    std::vector<DeviceChange> changes_;
};

}  // namespace kv::emu
