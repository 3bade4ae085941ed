#include "emulator/produced_flash.h"

#include <algorithm>
#include <vector>

#include "emulator/bytes.h"
#include "emulator/identify_data.h"
#include "emulator/nand.h"

namespace kv::emu {
namespace {

using Page = std::vector<std::uint8_t>;

void PutSignature(std::uint8_t* at, const std::uint8_t tag[4]) {
    std::copy_n(tag, 4, at);
    const char* text = "KVR51X-V001";
    std::copy_n(text, 12, at + 4);
}

// Copies `n` bytes of `text` into the page at `offset`, within the page.
void PutBytes(Page& page, std::size_t offset, const char* text, std::size_t n) {
    for (std::size_t i = 0; i < n && offset + i < page.size(); ++i) {
        page[offset + i] = static_cast<std::uint8_t>(text[i]);
    }
}

}  // namespace

bool WriteProducedSystemArea(Nand& nand, const DriveProfile& profile, BusPath bus,
                             const std::string& serial, std::string& error) {
    const NandGeometry& g = nand.geometry();
    const std::size_t slice = static_cast<std::size_t>(g.pageBytes());
    std::vector<int> good;
    for (int b = 0; b < g.blocksPerCe && good.size() < 5; ++b) {
        bool ok = true;
        for (int c = 0; c < g.channels; ++c) {
            ok = ok && !nand.IsFactoryBad(c, 0, b) && !nand.IsGrownBad(c, 0, b);
        }
        if (ok) {
            good.push_back(b);
        }
    }
    if (good.size() < 5) {
        error = "no room for a system area";
        return false;
    }
    const std::vector<int> codeBlocks(good.begin(), good.begin() + 4);
    const int laterBlock = good[4];
    const int firmwarePages = 2;

    // Info page (channel slices differ in byte 0x18, the first in 0x1D).
    Page info(slice, 0);
    PutBytes(info, 0, "LDBK BLOCKS V50", 16);
    PutBytes(info, 0x10, "51X V2 ", 8);
    info[0x19] = static_cast<std::uint8_t>(g.sectorsPerPage);
    PutLe16(info.data() + 0x1A, static_cast<std::uint16_t>(g.pagesPerBlock));
    info[0x1C] = 2;
    for (std::size_t i = 0; i < codeBlocks.size(); ++i) {
        PutLe16(info.data() + 0x20 + i * 4, static_cast<std::uint16_t>(codeBlocks[i]));
        PutLe16(info.data() + 0x22 + i * 4, 7);
    }
    PutBytes(info, 0x200, "LDBK CONFIG V50", 16);
    PutLe16(info.data() + 0x210, 1);
    PutLe32(info.data() + 0x214, 560);
    PutLe32(info.data() + 0x218, 640);
    PutLe32(info.data() + 0x21C, 736);
    info[0x230] = 1;
    PutLe16(info.data() + 0x234, 8);
    PutLe16(info.data() + 0x236, static_cast<std::uint16_t>(8 + firmwarePages - 1));
    PutLe16(info.data() + 0x238, 8);
    PutLe16(info.data() + 0x23A, firmwarePages);
    PutBytes(info, 0x260, "KVEMU-NAND", 10);
    for (int i = 0; i < 48; ++i) {
        PutLe16(info.data() + 0x280 + i * 2, static_cast<std::uint16_t>(i));
    }
    PutLe16(info.data() + 0x2E0, 12);
    for (int group = 0; group < 3; ++group) {
        std::uint8_t* at = info.data() + 0x2E4 + group * 20;
        for (int r = 0; r < 4; ++r) {
            PutLe32(at + r * 4, 0xB0004920u + static_cast<std::uint32_t>(group * 4 + r));
            at[16 + r] = static_cast<std::uint8_t>(group * 4 + r + 1);
        }
    }

    // Defect and early tables, per channel: the factory bad blocks by chip enable.
    std::vector<Page> defect(static_cast<std::size_t>(g.channels), Page(slice, 0));
    std::vector<Page> early(static_cast<std::size_t>(g.channels), Page(slice, 0));
    static const std::uint8_t kDefectTag[4] = {0xE9, 0x86, 0xAA, 0x55};
    static const std::uint8_t kEarlyTag[4] = {0x45, 0x79, 0xAA, 0x55};
    for (int c = 0; c < g.channels; ++c) {
        std::uint8_t* d = defect[static_cast<std::size_t>(c)].data();
        std::uint8_t* e = early[static_cast<std::size_t>(c)].data();
        PutSignature(d, kDefectTag);
        PutSignature(e, kEarlyTag);
        std::size_t dAt = 16;
        std::size_t eAt = 16;
        for (int ce = 0; ce < g.chipEnables; ++ce) {
            if (dAt + 8 <= slice) {
                d[dAt] = 0xFB;
                d[dAt + 1] = 0xA0;
                d[dAt + 2] = static_cast<std::uint8_t>(ce);
                dAt += 4;
            }
            if (eAt + 4 <= slice) {
                PutLe16(e + eAt, static_cast<std::uint16_t>(0xFB00 | ce));
                eAt += 2;
            }
            for (int b = 0; b < g.blocksPerCe; ++b) {
                if (!nand.IsFactoryBad(c, ce, b)) {
                    continue;
                }
                if (dAt + 8 <= slice) {
                    PutLe16(d + dAt, static_cast<std::uint16_t>(b));
                    d[dAt + 2] = static_cast<std::uint8_t>(g.dieOfBlock(b) * 16 + (b & 1));
                    d[dAt + 3] = 9;
                    dAt += 4;
                }
                if (eAt + 4 <= slice) {
                    PutLe16(e + eAt, static_cast<std::uint16_t>(b));
                    eAt += 2;
                }
            }
        }
        d[dAt] = 0xFE;
        d[dAt + 1] = 0xD1;
        PutLe16(e + eAt, 0xFE00);
    }

    // System parameter page.
    Page sysp(slice, 0xFF);
    PutBytes(sysp, 0, "SYSPKVR51X-V001", 16);
    PutLe16(sysp.data() + 16, static_cast<std::uint16_t>(laterBlock));
    PutLe16(sysp.data() + 20, static_cast<std::uint16_t>(laterBlock));

    // Firmware: header page and last page.
    Page header(slice, 0);
    Sector id = BasicIdentify(kProducedModel, serial, "EMU1.00", profile.sataSpeed);
    std::copy(id.begin(), id.end(), header.begin() + 0x04C);
    PutBytes(header, 0x300, "DIZO", 4);
    PutBytes(header, 0x306, "100001", 6);
    header[0x30D] = bus == BusPath::Usb ? 'U' : 'S';
    PutBytes(header, 0x324, "517", 3);
    PutBytes(header, 0x329, "42", 2);
    PutBytes(header, 0x330, "EMU0", 4);
    PutLe16(header.data() + 0x500, profile.typeWord);
    header[0x503] = static_cast<std::uint8_t>(g.channels);
    header[0x504] = static_cast<std::uint8_t>(g.chipEnables);
    header[0x505] = 2;
    for (std::size_t i = 0; i < codeBlocks.size(); ++i) {
        PutLe16(header.data() + 0x510 + i * 2, static_cast<std::uint16_t>(codeBlocks[i]));
    }
    PutLe16(header.data() + 0x518, 64);
    for (int i = 0; i < 8; ++i) {
        header[0x528 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
    }
    Page last(slice, 0x11);
    PutLe32(last.data() + slice - 4, 0x31ECAA55u);

    auto program = [&](int block, int page, int channel, const Page& data) {
        if (nand.ProgramPage({channel, 0, block, page}, data) != NandStatus::Ok) {
            error =
                "cannot program block " + std::to_string(block) + " page " + std::to_string(page);
            return false;
        }
        return true;
    };
    for (std::size_t i = 0; i < codeBlocks.size(); ++i) {
        const int block = codeBlocks[i];
        for (int c = 0; c < g.channels; ++c) {
            Page infoSlice = info;
            infoSlice[0x18] = static_cast<std::uint8_t>(c);
            infoSlice[0x1D] = c == 0 ? static_cast<std::uint8_t>(block) : 0;
            Page d = defect[static_cast<std::size_t>(c)];
            Page e = early[static_cast<std::size_t>(c)];
            Page s = sysp;
            for (const Fault& f : profile.faults) {
                if (f.kind == FaultKind::TableDamage && f.first == static_cast<int>(i) && c == 0) {
                    Page* target = f.second == 1   ? &d
                                   : f.second == 2 ? &e
                                   : f.second == 4 ? &s
                                                   : nullptr;
                    if (target != nullptr) {
                        (*target)[0] = static_cast<std::uint8_t>((*target)[0] ^ 0xFF);
                    }
                }
            }
            if (!program(block, 0, c, infoSlice) || !program(block, 1, c, d) ||
                !program(block, 2, c, e) || !program(block, 4, c, s) ||
                !program(block, 8, c, header) || !program(block, 9, c, last)) {
                return false;
            }
        }
    }
    return true;
}

}  // namespace kv::emu
