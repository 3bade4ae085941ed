#include "disk/volume_label.h"

#include <cstring>

#include "device/transport.h"
#include "disk/fat32_layout.h"

namespace kv::disk {

namespace {
constexpr std::uint8_t kVolumeLabelAttribute = 0x08;
}

bool WriteVolumeLabelEntry(const std::string& path, const char* label, std::uint32_t lba) {
    std::uint8_t sector[kSectorSize] = {};
    if (ReadSectorsByPath(path, sector, lba, kSectorSize) != 1) {
        return false;
    }
    const std::array<char, kLabelLength> padded = PadLabel(label);
    std::memcpy(sector, padded.data(), kLabelLength);
    sector[kLabelLength] = kVolumeLabelAttribute;
    return WriteSectorsByPath(path, sector, lba, kSectorSize) == 1;
}

}  // namespace kv::disk
