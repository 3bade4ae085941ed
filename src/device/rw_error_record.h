// What a failed sector command or a failed compare leaves at the start of the
// caller's data buffer: five 32-bit little-endian words, shown by the error
// window.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kv {

inline constexpr std::uint32_t kRwWriteFailed = 1;
inline constexpr std::uint32_t kRwReadFailed = 2;
inline constexpr std::uint32_t kRwCompareFailed = 3;

struct RwErrorRecord {
    std::uint32_t Kind = 0;
    std::uint32_t Lba = 0;         // the failed command's, or the miscompared command's
    std::uint32_t Expected = 0;    // compare: expected 16-bit value
    std::uint32_t Received = 0;    // compare: received 16-bit value
    std::uint32_t WordOffset = 0;  // compare: offset in 16-bit words from the transfer's start
};

inline constexpr std::size_t kRwErrorRecordWords = 5;

// Stores the first `words` words (at most 5) of the record at `buffer`.
inline void StoreRwErrorRecord(std::uint8_t* buffer, const RwErrorRecord& record,
                               std::size_t words = kRwErrorRecordWords) {
    const std::uint32_t values[kRwErrorRecordWords] = {record.Kind, record.Lba, record.Expected,
                                                       record.Received, record.WordOffset};
    for (std::size_t w = 0; w < words && w < kRwErrorRecordWords; ++w) {
        for (std::size_t b = 0; b < 4; ++b) {
            buffer[w * 4 + b] = static_cast<std::uint8_t>(values[w] >> (8 * b));
        }
    }
}

}  // namespace kv
