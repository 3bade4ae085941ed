// Boolean forms of single commands for the controller procedures: each sends
// the command of the same name in namespace kv and answers true exactly when
// it answered 1. They live in kv::va so that they never shadow the commands.
#pragma once

#include <cstdint>

#include "device/vendor_commands.h"

namespace kv::va {

// One sector each.
bool VC_GDP_GetFlashInfo(int port, void* buffer);
bool VC_FLH_ReadId(int port, std::uint8_t channel, std::uint8_t chipEnable, void* buffer);
bool VC_GDP_GetSysBlocks(int port, void* buffer);
bool VC_TST_GetDiagLog(int port, void* buffer);

bool VC_SYS_ReadReg(int port, std::uint32_t address, std::uint8_t& value);
bool VC_SYS_WriteReg(int port, std::uint32_t address, std::uint8_t value);
// The 104-byte controller information record.
bool VC_SYS_GetCtrlInfo(int port, std::uint8_t (&info)[kCtrlInfoSize]);
bool VC_FLH_EraseBlock(int port, std::uint8_t channel, std::uint8_t bank, std::uint16_t block);
// Clears the first byte of `buffer` before the 4-sector read (2,048 bytes).
bool VC_GDP_GetResult(int port, std::uint8_t* buffer);

bool VC_GDP_WriteEraseCount(int port, std::uint8_t byte3, std::uint8_t byte4, const void* buffer,
                            std::uint32_t sectors);
bool VC_GDP_WriteSmartInfo(int port, const void* buffer, std::uint32_t sectors);
bool VC_SYS_ReadEraseCount(int port, std::uint8_t byte3, std::uint8_t byte4, std::uint32_t value,
                           void* buffer, std::uint32_t sectors);
bool VC_GDP_ReadBadBlockInfo(int port, std::uint8_t channel, std::uint8_t index,
                             std::uint32_t value, void* buffer, std::uint32_t sectors);
bool VC_SATA_ReadCmd(int port, void* buffer, std::uint32_t sectors, std::uint8_t lbaLow);
bool ATA_Identify(int port, void* buffer, std::uint32_t sectors);
bool ATA_WriteSectors(int port, void* buffer, std::uint32_t sectors, std::uint32_t lba);

}  // namespace kv::va
