// The program image ("GDP.bin", "GDP_OLD.bin") the station loads into
// controller memory and runs: the diagnostic program, which also serves as
// the test program. Before it is sent, the station patches the flash
// configuration and the port's values into it.
//
//   0x300  4  kind "GDP_" or "TST_" (anything else is sent unpatched)
//   0x304  6  version text, a.bc.def
//   0x320  4  build tag
//   0x500 40  flash header
//   0x520  8  extras: defect ratio, low byte of "ProhibitRemapOffset", 0
//   0x528  8  bank set
//   0x530 24  page step table: byte i = sectors per page x 2 x i
//   0x548 48  runtime parameter block
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "firmware/image_context.h"

namespace kv {

inline constexpr std::size_t kProgramImageSize = 131072;
inline constexpr std::uint8_t kProgramImageFill = 0x66;

inline constexpr std::size_t kProgramKindOffset = 0x300;
inline constexpr std::size_t kProgramVersionOffset = 0x304;
inline constexpr std::size_t kProgramVersionSize = 6;
inline constexpr std::size_t kProgramBuildTagOffset = 0x320;
inline constexpr std::size_t kProgramBuildTagSize = 4;
inline constexpr std::size_t kProgramExtrasOffset = 0x520;
inline constexpr std::size_t kProgramBankSetOffset = 0x528;
inline constexpr std::size_t kPageStepTableOffset = 0x530;
inline constexpr std::size_t kPageStepTableSize = 24;
inline constexpr std::size_t kRuntimeParamBlockOffset = 0x548;
inline constexpr std::size_t kRuntimeParamBlockSize = 48;

inline constexpr char kDiagnosticProgramKind[] = "GDP_";
inline constexpr char kTestProgramKind[] = "TST_";

inline constexpr char kDiagnosticProgramFile[] = "GDP.bin";
inline constexpr char kOldDiagnosticProgramFile[] = "GDP_OLD.bin";

// Reads up to 131072 bytes of the file into a buffer of 131072 bytes filled
// with 0x66 first; nothing when the file cannot be opened.
std::optional<std::vector<std::uint8_t>> LoadProgramImage(const std::string& path);

// The kind at 0x300 is "GDP_" or "TST_".
bool IsPatchableProgramImage(std::span<const std::uint8_t> image);

// The version text at 0x304 and the build tag at 0x320, up to their first zero.
std::string ProgramImageVersion(std::span<const std::uint8_t> image);
std::string ProgramImageBuildTag(std::span<const std::uint8_t> image);

// The controller buffer size of the runtime block, in signed 64-bit
// arithmetic, rounded up to a multiple of 2 x page bytes x channels.
std::uint32_t BufferSizeFormula(const FlashConfig& flash, std::uint32_t defectCount);

// The 48 bytes of the runtime parameter block. `firstFirmwarePage` is the
// first page of the first system firmware file.
void BuildRuntimeParamBlock(const ImageContext& ctx, const PortImageState& port,
                            std::uint16_t firstFirmwarePage, std::uint8_t* block);

// Patches a diagnostic or test program image in place. An image of another
// kind, or one too short to hold the patched fields, is left unchanged and
// the result is false.
bool PatchProgramImage(const ImageContext& ctx, const PortImageState& port,
                       std::uint16_t firstFirmwarePage, std::span<std::uint8_t> image);

}  // namespace kv
