// The system area a controller boots from: up to four code blocks on chip
// enable 0, each page written on every channel.
//
// A code block is sound when, on every channel, page 0 holds an info page
// ("LDBK BLOCKS V50" at 0 and "LDBK CONFIG V50" at 0x200, or the V40 pair),
// table pages 1, 2 and 4 carry their signatures, and the firmware file table
// of the info page (count at 0x230, start and page count per file from 0x238,
// system page list at 0x280) leads to pages that are all programmed, the
// first one a header page ("DIZO" at 0x300, the bus letter "S" at 0x30D, or
// "U" on the USB path) and the last one ending in 55 AA EC 31. In low-page
// mode (a system page list other than 0..47) the table pages sit where the
// page sequence of the list's group puts them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "emulator/running_program.h"

namespace kv::emu {

class Nand;

// The 64-entry page sequence of a page map group: 1 (types 1, 4, 7),
// 2 (types 2, 5) or 3 (types 3, 6, 8).
std::vector<int> LowPageSequence(int group);

struct SystemAreaScan {
    bool infoFound = false;        // some block carries an info page
    std::uint16_t generation = 0;  // table generation of the first info page found
    bool sound = false;
    int bootBlock = -1;                    // the sound code block booted from
    std::vector<std::uint8_t> headerPage;  // its firmware header page (channel 0)
    std::string reason;                    // why no block was sound
};

// Looks at the blocks from 0 up (at most 64, at most four info pages).
SystemAreaScan ScanSystemArea(const Nand& nand, BusPath bus);

}  // namespace kv::emu
