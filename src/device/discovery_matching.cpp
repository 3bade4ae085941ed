#include "device/discovery_matching.h"

#include "device/ata_procedures.h"
#include "device/bridge_type.h"
#include "device/discovery_text.h"
#include "device/port_device.h"
#include "device/vendor_access.h"
#include "platform/platform.h"

namespace kv {

int BusTypeOfPath(const std::string& devicePath) {
    const std::string path = LowerCase(devicePath);
    if (path.find("ide") != std::string::npos) {
        return 1;
    }
    if (path.find("scsi") != std::string::npos) {
        return 2;
    }
    if (path.find("usbstor") != std::string::npos) {
        return 3;
    }
    return 0;
}

int MatchPortsToDisks(DiscoverySession& session) {
    PortScan& scan = session.scan;
    const int disks = ScanPorts(platform::Current().discovery(), scan);
    int present = 0;
    for (int i = 0; i < scan.PortCount; ++i) {
        PortRecord& live = session.ports[i];
        const PortRecord& scanned = scan.ScannedPorts[i];
        if (scanned.Attached != 0) {
            live.Attached = scanned.Attached;
            StoreCut(live.DeviceKey, FieldText(scanned.DeviceKey));
            live.Present = 0;
        }
        live.BridgeType = 0;
        if (live.Attached != 1) {
            continue;
        }
        LowerCaseField(live.DeviceKey, sizeof live.DeviceKey);
        const std::string_view key = FieldText(live.DeviceKey);
        UsbDiskRecord* disk = nullptr;
        for (int j = 0; j < disks && !key.empty(); ++j) {
            UsbDiskRecord& d = scan.Disks[static_cast<std::size_t>(j)];
            if (!d.Used && d.ParentDeviceId == key) {
                disk = &d;
                break;
            }
        }
        if (disk != nullptr && StoreWhole(live.DevicePath, disk->DevicePath)) {
            live.DiskDevInst = disk->DiskDevInst;
            live.UsbDevInst = disk->UsbDevInst;
            PortDeviceTable().Set(i, disk->DevicePath, BusPath::UsbPath);
            live.BridgeType = GetBridgeType(i, session.settings.process.EnNoCheckBridge != 0);
            disk->Used = true;
            const BusPathSelection selection = SelectBusPath(i, session.settings.process);
            if (selection.BusName != nullptr) {
                session.window.ShowBusName(selection.BusName);
            }
        } else {
            disk = nullptr;
        }
        if (live.BridgeType != 0) {
            VA_SetVendorFeature(i, true);
            live.Present = 1;
            ++present;
            if (disk != nullptr) {
                live.BusType = BusTypeOfPath(std::string(FieldText(live.DevicePath)));
                live.CapacityMb = static_cast<std::int32_t>(GetCapacityMB(i));
            }
        } else {
            live.Present = 0;
        }
    }
    return present;
}

}  // namespace kv
