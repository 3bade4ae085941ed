#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "emulator/fixture.h"
#include "platform/discovery.h"

namespace kv::platform {

class SimPlatform;

// The discovery services of the sim backend, answered from the virtual fixture
// with the names the system gives: root hubs "usb#root_hub30#...", hubs and
// USB devices "USB\VID_xxxx&PID_yyyy\...", USB storage disks under their USB
// device, whose disk interface paths are those the sim platform opens. A
// device tree is rebuilt from the fixture's topology at every list call;
// device nodes keep their numbers for the life of the backend.
class SimDiscovery final : public Discovery {
  public:
    SimDiscovery(kv::emu::Fixture& fixture, SimPlatform& platform);
    ~SimDiscovery() override;
    SimDiscovery(const SimDiscovery&) = delete;
    SimDiscovery& operator=(const SimDiscovery&) = delete;

    std::vector<std::string> HubInterfaces() override;
    std::unique_ptr<UsbHub> OpenHub(const std::string& path) override;

    DevNode RootNode() override;
    DevNode Child(DevNode node) override;
    DevNode Sibling(DevNode node) override;
    DevNode Parent(DevNode node) override;
    bool DriverKey(DevNode node, std::string& key) override;
    bool InstanceId(DevNode node, std::string& id) override;

    std::vector<DiskInterface> DiskInterfaces() override;
    std::vector<DevNode> DiskDrives() override;

    ConfigResult QueryAndRemoveSubTree(DevNode node, Veto& veto) override;
    ConfigResult RequestDeviceEject(DevNode node, Veto& veto) override;

    bool RegisterDeviceChanges(DeviceChangeHandler handler) override;
    void UnregisterDeviceChanges() override;

    // The names the backend gives (for tests and the hub handles).
    static std::string HubInstanceId(const kv::emu::HubInfo& hub, int rootIndex);
    static std::string HubInterfacePath(const std::string& hubInstanceId);
    static std::string UsbInterfacePath(const std::string& usbInstanceId);

  private:
    struct Node {
        DevNode parent = 0;
        std::vector<DevNode> children;
        std::string instanceId;
        std::string driverKey;
        kv::emu::DeviceId device = 0;  // the drive of a USB device or disk node
    };
    class Hub;

    // Rebuilds the tree from the fixture; the caller holds mutex_.
    void RebuildLocked();
    DevNode NumberLocked(const std::string& instanceId);
    DevNode AddNodeLocked(DevNode parent, const std::string& instanceId, const char* classGuid,
                          kv::emu::DeviceId device);
    std::string DriverKeyOf(const std::string& usbInstanceId);
    ConfigResult Remove(DevNode node, Veto& veto);

    kv::emu::Fixture& fixture_;
    [[maybe_unused]] SimPlatform& platform_;
    std::mutex mutex_;
    std::map<std::string, DevNode> numbers_;  // instance ID -> node, kept for the backend's life
    std::map<DevNode, Node> nodes_;           // the tree of the last rebuild
    std::map<DevNode, kv::emu::DeviceId> owners_;
    std::vector<kv::emu::HubInfo> hubs_;  // of the last rebuild
    std::vector<std::string> hubIds_;     // instance IDs, parallel to hubs_
    std::vector<DevNode> disks_;
    std::uint64_t nextHandle_ = 0x1000;
    bool registered_ = false;
};

}  // namespace kv::platform
