#include "emulator/diag/test_buffer.h"

#include <algorithm>

namespace kv::emu {

bool TestBuffers::Inside(int buffer, std::uint32_t address, std::size_t size) {
    return buffer >= 0 && buffer < kBuffers && address >= kWindow &&
           address - kWindow <= kWindowBytes && size <= kWindowBytes - (address - kWindow);
}

bool TestBuffers::Write(int buffer, std::uint32_t address, std::span<const std::uint8_t> data) {
    if (!Inside(buffer, address, data.size())) {
        return false;
    }
    auto& memory = buffers_[static_cast<std::size_t>(buffer)];
    if (memory.empty()) {
        memory.assign(kWindowBytes, 0);
    }
    std::copy(data.begin(), data.end(), memory.begin() + (address - kWindow));
    return true;
}

bool TestBuffers::Read(int buffer, std::uint32_t address, std::span<std::uint8_t> out) const {
    if (!Inside(buffer, address, out.size())) {
        return false;
    }
    const auto& memory = buffers_[static_cast<std::size_t>(buffer)];
    const std::uint32_t start = address - kWindow;
    if (memory.empty()) {
        std::fill(out.begin(), out.end(), std::uint8_t{0});
    } else {
        std::copy_n(memory.begin() + start, out.size(), out.begin());
    }
    if (dramFails_ && kBadWordOffset >= start && kBadWordOffset + 2 <= start + out.size()) {
        // One cell pair of the buffer does not hold what was written.
        out[kBadWordOffset - start] = static_cast<std::uint8_t>(out[kBadWordOffset - start] ^ 0x10);
        out[kBadWordOffset - start + 1] =
            static_cast<std::uint8_t>(out[kBadWordOffset - start + 1] ^ 0x04);
    }
    return true;
}

}  // namespace kv::emu
