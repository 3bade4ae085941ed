// The per-port device entry: the device path of the drive on a port and the
// bus path its commands take. Discovery writes the table; the transport and
// the command sets read it for every command. One table for the process, as
// every per-port table of the station.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

namespace kv {

// Entries 0..49, one per hub-port slot (the port index, not the port number).
inline constexpr int kPortDeviceCount = 50;

// How a port's commands reach the drive. The byte values are those of the
// port record's bus flag.
enum class BusPath : std::uint8_t {
    SataPath = 0,  // a SATA drive behind a SAT bridge: ATA pass-through, vendor carrier
    UsbPath = 1,   // the device takes vendor blocks as 12-byte SCSI CDBs itself
};

struct PortDevice {
    std::string DevicePath;  // empty = no drive on this port
    BusPath Bus = BusPath::UsbPath;
};

// What the pre-run captures keep per port so that a run can write them back.
inline constexpr std::size_t kEraseCountAreaSize = 65536;
inline constexpr std::size_t kSmartAreaSize = 512;

struct PortSaveAreas {
    std::array<std::uint8_t, kEraseCountAreaSize> EraseCount{};
    bool EraseCountSaved = false;
    std::array<std::uint8_t, kSmartAreaSize> Smart{};
    bool SmartSaved = false;
};

// The table. Entries are read and written whole under a lock, so a worker
// reading its port's entry never sees a path half replaced by a re-scan.
// Indexes outside 0..49 read as an empty entry and ignore writes.
class PortDevices {
  public:
    PortDevices();

    // Sets the entry of a port; false (entry unchanged) for an index outside 0..49.
    bool Set(int port, const std::string& devicePath, BusPath bus);
    bool SetBusPath(int port, BusPath bus);
    void Clear(int port);
    void ClearAll();

    // A copy of the entry, so that the caller holds it across its command.
    PortDevice Get(int port) const;
    BusPath GetBusPath(int port) const;

    // The save areas of a port; each worker touches only its own port's.
    // nullptr for an index outside 0..49.
    PortSaveAreas* SaveAreas(int port);

  private:
    mutable std::mutex mutex_;
    std::array<PortDevice, kPortDeviceCount> entries_;
    std::unique_ptr<std::array<PortSaveAreas, kPortDeviceCount>> saveAreas_;
};

bool IsPortIndex(int port);

// The process's table, created on first use and kept for the process.
PortDevices& PortDeviceTable();

}  // namespace kv
