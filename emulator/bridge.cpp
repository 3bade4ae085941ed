#include "emulator/bridge.h"

#include <algorithm>
#include <cstring>

#include "emulator/bytes.h"
#include "emulator/sense_data.h"

namespace kv::emu {
namespace {

constexpr std::uint8_t kInvalidOpcode = 0x20;
constexpr std::uint8_t kInvalidField = 0x24;
constexpr std::uint8_t kLbaOutOfRange = 0x21;

BridgeReply Reply(const ExecuteResult& r) {
    return {Fate::Answered, r};
}

BridgeReply Illegal(std::uint8_t asc) {
    return Reply(CheckCondition(kSenseIllegalRequest, asc, 0));
}

void PutText(std::uint8_t* at, const char* text, std::size_t width) {
    const std::size_t n = std::strlen(text);
    for (std::size_t i = 0; i < width; ++i) {
        at[i] = i < n ? static_cast<std::uint8_t>(text[i]) : ' ';
    }
}

}  // namespace

BridgeReply Bridge::Handle(Controller& controller, const std::uint8_t* cdb, std::size_t cdbLength,
                           DataDirection direction, std::uint8_t* data, std::size_t length) {
    if (cdbLength < 6) {
        return Illegal(kInvalidOpcode);
    }
    const std::uint8_t op = cdb[0];
    const bool sat = kind_.family == BridgeFamily::Sat;
    const bool direct = kind_.family == BridgeFamily::Direct;
    if (direct && controller.Booting()) {
        // A drive on its own USB interface is rebooting into its firmware:
        // it answers nothing but "becoming ready" until the boot is done.
        return Reply(CheckCondition(kSenseNotReady, 0x04, 0x01));
    }
    switch (op) {
        case 0x00:  // TEST UNIT READY
            return Reply(Good(0));
        case 0x12:
            return Inquiry(controller, cdb, direction, data, length);
        case 0x25: {  // READ CAPACITY(10)
            if (cdbLength < 10 || direction != DataDirection::In || length < 8) {
                return Illegal(kInvalidField);
            }
            const std::uint64_t capacity = controller.Capacity();
            const std::uint64_t last = capacity == 0 ? 0 : capacity - 1;
            std::memset(data, 0, std::min<std::size_t>(length, 8));
            PutBe32(data, static_cast<std::uint32_t>(std::min<std::uint64_t>(last, 0xFFFFFFFF)));
            PutBe32(data + 4, 512);
            return Reply(Good(8));
        }
        case 0x28:
        case 0x2A:
            return Sectors(controller, cdb, direction, data, length);
        case 0xA1:
        case 0x85:
            if (!sat) {
                return Illegal(kInvalidOpcode);
            }
            return PassThrough(controller, cdb, cdbLength, direction, data, length);
        case 0xFF: {
            if (sat && kind_.takesBridgeState() && cdbLength >= 12 && cdb[1] == 0x04 &&
                cdb[2] == 0x32 && direction == DataDirection::None && length == 0) {
                bridgeState_ = cdb[3];
                return Reply(Good(0));
            }
            if (!direct || cdbLength < 12) {
                return Illegal(kInvalidOpcode);
            }
            // The device sees the 12 bytes of the CDB and nothing more.
            VendorCommand command;
            std::copy_n(cdb, 12, command.block.begin());
            if (direction != DataDirection::None) {
                if (length == 0 || length % 512 != 0) {
                    return Illegal(kInvalidField);
                }
                command.transfer = direction == DataDirection::In ? Transfer::In : Transfer::Out;
                command.data = std::span<std::uint8_t>(data, length);
                command.sectors = static_cast<std::uint32_t>(length / 512);
            }
            const VendorReply reply = controller.VendorDirect(command);
            if (reply.fate != Fate::Answered) {
                return {reply.fate, {}};
            }
            if (!reply.answer.ok) {
                return Reply(CheckCondition(kSenseAborted, 0x00, 0x00));
            }
            return Reply(Good(command.transfer == Transfer::None ? 0 : length));
        }
        default:
            return Illegal(kInvalidOpcode);
    }
}

BridgeReply Bridge::Inquiry(Controller& controller, const std::uint8_t* cdb,
                            DataDirection direction, std::uint8_t* data, std::size_t length) {
    if (direction != DataDirection::In || (cdb[1] & 0x01) != 0 || cdb[2] != 0) {
        return Illegal(kInvalidField);
    }
    const std::size_t allocation = Be16(cdb + 3);
    std::uint8_t answer[40] = {};
    answer[0] = 0x00;  // direct-access block device
    answer[2] = 0x06;
    answer[3] = 0x02;
    answer[4] = sizeof answer - 5;
    if (kind_.family == BridgeFamily::Direct) {
        if (controller.state() == ControllerState::Firmware) {
            PutText(answer + 8, "Korvane", 8);
            PutText(answer + 16, "KVR51X USB SSD", 16);
        } else {
            PutText(answer + 8, "Vudivod EZA USB Loader", 24);
        }
    } else {
        PutText(answer + 8, "USB", 8);
        PutText(answer + 16, "SATA Bridge", 16);
    }
    PutText(answer + 32, "1.00", 4);
    std::copy(code_.begin(), code_.end(), answer + 36);
    const std::size_t n = std::min({allocation, length, sizeof answer});
    std::copy_n(answer, n, data);
    return Reply(Good(n));
}

BridgeReply Bridge::Sectors(Controller& controller, const std::uint8_t* cdb,
                            DataDirection direction, std::uint8_t* data, std::size_t length) {
    const bool write = cdb[0] == 0x2A;
    const std::uint32_t lba = Be32(cdb + 2);
    const std::uint32_t count = Be16(cdb + 7);
    const DataDirection want = count == 0 ? DataDirection::None
                               : write    ? DataDirection::Out
                                          : DataDirection::In;
    if (direction != want || length != static_cast<std::size_t>(count) * 512) {
        return Illegal(kInvalidField);
    }
    const AtaReply reply =
        controller.Sectors(write, lba, count, std::span<std::uint8_t>(data, length));
    if (reply.fate != Fate::Answered) {
        return {reply.fate, {}};
    }
    if (reply.ok) {
        return Reply(Good(length));
    }
    if (controller.state() != ControllerState::Firmware) {
        return Reply(CheckCondition(kSenseNotReady, 0x04, 0x00));
    }
    if (static_cast<std::uint64_t>(lba) + count > controller.Capacity()) {
        return Illegal(kLbaOutOfRange);
    }
    return Reply(write ? CheckCondition(kSenseMedium, 0x0C, 0x00)
                       : CheckCondition(kSenseMedium, 0x11, 0x00));
}

BridgeReply Bridge::PassThrough(Controller& controller, const std::uint8_t* cdb,
                                std::size_t cdbLength, DataDirection direction, std::uint8_t* data,
                                std::size_t length) {
    const bool twelve = cdb[0] == 0xA1;
    if (cdbLength < (twelve ? 12u : 16u)) {
        return Illegal(kInvalidField);
    }
    const bool extend = (cdb[1] & 0x01) != 0;
    if (twelve && extend) {
        return Illegal(kInvalidField);
    }
    const int protocol = (cdb[1] >> 1) & 0x0F;
    const std::uint8_t flags = cdb[2];
    const int lengthField = flags & 0x03;
    const bool blocks = (flags & 0x04) != 0;
    const bool toHost = (flags & 0x08) != 0;
    const bool returnRegisters = (flags & 0x20) != 0;

    AtaCommand command;
    switch (protocol) {
        case 3:
            command.protocol = AtaProtocol::NonData;
            break;
        case 4:
            command.protocol = AtaProtocol::PioIn;
            break;
        case 5:
            command.protocol = AtaProtocol::PioOut;
            break;
        case 6:
            command.protocol = toHost ? AtaProtocol::DmaIn : AtaProtocol::DmaOut;
            break;
        case 10:
            command.protocol = AtaProtocol::DmaIn;
            break;
        case 11:
            command.protocol = AtaProtocol::DmaOut;
            break;
        default:
            return Illegal(kInvalidField);
    }
    if (command.dma() && kind_.pioOnly()) {
        return Illegal(kInvalidField);  // this bridge moves no DMA data
    }
    // The protocol, the transfer flags and the request must tell the same direction.
    if (command.protocol == AtaProtocol::NonData) {
        if (lengthField != 0 || direction != DataDirection::None || length != 0) {
            return Illegal(kInvalidField);
        }
    } else {
        const DataDirection want = command.dataIn() ? DataDirection::In : DataDirection::Out;
        if (lengthField == 0 || toHost != command.dataIn() || direction != want || length == 0) {
            return Illegal(kInvalidField);
        }
    }
    if (twelve) {
        command.features = cdb[3];
        command.count = cdb[4];
        command.lba = static_cast<std::uint64_t>(cdb[5]) |
                      (static_cast<std::uint64_t>(cdb[6]) << 8) |
                      (static_cast<std::uint64_t>(cdb[7]) << 16) |
                      (static_cast<std::uint64_t>(cdb[8] & 0x0F) << 24);
        command.device = cdb[8];
        command.command = cdb[9];
    } else if (extend) {
        command.ext = true;
        command.features = static_cast<std::uint16_t>((cdb[3] << 8) | cdb[4]);
        command.count = static_cast<std::uint16_t>((cdb[5] << 8) | cdb[6]);
        command.lba = static_cast<std::uint64_t>(cdb[8]) |
                      (static_cast<std::uint64_t>(cdb[10]) << 8) |
                      (static_cast<std::uint64_t>(cdb[12]) << 16) |
                      (static_cast<std::uint64_t>(cdb[7]) << 24) |
                      (static_cast<std::uint64_t>(cdb[9]) << 32) |
                      (static_cast<std::uint64_t>(cdb[11]) << 40);
        command.device = cdb[13];
        command.command = cdb[14];
    } else {
        command.features = cdb[4];
        command.count = cdb[6];
        command.lba = static_cast<std::uint64_t>(cdb[8]) |
                      (static_cast<std::uint64_t>(cdb[10]) << 8) |
                      (static_cast<std::uint64_t>(cdb[12]) << 16) |
                      (static_cast<std::uint64_t>(cdb[13] & 0x0F) << 24);
        command.device = cdb[13];
        command.command = cdb[14];
    }
    if (lengthField == 1 || lengthField == 2) {
        // The length sits in the Features or Sector Count field.
        std::size_t units = lengthField == 1 ? command.features : command.count;
        if (units == 0) {
            units = command.ext ? 65536 : 256;
        }
        if (length != units * (blocks ? 512 : 1)) {
            return Illegal(kInvalidField);
        }
    }
    command.data = std::span<std::uint8_t>(data, length);
    const AtaReply reply = controller.Ata(command);
    if (reply.fate != Fate::Answered) {
        return {reply.fate, {}};
    }
    if (!reply.ok || returnRegisters) {
        return Reply(AtaRegisters(reply, command.ext, reply.ok ? reply.bytes : 0));
    }
    return Reply(Good(reply.bytes));
}

}  // namespace kv::emu
