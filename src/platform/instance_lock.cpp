// The single-instance lock: a lock file taken without waiting. The process
// also remembers the locks it holds, so a second acquisition of the same lock
// inside one process is refused too.
#include "platform/instance_lock.h"

#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <utility>

#include "platform/lock_file.h"
#include "platform/paths.h"

namespace kv::platform {
namespace {

std::mutex& HeldGuard() {
    static std::mutex* const guard = new std::mutex();
    return *guard;
}

// Lock file paths this process holds.
std::set<std::string>& HeldPaths() {
    static auto* const held = new std::set<std::string>();
    return *held;
}

class FileInstanceLock final : public InstanceLock {
  public:
    FileInstanceLock(std::string path, int fd) : path_(std::move(path)), fd_(fd) {}

    ~FileInstanceLock() override {
        std::lock_guard<std::mutex> hold(HeldGuard());
        ReleaseLockFile(fd_);
        HeldPaths().erase(path_);
    }

  private:
    const std::string path_;
    const int fd_;
};

}  // namespace

std::unique_ptr<InstanceLock> AcquireInstanceLock(const std::string& name,
                                                  InstanceLockRefusal* refusal) {
    const std::string path = LockFilePath(name, ".instance");
    std::lock_guard<std::mutex> hold(HeldGuard());
    LockFileResult result = LockFileResult::kHeldElsewhere;
    int fd = -1;
    if (HeldPaths().count(path) == 0) {
        result = AcquireLockFile(path, false, &fd);
    }
    if (result != LockFileResult::kLocked) {
        if (refusal != nullptr) {
            *refusal = result == LockFileResult::kHeldElsewhere ? InstanceLockRefusal::kHeld
                                                                : InstanceLockRefusal::kUnavailable;
        }
        return nullptr;
    }
    HeldPaths().insert(path);
    return std::make_unique<FileInstanceLock>(path, fd);
}

}  // namespace kv::platform
