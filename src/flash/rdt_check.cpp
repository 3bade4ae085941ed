#include "flash/rdt_check.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "device/debug_log.h"
#include "device/vendor_access.h"
#include "device/vendor_access_wait.h"
#include "device/vendor_commands.h"
#include "firmware/byte_layout.h"
#include "firmware/table_writing.h"

namespace kv {
namespace {

constexpr std::uint16_t kProbePage = 8;
constexpr std::uint32_t kProbeSectors = 8;
constexpr std::uint16_t kLtsPage = 2;
constexpr std::size_t kRecordPageOffset = 808;
constexpr std::size_t kSerialOffset = 24;
constexpr std::size_t kSerialArea = 1040;
constexpr std::int64_t kSearchStepWaitMs = 10;

bool HasMagic(std::span<const std::uint8_t> page, const char* magic) {
    return page.size() >= 4 && std::memcmp(page.data(), magic, 4) == 0;
}

// One page of channel 0, bank 0, with the RDT page read.
bool ReadRecordPage(int port, int block, int page, std::span<std::uint8_t> into,
                    std::uint32_t sectors) {
    FlashAddress address;
    address.Channel = 0;
    address.Block = static_cast<std::uint16_t>(block);
    address.Page = static_cast<std::uint16_t>(page);
    return VC_FLH_ReadPageRdt(port, address, into.data(), sectors) == kCommandOk;
}

}  // namespace

int RdtVerdictOfHeader(std::span<const std::uint8_t> page) {
    if (page.size() < 7) {
        return kRdtNoRecord;
    }
    const std::uint8_t flags = page[6];
    if (flags & 0x01) {
        return kRdtFlagBit0;
    }
    if (flags & 0x02) {
        return kRdtFlagBit1;
    }
    if (flags & 0x04) {
        return kRdtFlagBit2;
    }
    if (flags & 0x20) {
        return kRdtFlagBit5;
    }
    return kRdtPass;
}

int LtsVerdictOfPage(std::span<const std::uint8_t> page) {
    if (page.size() < 5) {
        return kLtsNoRecord;
    }
    const std::uint8_t progress = page[4];
    if ((progress & 3) != 3) {
        return kLtsNotRun;
    }
    if ((progress & 4) == 0) {
        return kLtsNotPassed;
    }
    return kRdtPass;
}

int RdtSearchFloor(int blocksPerCe) {
    return (blocksPerCe * 9 + 9) / 10;
}

std::string RdtSerialText(std::span<const std::uint8_t> page) {
    if (page.size() <= kSerialOffset) {
        return "";
    }
    const std::size_t area = std::min(kSerialArea, page.size() - kSerialOffset);
    const char* at = reinterpret_cast<const char*>(page.data() + kSerialOffset);
    const std::size_t n = std::min(::strnlen(at, area), kRdtSerialCapacity);
    return std::string(at, n);
}

RdtCheckResult CheckRdtResult(int port, std::span<std::uint8_t> /*workBuffer*/,
                              const ProcedureContext& ctx, const std::string& expectedSerial,
                              bool ltsMode) {
    RdtCheckResult result;
    result.Verdict = ltsMode ? kLtsNoRecord : kRdtNoRecord;
    const FlashConfig& flash = ctx.flash;
    std::uint8_t execFlags = 0;
    if (flash.SectorsPerPage == 0 || !RunGdpProgram(port, ctx, execFlags)) {
        return result;
    }
    SetVaFlashGeometry(port, VaGeometryOf(flash));
    const std::uint32_t pageSectors = flash.SectorsPerPage;
    std::vector<std::uint8_t> page(std::max<std::size_t>(pageSectors, kProbeSectors) * 512, 0);
    if (!ReadRecordPage(port, 0, kProbePage, page, kProbeSectors)) {
        return result;
    }
    const int floor = RdtSearchFloor(flash.BlocksPerCe);
    for (int b = flash.BlocksPerCe + flash.ExtendBlocks - 1; b >= 0 && b >= floor; --b) {
        if (!PortWait(port, kSearchStepWaitMs)) {
            return result;
        }
        VA_SetVendorFeature(port, false);
        VA_SetVendorFeature(port, true);
        if (ltsMode) {
            if (!ReadRecordPage(port, b, kLtsPage, page, 1)) {
                break;
            }
            if (!HasMagic(page, "LTSM")) {
                continue;
            }
            result.Verdict = LtsVerdictOfPage(page);
            result.Passed = result.Verdict == kRdtPass;
            break;
        }
        if (!ReadRecordPage(port, b, 0, page, pageSectors)) {
            break;
        }
        if (!HasMagic(page, "RDTM")) {
            continue;
        }
        const int verdict = RdtVerdictOfHeader(page);
        if (verdict != kRdtPass) {
            result.Verdict = verdict;
            break;
        }
        // The copy of the header in the block's last page shows the record
        // set is complete; without it the search goes on.
        if (!ReadRecordPage(port, b, flash.PagesPerBlock - 1, page, pageSectors) ||
            !HasMagic(page, "RDTM")) {
            continue;
        }
        const std::uint16_t recordPage = Le16(page.data() + kRecordPageOffset);
        if (!ReadRecordPage(port, b, recordPage, page, pageSectors)) {
            break;
        }
        result.Verdict = kRdtPass;
        result.Passed = true;
        result.SerialText = RdtSerialText(page);
        OutputDbgMsg(kRdtSerialLogFormat, result.SerialText.c_str());
        if (ctx.settings.EnNoCheckRDTSn == 0 &&
            expectedSerial.compare(0, result.SerialText.size(), result.SerialText) != 0) {
            result.Verdict = kRdtSerialMismatch;
        }
        break;
    }
    return result;
}

}  // namespace kv
