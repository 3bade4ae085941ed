// The controller's DRAM buffers as the test program exposes them
// (VC_TST_WriteBuffer 0x24 / VC_TST_ReadBuffer 0x23): block byte 3 selects
// buffer 0..3, bytes 4-7 (big-endian) the address inside the window
// 0xB0084000 .. 0xB0093FFF (64 KiB). A transfer must stay inside the window.
// A drive with the "dram-fail" fault reads one word of every buffer back
// wrong (window offset 0x2468).
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace kv::emu {

class TestBuffers {
  public:
    static constexpr std::uint32_t kWindow = 0xB0084000;
    static constexpr std::uint32_t kWindowBytes = 0x10000;
    static constexpr std::uint32_t kBadWordOffset = 0x2468;
    static constexpr int kBuffers = 4;

    explicit TestBuffers(bool dramFails) : dramFails_(dramFails) {}

    bool Write(int buffer, std::uint32_t address, std::span<const std::uint8_t> data);
    bool Read(int buffer, std::uint32_t address, std::span<std::uint8_t> out) const;

  private:
    static bool Inside(int buffer, std::uint32_t address, std::size_t size);

    bool dramFails_;
    std::array<std::vector<std::uint8_t>, kBuffers> buffers_;
};

}  // namespace kv::emu
