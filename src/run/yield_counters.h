// The pass/total yield counters. They open the settings block and are stored in
// the yield file; during a run they change only in memory.
#pragma once

#include <cstdint>

namespace kv {

struct YieldCounters {
    std::int32_t TotalTestCount = 0;
    std::int32_t NumberOfPass = 0;
};

static_assert(sizeof(YieldCounters) == 8, "the counters are two 32-bit words");

}  // namespace kv
