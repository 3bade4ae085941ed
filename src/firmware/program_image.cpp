#include "firmware/program_image.h"

#include <algorithm>
#include <cstring>
#include <fstream>

#include "firmware/byte_layout.h"
#include "firmware/flash_header.h"
#include "firmware/low_page_sequence.h"

namespace kv {
namespace {

std::string TextAt(std::span<const std::uint8_t> image, std::size_t offset, std::size_t size) {
    if (image.size() < offset + size) {
        return "";
    }
    const char* at = reinterpret_cast<const char*>(image.data() + offset);
    return std::string(at, ::strnlen(at, size));
}

constexpr std::uint8_t kDefaultPageList[16] = {0, 1, 2, 3, 4, 5, 6, 7, 0x3C, 0x3D};

}  // namespace

std::optional<std::vector<std::uint8_t>> LoadProgramImage(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> image(kProgramImageSize, kProgramImageFill);
    in.read(reinterpret_cast<char*>(image.data()), static_cast<std::streamsize>(image.size()));
    return image;
}

bool IsPatchableProgramImage(std::span<const std::uint8_t> image) {
    if (image.size() < kProgramKindOffset + 4) {
        return false;
    }
    const std::uint8_t* kind = image.data() + kProgramKindOffset;
    return std::memcmp(kind, kDiagnosticProgramKind, 4) == 0 ||
           std::memcmp(kind, kTestProgramKind, 4) == 0;
}

std::string ProgramImageVersion(std::span<const std::uint8_t> image) {
    return TextAt(image, kProgramVersionOffset, kProgramVersionSize);
}

std::string ProgramImageBuildTag(std::span<const std::uint8_t> image) {
    return TextAt(image, kProgramBuildTagOffset, kProgramBuildTagSize);
}

std::uint32_t BufferSizeFormula(const FlashConfig& flash, std::uint32_t defectCount) {
    const std::int64_t g = flash.BlocksPerCe / 2;
    const std::int64_t h = static_cast<std::int64_t>(flash.Channels) * flash.Banks;
    const std::int64_t l = (static_cast<std::int64_t>(flash.ResPercentage) * g / 1000) & 0xFFFF;
    const std::int64_t d = flash.PagesPerBlock;
    const std::int64_t f = defectCount & 0xFFFF;
    const std::int64_t m = h * (l - 3) - f;
    const std::int64_t sum = h * (8 * g + 5 * l + 5 * (g - l) + 1616) + 160 * m + 8 * (m * d + 1) +
                             8 * (h * (g - l) + 1) + 0x300000;
    std::int64_t size = ((sum >> 14) + 1) << 14;
    if (size < 0) {
        size = 0;
    }
    const std::int64_t unit = 2 * static_cast<std::int64_t>(flash.SectorsPerPage) * 512 *
                              static_cast<std::int64_t>(flash.Channels);
    if (unit > 0) {
        size = (size + unit - 1) / unit * unit;
    }
    return static_cast<std::uint32_t>(std::min<std::int64_t>(size, 0xFFFFFFFFLL));
}

void BuildRuntimeParamBlock(const ImageContext& ctx, const PortImageState& port,
                            std::uint16_t firstFirmwarePage, std::uint8_t* block) {
    const FlashConfig& f = ctx.flash;
    std::memset(block, 0, kRuntimeParamBlockSize);
    PutLe32(block + 0x00, BufferSizeFormula(f, port.DefectCount));
    PutLe32(block + 0x04, port.DefectCount);
    PutLe16(block + 0x08, firstFirmwarePage);
    PutLe16(block + 0x0A, f.DirtyDepth);
    PutLe16(block + 0x0C, f.ExtendBlocks);
    PutLe16(block + 0x0E, f.DieOffset);
    block[0x10] = port.PortAttr;
    block[0x11] = f.FeatureFlags;
    if (CodeBlockLowPageMode(ctx.settings, f.PageMapType)) {
        const PageSequence sequence = LowPageSequence(f.PageMapType);
        for (int i = 0; i < 16; ++i) {
            block[0x12 + i] =
                static_cast<std::uint8_t>(sequence[static_cast<std::size_t>(i)] & 0xFF);
        }
    } else {
        std::memcpy(block + 0x12, kDefaultPageList, sizeof kDefaultPageList);
    }
}

bool PatchProgramImage(const ImageContext& ctx, const PortImageState& port,
                       std::uint16_t firstFirmwarePage, std::span<std::uint8_t> image) {
    if (!IsPatchableProgramImage(image) ||
        image.size() < kRuntimeParamBlockOffset + kRuntimeParamBlockSize) {
        return false;
    }
    std::uint8_t* base = image.data();
    BuildFlashHeader(ctx, port.CodeBlocks, ctx.flash.GeometryCode, base + kFlashHeaderOffset);
    std::uint8_t* extras = base + kProgramExtrasOffset;
    extras[0] = ctx.flash.DefPercentage;
    extras[1] = static_cast<std::uint8_t>(ctx.settings.ProhibitRemapOffset & 0xFF);
    extras[2] = 0;
    std::memcpy(base + kProgramBankSetOffset, ctx.flash.FwBankSet, 8);
    for (std::size_t i = 0; i < kPageStepTableSize; ++i) {
        base[kPageStepTableOffset + i] =
            static_cast<std::uint8_t>((ctx.flash.SectorsPerPage * 2u * i) & 0xFF);
    }
    BuildRuntimeParamBlock(ctx, port, firstFirmwarePage, base + kRuntimeParamBlockOffset);
    return true;
}

}  // namespace kv
