#include "run/elapsed_time.h"

#include <chrono>

namespace kv {
namespace {

// Seconds since 1970-01-01 00:00:00 of a calendar date and time.
std::int64_t AbsoluteSeconds(const platform::LocalTime& t) {
    using namespace std::chrono;
    const year_month_day date{year{t.year}, month{static_cast<unsigned>(t.month)},
                              day{static_cast<unsigned>(t.day)}};
    const std::int64_t days = sys_days{date}.time_since_epoch().count();
    return days * 86400 + std::int64_t{t.hour} * 3600 + std::int64_t{t.minute} * 60 + t.second;
}

}  // namespace

std::int64_t ElapsedSeconds(const platform::LocalTime& start, const platform::LocalTime& now) {
    const std::int64_t seconds = AbsoluteSeconds(now) - AbsoluteSeconds(start);
    return seconds > 0 ? seconds : 0;
}

std::string ElapsedTimeText(std::int64_t seconds) {
    if (seconds < 0)
        seconds = 0;
    const std::int64_t hours = seconds / 3600;
    const std::int64_t minutes = seconds / 60 % 60;
    const std::int64_t rest = seconds % 60;
    std::string text;
    if (hours != 0)
        text += std::to_string(hours) + " Hour ";
    if (minutes != 0)
        text += std::to_string(minutes) + " Min ";
    if (rest != 0)
        text += std::to_string(rest) + " Sec";
    return text;
}

}  // namespace kv
