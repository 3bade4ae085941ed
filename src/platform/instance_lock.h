// The single-instance lock: only one station runs on a machine at a time.
#pragma once

#include <memory>
#include <string>

namespace kv::platform {

class InstanceLock {
  public:
    virtual ~InstanceLock() = default;
};

// Why AcquireInstanceLock gave no lock.
enum class InstanceLockRefusal {
    kHeld,         // another process, or this one, holds it
    kUnavailable,  // the lock file cannot be created or locked
};

// Takes the lock of that name; nullptr when another process holds it, when this
// process already holds it, or when the lock file is unusable (a single
// instance cannot then be guaranteed); `refusal`, when given, tells which.
// The lock is held until the returned object is destroyed or the process ends.
std::unique_ptr<InstanceLock> AcquireInstanceLock(const std::string& name,
                                                  InstanceLockRefusal* refusal = nullptr);

}  // namespace kv::platform
