// The reliability-test record set a drive's burn-in firmware leaves before
// the station first sees it (fixture keys Rdt and RdtSerial).
//
// The records sit in one block of chip enable 0, channel 0: the highest
// block of the last tenth of the chip enable that is good. Its pages:
//   0          header: "RDTM", byte 6 error flags (bit 0 P07, bit 1 P05,
//              bit 2 P06), u16 at 796/798 first error page and count, at
//              800/802 first factory-bad page and count, at 808 the record
//              page, at 812 the die information page
//   1          the record (1,040 bytes): "RDTM", error flags at 6, test
//              time, temperature, clock, thresholds, the serial number at 24,
//              step times, firmware version at 144 (ended by 0xAA), step 3
//              cycles at 156
//   2          lts-* only: "LTSM", progress byte 4 (bits 0-1 the test ran,
//              bit 2 it passed)
//   3          die information: one 32-byte record per die (address byte
//              0x80 + channel x 16 + LUN x 8 + bank, 7 ID bytes, bad blocks,
//              "Max A", "Min V", fail pattern, bad-block ratio per mille),
//              then a record of 0xAA
//   4 ..       factory bad pages: a bitmap of 2 bits per block pair (bit 0
//              the even block, bit 1 the odd one) at byte bank x 4096 +
//              channel x 512 + pair / 4, bit pair pair % 4; banks 0..3,
//              channels 0..7, blocks below 4,096. The slices of the other
//              channels are programmed with zeros, so a read over all
//              channels adds no marks.
//   next       error pages: 16-byte entries (die address, type x 16 + plane
//              mask, page, block pair, ECC information, step x 16 + action,
//              temperature, time), then an entry of 0xAA
//   last page  a copy of the header
// A verdict P05, P06 or P07 sets its flag and lists errors of its kind
// (erase fails, program fails, ECC fails); the lts-* keys write a passed
// RDT set and the LTS page. The serial number is RdtSerial, else the drive's
// own serial string.
#pragma once

#include <string>

#include "emulator/drive_profile.h"
#include "emulator/nand.h"

namespace kv::emu {

// The block that takes the records, -1 when no block of the last tenth is good.
int RdtRecordBlock(const Nand& nand);

// Writes the record set the profile asks for (nothing for Rdt=none).
void WriteRdtRecords(const DriveProfile& profile, const std::string& serial, Nand& nand);

// What a new drive's flash carries from the factory: the record set, with
// RdtSerial or else the drive's serial string (the body of SeedFactoryFlash).
void SeedReliabilityRecords(const DriveProfile& profile, Nand& nand);

}  // namespace kv::emu
