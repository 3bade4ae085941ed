// The complete re-scan of the main window and the pre-run restart of the
// drives.
#pragma once

#include "device/discovery_session.h"

namespace kv {

inline constexpr int kRescanAttempts = 7;
inline constexpr std::int64_t kRescanWaitMs = 3000;
// VA_EnableVendorCmd mode of the pre-run restart.
inline constexpr std::uint8_t kRescanVendorMode = 10;

// The re-scan behind Refresh, the device-change timer and safe removal:
// under "KVMPAcess" it clears the slots whose drive is gone, matches the
// ports to the disks, keeps the erase counts and SMART sectors the settings
// ask for, asks the operator's inputs, redraws the panels and enables START
// when the window is ready and "ConnectDevNum" is 0 or the present count.
// Skipped (false) in direct input mode while an input prompt is open.
bool EnumUSBDevice(DiscoverySession& session);

// Before a run: the vendor feature on (and vendor commands enabled, mode 10,
// on drives out of loader mode) for every present port, then
// MatchPortsToDisks until it finds the present count of the last
// EnumUSBDevice, at most 7 times, 3 s apart on the platform clock while the
// window keeps processing messages. True when the count was found again.
bool ResetAndRescan(DiscoverySession& session);

}  // namespace kv
