#include "flash/scan_result_decoder.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

namespace kv {
namespace {

void AppendFormat(std::string& text, const char* fmt, ...) __attribute__((format(printf, 2, 3)));

void AppendFormat(std::string& text, const char* fmt, ...) {
    char line[256];
    va_list args;
    va_start(args, fmt);
    const int n = std::vsnprintf(line, sizeof line, fmt, args);
    va_end(args);
    if (n > 0)
        text.append(line, static_cast<std::size_t>(n) < sizeof line ? n : sizeof line - 1);
}

// Per channel and chip enable of the configured geometry, the count of
// findings. Units outside the geometry (a report naming channel 9 of a
// four-channel drive) are listed in the text but not tallied.
class UnitTally {
  public:
    explicit UnitTally(const FlashConfig& flash)
        : channels_(flash.Channels),
          counts_(static_cast<std::size_t>(flash.Channels) * flash.Banks, 0) {}

    void Add(int channel, int bank, long amount) {
        if (channel < 0 || bank < 0 || channels_ == 0 || channel >= channels_)
            return;
        const std::size_t index = static_cast<std::size_t>(channel + bank * channels_);
        if (index < counts_.size())
            counts_[index] += amount;
    }

    // The "Bad CH/CE:" block; `line` gets channel, chip enable and count.
    void Append(std::string& text, bool withCount, BadUnitList* badList) const {
        bool first = true;
        for (std::size_t i = 0; i < counts_.size(); ++i) {
            if (counts_[i] == 0)
                continue;
            if (first) {
                text += "\r\nBad CH/CE:\r\n";
                first = false;
            }
            const int index = static_cast<int>(i);
            if (withCount) {
                AppendFormat(text, "Ch#%d, CE#%d, BadBlockNum: %ld\r\n", index % channels_,
                             index / channels_, counts_[i]);
            } else {
                AppendFormat(text, "CH#%d, BK#%d\r\n", index % channels_, index / channels_);
            }
            if (badList != nullptr) {
                ++badList->count;
                badList->lastIndex = index;
            }
        }
    }

  private:
    int channels_;
    std::vector<long> counts_;
};

struct InterfaceCode {
    const char* format;  // with channel and bank, except code 10
    int failCode;
};

const InterfaceCode kInterfaceCodes[] = {
    {nullptr, 0},
    {"Flash RESET fail. Ch#%2.2X, Bank#%2.2X\r\n", 54},
    {"ReadFlashID fail. Ch#%2.2X, Bank#%2.2X\r\n", 55},
    {"2nd ReadFlashID fail. Ch#%2.2X, Bank#%2.2X\r\n", 56},
    {"Flash Erase fail. Ch#%2.2X, Bank#%2.2X\r\n", 57},
    {"Flash Prog fail when turn on ECC. Ch#%2.2X, Bank#%2.2X\r\n", 58},
    {"Flash Prog fail when turn off ECC. Ch#%2.2X, Bank#%2.2X\r\n", 59},
    {"Flash ECC fail. Ch#%2.2X, Bank#%2.2X\r\n", 60},
    {"Flash SpareBytes fail. Ch#%2.2X, Bank#%2.2X\r\n", 61},
    {"Flash 2nd Erase fail. Ch#%2.2X, Bank#%2.2X\r\n", 62},
    {"Test SRAM Memory Fail\r\n", 63},
    {"ECC Test fail. Ch#%2.2X, Bank#%2.2X\r\n", 64},
};
constexpr int kSramTestCode = 10;

const char* PageKindName(unsigned kind) {
    switch (kind) {
        case 0:
            return "Code Page";
        case 1:
            return "Def Page";
        case 2:
            return "Remap Page";
        default:
            return "Unknown Page";
    }
}

}  // namespace

void DecodeFlashInterfaceResult(std::span<const std::uint8_t> log, const FlashConfig& flash,
                                std::string& text, int* failCode, BadUnitList* badList) {
    UnitTally tally(flash);
    bool first = true;
    for (std::size_t at = 4; at + 4 <= log.size(); at += 4) {
        const int channel = log[at];
        const int bank = log[at + 1];
        const int code = log[at + 2];
        if (channel == 0xFF || bank == 0xFF || code == 0xFF)
            break;
        if (first) {
            text += "Flash Interface Test Fail\r\n";
            first = false;
        }
        if (code >= 1 && code < static_cast<int>(std::size(kInterfaceCodes))) {
            const InterfaceCode& entry = kInterfaceCodes[code];
            if (code == kSramTestCode)
                text += entry.format;
            else
                AppendFormat(text, entry.format, channel, bank);
            if (failCode != nullptr)
                *failCode = entry.failCode;
        }
        if (code != kSramTestCode)
            tally.Add(channel, bank, 1);
    }
    tally.Append(text, false, badList);
}

void DecodeScanResult(int count, std::span<const std::uint8_t> records, const FlashConfig& flash,
                      std::string& text, int* failCode, BadUnitList* badList) {
    UnitTally tally(flash);
    bool ratioTitle = false;
    std::size_t at = 0;
    for (int k = 0; k < count; ++k) {
        if (at >= records.size())
            break;
        const int code = records[at];
        const std::size_t length = (code == 128 || code == 130) ? 17 : 16;
        if (at + length > records.size())
            break;
        const std::uint8_t* r = records.data() + at;
        at += length;
        const int channel = r[1];
        const int bank = r[2];
        const int die = r[3];
        const unsigned value = static_cast<unsigned>(r[4]) | (static_cast<unsigned>(r[5]) << 8);
        int refined = 0;
        switch (code) {
            case 1:
                AppendFormat(text, "%s %s. Ch#%2.2X\r\n", PageKindName(value), "Does Not Exist",
                             channel);
                refined = 46;
                break;
            case 2:
                AppendFormat(text, "%s %s. Ch#%2.2X\r\n", PageKindName(value), "Is ECC Fail",
                             channel);
                refined = 47;
                break;
            case 3: {
                if (!ratioTitle) {
                    text += "Number of bad block is over defect ratio:\r\n";
                    ratioTitle = true;
                }
                const unsigned ratio =
                    flash.BlocksPerPlaneDie != 0 ? value * 1000u / flash.BlocksPerPlaneDie : 0;
                AppendFormat(text,
                             "Ch#%2.2X, Bank#%2.2X, Die#%2.2X, BadBlockNum: %u, "
                             "BadBlockNumRatio(1/1000): %u\r\n",
                             channel, bank, die, value, ratio);
                tally.Add(channel, bank, static_cast<long>(value));
                refined = 48;
                break;
            }
            case 4:
                text += "Number of free block is too large.\r\n";
                refined = 49;
                break;
            case 5:
                AppendFormat(text, "Total bad block number (%u) is over (MaxFreeBlcokNum-25)\r\n",
                             value);
                refined = 50;
                break;
            case 6:
                text += "Build Table Fail.\r\n";
                refined = 51;
                break;
            case 7:
                AppendFormat(text, "Ch#%2.2X, Bank#%2.2X, BlockNo#%4.4X\r\n", channel, bank, value);
                break;
            case 8:
                AppendFormat(text,
                             "Ch#%2.2X, Bank#%2.2X, BlockNo#%4.4X, Page#%2.2X, ErrorCode=%d\r\n",
                             channel, bank, value, r[6], r[8]);
                break;
            case 9:
                AppendFormat(text, "Ch#%2.2X Try Remap Fail\r\n", channel);
                refined = 52;
                break;
            case 128:
                AppendFormat(text, "Flash Setting - Ch:%2.2X , Bank:%2.2X\r\n", flash.Channels,
                             flash.Banks);
                break;
            case 129:
                AppendFormat(text, "Scan Result -  Ch:%2.2X , Bank:%2.2X\r\n", channel, bank);
                break;
            case 130:
                AppendFormat(text, "Flash Setting - ID: %2.2X %2.2X %2.2X %2.2X %2.2X\r\n",
                             flash.FlashId[0], flash.FlashId[1], flash.FlashId[2], flash.FlashId[3],
                             flash.FlashId[4]);
                break;
            case 131:
                AppendFormat(text,
                             "Scan Result -  ID: %2.2X %2.2X %2.2X %2.2X %2.2X (Ch#%2.2X, "
                             "Bank#%2.2X)\r\n",
                             r[10], r[11], r[12], r[13], r[14], channel, bank);
                break;
            default:
                break;
        }
        if (refined != 0 && failCode != nullptr)
            *failCode = refined;
    }
    tally.Append(text, true, badList);
}

}  // namespace kv
