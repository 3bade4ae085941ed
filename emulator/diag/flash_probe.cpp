#include "emulator/diag/flash_probe.h"

#include <algorithm>

#include "emulator/flash_answers.h"
#include "emulator/nand_geometry.h"

namespace kv::emu {

FlashView ProbeFlash(const ProgramSettings& settings, const Nand& nand, bool halfPageBlocks) {
    const NandGeometry& drive = nand.geometry();
    FlashView v;
    if (const auto g = GeometryFromTypeWord(settings.typeWord, 1, 1)) {
        v.sectorsPerPage = g->sectorsPerPage;
        v.pagesPerBlock = halfPageBlocks ? g->pagesPerBlock / 2 : g->pagesPerBlock;
        v.blocksPerCe = g->blocksPerCe;
        v.dies = g->dies;
        v.extendBlocks = settings.extendBlocks;
    }
    v.headerChannels = settings.channels;
    v.headerBanks = settings.banks;
    v.bankCodes = settings.bankCodes;
    v.channelsSeen = std::min(settings.channels, drive.channels);
    v.codesSeen.fill(0xFF);
    for (std::uint8_t code : settings.bankCodes) {
        if (v.channelsSeen == 0) {
            break;  // no channel enabled: nothing answers
        }
        const auto end = v.codesSeen.begin() + v.banksSeen;
        if (code >= drive.chipEnables || std::find(v.codesSeen.begin(), end, code) != end) {
            break;
        }
        v.codesSeen[static_cast<std::size_t>(v.banksSeen++)] = code;
    }
    return v;
}

std::array<std::uint8_t, 5> ReadFlashId(const DriveProfile& profile, const Nand& nand, int channel,
                                        int chipEnable) {
    const NandGeometry& g = nand.geometry();
    if (channel < 0 || channel >= g.channels || chipEnable < 0 || chipEnable >= g.chipEnables) {
        return {};
    }
    return FlashIdOf(profile, channel, chipEnable);
}

void FillFlashInfo(const FlashView& view, const DriveProfile& profile, const Nand& nand,
                   std::span<std::uint8_t> out) {
    if (out.size() < 18) {
        return;
    }
    std::fill(out.begin(), out.end(), std::uint8_t{0});
    if (view.channelsSeen > 0 && view.banksSeen > 0) {
        const auto id = ReadFlashId(profile, nand, 0, view.codesSeen[0]);
        std::copy(id.begin(), id.end(), out.begin());
    }
    out[7] = static_cast<std::uint8_t>(view.channelsSeen);
    out[8] = static_cast<std::uint8_t>(view.banksSeen);
    out[9] = static_cast<std::uint8_t>(view.channelsSeen * view.banksSeen);
    std::copy(view.codesSeen.begin(), view.codesSeen.end(), out.begin() + 10);
}

}  // namespace kv::emu
