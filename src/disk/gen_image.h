// The GenImage button: dumps the system area and the used space of the first
// present drive into an image file the Copy Image item can write back.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "station/station_ui.h"

namespace kv::disk {

struct GenImageResult {
    bool ok = false;
    int port = -1;         // the port that was dumped
    char driveLetter = 0;  // for that port's record
    std::uint64_t dumpMb = 0;
    std::uint32_t usedMb = 0;
};

// `present` holds the ports' present flags, index = port. Asks for the file
// ("Image Path"), reads the boot sector of the first present port (at LBA 0,
// or 63 when LBA 0 is not one), takes the FAT size from it, and dumps
// ((2 × FAT size + 95) >> 11) + used MB. Ends with "Dump %dMB image to %s
// successfully" (the used MB) or "Dump Image Fail".
GenImageResult GenImageBnClick(StationUi& ui, std::span<const std::int32_t> present);

}  // namespace kv::disk
