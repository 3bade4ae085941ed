// The system area of a drive that the fixture says was produced earlier
// ("Boot=firmware" without saved state): what the station's own pre-format
// and download leave on the flash, so that the drive boots its firmware.
//   - code blocks: the first four blocks that are good on every channel of
//     chip enable 0;
//   - page 0: the info page (table generation 1, one firmware file of two
//     pages at page 8, system page list 0..47, the default register map);
//   - page 1: the defect table (the factory bad blocks of each channel by
//     chip enable), page 2: the early table (the same blocks), page 4: the
//     system parameter page (later tables in the fifth good block);
//   - pages 8 and 9: the firmware: a header page ("DIZO", bus letter,
//     version, model code "517", format code "42", flash header, and the
//     identify template with model "KVR51X SSD", the drive's serial string
//     and SataSpeed) and a last page with the 0x31ECAA55 trailer.
// A "table-damage:I.P" fault breaks the signature of table page P of code
// block I.
#pragma once

#include <string>

#include "emulator/drive_profile.h"
#include "emulator/running_program.h"

namespace kv::emu {

class Nand;

inline constexpr const char kProducedModel[] = "KVR51X SSD";

bool WriteProducedSystemArea(Nand& nand, const DriveProfile& profile, BusPath bus,
                             const std::string& serial, std::string& error);

}  // namespace kv::emu
