// The checks a program makes before it touches the tables, each reporting
// what it finds into the session's report.
#pragma once

#include "emulator/diag/defect_map.h"
#include "emulator/diag/diag_session.h"

namespace kv::emu {

// The program sees the channel and bank counts its image names; otherwise
// records 128 (the image's counts) and 129 (the counts seen).
bool CheckFlashCounts(DiagSession& session);

// Every chip enable answers the same ID; otherwise record 130 with the ID
// most chip enables answered, and one record 131 per chip enable that
// answered another (channel, bank and its ID).
bool CheckFlashIds(DiagSession& session);

// The bad-block limits of the image, per chip enable and die:
//   - record 4 when the reserved ratio keeps more than half of a plane's
//     blocks in reserve (reserved blocks per plane and die: ratio x blocks /
//     1000 + 1);
//   - record 3 per die whose bad blocks x 1000 / blocks per plane and die
//     exceed the defect ratio;
//   - record 5 per plane whose bad blocks exceed the reserved blocks - 25.
bool CheckBadBlockLimits(DiagSession& session, const DefectMap& defects);

}  // namespace kv::emu
