#include "flash/defect_table_io.h"

#include <cstdio>
#include <vector>

#include "device/vendor_access_wait.h"
#include "firmware/debug_dump.h"
#include "firmware/defect_table.h"
#include "firmware/dump_names.h"
#include "firmware/firmware_page_layout.h"
#include "firmware/info_page.h"
#include "firmware/table_signatures.h"
#include "flash/flash_scan.h"
#include "flash/flash_scan_pages.h"
#include "flash/flash_scan_stores.h"

namespace kv {
namespace {

// Option bytes of the page kinds the tool writes.
constexpr std::uint8_t kInfoPageEccMode = 3;
constexpr std::uint8_t kInfoPageFlags = 1;

bool WriteInfoPages(int port, const ProcedureContext& ctx, const CodeBlockList& blocks) {
    std::vector<std::uint8_t> pageSet = NewPageSet(ctx.flash);
    FirmwarePageLayout layout;
    layout.FirstFirmwarePage = FirstFirmwarePage(ctx.flash, ctx.settings);
    const ImageContext imageCtx{ctx.flash, ctx.settings, ctx.process};
    if (!BuildInfoPage(imageCtx, blocks, layout, kPutDefectTableGeneration, pageSet)) {
        return false;
    }
    for (int i = 0; i < blocks.Count; ++i) {
        SetInfoPageBlockNumber(pageSet, blocks.Blocks[i]);
        if (!WritePageSet(port, ctx.flash, CodeChipEnable(ctx.flash), blocks.Blocks[i], 0,
                          kInfoPageEccMode, kInfoPageFlags, EccFrameSectors(ctx.flash), pageSet)) {
            return false;
        }
    }
    return true;
}

bool WriteDefectPages(int port, const ProcedureContext& ctx, const CodeBlockList& blocks,
                      const std::vector<std::uint8_t>& pageSet) {
    for (int i = 0; i < blocks.Count; ++i) {
        if (!WriteTablePageSet(port, ctx.flash, ctx.settings, CodeChipEnable(ctx.flash),
                               blocks.Blocks[i], kDefectTablePage, pageSet)) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool GetDefectTable(int port, std::span<std::uint8_t> /*workBuffer*/, const ProcedureContext& ctx,
                    const std::string& textPath, int formatCode) {
    const CodeBlockList& blocks = FlashStoresOf(port).Image.CodeBlocks;
    std::vector<std::uint8_t> pageSet = NewPageSet(ctx.flash);
    std::uint8_t execFlags = 0;
    bool done = blocks.Count > 0 && !pageSet.empty() && RunGdpProgram(port, ctx, execFlags);
    if (done) {
        UseFlashGeometry(port, ctx.flash);
        done = ReadPageSet(port, ctx.flash, CodeChipEnable(ctx.flash), blocks.Blocks[0],
                           kDefectTablePage, pageSet);
    }
    if (done) {
        WriteDebugDump(kDumpDefectTableGet, pageSet.data(), pageSet.size());
        done =
            DefectTableToTextFile(pageSet, DefectTableGeometryOf(ctx.flash), textPath, formatCode);
    }
    if (!done) {
        // A failed get leaves no text behind that could be put back later.
        std::remove(textPath.c_str());
    }
    return done;
}

bool PutDefectTable(int port, std::span<std::uint8_t> workBuffer, const ProcedureContext& ctx,
                    const std::string& textPath, int formatCode, std::string* error) {
    const CodeBlockList blocks = FlashStoresOf(port).Image.CodeBlocks;
    if (blocks.Count == 0 || ToolPageSetBytes(ctx.flash) == 0) {
        if (error != nullptr) {
            *error = "no code blocks";
        }
        return false;
    }
    // The whole text is checked before the drive is touched.
    std::vector<std::uint8_t> table = NewPageSet(ctx.flash);
    if (!TextFileToDefectTable(textPath, DefectTableGeometryOf(ctx.flash), formatCode, table,
                               error)) {
        return false;
    }
    if (!CommitCodeBlocks(port, workBuffer, ctx, kExecRepair)) {
        return false;
    }
    UseFlashGeometry(port, ctx.flash);
    if (!WriteInfoPages(port, ctx, blocks)) {
        return false;
    }
    WriteDebugDump(kDumpDefectTablePut, table.data(), table.size());
    if (!WriteDefectPages(port, ctx, blocks, table)) {
        return false;
    }
    PortWait(port, kPutDefectTableSettleMs);
    return CommitCodeBlocks(port, workBuffer, ctx, 0);
}

}  // namespace kv
