// The waits of the vendor access layer and of loader-mode handling: every
// wait runs on the port's platform clock and ends early when the port's run
// is cut off (watchdog expiry, stop button).
#pragma once

#include <atomic>
#include <cstdint>

namespace kv {

// The flag that cuts a port's waits short (the run guard's cancellation
// flag); nullptr removes it. The flag must outlive its registration.
void SetPortCancelFlag(int port, const std::atomic<bool>* flag);
// True when the port's registered flag is raised.
bool PortCancelled(int port);
// Waits `ms` milliseconds on the port's clock; false when the port was cut
// off before or during the wait.
bool PortWait(int port, std::int64_t ms);

// How long the keep-waiting status polls of a downloaded program go on at
// most, in milliseconds of the port's clock. Default 12,000,000 (200 minutes,
// the default watchdog); a value of 0 or below restores the default.
inline constexpr std::int64_t kDefaultKeepWaitingLimitMs = 200LL * 60 * 1000;
void SetKeepWaitingLimitMs(std::int64_t ms);
std::int64_t KeepWaitingLimitMs();

}  // namespace kv
