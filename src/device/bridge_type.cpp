#include "device/bridge_type.h"

#include <cstring>

#include "device/ata_commands.h"
#include "device/debug_log.h"
#include "device/port_device.h"
#include "device/vendor_block.h"
#include "device/vendor_channel.h"

namespace kv {
namespace {

constexpr std::size_t kCodeOffset = 36;

struct CodeEntry {
    std::size_t offset;  // 36: bytes 36-39; 37: bytes 37-39
    const char* code;    // 4 (or 3) bytes, no zero byte inside
    int type;
};

// First match wins, in this order.
constexpr CodeEntry kCodeTable[] = {
    {36, "p710", 1},  {36, "p711", 9},
    {36, "p712", 4},  {36, "p713", 7},
    {36, "p714", 8},  {36, "p720", 11},
    {36, "p721", 12}, {36, "p722", 12},
    {36, "p723", 13}, {36, "\x05\xE3\x07\x18", 14},
    {37, "w40", 13},  {37, "w41", 13},
    {37, "w42", 13},  {37, "w43", 13},
    {36, "p724", 13}, {36, "p725", 13},
    {36, "p730", 10}, {36, "G40X", 10},
    {36, "elm ", 10}, {36, "p731", 10},
    {36, "G41X", 10},
};

// The PIO-only bridges that switch the process to bus mode 1.
bool IsPioOnlyBridge(int type) {
    return type == 1 || type == 14;
}

}  // namespace

int BridgeTypeOfInquiry(const std::uint8_t (&inquiry)[40], bool noCheckBridge) {
    int type = kBridgeUnknown;
    for (const CodeEntry& entry : kCodeTable) {
        // The codes hold no zero byte, so a byte-wise compare ends exactly
        // where a compare stopping at a zero byte would.
        if (std::memcmp(inquiry + entry.offset, entry.code, std::strlen(entry.code)) == 0) {
            type = entry.type;
            break;
        }
    }
    if (noCheckBridge && type != kBridgeDirectUsb) {
        type = kBridgeNoCheck;
    }
    return type;
}

int GetBridgeType(int port, bool noCheckBridge) {
    std::uint8_t inquiry[40] = {};
    static_assert(sizeof(inquiry) == kInquiryLength);
    static_assert(kCodeOffset + 4 <= sizeof(inquiry));
    if (SCSI_Inquiry(port, inquiry) != kCommandOk) {
        std::memset(inquiry, 0, sizeof(inquiry));  // a failed answer is no answer
    }
    return BridgeTypeOfInquiry(inquiry, noCheckBridge);
}

bool IsSataBridgeType(int type) {
    switch (type) {
        case 1:
        case 4:
        case 7:
        case 8:
        case 9:
        case 11:
        case 12:
        case 13:
        case 14:
            return true;
        default:
            return false;
    }
}

BusPathSelection SelectBusPath(int port, ProcessSettings& process) {
    BusPathSelection selection;
    selection.BridgeType = GetBridgeType(port, process.EnNoCheckBridge != 0);
    if (IsSataBridgeType(selection.BridgeType)) {
        PortDeviceTable().SetBusPath(port, BusPath::SataPath);
        OutputDbgMsg("SATA PATH\r\n");
        selection.BusName = "SATA";
    } else if (selection.BridgeType == kBridgeDirectUsb) {
        PortDeviceTable().SetBusPath(port, BusPath::UsbPath);
        OutputDbgMsg("USB PATH\r\n");
        selection.BusName = "USB";
    }
    if (IsPioOnlyBridge(selection.BridgeType)) {
        // The carriers must go by PIO from now on, for this drive's first
        // commands too, not only from the next flash-part selection.
        process.SataBusMode = 1;
        SetKeepVendorBusMode1(true);
        SetVendorBusMode(1);
    }
    return selection;
}

bool SataBusModeSwitched() {
    return KeepVendorBusMode1();
}

}  // namespace kv
