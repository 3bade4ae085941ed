#include "flash/count_bad_blocks.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "device/vendor_access.h"
#include "device/vendor_access_boolean_forms.h"
#include "firmware/byte_layout.h"
#include "firmware/debug_dump.h"
#include "firmware/dump_names.h"
#include "firmware/table_signatures.h"
#include "firmware/table_writing.h"
#include "flash/flash_scan_stores.h"
#include "flash/system_check.h"

namespace kv {
namespace {

constexpr std::uint32_t kBadBlockInfoSectors = 64;
constexpr std::size_t kBadBlockInfoBytes = kBadBlockInfoSectors * 512;
constexpr std::size_t kLaterCountOffset = 16;
constexpr std::size_t kLaterEntriesOffset = 32;
constexpr char kSystemParameterSignature[] = "SYSPKVR51X-V001";

std::span<const std::uint8_t> SliceOf(const std::vector<std::uint8_t>& pageSet,
                                      std::size_t sliceBytes, int channel) {
    const std::size_t at = static_cast<std::size_t>(channel) * sliceBytes;
    if (sliceBytes == 0 || at + sliceBytes > pageSet.size()) {
        return {};
    }
    return std::span<const std::uint8_t>(pageSet).subspan(at, sliceBytes);
}

// Page 0 of the code blocks until one carries the loader signature.
bool FindLoaderBlock(int port, const FlashConfig& flash, const CodeBlockList& blocks,
                     std::vector<std::uint8_t>& pageSet, int& found) {
    for (int i = 0; i < std::min<int>(blocks.Count, kMaxCodeBlocks); ++i) {
        if (ReadSystemAreaPage(port, flash, blocks.Blocks[i], 0, pageSet) &&
            std::memcmp(pageSet.data(), flash.BlocksSignature,
                        std::strlen(flash.BlocksSignature) + 1) == 0) {
            found = i;
            return true;
        }
    }
    return false;
}

// The later tables of every (bank, die) that the system parameter page
// names: the last page of the block whose slices carry the later signature.
void ReadLaterTables(int port, const FlashConfig& flash, const std::vector<std::uint8_t>& sysPage,
                     PortFlashStores& stores) {
    const std::size_t sliceBytes = sysPage.size() / std::max<int>(flash.Channels, 1);
    if (sliceBytes < kTableSignatureSize + 6 ||
        std::memcmp(sysPage.data(), kSystemParameterSignature, kTableSignatureSize) != 0) {
        return;
    }
    const std::uint8_t* words = sysPage.data() + kTableSignatureSize;
    std::vector<std::uint8_t> pageSet(sysPage.size(), 0);
    for (int bank = 0; bank < flash.Banks; ++bank) {
        for (int die = 0; die < flash.Dies; ++die) {
            const int slot = LaterTableSlot(bank, die);
            if (slot < 0) {
                continue;
            }
            const std::uint16_t block =
                bank == 0 && die == 0 ? Le16(words)
                                      : static_cast<std::uint16_t>(
                                            (die % flash.Dies) * flash.DieOffset + Le16(words + 4));
            stores.LaterStore[static_cast<std::size_t>(slot)].clear();
            for (int page = 1; page < flash.PagesPerBlock; ++page) {
                FlashAddress address;
                address.Channel = flash.Channels;
                address.Bank = flash.FwBankSet[bank & 7];
                address.Block = block;
                address.Page = static_cast<std::uint16_t>(page);
                address.Options[0] = flash.EccMode;
                address.Options[1] = TableFlagsByte(flash);
                address.Options[2] = flash.SectorsPerPage;
                if (!VA_ReadPages(port, address, pageSet, false)) {
                    break;
                }
                char name[40];
                std::snprintf(name, sizeof name, kDumpLaterBlockFormat, bank, die, page);
                WriteDebugDump(name, pageSet.data(), pageSet.size());
                bool any = false;
                for (int c = 0; c < flash.Channels; ++c) {
                    any = any || HasLaterTableSignature(SliceOf(pageSet, sliceBytes, c));
                }
                if (!any) {
                    break;
                }
                stores.LaterStore[static_cast<std::size_t>(slot)] = pageSet;
            }
        }
    }
}

}  // namespace

BadBlockCounts::BadBlockCounts(int channels, int banks)
    : channels_(std::max(channels, 0)),
      banks_(std::max(banks, 0)),
      counts_(static_cast<std::size_t>(channels_) * banks_ * kBadBlockCategorySlots, 0) {}

std::uint32_t BadBlockCounts::Get(int channel, int bank, int slot) const {
    if (channel < 0 || channel >= channels_ || bank < 0 || bank >= banks_ || slot < 0 ||
        slot >= kBadBlockCategorySlots) {
        return 0;
    }
    return counts_[(static_cast<std::size_t>(channel) * banks_ + bank) * kBadBlockCategorySlots +
                   slot];
}

void BadBlockCounts::Add(int channel, int bank, int slot, std::uint32_t n) {
    if (channel < 0 || channel >= channels_ || bank < 0 || bank >= banks_ || slot < 0 ||
        slot >= kBadBlockCategorySlots) {
        return;
    }
    counts_[(static_cast<std::size_t>(channel) * banks_ + bank) * kBadBlockCategorySlots + slot] +=
        n;
}

int BadBlockCategory(int type) {
    switch (type) {
        case 9:
            return 0;
        case 4:
            return 1;
        case 3:
            return 2;
        case 5:
            return 3;
        case 1:
            return 4;
        default:
            return -1;
    }
}

int BadBlockType(std::span<const std::uint8_t> earlySlice, std::span<const std::uint8_t> laterSlice,
                 int chipEnable, std::uint16_t block) {
    int type = kUnknownBadBlockType;
    if (earlySlice.size() >= kTableSignatureSize) {
        int bank = -1;
        for (std::size_t at = kTableSignatureSize; at + 2 <= earlySlice.size(); at += 2) {
            const std::uint16_t entry = Le16(earlySlice.data() + at);
            const std::uint8_t high = static_cast<std::uint8_t>(entry >> 8);
            if (high == 0xFB) {
                bank = entry & 0xFF;
            } else if (high == 0xFE) {
                break;
            } else if (bank == chipEnable && (entry & 0x7FFF) == block) {
                type = 9;
                break;
            }
        }
    }
    if (laterSlice.size() >= kLaterEntriesOffset && HasLaterTableSignature(laterSlice)) {
        const std::size_t room = (laterSlice.size() - kLaterEntriesOffset) / 4;
        const std::size_t count =
            std::min<std::size_t>(Le16(laterSlice.data() + kLaterCountOffset), room);
        for (std::size_t i = 0; i < count; ++i) {
            const std::uint8_t* e = laterSlice.data() + kLaterEntriesOffset + i * 4;
            if (Le16(e) == block) {
                type = e[2];
            }
        }
    }
    return type;
}

void CountBadBlockAnswer(std::span<const std::uint8_t> answer,
                         std::span<const std::uint8_t> earlySlice,
                         std::span<const std::uint8_t> laterSlice, int channel, int chipEnable,
                         BadBlockCounts& counts) {
    if (answer.size() < 8 || counts.Banks() == 0) {
        return;
    }
    const std::size_t room = (answer.size() - 8) / 4;
    const std::size_t count = std::min<std::size_t>(Le16(answer.data() + 4), room);
    // The counters of a chip enable index sit under its bank.
    const int bank = chipEnable % counts.Banks();
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint16_t block = Le16(answer.data() + 8 + i * 4);
        const int type = BadBlockType(earlySlice, laterSlice, chipEnable, block);
        const int category = BadBlockCategory(type);
        if (category < 0) {
            std::printf(kBadBlockTypeErrorFormat, type);
            continue;
        }
        counts.Add(channel, bank, category);
    }
}

void CountEarlyTableEntries(std::span<const std::uint8_t> earlySlice, int channel,
                            BadBlockCounts& counts) {
    if (earlySlice.size() < kTableSignatureSize || counts.Banks() == 0) {
        return;
    }
    int bank = 0;
    for (std::size_t at = kTableSignatureSize; at + 2 <= earlySlice.size(); at += 2) {
        const std::uint16_t entry = Le16(earlySlice.data() + at);
        const std::uint8_t high = static_cast<std::uint8_t>(entry >> 8);
        if (high == 0xFB) {
            bank = (entry & 0xFF) % counts.Banks();
        } else if (high == 0xFE) {
            break;
        } else {
            counts.Add(channel, bank, 0);
        }
    }
}

void CountBadUnits(std::span<const std::uint8_t> answer, std::size_t recordBytes,
                   BadBlockCounts& counts) {
    if (answer.size() < 4 || recordBytes < 4) {
        return;
    }
    const std::size_t room = (answer.size() - 4) / recordBytes;
    const std::size_t records = std::min<std::size_t>(Le16(answer.data()), room);
    for (std::size_t r = 0; r < records; ++r) {
        const std::uint8_t* record = answer.data() + 4 + r * recordBytes;
        for (int c = 0; c < counts.Channels(); ++c) {
            for (int ce = 0; ce < counts.Banks(); ++ce) {
                const std::size_t at = 3 + static_cast<std::size_t>(ce);
                if (at < recordBytes) {
                    counts.Add(c, ce, record[at]);
                }
            }
        }
    }
}

BadBlockSums SumBadBlocks(const BadBlockCounts& counts) {
    BadBlockSums sums{};
    for (int k = 0; k < kBadBlockCategories; ++k) {
        for (int c = 0; c < counts.Channels(); ++c) {
            for (int b = 0; b < counts.Banks(); ++b) {
                sums[static_cast<std::size_t>(k)] += counts.Get(c, b, k);
            }
        }
    }
    return sums;
}

bool CountBadBlocks(int port, std::span<std::uint8_t> workBuffer, const FlashConfig& flash,
                    const std::string& modelCode, BadBlockCounts& counts, BadBlockSums& sums,
                    std::string* text) {
    if (text != nullptr) {
        *text += kErrTypeHeader;
    }
    const std::size_t setBytes = PageSetBytes(flash);
    if (setBytes == 0 || workBuffer.size() < kBadBlockInfoBytes) {
        return false;
    }
    PortFlashStores& stores = FlashStoresOf(port);
    const CodeBlockList blocks = stores.Image.CodeBlocks;
    std::vector<std::uint8_t> pageSet(setBytes, 0);
    int loaderBlock = -1;
    if (!FindLoaderBlock(port, flash, blocks, pageSet, loaderBlock)) {
        return false;
    }
    const std::uint16_t block = blocks.Blocks[loaderBlock];
    const std::size_t keep = std::min(setBytes, kTableStoreSize);
    if (!ReadSystemAreaPage(port, flash, block, kDefectTablePage, pageSet)) {
        return false;
    }
    stores.DefectStore.assign(pageSet.begin(), pageSet.begin() + static_cast<std::ptrdiff_t>(keep));
    WriteDebugDump(kDumpDefectTable, pageSet.data(), pageSet.size());
    if (!ReadSystemAreaPage(port, flash, block, kEarlyTablePage, pageSet)) {
        return false;
    }
    stores.EarlyStore.assign(pageSet.begin(), pageSet.begin() + static_cast<std::ptrdiff_t>(keep));
    WriteDebugDump(kDumpEarlyTable, pageSet.data(), pageSet.size());
    if (ReadSystemAreaPage(port, flash, block, kSystemParameterPage, pageSet)) {
        ReadLaterTables(port, flash, pageSet, stores);
    }

    const std::size_t sliceBytes = static_cast<std::size_t>(flash.SectorsPerPage) * 512;
    const std::span<std::uint8_t> answer = workBuffer.first(kBadBlockInfoBytes);
    if (modelCode.substr(0, 3) != "415") {
        const int chipEnables = flash.Banks * flash.Dies;
        for (int n = 0; n < chipEnables; ++n) {
            const int slot = LaterTableSlot(n % flash.Banks, n / flash.Banks);
            const std::vector<std::uint8_t> none;
            const std::vector<std::uint8_t>& later =
                slot >= 0 ? stores.LaterStore[static_cast<std::size_t>(slot)] : none;
            for (int c = 0; c < flash.Channels; ++c) {
                if (!va::VC_GDP_ReadBadBlockInfo(port, static_cast<std::uint8_t>(c),
                                                 static_cast<std::uint8_t>(n), 0, answer.data(),
                                                 kBadBlockInfoSectors)) {
                    return false;
                }
                char name[40];
                std::snprintf(name, sizeof name, kDumpSystemBlockFormat, c, n);
                WriteDebugDump(name, answer.data(), answer.size());
                CountBadBlockAnswer(answer, SliceOf(stores.EarlyStore, sliceBytes, c),
                                    SliceOf(later, sliceBytes, c), c, n, counts);
            }
        }
    } else {
        std::vector<std::uint8_t> defect(kTableStoreSize, 0);
        std::copy(stores.DefectStore.begin(), stores.DefectStore.end(), defect.begin());
        WriteDebugDump(kDumpDefect, defect.data(), defect.size());
        for (int c = 0; c < flash.Channels; ++c) {
            CountEarlyTableEntries(SliceOf(stores.EarlyStore, sliceBytes, c), c, counts);
        }
        if (!va::VC_GDP_ReadBadBlockInfo(port, 0, 0, 0, answer.data(), kBadBlockInfoSectors)) {
            return false;
        }
        WriteDebugDump(kDumpBadUnit, answer.data(), answer.size());
        const bool longRecords = flash.FlashId[3] != 0 || flash.FlashId[4] != 0;
        CountBadUnits(answer, longRecords ? 19 : 7, counts);
    }
    sums = SumBadBlocks(counts);
    return true;
}

}  // namespace kv
