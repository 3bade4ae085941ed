#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "emulator/fixture.h"
#include "platform/disk_access.h"

namespace kv::platform {

class SimPlatform;

// The disk_access services of the sim backend, answered from the virtual
// fixture: the layout calls write the drive's MBR as a disk driver would, its
// FAT32 volume shows up under a letter once the fixture mounts it, and a
// volume handle holds the volume (so that removal is vetoed) until it closes.
// The system volume is 'C'; it belongs to no drive of the fixture.
class SimDiskAccess final : public DiskAccess {
  public:
    SimDiskAccess(kv::emu::Fixture& fixture, SimPlatform& platform)
        : fixture_(fixture), platform_(platform) {}

    std::unique_ptr<DiskHandle> OpenDisk(const std::string& path, const DiskOpenMode& mode,
                                         std::uint32_t& lastError) override;
    bool Close(std::unique_ptr<DiskHandle> handle) override;
    bool GetDriveGeometry(DiskHandle& disk, DriveGeometry& out) override;
    bool CreateDisk(DiskHandle& disk, std::uint32_t signature) override;
    bool GetDriveLayout(DiskHandle& disk, DriveLayout& out) override;
    bool SetDriveLayout(DiskHandle& disk, const DriveLayout& layout) override;
    bool UpdateProperties(DiskHandle& disk) override;
    bool GetPartitionInfo(DiskHandle& disk, PartitionInfo& out) override;
    bool WriteAt(DiskHandle& disk, std::uint64_t offset, const void* data, std::uint32_t bytes,
                 std::uint32_t& written) override;
    bool GetDeviceNumber(DiskHandle& handle, StorageDeviceNumber& out) override;

    std::vector<char> LogicalDrives() override;
    char SystemDriveLetter() override { return kSystemLetter; }
    DriveType GetDriveType(char letter) override;
    std::unique_ptr<DiskHandle> OpenVolume(char letter, const DiskOpenMode& mode,
                                           std::uint32_t& lastError) override;
    bool LockVolume(DiskHandle& volume) override;
    bool UnlockVolume(DiskHandle& volume) override;
    bool ReadVolume(DiskHandle& volume, std::uint64_t offset, void* data,
                    std::uint32_t bytes) override;
    bool WriteVolume(DiskHandle& volume, std::uint64_t offset, const void* data,
                     std::uint32_t bytes) override;
    bool GetDiskFreeSpace(char letter, std::uint64_t& totalBytes,
                          std::uint64_t& freeBytes) override;
    bool IsWindows2000() override { return false; }

    // Platform error values the backend reports.
    static constexpr std::uint32_t kErrorFileNotFound = 2;
    static constexpr std::uint32_t kErrorAccessDenied = 5;
    static constexpr std::uint32_t kErrorSharingViolation = 32;
    static constexpr char kSystemLetter = 'C';

  private:
    class Handle;
    friend class Handle;

    // Open disk handles per drive: how many, and whether one is exclusive.
    struct Opens {
        int count = 0;
        bool exclusive = false;
    };

    Handle* AsHandle(DiskHandle& handle, bool volume);
    std::optional<kv::emu::VolumeInfo> VolumeAt(char letter);
    void Closed(const Handle& handle);

    kv::emu::Fixture& fixture_;
    SimPlatform& platform_;
    std::mutex mutex_;
    std::map<kv::emu::DeviceId, Opens> opens_;
};

}  // namespace kv::platform
