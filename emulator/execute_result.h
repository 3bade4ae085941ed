// The outcome of one pass-through request, as the platform's SCSI
// pass-through would report it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace kv::emu {

enum class DataDirection { None, In, Out };

inline constexpr std::uint8_t kScsiGood = 0x00;
inline constexpr std::uint8_t kScsiCheckCondition = 0x02;

// Platform error values of a request that did not complete.
inline constexpr int kErrorDeviceGone = 2;         // the device is not there (any more)
inline constexpr int kErrorInvalidParameter = 87;  // the request itself is malformed
inline constexpr int kErrorTimeout = 121;          // the device did not answer in time

struct ExecuteResult {
    bool transportOk = false;  // the request completed (with any SCSI status)
    std::uint8_t scsiStatus = kScsiGood;
    std::array<std::uint8_t, 32> sense{};
    std::size_t senseLength = 0;
    std::size_t bytesTransferred = 0;
    bool timedOut = false;  // the device never answered; the time-out ran out
    int lastError = 0;      // 0 when transportOk
};

}  // namespace kv::emu
