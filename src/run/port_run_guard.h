// The guard between a port's worker and the run controller. The controller
// cuts a run off (watchdog expiry, stop button) by setting the port's
// cancellation flag and writing the outcome under the guard; from then on the
// worker's writes to its port are dropped, so the outcome the controller wrote
// stays. No lock is held while the worker talks to its drive.
#pragma once

#include <atomic>
#include <mutex>

namespace kv {

class PortRunGuard {
  public:
    // Runs `write` unless the run was cut off; false when it was.
    template <class Write>
    bool Apply(Write&& write) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (cutOff_)
            return false;
        write();
        return true;
    }

    // Cuts the run off and runs `outcome` as the last write to the port.
    // Returns false (and writes nothing) when the run was cut off already.
    template <class Write>
    bool CutOff(Write&& outcome) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (cutOff_)
            return false;
        cutOff_ = true;
        cancel_.store(true);
        outcome();
        return true;
    }

    bool IsCutOff() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return cutOff_;
    }
    // The flag device waits watch, so that a wait ends early once cut off.
    const std::atomic<bool>& cancelFlag() const { return cancel_; }

    // Arms the guard for the next run of the port.
    void Reset() {
        std::lock_guard<std::mutex> lock(mutex_);
        cutOff_ = false;
        cancel_.store(false);
    }

  private:
    mutable std::mutex mutex_;
    bool cutOff_ = false;
    std::atomic<bool> cancel_{false};
};

}  // namespace kv
