#include "disk/fat32_layout.h"

#include <cstring>

#include "disk/format_output.h"

namespace kv::disk {

namespace {

void Put16(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

void Put32(std::uint8_t* p, std::uint32_t v) {
    Put16(p, v & 0xFFFF);
    Put16(p + 2, v >> 16);
}

}  // namespace

std::uint32_t SectorsPerCluster(std::uint64_t driveMb, std::uint32_t bytesPerSector) {
    if (driveMb <= 512) {
        return 1;
    }
    std::uint64_t clusterKb = 32;
    if (driveMb <= 8192) {
        clusterKb = 4;
    } else if (driveMb <= 16384) {
        clusterKb = 8;
    } else if (driveMb <= 32768) {
        clusterKb = 16;
    }
    return static_cast<std::uint32_t>(CheckedDivide(clusterKb * 1024, bytesPerSector, "get_spc"));
}

std::uint32_t FatSizeSectors(std::uint64_t totalSectors, std::uint32_t sectorsPerCluster,
                             std::uint32_t bytesPerSector) {
    if (totalSectors < kReservedSectors) {
        return 0;
    }
    const std::uint64_t divisor =
        static_cast<std::uint64_t>(sectorsPerCluster) * bytesPerSector + 4 * kFatCount;
    return static_cast<std::uint32_t>(
        CheckedDivide(4 * (totalSectors - kReservedSectors), divisor, "get_fat_size_sectors") + 1);
}

std::array<char, kLabelLength> PadLabel(const char* label) {
    std::array<char, kLabelLength> out;
    out.fill(' ');
    for (std::size_t i = 0; label != nullptr && i < kLabelLength && label[i] != '\0'; ++i) {
        out[i] = label[i];
    }
    return out;
}

std::uint32_t VolumeIdFrom(const platform::LocalTime& now) {
    const std::uint32_t low =
        static_cast<std::uint32_t>((now.month * 256 + now.day) +
                                   (now.second * 256 + now.millisecond / 10)) &
        0xFFFF;
    const std::uint32_t high =
        static_cast<std::uint32_t>(now.hour * 256 + now.minute + now.year) & 0xFFFF;
    return (high << 16) | low;
}

Sector BuildBootSector(const Fat32Layout& layout) {
    Sector s{};
    s[0] = 0xEB;
    s[1] = 0x5A;
    s[2] = 0x90;
    std::memcpy(s.data() + 3, "MSWIN4.1", 8);
    Put16(s.data() + 11, layout.bytesPerSector);
    s[13] = static_cast<std::uint8_t>(layout.sectorsPerCluster);
    Put16(s.data() + 14, kReservedSectors);
    s[16] = kFatCount;
    s[21] = 0xF8;
    Put16(s.data() + 24, layout.sectorsPerTrack);
    Put16(s.data() + 26, layout.tracksPerCylinder);
    Put32(s.data() + 28, kPartitionStartLba);
    Put32(s.data() + 32, layout.partitionSectors);
    Put32(s.data() + 36, layout.fatSectors);
    Put32(s.data() + 44, kRootCluster);
    Put16(s.data() + 48, 1);
    Put16(s.data() + 50, kBackupBootSector);
    s[64] = 0x80;
    s[66] = 0x29;
    Put32(s.data() + 67, layout.volumeId);
    std::memcpy(s.data() + 71, layout.label.data(), kLabelLength);
    std::memcpy(s.data() + 82, "FAT32   ", 8);
    s[510] = 0x55;
    s[511] = 0xAA;
    return s;
}

Sector BuildFsInfoSector(const Fat32Layout& layout) {
    Sector s{};
    Put32(s.data(), 0x41615252);
    Put32(s.data() + 484, 0x61417272);
    Put32(s.data() + 488, layout.freeClusters());
    Put32(s.data() + 492, 3);
    Put32(s.data() + 508, 0xAA550000);
    return s;
}

Sector BuildFirstFatSector() {
    Sector s{};
    Put32(s.data(), 0x0FFFFFF8);
    Put32(s.data() + 4, 0x0FFFFFFF);
    Put32(s.data() + 8, 0x0FFFFFFF);
    return s;
}

}  // namespace kv::disk
