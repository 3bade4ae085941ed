#include "flash/flash_scan_pages.h"

#include <algorithm>
#include <cstring>

#include "device/vendor_access.h"
#include "device/vendor_commands.h"

namespace kv {

std::size_t ToolPageSetBytes(const FlashConfig& flash) {
    return static_cast<std::size_t>(flash.Channels) * flash.SectorsPerPage * 512u;
}

std::vector<std::uint8_t> NewPageSet(const FlashConfig& flash) {
    return std::vector<std::uint8_t>(ToolPageSetBytes(flash), 0);
}

void UseFlashGeometry(int port, const FlashConfig& flash) {
    VaFlashGeometry g;
    g.Channels = flash.Channels;
    g.SectorsPerPage = flash.SectorsPerPage;
    g.AccessMode = flash.EccMode;
    std::memcpy(g.LoaderSignature, flash.BlocksSignature,
                std::min(sizeof g.LoaderSignature, sizeof flash.BlocksSignature));
    SetVaFlashGeometry(port, g);
}

std::uint8_t EccFrameSectors(const FlashConfig& flash) {
    return flash.EccMode == 3 ? flash.SectorsPerPage : std::uint8_t{4};
}

std::uint8_t CodeChipEnable(const FlashConfig& flash) {
    return flash.FwBankSet[0];
}

std::uint8_t TablePageFlags(const FlashConfig& flash, const SettingsBlock& settings) {
    return static_cast<std::uint8_t>((flash.OptionFlags[kOptionSelected] * 2) |
                                     settings.ScrambleEnable);
}

bool WriteTablePageSet(int port, const FlashConfig& flash, const SettingsBlock& settings,
                       std::uint8_t chipEnable, std::uint16_t block, std::uint16_t page,
                       std::span<const std::uint8_t> pageSet) {
    return WritePageSet(port, flash, chipEnable, block, page, flash.EccMode,
                        TablePageFlags(flash, settings), flash.SectorsPerPage, pageSet);
}

bool ReadPageSet(int port, const FlashConfig& flash, std::uint8_t chipEnable, std::uint16_t block,
                 std::uint16_t page, std::span<std::uint8_t> pageSet) {
    if (pageSet.size() < ToolPageSetBytes(flash) || ToolPageSetBytes(flash) == 0) {
        return false;
    }
    FlashAddress a;
    a.Channel = flash.Channels;  // all channels
    a.Bank = chipEnable;
    a.Block = block;
    a.Page = page;
    a.Options[0] = flash.EccMode;
    a.Options[1] = flash.OptionFlags[kOptionScramble];
    a.Options[2] = EccFrameSectors(flash);
    return VA_ReadPages(port, a, pageSet.first(ToolPageSetBytes(flash)), false);
}

bool WritePageSet(int port, const FlashConfig& flash, std::uint8_t chipEnable, std::uint16_t block,
                  std::uint16_t page, std::uint8_t eccMode, std::uint8_t flags,
                  std::uint8_t eccFrame, std::span<const std::uint8_t> pageSet) {
    const std::size_t bytes = ToolPageSetBytes(flash);
    if (pageSet.size() < bytes || bytes == 0) {
        return false;
    }
    FlashAddress a;
    a.Channel = flash.Channels;
    a.Bank = chipEnable;
    a.Block = block;
    a.Page = page;
    a.Options[0] = eccMode;
    a.Options[1] = flags;
    a.Options[2] = eccFrame;
    return VA_WritePages(port, a, pageSet.first(bytes), static_cast<std::uint32_t>(bytes / 512));
}

bool EraseBlockAllChannels(int port, const FlashConfig& flash, std::uint8_t chipEnable,
                           std::uint16_t block) {
    return VC_FLH_EraseBlock(port, flash.Channels, chipEnable, block) == kCommandOk;
}

}  // namespace kv
