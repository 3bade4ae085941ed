// The controller's program RAM: 128 KiB that the station fills with a program
// image (addresses sent with bit 30 set) before it jumps into it. The memory
// is taken only when first written, and forgotten at power-up.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace kv::emu {

class ProgramRam {
  public:
    static constexpr std::size_t kSize = 128 * 1024;

    // False (nothing written) when the range leaves the 128 KiB.
    bool Write(std::uint32_t offset, std::span<const std::uint8_t> data);
    // False when the range leaves the 128 KiB; never-written bytes read as 0.
    bool Read(std::uint32_t offset, std::span<std::uint8_t> out) const;
    // The whole image (all zero before the first write).
    std::vector<std::uint8_t> Image() const;
    void Clear() { std::vector<std::uint8_t>().swap(bytes_); }
    bool Empty() const { return bytes_.empty(); }

  private:
    std::vector<std::uint8_t> bytes_;
};

}  // namespace kv::emu
