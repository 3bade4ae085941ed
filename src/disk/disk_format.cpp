#include "disk/disk_format.h"

#include <string>

#include "device/port_device.h"
#include "disk/drive_letter.h"
#include "disk/fat32_format.h"
#include "disk/mbr_partition.h"
#include "platform/platform.h"

namespace kv::disk {

bool DiskFormat(int port, std::uint8_t* buffer, const char* label,
                EnterVendorModeFn enterVendorMode, DiskFormatOutcome& outcome) {
    outcome = DiskFormatOutcome{};
    if (enterVendorMode != nullptr && !enterVendorMode(port, buffer)) {
        return false;
    }
    const std::string path = PortDeviceTable().Get(port).DevicePath;
    if (path.empty()) {
        return false;
    }
    const bool partitioned =
        IsWindows2000() ? WriteMbrAndPartition(path) : CreateSinglePartition(path, port);
    if (!partitioned) {
        return false;
    }
    platform::Clock& clock = platform::Current().portClock(port);
    for (int attempt = 0; attempt < kVolumeWaitAttempts; ++attempt) {
        clock.SleepMs(kVolumeWaitMs);
        char letter = 0;
        if (FindDriveLetter(path, letter)) {
            outcome.driveLetter = letter;
            outcome.formatted = FormatFat32(path, label, port);
            return outcome.formatted;
        }
    }
    return false;
}

}  // namespace kv::disk
