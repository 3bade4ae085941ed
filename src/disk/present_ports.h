// The number of ports of the current run, as the run controller fixes it. The
// formatter's exclusive open of a disk may collide with other ports formatting
// at the same time, so it retries up to five times per present port.
#pragma once

namespace kv::disk {

void SetPresentPortCount(int count);
// The count last set, at least 1 (a format outside a run still gets its five tries).
int PresentPortCount();
// Five open attempts per present port.
int FormatOpenAttempts();

}  // namespace kv::disk
