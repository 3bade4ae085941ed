#include "firmware/info_page.h"

#include <cstring>

#include "firmware/byte_layout.h"

namespace kv {
namespace {

constexpr RegisterGroup kDefaultRegisterMap[] = {
    {0xB0004920, {0x01, 0x02, 0x03, 0x04}},
    {0xB0004924, {0x05, 0x06, 0x07, 0x08}},
    {0xB0004928, {0x09, 0x0A, 0x0B, 0x0C}},
};

// The interface maps differ only in their last row.
constexpr RegisterGroup kInterface1RegisterMap[] = {
    {0xB0010020, {0x0F, 0xD0, 0x0F, 0x0C}}, {0xB00102A0, {0x00, 0x04, 0x00, 0x00}},
    {0xB00102A4, {0x01, 0x07, 0x00, 0x00}}, {0xB00102C0, {0x04, 0x04, 0x04, 0x04}},
    {0xB00102C4, {0x7C, 0x7C, 0x7C, 0x7C}}, {0xB00102C8, {0x78, 0x78, 0x78, 0x78}},
    {0xB00102CC, {0x74, 0x74, 0x74, 0x74}}, {0xB00102D0, {0x08, 0x08, 0x08, 0x08}},
    {0xB00102D4, {0x0C, 0x0C, 0x0C, 0x0C}}, {0xB00102D8, {0x70, 0x70, 0x70, 0x70}},
    {0xB00102DC, {0x6C, 0x6C, 0x6C, 0x6C}}, {0xB001007C, {0x01, 0x05, 0x46, 0x00}},
};
constexpr RegisterGroup kInterface3RegisterMap[] = {
    {0xB0010020, {0x0F, 0xD0, 0x0F, 0x0C}}, {0xB00102A0, {0x00, 0x04, 0x00, 0x00}},
    {0xB00102A4, {0x01, 0x07, 0x00, 0x00}}, {0xB00102C0, {0x04, 0x04, 0x04, 0x04}},
    {0xB00102C4, {0x7C, 0x7C, 0x7C, 0x7C}}, {0xB00102C8, {0x78, 0x78, 0x78, 0x78}},
    {0xB00102CC, {0x74, 0x74, 0x74, 0x74}}, {0xB00102D0, {0x08, 0x08, 0x08, 0x08}},
    {0xB00102D4, {0x0C, 0x0C, 0x0C, 0x0C}}, {0xB00102D8, {0x70, 0x70, 0x70, 0x70}},
    {0xB00102DC, {0x6C, 0x6C, 0x6C, 0x6C}}, {0xB001007C, {0x00, 0x25, 0x46, 0x00}},
};

}  // namespace

LoaderSignatures LoaderSignaturesForModel(std::string_view modelCode) {
    const std::string_view model = modelCode.substr(0, 3);
    if (model == "512" || model == "511" || model == "518") {
        return {kLoaderBlocksSignatureV40, kLoaderConfigSignatureV40};
    }
    return {kLoaderBlocksSignature, kLoaderConfigSignature};
}

std::span<const RegisterGroup> RegisterMapFor(const FlashConfig& flash,
                                              const SettingsBlock& settings) {
    if (settings.EnRegMap == 1 && flash.FlashInterface == 1) {
        return kInterface1RegisterMap;
    }
    if (settings.EnRegMap == 1 && flash.FlashInterface == 3) {
        return kInterface3RegisterMap;
    }
    return kDefaultRegisterMap;
}

bool BuildInfoPage(const ImageContext& ctx, const CodeBlockList& codeBlocks,
                   const FirmwarePageLayout& layout, std::uint16_t generation,
                   std::span<std::uint8_t> pageSet) {
    const FlashConfig& f = ctx.flash;
    const std::size_t pageBytes = static_cast<std::size_t>(f.SectorsPerPage) * 512;
    const std::span<const RegisterGroup> registers = RegisterMapFor(f, ctx.settings);
    const std::size_t registerEnd = 0x2E4 + registers.size() * 20;
    if (f.Channels == 0 || pageBytes < registerEnd || pageSet.size() < pageBytes * f.Channels) {
        return false;
    }
    std::uint8_t* p = pageSet.data();
    std::memset(p, 0, pageBytes);

    PutText(p + 0x000, 16, f.BlocksSignature);
    PutText(p + 0x010, 8, kInfoPageVersionText);
    p[0x019] = f.SectorsPerPage;
    PutLe16(p + 0x01A, f.TypePagesPerBlock);
    p[0x01C] = f.EccMode;
    const int count = codeBlocks.Count > kMaxCodeBlocks ? kMaxCodeBlocks : codeBlocks.Count;
    for (int i = 0; i < count; ++i) {
        PutLe16(p + 0x020 + 4 * i, codeBlocks.Blocks[i]);
        PutLe16(p + 0x022 + 4 * i, kCodeBlockFlags);
    }

    PutText(p + 0x200, 32, f.ConfigSignature);
    PutLe16(p + 0x210, generation);
    PutLe32(p + 0x214, kFirmwareTableOffset);
    PutLe32(p + 0x218, kSystemPageListOffset);
    PutLe32(p + 0x21C, kRegisterMapOffset);

    const int files = layout.FileCount > kMaxFirmwareFiles ? kMaxFirmwareFiles : layout.FileCount;
    p[0x230] = static_cast<std::uint8_t>(files);
    PutLe16(p + 0x234, layout.FirstPage);
    PutLe16(p + 0x236, layout.LastPage);
    for (int i = 0; i < files; ++i) {
        PutLe16(p + 0x238 + 4 * i, layout.Files[i].StartPage);
        PutLe16(p + 0x23A + 4 * i, layout.Files[i].PageCount);
    }
    PutText(p + 0x260, 32, f.PartNumber);
    for (int i = 0; i < kSystemPageListLength; ++i) {
        PutLe16(p + 0x280 + 2 * i, layout.SystemPageList[i]);
    }

    PutLe16(p + 0x2E0, static_cast<std::uint32_t>(registers.size() * 4));
    std::uint8_t* group = p + 0x2E4;
    for (const RegisterGroup& row : registers) {
        for (std::uint32_t r = 0; r < 4; ++r) {
            PutLe32(group + 4 * r, row.Base + r);
            group[16 + r] = row.Values[r];
        }
        group += 20;
    }

    for (int c = 1; c < f.Channels; ++c) {
        std::memcpy(p + pageBytes * static_cast<std::size_t>(c), p, pageBytes);
    }
    for (int c = 0; c < f.Channels; ++c) {
        p[pageBytes * static_cast<std::size_t>(c) + 0x018] = static_cast<std::uint8_t>(c);
    }
    return true;
}

void SetInfoPageBlockNumber(std::span<std::uint8_t> pageSet, std::uint16_t block) {
    if (pageSet.size() > kInfoPageBlockNumberOffset) {
        pageSet[kInfoPageBlockNumberOffset] = static_cast<std::uint8_t>(block & 0xFF);
    }
}

}  // namespace kv
