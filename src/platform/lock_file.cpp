// Lock files are opened afresh for every acquisition, so a forked child never
// shares the parent's lock through an inherited descriptor.
#include "platform/lock_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/paths.h"

namespace kv::platform {
namespace {

// A lock file removed and created again by someone else while we waited would
// give two holders; after this many such rounds the lock is taken anyway.
constexpr int kReplacedFileRetries = 16;

// Creates every missing folder on the way to `folder`.
void CreateFolders(const std::string& folder) {
    for (std::size_t at = 1; at <= folder.size(); ++at) {
        if (at == folder.size() || folder[at] == kPathSeparator) {
            const std::string prefix = folder.substr(0, at);
            if (mkdir(prefix.c_str(), 0777) != 0 && errno != EEXIST) {
                return;
            }
        }
    }
}

int OpenLockFile(const std::string& path) {
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0 && errno == ENOENT) {
        const std::size_t slash = path.rfind(kPathSeparator);
        if (slash != std::string::npos && slash > 0) {
            CreateFolders(path.substr(0, slash));
        }
        fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    }
    return fd;
}

bool StillNamedBy(int fd, const std::string& path) {
    struct stat held {};
    struct stat named {};
    if (fstat(fd, &held) != 0 || stat(path.c_str(), &named) != 0) {
        return false;
    }
    return held.st_dev == named.st_dev && held.st_ino == named.st_ino;
}

}  // namespace

std::string LockFilePath(const std::string& name, const std::string& suffix) {
    std::string file = name + suffix;
    for (char& c : file) {
        if (c == kPathSeparator || c == '\0') {
            c = '_';
        }
    }
    return ResolveInFolder(LockFolder(), file);
}

LockFileResult AcquireLockFile(const std::string& path, bool wait, int* fd) {
    *fd = -1;
    for (int round = 0;; ++round) {
        const int opened = OpenLockFile(path);
        if (opened < 0) {
            return LockFileResult::kUnavailable;
        }
        int rc;
        do {
            rc = flock(opened, LOCK_EX | (wait ? 0 : LOCK_NB));
        } while (rc != 0 && errno == EINTR);
        if (rc != 0) {
            const bool busy = errno == EWOULDBLOCK;
            close(opened);
            return busy ? LockFileResult::kHeldElsewhere : LockFileResult::kUnavailable;
        }
        if (round >= kReplacedFileRetries || StillNamedBy(opened, path)) {
            *fd = opened;
            return LockFileResult::kLocked;
        }
        close(opened);
    }
}

void ReleaseLockFile(int fd) {
    if (fd >= 0) {
        close(fd);
    }
}

}  // namespace kv::platform
