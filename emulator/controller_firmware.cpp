// The ATA commands the drive's firmware answers.
#include <algorithm>

#include "emulator/controller.h"
#include "emulator/identify_data.h"

namespace kv::emu {
namespace {

constexpr std::uint8_t kHostLog = 0x9A;

struct SectorOpcode {
    std::uint8_t opcode;
    bool write;
    bool dma;
    bool ext;
};
constexpr SectorOpcode kSectorOpcodes[] = {
    {0x20, false, false, false},
    {0x24, false, false, true},
    {0xC4, false, false, false},
    {0x29, false, false, true},
    {0xC8, false, true, false},
    {0x25, false, true, true},
    {0x30, true, false, false},
    {0x34, true, false, true},
    {0xC5, true, false, false},
    {0x39, true, false, true},
    {0xCA, true, true, false},
    {0x35, true, true, true},
    // The vendor carriers are plain sector commands while the vendor feature is off.
    {0x88, true, true, false},
    {0x86, false, true, false},
    {0x8F, true, false, false},
    {0x8A, false, false, false},
};

}  // namespace

AtaReply Controller::FirmwareAta(const AtaCommand& command) {
    const int prior = nativeMaxRead_;
    nativeMaxRead_ = 0;
    const bool nonData = command.protocol == AtaProtocol::NonData;
    const std::uint64_t nativeMax = profile_.userSectors - 1;

    for (const SectorOpcode& s : kSectorOpcodes) {
        if (s.opcode != command.command) {
            continue;
        }
        if ((s.write ? !command.dataOut() : !command.dataIn()) || command.dma() != s.dma) {
            return AtaAborted();
        }
        std::uint32_t count = s.ext ? command.count : (command.count & 0xFF);
        if (count == 0) {
            count = s.ext ? 65536 : 256;
        }
        const std::uint64_t lba = s.ext ? command.lba : (command.lba & 0x0FFFFFFF);
        return SectorIo(s.write, lba, count, command.data);
    }

    switch (command.command) {
        case 0xB0: {  // SMART
            const std::uint8_t feature = static_cast<std::uint8_t>(command.features);
            if (((command.lba >> 8) & 0xFFFF) != 0xC24F) {
                return AtaAborted();
            }
            if (feature == 0xD0) {
                if (command.protocol != AtaProtocol::PioIn || command.data.size() < 512) {
                    return AtaAborted();
                }
                const Sector s = SmartData(saved_.smartSector, profile_.temperature,
                                           saved_.powerUps, saved_.sectorsWritten);
                std::copy(s.begin(), s.end(), command.data.begin());
                return AtaDone(512);
            }
            if ((feature == 0xD8 || feature == 0xD9 || feature == 0xDA) && nonData) {
                return AtaDone();
            }
            return AtaAborted();
        }
        case 0xE7:  // FLUSH CACHE
        case 0xEA:  // FLUSH CACHE EXT
        case 0xE2:  // STANDBY
        case 0xE0:  // STANDBY IMMEDIATE
            if (!nonData) {
                return AtaAborted();
            }
            saved_.Save();
            return AtaDone();
        case 0xF8:    // READ NATIVE MAX ADDRESS
        case 0x27: {  // READ NATIVE MAX ADDRESS EXT
            if (!nonData) {
                return AtaAborted();
            }
            nativeMaxRead_ = command.command == 0xF8 ? 28 : 48;
            AtaReply r = AtaDone();
            r.lba = command.command == 0xF8 ? std::min<std::uint64_t>(nativeMax, 0x0FFFFFFF)
                                            : nativeMax;
            r.device = static_cast<std::uint8_t>(
                0x40 | (command.command == 0xF8 ? (r.lba >> 24) & 0xF : 0));
            return r;
        }
        case 0xF9:    // SET MAX ADDRESS
        case 0x37: {  // SET MAX ADDRESS EXT
            const bool ext = command.command == 0x37;
            // The ATA command set takes SET MAX only straight after READ NATIVE MAX.
            if (!nonData || prior != (ext ? 48 : 28) || (ext && !command.ext)) {
                return AtaAborted();
            }
            const std::uint64_t max = ext ? command.lba : (command.lba & 0x0FFFFFFF);
            if (max > nativeMax) {
                return AtaAborted(kAtaIdNotFound | kAtaAbort);
            }
            if ((command.count & 1) != 0) {
                saved_.maxLba = max;  // value kept over power cycles
                volatileMax_.reset();
                saved_.Save();
            } else {
                volatileMax_ = max;
            }
            AtaReply r = AtaDone();
            r.lba = max;
            return r;
        }
        case 0x2F:    // READ LOG EXT
        case 0x47:    // READ LOG DMA EXT
        case 0x3F:    // WRITE LOG EXT
        case 0x57: {  // WRITE LOG DMA EXT
            const bool write = command.command == 0x3F || command.command == 0x57;
            const bool dma = command.command == 0x47 || command.command == 0x57;
            if ((write ? !command.dataOut() : !command.dataIn()) || command.dma() != dma) {
                return AtaAborted();
            }
            const std::uint8_t log = static_cast<std::uint8_t>(command.lba);
            const std::size_t page = static_cast<std::size_t>(((command.lba >> 8) & 0xFF) |
                                                              (((command.lba >> 32) & 0xFF) << 8));
            const std::size_t count = command.count;
            if (count == 0 || command.data.size() != count * 512) {
                return AtaAborted();
            }
            if (log == kHostLog) {
                if (page + count > DriveState::kLogPages) {
                    return AtaAborted();
                }
                std::uint8_t* at = saved_.log9A.data() + page * 512;
                if (write) {
                    std::copy(command.data.begin(), command.data.end(), at);
                    saved_.Save();
                } else {
                    std::copy_n(at, command.data.size(), command.data.begin());
                }
                return AtaDone(command.data.size());
            }
            if (log == 0x00 && !write && page == 0 && count == 1) {
                // The log directory: version 1, and the host log's page count.
                std::fill(command.data.begin(), command.data.end(), std::uint8_t{0});
                command.data[0] = 0x01;
                command.data[kHostLog * 2] = static_cast<std::uint8_t>(DriveState::kLogPages);
                return AtaDone(512);
            }
            return AtaAborted();
        }
        default:
            return AtaAborted();
    }
}

}  // namespace kv::emu
