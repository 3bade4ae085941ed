#include "flash/later_table.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include "firmware/byte_layout.h"
#include "firmware/debug_dump.h"
#include "firmware/defect_table.h"
#include "firmware/dump_names.h"
#include "firmware/table_signatures.h"
#include "flash/flash_scan_pages.h"
#include "flash/flash_scan_stores.h"
#include "flash/later_table_text.h"

namespace kv {
namespace {

// The system parameter page after its signature: u16 word 0 is the
// later-table block of bank 0 die 0, word 2 the base block of the others.
constexpr std::size_t kSysWord0 = kTableSignatureSize;
constexpr std::size_t kSysWord2 = kTableSignatureSize + 4;
constexpr std::size_t kSysEntrySize = 4;

std::size_t SliceBytes(const FlashConfig& flash) {
    return static_cast<std::size_t>(flash.SectorsPerPage) * 512;
}

std::span<std::uint8_t> Slice(std::vector<std::uint8_t>& pageSet, const FlashConfig& flash,
                              int channel) {
    return std::span<std::uint8_t>(pageSet).subspan(
        static_cast<std::size_t>(channel) * SliceBytes(flash), SliceBytes(flash));
}

bool AnySliceCarriesLaterTable(std::vector<std::uint8_t>& pageSet, const FlashConfig& flash) {
    for (int c = 0; c < flash.Channels; ++c) {
        if (HasLaterTableSignature(Slice(pageSet, flash, c))) {
            return true;
        }
    }
    return false;
}

// Scans the table pages of one later-table block; the newest slice of each
// channel ends in `collection`. `lastPage` is the last page read.
bool CollectLaterTables(int port, const FlashConfig& flash, std::uint8_t chipEnable,
                        std::uint16_t block, std::vector<std::uint8_t>& collection,
                        std::uint16_t& lastPage) {
    std::vector<std::uint8_t> pageSet = NewPageSet(flash);
    lastPage = 0;
    for (std::uint16_t page = 1; page < flash.PagesPerBlock; ++page) {
        if (!ReadPageSet(port, flash, chipEnable, block, page, pageSet)) {
            return false;
        }
        lastPage = page;
        if (!AnySliceCarriesLaterTable(pageSet, flash)) {
            break;
        }
        for (int c = 0; c < flash.Channels; ++c) {
            const auto slice = Slice(pageSet, flash, c);
            if (HasLaterTableSignature(slice)) {
                std::copy(slice.begin(), slice.end(), Slice(collection, flash, c).begin());
            }
        }
    }
    return true;
}

bool WriteText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    return static_cast<bool>(out);
}

bool ReadText(const std::string& path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

bool AllErased(const std::vector<std::uint8_t>& pageSet) {
    return std::all_of(pageSet.begin(), pageSet.end(), [](std::uint8_t b) { return b == 0xFF; });
}

// Gives one code block a new system parameter page. The block's other pages
// are read first and written back after the erase, so the info page, the
// tables and the firmware stay where they were.
bool RewriteSystemPage(int port, const ProcedureContext& ctx, std::uint16_t block,
                       const std::vector<std::uint8_t>& systemPage) {
    const FlashConfig& f = ctx.flash;
    const std::uint8_t ce = CodeChipEnable(f);
    std::vector<std::vector<std::uint8_t>> pages(f.PagesPerBlock);
    for (std::uint16_t p = 0; p < f.PagesPerBlock; ++p) {
        pages[p] = NewPageSet(f);
        if (!ReadPageSet(port, f, ce, block, p, pages[p])) {
            return false;
        }
    }
    if (!EraseBlockAllChannels(port, f, ce, block)) {
        return false;
    }
    for (std::uint16_t p = 0; p < f.PagesPerBlock; ++p) {
        const std::vector<std::uint8_t>& data = p == kSystemParameterPage ? systemPage : pages[p];
        if (p != kSystemParameterPage && AllErased(data)) {
            continue;
        }
        if (!WriteTablePageSet(port, f, ctx.settings, ce, block, p, data)) {
            return false;
        }
    }
    return true;
}

std::vector<std::uint8_t> BuildSystemPage(const FlashConfig& flash, const LaterTableText& text) {
    std::vector<std::uint8_t> pageSet(ToolPageSetBytes(flash), 0xFF);
    for (int c = 0; c < flash.Channels; ++c) {
        const auto slice = Slice(pageSet, flash, c);
        PutTableSignature(slice, kSystemParameterPage);
        std::size_t at = kSysWord0;
        for (const LaterTableUnit& unit : text.Units) {
            if (at + kSysEntrySize > slice.size()) {
                break;
            }
            PutLe16(slice.data() + at, unit.Block);
            at += kSysEntrySize;
        }
    }
    return pageSet;
}

bool WriteUnitTable(int port, const ProcedureContext& ctx, const LaterTableUnit& unit, bool last) {
    const FlashConfig& f = ctx.flash;
    std::vector<std::uint8_t> pageSet(ToolPageSetBytes(f), 0xFF);
    for (const LaterTableChannel& channel : unit.Channels) {
        BuildLaterTableSlice(channel, Slice(pageSet, f, channel.Channel));
    }
    const std::uint8_t ce = f.FwBankSet[unit.Bank];
    WriteDebugDump(last ? kDumpLaterTablePut2 : kDumpLaterTablePut1, pageSet.data(),
                   pageSet.size());
    return EraseBlockAllChannels(port, f, ce, unit.Block) &&
           WriteTablePageSet(port, f, ctx.settings, ce, unit.Block, kLaterTablePage, pageSet);
}

}  // namespace

bool GetLaterTable(int port, std::span<std::uint8_t> /*workBuffer*/, const ProcedureContext& ctx,
                   const std::string& textPath, int formatCode) {
    const FlashConfig& f = ctx.flash;
    const CodeBlockList& blocks = FlashStoresOf(port).Image.CodeBlocks;
    std::uint8_t execFlags = 0;
    if (blocks.Count == 0 || ToolPageSetBytes(f) == 0 || !RunGdpProgram(port, ctx, execFlags)) {
        return false;
    }
    UseFlashGeometry(port, f);
    std::vector<std::uint8_t> systemPage = NewPageSet(f);
    if (!ReadPageSet(port, f, CodeChipEnable(f), blocks.Blocks[0], kSystemParameterPage,
                     systemPage) ||
        !HasTableSignature(Slice(systemPage, f, 0), kSystemParameterPage)) {
        return false;
    }
    const std::uint16_t word0 = Le16(systemPage.data() + kSysWord0);
    const std::uint16_t word2 = Le16(systemPage.data() + kSysWord2);

    std::string text;
    if (IsVersionedTableFormat(formatCode)) {
        char version[8];
        std::snprintf(version, sizeof version, "V#%d", formatCode);
        text += version;
    }
    text += "\r\n";
    const int banks = std::min<int>(f.Banks, 8);
    const int dies = std::max<int>(f.Dies, 1);
    for (int b = 0; b < banks; ++b) {
        for (int d = 0; d < dies; ++d) {
            const std::uint16_t block =
                b == 0 && d == 0 ? word0
                                 : static_cast<std::uint16_t>((d % dies) * f.DieOffset + word2);
            char line[32];
            std::snprintf(line, sizeof line, "B#0%d\r\nD#0%d\r\nS#%4.4X\r\n", b, d % 10,
                          static_cast<unsigned>(block));
            text += line;
            std::vector<std::uint8_t> collection = NewPageSet(f);
            std::uint16_t lastPage = 0;
            if (!CollectLaterTables(port, f, f.FwBankSet[b], block, collection, lastPage)) {
                return false;
            }
            for (int c = 0; c < f.Channels; ++c) {
                AppendLaterTableChannel(text, c, Slice(collection, f, c));
            }
            char name[48];
            std::snprintf(name, sizeof name, kDumpLaterTableGetFormat, b, d, lastPage);
            WriteDebugDump(name, collection.data(), collection.size());
            const int slot = LaterTableSlot(b, d);
            if (slot >= 0) {
                FlashStoresOf(port).LaterStore[static_cast<std::size_t>(slot)] = collection;
            }
        }
    }
    return WriteText(textPath, text);
}

bool PutLaterTable(int port, std::span<std::uint8_t> /*workBuffer*/, const ProcedureContext& ctx,
                   const std::string& textPath, std::string* error) {
    const FlashConfig& f = ctx.flash;
    const CodeBlockList blocks = FlashStoresOf(port).Image.CodeBlocks;
    std::string content;
    if (!ReadText(textPath, content)) {
        if (error != nullptr) {
            *error = "cannot read " + textPath;
        }
        return false;
    }
    // The whole text is checked before the drive is touched.
    LaterTableText text;
    if (!ParseLaterTableText(content, LaterTableGeometryOf(f), text, error)) {
        return false;
    }
    std::uint8_t execFlags = 0;
    if (blocks.Count == 0 || !RunGdpProgram(port, ctx, execFlags)) {
        return false;
    }
    UseFlashGeometry(port, f);
    const std::vector<std::uint8_t> systemPage = BuildSystemPage(f, text);
    for (int i = 0; i < blocks.Count; ++i) {
        if (!RewriteSystemPage(port, ctx, blocks.Blocks[i], systemPage)) {
            return false;
        }
    }
    for (std::size_t i = 0; i < text.Units.size(); ++i) {
        if (!WriteUnitTable(port, ctx, text.Units[i], i + 1 == text.Units.size())) {
            return false;
        }
    }
    return true;
}

}  // namespace kv
