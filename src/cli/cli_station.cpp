#include "cli/cli_station.h"

#include <cstdio>

#include "device/enum_usb_device.h"

namespace kv::cli {

bool CliStation::Start() {
    if (!station_.Start()) {
        if (station_.refusedAsSecondInstance()) {
            std::fprintf(stderr, "Another station is running on this machine.\n");
        }
        return false;
    }
    EnumUSBDevice(session_);
    return true;
}

}  // namespace kv::cli
