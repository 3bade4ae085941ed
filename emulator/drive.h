// One emulated drive: bridge, controller, flash, user area and saved state,
// behind one lock so that a port's worker and the fixture's own thread can
// both reach it.
//
// State folder (StateDir/Name/): user.img, flash.dat and flash.log (the
// flash), controller.txt and the saved areas of DriveState. A drive whose
// folder holds no state yet starts as its Boot key says.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>

#include "emulator/bridge.h"
#include "emulator/clock.h"
#include "emulator/controller.h"
#include "emulator/disk_layout.h"
#include "emulator/drive_profile.h"
#include "emulator/drive_state.h"
#include "emulator/execute_result.h"
#include "emulator/nand.h"
#include "emulator/user_area.h"

namespace kv::emu {

struct DriveOutcome {
    ExecuteResult result;
    bool unplug = false;  // an "unplug" fault fired: the fixture takes the drive off its port
};

class Drive {
  public:
    // Opens (or makes) the drive's state under `stateFolder`.
    static std::unique_ptr<Drive> Open(const DriveProfile& profile, const std::string& stateFolder,
                                       std::uint64_t seed, std::string& error);
    ~Drive();

    const DriveProfile& profile() const { return profile_; }
    const std::string& serial() const { return serial_; }
    const Bridge& bridge() const { return bridge_; }

    // Power-up on the port whose clock is `clock`; power-down saves the state.
    void PowerUp(Clock* clock);
    void PowerDown();
    bool powered() const { return powered_; }

    // One pass-through request. A drive that does not answer holds the caller
    // for `timeoutSeconds` of its clock and reports a time-out.
    DriveOutcome Execute(const std::uint8_t* cdb, std::size_t cdbLength, DataDirection direction,
                         std::uint8_t* data, std::size_t length, std::uint32_t timeoutSeconds);

    // The disk as the platform's disk driver sees it (sector I/O through the
    // controller; nothing without a running firmware).
    std::uint64_t Capacity();
    bool ReadSectors(std::uint64_t lba, std::span<std::uint8_t> out);
    bool WriteSectors(std::uint64_t lba, std::span<const std::uint8_t> data);

    // The first FAT32 partition of the table, if any, and since when it is there.
    std::optional<PartitionEntry> Fat32Partition();
    std::optional<std::int64_t> fat32SinceMs() const;
    // Re-reads the partition table after a layout change.
    void LayoutChanged();
    Clock* clock() const;

    // Saves state and folds the flash journal.
    bool Save(std::string& error);

    // For tests and the diagnostic program's tests: the parts, under the lock.
    template <typename F>
    auto WithParts(F f) {
        std::lock_guard<std::mutex> lock(mutex_);
        return f(*controller_, nand_, state_);
    }

  private:
    Drive(const DriveProfile& profile, const NandGeometry& geometry, const BadBlockPlan& plan);
    void ReadTable();  // under the lock

    DriveProfile profile_;
    std::string serial_;
    Nand nand_;
    DriveState state_;
    UserArea user_;
    Bridge bridge_;
    std::unique_ptr<Controller> controller_;
    mutable std::mutex mutex_;
    Clock* clock_ = nullptr;
    bool powered_ = false;
    std::optional<std::int64_t> fat32SinceMs_;
    std::optional<PartitionEntry> fat32_;
};

// The USB serial string of a drive, from its name (stable across runs).
std::string DriveSerial(const std::string& name);

}  // namespace kv::emu
