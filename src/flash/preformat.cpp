#include "flash/preformat.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "device/port_device.h"
#include "device/vendor_access.h"
#include "device/vendor_commands.h"
#include "firmware/byte_layout.h"
#include "firmware/debug_dump.h"
#include "flash/flash_scan.h"
#include "flash/flash_scan_stores.h"

namespace kv {
namespace {

constexpr char kDumpEraseCountImageFormat[] = "A1_%2.2x_%2.2x.raw";
constexpr char kDumpEraseCountSentFormat[] = "A2_%2.2x_%2.2x.raw";
constexpr char kDumpSmart[] = "Smart.raw";

// The erase-count image: a size word, then the data from byte 4.
constexpr std::size_t kEraseCountDataOffset = 4;
// What one erase-count write can carry.
constexpr std::uint32_t kMaxEraseCountSectors = 127;

// Hands the erase counts read before the run back to the drive.
void RestoreEraseCounts(int port, std::span<std::uint8_t> workBuffer, const PortSaveAreas& saved) {
    char name[32];
    std::snprintf(name, sizeof name, kDumpEraseCountImageFormat, 0, 0);
    WriteDebugDump(name, saved.EraseCount.data(), saved.EraseCount.size());
    const std::uint32_t room = static_cast<std::uint32_t>(
        std::min(workBuffer.size(), saved.EraseCount.size() - kEraseCountDataOffset) / 512);
    const std::uint32_t sectors =
        std::min<std::uint32_t>({static_cast<std::uint32_t>(Le16(saved.EraseCount.data()) >> 7),
                                 kMaxEraseCountSectors, room});
    const std::size_t bytes = static_cast<std::size_t>(sectors) * 512;
    std::copy_n(saved.EraseCount.begin() + kEraseCountDataOffset, bytes, workBuffer.begin());
    std::snprintf(name, sizeof name, kDumpEraseCountSentFormat, 0, 0);
    WriteDebugDump(name, workBuffer.data(), bytes);
    VC_GDP_WriteEraseCount(port, 0, 0, workBuffer.data(), sectors);
}

void RestoreSmart(int port, std::span<std::uint8_t> workBuffer, PortSaveAreas& saved) {
    std::copy(saved.Smart.begin(), saved.Smart.end(), workBuffer.begin());
    VC_GDP_WriteSmartInfo(port, workBuffer.data(), 1);
    WriteDebugDump(kDumpSmart, workBuffer.data(), saved.Smart.size());
    saved.SmartSaved = false;
}

}  // namespace

std::uint8_t PreFormatFlags(std::uint8_t execFlags, const PreFormatOptions& options,
                            bool keepFlag) {
    std::uint8_t flags = execFlags | kExecPreFormat;
    if (options.EraseSearch) {
        flags |= kExecErase;
    }
    if (options.FactoryPlusNew) {
        flags |= kExecKeepGrownBad;
    }
    if (options.RepairUsed) {
        flags |= kExecRepair;
    }
    if (keepFlag) {
        flags |= kExecKeepPrevious;
    }
    return flags;
}

bool PreFormat(int port, std::span<std::uint8_t> workBuffer, const ProcedureContext& ctx,
               const PreFormatOptions& options) {
    if (workBuffer.size() < kScanReportSize) {
        return false;
    }
    std::uint8_t execFlags = 0;
    if (!RunGdpProgram(port, ctx, execFlags)) {
        return false;
    }
    std::uint8_t status = 0;
    if (options.EraseSearch &&
        !VA_GDP_ExecProg(port, kGdpEraseProgram, execFlags | kExecErase, status, false)) {
        return false;
    }
    const std::uint8_t flags = PreFormatFlags(execFlags, options, FlashStoresOf(port).KeepFlag);

    PortSaveAreas* saved = PortDeviceTable().SaveAreas(port);
    if (saved != nullptr && ctx.settings.EnKeepEraseCount != 0) {
        RestoreEraseCounts(port, workBuffer, *saved);
    }
    if (saved != nullptr && ctx.settings.EnKeepSmartInfo != 0) {
        RestoreSmart(port, workBuffer, *saved);
    }

    if (!VA_GDP_ExecProg(port, kGdpPreFormatProgram, flags, status, true)) {
        return false;
    }
    if (status == kGdpPreFormatDone) {
        return true;
    }
    std::fill_n(workBuffer.data(), kScanReportSize, std::uint8_t{0});
    VC_GDP_GetResult(port, workBuffer.data());
    return false;
}

bool RebuildBadBlock(int port, std::span<std::uint8_t> workBuffer, const ProcedureContext& ctx,
                     bool useOldProgram) {
    if (!GetCodeBlocks(port, workBuffer, ctx)) {
        return false;
    }
    std::uint8_t execFlags = 0;
    const bool loaded = useOldProgram ? RunOldGdpProgram(port, ctx, execFlags)
                                      : RunGdpProgram(port, ctx, execFlags);
    std::uint8_t status = 0;
    return loaded && VA_GDP_ExecProg(port, kGdpRebuildProgram, execFlags, status, true) &&
           status == kGdpRebuildDone;
}

}  // namespace kv
