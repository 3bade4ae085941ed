#include "emulator/controller.h"

#include <algorithm>
#include <cstring>

#include "emulator/bytes.h"
#include "emulator/identify_data.h"
#include "emulator/system_area.h"

namespace kv::emu {
namespace {

// The carrier opcodes of the three bus modes: write, read, and whether they
// move data by DMA.
struct CarrierOpcode {
    std::uint8_t opcode;
    bool write;
    bool dma;
};
constexpr CarrierOpcode kCarriers[] = {
    {0x88, true, true},  {0x86, false, true},   // bus mode 2
    {0x8F, true, false}, {0x8A, false, false},  // bus mode 1
    {0xC5, true, false}, {0xC4, false, false},  // any other mode
};

const CarrierOpcode* FindCarrier(std::uint8_t opcode) {
    for (const CarrierOpcode& c : kCarriers) {
        if (c.opcode == opcode) {
            return &c;
        }
    }
    return nullptr;
}

}  // namespace

Controller::Controller(const DriveProfile& profile, Nand& nand, DriveState& state, UserArea& user,
                       BusPath bus)
    : profile_(profile), nand_(nand), saved_(state), user_(user), bus_(bus) {}

Controller::~Controller() = default;

void Controller::PowerUp() {
    program_.reset();
    pram_.Clear();
    std::vector<std::uint8_t>().swap(dataBuffer_);
    registers_.clear();
    pending_.reset();
    bootAtMs_.reset();
    pendingHeader_.clear();
    header_.clear();
    vendorFeature_ = false;
    vendorEnabled_ = false;
    hung_ = false;
    busy_ = false;
    handshakesRefused_ = 0;
    unplug_ = false;
    wroteSincePowerUp_ = false;
    nativeMaxRead_ = 0;
    volatileMax_.reset();
    state_ = ControllerState::Loader;
    ++saved_.powerUps;
    const SystemAreaScan scan = ScanSystemArea(nand_, bus_);
    if (scan.sound) {
        BootFirmware(scan.headerPage);
    }
    Fire({DriveEvent::Kind::PowerUp, 0});
}

void Controller::BootFirmware(std::vector<std::uint8_t> header) {
    program_.reset();
    state_ = ControllerState::Firmware;
    header_ = std::move(header);
}

bool Controller::RefusesHandshake() {
    for (const Fault& f : profile_.faults) {
        if (f.kind != FaultKind::HandshakeFail) {
            continue;
        }
        if (f.first == 0 || handshakesRefused_ < f.first) {
            ++handshakesRefused_;
            return true;
        }
    }
    return false;
}

bool Controller::TakeUnplugRequest() {
    const bool u = unplug_;
    unplug_ = false;
    return u;
}

Fate Controller::Fire(const DriveEvent& event) {
    for (const Fault& f : profile_.faults) {
        if (!(f.event == event)) {
            continue;
        }
        if (f.kind == FaultKind::Hang) {
            hung_ = true;
        } else if (f.kind == FaultKind::Busy) {
            busy_ = true;
        } else if (f.kind == FaultKind::Unplug) {
            unplug_ = true;
        }
    }
    if (unplug_) {
        return Fate::Gone;
    }
    return hung_ ? Fate::NoAnswer : Fate::Answered;
}

Fate Controller::Begin() {
    if (bootAtMs_ && clock_ != nullptr && clock_->NowMs() >= *bootAtMs_) {
        bootAtMs_.reset();
        pram_.Clear();
        BootFirmware(std::move(pendingHeader_));
        pendingHeader_.clear();
    }
    if (unplug_) {
        return Fate::Gone;
    }
    return hung_ ? Fate::NoAnswer : Fate::Answered;
}

std::uint64_t Controller::Capacity() const {
    if (state_ != ControllerState::Firmware) {
        return 0;
    }
    const std::optional<std::uint64_t> max = volatileMax_ ? volatileMax_ : saved_.maxLba;
    if (max && *max + 1 < profile_.userSectors) {
        return *max + 1;
    }
    return profile_.userSectors;
}

bool Controller::ResolvePending() {
    if (!pending_) {
        return true;
    }
    VendorCommand command;
    command.block = pending_->block;
    command.transfer = Transfer::None;
    pending_.reset();
    const VendorReply reply = Vendor(command);
    return reply.fate == Fate::Answered;
}

AtaReply Controller::Ata(const AtaCommand& command) {
    const int nativeMax = nativeMaxRead_;
    nativeMaxRead_ = 0;
    const CarrierOpcode* carrier = FindCarrier(command.command);
    const bool carrierLba = ((command.lba >> 8) & 0xFFFF) == 0x1234 && (command.lba >> 24) == 0;
    if (carrier != nullptr && carrierLba && vendorFeature_) {
        return Carrier(command);
    }
    // Anything else ends a block that waited for its data phase.
    if (!ResolvePending()) {
        AtaReply r;
        r.fate = hung_ ? Fate::NoAnswer : Fate::Gone;
        return r;
    }
    if (command.command == 0xEC) {
        return Identify(command);
    }
    if (command.command == 0xEF) {
        if (command.protocol != AtaProtocol::NonData) {
            return AtaAborted();
        }
        if ((command.features & 0xFF) == 0xDC) {
            const std::uint8_t count = static_cast<std::uint8_t>(command.count);
            if (count == 0x4B) {
                vendorFeature_ = true;
            } else if (count == 0x56) {
                vendorFeature_ = false;
                pending_.reset();
            } else {
                return AtaAborted();
            }
            return AtaDone();
        }
        return state_ == ControllerState::Firmware ? AtaDone() : AtaAborted();
    }
    if (state_ != ControllerState::Firmware) {
        return AtaAborted();
    }
    nativeMaxRead_ = nativeMax;  // FirmwareAta decides what follows READ NATIVE MAX
    return FirmwareAta(command);
}

AtaReply Controller::Carrier(const AtaCommand& command) {
    const CarrierOpcode& carrier = *FindCarrier(command.command);
    const bool directionOk = carrier.write ? command.dataOut() : command.dataIn();
    if (!directionOk || command.dma() != carrier.dma) {
        return AtaAborted();
    }
    std::uint32_t sectors = command.count & 0xFF;
    if (sectors == 0) {
        sectors = 256;
    }
    if (command.data.size() != static_cast<std::size_t>(sectors) * 512) {
        return AtaAborted();
    }
    const std::uint8_t low = static_cast<std::uint8_t>(command.lba & 0xFF);
    if (low == 0xFF) {
        if (!ResolvePending()) {
            AtaReply r;
            r.fate = hung_ ? Fate::NoAnswer : Fate::Gone;
            return r;
        }
        if (sectors != 1) {
            return AtaAborted();
        }
        if (!carrier.write) {
            // The handshake.
            std::fill(command.data.begin(), command.data.end(), std::uint8_t{0});
            if (!RefusesHandshake()) {
                command.data[0] = 0xE5;
                command.data[1] = 0x4B;
                command.data[2] = 0x56;
            }
            return AtaDone(512);
        }
        // The command phase: a vendor block at the start of the sector.
        VendorCommand block;
        std::copy_n(command.data.begin(), block.block.size(), block.block.begin());
        if (block.block[0] != 0xFF || block.block[1] != 0xE5) {
            return AtaAborted();
        }
        const std::uint8_t sub = block.block[2];
        // Blocks that never carry data run now; the others wait for their data phase.
        const bool noData = sub == 0x82 || sub == 0x83 || sub == 0x85 || sub == 0x8B ||
                            (state_ == ControllerState::Program && sub >= 0x01 && sub <= 0x03);
        if (noData) {
            const VendorReply reply = Vendor(block);
            AtaReply r = reply.answer.ok ? AtaDone(512) : AtaAborted();
            r.fate = reply.fate;
            return r;
        }
        pending_ = Pending{block.block};
        return AtaDone(512);
    }
    // A data phase: it belongs to the block waiting for it.
    if (!pending_ || pending_->block[2] != low) {
        ResolvePending();
        return AtaAborted();
    }
    VendorCommand block;
    block.block = pending_->block;
    pending_.reset();
    block.transfer = carrier.write ? Transfer::Out : Transfer::In;
    block.data = command.data;
    block.sectors = sectors;
    const VendorReply reply = Vendor(block);
    AtaReply r = reply.answer.ok ? AtaDone(command.data.size()) : AtaAborted();
    r.fate = reply.fate;
    return r;
}

AtaReply Controller::Identify(const AtaCommand& command) {
    if (command.protocol != AtaProtocol::PioIn || command.data.size() < 512) {
        return AtaAborted();
    }
    Sector id{};
    if (state_ == ControllerState::Firmware && header_.size() >= 0x04C + 512) {
        std::copy_n(header_.begin() + 0x04C, 512, id.begin());
        PutCapacity(id, Capacity());
        SealIdentify(id);
    } else {
        id = LoaderIdentify(profile_.name, profile_.sataSpeed);
    }
    std::copy(id.begin(), id.end(), command.data.begin());
    return AtaDone(512);
}

AtaReply Controller::Sectors(bool write, std::uint64_t lba, std::uint32_t count,
                             std::span<std::uint8_t> data) {
    nativeMaxRead_ = 0;
    if (!ResolvePending()) {
        AtaReply r;
        r.fate = hung_ ? Fate::NoAnswer : Fate::Gone;
        return r;
    }
    return SectorIo(write, lba, count, data);
}

AtaReply Controller::SectorIo(bool write, std::uint64_t lba, std::uint32_t count,
                              std::span<std::uint8_t> data) {
    if (state_ != ControllerState::Firmware) {
        return AtaAborted();  // no user area outside the firmware
    }
    if (data.size() != static_cast<std::size_t>(count) * 512) {
        return AtaAborted();
    }
    if (count == 0) {
        return AtaDone();
    }
    if (lba + count > Capacity()) {
        return AtaAborted(kAtaIdNotFound | kAtaAbort);
    }
    auto covers = [&](FaultKind kind) {
        for (const Fault& f : profile_.faults) {
            if (f.kind == kind && f.lba >= lba && f.lba < lba + count) {
                return true;
            }
        }
        return false;
    };
    if (write) {
        if (!wroteSincePowerUp_) {
            wroteSincePowerUp_ = true;
            const Fate fate = Fire({DriveEvent::Kind::FirstWrite, 0});
            if (fate != Fate::Answered) {
                AtaReply r;
                r.fate = fate;
                return r;
            }
        }
        if (covers(FaultKind::WriteError)) {
            return AtaAborted(kAtaIdNotFound);
        }
        if (!user_.Write(lba, data)) {
            return AtaAborted(kAtaIdNotFound);
        }
        saved_.sectorsWritten += count;
        return AtaDone(data.size());
    }
    if (covers(FaultKind::ReadError)) {
        return AtaAborted(kAtaUncorrectable);
    }
    if (!user_.Read(lba, data)) {
        return AtaAborted(kAtaUncorrectable);
    }
    for (const Fault& f : profile_.faults) {
        if (f.kind == FaultKind::Miscompare && f.lba >= lba && f.lba < lba + count) {
            // One word of that sector comes back wrong.
            std::uint8_t* word = data.data() + (f.lba - lba) * 512 + 0x40;
            word[0] = static_cast<std::uint8_t>(word[0] ^ 0xFF);
            word[1] = static_cast<std::uint8_t>(word[1] ^ 0x5A);
        }
    }
    saved_.sectorsRead += count;
    return AtaDone(data.size());
}

VendorReply Controller::VendorDirect(const VendorCommand& command) {
    nativeMaxRead_ = 0;
    if (command.block[0] != 0xFF || command.block[1] != 0x04) {
        VendorReply r;
        return r;
    }
    return Vendor(command);
}

}  // namespace kv::emu
