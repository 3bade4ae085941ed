// The pre-run captures of a drive's erase-count area and SMART sector into
// the port's save areas, so that a run can write them back.
#include <cstdio>
#include <cstring>

#include "device/ata_commands.h"
#include "device/loader_mode.h"
#include "device/port_device.h"
#include "device/transport.h"
#include "device/vendor_channel.h"
#include "device/vendor_commands.h"
#include "firmware/debug_dump.h"

namespace kv {
namespace {

constexpr std::uint32_t kEraseCountSectors = kEraseCountAreaSize / kSectorSize;
static_assert(kEraseCountSectors == 128);
constexpr char kDumpEraseCountFormat[] = "A0_%2.2x_%2.2x.raw";

}  // namespace

bool ReadEraseCount(int port, std::uint8_t* buffer) {
    PortSaveAreas* areas = PortDeviceTable().SaveAreas(port);
    if (areas == nullptr || buffer == nullptr) {
        return false;
    }
    areas->EraseCount.fill(0);
    areas->EraseCountSaved = false;
    if (!EnterVendorMode(port, buffer) ||
        VC_SYS_ReadEraseCount(port, 0, 0, 0, buffer, kEraseCountSectors) != kCommandOk) {
        return false;
    }
    std::memcpy(areas->EraseCount.data(), buffer, kEraseCountAreaSize);
    char name[32];
    std::snprintf(name, sizeof(name), kDumpEraseCountFormat, 0u, 0u);
    WriteDebugDump(name, areas->EraseCount.data(), kEraseCountAreaSize);
    areas->EraseCountSaved = true;
    return true;
}

bool ReadSmartInfo(int port, std::uint8_t* buffer) {
    PortSaveAreas* areas = PortDeviceTable().SaveAreas(port);
    if (areas == nullptr || buffer == nullptr) {
        return false;
    }
    areas->SmartSaved = false;
    EnterVendorMode(port, buffer);  // a drive that is not ready fails the read below
    if (PortDeviceTable().GetBusPath(port) == BusPath::UsbPath) {
        if (VC_SYS_USB_GetSMARTInfo(port, buffer) != kCommandOk) {
            std::fputs("VC_SYS_USB_GetSMARTInfo Fail!\n", stdout);
            return false;
        }
    } else if (ATA_SmartReadData(port, buffer, 1) != kCommandOk) {
        std::fputs("Please make sure that BIOS enable the S.M.A.R.T function!\n", stdout);
        return false;
    }
    areas->Smart.fill(0);
    std::memcpy(areas->Smart.data(), buffer, kSmartAreaSize);
    areas->SmartSaved = true;
    return true;
}

}  // namespace kv
