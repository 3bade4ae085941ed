// Loading the diagnostic program into controller memory and starting it.
// Every flash procedure loads the program afresh before its own commands, so
// none relies on the state another left behind.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "config/settings_block.h"
#include "flash/flash_config.h"

namespace kv {

// What a flash procedure reads besides the port: the working flash
// configuration, the settings copy of the run and the station folder.
struct ProcedureContext {
    const FlashConfig& flash;
    const SettingsBlock& settings;
    const ProcessSettings& process;
    // Folder of "GDP.bin", with its trailing separator; empty means the
    // working directory.
    std::string programFolder;
};

// Exec flags handed to the running program with `VA_GDP_ExecProg`.
inline constexpr std::uint8_t kExecErase = 0x01;
inline constexpr std::uint8_t kExecHalfPageBlock = 0x02;
inline constexpr std::uint8_t kExecKeepGrownBad = 0x04;
inline constexpr std::uint8_t kExecPreFormat = 0x08;
inline constexpr std::uint8_t kExecRepair = 0x10;
inline constexpr std::uint8_t kExecKeepPrevious = 0x20;

// Programs of the diagnostic image and the status each ends with on success.
inline constexpr std::uint8_t kGdpEraseProgram = 1;
inline constexpr std::uint8_t kGdpPreFormatProgram = 3;
inline constexpr std::uint8_t kGdpRebuildProgram = 4;
inline constexpr std::uint8_t kGdpEraseDone = 0x0E;
inline constexpr std::uint8_t kGdpPreFormatDone = 0x0A;
inline constexpr std::uint8_t kGdpRebuildDone = 0x12;

// Pieces of the load: 64 KiB on bus mode 2, else 32 KiB.
std::uint32_t CodePieceBytes(std::uint8_t busMode);

// The program images: the diagnostic and test program is "GDP.bin" of the
// station folder; the old diagnostic program "GDP_OLD.bin" of the working
// directory.
std::string DiagnosticProgramPath(const ProcedureContext& ctx);
std::string TestProgramPath(const ProcedureContext& ctx);
std::string OldDiagnosticProgramPath();

// Reads the image into a 131072-byte buffer filled with 0x66, patches it for
// the flash and the port when its kind is "GDP_" or "TST_" (and then copies
// it to `copyOut`, resized to 131072 bytes), and writes it piece by piece to
// controller memory at `memoryBase`, reading every piece back and comparing
// it. False when the image cannot be opened (nothing sent), a piece write
// or read-back fails, or a piece reads back different.
bool LoadCodeToMemory(int port, const ProcedureContext& ctx, const std::string& imagePath,
                      std::uint32_t memoryBase, std::vector<std::uint8_t>* copyOut = nullptr);

// Vendor commands on (mode 10), the program loaded, the jump into it.
// `execFlags` becomes 0x02 for half-page-block parts, else 0.
bool RunGdpProgram(int port, const ProcedureContext& ctx, std::uint8_t& execFlags,
                   std::uint32_t memoryBase = 0, std::vector<std::uint8_t>* copyOut = nullptr);
bool RunOldGdpProgram(int port, const ProcedureContext& ctx, std::uint8_t& execFlags,
                      std::uint32_t memoryBase = 0, std::vector<std::uint8_t>* copyOut = nullptr);
bool RunTestProgram(int port, const ProcedureContext& ctx, std::uint32_t memoryBase = 0,
                    std::vector<std::uint8_t>* copyOut = nullptr);

// The 8-bit counter of the "11_WCM_%2.2d.raw" dumps; advances after every
// completed load.
std::uint8_t CodeLoadDumpCounter();

}  // namespace kv
