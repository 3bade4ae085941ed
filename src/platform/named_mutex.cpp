// Named mutexes: a process-local recursive mutex per name serialises the
// threads of this process and counts the nesting; the outermost lock of the
// process also takes the name's lock file, which serialises the processes.
#include "platform/named_mutex.h"

#include <map>
#include <mutex>
#include <string>
#include <utility>

#include "platform/lock_file.h"
#include "platform/platform.h"

namespace kv::platform {

struct NamedMutex::Shared {
    explicit Shared(std::string mutexName) : name(std::move(mutexName)) {}

    const std::string name;
    std::recursive_mutex local;
    // Guarded by `local`: nesting depth of the holding thread and the lock file
    // held while it is above zero (-1 when the file could not be locked).
    int depth = 0;
    int fd = -1;
};

// One shared object per name and process, kept until the process ends.
NamedMutex::NamedMutex(const std::string& name) {
    static std::mutex* const guard = new std::mutex();
    static auto* const registry = new std::map<std::string, Shared*>();
    std::lock_guard<std::mutex> hold(*guard);
    auto found = registry->find(name);
    if (found == registry->end()) {
        found = registry->emplace(name, new Shared(name)).first;
    }
    shared_ = found->second;
}

NamedMutex::~NamedMutex() = default;

void NamedMutex::lock() {
    shared_->local.lock();
    if (shared_->depth++ > 0) {
        return;
    }
    // The lock file is looked up now, so a changed lock folder takes effect at
    // the next outermost lock.
    const std::string path = LockFilePath(shared_->name, ".lock");
    if (AcquireLockFile(path, true, &shared_->fd) != LockFileResult::kLocked) {
        // Without a usable lock folder only this process is serialised.
        shared_->fd = -1;
        const std::string text =
            "NamedMutex " + shared_->name + ": lock file " + path + " unusable\r\n";
        Current().DebuggerOutput(text.c_str());
    }
}

void NamedMutex::unlock() {
    if (--shared_->depth == 0) {
        ReleaseLockFile(shared_->fd);
        shared_->fd = -1;
    }
    shared_->local.unlock();
}

}  // namespace kv::platform
