// SCSI answers: status and sense data of completed requests.
#pragma once

#include <cstdint>

#include "emulator/ata_command.h"
#include "emulator/execute_result.h"

namespace kv::emu {

inline constexpr std::uint8_t kSenseRecovered = 0x01;
inline constexpr std::uint8_t kSenseNotReady = 0x02;
inline constexpr std::uint8_t kSenseMedium = 0x03;
inline constexpr std::uint8_t kSenseIllegalRequest = 0x05;
inline constexpr std::uint8_t kSenseAborted = 0x0B;

// GOOD with `bytes` moved.
ExecuteResult Good(std::size_t bytes);
// CHECK CONDITION with fixed-format sense (key, additional sense code and qualifier).
ExecuteResult CheckCondition(std::uint8_t key, std::uint8_t asc, std::uint8_t ascq);
// An ATA PASS-THROUGH answered with the ATA registers (descriptor sense with
// the ATA status return descriptor): CHECK CONDITION, ABORTED COMMAND, "ATA
// pass-through information available" for a failed command; RECOVERED ERROR
// for a good one whose registers were asked for.
ExecuteResult AtaRegisters(const AtaReply& reply, bool ext, std::size_t bytes);

}  // namespace kv::emu
