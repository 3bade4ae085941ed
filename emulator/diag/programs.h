// The programs a station starts in the diagnostic program (VC_GDP_Exec,
// sub-code = program number, block byte 3 = exec flags). Each does its work
// at the start and tells how long the work takes on the drive's clock; the
// status reads answer 0xAA until then, and the end status after.
#pragma once

#include <cstdint>

#include "emulator/diag/diag_session.h"

namespace kv::emu {

// Program 1, erase steps (0x0E when done):
//   - flag 0x01: erases every block of every bank on every channel (blocks
//     that fail now are reported, record 7, and stay bad);
//   - flag 0x10: erases the code blocks the image names (flash header 0x10,
//     0xFFFF = none; the first four good blocks when it names none); a code
//     block that cannot be erased fails the program;
//   - neither: commits a defect table written into the code blocks: where a
//     code block carries a defect table but no early table yet, the early
//     table, system parameter page (and remap page) are built from it.
// The station reads its status once, 30 ms after the start, without waiting,
// so an erase request is acknowledged within 25 ms whatever its size.
ProgramOutcome RunEraseProgram(DiagSession& session, std::uint8_t flags);

// Program 3, pre-format (0x0A when done; needs flag 0x08): checks the
// channel and bank counts and the IDs, scans every block (erasing them with
// 0x01), applies the bad-block limits of the image, picks and erases the
// code blocks and writes the tables into them.
ProgramOutcome RunPreFormat(DiagSession& session, std::uint8_t flags);

// Program 4, rebuild of the bad-block tables (0x12 when done): scans the
// flash without erasing, keeps the entries of the defect table the code
// blocks carry, and writes the tables anew (no limits applied).
ProgramOutcome RunRebuild(DiagSession& session, std::uint8_t flags);

}  // namespace kv::emu
