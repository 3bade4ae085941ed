// How the program sees the flash: the geometry its image names, limited by
// what answers on the drive.
//
// The rule the program follows (and VC_GDP_GetFlashInfo reports):
//   - channels: the program drives the channels the image's flash header
//     names; channels the drive does not have stay silent, so it sees
//     min(header channels, drive channels);
//   - chip enables: it probes the chip-enable codes of the image (0x528, in
//     bank order) on channel 0 and counts the leading run of distinct codes
//     that answer; that count is the banks it sees, and those codes are the
//     chip-enable codes it reports;
//   - geometry of a chip enable (page size, pages and blocks, dies): from the
//     image's type word; blocks beyond the drive's do not answer.
// The program only scans and builds tables when it sees what the header
// names (Matches()); otherwise it reports the difference.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "emulator/diag/program_settings.h"
#include "emulator/drive_profile.h"
#include "emulator/nand.h"

namespace kv::emu {

struct FlashView {
    // From the image's type word; all 0 when it names no geometry.
    int sectorsPerPage = 0;
    int pagesPerBlock = 0;  // halved in half-page block mode
    int blocksPerCe = 0;
    int dies = 0;
    int extendBlocks = 0;

    // What the header names.
    int headerChannels = 0;
    int headerBanks = 0;
    std::array<std::uint8_t, 8> bankCodes{};

    // What answered.
    int channelsSeen = 0;
    int banksSeen = 0;
    std::array<std::uint8_t, 8> codesSeen{};  // 0xFF after the last seen

    bool GeometryKnown() const { return sectorsPerPage > 0; }
    bool Matches() const {
        return GeometryKnown() && headerChannels >= 1 && headerBanks >= 1 && headerBanks <= 8 &&
               channelsSeen == headerChannels && banksSeen == headerBanks;
    }
    int channels() const { return channelsSeen; }
    int banks() const { return banksSeen; }
    int chipEnable(int bank) const { return bankCodes[static_cast<std::size_t>(bank)]; }
    // Blocks per chip enable the program addresses.
    int blocks() const { return blocksPerCe + extendBlocks; }
    int pageBytes() const { return sectorsPerPage * 512; }
    int blocksPerDie() const { return dies > 0 ? blocksPerCe / dies : 0; }
    int blocksPerPlaneDie() const { return blocksPerDie() / 2; }
    int DieOf(int block) const {
        const int perDie = blocksPerDie();
        if (perDie <= 0) {
            return 0;
        }
        const int die = block / perDie;
        return die < dies ? die : dies - 1;
    }
};

FlashView ProbeFlash(const ProgramSettings& settings, const Nand& nand, bool halfPageBlocks);

// The five ID bytes chip enable `chipEnable` of `channel` answers, all 0 when
// there is no such chip enable.
std::array<std::uint8_t, 5> ReadFlashId(const DriveProfile& profile, const Nand& nand, int channel,
                                        int chipEnable);

// The answer of VC_GDP_GetFlashInfo (at least 18 bytes): 0..4 the ID of bank
// 0 on channel 0, 7 channels seen, 8 banks seen, 9 chip enables seen (channels
// x banks), 10..17 the chip-enable codes seen (0xFF after the last).
void FillFlashInfo(const FlashView& view, const DriveProfile& profile, const Nand& nand,
                   std::span<std::uint8_t> out);

}  // namespace kv::emu
