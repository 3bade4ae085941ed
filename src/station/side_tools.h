// Side tools of the main window that prepare a run: the key file of the drive
// encryption string, the IDEMA-capacity-to-reserved-ratio calculator and the
// volume-label check of the FAT32 format option.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "config/settings_block.h"
#include "flash/flash_config.h"
#include "flash/operator_message.h"

namespace kv {

// --- Key file ---------------------------------------------------------------

inline constexpr char kKeyFileName[] = "KeyFile.dat";
inline constexpr std::size_t kKeyFileSize = 128;
inline constexpr std::size_t kKeyStringBuffer = 24;  // the string keeps at most 23 characters

// A fresh pseudo-random number 0..255 per call.
using RandomByte = std::function<std::uint8_t()>;

// The station's generator, seeded once (with the time of program start).
RandomByte SeededRandomByte(std::uint32_t seed);

// The 128 bytes: byte k is ((r + k) mod 256) XOR 0xFF with a fresh r, then byte
// 20 + 2j is ((s[j] + j) mod 256) XOR 0xFF for the 24 bytes s of the string
// buffer (the string cut to 23 characters, zeros after it).
std::array<std::uint8_t, kKeyFileSize> BuildKeyFile(std::string_view encryptionString,
                                                    const RandomByte& random);

// `BnKeyFileClick`: writes `folder` + "KeyFile.dat", replacing an old one, and
// returns "Generate the key file (" + path + ") successfully", or an error
// message naming the path when the file cannot be written.
OperatorMessage BnKeyFileClick(const std::string& folder, std::string_view encryptionString,
                               const RandomByte& random);

// --- IDEMA capacity to reserved ratio -----------------------------------------

inline constexpr std::uint16_t kDefaultResPercentage = 68;

// The largest IDEMA capacity in GB the flash holds: (channels x banks x
// (blocks per chip enable / 1024) x pages per block x (sectors per page x 512 /
// 1024)) / 1024, each division truncating, at most 65,535.
int MaxIdemaCapacityGb(const FlashConfig& flash);

// C x 1953504 + 21168 sectors for C gigabytes.
std::int64_t IdemaSectors(std::int64_t gigabytes);

struct IdemaRatio {
    std::optional<OperatorMessage> message;  // set when the input is refused
    int ratio = 0;                           // reserved blocks in 1/1000
};

// `CalcIDEMAToRatioBnClick` without its display: refuses an empty input, 0, a
// capacity above the flash's maximum, and a capacity that leaves no reserve (a
// ratio of 0 or below); otherwise the ratio for "ResPercentage". `lowPage` is
// "EnLowPage" = 1.
IdemaRatio CalcIdemaToRatio(std::string_view input, const FlashConfig& flash, bool lowPage);

// The calculator's "Set": on success "ResPercentage" takes the ratio. The
// caller shows the message, or the ratio and the refreshed flash display.
IdemaRatio CalcIDEMAToRatioBnClick(std::string_view input, const FlashConfig& flash,
                                   SettingsBlock& settings);

// "Restore default value": "ResPercentage" back to 68 (the caller empties both
// fields and refreshes the flash display).
void RestoreReservedRatioClick(SettingsBlock& settings);

// --- FAT32 volume label -------------------------------------------------------

inline constexpr std::size_t kFat32LabelLength = 11;

struct VolumeLabelCheck {
    std::string label;                       // what the field holds afterwards
    std::optional<OperatorMessage> message;  // set when the label was cut
};

// `FFsFmtChange`: with "FAT32" chosen, a label of 12 or more characters is cut
// to 11 and "FAT32 only support Volume label 11 characters!" is shown.
VolumeLabelCheck FFsFmtChange(std::string_view format, std::string_view label);

}  // namespace kv
