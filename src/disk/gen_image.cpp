#include "disk/gen_image.h"

#include <cstring>
#include <memory>
#include <optional>

#include "device/port_device.h"
#include "device/transport.h"
#include "disk/drive_letter.h"
#include "disk/format_output.h"
#include "disk/ghost_image.h"
#include "disk/volume_access.h"

namespace kv::disk {

namespace {

constexpr const char* kDumpFailed = "Dump Image Fail";

std::uint32_t Le16(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8);
}

std::uint32_t Le32(const std::uint8_t* p) {
    return Le16(p) | (Le16(p + 2) << 16);
}

GenImageResult Fail(StationUi& ui, GenImageResult result) {
    ui.ShowMessage(kDumpFailed, "", MessageIcon::None);
    result.ok = false;
    return result;
}

}  // namespace

GenImageResult GenImageBnClick(StationUi& ui, std::span<const std::int32_t> present) {
    GenImageResult result;
    const std::optional<std::string> file =
        ui.AskText("Image Path", "Please Input Path of Dump Image", "c:\\ZOVID.img", false);
    if (!file) {
        return Fail(ui, result);
    }
    for (std::size_t i = 0; i < present.size() && i < static_cast<std::size_t>(kPortDeviceCount);
         ++i) {
        if (present[i] != 0) {
            result.port = static_cast<int>(i);
            break;
        }
    }
    if (result.port < 0) {
        return Fail(ui, result);
    }
    const std::string path = PortDeviceTable().Get(result.port).DevicePath;
    std::unique_ptr<std::uint8_t[]> piece(new std::uint8_t[kImagePieceBytes]());
    bool read = ReadSectorsByPath(path, piece.get(), 0, kImagePieceBytes) == 1;
    if (read && piece[0] != 0xEB) {
        read = ReadSectorsByPath(path, piece.get(), 63, kImagePieceBytes) == 1;
    }
    if (!read) {
        return Fail(ui, result);
    }
    // The FAT size: exFAT keeps it at 88, FAT32 (a 32-bit count) at 36.
    const std::uint64_t fatSectors = std::memcmp(piece.get() + 3, "EXFAT", 5) == 0
                                         ? Le16(piece.get() + 88)
                                         : Le32(piece.get() + 36);

    FindDriveLetter(path, result.driveLetter);
    result.usedMb = UsedSpaceMB(result.driveLetter);
    result.dumpMb = ((2 * fatSectors + 95) >> 11) + result.usedMb;
    if (!ReadGhostImg(path, *file, result.dumpMb)) {
        return Fail(ui, result);
    }
    result.ok = true;
    ui.ShowMessage(FormatText("Dump %dMB image to %s successfully", static_cast<int>(result.usedMb),
                              file->c_str()),
                   "", MessageIcon::None);
    return result;
}

}  // namespace kv::disk
