// Loader identities and the switch of a loader drive into vendor mode.
#include "device/loader_mode.h"

#include <algorithm>
#include <cstring>
#include <span>
#include <vector>

#include "device/ata_commands.h"
#include "device/ata_procedures.h"
#include "device/debug_log.h"
#include "device/port_device.h"
#include "device/transport.h"
#include "device/vendor_access.h"
#include "device/vendor_access_geometry.h"
#include "device/vendor_access_wait.h"
#include "device/vendor_channel.h"

namespace kv {
namespace {

constexpr std::size_t kInquiryIdentityOffset = 8;
constexpr std::size_t kUsbLoaderIdentityLength = sizeof(kUsbLoaderIdentity) - 1;
static_assert(kUsbLoaderIdentityLength == 23);
static_assert(kSataLoaderCompareLength <= kIdentifyModelLength);

constexpr std::uint8_t kHandshakeSignature[3] = {0xE5, 0x4B, 0x56};
constexpr std::uint8_t kUsbEnableModeTwo = 2;
constexpr std::uint8_t kUsbEnableModeOne = 1;
constexpr std::uint8_t kSataEnableMode = 1;

bool UsbShowsLoader(int port) {
    std::uint8_t inquiry[kInquiryLength] = {};
    return SCSI_Inquiry(port, inquiry) == kCommandOk &&
           std::memcmp(inquiry + kInquiryIdentityOffset, kUsbLoaderIdentity,
                       kUsbLoaderIdentityLength) == 0;
}

// The IDENTIFY model of a SataPath drive, in reading order; false when
// IDENTIFY fails.
bool ReadModel(int port, std::uint8_t (&model)[kIdentifyModelLength]) {
    std::uint8_t identify[kSectorSize] = {};
    if (ATA_Identify(port, identify, 1) != kCommandOk) {
        return false;
    }
    std::memcpy(model, identify + kIdentifyModelOffset, kIdentifyModelLength);
    SwapIdentifyString(model, kIdentifyModelLength);
    return true;
}

bool ModelIs(const std::uint8_t (&model)[kIdentifyModelLength], const char* text) {
    return std::memcmp(model, text, kSataLoaderCompareLength) == 0;
}

// The mode byte of the loader information; 0 when it cannot be read.
std::uint8_t LoaderModeByte(int port) {
    const VaFlashGeometry g = VaFlashGeometryOf(port);
    const std::size_t pageSet =
        static_cast<std::size_t>(g.Channels) * g.SectorsPerPage * kSectorSize;
    std::vector<std::uint8_t> scratch(std::max(pageSet, kLoaderInfoOffset + kLoaderInfoSize));
    std::uint8_t info[kLoaderInfoSize] = {};
    return VA_ReadLoaderInfo(port, scratch, info) ? info[0] : 0;
}

bool EnterOnUsbPath(int port, std::uint8_t modeByte) {
    VA_EnableVendorCmd(port, modeByte == 2 ? kUsbEnableModeTwo : kUsbEnableModeOne);
    for (int attempt = 0; attempt < kUsbInquiryAttempts; ++attempt) {
        std::uint8_t inquiry[kInquiryLength] = {};
        if (SCSI_Inquiry(port, inquiry) == kCommandOk) {
            break;
        }
        if (!PortWait(port, kUsbInquiryWaitMs)) {
            return false;
        }
    }
    return true;
}

bool EnterOnSataPath(int port, std::uint8_t* buffer) {
    VA_EnableVendorCmd(port, kSataEnableMode);
    for (int check = 0; check < kLoaderLeaveChecks; ++check) {
        if (!IsLoaderMode(port)) {
            break;
        }
        if (!PortWait(port, kLoaderLeaveWaitMs)) {
            return false;
        }
    }
    for (int attempt = 0; attempt < kHandshakeAttempts; ++attempt) {
        VA_SetVendorFeature(port, true);
        std::memset(buffer, 0, kSectorSize);
        if (VC_SATA_ReadCmd(port, buffer, 1, kCommandSectorLba) == kCommandOk &&
            std::memcmp(buffer, kHandshakeSignature, sizeof(kHandshakeSignature)) == 0) {
            return true;
        }
        if (!PortWait(port, kHandshakeWaitMs)) {
            return false;
        }
    }
    return false;
}

}  // namespace

bool IsLoaderMode(int port) {
    if (PortDeviceTable().GetBusPath(port) == BusPath::UsbPath) {
        return UsbShowsLoader(port);
    }
    std::uint8_t model[kIdentifyModelLength] = {};
    return ReadModel(port, model) &&
           (ModelIs(model, kSataLoaderModel) || ModelIs(model, kControllerLoaderModel));
}

bool IsSataLoaderDevice(int port) {
    if (PortDeviceTable().GetBusPath(port) == BusPath::UsbPath) {
        OutputDbgMsg("######### - USB Command Path!");
        return false;
    }
    std::uint8_t model[kIdentifyModelLength] = {};
    return ReadModel(port, model) && ModelIs(model, kControllerLoaderModel);
}

bool EnterVendorMode(int port, std::uint8_t* buffer) {
    if (!IsLoaderMode(port)) {
        return true;
    }
    if (buffer == nullptr) {
        return false;
    }
    const std::uint8_t modeByte = LoaderModeByte(port);
    if (PortDeviceTable().GetBusPath(port) == BusPath::UsbPath) {
        return EnterOnUsbPath(port, modeByte);
    }
    return EnterOnSataPath(port, buffer);
}

}  // namespace kv
