// The yield file `LogDir` + "ZOVID.log": the pass/total counters in section
// "TestRecord", read when the settings are loaded and written when the station
// closes and when the operator resets them.
#pragma once

#include <string>

#include "run/yield_counters.h"

namespace kv {

inline constexpr char kYieldFileName[] = "ZOVID.log";
inline constexpr char kYieldSection[] = "TestRecord";

std::string YieldFilePath(const std::string& logDir);

// The counters of the file; a missing file or key reads as 0.
YieldCounters ReadYieldFile(const std::string& logDir);

// Writes both counters; false when the file cannot be written.
bool WriteYieldFile(const std::string& logDir, const YieldCounters& yield);

struct YieldReset {
    std::string yieldText;  // what "Pass/Total" shows now
    bool saved = false;     // the zeros reached the file
};

// The "Reset" button: both counters become 0, the yield text is made for the
// front end and the zeros are written to the yield file.
YieldReset ResetYieldBtnClick(YieldCounters& yield, const std::string& logDir);

}  // namespace kv
