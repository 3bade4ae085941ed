#include "emulator/nand_geometry.h"

namespace kv::emu {

std::optional<NandGeometry> GeometryFromTypeWord(std::uint16_t typeWord, int channels,
                                                 int chipEnables) {
    static const int kSectors[8] = {4, 8, 16, 32, 0, 0, 0, 0};
    static const int kPages[8] = {64, 128, 256, 512, 0, 0, 0, 0};
    static const int kBlocks[8] = {2048, 4096, 8192, 16384, 1024, 0, 0, 0};
    static const int kDies[4] = {1, 2, 4, 0};
    NandGeometry g;
    g.typeWord = typeWord;
    g.channels = channels;
    g.chipEnables = chipEnables;
    g.sectorsPerPage = kSectors[typeWord & 7];
    g.pagesPerBlock = kPages[(typeWord >> 3) & 7];
    g.blocksPerCe = kBlocks[(typeWord >> 6) & 7];
    g.dies = kDies[(typeWord >> 9) & 3];
    g.mlc = ((typeWord >> 11) & 1) != 0;
    g.makerClass = (typeWord >> 12) & 0xF;
    if (g.sectorsPerPage == 0 || g.pagesPerBlock == 0 || g.blocksPerCe == 0 || g.dies == 0) {
        return std::nullopt;
    }
    if (channels < 1 || channels > 8 || chipEnables < 1 || chipEnables > 8) {
        return std::nullopt;
    }
    return g;
}

std::uint64_t DefaultUserSectors(const NandGeometry& g) {
    const std::int64_t perPlaneDie = (g.blocksPerCe / g.dies) / 2;
    const std::int64_t usable = perPlaneDie * g.dies;
    const std::int64_t reserved = (68 * perPlaneDie / 1000 + 1) * g.dies;
    const std::int64_t own =
        ((128 / g.pagesPerBlock) * (8 / g.channels) * (16 / g.sectorsPerPage)) & 0xFF;
    const std::int64_t blocks = usable - reserved - own;
    if (blocks <= 0) {
        return 0;
    }
    return static_cast<std::uint64_t>(blocks) * static_cast<std::uint64_t>(g.channels) * 2u *
           static_cast<std::uint64_t>(g.chipEnables) * static_cast<std::uint64_t>(g.pagesPerBlock) *
           static_cast<std::uint64_t>(g.sectorsPerPage);
}

}  // namespace kv::emu
