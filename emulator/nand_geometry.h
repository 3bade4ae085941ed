// Flash geometry of one emulated drive, taken from the flash type word and
// the channel and chip-enable counts of the controller.
//
// Type word bits: 0-2 page size index (4, 8, 16, 32 sectors), 3-5 pages per
// block index (64, 128, 256, 512), 6-8 block count index (2048, 4096, 8192,
// 16384, 1024 blocks per chip enable), 9-10 die count index (1, 2, 4),
// bit 11 MLC, bits 12-15 maker class. Indexes outside the tables give no
// geometry.
#pragma once

#include <cstdint>
#include <optional>

namespace kv::emu {

struct NandGeometry {
    std::uint16_t typeWord = 0;
    int channels = 0;
    int chipEnables = 0;  // per channel
    int dies = 0;         // per chip enable
    int blocksPerCe = 0;
    int pagesPerBlock = 0;
    int sectorsPerPage = 0;
    bool mlc = false;
    int makerClass = 0;

    int pageBytes() const { return sectorsPerPage * 512; }
    int blocksPerDie() const { return blocksPerCe / dies; }
    int dieOfBlock(int block) const { return block / blocksPerDie(); }
    std::int64_t totalBlocks() const {
        return static_cast<std::int64_t>(channels) * chipEnables * blocksPerCe;
    }
};

// Nothing when the type word has an index outside its table or the counts lie
// outside 1..8.
std::optional<NandGeometry> GeometryFromTypeWord(std::uint16_t typeWord, int channels,
                                                 int chipEnables);

// The user capacity a produced drive of this geometry reports by default, in
// sectors: the blocks of one plane per die less the reserved share (68 per
// thousand) and the firmware's own blocks, over every channel, chip enable,
// plane, page and sector.
std::uint64_t DefaultUserSectors(const NandGeometry& g);

}  // namespace kv::emu
