// The controller's vendor command set: dispatch by sub-code and state.
#include <algorithm>
#include <cstring>

#include "emulator/bytes.h"
#include "emulator/controller.h"
#include "emulator/flash_answers.h"
#include "emulator/identify_data.h"
#include "emulator/system_area.h"

namespace kv::emu {
namespace {

constexpr std::uint32_t kCodeWindowBit = 0x40000000;

bool NoParameters(const VendorCommand& c) {
    for (std::size_t i = 3; i < c.block.size(); ++i) {
        if (c.block[i] != 0) {
            return false;
        }
    }
    return true;
}

bool IsProgramSubCode(std::uint8_t sub) {
    return sub <= 0x08 || sub == 0x0E || (sub >= 0x21 && sub <= 0x24);
}

VendorAnswer Filled(const VendorCommand& c) {
    return {true, c.data.size()};
}

}  // namespace

VendorReply Controller::Vendor(const VendorCommand& command) {
    VendorReply reply;
    reply.fate = Fire({DriveEvent::Kind::SubCode, command.subCode()});
    if (reply.fate != Fate::Answered) {
        return reply;
    }
    const std::uint8_t sub = command.subCode();
    // Data-in is built in a zeroed buffer of the controller's own and reaches
    // the host only when the command succeeds.
    std::vector<std::uint8_t> scratch;
    VendorCommand inner = command;
    if (command.transfer == Transfer::In) {
        scratch.assign(command.data.size(), 0);
        inner.data = scratch;
    }
    reply.answer = Dispatch(inner);
    if (command.transfer == Transfer::In && reply.answer.ok) {
        std::copy(scratch.begin(), scratch.end(), command.data.begin());
    }
    if (unplug_) {
        reply.fate = Fate::Gone;
    } else if (hung_ && reply.fate == Fate::Answered && sub != 0x82) {
        reply.fate = Fate::NoAnswer;
    }
    return reply;
}

VendorAnswer Controller::Dispatch(const VendorCommand& command) {
    const std::uint8_t sub = command.subCode();
    struct {
        VendorAnswer answer;
    } reply;
    if (IsProgramSubCode(sub)) {
        bool handled = false;
        reply.answer = ProgramCommand(command, handled);
        if (!handled && state_ == ControllerState::Firmware) {
            reply.answer = FirmwareRead(command);
        }
    } else if (sub == 0x09 || sub == 0x0D || (sub >= 0x88 && sub <= 0x8B)) {
        reply.answer = FlashCommand(command);
    } else {
        reply.answer = SystemCommand(command);
    }
    return reply.answer;
}

VendorAnswer Controller::ByteAnswer(const VendorCommand& command, std::uint8_t value) const {
    if (command.transfer != Transfer::In || command.data.size() < 512) {
        return {};
    }
    if (bus_ == BusPath::Sata) {
        command.data[0] = 0xE5;
        command.data[1] = value;
    } else {
        command.data[0] = value;
    }
    return Filled(command);
}

VendorAnswer Controller::ProgramCommand(const VendorCommand& command, bool& handled) {
    handled = false;
    if (state_ != ControllerState::Program || !program_) {
        return {};
    }
    handled = true;
    const std::uint8_t sub = command.subCode();
    const bool statusRead = sub == 0x00 && command.transfer == Transfer::In &&
                            command.sectors == 1 && NoParameters(command);
    if (statusRead) {
        return ByteAnswer(command, busy_ ? 0xAA : program_->Status());
    }
    if (sub >= 0x01 && sub <= 0x04 && command.transfer == Transfer::None) {
        Fire({DriveEvent::Kind::ProgramStart, sub});
        if (hung_ || unplug_) {
            return {};
        }
        if (busy_) {
            return {true, 0};  // the program starts and never finishes
        }
    }
    return program_->Handle(command);
}

VendorAnswer Controller::FirmwareRead(const VendorCommand& command) {
    const std::uint8_t sub = command.subCode();
    if (command.transfer != Transfer::In) {
        return {};
    }
    if (sub == 0x00) {
        if (command.sectors == 1 && NoParameters(command)) {
            return {};  // a status read: no program runs
        }
        return AnswerBadBlockInfo(nand_, command);
    }
    if (sub == 0x01) {
        // Erase counts as the diagnostic program saved them: the sector count
        // times 128 at byte 0, the data from byte 4.
        const std::vector<std::uint8_t>& area = saved_.eraseCountArea;
        if (command.data.size() >= 4) {
            const std::size_t n = std::min(area.size(), command.data.size() - 4);
            PutLe16(command.data.data(), static_cast<std::uint16_t>((n / 512) << 7));
            std::copy_n(area.begin(), n, command.data.begin() + 4);
        }
        return Filled(command);
    }
    if (sub == 0x04) {
        return AnswerSystemAreaRead(nand_, command);
    }
    if (sub == 0x05 && bus_ == BusPath::Usb) {
        const Sector smart = SmartData(saved_.smartSector, profile_.temperature, saved_.powerUps,
                                       saved_.sectorsWritten);
        std::copy_n(smart.begin(), std::min(smart.size(), command.data.size()),
                    command.data.begin());
        return Filled(command);
    }
    return {};
}

void Controller::CtrlInfo(std::span<std::uint8_t> out) {
    // The controller information record (104 bytes): model text, state,
    // geometry, flash ID, and the table generation at bytes 44-45.
    std::uint8_t* r = out.data();
    std::memcpy(r, "KVR51X", 6);
    r[8] = state_ == ControllerState::Loader ? 0 : state_ == ControllerState::Program ? 1 : 2;
    r[9] = static_cast<std::uint8_t>(nand_.geometry().channels);
    r[10] = static_cast<std::uint8_t>(nand_.geometry().chipEnables);
    r[11] = static_cast<std::uint8_t>(nand_.geometry().dies);
    std::copy(profile_.flashId.begin(), profile_.flashId.end(), r + 12);
    PutLe16(r + 20, profile_.typeWord);
    std::uint16_t generation = 0;
    if (state_ != ControllerState::Loader) {
        generation = ScanSystemArea(nand_, bus_).generation;
    }
    PutLe16(r + 44, generation);
}

VendorAnswer Controller::SystemCommand(const VendorCommand& command) {
    const std::uint8_t* b = command.block.data();
    const std::uint8_t sub = command.subCode();
    if (sub == 0x83) {
        if (command.transfer != Transfer::None) {
            return {};
        }
        const std::uint8_t mode = b[3];
        if (mode == 1 || mode == 2) {
            vendorEnabled_ = true;
            if (state_ != ControllerState::Firmware && !bootAtMs_) {
                SystemAreaScan scan = ScanSystemArea(nand_, bus_);
                if (scan.sound) {
                    pendingHeader_ = std::move(scan.headerPage);
                    bootAtMs_ = (clock_ != nullptr ? clock_->NowMs() : 0) + kBootDelayMs;
                }
            }
            return {true, 0};
        }
        if (mode == 10) {
            vendorEnabled_ = true;
            return {true, 0};
        }
        return {};
    }
    if (!vendorEnabled_) {
        return {};
    }
    switch (sub) {
        case 0x80:  // VC_SYS_GetCtrlInfo
            if (command.transfer != Transfer::In || command.data.size() < 512) {
                return {};
            }
            CtrlInfo(command.data);
            return Filled(command);
        case 0x82: {  // VC_SYS_JumpToPRAM
            if (command.transfer != Transfer::None) {
                return {};
            }
            std::vector<std::uint8_t> image = pram_.Image();
            const bool gdp = std::memcmp(image.data() + 0x300, "GDP_", 4) == 0;
            const bool tst = std::memcmp(image.data() + 0x300, "TST_", 4) == 0;
            bootAtMs_.reset();
            if (!gdp && !tst) {
                // An image that is no program: the controller runs into
                // nothing and answers no more until power-up.
                program_.reset();
                hung_ = true;
                return {true, 0};
            }
            program_.reset();
            state_ = ControllerState::Program;
            header_.clear();
            static VirtualClock stillClock;
            Clock& clock = clock_ != nullptr ? *clock_ : stillClock;
            program_ = MakeRunningProgram(ProgramContext{
                profile_, nand_, clock, saved_, bus_,
                gdp ? ProgramKind::Diagnostic : ProgramKind::Test, std::move(image)});
            return {true, 0};
        }
        case 0x84: {  // VC_SYS_ReadReg
            const std::uint32_t address = Be32(b + 3);
            std::uint8_t value = 0;
            for (const auto& [a, v] : registers_) {
                if (a == address) {
                    value = v;
                }
            }
            return ByteAnswer(command, value);
        }
        case 0x85: {  // VC_SYS_WriteReg
            if (command.transfer != Transfer::None) {
                return {};
            }
            const std::uint32_t address = Be32(b + 3);
            for (auto& entry : registers_) {
                if (entry.first == address) {
                    entry.second = b[7];
                    return {true, 0};
                }
            }
            if (registers_.size() < 4096) {
                registers_.emplace_back(address, b[7]);
            }
            return {true, 0};
        }
        case 0x86:    // VC_SYS_ReadMem
        case 0x87: {  // VC_SYS_WriteMem
            const bool read = sub == 0x86;
            if (b[3] != 3 || command.transfer != (read ? Transfer::In : Transfer::Out)) {
                return {};
            }
            const std::uint32_t address = Be32(b + 4);
            if ((address & kCodeWindowBit) != 0) {
                const std::uint32_t offset = address & ~kCodeWindowBit;
                const bool ok =
                    read ? pram_.Read(offset, command.data) : pram_.Write(offset, command.data);
                return ok ? Filled(command) : VendorAnswer{};
            }
            if (!read || state_ != ControllerState::Firmware || address >= header_.size()) {
                return {};
            }
            // The header page of the running firmware at address 0.
            const std::size_t n = std::min(command.data.size(), header_.size() - address);
            std::copy_n(header_.begin() + address, n, command.data.begin());
            return Filled(command);
        }
        default:
            return {};
    }
}

}  // namespace kv::emu
