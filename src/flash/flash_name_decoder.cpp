#include "flash/flash_name_decoder.h"

#include <vector>

namespace kv {
namespace {

constexpr GeometryNameCode kGeometryCodes[] = {
    {'A', 1024, 128, 4, 1, 0, 0},  {'B', 1024, 128, 8, 1, 0, 0},  {'C', 1024, 256, 4, 1, 0, 0},
    {'D', 1024, 256, 8, 1, 0, 0},  {'E', 2048, 128, 4, 1, 0, 0},  {'F', 2048, 128, 8, 1, 0, 0},
    {'G', 2048, 256, 4, 1, 0, 0},  {'H', 2048, 256, 8, 1, 0, 0},  {'I', 4096, 128, 4, 1, 0, 0},
    {'J', 4096, 128, 8, 1, 0, 0},  {'K', 4096, 256, 4, 1, 0, 0},  {'L', 4096, 256, 8, 1, 0, 0},
    {'M', 2048, 128, 4, 2, 0, 0},  {'N', 2048, 128, 8, 2, 0, 0},  {'O', 2048, 128, 4, 2, 1, 0},
    {'P', 2048, 128, 8, 2, 1, 0},  {'Q', 2048, 64, 4, 2, 0, 0},   {'R', 2048, 256, 4, 2, 0, 0},
    {'S', 2048, 256, 8, 2, 0, 0},  {'T', 1024, 128, 8, 2, 0, 0},  {'U', 1024, 128, 8, 2, 1, 0},
    {'V', 1024, 256, 8, 2, 0, 0},  {'W', 4096, 128, 4, 2, 0, 0},  {'X', 2048, 64, 4, 1, 0, 0},
    {'Y', 2048, 64, 8, 1, 0, 0},   {'Z', 2048, 256, 8, 2, 1, 0},  {'1', 1024, 256, 16, 1, 0, 0},
    {'2', 1024, 256, 16, 1, 0, 1}, {'3', 1024, 256, 16, 2, 1, 0}, {'4', 512, 256, 16, 1, 0, 1},
    {'5', 1024, 256, 16, 2, 1, 1}, {'6', 1024, 512, 16, 1, 0, 0}, {'7', 2048, 128, 16, 1, 0, 0},
};

constexpr ChannelBankNameCode kChannelBankCodes[] = {
    {'A', 8, 1}, {'B', 8, 2}, {'C', 8, 4}, {'D', 8, 8}, {'E', 4, 1}, {'F', 4, 2},
    {'G', 4, 4}, {'H', 4, 8}, {'I', 2, 1}, {'J', 2, 2}, {'K', 2, 4}, {'L', 2, 8},
    {'M', 1, 1}, {'N', 1, 2}, {'O', 1, 4}, {'P', 1, 8}, {'Q', 3, 1}, {'R', 3, 2},
};

constexpr std::size_t kGeometryPosition = 6;     // the 7th character
constexpr std::size_t kChannelBankPosition = 7;  // the 8th character

}  // namespace

std::string DecodeNameText(std::string_view name) {
    std::vector<std::string> lines;
    if (name.size() > kGeometryPosition) {
        for (const GeometryNameCode& g : kGeometryCodes) {
            if (g.Code != name[kGeometryPosition]) {
                continue;
            }
            lines.push_back("Block Unit:" + std::to_string(g.BlockUnit));
            lines.push_back("Block Page:" + std::to_string(g.BlockPage));
            lines.push_back("Page Size: " + std::to_string(g.PageSizeKiB) + "K");
            lines.push_back("Die: " + std::to_string(g.Dies));
            lines.push_back("Dieoffset?: " + std::to_string(g.DieOffsetFlag));
            lines.push_back("OnePlane?: " + std::to_string(g.OnePlaneFlag));
        }
    }
    if (name.size() > kChannelBankPosition) {
        for (const ChannelBankNameCode& c : kChannelBankCodes) {
            if (c.Code != name[kChannelBankPosition]) {
                continue;
            }
            lines.push_back("Channel:   " + std::to_string(c.Channels));
            lines.push_back("Bank:      " + std::to_string(c.Banks));
        }
    }
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        text += (i == 0 ? "" : "\n") + lines[i];
    }
    return text;
}

OperatorMessage DecodeName(std::string_view name) {
    return {DecodeNameText(name), kMessageCaption, OperatorIcon::Information};
}

}  // namespace kv
