// Flash commands of the vendor channel: ID and page reads in every state,
// page writes and block erases while a program runs.
#include <algorithm>

#include "emulator/bytes.h"
#include "emulator/controller.h"
#include "emulator/flash_answers.h"

namespace kv::emu {

VendorAnswer Controller::FlashCommand(const VendorCommand& command) {
    const NandGeometry& g = nand_.geometry();
    const std::uint8_t* b = command.block.data();
    const std::uint8_t sub = command.subCode();
    const int channel = b[3];
    const int chipEnable = b[4];  // chip-enable code: the station's bank map gives codes 0..7
    const int block = Be16(b + 5);
    const int page = Be16(b + 7);
    const std::uint32_t slice = static_cast<std::uint32_t>(g.pageBytes());
    // Bytes 12 and up reach the controller only on the SATA path.
    const std::uint32_t offset = Be32(b + 12);

    if (sub == 0x88) {  // VC_FLH_ReadId
        if (command.transfer != Transfer::In) {
            return {};
        }
        if (channel < g.channels && chipEnable < g.chipEnables && !command.data.empty()) {
            const auto id = FlashIdOf(profile_, channel, chipEnable);
            std::copy_n(id.begin(), std::min(id.size(), command.data.size()), command.data.begin());
        }
        // A chip enable that is not there answers nothing: the ID reads as zeros.
        return {true, command.data.size()};
    }

    if (sub == 0x89 || sub == 0x0D || sub == 0x09) {  // page reads
        if (command.transfer != Transfer::In || channel >= g.channels ||
            chipEnable >= g.chipEnables || !nand_.InRange(channel, chipEnable, block) ||
            page >= g.pagesPerBlock) {
            return {};
        }
        std::vector<std::uint8_t> buf(slice);
        std::size_t at = 0;
        for (int c = channel; c < g.channels && at < command.data.size(); ++c) {
            nand_.ReadPage({c, chipEnable, block, page}, buf);
            const std::size_t n = std::min<std::size_t>(slice, command.data.size() - at);
            std::copy_n(buf.begin(), n, command.data.begin() + static_cast<std::ptrdiff_t>(at));
            at += n;
        }
        return {true, command.data.size()};
    }

    // Writes and erases: only a running program drives them.
    if (state_ != ControllerState::Program || !vendorEnabled_) {
        return {};
    }

    if (sub == 0x8B) {  // VC_FLH_EraseBlock
        if (command.transfer != Transfer::None || chipEnable >= g.chipEnables ||
            !nand_.InRange(0, chipEnable, block) || channel > g.channels) {
            return {};
        }
        const int first = channel == g.channels ? 0 : channel;
        const int last = channel == g.channels ? g.channels - 1 : channel;
        bool ok = true;
        for (int c = first; c <= last; ++c) {
            ok = nand_.EraseBlock(c, chipEnable, block) == NandStatus::Ok && ok;
        }
        return {ok, 0};
    }

    if (sub == 0x8A) {  // VC_FLH_WritePages
        if (command.transfer != Transfer::Out || chipEnable >= g.chipEnables ||
            !nand_.InRange(0, chipEnable, block) || page >= g.pagesPerBlock) {
            return {};
        }
        bool ok = true;
        if (bus_ == BusPath::Usb) {
            // A 12-byte block carries no mask and no offset: the transfer is
            // the page set from channel 0 on.
            if (command.data.size() % slice != 0) {
                return {};
            }
            const int slices = static_cast<int>(command.data.size() / slice);
            if (slices > g.channels) {
                return {};
            }
            for (int c = 0; c < slices; ++c) {
                const auto part = command.data.subspan(static_cast<std::size_t>(c) * slice, slice);
                ok = nand_.ProgramPage({c, chipEnable, block, page}, part) == NandStatus::Ok && ok;
            }
            return {ok, command.data.size()};
        }
        // The data lands in the controller's buffer at the offset; the mask
        // then programs channel k from slice k of the block's plane.
        const std::size_t bufferBytes = static_cast<std::size_t>(slice) * 16;
        if (offset > bufferBytes || command.data.size() > bufferBytes - offset) {
            return {};
        }
        if (dataBuffer_.size() != bufferBytes) {
            dataBuffer_.assign(bufferBytes, 0xFF);
        }
        std::copy(command.data.begin(), command.data.end(), dataBuffer_.begin() + offset);
        const std::size_t planeBase = (block & 1) != 0 ? static_cast<std::size_t>(slice) * 8 : 0;
        const std::uint8_t mask = b[16];
        for (int c = 0; c < g.channels; ++c) {
            if ((mask & (1u << c)) == 0) {
                continue;
            }
            const std::span<const std::uint8_t> part(
                dataBuffer_.data() + planeBase + static_cast<std::size_t>(c) * slice, slice);
            ok = nand_.ProgramPage({c, chipEnable, block, page}, part) == NandStatus::Ok && ok;
        }
        return {ok, command.data.size()};
    }
    return {};
}

}  // namespace kv::emu
