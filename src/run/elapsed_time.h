// The elapsed time the run controller shows while it waits for the workers and
// once more when they have all ended.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace kv {

// Seconds from `start` to `now`, taken as absolute dates and times, so a run
// that spans midnight, a month's or a year's end is never negative. A clock
// set back before the start gives 0.
std::int64_t ElapsedSeconds(const platform::LocalTime& start, const platform::LocalTime& now);

// The text of `ElapsedTime`: the hours followed by " Hour ", the minutes by
// " Min ", the seconds by " Sec", each part only when its number is not zero
// (so 0 seconds give an empty text). Hours are not wrapped at a day.
std::string ElapsedTimeText(std::int64_t seconds);

}  // namespace kv
