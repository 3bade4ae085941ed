// The port table the scan and remove commands print.
#pragma once

#include <string>

#include "device/discovery_session.h"

namespace kv::cli {

// "Port\tAttached\tPresent\tBridge\tBus\tCapacityMB\tLoader\tDevicePath",
// then one line per slot below the port count: the port number from 1, the
// attached and present flags, the bridge type, "SATA" or "USB" (empty when
// not present), the capacity in MB, loader mode 0/1 (asked of present drives)
// and the device path.
std::string ScanTable(const DiscoverySession& session);

}  // namespace kv::cli
