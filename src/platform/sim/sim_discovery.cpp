#include "platform/sim/sim_discovery.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "platform/sim/sim_platform.h"

namespace kv::platform {
namespace {

constexpr const char* kHubClass = "{f18a0e88-c30c-11d0-8815-00a0c906bed8}";
constexpr const char* kUsbDeviceClass = "{a5dcbf10-6530-11d2-901f-00c04fb951ed}";
constexpr const char* kUsbDriverClass = "{36fc9e60-c465-11cf-8056-444553540000}";
constexpr const char* kDiskDriverClass = "{4d36e967-e325-11ce-bfc1-08002be10318}";
constexpr const char* kRootInstanceId = "HTREE\\ROOT\\0";
// The hubs of the fixture identify as this vendor's 4-port hub.
constexpr std::uint16_t kHubVendorId = 0x4B48;
constexpr std::uint16_t kHubProductId = 0x0010;
constexpr std::uint8_t kSerialStringIndex = 3;
constexpr std::uint16_t kLanguageEnglishUs = 0x0409;

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// "USB\A\B" -> "USB#A#B"
std::string HashSeparated(const std::string& instanceId) {
    std::string out = instanceId;
    std::replace(out.begin(), out.end(), '\\', '#');
    return out;
}

// A path as the hub opener compares it: without "\\?\" or "\\.\", lower case.
std::string HubKey(const std::string& path) {
    std::string p = path;
    if (p.rfind("\\\\?\\", 0) == 0 || p.rfind("\\\\.\\", 0) == 0) {
        p = p.substr(4);
    }
    return Lower(p);
}

std::string ConnectionNameOf(const std::string& hubInstanceId) {
    return HashSeparated(hubInstanceId) + "#" + kHubClass;
}

void SetVeto(Veto& veto, const std::string& name) {
    veto.type = kVetoOutstandingOpen;
    veto.name = name.substr(0, kVetoNameCapacity - 1);
}

}  // namespace

// An open hub of the fixture: the hub as it was when it was opened.
class SimDiscovery::Hub final : public UsbHub {
  public:
    Hub(SimDiscovery& owner, kv::emu::HubInfo info, std::vector<std::string> childNames,
        std::uint64_t handle)
        : owner_(owner),
          info_(std::move(info)),
          childNames_(std::move(childNames)),
          handle_(handle) {}

    std::uint64_t HandleValue() const override { return handle_; }

    bool NodeInformation(int& portCount) override {
        portCount = static_cast<int>(info_.ports.size());
        return true;
    }

    bool ConnectionInformation(int port, UsbConnection& info) override {
        const kv::emu::PortInfo* p = PortAt(port);
        if (p == nullptr) {
            return false;
        }
        info = UsbConnection{};
        if (p->kind == kv::emu::PortInfo::Kind::Hub) {
            info.connected = true;
            info.isHub = true;
            info.idVendor = kHubVendorId;
            info.idProduct = kHubProductId;
        } else if (p->kind == kv::emu::PortInfo::Kind::Device && p->device) {
            info.connected = true;
            info.idVendor = p->device->vendorId;
            info.idProduct = p->device->productId;
            info.iSerialNumber = p->device->serial.empty() ? 0 : kSerialStringIndex;
        }
        return true;
    }

    bool ConnectionName(int port, std::string& name) override {
        const kv::emu::PortInfo* p = PortAt(port);
        if (p == nullptr || p->kind != kv::emu::PortInfo::Kind::Hub) {
            return false;
        }
        name = childNames_[static_cast<std::size_t>(port - 1)];
        return !name.empty();
    }

    bool DriverKeyName(int port, std::string& name) override {
        const kv::emu::PortInfo* p = PortAt(port);
        if (p == nullptr || !p->device) {
            return false;
        }
        name = owner_.DriverKeyOf(p->device->usbInstanceId);
        return true;
    }

    bool StringDescriptor(int port, std::uint8_t index, std::uint16_t languageId,
                          std::u16string& text) override {
        const kv::emu::PortInfo* p = PortAt(port);
        if (p == nullptr || !p->device) {
            return false;
        }
        text.clear();
        if (index == 0) {
            text.push_back(static_cast<char16_t>(kLanguageEnglishUs));
            return true;
        }
        if (index != kSerialStringIndex || languageId != kLanguageEnglishUs ||
            p->device->serial.empty()) {
            return false;
        }
        for (const char c : p->device->serial) {
            text.push_back(static_cast<char16_t>(static_cast<unsigned char>(c)));
        }
        return true;
    }

  private:
    const kv::emu::PortInfo* PortAt(int port) const {
        if (port < 1 || port > static_cast<int>(info_.ports.size())) {
            return nullptr;
        }
        return &info_.ports[static_cast<std::size_t>(port - 1)];
    }

    SimDiscovery& owner_;
    kv::emu::HubInfo info_;
    std::vector<std::string> childNames_;  // connection names of the hubs on the ports
    std::uint64_t handle_;
};

SimDiscovery::SimDiscovery(kv::emu::Fixture& fixture, SimPlatform& platform)
    : fixture_(fixture), platform_(platform) {}

SimDiscovery::~SimDiscovery() {
    UnregisterDeviceChanges();
}

std::string SimDiscovery::HubInstanceId(const kv::emu::HubInfo& hub, int rootIndex) {
    char text[96];
    if (hub.root) {
        std::snprintf(text, sizeof text, "USB\\ROOT_HUB30\\4&KV%04X&0&0", rootIndex);
    } else {
        std::string place = hub.location;
        std::replace(place.begin(), place.end(), '.', '_');
        std::snprintf(text, sizeof text, "USB\\VID_%04X&PID_%04X\\5&KVHUB&%s", kHubVendorId,
                      kHubProductId, place.c_str());
    }
    return text;
}

std::string SimDiscovery::HubInterfacePath(const std::string& hubInstanceId) {
    return "\\\\?\\" + Lower(HashSeparated(hubInstanceId)) + "#" + kHubClass;
}

std::string SimDiscovery::UsbInterfacePath(const std::string& usbInstanceId) {
    return "\\\\?\\" + HashSeparated(usbInstanceId) + "#" + kUsbDeviceClass;
}

DevNode SimDiscovery::NumberLocked(const std::string& instanceId) {
    const std::string key = Lower(instanceId);
    auto found = numbers_.find(key);
    if (found == numbers_.end()) {
        found = numbers_.emplace(key, static_cast<DevNode>(numbers_.size() + 1)).first;
    }
    return found->second;
}

DevNode SimDiscovery::AddNodeLocked(DevNode parent, const std::string& instanceId,
                                    const char* classGuid, kv::emu::DeviceId device) {
    const DevNode n = NumberLocked(instanceId);
    Node& node = nodes_[n];
    node.parent = parent;
    node.children.clear();
    node.instanceId = instanceId;
    char key[64];
    std::snprintf(key, sizeof key, "%s\\%04u", classGuid, static_cast<unsigned>(n));
    node.driverKey = key;
    node.device = device;
    if (device != 0) {
        owners_[n] = device;
    }
    if (parent != 0) {
        nodes_[parent].children.push_back(n);
    }
    return n;
}

void SimDiscovery::RebuildLocked() {
    const kv::emu::TopologySnapshot topology = fixture_.Topology();
    nodes_.clear();
    disks_.clear();
    hubs_ = topology.hubs;
    hubIds_.assign(hubs_.size(), std::string());
    int rootIndex = 0;
    for (std::size_t h = 0; h < hubs_.size(); ++h) {
        hubIds_[h] = HubInstanceId(hubs_[h], hubs_[h].root ? rootIndex++ : 0);
    }
    const DevNode root = AddNodeLocked(0, kRootInstanceId, kUsbDriverClass, 0);
    // Hubs hang below the root or below their parent hub's node, devices and
    // their disks below their hub; the fixture lists parents before children.
    std::vector<DevNode> hubNodes(hubs_.size(), 0);
    for (std::size_t h = 0; h < hubs_.size(); ++h) {
        if (hubs_[h].root) {
            hubNodes[h] = AddNodeLocked(root, hubIds_[h], kUsbDriverClass, 0);
        }
    }
    for (std::size_t h = 0; h < hubs_.size(); ++h) {
        if (hubNodes[h] == 0) {
            continue;  // a hub no walk from a root reaches
        }
        for (const kv::emu::PortInfo& port : hubs_[h].ports) {
            if (port.kind == kv::emu::PortInfo::Kind::Hub && port.hub >= 0 &&
                static_cast<std::size_t>(port.hub) < hubs_.size()) {
                hubNodes[static_cast<std::size_t>(port.hub)] = AddNodeLocked(
                    hubNodes[h], hubIds_[static_cast<std::size_t>(port.hub)], kUsbDriverClass, 0);
            } else if (port.kind == kv::emu::PortInfo::Kind::Device && port.device) {
                const kv::emu::DeviceInfo& d = *port.device;
                const DevNode usb =
                    AddNodeLocked(hubNodes[h], d.usbInstanceId, kUsbDriverClass, d.id);
                if (!d.removed) {
                    disks_.push_back(
                        AddNodeLocked(usb, d.storageInstanceId, kDiskDriverClass, d.id));
                }
            }
        }
    }
}

std::string SimDiscovery::DriverKeyOf(const std::string& usbInstanceId) {
    std::lock_guard<std::mutex> hold(mutex_);
    char key[64];
    std::snprintf(key, sizeof key, "%s\\%04u", kUsbDriverClass,
                  static_cast<unsigned>(NumberLocked(usbInstanceId)));
    return key;
}

std::vector<std::string> SimDiscovery::HubInterfaces() {
    std::lock_guard<std::mutex> hold(mutex_);
    RebuildLocked();
    std::vector<std::string> paths;
    for (const std::string& id : hubIds_) {
        paths.push_back(HubInterfacePath(id));
    }
    return paths;
}

std::unique_ptr<UsbHub> SimDiscovery::OpenHub(const std::string& path) {
    std::lock_guard<std::mutex> hold(mutex_);
    const std::string key = HubKey(path);
    for (std::size_t h = 0; h < hubs_.size(); ++h) {
        if (HubKey(HubInterfacePath(hubIds_[h])) != key &&
            Lower(ConnectionNameOf(hubIds_[h])) != key) {
            continue;
        }
        std::vector<std::string> childNames;
        for (const kv::emu::PortInfo& port : hubs_[h].ports) {
            const bool hub = port.kind == kv::emu::PortInfo::Kind::Hub && port.hub >= 0 &&
                             static_cast<std::size_t>(port.hub) < hubIds_.size();
            childNames.push_back(hub ? ConnectionNameOf(hubIds_[static_cast<std::size_t>(port.hub)])
                                     : "");
        }
        nextHandle_ += 4;
        return std::make_unique<Hub>(*this, hubs_[h], std::move(childNames), nextHandle_);
    }
    return nullptr;
}

DevNode SimDiscovery::RootNode() {
    std::lock_guard<std::mutex> hold(mutex_);
    RebuildLocked();
    return NumberLocked(kRootInstanceId);
}

DevNode SimDiscovery::Child(DevNode node) {
    std::lock_guard<std::mutex> hold(mutex_);
    const auto found = nodes_.find(node);
    if (found == nodes_.end() || found->second.children.empty()) {
        return 0;
    }
    return found->second.children.front();
}

DevNode SimDiscovery::Sibling(DevNode node) {
    std::lock_guard<std::mutex> hold(mutex_);
    const auto found = nodes_.find(node);
    if (found == nodes_.end()) {
        return 0;
    }
    const auto parent = nodes_.find(found->second.parent);
    if (parent == nodes_.end()) {
        return 0;
    }
    const std::vector<DevNode>& siblings = parent->second.children;
    const auto at = std::find(siblings.begin(), siblings.end(), node);
    if (at == siblings.end() || at + 1 == siblings.end()) {
        return 0;
    }
    return *(at + 1);
}

DevNode SimDiscovery::Parent(DevNode node) {
    std::lock_guard<std::mutex> hold(mutex_);
    const auto found = nodes_.find(node);
    return found == nodes_.end() ? 0 : found->second.parent;
}

bool SimDiscovery::DriverKey(DevNode node, std::string& key) {
    std::lock_guard<std::mutex> hold(mutex_);
    const auto found = nodes_.find(node);
    if (found == nodes_.end()) {
        return false;
    }
    key = found->second.driverKey;
    return true;
}

bool SimDiscovery::InstanceId(DevNode node, std::string& id) {
    std::lock_guard<std::mutex> hold(mutex_);
    const auto found = nodes_.find(node);
    if (found == nodes_.end()) {
        return false;
    }
    id = found->second.instanceId;
    return true;
}

std::vector<DiskInterface> SimDiscovery::DiskInterfaces() {
    std::lock_guard<std::mutex> hold(mutex_);
    RebuildLocked();
    std::vector<DiskInterface> out;
    for (const DevNode n : disks_) {
        const Node& disk = nodes_[n];
        const std::optional<kv::emu::DeviceInfo> info = fixture_.Device(disk.device);
        if (!info) {
            continue;
        }
        DiskInterface d;
        d.devicePath = SimDevicePathFor(info->storageInstanceId);
        d.instanceId = info->storageInstanceId;
        d.parentInstanceId = info->usbInstanceId;
        d.deviceNumber = info->diskNumber;
        out.push_back(std::move(d));
    }
    return out;
}

std::vector<DevNode> SimDiscovery::DiskDrives() {
    std::lock_guard<std::mutex> hold(mutex_);
    RebuildLocked();
    return disks_;
}

ConfigResult SimDiscovery::Remove(DevNode node, Veto& veto) {
    kv::emu::DeviceId device = 0;
    {
        std::lock_guard<std::mutex> hold(mutex_);
        const auto found = owners_.find(node);
        if (found != owners_.end()) {
            device = found->second;
        }
    }
    veto = Veto{};
    if (device == 0) {
        return ConfigResult::NoSuchDevNode;
    }
    std::string vetoName;
    switch (fixture_.QueryAndRemove(device, vetoName)) {
        case kv::emu::RemovalResult::Removed:
            return ConfigResult::Success;
        case kv::emu::RemovalResult::Vetoed:
            SetVeto(veto, vetoName);
            return ConfigResult::RemoveVetoed;
        case kv::emu::RemovalResult::NoDevice:
            break;
    }
    return ConfigResult::NoSuchDevNode;
}

ConfigResult SimDiscovery::QueryAndRemoveSubTree(DevNode node, Veto& veto) {
    return Remove(node, veto);
}

ConfigResult SimDiscovery::RequestDeviceEject(DevNode node, Veto& veto) {
    return Remove(node, veto);
}

bool SimDiscovery::RegisterDeviceChanges(DeviceChangeHandler handler) {
    if (!handler) {
        return false;
    }
    kv::emu::Fixture& fixture = fixture_;
    fixture_.SetDeviceChangeCallback([&fixture, handler = std::move(handler)](
                                         const kv::emu::DeviceChange& change) {
        DeviceChangeEvent event;
        event.event = change.kind == kv::emu::DeviceChange::Kind::Arrival ? kDeviceArrival
                                                                          : kDeviceRemoveComplete;
        event.deviceType = kDeviceTypeInterface;
        if (const std::optional<kv::emu::DeviceInfo> info = fixture.Device(change.device)) {
            event.name = UsbInterfacePath(info->usbInstanceId);
        }
        handler(event);
    });
    std::lock_guard<std::mutex> hold(mutex_);
    registered_ = true;
    return true;
}

void SimDiscovery::UnregisterDeviceChanges() {
    {
        std::lock_guard<std::mutex> hold(mutex_);
        if (!registered_) {
            return;
        }
        registered_ = false;
    }
    fixture_.SetDeviceChangeCallback(nullptr);
}

}  // namespace kv::platform
