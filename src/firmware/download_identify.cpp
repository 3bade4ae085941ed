#include "firmware/download_identify.h"

#include <cstdio>

#include "device/ata_commands.h"
#include "device/port_device.h"
#include "device/vendor_channel.h"

namespace kv {

IdentifyReadOutcome ReadPortIdentify(int port, IdentifyData& data) {
    data.fill(0);
    if (!IsPortIndex(port)) {
        return IdentifyReadOutcome::NoDrive;
    }
    const PortDevice device = PortDeviceTable().Get(port);
    if (device.DevicePath.empty()) {
        return IdentifyReadOutcome::NoDrive;
    }
    if (device.Bus == BusPath::UsbPath) {
        return IdentifyReadOutcome::UsbPath;
    }
    return ATA_Identify(port, data.data(), 1) == kCommandOk ? IdentifyReadOutcome::Read
                                                            : IdentifyReadOutcome::Failed;
}

std::string IdentifyWordsText(std::span<const std::uint8_t, kIdentifyBytes> data) {
    std::string text;
    text.reserve(256 * 5);
    for (std::size_t w = 0; w < kIdentifyBytes / 2; ++w) {
        char word[8];
        std::snprintf(word, sizeof word, "%04x", data[2 * w] | (data[2 * w + 1] << 8));
        text += word;
        text += (w % 8 == 7) ? '\n' : ' ';
    }
    return text;
}

}  // namespace kv
