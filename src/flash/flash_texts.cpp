#include "flash/flash_texts.h"

#include <cstdio>

namespace kv {

std::vector<std::string> FlashDetailMemo(const FlashConfig& config) {
    std::vector<std::string> memo;
    memo.push_back(std::string(config.Mlc ? "Type: MLC," : "Type: SLC,") +
                   " Die: " + std::to_string(config.Dies));
    memo.push_back("TotalBlock: " + std::to_string(config.BlocksPerCe) +
                   ", BlockPage: " + std::to_string(config.PagesPerBlock));
    memo.push_back("PerPageSize: " + std::to_string(config.SectorsPerPage * 512) +
                   " DieOffset: " + std::to_string(config.DieOffset));
    memo.push_back("FlashInterface: " + std::to_string(config.FlashInterface));
    return memo;
}

std::string FlashStatusText(const FlashPart& part, int channels, int banks) {
    char type[16];
    std::snprintf(type, sizeof type, "0x%04X", static_cast<unsigned>(part.TypeWord));
    return std::string("Flash: ") + part.FlashName + "(" + type + ")" +
           ", Channel: " + std::to_string(channels) + ", Bank: " + std::to_string(banks);
}

std::string FlashPartListItem(const FlashPart& part) {
    return std::string(part.FlashName) + "  /  " + part.PartNumber + " (" +
           std::to_string(part.CeCount) + "CE)";
}

}  // namespace kv
