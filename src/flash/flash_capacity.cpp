#include "flash/flash_capacity.h"

#include <cstdio>

namespace kv {

std::int64_t UserCapacitySectors(const CapacityInput& in) {
    if (in.Dies == 0 || in.PagesPerBlock == 0 || in.Channels == 0 || in.SectorsPerPage == 0) {
        return 0;
    }
    const std::int64_t dies = in.Dies;
    const std::int64_t b = (static_cast<std::int64_t>(in.BlocksPerCe) / dies) / 2;
    const std::int64_t d = b * dies;
    const std::int64_t e = (static_cast<std::int64_t>(in.ResPercentage) * b / 1000 + 1) * dies;
    const std::int64_t r = ((128 / static_cast<std::int64_t>(in.PagesPerBlock)) *
                            (8 / static_cast<std::int64_t>(in.Channels)) *
                            (16 / static_cast<std::int64_t>(in.SectorsPerPage))) &
                           0xFF;
    return (d - e - r) * in.Channels * 2 * in.Banks * in.PagesPerBlock * in.SectorsPerPage;
}

CapacityDisplay MakeCapacityDisplay(std::int64_t sectors, bool lowPage) {
    const double bytes = static_cast<double>(sectors) * 512.0;
    double decimal = bytes / 1e9;
    double binary = bytes / 1073741824.0;
    CapacityDisplay shown;
    if (lowPage) {
        decimal /= 2;
        binary /= 2;
        shown.Hint = kSlcModeHint;
    }
    char text[64];
    std::snprintf(text, sizeof text, "%4.2f", decimal);
    shown.DecimalGb = text;
    std::snprintf(text, sizeof text, "%4.2f", binary);
    shown.BinaryGb = text;
    shown.BinaryValue = binary;
    shown.LargeCapacity = binary > 200.0;
    return shown;
}

}  // namespace kv
