#include "device/port_scan.h"

#include <algorithm>

#include "device/discovery_hub_ports.h"

namespace kv {

int ScanPorts(platform::Discovery* discovery, PortScan& scan) {
    for (PortRecord& r : scan.ScannedPorts) {
        r = PortRecord{};
    }
    scan.Disks.clear();
    scan.TotalPorts = 0;
    scan.PortCount = 0;
    if (discovery == nullptr) {
        return 0;
    }
    scan.TotalPorts = EnumHubPorts(*discovery, scan.ScannedPorts);
    // A fixture with more hub ports than slots works on the first 50.
    scan.PortCount = std::clamp(scan.TotalPorts, 0, kMaxPorts);
    int count = kMaxUsbDisks;
    EnumUsbDisks(*discovery, scan.Disks, count);
    return count;
}

}  // namespace kv
