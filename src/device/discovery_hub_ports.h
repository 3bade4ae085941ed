// The hub walk: every USB hub from the root hubs down, each hub port given a
// fixed slot number, and what is attached recorded in the scratch records.
#pragma once

#include "platform/discovery.h"
#include "run/global_state.h"

namespace kv {

// Hub interfaces looked at per walk, and the nesting of downstream hubs
// followed below a root hub (more than USB allows; a deeper answer is a loop).
inline constexpr int kMaxHubInterfaces = 80;
inline constexpr int kMaxHubDepth = 8;

// Walks the root hubs (interfaces whose path holds "root_hub20", "root_hub30"
// or "asmediausbd_hub") in enumeration order and returns the number of hub
// ports visited. Root hub k's ports take the slots after those of the hubs
// before it; a downstream hub takes its slots from the slot base of the
// moment it is met, so its ports share slot numbers with the lower ports of
// its parent and the last device written to a slot wins (its record is
// rewritten whole). Slots 50 and above are not recorded. `scanned` is not
// cleared here.
int EnumHubPorts(platform::Discovery& discovery, PortRecord (&scanned)[kMaxPorts]);

// Finds the device node whose driver key equals `driverKey` (case-blind) by a
// depth-first walk of the device tree from its root; 0 when there is none.
platform::DevNode FindNodeByDriverKey(platform::Discovery& discovery, const std::string& driverKey);

}  // namespace kv
