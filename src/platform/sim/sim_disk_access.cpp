#include "platform/sim/sim_disk_access.h"

#include <algorithm>
#include <cstring>
#include <span>

#include "platform/sim/sim_platform.h"

namespace kv::platform {

namespace {

constexpr std::uint64_t kSector = kv::emu::kBytesPerSector;
// Reads of the file-system tables move in pieces of this many bytes.
constexpr std::size_t kScanPiece = 64 * 1024;

std::uint32_t Le16(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8);
}

std::uint32_t Le32(const std::uint8_t* p) {
    return Le16(p) | (Le16(p + 2) << 16);
}

bool WholeSectors(std::uint64_t offset, std::uint64_t bytes) {
    return offset % kSector == 0 && bytes % kSector == 0;
}

}  // namespace

// An open disk or volume of one fixture drive.
class SimDiskAccess::Handle final : public DiskHandle {
  public:
    Handle(SimDiskAccess& owner, kv::emu::DeviceId id, char letter, const DiskOpenMode& mode)
        : owner_(owner), id_(id), letter_(letter), mode_(mode) {}
    ~Handle() override { owner_.Closed(*this); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    kv::emu::DeviceId id() const { return id_; }
    char letter() const { return letter_; }  // 0 for a disk handle
    bool isVolume() const { return letter_ != 0; }
    const DiskOpenMode& mode() const { return mode_; }
    bool locked = false;

  private:
    SimDiskAccess& owner_;
    kv::emu::DeviceId id_;
    char letter_;
    DiskOpenMode mode_;
};

SimDiskAccess::Handle* SimDiskAccess::AsHandle(DiskHandle& handle, bool volume) {
    auto* h = dynamic_cast<Handle*>(&handle);
    if (h == nullptr || h->isVolume() != volume) {
        return nullptr;
    }
    return h;
}

void SimDiskAccess::Closed(const Handle& handle) {
    if (handle.isVolume()) {
        if (handle.locked) {
            fixture_.UnlockVolume(handle.id());
        }
        fixture_.ReleaseVolume(handle.id());
        return;
    }
    if (handle.mode().queryOnly) {
        return;  // a query handle takes no share of the disk
    }
    std::lock_guard<std::mutex> hold(mutex_);
    auto it = opens_.find(handle.id());
    if (it != opens_.end()) {
        it->second.count = std::max(0, it->second.count - 1);
        if (it->second.count == 0) {
            opens_.erase(it);
        } else if (!handle.mode().shared) {
            it->second.exclusive = false;
        }
    }
}

std::unique_ptr<DiskHandle> SimDiskAccess::OpenDisk(const std::string& path,
                                                    const DiskOpenMode& mode,
                                                    std::uint32_t& lastError) {
    const std::optional<kv::emu::DeviceId> id = platform_.DeviceOfPath(path);
    if (!id) {
        lastError = kErrorFileNotFound;
        return nullptr;
    }
    if (!mode.queryOnly) {
        std::lock_guard<std::mutex> hold(mutex_);
        Opens& opens = opens_[*id];
        if (opens.exclusive || (!mode.shared && opens.count > 0)) {
            lastError = kErrorSharingViolation;  // only an open disk refuses, so its entry stays
            return nullptr;
        }
        ++opens.count;
        opens.exclusive = !mode.shared;
    }
    lastError = 0;
    return std::make_unique<Handle>(*this, *id, 0, mode);
}

bool SimDiskAccess::Close(std::unique_ptr<DiskHandle> handle) {
    return handle != nullptr;
}

bool SimDiskAccess::GetDriveGeometry(DiskHandle& disk, DriveGeometry& out) {
    Handle* h = AsHandle(disk, false);
    if (h == nullptr || h->mode().queryOnly) {
        return false;
    }
    const std::optional<kv::emu::DiskGeometry> g = fixture_.Geometry(h->id());
    if (!g) {
        return false;
    }
    out.cylinders = g->cylinders;
    out.tracksPerCylinder = g->tracksPerCylinder;
    out.sectorsPerTrack = g->sectorsPerTrack;
    out.bytesPerSector = g->bytesPerSector;
    return true;
}

bool SimDiskAccess::CreateDisk(DiskHandle& disk, std::uint32_t signature) {
    Handle* h = AsHandle(disk, false);
    return h != nullptr && h->mode().write && fixture_.CreateDisk(h->id(), signature);
}

bool SimDiskAccess::GetDriveLayout(DiskHandle& disk, DriveLayout& out) {
    Handle* h = AsHandle(disk, false);
    if (h == nullptr || !h->mode().read) {
        return false;
    }
    kv::emu::MbrSector mbr{};
    if (!fixture_.ReadDisk(h->id(), 0, mbr)) {
        return false;
    }
    out = DriveLayout{};
    out.signature = Le32(mbr.data() + 440);
    std::size_t slot = 0;
    for (const kv::emu::PartitionEntry& e : kv::emu::ReadPartitions(mbr)) {
        PartitionInfo& p = out.entries[slot];
        p.startingOffset = e.startSector * kSector;
        p.length = e.sectors * kSector;
        p.hiddenSectors = static_cast<std::uint32_t>(e.startSector);
        p.partitionNumber = static_cast<std::uint32_t>(slot + 1);
        p.partitionType = e.type;
        p.bootIndicator = e.bootable;
        p.recognizedPartition = true;
        if (++slot == out.entries.size()) {
            break;
        }
    }
    return true;
}

bool SimDiskAccess::SetDriveLayout(DiskHandle& disk, const DriveLayout& layout) {
    Handle* h = AsHandle(disk, false);
    if (h == nullptr || !h->mode().write || !layout.mbrStyle) {
        return false;
    }
    std::vector<kv::emu::PartitionEntry> entries;
    const std::size_t count = std::min<std::size_t>(layout.partitionCount, layout.entries.size());
    for (std::size_t i = 0; i < count; ++i) {
        const PartitionInfo& p = layout.entries[i];
        if (p.partitionType == 0 || p.length == 0) {
            continue;
        }
        if (!WholeSectors(p.startingOffset, p.length)) {
            return false;
        }
        entries.push_back(
            {p.startingOffset / kSector, p.length / kSector, p.partitionType, p.bootIndicator});
    }
    return fixture_.SetPartitions(h->id(), entries);
}

bool SimDiskAccess::UpdateProperties(DiskHandle& disk) {
    Handle* h = AsHandle(disk, false);
    return h != nullptr && fixture_.Geometry(h->id()).has_value();
}

bool SimDiskAccess::GetPartitionInfo(DiskHandle& disk, PartitionInfo& out) {
    auto* h = dynamic_cast<Handle*>(&disk);
    if (h == nullptr || h->mode().queryOnly) {
        return false;
    }
    out = PartitionInfo{};
    if (h->isVolume()) {
        const std::optional<kv::emu::VolumeInfo> v = VolumeAt(h->letter());
        if (!v || v->disk != h->id()) {
            return false;
        }
        out.startingOffset = v->startSector * kSector;
        out.length = v->sectors * kSector;
        out.hiddenSectors = static_cast<std::uint32_t>(v->startSector);
        out.partitionNumber = 1;
        out.partitionType = 0x0B;
        out.recognizedPartition = true;
        return true;
    }
    const std::optional<kv::emu::DiskGeometry> g = fixture_.Geometry(h->id());
    if (!g) {
        return false;
    }
    out.length = g->sectors * kSector;
    return true;
}

bool SimDiskAccess::WriteAt(DiskHandle& disk, std::uint64_t offset, const void* data,
                            std::uint32_t bytes, std::uint32_t& written) {
    written = 0;
    Handle* h = AsHandle(disk, false);
    if (h == nullptr || !h->mode().write || data == nullptr || !WholeSectors(offset, bytes)) {
        return false;
    }
    const std::span<const std::uint8_t> span(static_cast<const std::uint8_t*>(data), bytes);
    if (!fixture_.WriteDisk(h->id(), offset / kSector, span)) {
        return false;
    }
    written = bytes;
    return true;
}

bool SimDiskAccess::GetDeviceNumber(DiskHandle& handle, StorageDeviceNumber& out) {
    auto* h = dynamic_cast<Handle*>(&handle);
    if (h == nullptr) {
        return false;
    }
    const std::optional<kv::emu::DeviceInfo> info = fixture_.Device(h->id());
    if (!info || info->removed) {
        return false;
    }
    out.deviceType = kDiskDeviceType;
    out.deviceNumber = info->diskNumber;
    out.partitionNumber = h->isVolume() ? 1 : 0;
    return true;
}

std::optional<kv::emu::VolumeInfo> SimDiskAccess::VolumeAt(char letter) {
    if (letter == 0) {
        return std::nullopt;
    }
    for (const kv::emu::VolumeInfo& v : fixture_.Volumes()) {
        if (v.letter == letter) {
            return v;
        }
    }
    return std::nullopt;
}

std::vector<char> SimDiskAccess::LogicalDrives() {
    std::vector<char> letters{kSystemLetter};
    for (const kv::emu::VolumeInfo& v : fixture_.Volumes()) {
        if (v.letter != 0) {
            letters.push_back(v.letter);
        }
    }
    std::sort(letters.begin(), letters.end());
    return letters;
}

DriveType SimDiskAccess::GetDriveType(char letter) {
    if (letter == kSystemLetter) {
        return DriveType::Fixed;
    }
    return VolumeAt(letter) ? DriveType::Removable : DriveType::NoRootDir;
}

std::unique_ptr<DiskHandle> SimDiskAccess::OpenVolume(char letter, const DiskOpenMode& mode,
                                                      std::uint32_t& lastError) {
    if (letter == kSystemLetter && !mode.queryOnly) {
        lastError = kErrorAccessDenied;  // the running system's volume is never opened
        return nullptr;
    }
    const std::optional<kv::emu::VolumeInfo> v = VolumeAt(letter);
    if (!v || !fixture_.HoldVolume(v->disk)) {
        lastError = kErrorFileNotFound;
        return nullptr;
    }
    lastError = 0;
    return std::make_unique<Handle>(*this, v->disk, letter, mode);
}

bool SimDiskAccess::LockVolume(DiskHandle& volume) {
    Handle* h = AsHandle(volume, true);
    if (h == nullptr || h->locked || !fixture_.LockVolume(h->id())) {
        return false;
    }
    h->locked = true;
    return true;
}

bool SimDiskAccess::UnlockVolume(DiskHandle& volume) {
    Handle* h = AsHandle(volume, true);
    if (h == nullptr || !h->locked || !fixture_.UnlockVolume(h->id())) {
        return false;
    }
    h->locked = false;
    return true;
}

bool SimDiskAccess::ReadVolume(DiskHandle& volume, std::uint64_t offset, void* data,
                               std::uint32_t bytes) {
    Handle* h = AsHandle(volume, true);
    const std::optional<kv::emu::VolumeInfo> v = h ? VolumeAt(h->letter()) : std::nullopt;
    if (!v || v->disk != h->id() || !h->mode().read || data == nullptr ||
        !WholeSectors(offset, bytes) || offset / kSector + bytes / kSector > v->sectors) {
        return false;
    }
    return fixture_.ReadDisk(h->id(), v->startSector + offset / kSector,
                             std::span<std::uint8_t>(static_cast<std::uint8_t*>(data), bytes));
}

bool SimDiskAccess::WriteVolume(DiskHandle& volume, std::uint64_t offset, const void* data,
                                std::uint32_t bytes) {
    Handle* h = AsHandle(volume, true);
    const std::optional<kv::emu::VolumeInfo> v = h ? VolumeAt(h->letter()) : std::nullopt;
    if (!v || v->disk != h->id() || !h->mode().write || data == nullptr ||
        !WholeSectors(offset, bytes) || offset / kSector + bytes / kSector > v->sectors) {
        return false;
    }
    return fixture_.WriteDisk(
        h->id(), v->startSector + offset / kSector,
        std::span<const std::uint8_t>(static_cast<const std::uint8_t*>(data), bytes));
}

bool SimDiskAccess::GetDiskFreeSpace(char letter, std::uint64_t& totalBytes,
                                     std::uint64_t& freeBytes) {
    // The file system's own account, as a mounted FAT32 volume gives it: its
    // clusters from the boot sector, the free ones counted in the first FAT.
    const std::optional<kv::emu::VolumeInfo> v = VolumeAt(letter);
    if (!v) {
        return false;
    }
    std::uint8_t boot[kSector] = {};
    if (!fixture_.ReadDisk(v->disk, v->startSector, boot)) {
        return false;
    }
    const std::uint32_t bytesPerSector = Le16(boot + 11);
    const std::uint32_t perCluster = boot[13];
    const std::uint32_t reserved = Le16(boot + 14);
    const std::uint32_t fats = boot[16];
    const std::uint32_t fatSectors = Le32(boot + 36);
    const std::uint64_t sectors = std::min<std::uint64_t>(Le32(boot + 32), v->sectors);
    const std::uint64_t system = reserved + static_cast<std::uint64_t>(fats) * fatSectors;
    if (bytesPerSector != kSector || perCluster == 0 || boot[510] != 0x55 || boot[511] != 0xAA ||
        std::memcmp(boot + 82, "FAT32", 5) != 0 || sectors <= system) {
        return false;
    }
    const std::uint64_t fatEntries = static_cast<std::uint64_t>(fatSectors) * kSector / 4;
    const std::uint64_t clusters = std::min<std::uint64_t>((sectors - system) / perCluster,
                                                           fatEntries > 2 ? fatEntries - 2 : 0);
    std::uint64_t freeClusters = 0;
    std::vector<std::uint8_t> piece(kScanPiece);
    const std::uint64_t fatStart = v->startSector + reserved;
    const std::uint64_t entriesPerPiece = kScanPiece / 4;
    for (std::uint64_t first = 0; first < clusters + 2; first += entriesPerPiece) {
        if (!fixture_.ReadDisk(v->disk, fatStart + first * 4 / kSector, piece)) {
            return false;
        }
        const std::uint64_t last = std::min(first + entriesPerPiece, clusters + 2);
        for (std::uint64_t e = std::max<std::uint64_t>(first, 2); e < last; ++e) {
            if ((Le32(piece.data() + (e - first) * 4) & 0x0FFFFFFF) == 0) {
                ++freeClusters;
            }
        }
    }
    const std::uint64_t clusterBytes = static_cast<std::uint64_t>(perCluster) * bytesPerSector;
    totalBytes = clusters * clusterBytes;
    freeBytes = freeClusters * clusterBytes;
    return true;
}

}  // namespace kv::platform
