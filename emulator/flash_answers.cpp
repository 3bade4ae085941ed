#include "emulator/flash_answers.h"

#include <algorithm>
#include <vector>

#include "emulator/bytes.h"
#include "emulator/nand.h"

namespace kv::emu {

std::array<std::uint8_t, 5> FlashIdOf(const DriveProfile& profile, int channel, int chipEnable) {
    std::array<std::uint8_t, 5> id = profile.flashId;
    for (const Fault& f : profile.faults) {
        if (f.kind == FaultKind::IdMismatch && f.first == channel && f.second == chipEnable) {
            id[1] = static_cast<std::uint8_t>(id[1] ^ 0x5A);
            id[3] = static_cast<std::uint8_t>(id[3] ^ 0x01);
        }
    }
    return id;
}

VendorAnswer AnswerSystemAreaRead(const Nand& nand, const VendorCommand& command) {
    const NandGeometry& g = nand.geometry();
    const std::uint8_t* b = command.block.data();
    if (command.transfer != Transfer::In || b[3] != 0xFF) {
        return {};
    }
    const std::uint32_t slice = static_cast<std::uint32_t>(g.pageBytes());
    const std::uint32_t offset = Be32(b + 12);
    const int plane = static_cast<int>((offset / (slice * 8)) & 1);
    const int firstChannel = static_cast<int>((offset / slice) % 8);
    const int block = Be16(b + 5) * 2 + plane;
    const int page = Be16(b + 7);
    if (!nand.InRange(0, 0, block) || page >= g.pagesPerBlock) {
        return {};
    }
    std::fill(command.data.begin(), command.data.end(), std::uint8_t{0});
    std::vector<std::uint8_t> buf(slice);
    std::size_t at = 0;
    for (int c = firstChannel; c < g.channels && at < command.data.size(); ++c) {
        nand.ReadPage({c, 0, block, page}, buf);
        const std::size_t n = std::min<std::size_t>(slice, command.data.size() - at);
        std::copy_n(buf.begin(), n, command.data.begin() + static_cast<std::ptrdiff_t>(at));
        at += n;
    }
    return {true, command.data.size()};
}

VendorAnswer AnswerBadBlockInfo(const Nand& nand, const VendorCommand& command) {
    const NandGeometry& g = nand.geometry();
    const std::uint8_t* b = command.block.data();
    const int channel = b[3];
    const int index = b[4];
    const int chipEnable = index % g.chipEnables;
    const int die = index / g.chipEnables;
    if (command.transfer != Transfer::In || channel >= g.channels || die >= g.dies ||
        command.data.size() < 512) {
        return {};
    }
    std::fill(command.data.begin(), command.data.end(), std::uint8_t{0});
    const std::size_t room = (command.data.size() - 8) / 4;
    std::size_t count = 0;
    const int first = die * g.blocksPerDie();
    for (int block = first; block < first + g.blocksPerDie() && count < room; ++block) {
        const bool factory = nand.IsFactoryBad(channel, chipEnable, block);
        if (!factory && !nand.HasFailed(channel, chipEnable, block)) {
            continue;
        }
        std::uint8_t* e = command.data.data() + 8 + count * 4;
        PutLe16(e, static_cast<std::uint16_t>(block));
        e[2] = static_cast<std::uint8_t>(die * 16 + (block & 1));
        e[3] = factory ? 9 : 4;
        ++count;
    }
    PutLe16(command.data.data() + 4, static_cast<std::uint16_t>(count));
    return {true, command.data.size()};
}

}  // namespace kv::emu
