// The Safe Remove button: every present drive's USB device taken off the
// system at once, one removal thread per drive, then a re-scan.
#pragma once

#include "device/discovery_session.h"
#include "platform/discovery.h"

namespace kv {

inline constexpr int kRemovalAttempts = 5;
inline constexpr std::int64_t kRemovalRetryWaitMs = 500;
inline constexpr std::int64_t kRemovalPollWaitMs = 500;
inline constexpr char kRemovalWarningText[] = "Unable to remove all device!";
inline constexpr char kRemovalWarningCaption[] = "Warning";

enum class SafeRemoveOutcome {
    NothingToRemove,  // the last EnumUSBDevice found no present port: nothing done
    AllRemoved,
    SomeRemain,  // a drive is still present after the re-scan; the warning was shown
};

// The thread body: query-and-remove the node (eject when that fails), at most
// 5 attempts 500 ms apart on the platform clock with one more eject between.
// True when the last call succeeded and reported no veto.
bool RemoveDeviceThread(platform::Discovery& discovery, platform::DevNode node);

// The button handler `SafeRmBtnClick`: the button's font red, one removal
// thread per present port, a wait on exactly those threads (500 ms steps
// while the window keeps processing messages), EnumUSBDevice, and the
// warning "Unable to remove all device!" when a port is still present.
SafeRemoveOutcome SafeRmBtnClick(DiscoverySession& session);

}  // namespace kv
