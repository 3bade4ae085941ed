// The USB storage disks of the system, each joined to the USB device that
// carries it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/discovery.h"

namespace kv {

inline constexpr int kMaxUsbDisks = 256;
inline constexpr int kMaxUsbStorEntries = 256;

struct UsbDiskRecord {
    std::string ParentDeviceId;  // lower case: the USB device that owns the disk
    std::string DevicePath;      // interface path of the disk
    std::uint32_t DiskDevInst = 0;
    std::uint32_t UsbDevInst = 0;
    bool Used = false;  // joined to a slot during this matching
};

struct UsbStorRecord {
    std::string ParentDeviceId;  // lower-case instance ID of the parent USB device
    std::string InstanceKey;     // see UsbStorInstanceKey
    std::uint32_t DiskDevInst = 0;
    std::uint32_t UsbDevInst = 0;
};

// The part of a USB storage instance ID that its disk's interface path
// carries: lower case, without its first 8 characters ("USBSTOR\"), the first
// '\' and every '/' turned into '#'.
std::string UsbStorInstanceKey(const std::string& instanceId);

// Under the named mutex "KVUSBAcess": lists the disk interfaces whose path
// holds "usbstor" (at most `count`, which comes in as kMaxUsbDisks; a path
// longer than a port record's DevicePath field is left out), joins each to
// the USB storage device whose key its path contains (a later one wins) and
// sets `count` to the number of disks. True.
bool EnumUsbDisks(platform::Discovery& discovery, std::vector<UsbDiskRecord>& list, int& count);

}  // namespace kv
