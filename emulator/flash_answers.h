// Answers to vendor reads that both the drive's firmware and a running
// diagnostic program give from the flash, in one place so that they agree.
#pragma once

#include <array>
#include <cstdint>

#include "emulator/drive_profile.h"
#include "emulator/running_program.h"

namespace kv::emu {

class Nand;

// The five ID bytes chip enable `chipEnable` of `channel` answers: the
// drive's FlashId, or a changed device byte under "id-mismatch:C.B".
std::array<std::uint8_t, 5> FlashIdOf(const DriveProfile& profile, int channel, int chipEnable);

// VC_GDP_ReadSysArea (0x04, data-in). Block bytes: 3 = 0xFF, 4 selector (not
// needed here), 5-6 plane-pair number, 7-8 page, 12-15 buffer offset (its
// plane bit, spp x 4096, picks the odd block of the pair, and its slice
// within the plane the first channel). The data is the page on chip enable 0
// from that channel on, channel after channel.
VendorAnswer AnswerSystemAreaRead(const Nand& nand, const VendorCommand& command);

// VC_GDP_ReadBadBlockInfo (0x00 with data). Byte 3 channel, byte 4 chip
// enable index n (bank n mod chip enables, die n / chip enables). Answer:
// u16 count at byte 4, then 4-byte entries from byte 8: u16 block, byte
// die x 16 + plane, byte kind (9 factory bad, 4 failed in use).
VendorAnswer AnswerBadBlockInfo(const Nand& nand, const VendorCommand& command);

}  // namespace kv::emu
