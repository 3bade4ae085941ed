// Little-endian fields of the controller's byte layouts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace kv {

inline void PutLe16(std::uint8_t* at, std::uint32_t value) {
    at[0] = static_cast<std::uint8_t>(value & 0xFF);
    at[1] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
}

inline void PutLe32(std::uint8_t* at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        at[i] = static_cast<std::uint8_t>((value >> (8 * i)) & 0xFF);
    }
}

inline std::uint16_t Le16(const std::uint8_t* at) {
    return static_cast<std::uint16_t>(at[0] | (at[1] << 8));
}

inline std::uint32_t Le32(const std::uint8_t* at) {
    return static_cast<std::uint32_t>(at[0]) | (static_cast<std::uint32_t>(at[1]) << 8) |
           (static_cast<std::uint32_t>(at[2]) << 16) | (static_cast<std::uint32_t>(at[3]) << 24);
}

// Copies `text` into a field of `size` bytes, zero-filling the rest; a longer
// text is cut at the field's end.
inline void PutText(std::uint8_t* at, std::size_t size, const char* text) {
    std::memset(at, 0, size);
    const std::size_t n = text == nullptr ? 0 : ::strnlen(text, size);
    std::memcpy(at, text, n);
}

}  // namespace kv
