// The code-block items: the drive's code block list, the erase before a
// scan and the commit (erase) of the code blocks.
#include <algorithm>

#include "device/vendor_access.h"
#include "device/vendor_commands.h"
#include "firmware/byte_layout.h"
#include "flash/flash_scan.h"
#include "flash/flash_scan_stores.h"

namespace kv {
namespace {

// Item 9 of the enable list: "Upload".
constexpr int kUploadItem = 9;
constexpr std::uint16_t kNoBlock = 0xFFFF;

}  // namespace

bool GetCodeBlocks(int port, std::span<std::uint8_t> workBuffer, const ProcedureContext& ctx) {
    if (workBuffer.size() < kScanReportSize) {
        return false;
    }
    std::uint8_t execFlags = 0;
    if (!RunGdpProgram(port, ctx, execFlags) ||
        VC_GDP_GetSysBlocks(port, workBuffer.data(), 1) != kCommandOk) {
        return false;
    }
    // Distinct numbers in the order the program gives them; duplicates are
    // left out rather than leaving a gap in the list.
    CodeBlockList list;
    std::fill(std::begin(list.Blocks), std::end(list.Blocks), kNoBlock);
    for (int i = 0; i < kMaxCodeBlocks; ++i) {
        const std::uint16_t v = Le16(workBuffer.data() + i * 2);
        if (v == kNoBlock) {
            break;
        }
        if (std::find(list.Blocks, list.Blocks + list.Count, v) == list.Blocks + list.Count) {
            list.Blocks[list.Count++] = v;
        }
    }
    if (list.Count < kMaxCodeBlocks) {
        std::fill_n(workBuffer.data(), kScanReportSize, std::uint8_t{0});
        VC_GDP_GetResult(port, workBuffer.data());
        if (ctx.settings.ItemEnabled[kUploadItem] == 0) {
            FlashStoresOf(port).Image.CodeBlocks = list;
            return false;
        }
        for (int i = 0; i < kMaxCodeBlocks; ++i) {
            list.Blocks[i] = static_cast<std::uint16_t>(i);
        }
        list.Count = kMaxCodeBlocks;
    }
    FixUpCodeBlockList(list);
    FlashStoresOf(port).Image.CodeBlocks = list;
    return true;
}

bool EraseBlocks(int port, std::span<std::uint8_t> /*workBuffer*/, const ProcedureContext& ctx) {
    std::uint8_t execFlags = 0;
    std::uint8_t status = 0;
    return RunGdpProgram(port, ctx, execFlags) &&
           VA_GDP_ExecProg(port, kGdpEraseProgram, execFlags | kExecErase, status, false) &&
           status == kGdpEraseDone;
}

bool CommitCodeBlocks(int port, std::span<std::uint8_t> /*workBuffer*/, const ProcedureContext& ctx,
                      std::uint8_t extraFlags) {
    std::uint8_t execFlags = 0;
    std::uint8_t status = 0;
    return RunGdpProgram(port, ctx, execFlags) &&
           VA_GDP_ExecProg(port, kGdpEraseProgram, execFlags | extraFlags, status, true) &&
           status == kGdpEraseDone;
}

}  // namespace kv
