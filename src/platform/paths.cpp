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
// a setter. Every value stays linked behind its successor (a few bytes per
// change), so references to earlier values never dangle.
class Setting {
  public:
    explicit Setting(std::string (*makeDefault)()) : makeDefault_(makeDefault) {}

    const std::string& Get() {
        const Value* value = latest_.load(std::memory_order_acquire);
        if (value != nullptr) {
            return value->text;
        }
        const Value* fresh = new Value{makeDefault_(), nullptr};
        if (latest_.compare_exchange_strong(value, fresh, std::memory_order_acq_rel)) {
            return fresh->text;
        }
        delete fresh;  // another thread published first; `value` holds its value
        return value->text;
    }

    // An empty value returns to the default.
    void Set(const std::string& text) {
        auto* fresh = new Value{text.empty() ? makeDefault_() : text, nullptr};
        const Value* previous = latest_.load(std::memory_order_acquire);
        do {
            fresh->previous = previous;
        } while (!latest_.compare_exchange_weak(previous, fresh, std::memory_order_acq_rel));
    }

  private:
    struct Value {
        std::string text;
        const Value* previous;
    };

    std::string (*makeDefault_)();
    std::atomic<const Value*> latest_{nullptr};
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
