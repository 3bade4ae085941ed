#include "cli/scan_table.h"

#include <cstdio>

#include "device/discovery_text.h"
#include "device/loader_mode.h"
#include "device/port_device.h"

namespace kv::cli {

std::string ScanTable(const DiscoverySession& session) {
    std::string out = "Port\tAttached\tPresent\tBridge\tBus\tCapacityMB\tLoader\tDevicePath\n";
    for (int i = 0; i < session.portCount(); ++i) {
        const PortRecord& r = session.ports[i];
        const bool present = r.Present != 0;
        const char* bus = "";
        if (present) {
            bus = PortDeviceTable().GetBusPath(i) == BusPath::SataPath ? "SATA" : "USB";
        }
        const int loader = present && IsLoaderMode(i) ? 1 : 0;
        char line[64];
        std::snprintf(line, sizeof line, "%d\t%d\t%d\t%d\t%s\t%d\t%d\t", i + 1,
                      static_cast<int>(r.Attached), present ? 1 : 0, static_cast<int>(r.BridgeType),
                      bus, static_cast<int>(r.CapacityMb), loader);
        out += line;
        out += FieldText(r.DevicePath);
        out += '\n';
    }
    return out;
}

}  // namespace kv::cli
