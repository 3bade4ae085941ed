// The user capacity a flash configuration gives a drive, as the main window
// shows it, and the large-capacity flag the firmware images depend on.
#pragma once

#include <cstdint>
#include <string>

namespace kv {

struct CapacityInput {
    std::uint16_t BlocksPerCe = 0;
    std::uint8_t Dies = 0;
    std::uint16_t PagesPerBlock = 0;
    std::uint8_t SectorsPerPage = 0;
    std::uint8_t Channels = 0;
    std::uint8_t Banks = 0;
    std::uint16_t ResPercentage = 0;  // reserved blocks in 1/1000
};

// User capacity in 512-byte sectors, in signed 64-bit arithmetic. A geometry
// with a zero count (which an invalid part has) gives 0.
std::int64_t UserCapacitySectors(const CapacityInput& in);

// The two capacity edits and their hint.
struct CapacityDisplay {
    std::string DecimalGb;       // sectors x 512 / 10^9, "%4.2f"
    std::string BinaryGb;        // sectors x 512 / 2^30, "%4.2f"
    std::string Hint;            // "SLC mode enabled" when the low-page setting is on
    double BinaryValue = 0;      // the shown 2^30-based value
    bool LargeCapacity = false;  // the shown 2^30-based value exceeds 200
};

inline constexpr char kSlcModeHint[] = "SLC mode enabled";

// Both values are halved when `lowPage` ("EnLowPage") is on.
CapacityDisplay MakeCapacityDisplay(std::int64_t sectors, bool lowPage);

}  // namespace kv
