// Disk-level services of the operating system: geometry, partition layout,
// volumes of a disk, their lock, and volume reads and writes. The calls mirror
// what the disk formatter and the image tools ask the system for, so that their
// own algorithms (retries, letter search, layout values) stay in the core.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kv::platform {

// How a disk or volume path is opened.
struct DiskOpenMode {
    bool read = true;
    bool write = true;
    bool shared = true;       // others may read and write it while it is open
    bool unbuffered = false;  // no system cache between the caller and the drive
    bool queryOnly = false;   // no access rights: only device queries are allowed
};

// An open disk or volume; closed when destroyed (or by Close, which reports).
class DiskHandle {
  public:
    virtual ~DiskHandle() = default;
};

struct DriveGeometry {
    std::uint64_t cylinders = 0;
    std::uint32_t tracksPerCylinder = 0;
    std::uint32_t sectorsPerTrack = 0;
    std::uint32_t bytesPerSector = 0;
};

// One entry of a disk's partition layout (byte offsets and lengths).
struct PartitionInfo {
    std::uint64_t startingOffset = 0;
    std::uint64_t length = 0;
    std::uint32_t hiddenSectors = 0;
    std::uint32_t partitionNumber = 0;
    std::uint8_t partitionType = 0;
    bool bootIndicator = false;
    bool recognizedPartition = false;
    bool rewritePartition = false;
};

// The layout of an MBR disk: the four primary entries and the disk signature.
struct DriveLayout {
    bool mbrStyle = true;
    std::uint32_t partitionCount = 4;
    std::uint32_t signature = 0;
    std::array<PartitionInfo, 4> entries{};
};

// The platform's device number of a disk, or of the disk a volume lives on.
struct StorageDeviceNumber {
    std::uint32_t deviceType = 0;  // kDiskDeviceType for disks
    std::uint32_t deviceNumber = 0;
    std::uint32_t partitionNumber = 0;
};

inline constexpr std::uint32_t kDiskDeviceType = 7;

enum class DriveType { Unknown, NoRootDir, Removable, Fixed, Remote, CdRom, RamDisk };

class DiskAccess {
  public:
    virtual ~DiskAccess() = default;

    // Opens a disk device path; nullptr with `lastError` set when refused
    // (an exclusive open while another handle is open, an unknown path).
    virtual std::unique_ptr<DiskHandle> OpenDisk(const std::string& path, const DiskOpenMode& mode,
                                                 std::uint32_t& lastError) = 0;
    // Closes a handle; false when the system reports a failed close.
    virtual bool Close(std::unique_ptr<DiskHandle> handle) = 0;

    virtual bool GetDriveGeometry(DiskHandle& disk, DriveGeometry& out) = 0;
    // Replaces the partition table by an empty MBR table with that signature.
    virtual bool CreateDisk(DiskHandle& disk, std::uint32_t signature) = 0;
    virtual bool GetDriveLayout(DiskHandle& disk, DriveLayout& out) = 0;
    // Writes the entries marked for rewrite that are not empty.
    virtual bool SetDriveLayout(DiskHandle& disk, const DriveLayout& layout) = 0;
    // Makes the system read the disk's layout again.
    virtual bool UpdateProperties(DiskHandle& disk) = 0;
    // The partition a volume handle covers (a disk handle: the whole disk).
    virtual bool GetPartitionInfo(DiskHandle& disk, PartitionInfo& out) = 0;
    // A plain write at a byte offset (whole sectors); `written` gets the count.
    virtual bool WriteAt(DiskHandle& disk, std::uint64_t offset, const void* data,
                         std::uint32_t bytes, std::uint32_t& written) = 0;
    virtual bool GetDeviceNumber(DiskHandle& handle, StorageDeviceNumber& out) = 0;

    // Volumes, by drive letter ('A'..'Z').
    virtual std::vector<char> LogicalDrives() = 0;
    // The letter of the volume the operating system runs from; 0 when none.
    virtual char SystemDriveLetter() = 0;
    virtual DriveType GetDriveType(char letter) = 0;
    virtual std::unique_ptr<DiskHandle> OpenVolume(char letter, const DiskOpenMode& mode,
                                                   std::uint32_t& lastError) = 0;
    virtual bool LockVolume(DiskHandle& volume) = 0;
    virtual bool UnlockVolume(DiskHandle& volume) = 0;
    // Reads and writes whole sectors of a volume at byte offsets within it.
    virtual bool ReadVolume(DiskHandle& volume, std::uint64_t offset, void* data,
                            std::uint32_t bytes) = 0;
    virtual bool WriteVolume(DiskHandle& volume, std::uint64_t offset, const void* data,
                             std::uint32_t bytes) = 0;
    // Size and free bytes of the file system on a letter.
    virtual bool GetDiskFreeSpace(char letter, std::uint64_t& totalBytes,
                                  std::uint64_t& freeBytes) = 0;

    // True when the system is the one that needs the plain MBR write for a new
    // partition table (major version 5, minor 0); false on every other system.
    virtual bool IsWindows2000() = 0;
};

}  // namespace kv::platform
