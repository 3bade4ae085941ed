// What a running diagnostic program keeps between the station's commands:
// the drive it runs on, the settings of its image, the flash as it sees it,
// the report of its last program and what the station handed it.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "emulator/diag/flash_probe.h"
#include "emulator/diag/program_settings.h"
#include "emulator/diag/result_report.h"
#include "emulator/drive_profile.h"
#include "emulator/drive_state.h"
#include "emulator/nand.h"

namespace kv::emu {

// Exec flags of a program start (block byte 3).
inline constexpr std::uint8_t kExecErase = 0x01;
inline constexpr std::uint8_t kExecHalfPageBlock = 0x02;
inline constexpr std::uint8_t kExecKeepGrownBad = 0x04;
inline constexpr std::uint8_t kExecPreFormat = 0x08;
inline constexpr std::uint8_t kExecRepair = 0x10;
inline constexpr std::uint8_t kExecKeepData = 0x20;

// End statuses. A program that fails ends with 0xE0 + its number.
inline constexpr std::uint8_t kStatusIdle = 0x00;  // no program has run
inline constexpr std::uint8_t kStatusBusy = 0xAA;
inline constexpr std::uint8_t kStatusEraseDone = 0x0E;      // program 1
inline constexpr std::uint8_t kStatusPreFormatDone = 0x0A;  // program 3
inline constexpr std::uint8_t kStatusRebuildDone = 0x12;    // program 4
inline constexpr std::uint8_t FailedStatus(int program) {
    return static_cast<std::uint8_t>(0xE0 + program);
}

// Code blocks live on chip enable 0, among the first blocks the controller
// looks at when it boots.
inline constexpr int kCodeChipEnable = 0;
inline constexpr int kCodeBlockCount = 4;
inline constexpr int kCodeBlockSearch = 64;

struct DiagSession {
    const DriveProfile& profile;
    Nand& nand;
    DriveState& state;
    ProgramSettings settings;
    FlashView view;
    ResultReport report;
    // The code blocks picked by the last pre-format or rebuild of this program.
    std::optional<std::vector<int>> codeBlocks;
    // The SMART sector the station handed over (VC_GDP_WriteSmartInfo).
    std::optional<std::array<std::uint8_t, 512>> smart;
};

// The outcome of one program start.
struct ProgramOutcome {
    std::uint8_t status = kStatusIdle;
    std::int64_t durationMs = 0;
};

}  // namespace kv::emu
