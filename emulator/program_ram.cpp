#include "emulator/program_ram.h"

#include <algorithm>

namespace kv::emu {

bool ProgramRam::Write(std::uint32_t offset, std::span<const std::uint8_t> data) {
    if (offset > kSize || data.size() > kSize - offset) {
        return false;
    }
    if (bytes_.empty()) {
        bytes_.assign(kSize, 0);
    }
    std::copy(data.begin(), data.end(), bytes_.begin() + offset);
    return true;
}

bool ProgramRam::Read(std::uint32_t offset, std::span<std::uint8_t> out) const {
    if (offset > kSize || out.size() > kSize - offset) {
        return false;
    }
    if (bytes_.empty()) {
        std::fill(out.begin(), out.end(), std::uint8_t{0});
    } else {
        std::copy_n(bytes_.begin() + offset, out.size(), out.begin());
    }
    return true;
}

std::vector<std::uint8_t> ProgramRam::Image() const {
    return bytes_.empty() ? std::vector<std::uint8_t>(kSize, 0) : bytes_;
}

}  // namespace kv::emu
