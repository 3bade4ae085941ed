#include "emulator/diag/table_pages.h"

#include <algorithm>
#include <cstring>

#include "emulator/bytes.h"

namespace kv::emu {
namespace {

constexpr char kTableText[] = "KVR51X-V001";  // 11 characters and the terminator

std::vector<std::uint8_t> SignedSlice(TablePage page, std::size_t sliceBytes) {
    std::vector<std::uint8_t> slice(sliceBytes, 0xFF);
    const auto signature = TableSignature(page);
    std::copy_n(signature.begin(), std::min(signature.size(), sliceBytes), slice.begin());
    return slice;
}

}  // namespace

std::array<std::uint8_t, 16> TableSignature(TablePage page) {
    std::array<std::uint8_t, 16> s{};
    static const std::uint8_t kTags[5][4] = {{0xE9, 0x86, 0xAA, 0x55},
                                             {0x45, 0x79, 0xAA, 0x55},
                                             {0x9E, 0x68, 0x55, 0xAA},
                                             {'S', 'Y', 'S', 'P'},
                                             {0x68, 0x12, 0x16, 0x50}};
    std::memcpy(s.data(), kTags[static_cast<int>(page) - 1], 4);
    std::memcpy(s.data() + 4, kTableText, sizeof kTableText);
    return s;
}

bool BuildDefectTable(const DefectMap& defects, const FlashView& view, std::size_t sliceBytes,
                      PageSet& out, int& failedChannel) {
    out.clear();
    for (int c = 0; c < defects.channels(); ++c) {
        std::vector<std::uint8_t> slice = SignedSlice(TablePage::Defect, sliceBytes);
        std::size_t at = 16;
        auto put = [&](std::uint8_t a, std::uint8_t b, std::uint8_t x, std::uint8_t y) {
            if (at + 4 > sliceBytes) {
                return false;
            }
            slice[at] = a;
            slice[at + 1] = b;
            slice[at + 2] = x;
            slice[at + 3] = y;
            at += 4;
            return true;
        };
        bool fits = true;
        for (int b = 0; b < defects.banks() && fits; ++b) {
            fits = put(0xFB, 0xA0, static_cast<std::uint8_t>(b), 0);
            for (const auto& [block, kind] : defects.At(c, b)) {
                if (!fits) {
                    break;
                }
                const int dieAndPlane = view.DieOf(block) * 16 + (block & 1);
                fits = put(static_cast<std::uint8_t>(block), static_cast<std::uint8_t>(block >> 8),
                           static_cast<std::uint8_t>(dieAndPlane), static_cast<std::uint8_t>(kind));
            }
        }
        // The end entry must fit too; the table is useless without it.
        if (!fits || !put(0xFE, 0xD1, 0, 0)) {
            failedChannel = c;
            return false;
        }
        out.push_back(std::move(slice));
    }
    return true;
}

bool BuildEarlyTable(const DefectMap& defects, const FlashView& view, std::size_t sliceBytes,
                     PageSet& out, int& failedChannel) {
    out.clear();
    const int dies = view.dies > 0 ? view.dies : 1;
    const int perDie = view.blocksPerDie() > 0 ? view.blocksPerDie() : view.blocks();
    for (int c = 0; c < defects.channels(); ++c) {
        std::vector<std::uint8_t> slice = SignedSlice(TablePage::Early, sliceBytes);
        std::size_t at = 16;
        auto put = [&](std::uint16_t v) {
            if (at + 2 > sliceBytes) {
                return false;
            }
            PutLe16(slice.data() + at, v);
            at += 2;
            return true;
        };
        bool fits = true;
        for (int d = 0; d < dies && fits; ++d) {
            for (int b = 0; b < defects.banks() && fits; ++b) {
                fits = put(static_cast<std::uint16_t>(0xFB00 + d * defects.banks() + b));
                const auto& list = defects.At(c, b);
                const int first = d * perDie;
                // The last die also takes the extended blocks beyond the dies.
                const int end = d == dies - 1 ? view.blocks() : first + perDie;
                for (auto it = list.lower_bound(first); it != list.end() && it->first < end && fits;
                     ++it) {
                    const bool found = it->second != DefectKind::Factory;
                    fits = put(
                        static_cast<std::uint16_t>((it->first & 0x7FFF) | (found ? 0x8000 : 0)));
                }
            }
        }
        if (!fits || !put(0xFE00)) {
            failedChannel = c;
            return false;
        }
        out.push_back(std::move(slice));
    }
    return true;
}

PageSet BuildRemapTable(int channels, std::size_t sliceBytes) {
    PageSet out;
    for (int c = 0; c < channels; ++c) {
        std::vector<std::uint8_t> slice = SignedSlice(TablePage::Remap, sliceBytes);
        if (sliceBytes >= 18) {
            PutLe16(slice.data() + 16, 0);
        }
        out.push_back(std::move(slice));
    }
    return out;
}

PageSet BuildSystemParameterPage(const FlashView& view, int laterBlock, std::size_t sliceBytes) {
    PageSet out;
    const int dies = view.dies > 0 ? view.dies : 1;
    for (int c = 0; c < view.channels(); ++c) {
        std::vector<std::uint8_t> slice = SignedSlice(TablePage::SystemParameter, sliceBytes);
        std::size_t at = 16;
        for (int k = 0; k < view.banks() * dies && at + 4 <= sliceBytes; ++k, at += 4) {
            PutLe16(slice.data() + at, static_cast<std::uint16_t>(laterBlock));
            PutLe16(slice.data() + at + 2, 0xFFFF);
        }
        out.push_back(std::move(slice));
    }
    return out;
}

PageSet BuildSmartPage(int channels, const std::array<std::uint8_t, 512>& smart,
                       std::size_t sliceBytes) {
    PageSet out;
    for (int c = 0; c < channels; ++c) {
        std::vector<std::uint8_t> slice = SignedSlice(TablePage::Smart, sliceBytes);
        if (sliceBytes > 16) {
            std::copy_n(smart.begin(), std::min(smart.size(), sliceBytes - 16), slice.begin() + 16);
        }
        out.push_back(std::move(slice));
    }
    return out;
}

bool ReadDefectTable(std::span<const std::uint8_t> slice, int channel, DefectMap& into) {
    const auto signature = TableSignature(TablePage::Defect);
    if (slice.size() < 16 || !std::equal(signature.begin(), signature.end(), slice.begin())) {
        return false;
    }
    int bank = -1;
    for (std::size_t at = 16; at + 4 <= slice.size(); at += 4) {
        const std::uint8_t* e = slice.data() + at;
        if (e[0] == 0xFE && e[1] == 0xD1) {
            break;
        }
        if (e[0] == 0xFB && e[1] == 0xA0) {
            bank = e[2];
            continue;
        }
        if (bank < 0) {
            continue;
        }
        const std::uint8_t kind = e[3];
        const DefectKind k = kind == 9   ? DefectKind::Factory
                             : kind == 3 ? DefectKind::ProgramFail
                                         : DefectKind::EraseFail;
        into.Add(channel, bank, Le16(e), k);
    }
    return true;
}

}  // namespace kv::emu
