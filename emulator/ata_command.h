// An ATA command as a SAT bridge hands it to the SATA controller, and the
// controller's answer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace kv::emu {

enum class AtaProtocol { NonData, PioIn, PioOut, DmaIn, DmaOut };

struct AtaCommand {
    std::uint8_t command = 0;
    std::uint16_t features = 0;
    std::uint16_t count = 0;
    std::uint64_t lba = 0;  // 28 bits (with the device register's low nibble) or 48 bits
    std::uint8_t device = 0;
    bool ext = false;  // 48-bit registers were sent
    AtaProtocol protocol = AtaProtocol::NonData;
    std::span<std::uint8_t> data;  // the host buffer of the data phase

    bool dataIn() const { return protocol == AtaProtocol::PioIn || protocol == AtaProtocol::DmaIn; }
    bool dataOut() const {
        return protocol == AtaProtocol::PioOut || protocol == AtaProtocol::DmaOut;
    }
    bool dma() const { return protocol == AtaProtocol::DmaIn || protocol == AtaProtocol::DmaOut; }
};

// What became of a command at the drive.
enum class Fate {
    Answered,  // the drive completed it (well or with an error)
    NoAnswer,  // the drive hangs: the caller's time-out runs out
    Gone,      // the drive left its port while handling it
};

// ATA error register bits used here.
inline constexpr std::uint8_t kAtaAbort = 0x04;
inline constexpr std::uint8_t kAtaIdNotFound = 0x10;
inline constexpr std::uint8_t kAtaUncorrectable = 0x40;

struct AtaReply {
    Fate fate = Fate::Answered;
    bool ok = false;
    std::uint8_t error = 0;  // error register when !ok
    std::size_t bytes = 0;   // data moved
    // Registers after completion, for a bridge asked to return them.
    std::uint64_t lba = 0;
    std::uint16_t count = 0;
    std::uint8_t device = 0;
    std::uint8_t status = 0x50;  // DRDY | DSC, plus ERR when !ok
};

// A command the drive aborted, with ERR in its status.
inline AtaReply AtaAborted(std::uint8_t error = kAtaAbort) {
    AtaReply r;
    r.ok = false;
    r.error = error;
    r.status = 0x51;
    return r;
}

// A command completed with `bytes` of data moved.
inline AtaReply AtaDone(std::size_t bytes = 0) {
    AtaReply r;
    r.ok = true;
    r.bytes = bytes;
    return r;
}

}  // namespace kv::emu
