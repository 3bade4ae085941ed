#include "emulator/diag/rdt_records.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "emulator/bytes.h"
#include "emulator/drive.h"
#include "emulator/flash_answers.h"

namespace kv::emu {
namespace {

constexpr int kHeaderPage = 0;
constexpr int kRecordPage = 1;
constexpr int kLtsPage = 2;
constexpr int kDieInfoPage = 3;
constexpr int kFactoryBadPage = 4;

constexpr std::size_t kSerialAt = 24;
constexpr std::size_t kSerialRoom = 72 - kSerialAt;  // up to the step times
constexpr std::uint32_t kTicksPerSecond = 400;

using Page = std::vector<std::uint8_t>;

std::uint8_t ErrorFlags(RdtRecord r) {
    switch (r) {
        case RdtRecord::P07:
            return 0x01;
        case RdtRecord::P05:
            return 0x02;
        case RdtRecord::P06:
            return 0x04;
        default:
            return 0;
    }
}

// A byte that must not read as the 0xAA end marker of a list.
std::uint8_t NotEnd(std::uint8_t v) {
    return v == 0xAA ? 0xA9 : v;
}

std::uint8_t DieAddress(int channel, int lun, int bank) {
    return static_cast<std::uint8_t>(0x80 | ((channel & 7) << 4) | ((lun & 1) << 3) | (bank & 7));
}

void PutText(Page& page, std::size_t at, const char* text) {
    std::memcpy(page.data() + at, text, std::strlen(text));
}

Page HeaderPage(std::size_t bytes, std::uint8_t flags, int factoryPages, int errorPage) {
    Page p(bytes, 0);
    PutText(p, 0, "RDTM");
    p[6] = flags;
    PutLe16(p.data() + 796, static_cast<std::uint16_t>(errorPage));
    PutLe16(p.data() + 798, 1);
    PutLe16(p.data() + 800, kFactoryBadPage);
    PutLe16(p.data() + 802, static_cast<std::uint16_t>(factoryPages));
    PutLe16(p.data() + 808, kRecordPage);
    PutLe16(p.data() + 812, kDieInfoPage);
    return p;
}

Page RecordPage(std::size_t bytes, std::uint8_t flags, const DriveProfile& profile,
                const std::string& serial) {
    Page p(bytes, 0);
    PutText(p, 0, "RDTM");
    p[6] = flags;
    PutLe32(p.data() + 8, (3 * 3600 + 25 * 60 + 10) * kTicksPerSecond);
    p[12] = static_cast<std::uint8_t>(std::clamp(profile.temperature, 0, 255));
    p[13] = 0;   // system clock "250"
    p[15] = 8;   // not-empty page threshold per 1K
    p[16] = 40;  // error bits over threshold per 1 Kbit
    PutLe16(p.data() + 20, 60);
    PutLe16(p.data() + 22, 10);
    const std::size_t n = std::min(serial.size(), kSerialRoom - 1);
    std::memcpy(p.data() + kSerialAt, serial.data(), n);
    for (int k = 0; k < 6; ++k) {
        const std::uint32_t shortest = static_cast<std::uint32_t>(600 + 120 * k) * kTicksPerSecond;
        PutLe32(p.data() + 72 + k * 4, shortest);
        PutLe32(p.data() + 96 + k * 4, shortest + 45 * kTicksPerSecond);
    }
    PutText(p, 144, "RDT1.05A");
    p[152] = 0xAA;
    PutLe32(p.data() + 156, 3);
    PutLe16(p.data() + 192, 12);
    return p;
}

Page LtsPage(std::size_t bytes, RdtRecord r) {
    Page p(bytes, 0);
    PutText(p, 0, "LTSM");
    p[4] = r == RdtRecord::LtsPass ? 0x07 : r == RdtRecord::LtsFail ? 0x03 : 0x01;
    return p;
}

int FactoryBadIn(const Nand& nand, int channel, int chipEnable, int die) {
    const NandGeometry& g = nand.geometry();
    int n = 0;
    for (const BlockAddress& a : nand.plan().factory) {
        n += a.channel == channel && a.chipEnable == chipEnable && g.dieOfBlock(a.block) == die ? 1
                                                                                                : 0;
    }
    return n;
}

Page DieInfoPage(std::size_t bytes, const DriveProfile& profile, const Nand& nand, bool failed) {
    const NandGeometry& g = nand.geometry();
    Page p(bytes, 0);
    const std::size_t room = bytes / 32 - 1;  // leaves the end record
    std::size_t at = 0;
    for (int b = 0; b < std::min(g.chipEnables, 8); ++b) {
        for (int c = 0; c < std::min(g.channels, 8); ++c) {
            for (int lun = 0; lun < std::min(g.dies, 2); ++lun) {
                const std::uint8_t address = DieAddress(c, lun, b);
                const auto id = FlashIdOf(profile, c, b);
                // A record that would read as the end of the list is left out.
                if (at / 32 >= room || address == 0xAA || id[0] == 0xAA || id[1] == 0xAA) {
                    continue;
                }
                std::uint8_t* r = p.data() + at;
                r[0] = address;
                std::copy(id.begin(), id.end(), r + 1);
                const int bad = FactoryBadIn(nand, c, b, lun);
                PutLe16(r + 8, static_cast<std::uint16_t>(bad));
                r[10] = 32;  // 3.2
                r[11] = 27;  // 2.7
                PutLe16(r + 12, failed ? 0x0012 : 0);
                PutLe16(r + 16, static_cast<std::uint16_t>(
                                    std::min(bad * 1000 / std::max(g.blocksPerDie(), 1), 0x1FF)));
                at += 32;
            }
        }
    }
    std::fill_n(p.data() + at, 32, std::uint8_t{0xAA});
    return p;
}

// The factory-bad bitmap over all its pages.
std::vector<std::uint8_t> FactoryBadBitmap(const Nand& nand) {
    const NandGeometry& g = nand.geometry();
    std::vector<std::uint8_t> map(static_cast<std::size_t>(std::min(g.chipEnables, 4)) * 4096, 0);
    for (const BlockAddress& a : nand.plan().factory) {
        if (a.chipEnable >= 4 || a.channel >= 8 || a.block >= 4096) {
            continue;
        }
        const int pair = a.block / 2;
        const std::size_t at = static_cast<std::size_t>(a.chipEnable) * 4096 +
                               static_cast<std::size_t>(a.channel) * 512 +
                               static_cast<std::size_t>(pair / 4);
        map[at] = static_cast<std::uint8_t>(map[at] | (1u << ((pair % 4) * 2 + (a.block & 1))));
    }
    return map;
}

Page ErrorPage(std::size_t bytes, RdtRecord r, const DriveProfile& profile) {
    Page p(bytes, 0);
    std::size_t at = 0;
    auto entry = [&](int type, int planes, int page, int pair, int step, int action, int seconds) {
        std::uint8_t* e = p.data() + at;
        e[0] = DieAddress(0, 0, 0);
        e[1] = static_cast<std::uint8_t>((type << 4) | planes);
        PutLe16(e + 2, static_cast<std::uint16_t>(page));
        PutLe16(e + 4, static_cast<std::uint16_t>(pair));
        e[6] = type == 0 ? 45 : 0;
        e[7] = static_cast<std::uint8_t>((step << 4) | action);
        e[8] = NotEnd(static_cast<std::uint8_t>(std::clamp(profile.temperature + 5, 0, 255)));
        PutLe32(e + 12, static_cast<std::uint32_t>(seconds) * kTicksPerSecond);
        at += 16;
    };
    if (r == RdtRecord::P07) {
        entry(1, 1, 0x21, 0x0123, 3, 1, 5400);
        entry(1, 2, 0x7F, 0x0204, 3, 1, 7210);
    } else if (r == RdtRecord::P05) {
        entry(4, 3, 0, 0x0311, 1, 3, 900);
        entry(4, 1, 0, 0x0312, 1, 3, 905);
        entry(4, 2, 0, 0x0313, 1, 3, 910);
    } else if (r == RdtRecord::P06) {
        entry(3, 1, 0x7E, 0x0150, 5, 2, 9800);
        entry(3, 2, 0x7F, 0x0151, 5, 2, 9806);
    }
    std::fill_n(p.data() + at, 16, std::uint8_t{0xAA});
    return p;
}

}  // namespace

int RdtRecordBlock(const Nand& nand) {
    const NandGeometry& g = nand.geometry();
    const int lowest = (g.blocksPerCe * 9 + 9) / 10;
    for (int block = g.blocksPerCe - 1; block >= lowest; --block) {
        if (!nand.IsFactoryBad(0, 0, block) && !nand.IsGrownBad(0, 0, block)) {
            return block;
        }
    }
    return -1;
}

void WriteRdtRecords(const DriveProfile& profile, const std::string& serial, Nand& nand) {
    if (profile.rdt == RdtRecord::None) {
        return;
    }
    const int block = RdtRecordBlock(nand);
    const NandGeometry& g = nand.geometry();
    const std::size_t bytes = static_cast<std::size_t>(g.pageBytes());
    if (block < 0 || bytes < 1040 || g.pagesPerBlock < 8) {
        return;
    }
    const std::uint8_t flags = ErrorFlags(profile.rdt);
    const std::vector<std::uint8_t> bitmap = FactoryBadBitmap(nand);
    const int factoryPages = static_cast<int>((bitmap.size() + bytes - 1) / bytes);
    const int errorPage = kFactoryBadPage + factoryPages;
    auto program = [&](int channel, int page, const Page& data) {
        nand.ProgramPage({channel, 0, block, page}, data);
    };
    const Page header = HeaderPage(bytes, flags, factoryPages, errorPage);
    program(0, kHeaderPage, header);
    program(0, kRecordPage, RecordPage(bytes, flags, profile, serial));
    if (profile.rdt == RdtRecord::LtsPass || profile.rdt == RdtRecord::LtsNotRun ||
        profile.rdt == RdtRecord::LtsFail) {
        program(0, kLtsPage, LtsPage(bytes, profile.rdt));
    }
    program(0, kDieInfoPage, DieInfoPage(bytes, profile, nand, flags != 0));
    const Page zeros(bytes, 0);
    for (int k = 0; k < factoryPages; ++k) {
        Page part(bytes, 0);
        const std::size_t from = static_cast<std::size_t>(k) * bytes;
        std::copy_n(bitmap.begin() + static_cast<std::ptrdiff_t>(from),
                    std::min(bytes, bitmap.size() - from), part.begin());
        program(0, kFactoryBadPage + k, part);
        for (int c = 1; c < g.channels; ++c) {
            program(c, kFactoryBadPage + k, zeros);
        }
    }
    program(0, errorPage, ErrorPage(bytes, profile.rdt, profile));
    program(0, g.pagesPerBlock - 1, header);
}

void SeedReliabilityRecords(const DriveProfile& profile, Nand& nand) {
    WriteRdtRecords(
        profile, profile.rdtSerial.empty() ? DriveSerial(profile.name) : profile.rdtSerial, nand);
}

}  // namespace kv::emu
