// Lock files in the lock folder: the cross-process part of named mutexes and
// of the single-instance lock. The kernel drops a file lock when its holder
// closes the file or dies.
#pragma once

#include <string>

namespace kv::platform {

enum class LockFileResult {
    kLocked,         // the lock is held through the returned descriptor
    kHeldElsewhere,  // only without waiting: another open file holds it
    kUnavailable,    // the lock file cannot be created or locked
};

// The lock file of `name` plus `suffix` (never empty) in LockFolder(); a
// separator in the name is replaced so the file stays in the folder.
std::string LockFilePath(const std::string& name, const std::string& suffix);

// Opens the lock file (creating it and the lock folder as needed) and takes an
// exclusive lock, waiting for it when `wait` is true. On kLocked `*fd` holds
// the lock until ReleaseLockFile.
LockFileResult AcquireLockFile(const std::string& path, bool wait, int* fd);
void ReleaseLockFile(int fd);

}  // namespace kv::platform
