// One scan of the ports: the hub walk into the scratch records, then the list
// of USB storage disks.
#pragma once

#include <vector>

#include "device/discovery_usb_disks.h"
#include "platform/discovery.h"
#include "run/global_state.h"

namespace kv {

struct PortScan {
    PortRecord ScannedPorts[kMaxPorts];  // cleared and filled by every scan
    std::vector<UsbDiskRecord> Disks;
    int TotalPorts = 0;  // hub ports the walk visited
    int PortCount = 0;   // the slot count every loop over ports uses: at most 50
};

// Clears the scratch records, walks the hubs and lists the disks; returns the
// number of USB disks found (0-256). Without discovery services nothing is
// found.
int ScanPorts(platform::Discovery* discovery, PortScan& scan);

}  // namespace kv
