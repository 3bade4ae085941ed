#include "device/discovery_hub_ports.h"

#include <string>

#include "device/discovery_text.h"

namespace kv {
namespace {

// A visit of every node is bounded, so that a broken tree cannot hold the walk.
constexpr int kMaxTreeNodes = 65536;

bool IsRootHubPath(const std::string& path) {
    return path.find("root_hub20") != std::string::npos ||
           path.find("root_hub30") != std::string::npos ||
           path.find("asmediausbd_hub") != std::string::npos;
}

class HubWalk {
  public:
    HubWalk(platform::Discovery& discovery, PortRecord (&scanned)[kMaxPorts])
        : discovery_(discovery), scanned_(scanned) {}

    int Run() {
        std::vector<std::string> paths = discovery_.HubInterfaces();
        if (paths.size() > static_cast<std::size_t>(kMaxHubInterfaces)) {
            paths.resize(kMaxHubInterfaces);
        }
        for (const std::string& path : paths) {
            if (!IsRootHubPath(path)) {
                continue;
            }
            std::unique_ptr<platform::UsbHub> hub = discovery_.OpenHub(path);
            int ports = 0;
            if (hub == nullptr || !hub->NodeInformation(ports) || ports < 0) {
                continue;
            }
            Walk(*hub, ports, 0);
            slotBase_ += ports;
        }
        return total_;
    }

  private:
    void Walk(platform::UsbHub& hub, int ports, int depth) {
        total_ += ports;
        for (int i = 1; i <= ports; ++i) {
            platform::UsbConnection info;
            if (!hub.ConnectionInformation(i, info) || !info.connected) {
                continue;
            }
            if (info.isHub) {
                WalkDownstream(hub, i, depth);
            } else {
                RecordDevice(hub, i, info);
            }
        }
    }

    void WalkDownstream(platform::UsbHub& parent, int port, int depth) {
        std::string name;
        if (depth + 1 > kMaxHubDepth || !parent.ConnectionName(port, name)) {
            return;
        }
        std::unique_ptr<platform::UsbHub> hub = discovery_.OpenHub("\\\\.\\" + name);
        int ports = 0;
        if (hub == nullptr || !hub->NodeInformation(ports) || ports < 0) {
            return;
        }
        Walk(*hub, ports, depth + 1);
        slotBase_ += ports;
    }

    void RecordDevice(platform::UsbHub& hub, int port, const platform::UsbConnection& info) {
        const int slot = slotBase_ + port - 1;
        if (slot < 0 || slot >= kMaxPorts) {
            return;
        }
        // The slot is rewritten whole: nothing of a device written before
        // (its device key above all) may stay with this one.
        PortRecord& r = scanned_[slot];
        r = PortRecord{};
        std::string driverKey;
        std::string instanceId;
        if (hub.DriverKeyName(port, driverKey)) {
            const platform::DevNode node = FindNodeByDriverKey(discovery_, driverKey);
            if (node != 0 && discovery_.InstanceId(node, instanceId) &&
                driverKey.size() < sizeof r.DriverKeyName &&
                instanceId.size() < sizeof r.DeviceKey) {
                StoreWhole(r.DriverKeyName, driverKey);
                StoreWhole(r.DeviceKey, instanceId);
            }
        }
        r.Attached = 1;
        r.HubHandle = hub.HandleValue();
        r.UsbVendorId = info.idVendor;
        r.UsbProductId = info.idProduct;
        if (info.iSerialNumber != 0) {
            if (languageId_ == 0) {
                std::u16string languages;
                if (hub.StringDescriptor(port, 0, 0, languages) && !languages.empty()) {
                    languageId_ = static_cast<std::uint16_t>(languages.front());
                }
            }
            std::u16string serial;
            if (hub.StringDescriptor(port, info.iSerialNumber, languageId_, serial)) {
                StoreCut(r.DescriptorText, DescriptorToAnsi(serial));
            }
        }
    }

    platform::Discovery& discovery_;
    PortRecord (&scanned_)[kMaxPorts];
    int slotBase_ = 0;
    int total_ = 0;
    std::uint16_t languageId_ = 0;
};

}  // namespace

platform::DevNode FindNodeByDriverKey(platform::Discovery& discovery,
                                      const std::string& driverKey) {
    const std::string wanted = LowerCase(driverKey);
    const platform::DevNode root = discovery.RootNode();
    platform::DevNode node = root;
    for (int visited = 0; node != 0 && visited < kMaxTreeNodes; ++visited) {
        std::string key;
        if (discovery.DriverKey(node, key) && LowerCase(key) == wanted) {
            return node;
        }
        const platform::DevNode child = discovery.Child(node);
        if (child != 0) {
            node = child;
            continue;
        }
        // Up until a node has a next sibling; the walk ends back at the root.
        while (node != 0 && node != root) {
            const platform::DevNode sibling = discovery.Sibling(node);
            if (sibling != 0) {
                node = sibling;
                break;
            }
            node = discovery.Parent(node);
        }
        if (node == root) {
            break;
        }
    }
    return 0;
}

int EnumHubPorts(platform::Discovery& discovery, PortRecord (&scanned)[kMaxPorts]) {
    return HubWalk(discovery, scanned).Run();
}

}  // namespace kv
