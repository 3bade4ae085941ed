// What the operating system tells about USB hubs, ports, disks and USB storage
// devices, and the calls that take a device off the bus: the services device
// discovery, port mapping and safe removal are built on.
//
// The calls are those the station makes of the system, one for one: the hub
// driver's node and connection queries, the configuration manager's device
// tree, the disk-interface and disk-drive lists, removal with its veto, and
// notification of USB device arrivals and removals. Slot numbering, matching
// and retries stay with the caller, so every backend numbers ports alike.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kv::platform {

// A device node of the configuration manager; 0 is no node.
using DevNode = std::uint32_t;

// What the hub driver answers about one of its ports.
struct UsbConnection {
    bool connected = false;  // a device (or a hub) is attached
    bool isHub = false;      // the attached device is a hub
    std::uint16_t idVendor = 0;
    std::uint16_t idProduct = 0;
    std::uint8_t iSerialNumber = 0;  // string descriptor index of the serial number, 0 = none
};

// An open hub; the handle is closed when the object is destroyed.
class UsbHub {
  public:
    virtual ~UsbHub() = default;
    // The handle's value, as the port records keep it after the walk.
    virtual std::uint64_t HandleValue() const = 0;
    // Node information: the number of downstream ports.
    virtual bool NodeInformation(int& portCount) = 0;
    // Ports count from 1.
    virtual bool ConnectionInformation(int port, UsbConnection& info) = 0;
    // The symbolic name of the hub attached to the port, to be opened as
    // "\\.\" + name.
    virtual bool ConnectionName(int port, std::string& name) = 0;
    // The driver key name of the device attached to the port.
    virtual bool DriverKeyName(int port, std::string& name) = 0;
    // String descriptor `index` of the device on the port in the language
    // `languageId`, as UTF-16 code units. Index 0 answers the device's
    // language IDs, one per code unit.
    virtual bool StringDescriptor(int port, std::uint8_t index, std::uint16_t languageId,
                                  std::u16string& text) = 0;
};

// One present interface of the disk class.
struct DiskInterface {
    std::string devicePath;        // the interface path the station opens
    std::string instanceId;        // device instance ID of the disk device
    std::string parentInstanceId;  // device instance ID of its parent (the USB device)
    std::uint32_t deviceNumber = 0;
};

// Results of the configuration manager's removal calls.
enum class ConfigResult { Success, RemoveVetoed, NoSuchDevNode, Failed };

// Veto types the removal calls report; 0 is "none reported".
inline constexpr int kVetoNone = 0;
inline constexpr int kVetoOutstandingOpen = 5;  // a handle on the device or its volume is open
inline constexpr std::size_t kVetoNameCapacity = 520;

struct Veto {
    int type = kVetoNone;
    std::string name;  // at most kVetoNameCapacity - 1 characters
};

// A device-change notification of the window's registration.
inline constexpr std::uint32_t kDeviceArrival = 0x8000;
inline constexpr std::uint32_t kDeviceRemoveComplete = 0x8004;
inline constexpr std::uint32_t kDeviceTypeInterface = 5;

struct DeviceChangeEvent {
    std::uint32_t event = 0;       // kDeviceArrival, kDeviceRemoveComplete, ...
    std::uint32_t deviceType = 0;  // kDeviceTypeInterface for a USB device interface
    std::string name;              // the interface path of the device
};

using DeviceChangeHandler = std::function<void(const DeviceChangeEvent&)>;

class Discovery {
  public:
    virtual ~Discovery() = default;

    // Present interfaces of the USB hub class, in enumeration order.
    virtual std::vector<std::string> HubInterfaces() = 0;
    // Opens a hub by its interface path or by "\\.\" + its connection name;
    // nullptr when it cannot be opened.
    virtual std::unique_ptr<UsbHub> OpenHub(const std::string& path) = 0;

    // The device tree: the root node, and the walk from a node (0 = none).
    virtual DevNode RootNode() = 0;
    virtual DevNode Child(DevNode node) = 0;
    virtual DevNode Sibling(DevNode node) = 0;
    virtual DevNode Parent(DevNode node) = 0;
    // The node's driver key (its driver registry key name) and instance ID.
    virtual bool DriverKey(DevNode node, std::string& key) = 0;
    virtual bool InstanceId(DevNode node, std::string& id) = 0;

    // Present interfaces of the disk class, in enumeration order.
    virtual std::vector<DiskInterface> DiskInterfaces() = 0;
    // Present devices of the disk-drive class, in enumeration order.
    virtual std::vector<DevNode> DiskDrives() = 0;

    // Removes the node and everything below it without asking the user; a
    // veto names who holds the device.
    virtual ConfigResult QueryAndRemoveSubTree(DevNode node, Veto& veto) = 0;
    // Asks for the node's ejection.
    virtual ConfigResult RequestDeviceEject(DevNode node, Veto& veto) = 0;

    // Arrivals and removals of USB device interfaces. The handler may be
    // called on any thread; registering again replaces it.
    virtual bool RegisterDeviceChanges(DeviceChangeHandler handler) = 0;
    virtual void UnregisterDeviceChanges() = 0;
};

}  // namespace kv::platform
