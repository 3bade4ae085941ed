// Joins the scanned hub ports to the USB disks and probes each joined drive.
#pragma once

#include "device/discovery_session.h"

namespace kv {

// Runs ScanPorts, then for every slot below the port count: takes the
// scanned device key into the live record of an attached slot, joins the
// first unused disk whose parent is that USB device, points the port's
// device entry at the disk (UsbPath for the INQUIRY), probes the bridge and
// settles the bus path. A slot with a recognised bridge becomes present with
// the vendor feature on, its bus type and capacity. A slot without a device
// key joins nothing. Returns the number of present ports.
int MatchPortsToDisks(DiscoverySession& session);

// The bus type of a disk path: 1 "ide", 2 "scsi", 3 "usbstor", else 0.
int BusTypeOfPath(const std::string& devicePath);

}  // namespace kv
