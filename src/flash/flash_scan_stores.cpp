#include "flash/flash_scan_stores.h"

#include <memory>

#include "device/port_device.h"

namespace kv {
namespace {

std::array<PortFlashStores, kPortDeviceCount + 1>& Stores() {
    static auto* const stores = new std::array<PortFlashStores, kPortDeviceCount + 1>();
    return *stores;
}

}  // namespace

int LaterTableSlot(int bank, int die) {
    if (bank < 0 || bank >= kLaterTableSlots / 2 || die < 0 || die > 1) {
        return -1;
    }
    return bank * 2 + die;
}

PortFlashStores& FlashStoresOf(int port) {
    if (port < 0 || port >= kPortDeviceCount) {
        return Stores()[kPortDeviceCount];
    }
    return Stores()[static_cast<std::size_t>(port)];
}

void ClearFlashStores(int port) {
    FlashStoresOf(port) = PortFlashStores{};
}

}  // namespace kv
