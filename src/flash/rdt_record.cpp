#include "flash/rdt_record.h"

#include <algorithm>
#include <cstring>

namespace kv {
namespace {

constexpr std::uint8_t kListEnd = 0xAA;
constexpr std::uint8_t kInheritMark = 0x99;
constexpr std::size_t kHeaderBytes = 814;  // up to the die information page field
constexpr std::size_t kVersionOffset = 144;
constexpr std::size_t kVersionLength = 9;

std::uint16_t Le16(std::span<const std::uint8_t> b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

std::uint32_t Le32(std::span<const std::uint8_t> b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at]) | (static_cast<std::uint32_t>(b[at + 1]) << 8) |
           (static_cast<std::uint32_t>(b[at + 2]) << 16) |
           (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

bool StartsWith(std::span<const std::uint8_t> page, const char (&tag)[5]) {
    return page.size() >= 4 && std::memcmp(page.data(), tag, 4) == 0;
}

}  // namespace

bool HasRdtSignature(std::span<const std::uint8_t> page) {
    return StartsWith(page, kRdtSignature);
}

bool HasLtsSignature(std::span<const std::uint8_t> page) {
    return StartsWith(page, kLtsSignature);
}

RdtHeader DecodeRdtHeader(std::span<const std::uint8_t> page) {
    RdtHeader h;
    if (page.size() < kHeaderBytes) {
        return h;
    }
    h.ErrorFlags = page[6];
    h.ErrorPageStart = Le16(page, 796);
    h.ErrorPageCount = Le16(page, 798);
    h.FactoryPageStart = Le16(page, 800);
    h.FactoryPageCount = Le16(page, 802);
    h.RecordPage = Le16(page, 808);
    h.DieInfoPage = Le16(page, 812);
    return h;
}

std::string RdtRecordSerial(std::span<const std::uint8_t> page) {
    std::string serial;
    for (std::size_t at = kRdtRecordSerialOffset; at < std::min(page.size(), kRdtRecordSerialEnd);
         ++at) {
        if (page[at] == 0) {
            break;
        }
        serial.push_back(static_cast<char>(page[at]));
    }
    return serial;
}

bool DecodeRdtRecord(std::span<const std::uint8_t> page, RdtRecordData& record) {
    if (page.size() < kRdtRecordSize) {
        return false;
    }
    RdtRecordData r;
    r.ErrorFlags = page[6];
    r.TotalTicks = Le32(page, 8);
    r.AverageTemperature = page[12];
    r.ClockIndex = page[13];
    r.MarkEccFailFlag = page[14];
    r.NotEmptyPageThreshold = page[15];
    r.ErrorBitsOverThreshold = page[16];
    r.BadBlocksThreshold = Le16(page, 20);
    r.EccFailBlocksThreshold = Le16(page, 22);
    r.Serial = RdtRecordSerial(page);
    for (std::size_t k = 0; k < 6; ++k) {
        r.StepMinTicks[k] = Le32(page, 72 + k * 4);
        r.StepMaxTicks[k] = Le32(page, 96 + k * 4);
    }
    for (std::size_t k = 0; k < kVersionLength; ++k) {
        const std::uint8_t c = page[kVersionOffset + k];
        if (c == kListEnd || c == 0) {
            break;
        }
        r.FirmwareVersion.push_back(static_cast<char>(c));
    }
    r.Step3Cycles = Le32(page, 156);
    r.HighPageProgFailThreshold = Le16(page, 192);
    r.Inherit = page[200] == kInheritMark;
    record = std::move(r);
    return true;
}

RdtDieAddress DecodeRdtDieAddress(std::uint8_t address) {
    RdtDieAddress a;
    a.Present = (address & 0x80) != 0;
    a.Channel = (address >> 4) & 0x07;
    a.Lun = (address >> 3) & 0x01;
    a.Bank = address & 0x07;
    a.Key = static_cast<std::uint8_t>(address & 0x7F);
    return a;
}

std::vector<RdtDieRecord> DecodeRdtDieRecords(std::span<const std::uint8_t> page) {
    std::vector<RdtDieRecord> records;
    for (std::size_t at = 0; at + kRdtDieRecordSize <= page.size(); at += kRdtDieRecordSize) {
        const std::span<const std::uint8_t> r = page.subspan(at, kRdtDieRecordSize);
        if (r[0] == kListEnd || r[1] == kListEnd || r[2] == kListEnd) {
            break;
        }
        RdtDieRecord d;
        d.Address = DecodeRdtDieAddress(r[0]);
        std::copy_n(r.begin() + 1, 7, d.FlashId);
        d.BadBlocks = Le16(r, 8);
        d.MaxATenths = r[10];
        d.MinVTenths = r[11];
        d.FailPattern = Le16(r, 12);
        d.BadRatioPerMille = static_cast<std::uint16_t>(Le16(r, 16) & 0x01FF);
        records.push_back(d);
    }
    return records;
}

std::vector<RdtErrorEntry> DecodeRdtErrorEntries(std::span<const std::uint8_t> pages) {
    std::vector<RdtErrorEntry> entries;
    for (std::size_t at = 0; at + kRdtErrorEntrySize <= pages.size(); at += kRdtErrorEntrySize) {
        const std::span<const std::uint8_t> e = pages.subspan(at, kRdtErrorEntrySize);
        if (e[0] == kListEnd || e[7] == kListEnd || e[8] == kListEnd) {
            break;
        }
        RdtErrorEntry x;
        x.Address = DecodeRdtDieAddress(e[0]);
        x.PlaneMask = static_cast<std::uint8_t>(e[1] & 0x0F);
        x.ErrorType = static_cast<std::uint8_t>(e[1] >> 4);
        x.Page = Le16(e, 2);
        x.Unit = Le16(e, 4);
        x.EccInfo = e[6];
        x.Action = static_cast<std::uint8_t>(e[7] & 0x0F);
        x.StepCode = static_cast<std::uint8_t>(e[7] >> 4);
        x.Temperature = e[8];
        x.Ticks = Le32(e, 12);
        entries.push_back(x);
    }
    return entries;
}

std::vector<RdtFactoryMark> DecodeRdtFactoryBitmap(std::span<const std::uint8_t> bitmap,
                                                   std::size_t firstOffset) {
    std::vector<RdtFactoryMark> marks;
    for (std::size_t at = 0; at < bitmap.size(); ++at) {
        if (bitmap[at] == 0) {
            continue;
        }
        const std::size_t i = firstOffset + at;
        for (std::size_t k = 0; k < 4; ++k) {
            const std::uint8_t planes = static_cast<std::uint8_t>((bitmap[at] >> (k * 2)) & 0x03);
            if (planes == 0) {
                continue;
            }
            RdtFactoryMark m;
            m.Bank = static_cast<int>((i >> 12) & 0x03);
            m.Channel = static_cast<int>((i >> 9) & 0x07);
            m.Unit = static_cast<std::uint16_t>((i * 4 + k) & 0x07FF);
            m.Planes = planes;
            marks.push_back(m);
        }
    }
    return marks;
}

}  // namespace kv
