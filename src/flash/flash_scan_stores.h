// What the flash procedures keep per port between items: the port's image
// values (code block list, defect count, ...), the keep flag, and the copies
// of the defect, early and later tables read from the drive. The erase-count
// and SMART images live in the port's save areas (`PortDevices::SaveAreas`).
// One store per port for the process; each worker touches only its own.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "firmware/image_context.h"

namespace kv {

inline constexpr std::size_t kTableStoreSize = 65536;
// Later-table slots: bank x 2 + die, for up to eight banks of two dies.
inline constexpr int kLaterTableSlots = 16;

struct PortFlashStores {
    PortImageState Image;
    // Set by no item of the station: the pre-format passes it on as exec
    // flag 0x20.
    bool KeepFlag = false;
    // Page sets as read, at most `kTableStoreSize` bytes each.
    std::vector<std::uint8_t> DefectStore;
    std::vector<std::uint8_t> EarlyStore;
    std::array<std::vector<std::uint8_t>, kLaterTableSlots> LaterStore;
};

// The slot of (bank, die); -1 when the pair has none.
int LaterTableSlot(int bank, int die);

// The store of a port; ports outside 0..49 share one scratch store that no
// valid port reads.
PortFlashStores& FlashStoresOf(int port);

// Empties a port's store (the values of a new drive).
void ClearFlashStores(int port);

}  // namespace kv
