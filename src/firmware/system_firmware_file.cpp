#include "firmware/system_firmware_file.h"

#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "firmware/byte_layout.h"
#include "firmware/flash_header.h"
#include "firmware/geometry_record.h"
#include "firmware/identify_patch.h"
#include "firmware/page_pair_map.h"

namespace kv {
namespace {

std::string TextAt(std::span<const std::uint8_t> page, std::size_t offset, std::size_t size) {
    if (page.size() < offset + size) {
        return "";
    }
    const char* at = reinterpret_cast<const char*>(page.data() + offset);
    return std::string(at, ::strnlen(at, size));
}

void PutExtras(const FlashConfig& f, std::uint8_t* extras) {
    std::uint8_t read = 0;
    std::uint8_t copy = 0;
    switch (f.EccMode) {
        case 1:
            read = f.Bch16ReadErrorThreshold;
            copy = f.Bch16EccErrorCopyThreshold;
            break;
        case 2:
            read = f.Bch24ReadErrorThreshold;
            copy = f.Bch24EccErrorCopyThreshold;
            break;
        case 3:
            read = f.Bch40ReadErrorThreshold;
            copy = f.Bch40EccErrorCopyThreshold;
            break;
        default:
            break;
    }
    extras[0] = read;
    extras[1] = copy;
    extras[2] = f.WearLevelFrequency;
    extras[3] = f.SecurityCounter;
    extras[4] = f.SecurityByte;
}

}  // namespace

std::string UsbFirmwareFileName(std::string_view sataName) {
    std::string name(sataName);
    if (name.size() >= 5) {
        name[4] = 'U';
    }
    return name;
}

bool IsSoundSystemFirmwareImage(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < 2) {
        return false;
    }
    const std::size_t check = bytes.size() - 2;
    std::uint8_t sum = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i != check) {
            sum = static_cast<std::uint8_t>(sum + bytes[i]);
        }
    }
    return sum == 0 && bytes[check] == kSysCheckByte;
}

bool IsSoundSystemFirmwareFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                          std::istreambuf_iterator<char>());
    return !in.bad() && IsSoundSystemFirmwareImage(bytes);
}

bool IsSystemHeaderPage(std::span<const std::uint8_t> page) {
    return page.size() > kSysBusLetterOffset &&
           std::memcmp(page.data() + kSysMagicOffset, kSysMagic, 4) == 0 &&
           page[kSysBusLetterOffset] == static_cast<std::uint8_t>(kSysSataBusLetter);
}

BankMapLayout BankMapLayoutFor(std::string_view modelCode, std::string_view formatCode) {
    const std::string_view model = modelCode.substr(0, 3);
    BankMapLayout layout;
    if (model == "517" && formatCode != "42") {
        layout.Format = 43;
        layout.EntriesPerCe = 12;
        layout.Entries = 16 * 1 * 12;
    } else if (model == "517" || model == "511") {
        layout.Format = 42;
        layout.EntriesPerCe = 6;
        layout.Entries = 8 * 1 * 6;
    }
    return layout;
}

std::string SysVersionText(std::span<const std::uint8_t> page) {
    return TextAt(page, kSysVersionOffset, kSysVersionSize);
}

std::string SysModelCode(std::span<const std::uint8_t> page) {
    return TextAt(page, kSysModelCodeOffset, 3);
}

std::string SysFormatCode(std::span<const std::uint8_t> page) {
    return TextAt(page, kSysFormatCodeOffset, kSysFormatCodeSize);
}

std::string SysBuildTag(std::span<const std::uint8_t> page) {
    return TextAt(page, kSysBuildTagOffset, kSysBuildTagSize);
}

void PadFirmwarePage(std::span<std::uint8_t> page, std::size_t filled) {
    if (filled < page.size()) {
        std::memset(page.data() + filled, kFirmwarePageFill, page.size() - filled);
    }
}

void PutFirmwareTrailer(std::span<std::uint8_t> page) {
    if (page.size() >= 4) {
        std::memcpy(page.data() + page.size() - 4, kFirmwareTrailer, 4);
    }
}

bool PatchSystemHeaderPage(const ImageContext& ctx, PortImageState& port,
                           std::uint16_t firstFirmwarePage, std::span<std::uint8_t> page,
                           std::string_view serialNumber, std::string_view wwnText) {
    if (!IsSystemHeaderPage(page) || page.size() < kPagePairMapOffset + kPagePairMapSize) {
        return false;
    }
    std::uint8_t* base = page.data();
    port.PortAttr = ctx.process.LedInterleave;
    BuildFlashHeader(ctx, port.CodeBlocks, ctx.flash.GeometryCode2, base + kFlashHeaderOffset);
    PutExtras(ctx.flash, base + kSysExtrasOffset);
    std::memcpy(base + kSysBankSetOffset, ctx.flash.FwBankSet, 8);
    BuildGeometryRecord(ctx, port, firstFirmwarePage, base + kGeometryRecordOffset);
    const PagePairMapBytes map = PagePairMap(ctx.flash.PageMapType);
    std::memcpy(base + kPagePairMapOffset, map.data(), map.size());
    const BankMapLayout bankMap = BankMapLayoutFor(SysModelCode(page), SysFormatCode(page));
    for (std::size_t i = 0; i < bankMap.Entries; ++i) {
        const std::size_t at = kSysBankMapOffset + 2 * i;
        if (at + 2 > page.size()) {
            break;
        }
        PutLe16(base + at, port.BankMap[i]);
    }
    PatchIdentifyData(ctx, page, serialNumber, wwnText, port.SataSpeed);
    return true;
}

}  // namespace kv
