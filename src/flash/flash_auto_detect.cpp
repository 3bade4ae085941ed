#include "flash/flash_auto_detect.h"

#include <cstdio>
#include <cstring>

namespace kv {
namespace {

int LeadingTwoDigits(const std::string& text) {
    int value = 0;
    for (std::size_t i = 0; i < 2 && i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') {
            break;
        }
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

bool BankSetFromDrive(const std::string& tag, const std::string& version) {
    const int major = LeadingTwoDigits(version);
    return (tag.rfind("67", 0) == 0 && major > 2) || (tag.rfind("06", 0) == 0 && major > 1);
}

}  // namespace

bool ParseFlashInfoReport(const std::uint8_t* sector, std::size_t size, FlashInfoReport& report) {
    if (sector == nullptr || size < 18) {
        return false;
    }
    std::memcpy(report.Id, sector, 5);
    report.Channels = sector[7];
    report.Banks = sector[8];
    report.ChipEnables = sector[9];
    std::memcpy(report.CeCodes, sector + 10, 8);
    return true;
}

int VendorOfPart(const FlashPartsList& list, int partIndex) {
    for (std::size_t v = 0; v < list.VendorPartEnd.size(); ++v) {
        if (partIndex < list.VendorPartEnd[v]) {
            return static_cast<int>(v);
        }
    }
    return -1;
}

AutoDetectResult MatchFlashParts(const FlashPartsList& list, const FlashInfoReport& report,
                                 const std::string& programBuildTag,
                                 const std::string& programVersion) {
    AutoDetectResult result;
    result.Channels = report.Channels;
    result.Banks = report.Banks;
    for (std::size_t i = 0; i < list.Parts.size(); ++i) {
        if (std::memcmp(list.Parts[i].FlashId, report.Id, 5) == 0) {
            FlashMatch match;
            match.PartIndex = static_cast<int>(i);
            match.VendorIndex = VendorOfPart(list, match.PartIndex);
            result.Matches.push_back(match);
        }
    }
    if (BankSetFromDrive(programBuildTag, programVersion)) {
        std::memcpy(result.FwBankSet, report.CeCodes, 8);
        result.FwBankSetFromDrive = true;
    }
    result.NeedsChoice = result.Matches.size() > 1;
    if (result.Matches.empty()) {
        result.Messages.push_back({kFlashNotFoundText, kMessageCaption, OperatorIcon::Warning});
        char text[400];
        std::snprintf(text, sizeof text, kFlashIdReportFormat, report.ChipEnables, report.Id[0],
                      report.Id[1], report.Id[2], report.Id[3], report.Id[4], report.Channels,
                      report.Banks);
        result.Messages.push_back({text, kMessageCaption, OperatorIcon::Information});
    }
    return result;
}

}  // namespace kv
