// The USB bridge in front of a drive, told by the firmware code at bytes
// 36-39 of its INQUIRY answer, and the bus path its commands take.
#pragma once

#include <cstddef>
#include <cstdint>

#include "config/settings_block.h"

namespace kv {

// Bridge types: 0 not recognised, 10 a device that takes vendor blocks itself
// (UsbPath), 1, 4, 7, 8, 9, 11, 12, 13, 14 SAT bridges (SataPath).
inline constexpr int kBridgeUnknown = 0;
inline constexpr int kBridgeDirectUsb = 10;
inline constexpr int kBridgeNoCheck = 7;  // what "EnNoCheckBridge" makes of every other type

// The lookup of the code in a 40-byte INQUIRY answer (first match of the
// table wins; byte-exact, case-sensitive, ending at a zero byte), then
// "EnNoCheckBridge": every result other than 10 becomes 7.
int BridgeTypeOfInquiry(const std::uint8_t (&inquiry)[40], bool noCheckBridge);

// INQUIRY of the port and the lookup above. The port's bus path must be
// UsbPath at that moment (on a SataPath port nothing is sent and the answer
// reads as zero bytes). A failed INQUIRY reads as zero bytes too.
int GetBridgeType(int port, bool noCheckBridge);

bool IsSataBridgeType(int type);

struct BusPathSelection {
    int BridgeType = kBridgeUnknown;
    // The bus name for the window caption: "SATA", "USB", or nullptr when the
    // bus path was left as it was.
    const char* BusName = nullptr;
};

// Probes the bridge ("EnNoCheckBridge" from `process`) and sets the port's
// bus path: SataPath for a SAT bridge (logs "SATA PATH\r\n"), UsbPath for
// type 10 (logs "USB PATH\r\n"), unchanged otherwise. A bridge of type 1 or
// 14 carries PIO only: "SataBusMode" in `process` becomes 1, the process-wide
// keep-mode-1 flag is raised and the vendor bus mode is set to 1, for every
// port and for the life of the process. The caller refreshes the caption.
BusPathSelection SelectBusPath(int port, ProcessSettings& process);

// True once a PIO-only bridge switched the process to bus mode 1.
bool SataBusModeSwitched();

}  // namespace kv
