// The station's path rules and its configurable folders. Each folder value is
// published as a string that is never freed, so a reference handed out stays
// valid while a front end or test sets a new value.
#include "platform/paths.h"

#include <atomic>
#include <cstdlib>

#include "platform/platform.h"

namespace kv::platform {
namespace {

constexpr const char kDefaultMachineFile[] = "/etc/kvstation/pc.ini";
constexpr const char kDefaultLockFolder[] = "/tmp/kvstation-locks";

std::string DefaultStationFolder() {
    return WithTrailingSeparator(Current().ExecutableFolder());
}

std::string DefaultMachineFile() {
    return kDefaultMachineFile;
}

std::string DefaultLockFolder() {
    const char* fromEnvironment = std::getenv("KV_LOCK_DIR");
    if (fromEnvironment != nullptr && fromEnvironment[0] != '\0') {
        return fromEnvironment;
    }
    return kDefaultLockFolder;
}

// One configurable value: computed from its default on first read, replaced by
// a setter. Replaced strings are kept (a few bytes per change).
class Setting {
  public:
    explicit Setting(std::string (*makeDefault)()) : makeDefault_(makeDefault) {}

    const std::string& Get() {
        const std::string* value = value_.load(std::memory_order_acquire);
        if (value != nullptr) {
            return *value;
        }
        const std::string* fresh = new std::string(makeDefault_());
        if (value_.compare_exchange_strong(value, fresh, std::memory_order_acq_rel)) {
            return *fresh;
        }
        delete fresh;  // another thread published first; `value` holds its string
        return *value;
    }

    // An empty value returns to the default.
    void Set(const std::string& text) {
        value_.store(new std::string(text.empty() ? makeDefault_() : text),
                     std::memory_order_release);
    }

  private:
    std::string (*makeDefault_)();
    std::atomic<const std::string*> value_{nullptr};
};

Setting& StationFolderSetting() {
    static Setting* const setting = new Setting(DefaultStationFolder);
    return *setting;
}

Setting& MachineFileSetting() {
    static Setting* const setting = new Setting(DefaultMachineFile);
    return *setting;
}

Setting& LockFolderSetting() {
    static Setting* const setting = new Setting(DefaultLockFolder);
    return *setting;
}

}  // namespace

bool IsAbsolutePath(const std::string& path) {
    return !path.empty() && path.front() == kPathSeparator;
}

// An empty folder stays empty (the current directory) rather than becoming
// the root folder.
std::string WithTrailingSeparator(const std::string& folder) {
    if (folder.empty() || folder.back() == kPathSeparator) {
        return folder;
    }
    return folder + kPathSeparator;
}

std::string ResolveInFolder(const std::string& folder, const std::string& name) {
    if (IsAbsolutePath(name)) {
        return name;
    }
    return WithTrailingSeparator(folder) + name;
}

const std::string& StationFolder() {
    return StationFolderSetting().Get();
}

void SetStationFolder(const std::string& folder) {
    StationFolderSetting().Set(WithTrailingSeparator(folder));
}

const std::string& MachineFilePath() {
    return MachineFileSetting().Get();
}

void SetMachineFilePath(const std::string& path) {
    MachineFileSetting().Set(path);
}

const std::string& LockFolder() {
    return LockFolderSetting().Get();
}

void SetLockFolder(const std::string& folder) {
    LockFolderSetting().Set(folder);
}

}  // namespace kv::platform
