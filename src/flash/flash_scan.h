// The flash-level test items that check a drive before its tables are
// built: the flash module test, the code-block query, the erase and commit
// steps, and the bus and flash interface tests. Each loads the diagnostic or
// test program afresh, drives it and returns true for pass; on a failure the
// work buffer holds the diagnostic record the worker keeps for the error file.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "firmware/code_download.h"

namespace kv {

// The work buffer must hold at least the 2,048-byte result report.
inline constexpr std::size_t kScanReportSize = 2048;

// Flash-module report in the work buffer: count at 0, header record code at
// 1, finding records of 16 bytes from 18, the flash information at 28.
inline constexpr std::size_t kModuleFirstRecord = 18;
inline constexpr std::size_t kModuleRecordSize = 16;
inline constexpr std::size_t kModuleFlashInfo = 28;
inline constexpr std::uint8_t kModuleAllMatch = 128;
inline constexpr std::uint8_t kModuleCountMismatch = 129;
inline constexpr std::uint8_t kModuleChecking = 130;
inline constexpr std::uint8_t kModuleIdMismatch = 131;

// Reads every chip enable's ID and compares the bytes "CheckFlashMask"
// selects with the part's; a failed ID read counts as a mismatch with the ID
// read as zeros. When all match, the channel and bank counts the program sees
// must be the configured ones. Pass when no finding was recorded.
bool FlashModuleTest(int port, std::span<std::uint8_t> workBuffer, const ProcedureContext& ctx);

// Asks the program for the drive's code blocks and keeps them, fixed up once,
// as the port's code block list. With fewer than four the result report is
// fetched into the work buffer; with the Upload item on the list 0, 1, 2, 3
// is used instead, else the item fails.
bool GetCodeBlocks(int port, std::span<std::uint8_t> workBuffer, const ProcedureContext& ctx);

// Program 1 with the erase flag, not waiting: pass on status 0x0E.
bool EraseBlocks(int port, std::span<std::uint8_t> workBuffer, const ProcedureContext& ctx);

// Program 1 with the exec flags and `extraFlags`, waiting: pass on 0x0E.
bool CommitCodeBlocks(int port, std::span<std::uint8_t> workBuffer, const ProcedureContext& ctx,
                      std::uint8_t extraFlags);

// The test program's buffer test on both controller buffers.
bool BusInterfaceTest(int port, std::span<std::uint8_t> workBuffer, const ProcedureContext& ctx);

// Diagnostic parameters of the third flash-interface step.
inline constexpr int kRandomDiagnosticCount = 10;
using DiagnosticValues = std::array<std::uint16_t, kRandomDiagnosticCount>;

// Ten pairwise different values in 256..1791, drawn from `seed` (the whole
// set is drawn again while two are equal).
DiagnosticValues DrawDiagnosticValues(std::uint32_t seed);

// Failure bytes of the flash interface test.
inline constexpr std::uint8_t kFlashIfFirstFailed = 64;
inline constexpr std::uint8_t kFlashIfSecondFailed = 65;
inline constexpr std::uint8_t kFlashIfRandomFailed = 66;

// Diagnostics 1 and 2 with 602, then diagnostic 3 with each random value
// until one passes. On a failure `failByte` is 64, 65 or 66 and the
// diagnostic log is in the work buffer; `diagResult` is the result byte of
// the last diagnostic.
bool FlashInterfaceTest(int port, std::span<std::uint8_t> workBuffer, const ProcedureContext& ctx,
                        std::uint8_t& failByte, std::uint8_t& diagResult);

}  // namespace kv
