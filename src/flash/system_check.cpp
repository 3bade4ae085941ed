#include "flash/system_check.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "device/loader_mode.h"
#include "device/vendor_access.h"
#include "device/vendor_commands.h"
#include "firmware/byte_layout.h"
#include "firmware/debug_dump.h"
#include "firmware/dump_names.h"
#include "firmware/flash_header.h"
#include "firmware/info_page.h"
#include "firmware/system_firmware_file.h"
#include "firmware/table_signatures.h"
#include "firmware/table_writing.h"
#include "flash/flash_geometry.h"
#include "flash/flash_scan_stores.h"

namespace kv {
namespace {

constexpr std::uint8_t kHeaderSelector = 3;
constexpr std::size_t kHeaderCodeBlocks = 0x510;
constexpr std::size_t kInfoFileCount = 0x230;
constexpr std::size_t kInfoFileTable = 0x238;
constexpr std::size_t kInfoPageListEnd = kSystemPageListOffset + 2 * kSystemPageListLength;
constexpr std::uint8_t kSysAreaSelector = 0;

std::string TextAt(std::span<const std::uint8_t> page, std::size_t offset, std::size_t size) {
    const char* at = reinterpret_cast<const char*>(page.data() + offset);
    return std::string(at, ::strnlen(at, size));
}

bool Bit(std::uint8_t value, int bit) {
    return (value >> bit) & 1;
}

void RecomputeGeometry(FlashConfig& c) {
    const FlashGeometry g = DecodeTypeWord(c.TypeWord, c.HalfPageBlock != 0);
    c.BlocksPerCe = g.BlocksPerCe;
    c.BlocksPerPlaneDie = g.BlocksPerPlaneDie;
    c.PagesPerBlock = g.PagesPerBlock;
    c.TypePagesPerBlock = g.TypePagesPerBlock;
    c.Dies = g.Dies;
    c.SectorsPerPage = g.SectorsPerPage;
    c.Mlc = g.Mlc;
    c.MakerClass = g.MakerClass;
    GeometryCodeInput code;
    code.BlocksPerCe = c.BlocksPerCe;
    code.PagesPerBlock = c.PagesPerBlock;
    code.Dies = c.Dies;
    code.DieOffset = c.DieOffset;
    code.ExtendBlocks = c.ExtendBlocks;
    code.MakerClass = c.MakerClass;
    code.AltFamily = c.AltFamily;
    code.FlashInterface = c.FlashInterface;
    c.GeometryCode = GeometryCode(code);
    c.GeometryCode2 = GeometryCode2(code);
}

bool StartsWithText(std::span<const std::uint8_t> page, const char* text) {
    const std::size_t n = std::strlen(text) + 1;
    return page.size() >= n && std::memcmp(page.data(), text, n) == 0;
}

}  // namespace

bool AdoptRunningHeader(std::span<const std::uint8_t> header, FlashConfig& flash,
                        CodeBlockList& codeBlocks, RunningSystemInfo& info) {
    if (header.size() < kRunningHeaderBytes) {
        return false;
    }
    const std::uint8_t* h = header.data() + kFlashHeaderOffset;
    flash.TypeWord = Le16(h);
    flash.FlashInterface = h[2] & 0x0F;
    flash.AltFamily = Bit(h[2], 5) ? 1 : 0;
    flash.Channels = h[3];
    flash.Banks = h[4];
    flash.EccMode = h[5];
    flash.DrvCurrent = h[6];
    flash.ResPercentage = static_cast<std::uint16_t>(h[8] | (h[0x1A] << 8));
    for (int i = 0; i < 3; ++i) {
        flash.OptionFlags[i] = Bit(h[9], i) ? 1 : 0;
    }
    flash.OptionFlags[3] = flash.Banks == 2 && Bit(h[9], 3) ? 1 : 0;
    flash.OptionFlags[kOptionScramble] = Bit(h[9], 4) ? 1 : 0;
    flash.OptionFlags[kOptionRemap] = Bit(h[9], 5) ? 1 : 0;
    flash.OptionFlags[6] = Bit(h[9], 6) ? 1 : 0;
    if (Bit(h[9], 7)) {
        flash.SpareAttr = 1;
    }
    for (int i = 0; i < 7; ++i) {
        flash.OptionFlags[8 + i] = Bit(h[0x0A], i) ? 1 : 0;
    }
    flash.CeCount = h[0x0B];
    flash.FeatureFlags2 = h[0x0C];
    flash.FeatureFlags3 = h[0x0D];
    std::memcpy(flash.FwBankSet, header.data() + kSysBankSetOffset, sizeof flash.FwBankSet);

    codeBlocks = CodeBlockList{};
    for (int i = 0; i < kMaxCodeBlocks; ++i) {
        const std::uint16_t block = Le16(header.data() + kHeaderCodeBlocks + 2 * i);
        if (block == 0xFFFF) {
            break;
        }
        codeBlocks.Blocks[i] = block;
        codeBlocks.Count = static_cast<std::uint8_t>(i + 1);
    }

    info.Version = TextAt(header, kSysVersionOffset, kSysVersionSize);
    info.FormatCode = TextAt(header, kSysFormatCodeOffset, kSysFormatCodeSize);
    info.ModelCode = TextAt(header, kSysModelCodeOffset, 3);
    info.BuildTag = TextAt(header, kSysBuildTagOffset, kSysBuildTagSize);
    const LoaderSignatures signatures = LoaderSignaturesForModel(info.ModelCode);
    PutText(reinterpret_cast<std::uint8_t*>(flash.BlocksSignature), sizeof flash.BlocksSignature,
            signatures.Blocks);
    PutText(reinterpret_cast<std::uint8_t*>(flash.ConfigSignature), sizeof flash.ConfigSignature,
            signatures.Config);
    RecomputeGeometry(flash);
    return true;
}

void AdoptInfoPage(std::span<const std::uint8_t> infoPage, RunningSystemInfo& info) {
    if (infoPage.size() < kInfoPageListEnd) {
        return;
    }
    const int files = std::min<int>(infoPage[kInfoFileCount], kMaxFirmwareFiles);
    info.FileCount = files;
    for (int f = 0; f < files; ++f) {
        info.Files[f].StartPage = Le16(infoPage.data() + kInfoFileTable + 4 * f);
        info.Files[f].PageCount = Le16(infoPage.data() + kInfoFileTable + 4 * f + 2);
    }
    for (int i = 0; i < kSystemPageListLength; ++i) {
        info.SystemPageList[i] = Le16(infoPage.data() + kSystemPageListOffset + 2 * i);
    }
    info.InfoPageFound = true;
}

std::uint16_t PlanePairNumber(const FlashConfig& flash, std::uint16_t block, bool loaderMode) {
    if (loaderMode) {
        return block;
    }
    if (flash.MakerClass == 2 && flash.TypeWord >= 0x2000 && flash.AltFamily == 0 &&
        flash.BlocksPerPlaneDie != 0) {
        const std::uint32_t b = flash.BlocksPerPlaneDie;
        return static_cast<std::uint16_t>((block % (2 * b)) + (block / (2 * b)) * b);
    }
    return static_cast<std::uint16_t>(block / 2);
}

bool ReadSystemAreaPage(int port, const FlashConfig& flash, std::uint16_t block, std::uint16_t page,
                        std::span<std::uint8_t> pageSet) {
    const std::uint32_t sectors = static_cast<std::uint32_t>(flash.Channels) * flash.SectorsPerPage;
    if (sectors == 0 || pageSet.size() < static_cast<std::size_t>(sectors) * 512) {
        return false;
    }
    SetVaFlashGeometry(port, VaGeometryOf(flash));
    return VA_ReadSysArea(port, kSysAreaSelector, PlanePairNumber(flash, block, false),
                          static_cast<std::uint8_t>(block & 1), page, flash.EccMode,
                          flash.OptionFlags[kOptionScramble], pageSet, sectors);
}

bool ReadSystemInfo(int port, std::span<std::uint8_t> workBuffer, FlashConfig& flash,
                    RunningSystemInfo& info) {
    info = RunningSystemInfo{};
    if (workBuffer.size() < kRunningHeaderBytes ||
        VC_SYS_ReadMem(port, kHeaderSelector, 0, workBuffer.data(), kRunningHeaderSectors) !=
            kCommandOk) {
        return false;
    }
    CodeBlockList& blocks = FlashStoresOf(port).Image.CodeBlocks;
    if (!AdoptRunningHeader(workBuffer.first(kRunningHeaderBytes), flash, blocks, info)) {
        return false;
    }
    SetVaFlashGeometry(port, VaGeometryOf(flash));
    std::vector<std::uint8_t> page(kRunningHeaderBytes, 0);
    for (int i = 0; i < std::min<int>(blocks.Count, kMaxCodeBlocks); ++i) {
        const std::uint16_t block = blocks.Blocks[i];
        if (!VA_ReadSysArea(port, kSysAreaSelector, PlanePairNumber(flash, block, false),
                            static_cast<std::uint8_t>(block & 1), 0, 3, 0, page,
                            kRunningHeaderSectors)) {
            continue;
        }
        WriteDebugDump(kDumpSystemRead, page.data(), page.size());
        if (StartsWithText(page, flash.BlocksSignature)) {
            AdoptInfoPage(page, info);
            info.InfoPageBlockIndex = i;
            break;
        }
    }
    return true;
}

bool CheckTables(int port, std::span<std::uint8_t> workBuffer, FlashConfig& flash,
                 const SettingsBlock& settings) {
    if (workBuffer.size() < kLoaderScratchSize || !EnterVendorMode(port, workBuffer.data())) {
        return false;
    }
    RunningSystemInfo info;
    if (!ReadSystemInfo(port, workBuffer, flash, info)) {
        return false;
    }
    const CodeBlockList& blocks = FlashStoresOf(port).Image.CodeBlocks;
    if (blocks.Count == 0) {
        return false;
    }
    const std::size_t sliceBytes = static_cast<std::size_t>(flash.SectorsPerPage) * 512;
    std::vector<std::uint8_t> pageSet(sliceBytes * flash.Channels, 0);
    for (int page : {kDefectTablePage, kEarlyTablePage, kRemapTablePage}) {
        if (page == kRemapTablePage && settings.RemapEnable == 0) {
            continue;
        }
        if (!ReadSystemAreaPage(port, flash, blocks.Blocks[0], static_cast<std::uint16_t>(page),
                                pageSet)) {
            continue;
        }
        for (int c = 0; c < flash.Channels; ++c) {
            if (!HasTableSignature(std::span<const std::uint8_t>(pageSet).subspan(
                                       static_cast<std::size_t>(c) * sliceBytes, sliceBytes),
                                   page)) {
                workBuffer[0] = static_cast<std::uint8_t>(page);
                return false;
            }
        }
    }
    return true;
}

int DefectTablePresence(int port, const FlashConfig& flash) {
    const CodeBlockList& blocks = FlashStoresOf(port).Image.CodeBlocks;
    std::vector<std::uint8_t> pageSet(PageSetBytes(flash), 0);
    if (blocks.Count == 0 || pageSet.empty()) {
        return 2;
    }
    SetVaFlashGeometry(port, VaGeometryOf(flash));
    FlashAddress address;
    address.Channel = flash.Channels;
    address.Block = blocks.Blocks[0];
    address.Page = kDefectTablePage;
    address.Options[0] = flash.EccMode;
    address.Options[1] = TableFlagsByte(flash);
    address.Options[2] = flash.SectorsPerPage;
    if (!VA_ReadPages(port, address, pageSet, false)) {
        return 2;
    }
    const std::size_t sliceBytes = pageSet.size() / flash.Channels;
    for (int c = 0; c < flash.Channels; ++c) {
        if (HasTableSignature(std::span<const std::uint8_t>(pageSet).subspan(
                                  static_cast<std::size_t>(c) * sliceBytes, sliceBytes),
                              kDefectTablePage)) {
            return 1;
        }
    }
    return 2;
}

}  // namespace kv
