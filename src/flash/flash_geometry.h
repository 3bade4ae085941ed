// The flash geometry a type word encodes, and the geometry code bytes the
// controller's images carry.
//
// Type word bits: 0-2 page size index (4, 8, 16, 32 sectors), 3-5 pages per
// block index (64, 128, 256, 512), 6-8 block count index (2048, 4096, 8192,
// 16384, 1024 blocks per chip enable), 9-10 die count index (1, 2, 4), bit 11
// MLC, bits 12-15 maker class. An index without a table entry gives 0.
#pragma once

#include <cstdint>

namespace kv {

struct FlashGeometry {
    std::uint16_t BlocksPerCe = 0;
    std::uint16_t PagesPerBlock = 0;      // halved when the part has half-page blocks
    std::uint16_t TypePagesPerBlock = 0;  // as the type word gives it, never halved
    std::uint8_t Dies = 0;
    std::uint8_t SectorsPerPage = 0;
    std::uint16_t BlocksPerPlaneDie = 0;  // BlocksPerCe / 2 / Dies
    bool Mlc = false;
    std::uint8_t MakerClass = 0;

    // Every table lookup hit an entry.
    bool Defined() const {
        return BlocksPerCe != 0 && PagesPerBlock != 0 && Dies != 0 && SectorsPerPage != 0;
    }
};

FlashGeometry DecodeTypeWord(std::uint16_t typeWord, bool halfPageBlock);

// Index of the lowest set bit; 0 for 0. The images use this as their log2.
std::uint8_t LowBitIndex(std::uint32_t value);

// Inputs of the geometry code bytes.
struct GeometryCodeInput {
    std::uint16_t BlocksPerCe = 0;
    std::uint16_t PagesPerBlock = 0;
    std::uint8_t Dies = 0;
    std::uint16_t DieOffset = 0;
    std::uint16_t ExtendBlocks = 0;
    std::uint8_t MakerClass = 0;
    std::uint8_t AltFamily = 0;
    std::uint8_t FlashInterface = 0;
};

// The program images' code: bit 4 unless maker class 2 without the alternate
// family, bits 2-3 from the blocks per die, bits 0-1 from the pages per block.
std::uint8_t GeometryCode(const GeometryCodeInput& in);
// The system firmware header's code: as GeometryCode, but the page count is
// halved for maker class 2 parts on interfaces 4, 5 and 6.
std::uint8_t GeometryCode2(const GeometryCodeInput& in);

}  // namespace kv
