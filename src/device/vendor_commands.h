// The controller's vendor command set: one function per command, taking the
// port first, then the block's parameters in block order, then (for data
// commands) the buffer and its sector count (512 bytes each). Every function
// answers 1 on success and 2 on failure; the two status reads also answer 3
// for an answer without its signature. Nothing here waits or retries.
//
// Which sub-codes the controller honours depends on the code it runs (loader,
// diagnostic program, firmware); sub-codes 0x00, 0x01, 0x04 and 0x05 carry two
// meanings, told apart by what runs and by the transfer.
#pragma once

#include <cstddef>
#include <cstdint>

#include "device/vendor_block.h"
#include "device/vendor_channel.h"

namespace kv {

// Status of a running diagnostic program that has not finished yet.
inline constexpr std::uint8_t kProgramStillWorking = 0xAA;
// First byte of a status sector on a SataPath port.
inline constexpr std::uint8_t kAnswerSignature = 0xE5;
// The controller information record at the start of the 0x80 answer.
inline constexpr std::size_t kCtrlInfoSize = 104;
// The result report of 0x06.
inline constexpr std::uint32_t kGdpResultSectors = 4;

// --- diagnostic program ---
// 0x00, one sector in: the program's status byte (0xAA = still working).
int VC_ST_GetReturn(int port, std::uint8_t& status);
// 0x00, N sectors in: byte 3 channel, 4 index, 12-15 value.
int VC_GDP_ReadBadBlockInfo(int port, std::uint8_t channel, std::uint8_t index, std::uint32_t value,
                            void* buffer, std::uint32_t sectors);
// 0x01-0x04, non-data: starts program `programType` (the sub-code) with byte 3.
// A type outside 1-4 fails unsent (it would be another command).
int VC_GDP_Exec(int port, std::uint8_t programType, std::uint8_t parameter);
// 0x04, N sectors in: byte 3 0xFF, 4 selector, 5-6, 7-8, 9, 10, 12-15 buffer offset.
int VC_GDP_ReadSysArea(int port, std::uint8_t selector, std::uint16_t word5, std::uint16_t word7,
                       std::uint8_t byte9, std::uint8_t byte10, std::uint32_t bufferOffset,
                       void* buffer, std::uint32_t sectors);
// 0x05, N sectors in.
int VC_GDP_GetFlashInfo(int port, void* buffer, std::uint32_t sectors);
// 0x06, four sectors in: the 2,048-byte result report.
int VC_GDP_GetResult(int port, void* buffer);
// 0x07, N sectors in: list of 16-bit block numbers.
int VC_GDP_GetSysBlocks(int port, void* buffer, std::uint32_t sectors);
// 0x08, N sectors out: bytes 3, 4.
int VC_GDP_WriteEraseCount(int port, std::uint8_t byte3, std::uint8_t byte4, const void* buffer,
                           std::uint32_t sectors);
// 0x0E, N sectors out.
int VC_GDP_WriteSmartInfo(int port, const void* buffer, std::uint32_t sectors);

// --- main firmware ---
// 0x01, N sectors in: bytes 3, 4, 12-15.
int VC_SYS_ReadEraseCount(int port, std::uint8_t byte3, std::uint8_t byte4, std::uint32_t value,
                          void* buffer, std::uint32_t sectors);
// 0x05, one sector in: the SMART sector (UsbPath ports).
int VC_SYS_USB_GetSMARTInfo(int port, void* buffer);

// --- test program ---
// 0x21, one sector in: byte 3 test kind, 4-5 parameter. `result` is byte 1 of
// the answer when byte 0 is 1, else 0xFF.
int VC_TST_FlashDiagnostic(int port, std::uint8_t kind, std::uint16_t parameter,
                           std::uint8_t& result);
// 0x22, N sectors in.
int VC_TST_GetDiagLog(int port, void* buffer, std::uint32_t sectors);
// 0x23 in / 0x24 out, N sectors: byte 3, 4-7 address.
int VC_TST_ReadBuffer(int port, std::uint8_t byte3, std::uint32_t address, void* buffer,
                      std::uint32_t sectors);
int VC_TST_WriteBuffer(int port, std::uint8_t byte3, std::uint32_t address, const void* buffer,
                       std::uint32_t sectors);

// --- controller ---
// 0x80, one sector in; the first 104 bytes go to `info` (untouched on failure).
int VC_SYS_GetCtrlInfo(int port, std::uint8_t (&info)[kCtrlInfoSize]);
// 0x82, non-data.
int VC_SYS_JumpToPRAM(int port);
// 0x83, non-data: byte 3 mode.
int VC_SYS_EnableVendorCmd(int port, std::uint8_t mode);
// 0x84, one sector in: bytes 3-6 address; the register's value byte.
int VC_SYS_ReadReg(int port, std::uint32_t address, std::uint8_t& value);
// 0x85, non-data: bytes 3-6 address, 7 value.
int VC_SYS_WriteReg(int port, std::uint32_t address, std::uint8_t value);
// 0x86 in / 0x87 out, N sectors: byte 3 selector, 4-7 address.
int VC_SYS_ReadMem(int port, std::uint8_t selector, std::uint32_t address, void* buffer,
                   std::uint32_t sectors);
int VC_SYS_WriteMem(int port, std::uint8_t selector, std::uint32_t address, const void* buffer,
                    std::uint32_t sectors);

// --- flash ---
// 0x88, N sectors in: byte 3 channel, 4 chip-enable code.
int VC_FLH_ReadId(int port, std::uint8_t channel, std::uint8_t chipEnable, void* buffer,
                  std::uint32_t sectors);
// 0x89 / 0x0D / 0x09, N sectors in, with the flash address in bytes 3-15.
int VC_FLH_ReadPage(int port, const FlashAddress& address, void* buffer, std::uint32_t sectors);
int VC_FLH_ReadPageRdt(int port, const FlashAddress& address, void* buffer, std::uint32_t sectors);
int VC_FLH_ReadFlashData(int port, const FlashAddress& address, void* buffer,
                         std::uint32_t sectors);
// 0x8A, N sectors out: flash address, byte 16 page mask (bit k = page k of
// the transfer). Bytes 12 and up reach the controller on SataPath ports only.
int VC_FLH_WritePages(int port, const FlashAddress& address, std::uint8_t pageMask,
                      const void* buffer, std::uint32_t sectors);
// 0x8B, non-data: byte 3 channel (the channel count = all), 4 bank, 5-6 block.
int VC_FLH_EraseBlock(int port, std::uint8_t channel, std::uint8_t bank, std::uint16_t block);

}  // namespace kv
