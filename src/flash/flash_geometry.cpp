#include "flash/flash_geometry.h"

namespace kv {
namespace {

constexpr std::uint16_t kSectorsPerPage[8] = {4, 8, 16, 32, 0, 0, 0, 0};
constexpr std::uint16_t kPagesPerBlock[8] = {64, 128, 256, 512, 0, 0, 0, 0};
constexpr std::uint16_t kBlocksPerCe[8] = {2048, 4096, 8192, 16384, 1024, 0, 0, 0};
constexpr std::uint8_t kDies[4] = {1, 2, 4, 0};

std::uint8_t CodeFor(const GeometryCodeInput& in, std::uint32_t pages) {
    if (in.Dies == 0) {
        return 0;
    }
    std::uint32_t blocks = 0;
    if (in.DieOffset != 0) {
        blocks = static_cast<std::uint32_t>(in.DieOffset) * 2u * in.Dies;
    } else {
        blocks = in.BlocksPerCe;
        if (in.ExtendBlocks != 0) {
            blocks *= 2u;
        }
    }
    const int a = LowBitIndex(blocks / in.Dies);
    const int b = LowBitIndex(pages);
    const bool plainClass2 = in.MakerClass == 2 && in.AltFamily == 0;
    const int code = (plainClass2 ? 0 : 0x10) | (((a - 10) * 4) & 0x0F) | ((b - 6) & 0x03);
    return static_cast<std::uint8_t>(code);
}

}  // namespace

FlashGeometry DecodeTypeWord(std::uint16_t typeWord, bool halfPageBlock) {
    FlashGeometry g;
    g.SectorsPerPage = static_cast<std::uint8_t>(kSectorsPerPage[typeWord & 0x7]);
    g.TypePagesPerBlock = kPagesPerBlock[(typeWord >> 3) & 0x7];
    g.PagesPerBlock =
        halfPageBlock ? static_cast<std::uint16_t>(g.TypePagesPerBlock / 2) : g.TypePagesPerBlock;
    g.BlocksPerCe = kBlocksPerCe[(typeWord >> 6) & 0x7];
    g.Dies = kDies[(typeWord >> 9) & 0x3];
    g.Mlc = ((typeWord >> 11) & 0x1) != 0;
    g.MakerClass = static_cast<std::uint8_t>((typeWord >> 12) & 0xF);
    g.BlocksPerPlaneDie = g.Dies == 0 ? 0 : static_cast<std::uint16_t>(g.BlocksPerCe / 2 / g.Dies);
    return g;
}

std::uint8_t LowBitIndex(std::uint32_t value) {
    if (value == 0) {
        return 0;
    }
    std::uint8_t index = 0;
    while ((value & 1u) == 0) {
        value >>= 1;
        ++index;
    }
    return index;
}

std::uint8_t GeometryCode(const GeometryCodeInput& in) {
    return CodeFor(in, in.PagesPerBlock);
}

std::uint8_t GeometryCode2(const GeometryCodeInput& in) {
    std::uint32_t pages = in.PagesPerBlock;
    if (in.MakerClass == 2 &&
        (in.FlashInterface == 4 || in.FlashInterface == 5 || in.FlashInterface == 6)) {
        pages /= 2;
    }
    return CodeFor(in, pages);
}

}  // namespace kv
