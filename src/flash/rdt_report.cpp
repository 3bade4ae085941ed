#include "flash/rdt_report.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdio>
#include <span>
#include <vector>

#include "device/debug_log.h"
#include "device/port_device.h"
#include "device/transport.h"
#include "device/vendor_access.h"
#include "device/vendor_access_wait.h"
#include "firmware/debug_dump.h"
#include "firmware/table_writing.h"
#include "flash/rdt_report_tree.h"
#include "platform/paths.h"

namespace kv {
namespace {

constexpr std::int64_t kSearchWaitMs = 10;

constexpr char kRootFailed[] = "Cannot create root directory.";
constexpr char kResultFailed[] = "Cannot create result directory.";
constexpr char kCategoryFailed[] = "Cannot create category directory.";
constexpr char kSsdFailed[] = "Cannot create ssd directory.";
constexpr char kFactoryFailed[] = "Cannot create factory directory.";
constexpr char kLogFailed[] = "Cannot create log directory.";
constexpr char kRdtReadFailed[] = "RDT Page read: fail. Block:%u  Page:%u";
constexpr char kFactoryReadFailed[] = "Factory Page read: fail. Block:%u  Page:%u";
constexpr char kErrorReadFailed[] = "Error Page read: fail. Block:%u  Page:%u";

constexpr char kDumpDieInfo[] = "DieInfo.raw";
constexpr char kDumpDieRecords[] = "DieInfo2.raw";
constexpr char kDumpFactoryPageFormat[] = "RDT_FACTORY_BB%2.2d.raw";  // page index
constexpr char kDumpErrorPages[] = "ErrorPage.raw";
constexpr char kDumpErrorEntries[] = "ErrorPage2.raw";

// Per port the block the last search found, plus one (0 = none).
std::array<std::atomic<int>, kPortDeviceCount>& RememberedBlocks() {
    static std::array<std::atomic<int>, kPortDeviceCount> blocks{};
    return blocks;
}

std::string PageMessage(const char* format, int block, int page) {
    char text[96];
    std::snprintf(text, sizeof text, format, static_cast<unsigned>(block),
                  static_cast<unsigned>(page));
    return text;
}

// Reads the drive's pages of the record block and keeps what the steps share.
class RecordReader {
  public:
    RecordReader(int port, const ProcedureContext& ctx, bool display, RdtReportOutcome& out)
        : port_(port),
          ctx_(ctx),
          display_(display),
          out_(out),
          page_(static_cast<std::size_t>(ctx.flash.SectorsPerPage) * kSectorSize) {}

    std::size_t pageBytes() const { return page_.size(); }
    int pagesPerBlock() const { return ctx_.flash.PagesPerBlock; }
    std::span<const std::uint8_t> page() const { return page_; }

    void Fail(const std::string& message) {
        if (display_) {
            out_.Message = message;
        }
    }

    // Page `page` of `block` on channel 0, chip enable 0, by the RDT page read.
    bool Read(int block, int page) {
        if (page < 0 || page >= pagesPerBlock()) {
            return false;
        }
        FlashAddress a;
        a.Channel = 0;
        a.Bank = 0;
        a.Block = static_cast<std::uint16_t>(block);
        a.Page = static_cast<std::uint16_t>(page);
        std::fill(page_.begin(), page_.end(), std::uint8_t{0});
        return VA_ReadPages(port_, a, page_, true);
    }

    // Page 0 and the last page both "RDTM": the record block. A failed read
    // leaves its message.
    enum class Probe { Found, NotHere, ReadFailed };
    Probe ProbeBlock(int block, RdtHeader& header) {
        if (!PortWait(port_, kSearchWaitMs)) {
            return Probe::ReadFailed;
        }
        OutputDbgMsg("Block:%u\n", static_cast<unsigned>(block));
        if (!Read(block, 0)) {
            Fail(PageMessage(kRdtReadFailed, block, 0));
            return Probe::ReadFailed;
        }
        if (!HasRdtSignature(page_)) {
            return Probe::NotHere;
        }
        header = DecodeRdtHeader(page_);
        const int last = pagesPerBlock() - 1;
        if (!Read(block, last)) {
            Fail(PageMessage(kRdtReadFailed, block, last));
            return Probe::ReadFailed;
        }
        return HasRdtSignature(page_) ? Probe::Found : Probe::NotHere;
    }

    // The record block: the remembered one first, then from the top down to
    // block 11; -1 when there is none or a read failed.
    int Search(RdtHeader& header) {
        const int top = ctx_.flash.BlocksPerCe + ctx_.flash.ExtendBlocks - 1;
        const int remembered = RememberedRdtBlock(port_);
        if (remembered > kRdtLowestSearchedBlock && remembered <= top) {
            const Probe p = ProbeBlock(remembered, header);
            if (p == Probe::Found) {
                return remembered;
            }
            if (p == Probe::ReadFailed) {
                return -1;
            }
        }
        for (int b = top; b > kRdtLowestSearchedBlock; --b) {
            if (b == remembered) {
                continue;
            }
            const Probe p = ProbeBlock(b, header);
            if (p == Probe::Found) {
                return b;
            }
            if (p == Probe::ReadFailed) {
                return -1;
            }
        }
        return -1;
    }

  private:
    int port_;
    const ProcedureContext& ctx_;
    bool display_;
    RdtReportOutcome& out_;
    std::vector<std::uint8_t> page_;
};

// Start and count of a page run named by the header, kept inside the block.
int PagesInBlock(int start, int count, int pagesPerBlock) {
    if (start < 0 || start >= pagesPerBlock || count <= 0) {
        return 0;
    }
    return std::min(count, pagesPerBlock - start);
}

}  // namespace

int RememberedRdtBlock(int port) {
    return IsPortIndex(port) ? RememberedBlocks()[static_cast<std::size_t>(port)].load() - 1 : -1;
}

void ForgetRdtBlock(int port) {
    if (IsPortIndex(port)) {
        RememberedBlocks()[static_cast<std::size_t>(port)].store(0);
    }
}

RdtReportOutcome ShowRDTResult(int port, bool display, const ProcedureContext& ctx) {
    return ShowRDTResult(port, display, ctx, platform::StationFolder());
}

RdtReportOutcome ShowRDTResult(int port, bool display, const ProcedureContext& ctx,
                               const std::string& stationFolder) {
    RdtReportOutcome out;
    const FlashConfig& flash = ctx.flash;
    const int ceCount = flash.CeCount;
    // A chip-enable count of 0 gives no groups, and a page that cannot hold
    // the record gives no record: nothing is read.
    if (!IsPortIndex(port) || ceCount == 0 || flash.PagesPerBlock == 0 ||
        static_cast<std::size_t>(flash.SectorsPerPage) * kSectorSize < kRdtRecordSize) {
        return out;
    }

    std::uint8_t execFlags = 0;
    if (!RunGdpProgram(port, ctx, execFlags)) {
        return out;
    }
    SetVaFlashGeometry(port, VaGeometryOf(flash));
    RecordReader reader(port, ctx, display, out);

    const std::string root = RdtSubfolder(stationFolder, kRdtLogFolder);
    if (!EnsureRdtFolder(root)) {
        reader.Fail(kRootFailed);
        return out;
    }

    // The record block.
    RdtHeader header;
    const int block = reader.Search(header);
    if (block < 0) {
        return out;
    }
    RememberedBlocks()[static_cast<std::size_t>(port)].store(block + 1);
    out.RecordBlock = block;

    // The record.
    if (!reader.Read(block, header.RecordPage) || !DecodeRdtRecord(reader.page(), out.Record)) {
        reader.Fail(PageMessage(kRdtReadFailed, block, header.RecordPage));
        return out;
    }
    const RdtRecordData& record = out.Record;

    // Verdict, category and the drive's folder.
    const bool ng = record.ErrorFlags != 0;
    out.Verdict = ng ? kRdtNgFolder : kRdtOkFolder;
    out.Category = RdtCategoryText(record.ErrorFlags);
    std::string folder = RdtSubfolder(root, out.Verdict);
    if (!EnsureRdtFolder(folder)) {
        reader.Fail(kResultFailed);
        return out;
    }
    const std::string category = RdtCategoryName(record.ErrorFlags);
    if (ng && !category.empty()) {
        folder = RdtSubfolder(folder, category);
        if (!EnsureRdtFolder(folder)) {
            reader.Fail(kCategoryFailed);
            return out;
        }
    }
    const std::string serial = RdtSerialName(record.Serial);
    out.SerialFolder = RdtSubfolder(folder, serial);
    if (!EnsureRdtFolder(out.SerialFolder)) {
        reader.Fail(kSsdFailed);
        return out;
    }

    // The dies and their groups.
    if (!reader.Read(block, header.DieInfoPage)) {
        reader.Fail(PageMessage(kRdtReadFailed, block, header.DieInfoPage));
        return out;
    }
    const std::vector<RdtDieRecord> dies = DecodeRdtDieRecords(reader.page());
    WriteDebugDump(kDumpDieInfo, reader.page().data(), reader.pageBytes());
    WriteDebugDump(kDumpDieRecords, reader.page().data(), dies.size() * kRdtDieRecordSize);
    const RdtDieGroups groups = GroupRdtDies(dies, ceCount);
    out.GroupPresent = groups.Present;

    // Factory bad blocks, one ".ms0" per group.
    const std::string factory = RdtSubfolder(out.SerialFolder, kRdtFactoryFolder);
    if (!EnsureRdtFolder(factory)) {
        reader.Fail(kFactoryFailed);
        return out;
    }
    std::array<std::string, kRdtGroupCount> ms0;
    for (int g = 0; g < kRdtGroupCount; ++g) {
        if (groups.Present[static_cast<std::size_t>(g)]) {
            ms0[static_cast<std::size_t>(g)] = factory + RdtGroupFileName(serial, g, ".ms0");
            WriteRdtTextFile(ms0[static_cast<std::size_t>(g)], kRdtFactoryTitle);
        }
    }
    const int factoryPages =
        PagesInBlock(header.FactoryPageStart, header.FactoryPageCount, reader.pagesPerBlock());
    for (int k = 0; k < factoryPages; ++k) {
        const int page = header.FactoryPageStart + k;
        if (!reader.Read(block, page)) {
            reader.Fail(PageMessage(kFactoryReadFailed, block, page));
            return out;
        }
        char dump[40];
        std::snprintf(dump, sizeof dump, kDumpFactoryPageFormat, k);
        WriteDebugDump(dump, reader.page().data(), reader.pageBytes());
        std::array<std::string, kRdtGroupCount> lines;
        for (const RdtFactoryMark& m : DecodeRdtFactoryBitmap(
                 reader.page(), static_cast<std::size_t>(k) * reader.pageBytes())) {
            const int g = RdtGroupOf(m.Bank, m.Channel, ceCount);
            if (g >= 0 && groups.Present[static_cast<std::size_t>(g)]) {
                lines[static_cast<std::size_t>(g)] += RdtFactoryLine(m, ceCount);
            }
        }
        for (std::size_t g = 0; g < lines.size(); ++g) {
            if (!lines[g].empty()) {
                AppendRdtTextFile(ms0[g], lines[g]);
            }
        }
    }

    // The error entries.
    const int errorPages =
        PagesInBlock(header.ErrorPageStart, header.ErrorPageCount, reader.pagesPerBlock());
    std::vector<std::uint8_t> errorData;
    errorData.reserve(static_cast<std::size_t>(errorPages) * reader.pageBytes());
    for (int k = 0; k < errorPages; ++k) {
        const int page = header.ErrorPageStart + k;
        if (!reader.Read(block, page)) {
            reader.Fail(PageMessage(kErrorReadFailed, block, page));
            return out;
        }
        errorData.insert(errorData.end(), reader.page().begin(), reader.page().end());
    }
    const std::vector<RdtErrorEntry> entries = DecodeRdtErrorEntries(errorData);
    WriteDebugDump(kDumpErrorPages, errorData.data(), errorData.size());
    WriteDebugDump(kDumpErrorEntries, errorData.data(), entries.size() * kRdtErrorEntrySize);
    std::array<std::vector<RdtErrorEntry>, kRdtGroupCount> groupEntries;
    for (const RdtErrorEntry& e : entries) {
        const int g = groups.GroupOfAddress(e.Address);
        if (g >= 0) {
            groupEntries[static_cast<std::size_t>(g)].push_back(e);
        }
    }

    // The reports, one ".ms1" per group.
    const std::string reports = RdtSubfolder(out.SerialFolder, kRdtReportFolder);
    if (!EnsureRdtFolder(reports)) {
        reader.Fail(kLogFailed);
        return out;
    }
    for (std::size_t g = 0; g < groupEntries.size(); ++g) {
        if (!groups.Present[g]) {
            continue;
        }
        out.GroupReports[g] = RdtGroupReport(record, groups.Dies[g], groupEntries[g], ceCount);
        WriteRdtTextFile(reports + RdtGroupFileName(serial, static_cast<int>(g), ".ms1"),
                         out.GroupReports[g]);
    }
    out.Filed = true;
    return out;
}

}  // namespace kv
