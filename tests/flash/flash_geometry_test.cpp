#include "flash/flash_geometry.h"

#include <gtest/gtest.h>

namespace kv {
namespace {

struct TypeWordCase {
    std::uint16_t typeWord;
    bool half;
    int sectors, pages, typePages, blocks, dies;
    bool mlc;
    int makerClass;
};

TEST(FlashGeometryTest, TypeWordTables) {
    const TypeWordCase cases[] = {
        // 0x0080: page index 0, pages index 0, blocks index 2, one die, SLC, class 0.
        {0x0080, false, 4, 64, 64, 8192, 1, false, 0},
        {0x1852, false, 16, 256, 256, 4096, 1, true, 1},
        {0x2A89, false, 8, 128, 128, 8192, 2, true, 2},
        {0x2A89, true, 8, 64, 128, 8192, 2, true, 2},  // half-page blocks
        {0x0503, false, 32, 64, 64, 1024, 4, false, 0},
        // Indexes without a table entry give 0.
        {0x0004, false, 0, 64, 64, 2048, 1, false, 0},
        {0x0020, false, 4, 0, 0, 2048, 1, false, 0},
        {0x0140, false, 4, 64, 64, 0, 1, false, 0},
        {0x0600, false, 4, 64, 64, 2048, 0, false, 0},
        {0x4100, false, 4, 64, 64, 1024, 1, false, 4},
    };
    for (const TypeWordCase& c : cases) {
        SCOPED_TRACE(c.typeWord);
        const FlashGeometry g = DecodeTypeWord(c.typeWord, c.half);
        EXPECT_EQ(g.SectorsPerPage, c.sectors);
        EXPECT_EQ(g.PagesPerBlock, c.pages);
        EXPECT_EQ(g.TypePagesPerBlock, c.typePages);
        EXPECT_EQ(g.BlocksPerCe, c.blocks);
        EXPECT_EQ(g.Dies, c.dies);
        EXPECT_EQ(g.Mlc, c.mlc);
        EXPECT_EQ(g.MakerClass, c.makerClass);
        EXPECT_EQ(g.Defined(), c.sectors && c.pages && c.blocks && c.dies);
        EXPECT_EQ(g.BlocksPerPlaneDie, c.dies ? c.blocks / 2 / c.dies : 0);
    }
}

TEST(FlashGeometryTest, LowBitIndexIsTheImagesLog2) {
    EXPECT_EQ(LowBitIndex(0), 0);
    EXPECT_EQ(LowBitIndex(1), 0);
    EXPECT_EQ(LowBitIndex(4096), 12);
    EXPECT_EQ(LowBitIndex(3), 0);  // three channels count as one
    EXPECT_EQ(LowBitIndex(12), 2);
}

struct CodeCase {
    const char* what;
    GeometryCodeInput in;
    std::uint8_t code;
    std::uint8_t code2;
};

TEST(FlashGeometryTest, GeometryCodes) {
    const CodeCase cases[] = {
        // 4096 blocks, one die: a = 12 -> 8; 256 pages: b = 8 -> 2; bit 4 for class 1.
        {"class 1", {4096, 256, 1, 0, 0, 1, 0, 1}, 0x1A, 0x1A},
        // Die offset 4096 x 2 x 2 dies / 2 = 8192 blocks per die: a = 13 -> 12; 128 pages
        // -> 1; class 2 without the alternate family has no bit 4; interface 5 halves the
        // pages of the second code only.
        {"class 2, die offset", {8192, 128, 2, 4096, 0, 2, 0, 5}, 0x0D, 0x0C},
        {"class 2, alternate family", {8192, 128, 2, 4096, 0, 2, 1, 5}, 0x1D, 0x1C},
        {"class 2, interface 3", {8192, 128, 2, 4096, 0, 2, 0, 3}, 0x0D, 0x0D},
        // Extended blocks double the count: 2 x 8192 -> a = 14 -> 16 masked to 0.
        {"extended", {8192, 64, 1, 0, 32, 0, 0, 0}, 0x10, 0x10},
        // 1024 blocks: a = 10 -> 0; 512 pages: b = 9 -> 3.
        {"small blocks", {1024, 512, 1, 0, 0, 0, 0, 0}, 0x13, 0x13},
        // 2048 blocks over 4 dies: a = 9 -> -4 masked to 12; 64 pages -> 0.
        {"four dies", {2048, 64, 4, 0, 0, 3, 0, 0}, 0x1C, 0x1C},
    };
    for (const CodeCase& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(GeometryCode(c.in), c.code);
        EXPECT_EQ(GeometryCode2(c.in), c.code2);
    }
}

}  // namespace
}  // namespace kv
