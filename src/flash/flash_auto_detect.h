// The matching half of "Auto Detect": given what the diagnostic program
// reported about a drive's flash, which parts of the list fit and what the
// selection becomes. Reading the report from a drive is the device side's job.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "flash/flash_parts_list.h"
#include "flash/operator_message.h"

namespace kv {

inline constexpr char kNoDeviceForDetectText[] = "No connected device for detecting!!";
inline constexpr char kRemoveNtfsPartitionFormat[] =
    "Please remove the #%d SSD's disk partition (NTFS) before initialize the SSD.";
inline constexpr char kFlashNotFoundText[] = "Not found, check your flash list!!";
inline constexpr char kFlashIdReportFormat[] =
    "Flash's CE:%d\nFlash's Maker Code:%X\nFlash's Device Code:%X\nFlash's 3rd Code:%X\n"
    "Flash's 4th Code:%X\nFlash's 5th Code:%X\nSSD's total channel:%d\nSSD's total bank:%d\n";
inline constexpr char kChooseOneFlashText[] = "Please choose one flash type";
inline constexpr char kAutoDetectResultCaption[] = "Flash Auto Detect Result";

// The flash information sector of `VC_GDP_GetFlashInfo`.
struct FlashInfoReport {
    std::uint8_t Id[5] = {};       // bytes 0..4
    std::uint8_t Channels = 0;     // byte 7
    std::uint8_t Banks = 0;        // byte 8
    std::uint8_t ChipEnables = 0;  // byte 9
    std::uint8_t CeCodes[8] = {};  // bytes 10..17
};

// Reads the report from the first 18 bytes of the sector; false when shorter.
bool ParseFlashInfoReport(const std::uint8_t* sector, std::size_t size, FlashInfoReport& report);

struct FlashMatch {
    int PartIndex = 0;
    int VendorIndex = 0;
};

struct AutoDetectResult {
    std::vector<FlashMatch> Matches;  // list order; the last one stays selected
    std::uint8_t Channels = 0;        // the reported counts for the combos
    std::uint8_t Banks = 0;
    std::uint8_t DrvCurrent = 3;
    std::uint8_t FwBankSet[8] = {0, 1, 2, 3, 4, 5, 6, 7};
    bool FwBankSetFromDrive = false;        // the chip-enable codes replaced the bank set
    bool NeedsChoice = false;               // more than one match: the result window asks
    std::vector<OperatorMessage> Messages;  // no match: the two messages in order
};

// Every part whose five ID bytes equal the reported ones matches. The chip-enable
// codes become the bank set when the loaded program's build tag starts with "67"
// and the first two digits of its version exceed 2, or starts with "06" and they
// exceed 1.
AutoDetectResult MatchFlashParts(const FlashPartsList& list, const FlashInfoReport& report,
                                 const std::string& programBuildTag,
                                 const std::string& programVersion);

// The vendor a part belongs to, from the cumulative counts; -1 when none.
int VendorOfPart(const FlashPartsList& list, int partIndex);

}  // namespace kv
