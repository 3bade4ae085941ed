#include "firmware/download_collection.h"

#include <algorithm>
#include <cstring>

#include "firmware/byte_layout.h"
#include "firmware/table_signatures.h"

namespace kv {
namespace {

constexpr char kSystemParameterSignature[] = "SYSPKVR51X-V001";
// Offsets in a system parameter slice, counted after its signature.
constexpr std::size_t kPerCeMarkOffset = 1008;
constexpr std::uint16_t kPerCeMark = 0x5451;  // "QT"
constexpr std::size_t kPerCeRecordsOffset = 1010;
constexpr int kPerBankValues = 8;
constexpr int kSysValueFirstBlock = 8;
constexpr int kSysValueSecondBlock = 9;

std::span<const std::uint8_t> SliceOf(std::span<const std::uint8_t> pageSet, std::size_t sliceBytes,
                                      int channel) {
    const std::size_t at = static_cast<std::size_t>(channel) * sliceBytes;
    if (sliceBytes == 0 || at + sliceBytes > pageSet.size()) {
        return {};
    }
    return pageSet.subspan(at, sliceBytes);
}

}  // namespace

int CollectionPageSetCount(const SettingsBlock& settings) {
    return kMaxCollectionPageSets - (settings.RemapEnable == 0 ? 1 : 0) -
           (settings.EnKeepSmartInfo == 0 ? 1 : 0);
}

int SystemParameterPageSetIndex(const SettingsBlock& settings) {
    return settings.RemapEnable != 0 ? 3 : 2;
}

std::uint16_t NextTableGeneration(std::uint16_t current) {
    return static_cast<std::uint16_t>(current + 1u);
}

std::uint8_t DamagedTablePageCode(int page) {
    switch (page) {
        case kDefectTablePage:
            return 208;
        case kEarlyTablePage:
            return 209;
        case kRemapTablePage:
            return 210;
        case kSmartPage:
            return 211;
        default:
            return 0;
    }
}

int FirstUnsignedSlice(std::span<const std::uint8_t> pageSet, std::size_t sliceBytes, int channels,
                       int page) {
    for (int c = 0; c < channels; ++c) {
        const std::span<const std::uint8_t> slice = SliceOf(pageSet, sliceBytes, c);
        if (slice.empty() || !HasTableSignature(slice, page)) {
            return c;
        }
    }
    return -1;
}

void PutDamagedTableRecord(std::span<std::uint8_t> workBuffer, int page, int channel,
                           std::span<const std::uint8_t> slice) {
    if (workBuffer.size() < 2) {
        return;
    }
    workBuffer[0] = DamagedTablePageCode(page);
    workBuffer[1] = static_cast<std::uint8_t>(channel);
    const std::size_t n = std::min(slice.size(), workBuffer.size() - 2);
    std::copy_n(slice.begin(), n, workBuffer.begin() + 2);
}

void AdoptSystemParameterPage(std::span<const std::uint8_t> pageSet, std::size_t sliceBytes,
                              const FlashConfig& flash, const BankMapLayout& bankMap,
                              PortImageState& port) {
    const int chipEnables = flash.Banks * flash.Dies;
    for (int c = 0; c < flash.Channels; ++c) {
        const std::span<const std::uint8_t> slice = SliceOf(pageSet, sliceBytes, c);
        if (slice.size() < kTableSignatureSize + 6 ||
            std::memcmp(slice.data(), kSystemParameterSignature, kTableSignatureSize) != 0) {
            continue;
        }
        const std::uint8_t* s = slice.data() + kTableSignatureSize;
        const std::size_t left = slice.size() - kTableSignatureSize;
        for (int k = 0; k < kPerBankValues; ++k) {
            port.SysPageValues[k] = 1;
        }
        port.SysPageValues[kSysValueFirstBlock] = Le16(s);
        port.SysPageValues[kSysValueSecondBlock] = 0;
        const bool perCe = bankMap.EntriesPerCe > 0 && left >= kPerCeMarkOffset + 2 &&
                           Le16(s + kPerCeMarkOffset) == kPerCeMark;
        if (perCe) {
            const std::size_t words = static_cast<std::size_t>(bankMap.EntriesPerCe) + 1;
            const std::size_t recordBytes = words * 2;
            for (int k = 0; k < chipEnables; ++k) {
                const std::size_t at =
                    kPerCeRecordsOffset + static_cast<std::size_t>(k) * recordBytes;
                if (at + recordBytes > left) {
                    break;
                }
                for (int e = 0; e < bankMap.EntriesPerCe; ++e) {
                    const std::size_t entry =
                        static_cast<std::size_t>(k) * bankMap.EntriesPerCe + e;
                    if (entry < bankMap.Entries && entry < kMaxBankMapEntries) {
                        port.BankMap[entry] = Le16(s + at + static_cast<std::size_t>(e) * 2);
                    }
                }
                if (k < kPerBankValues) {
                    port.SysPageValues[k] = Le16(s + at + (words - 1) * 2);
                }
            }
        } else {
            port.SysPageValues[0] = static_cast<std::uint16_t>(Le16(s) + 1u);
        }
        if (chipEnables > 1) {
            port.SysPageValues[kSysValueSecondBlock] = Le16(s + 4);
        }
    }
}

std::uint32_t CountEarlyTableDefects(std::span<const std::uint8_t> pageSet, std::size_t sliceBytes,
                                     int channels) {
    std::uint32_t count = 0;
    for (int c = 0; c < channels; ++c) {
        const std::span<const std::uint8_t> slice = SliceOf(pageSet, sliceBytes, c);
        if (slice.empty() || !HasTableSignature(slice, kEarlyTablePage)) {
            continue;
        }
        for (std::size_t at = kTableSignatureSize; at + 2 <= slice.size(); at += 2) {
            const std::uint8_t high = slice[at + 1];
            if (high == 0xFE) {
                break;
            }
            if (high != 0xFB) {
                ++count;
            }
        }
    }
    return count;
}

}  // namespace kv
