#include "emulator/drive.h"

#include <cstdio>
#include <filesystem>

#include "emulator/produced_flash.h"
#include "emulator/running_program.h"

namespace kv::emu {

std::string DriveSerial(const std::string& name) {
    std::uint64_t h = 0xCBF29CE484222325ull;
    for (char c : name) {
        h = (h ^ static_cast<std::uint8_t>(c)) * 0x100000001B3ull;
    }
    char text[24];
    std::snprintf(text, sizeof text, "KV%010llX",
                  static_cast<unsigned long long>(h & 0xFFFFFFFFFFull));
    return text;
}

Drive::Drive(const DriveProfile& profile, const NandGeometry& geometry, const BadBlockPlan& plan)
    : profile_(profile),
      serial_(DriveSerial(profile.name)),
      nand_(geometry, plan),
      bridge_(profile.bridge) {
    controller_ = std::make_unique<Controller>(profile_, nand_, state_, user_, bridge_.bus());
}

Drive::~Drive() {
    std::string error;
    Save(error);
}

std::unique_ptr<Drive> Drive::Open(const DriveProfile& profile, const std::string& stateFolder,
                                   std::uint64_t seed, std::string& error) {
    const auto geometry = GeometryFromTypeWord(profile.typeWord, profile.channels, profile.banks);
    if (!geometry) {
        error = "drive " + profile.name + ": no flash geometry";
        return nullptr;
    }
    std::unique_ptr<Drive> drive(
        new Drive(profile, *geometry, PlanBadBlocks(*geometry, profile, seed)));
    bool freshFlash = false;
    bool freshState = false;
    if (!drive->nand_.Open(stateFolder, freshFlash, error) ||
        !drive->state_.Open(stateFolder, freshState, error)) {
        error = "drive " + profile.name + ": " + error;
        return nullptr;
    }
    const std::string image = (std::filesystem::path(stateFolder) / "user.img").string();
    if (!drive->user_.Open(image, profile.userSectors, error)) {
        error = "drive " + profile.name + ": " + error;
        return nullptr;
    }
    if (freshFlash && freshState) {
        // A drive the fixture has not seen before.
        SeedFactoryFlash(drive->profile_, drive->nand_);
        if (profile.boot == BootState::Firmware &&
            !WriteProducedSystemArea(drive->nand_, drive->profile_, drive->bridge_.bus(),
                                     drive->serial_, error)) {
            error = "drive " + profile.name + ": " + error;
            return nullptr;
        }
        drive->nand_.Flush();
        drive->state_.Save();
    }
    return drive;
}

void Drive::PowerUp(Clock* clock) {
    std::lock_guard<std::mutex> lock(mutex_);
    clock_ = clock;
    controller_->SetClock(clock);
    controller_->PowerUp();
    powered_ = true;
    ReadTable();
    fat32SinceMs_.reset();
    if (fat32_ && clock_ != nullptr) {
        fat32SinceMs_ = clock_->NowMs();
    }
    nand_.Flush();
}

void Drive::PowerDown() {
    std::lock_guard<std::mutex> lock(mutex_);
    powered_ = false;
    fat32_.reset();
    fat32SinceMs_.reset();
    state_.Save();
    nand_.Flush();
}

bool Drive::Save(std::string& error) {
    std::lock_guard<std::mutex> lock(mutex_);
    const bool saved = state_.Save();
    if (!saved) {
        error = "drive " + profile_.name + ": state cannot be written";
    }
    return nand_.Compact(error) && saved;
}

DriveOutcome Drive::Execute(const std::uint8_t* cdb, std::size_t cdbLength, DataDirection direction,
                            std::uint8_t* data, std::size_t length, std::uint32_t timeoutSeconds) {
    DriveOutcome outcome;
    Fate fate = Fate::Answered;
    Clock* clock = nullptr;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        clock = clock_;
        if (!powered_) {
            fate = Fate::Gone;
        } else {
            fate = controller_->Begin();
            if (fate == Fate::Answered) {
                const BridgeReply reply =
                    bridge_.Handle(*controller_, cdb, cdbLength, direction, data, length);
                fate = reply.fate;
                outcome.result = reply.result;
            }
            outcome.unplug = controller_->TakeUnplugRequest();
            nand_.Flush();
        }
    }
    if (fate == Fate::NoAnswer) {
        if (clock != nullptr) {
            clock->SleepMs(static_cast<std::int64_t>(timeoutSeconds) * 1000);
        }
        outcome.result = ExecuteResult{};
        outcome.result.timedOut = true;
        outcome.result.lastError = kErrorTimeout;
    } else if (fate == Fate::Gone) {
        outcome.result = ExecuteResult{};
        outcome.result.lastError = kErrorDeviceGone;
    }
    return outcome;
}

std::uint64_t Drive::Capacity() {
    std::lock_guard<std::mutex> lock(mutex_);
    return powered_ ? controller_->Capacity() : 0;
}

bool Drive::ReadSectors(std::uint64_t lba, std::span<std::uint8_t> out) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!powered_ || out.size() % 512 != 0 || controller_->Begin() != Fate::Answered) {
        return false;
    }
    const AtaReply r =
        controller_->Sectors(false, lba, static_cast<std::uint32_t>(out.size() / 512), out);
    return r.fate == Fate::Answered && r.ok;
}

bool Drive::WriteSectors(std::uint64_t lba, std::span<const std::uint8_t> data) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!powered_ || data.size() % 512 != 0 || controller_->Begin() != Fate::Answered) {
        return false;
    }
    std::vector<std::uint8_t> copy(data.begin(), data.end());
    const AtaReply r =
        controller_->Sectors(true, lba, static_cast<std::uint32_t>(copy.size() / 512), copy);
    return r.fate == Fate::Answered && r.ok;
}

void Drive::ReadTable() {
    fat32_.reset();
    if (controller_->state() != ControllerState::Firmware) {
        return;
    }
    MbrSector mbr{};
    if (!user_.Read(0, mbr)) {
        return;
    }
    for (const PartitionEntry& e : ReadPartitions(mbr)) {
        if (IsFat32Type(e.type)) {
            fat32_ = e;
            return;
        }
    }
}

std::optional<std::int64_t> Drive::fat32SinceMs() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return fat32SinceMs_;
}

Clock* Drive::clock() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return clock_;
}

std::optional<PartitionEntry> Drive::Fat32Partition() {
    std::lock_guard<std::mutex> lock(mutex_);
    return fat32_;
}

void Drive::LayoutChanged() {
    std::lock_guard<std::mutex> lock(mutex_);
    const std::optional<PartitionEntry> before = fat32_;
    ReadTable();
    if (!fat32_) {
        fat32SinceMs_.reset();
    } else if (!before || !(*before == *fat32_) || !fat32SinceMs_) {
        fat32SinceMs_ = clock_ != nullptr ? clock_->NowMs() : 0;
    }
}

}  // namespace kv::emu
