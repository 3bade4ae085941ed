#include "firmware/upload.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "device/vendor_block.h"
#include "firmware/debug_dump.h"
#include "firmware/dump_names.h"
#include "firmware/low_page_sequence.h"
#include "firmware/table_writing.h"
#include "flash/flash_scan_stores.h"

namespace kv {
namespace {

constexpr int kNormalTablePages = 8;      // pages 0..7
constexpr int kLowPageTableEntries = 10;  // sequence entries 0..9

std::vector<std::uint16_t> TablePagesToRead(const ProcedureContext& ctx) {
    std::vector<std::uint16_t> pages;
    if (CodeBlockLowPageMode(ctx.settings, ctx.flash.PageMapType)) {
        const PageSequence sequence = LowPageSequence(ctx.flash.PageMapType);
        pages.assign(sequence.begin(), sequence.begin() + kLowPageTableEntries);
    } else {
        for (int p = 0; p < kNormalTablePages; ++p) {
            pages.push_back(static_cast<std::uint16_t>(p));
        }
    }
    return pages;
}

}  // namespace

bool UploadFirmware(int port, std::span<std::uint8_t> /*workBuffer*/, const ProcedureContext& ctx,
                    std::span<const FirmwareFileEntry> files) {
    std::uint8_t execFlags = 0;
    if (PageSetBytes(ctx.flash) == 0 || !RunGdpProgram(port, ctx, execFlags)) {
        return false;
    }
    if (VendorBusMode() == 1) {
        SetVendorBusMode(2);
    }
    if (KeepVendorBusMode1()) {
        SetVendorBusMode(1);
    }
    FirmwarePageLayout layout;
    if (!LayoutOfFiles(ctx, files, layout, nullptr)) {
        return false;
    }

    SetDumpDebugFile(true);
    std::vector<std::uint8_t> pageSet(PageSetBytes(ctx.flash), 0);
    const int blocks = std::min<int>(FlashStoresOf(port).Image.CodeBlocks.Count, kMaxCodeBlocks);
    for (std::uint16_t page : TablePagesToRead(ctx)) {
        for (int j = 0; j < blocks; ++j) {
            if (!ReadPageOfBlock(port, ctx, pageSet, j, page)) {
                return false;
            }
            char name[40];
            std::snprintf(name, sizeof name, kDumpTableReadBackFormat, j, static_cast<int>(page));
            WriteDebugDump(name, pageSet.data(), pageSet.size());
        }
    }
    return ReadBackFirmwarePages(port, ctx, layout);
}

}  // namespace kv
