// The main window's discovery state: the live port records it fills, the
// settings it reads, the window it drives and what the last scans found.
#pragma once

#include "config/settings_keys.h"
#include "device/discovery_window.h"
#include "device/port_scan.h"
#include "run/global_state.h"

namespace kv {

struct DiscoverySession {
    DiscoverySession(PortRecord (&livePorts)[kMaxPorts], config::Settings& stationSettings,
                     DiscoveryWindow& mainWindow)
        : ports(livePorts), settings(stationSettings), window(mainWindow) {}

    PortRecord (&ports)[kMaxPorts];
    config::Settings& settings;
    DiscoveryWindow& window;
    PortScan scan;
    int lastPresent = 0;  // present ports found by the last EnumUSBDevice

    // The slot count of the last scan (at most 50).
    int portCount() const { return scan.PortCount; }
};

}  // namespace kv
