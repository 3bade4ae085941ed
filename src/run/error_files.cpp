#include "run/error_files.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "flash/scan_result_decoder.h"
#include "run/file_name_text.h"
#include "run/test_item_catalogue.h"

namespace kv {
namespace {

constexpr std::size_t kRawCopyBytes = 512;

const char* TableCompareLine(std::uint8_t marker) {
    switch (marker) {
        case 0xD0:
            return "ch %d defect table compare fail\r\n";
        case 0xD1:
            return "ch %d early table compare fail\r\n";
        case 0xD2:
            return "ch %d remap table compare fail\r\n";
        case 0xD3:
            return "ch %d smart table compare fail\r\n";
        default:
            return nullptr;
    }
}

}  // namespace

std::string ErrorFilePath(const std::string& logDir, const platform::LocalTime& end, int portIndex,
                          const PortRecord& port) {
    char stamp[48];
    std::snprintf(stamp, sizeof stamp, "Error_%04d%02d%02d%02d%02d_%02d", end.year, end.month,
                  end.day, end.hour, end.minute, portIndex + 1);
    const std::string serial(port.SerialNumber, strnlen(port.SerialNumber, 40));
    return logDir + stamp + "_" + FileNameText(serial) + ".txt";
}

std::string DownloadErrorText(std::span<const std::uint8_t> slot, int sectorsPerPage) {
    std::string text;
    char line[96];
    if (slot.size() >= 2) {
        if (const char* fmt = TableCompareLine(slot[0])) {
            std::snprintf(line, sizeof line, fmt, slot[1]);
            text += line;
        }
    }
    // One flash page from the third byte on, never past the slot's end.
    const std::size_t available = slot.size() > 2 ? slot.size() - 2 : 0;
    const std::size_t page = static_cast<std::size_t>(std::max(0, sectorsPerPage)) * 512;
    const std::size_t length = std::min(page, available);
    const std::uint8_t* bytes = slot.data() + 2;
    for (std::size_t at = 0; at < length; at += 8) {
        int n = std::snprintf(line, sizeof line, "%04X :", static_cast<unsigned>(at));
        const std::size_t end = std::min(at + 8, length);
        for (std::size_t i = at; i < end; ++i) {
            n += std::snprintf(line + n, sizeof line - static_cast<std::size_t>(n), "%s %02X",
                               i == at ? "" : ",", bytes[i]);
        }
        text.append(line, static_cast<std::size_t>(n));
        text += "\r\n";
    }
    const std::size_t raw = std::min(kRawCopyBytes, slot.size());
    text.append(reinterpret_cast<const char*>(slot.data()), raw);
    return text;
}

std::string ErrorFileText(int failCode, std::span<const std::uint8_t> slot,
                          const FlashConfig& flash, PortRecord& port) {
    port.FailDetailKind = 0;
    port.FailDetailNumber = 0;
    std::string text;
    BadUnitList bad;
    switch (failCode) {
        case kFlashInterfaceTest:
            DecodeFlashInterfaceResult(slot, flash, text, &port.ReportedFailCode, &bad);
            break;
        case kPreformat:
            if (!slot.empty())
                DecodeScanResult(slot[0], slot.subspan(1), flash, text, &port.ReportedFailCode,
                                 &bad);
            break;
        case kDownload:
            return DownloadErrorText(slot, flash.SectorsPerPage);
        default:
            return text;
    }
    port.FailDetailKind = bad.count;
    port.FailDetailNumber = bad.lastIndex;
    return text;
}

void WriteErrorFiles(std::span<PortRecord> ports, const PortErrorBuffer& errors,
                     const FlashConfig& flash, const std::string& logDir,
                     const platform::LocalTime& end) {
    const std::size_t count = std::min<std::size_t>(ports.size(), kMaxPorts);
    for (std::size_t i = 0; i < count; ++i) {
        PortRecord& port = ports[i];
        const int code = port.FailCode;
        if (port.Present == 0 ||
            (code != kFlashInterfaceTest && code != kPreformat && code != kDownload)) {
            continue;
        }
        const int index = static_cast<int>(i);
        const std::span<const std::uint8_t> slot(errors.Slot(index, code), kPortErrorSlotSize);
        const std::string text = ErrorFileText(code, slot, flash, port);
        std::FILE* f = std::fopen(ErrorFilePath(logDir, end, index, port).c_str(), "wb");
        if (f == nullptr)
            continue;
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
    }
}

}  // namespace kv
