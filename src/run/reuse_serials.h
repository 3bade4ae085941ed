// The serial-number reuse list ("SNErrReuse"): numbers given to drives whose
// Download failed go out again, before the regular sequence continues.
#pragma once

#include <span>

#include "run/global_state.h"

namespace kv {

// After a run's rows are written: the new list holds the serial numbers of the
// present ports whose Download failed (port order), then the old entries not yet
// handed out, at most 50 (surplus old entries are dropped); its next index is 0.
// A serial number longer than an entry holds (39 characters) is not reused.
void RebuildReuseSnList(std::span<const PortRecord> ports, ReuseSnList& list);

}  // namespace kv
