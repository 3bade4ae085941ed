#include "firmware/firmware_page_layout.h"

#include <cstdio>

namespace kv {

std::uint16_t FirmwareFilePageCount(std::uint32_t sizeKiB, std::uint8_t sectorsPerPage) {
    const std::uint32_t perPage = sectorsPerPage / 2u;
    if (perPage == 0) {
        return 0;
    }
    const std::uint32_t pages = (sizeKiB + perPage - 1) / perPage + 1;
    return static_cast<std::uint16_t>(pages > 0xFFFF ? 0xFFFF : pages);
}

std::uint16_t FirstFirmwarePage(const FlashConfig& flash, const SettingsBlock& settings) {
    if (CodeBlockLowPageMode(settings, flash.PageMapType)) {
        return LowPageSequence(flash.PageMapType)[kFirstFirmwareSequenceEntry];
    }
    return kNormalFirstFirmwarePage;
}

bool LayoutFirmwarePages(const FlashConfig& flash, const SettingsBlock& settings,
                         std::span<const std::uint32_t> sizesKiB, FirmwarePageLayout& layout,
                         std::string* error) {
    layout = FirmwarePageLayout{};
    layout.LowPage = CodeBlockLowPageMode(settings, flash.PageMapType);
    layout.FirstFirmwarePage = FirstFirmwarePage(flash, settings);
    const PageSequence sequence = LowPageSequence(flash.PageMapType);
    for (int i = 0; i < kSystemPageListLength; ++i) {
        layout.SystemPageList[i] =
            layout.LowPage ? sequence[static_cast<std::size_t>(kFirstFirmwareSequenceEntry + i)]
                           : static_cast<std::uint16_t>(i);
    }
    if (flash.SectorsPerPage < 2) {
        if (error != nullptr) {
            *error = "the flash configuration has no page size";
        }
        return false;
    }
    if (sizesKiB.empty() || sizesKiB.size() > kMaxFirmwareFiles) {
        if (error != nullptr) {
            *error = "one or two firmware files are needed";
        }
        return false;
    }
    const int start = layout.LowPage ? 0 : kNormalFirstFirmwarePage;
    int next = start;
    for (std::size_t i = 0; i < sizesKiB.size(); ++i) {
        const std::uint16_t count = FirmwareFilePageCount(sizesKiB[i], flash.SectorsPerPage);
        layout.Files[i].StartPage = static_cast<std::uint16_t>(next);
        layout.Files[i].PageCount = count;
        next += count;
    }
    layout.FileCount = static_cast<int>(sizesKiB.size());
    layout.FirstPage = static_cast<std::uint16_t>(start);
    layout.LastPage = static_cast<std::uint16_t>(next - 1);
    if (next > kSystemPageListLength) {
        if (error != nullptr) {
            char text[160];
            std::snprintf(text, sizeof text, kFirmwareTooLargeFormat, next - start,
                          kSystemPageListLength - start);
            *error = text;
        }
        return false;
    }
    return true;
}

}  // namespace kv
