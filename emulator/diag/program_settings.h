// What the station patched into a program image before it loaded it: the
// flash header at 0x500, the extras at 0x520, the chip-enable codes at 0x528
// and the runtime parameter block at 0x548. The running program reads them
// once, at the jump, and works with them from then on, so a wrongly patched
// image makes it misbehave the way a real one would.
//
// Byte layout (multi-byte values little-endian):
//   0x300  4  kind "GDP_" or "TST_"
//   0x500  2  flash type word             0x503 1  channels
//   0x502  1  interface byte               0x504 1  banks (chip enables per channel)
//   0x505  1  ECC mode                     0x508 1  reserved ratio, low byte (1/1000)
//   0x509  1  option bits (bit 4 scramble, bit 5 remap)
//   0x50B  1  chip enables per package     0x510 8  code block list (u16 x 4)
//   0x51A  1  reserved ratio, high byte
//   0x520  1  defect ratio limit (1/1000)  0x521 1  prohibited remap offset
//   0x528  8  chip-enable code of bank 0..7
//   0x548  4  buffer size                  0x54C 4  defect count
//   0x550  2  first firmware page          0x552 2  dirty depth
//   0x554  2  extend blocks                0x556 2  die offset
//   0x558  1  port attribute               0x559 1  feature flags
//   0x55A 16  table page list (table page i is written at page list[i])
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace kv::emu {

struct ProgramSettings {
    bool programKind = false;  // "GDP_" or "TST_" at 0x300
    std::uint16_t typeWord = 0;
    std::uint8_t interfaceByte = 0;
    int channels = 0;
    int banks = 0;
    std::uint8_t eccMode = 0;
    std::uint8_t optionBits = 0;
    std::uint8_t ceCount = 0;
    std::uint16_t reservedPerMille = 0;
    std::array<std::uint16_t, 4> codeBlocks{};
    std::uint8_t defectPerMille = 0;
    std::uint8_t prohibitRemapOffset = 0;
    std::array<std::uint8_t, 8> bankCodes{};
    std::uint32_t bufferSize = 0;
    std::uint32_t defectCount = 0;
    std::uint16_t firstFirmwarePage = 0;
    std::uint16_t dirtyDepth = 0;
    std::uint16_t extendBlocks = 0;
    std::uint16_t dieOffset = 0;
    std::uint8_t portAttr = 0;
    std::uint8_t featureFlags = 0;
    std::array<std::uint8_t, 16> tablePages{};

    bool scramble() const { return (optionBits & 0x10) != 0; }
    bool remap() const { return (optionBits & 0x20) != 0; }
};

// Reads the settings from an image of any size; bytes the image does not
// reach read as 0.
ProgramSettings ReadProgramSettings(std::span<const std::uint8_t> image);

}  // namespace kv::emu
