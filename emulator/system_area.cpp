#include "emulator/system_area.h"

#include <algorithm>
#include <cstring>

#include "emulator/bytes.h"
#include "emulator/nand.h"

namespace kv::emu {

std::vector<int> LowPageSequence(int group) {
    std::vector<int> s;
    if (group == 1) {
        s = {0, 1, 2, 3};
        for (int k = 1; k <= 30; ++k) {
            s.push_back(4 * k + 2);
            s.push_back(4 * k + 3);
        }
    } else if (group == 2) {
        s = {0};
        for (int p = 1; p <= 125; p += 2) {
            s.push_back(p);
        }
    } else if (group == 3) {
        s = {0, 1, 2, 3, 4, 5};
        for (int k = 2; k <= 30; ++k) {
            s.push_back(4 * k);
            s.push_back(4 * k + 1);
        }
    }
    return s;
}

namespace {

constexpr int kScanLimit = 64;

bool HasText(const std::vector<std::uint8_t>& page, std::size_t at, const char* text,
             std::size_t n) {
    return page.size() >= at + n && std::memcmp(page.data() + at, text, n) == 0;
}

// The 16 signature bytes of table pages 1, 2 and 4.
bool HasTableSignature(const std::vector<std::uint8_t>& slice, int table) {
    static const std::uint8_t kTags[5][4] = {{0xE9, 0x86, 0xAA, 0x55},
                                             {0x45, 0x79, 0xAA, 0x55},
                                             {0x9E, 0x68, 0x55, 0xAA},
                                             {'S', 'Y', 'S', 'P'},
                                             {0x68, 0x12, 0x16, 0x50}};
    if (slice.size() < 16 || table < 1 || table > 5) {
        return false;
    }
    return std::memcmp(slice.data(), kTags[table - 1], 4) == 0 &&
           std::memcmp(slice.data() + 4, "KVR51X-V001", 12) == 0;
}

bool IsInfoPage(const std::vector<std::uint8_t>& slice) {
    const bool v50 =
        HasText(slice, 0, "LDBK BLOCKS V50", 16) && HasText(slice, 0x200, "LDBK CONFIG V50", 16);
    const bool v40 =
        HasText(slice, 0, "LDBK BLOCKS V40", 16) && HasText(slice, 0x200, "LDBK CONFIG V40", 16);
    return v50 || v40;
}

struct Layout {
    bool lowPage = false;
    std::vector<int> list;  // system page list (48 entries)
    int tablePage[5] = {1, 2, 3, 4, 5};
};

bool LayoutFromInfo(const std::vector<std::uint8_t>& info, Layout& layout) {
    layout.list.clear();
    bool identity = true;
    for (int i = 0; i < 48; ++i) {
        const int v = Le16(info.data() + 0x280 + i * 2);
        layout.list.push_back(v);
        identity = identity && v == i;
    }
    if (identity) {
        return true;
    }
    for (int group = 1; group <= 3; ++group) {
        const std::vector<int> seq = LowPageSequence(group);
        if (std::equal(layout.list.begin(), layout.list.end(), seq.begin() + 16)) {
            layout.lowPage = true;
            for (int t = 1; t <= 5; ++t) {
                layout.tablePage[t - 1] = seq[static_cast<std::size_t>(t)];
            }
            return true;
        }
    }
    return false;
}

// Page number of firmware page j of a file that starts at `start`.
int FirmwarePage(const Layout& layout, int start, int j) {
    if (!layout.lowPage) {
        return start + j;
    }
    int index = start;
    if (start >= 48) {
        const auto it = std::find(layout.list.begin(), layout.list.end(), start);
        if (it == layout.list.end()) {
            return -1;
        }
        index = static_cast<int>(it - layout.list.begin());
    }
    index += j;
    return index < 48 ? layout.list[static_cast<std::size_t>(index)] : -1;
}

bool CheckBlock(const Nand& nand, int block, BusPath bus, SystemAreaScan& scan) {
    const NandGeometry& g = nand.geometry();
    std::vector<std::uint8_t> slice(static_cast<std::size_t>(g.pageBytes()));
    auto read = [&](int channel, int page) {
        return page >= 0 && page < g.pagesPerBlock &&
               nand.ReadPage({channel, 0, block, page}, slice) == NandStatus::Ok &&
               nand.IsProgrammed({channel, 0, block, page});
    };
    std::vector<std::uint8_t> info;
    for (int c = 0; c < g.channels; ++c) {
        if (!read(c, 0) || !IsInfoPage(slice)) {
            scan.reason =
                "block " + std::to_string(block) + ": no info page on channel " + std::to_string(c);
            return false;
        }
        if (c == 0) {
            info = slice;
        }
    }
    Layout layout;
    if (!LayoutFromInfo(info, layout)) {
        scan.reason = "block " + std::to_string(block) + ": unknown system page list";
        return false;
    }
    for (int table : {1, 2, 4}) {
        for (int c = 0; c < g.channels; ++c) {
            if (!read(c, layout.tablePage[table - 1]) || !HasTableSignature(slice, table)) {
                scan.reason = "block " + std::to_string(block) + ": table page " +
                              std::to_string(table) + " unsigned on channel " + std::to_string(c);
                return false;
            }
        }
    }
    const int files = info[0x230];
    if (files < 1 || files > 2) {
        scan.reason = "block " + std::to_string(block) + ": no firmware files";
        return false;
    }
    std::vector<std::uint8_t> header;
    for (int f = 0; f < files; ++f) {
        const int start = Le16(info.data() + 0x238 + f * 4);
        const int count = Le16(info.data() + 0x23A + f * 4);
        if (count < 1) {
            scan.reason = "block " + std::to_string(block) + ": empty firmware file";
            return false;
        }
        for (int j = 0; j < count; ++j) {
            const int page = FirmwarePage(layout, start, j);
            if (!read(0, page)) {
                scan.reason = "block " + std::to_string(block) + ": firmware page missing";
                return false;
            }
            if (f == 0 && j == 0) {
                const bool letter =
                    slice[0x30D] == 'S' || (bus == BusPath::Usb && slice[0x30D] == 'U');
                if (!HasText(slice, 0x300, "DIZO", 4) || !letter) {
                    scan.reason = "block " + std::to_string(block) + ": no firmware header page";
                    return false;
                }
                header = slice;
            }
            if (f == files - 1 && j == count - 1) {
                const std::size_t n = slice.size();
                if (Le32(slice.data() + n - 4) != 0x31ECAA55u) {
                    scan.reason = "block " + std::to_string(block) + ": firmware trailer missing";
                    return false;
                }
            }
        }
    }
    scan.headerPage = std::move(header);
    return true;
}

}  // namespace

SystemAreaScan ScanSystemArea(const Nand& nand, BusPath bus) {
    SystemAreaScan scan;
    scan.reason = "no info page";
    const NandGeometry& g = nand.geometry();
    std::vector<std::uint8_t> slice(static_cast<std::size_t>(g.pageBytes()));
    int infoPages = 0;
    const int limit = std::min(g.blocksPerCe, kScanLimit);
    for (int block = 0; block < limit && infoPages < 4; ++block) {
        if (!nand.IsProgrammed({0, 0, block, 0}) ||
            nand.ReadPage({0, 0, block, 0}, slice) != NandStatus::Ok || !IsInfoPage(slice)) {
            continue;
        }
        if (!scan.infoFound) {
            scan.infoFound = true;
            scan.generation = Le16(slice.data() + 0x210);
        }
        ++infoPages;
        if (CheckBlock(nand, block, bus, scan)) {
            scan.sound = true;
            scan.bootBlock = block;
            scan.reason.clear();
            return scan;
        }
    }
    return scan;
}

}  // namespace kv::emu
