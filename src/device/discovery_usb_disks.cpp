#include "device/discovery_usb_disks.h"

#include <algorithm>

#include "device/discovery_text.h"
#include "platform/named_mutex.h"
#include "run/global_state.h"

namespace kv {
namespace {

// The handle is opened on first use and kept for the program's lifetime.
platform::NamedMutex& DiskListMutex() {
    static platform::NamedMutex mutex("KVUSBAcess");
    return mutex;
}

constexpr std::size_t kDevicePathCapacity = sizeof(PortRecord{}.DevicePath);

std::vector<UsbStorRecord> ListUsbStorage(platform::Discovery& discovery) {
    std::vector<UsbStorRecord> entries;
    for (const platform::DevNode node : discovery.DiskDrives()) {
        if (entries.size() >= static_cast<std::size_t>(kMaxUsbStorEntries)) {
            break;
        }
        std::string id;
        if (!discovery.InstanceId(node, id) || id.rfind("USBSTOR", 0) != 0) {
            continue;
        }
        UsbStorRecord e;
        e.InstanceKey = UsbStorInstanceKey(id);
        e.DiskDevInst = node;
        e.UsbDevInst = discovery.Parent(node);
        std::string parentId;
        if (e.UsbDevInst != 0 && discovery.InstanceId(e.UsbDevInst, parentId)) {
            e.ParentDeviceId = LowerCase(parentId);
        }
        entries.push_back(std::move(e));
    }
    return entries;
}

}  // namespace

std::string UsbStorInstanceKey(const std::string& instanceId) {
    std::string key = instanceId.size() > 8 ? LowerCase(instanceId.substr(8)) : std::string();
    const std::size_t slash = key.find('\\');
    if (slash != std::string::npos) {
        key[slash] = '#';
    }
    std::replace(key.begin(), key.end(), '/', '#');
    return key;
}

bool EnumUsbDisks(platform::Discovery& discovery, std::vector<UsbDiskRecord>& list, int& count) {
    std::lock_guard<platform::NamedMutex> hold(DiskListMutex());
    const std::size_t limit = static_cast<std::size_t>(std::clamp(count, 0, kMaxUsbDisks));
    list.clear();
    for (const platform::DiskInterface& disk : discovery.DiskInterfaces()) {
        if (list.size() >= limit) {
            break;
        }
        if (disk.devicePath.find("usbstor") == std::string::npos ||
            disk.devicePath.size() >= kDevicePathCapacity) {
            continue;
        }
        UsbDiskRecord r;
        r.DevicePath = disk.devicePath;
        list.push_back(std::move(r));
    }
    if (!list.empty()) {
        const std::vector<UsbStorRecord> storage = ListUsbStorage(discovery);
        for (UsbDiskRecord& disk : list) {
            for (const UsbStorRecord& e : storage) {
                // An empty key is in every path; it joins nothing.
                if (!e.InstanceKey.empty() &&
                    disk.DevicePath.find(e.InstanceKey) != std::string::npos) {
                    disk.ParentDeviceId = e.ParentDeviceId;
                    disk.DiskDevInst = e.DiskDevInst;
                    disk.UsbDevInst = e.UsbDevInst;
                }
            }
        }
    }
    count = static_cast<int>(list.size());
    return true;
}

}  // namespace kv
