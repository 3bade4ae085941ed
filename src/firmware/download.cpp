#include "firmware/download.h"

#include <algorithm>
#include <cstdio>

#include "device/debug_log.h"
#include "device/vendor_access.h"
#include "device/vendor_access_boolean_forms.h"
#include "device/vendor_block.h"
#include "firmware/byte_layout.h"
#include "firmware/debug_dump.h"
#include "firmware/download_collection.h"
#include "firmware/dump_names.h"
#include "firmware/table_signatures.h"
#include "firmware/table_writing.h"
#include "flash/flash_scan.h"
#include "flash/flash_scan_stores.h"

namespace kv {
namespace {

constexpr std::uint8_t kVendorModeKeepState = 10;
constexpr std::size_t kGenerationOffset = 44;
constexpr std::size_t kResultDumpBytes = 512;

void DumpNumbered(const char* format, int value, std::span<const std::uint8_t> data) {
    char name[40];
    std::snprintf(name, sizeof name, format, value);
    WriteDebugDump(name, data.data(), data.size());
}

// A serial number made safe as part of a file name.
std::string FileNameText(const std::string& text) {
    std::string out = text;
    for (char& c : out) {
        if (c == '/' || c == '\\' || c == ':' || c == '*' || c == '?' || c == '"' || c == '<' ||
            c == '>' || c == '|' || static_cast<unsigned char>(c) < 0x20) {
            c = '_';
        }
    }
    return out;
}

class Collector {
  public:
    Collector(int port, std::span<std::uint8_t> workBuffer, const ProcedureContext& ctx)
        : port_(port),
          work_(workBuffer),
          ctx_(ctx),
          setBytes_(PageSetBytes(ctx.flash)),
          sliceBytes_(static_cast<std::size_t>(ctx.flash.SectorsPerPage) * 512),
          page_(setBytes_, 0) {
        collection_.reserve(setBytes_ * static_cast<std::size_t>(kMaxCollectionPageSets));
    }

    // The first code block (in collection order) whose page reads, and for
    // signed pages carries its signature on every channel.
    bool Collect(int page, bool checkSignature) {
        const int blocks =
            std::min<int>(FlashStoresOf(port_).Image.CodeBlocks.Count, kMaxCodeBlocks);
        for (int index : kCollectionBlockOrder) {
            if (index >= blocks ||
                !ReadPageOfBlock(port_, ctx_, page_, index, static_cast<std::uint16_t>(page))) {
                continue;
            }
            if (checkSignature) {
                const int bad = FirstUnsignedSlice(page_, sliceBytes_, ctx_.flash.Channels, page);
                if (bad >= 0) {
                    PutDamagedTableRecord(
                        work_, page, bad,
                        std::span<const std::uint8_t>(page_).subspan(
                            static_cast<std::size_t>(bad) * sliceBytes_, sliceBytes_));
                    continue;
                }
            }
            DumpNumbered(kDumpCollectedPageFormat, page, page_);
            DumpNumbered(kDumpCollectedCodePageFormat, page, page_);
            collection_.insert(collection_.end(), page_.begin(), page_.end());
            return true;
        }
        return false;
    }

    std::span<const std::uint8_t> PageSet(int index) const {
        const std::size_t at = static_cast<std::size_t>(index) * setBytes_;
        if (at + setBytes_ > collection_.size()) {
            return {};
        }
        return std::span<const std::uint8_t>(collection_).subspan(at, setBytes_);
    }
    const std::vector<std::uint8_t>& Bytes() const { return collection_; }
    std::size_t SliceBytes() const { return sliceBytes_; }

  private:
    int port_;
    std::span<std::uint8_t> work_;
    const ProcedureContext& ctx_;
    std::size_t setBytes_;
    std::size_t sliceBytes_;
    std::vector<std::uint8_t> page_;
    std::vector<std::uint8_t> collection_;
};

bool CollectTables(Collector& collector, const SettingsBlock& settings) {
    for (int page = 1; page <= kCollectedTablePages; ++page) {
        if (!TablePageInUse(page, settings)) {
            continue;
        }
        const bool signedPage = TableSignature(page) != nullptr;
        if (!collector.Collect(page, signedPage)) {
            return false;
        }
    }
    for (std::uint16_t page : kExtraTablePages) {
        if (!collector.Collect(page, false)) {
            return false;
        }
    }
    return true;
}

// After the code blocks are erased the program writes with the UDMA carrier
// again, unless the bridge carries PIO only.
void RestoreBusModeAfterCommit() {
    if (VendorBusMode() == 1) {
        SetVendorBusMode(2);
    }
    if (KeepVendorBusMode1()) {
        SetVendorBusMode(1);
    }
}

}  // namespace

bool DownloadFirmware(int port, std::span<std::uint8_t> workBuffer, const ProcedureContext& ctx,
                      const DownloadRequest& request) {
    const FlashConfig& flash = ctx.flash;
    if (PageSetBytes(flash) == 0 || workBuffer.size() < kScanReportSize) {
        return false;
    }
    // The files must fit the system area before anything is sent.
    FirmwarePageLayout layout;
    std::string layoutError;
    if (!LayoutOfFiles(ctx, request.Files, layout, &layoutError)) {
        std::printf(kFirmwareLayoutFailFormat, layoutError.c_str());
        OutputDbgMsg(kFirmwareLayoutFailFormat, layoutError.c_str());
        return false;
    }

    SetVaFlashGeometry(port, VaGeometryOf(flash));
    std::uint8_t info[kCtrlInfoSize] = {};
    if (!VA_EnableVendorCmd(port, kVendorModeKeepState) || !va::VC_SYS_GetCtrlInfo(port, info)) {
        return false;
    }
    std::copy(std::begin(info), std::end(info), workBuffer.begin());
    const std::uint16_t generation = Le16(info + kGenerationOffset);
    std::uint8_t execFlags = 0;
    if (!RunGdpProgram(port, ctx, execFlags, request.MemoryBase)) {
        return false;
    }

    Collector collector(port, workBuffer, ctx);
    if (!CollectTables(collector, ctx.settings)) {
        return false;
    }
    WriteDebugDump(kDumpCollection, collector.Bytes().data(), collector.Bytes().size());

    PortImageState& image = FlashStoresOf(port).Image;
    BankMapLayout bankMap;
    if (!request.Files.empty()) {
        const SystemFirmwareInfo header = ReadSystemFirmwareInfo(request.Files.front().Path);
        bankMap = BankMapLayoutFor(header.ModelCode, header.FormatCode);
    }
    AdoptSystemParameterPage(collector.PageSet(SystemParameterPageSetIndex(ctx.settings)),
                             collector.SliceBytes(), flash, bankMap, image);
    image.DefectCount = 0;
    if (!request.DownloadOnly) {
        image.DefectCount = CountEarlyTableDefects(collector.PageSet(kEarlyTablePageSetIndex),
                                                   collector.SliceBytes(), flash.Channels);
    }

    if (!CommitCodeBlocks(port, workBuffer, ctx, kExecRepair)) {
        return false;
    }
    RestoreBusModeAfterCommit();

    SystemAreaInput input;
    input.Generation = NextTableGeneration(generation);
    input.SerialNumber = request.SerialNumber;
    input.WwnText = request.WwnText;
    input.Collection = collector.Bytes();
    input.Files = request.Files;
    input.Layout = &layout;
    if (!WriteTables(port, ctx, input)) {
        return false;
    }
    if (DumpDebugFileOn() && !ReadBackFirmwarePages(port, ctx, layout)) {
        return false;
    }

    if (!va::VC_GDP_GetResult(port, workBuffer.data())) {
        return false;
    }
    if (workBuffer[0] != 0) {
        char name[80];
        std::snprintf(name, sizeof name, kDumpDownloadResultFormat,
                      FileNameText(request.SerialNumber).c_str());
        WriteDebugDump(name, workBuffer.data(), kResultDumpBytes);
        return false;
    }
    return true;
}

}  // namespace kv
