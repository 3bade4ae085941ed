// The reliability-test (RDT) record set a drive's burn-in firmware leaves in
// one block near the end of chip enable 0, channel 0: the header page (also
// copied into the block's last page), the 1,040-byte record, the die
// information page, the factory-bad bitmap pages and the error pages.
// Decoding only: every reader here takes the bytes a page read returned and
// never looks past them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace kv {

inline constexpr char kRdtSignature[] = "RDTM";
inline constexpr char kLtsSignature[] = "LTSM";
inline constexpr std::size_t kRdtRecordSize = 1040;
inline constexpr std::size_t kRdtRecordSerialOffset = 24;
// The serial-number field of the record ends where the step times begin.
inline constexpr std::size_t kRdtRecordSerialEnd = 72;

// Error flags of the header and the record (byte 6).
inline constexpr std::uint8_t kRdtFlagP07 = 0x01;
inline constexpr std::uint8_t kRdtFlagP05 = 0x02;
inline constexpr std::uint8_t kRdtFlagP06 = 0x04;
inline constexpr std::uint8_t kRdtFlagDram = 0x20;

// True when `page` starts with the four signature characters.
bool HasRdtSignature(std::span<const std::uint8_t> page);
bool HasLtsSignature(std::span<const std::uint8_t> page);

// Page 0 of the record block.
struct RdtHeader {
    std::uint8_t ErrorFlags = 0;
    std::uint16_t ErrorPageStart = 0;
    std::uint16_t ErrorPageCount = 0;
    std::uint16_t FactoryPageStart = 0;
    std::uint16_t FactoryPageCount = 0;
    std::uint16_t RecordPage = 0;
    std::uint16_t DieInfoPage = 0;
};

// The header fields; all zero when the page is too short to hold them.
RdtHeader DecodeRdtHeader(std::span<const std::uint8_t> page);

// The record at the start of the record page.
struct RdtRecordData {
    std::uint8_t ErrorFlags = 0;
    std::uint32_t TotalTicks = 0;  // 2.5 ms each
    std::uint8_t AverageTemperature = 0;
    std::uint8_t ClockIndex = 0;
    std::uint8_t MarkEccFailFlag = 0;         // byte 14
    std::uint8_t NotEmptyPageThreshold = 0;   // per 1K
    std::uint8_t ErrorBitsOverThreshold = 0;  // per 1 Kbit
    std::uint16_t BadBlocksThreshold = 0;     // per plane
    std::uint16_t EccFailBlocksThreshold = 0;
    std::string Serial;  // up to its terminator, within bytes 24..71
    std::uint32_t StepMinTicks[6] = {};
    std::uint32_t StepMaxTicks[6] = {};
    std::string FirmwareVersion;  // at most 9 characters, up to the 0xAA end byte
    std::uint32_t Step3Cycles = 0;
    std::uint16_t HighPageProgFailThreshold = 0;
    bool Inherit = false;  // byte 200 is 0x99
};

// False (and `record` untouched) when the page holds less than the record.
bool DecodeRdtRecord(std::span<const std::uint8_t> page, RdtRecordData& record);

// The serial-number text at byte 24 of a record page: up to its terminator,
// and never beyond its field (bytes 24..71) or the page.
std::string RdtRecordSerial(std::span<const std::uint8_t> page);

// Die address byte: bit 7 present, bits 4-6 channel, bit 3 LUN, bits 0-2 bank.
struct RdtDieAddress {
    bool Present = false;
    int Channel = 0;
    int Lun = 0;
    int Bank = 0;
    std::uint8_t Key = 0;  // the low seven bits, matching error entries to dies
};
RdtDieAddress DecodeRdtDieAddress(std::uint8_t address);

inline constexpr std::size_t kRdtDieRecordSize = 32;

struct RdtDieRecord {
    RdtDieAddress Address;
    std::uint8_t FlashId[7] = {};
    std::uint16_t BadBlocks = 0;
    std::uint8_t MaxATenths = 0;
    std::uint8_t MinVTenths = 0;
    std::uint16_t FailPattern = 0;
    std::uint16_t BadRatioPerMille = 0;  // the low 9 bits of the field
};

// The 32-byte records of the die information page up to the first record
// whose byte 0, 1 or 2 is 0xAA, or the end of the page.
std::vector<RdtDieRecord> DecodeRdtDieRecords(std::span<const std::uint8_t> page);

inline constexpr std::size_t kRdtErrorEntrySize = 16;

struct RdtErrorEntry {
    RdtDieAddress Address;
    std::uint8_t PlaneMask = 0;  // 1 plane 0, 2 plane 1, 3 both
    std::uint8_t ErrorType = 0;
    std::uint16_t Page = 0;
    std::uint16_t Unit = 0;  // block pair
    std::uint8_t EccInfo = 0;
    std::uint8_t Action = 0;
    std::uint8_t StepCode = 0;
    std::uint8_t Temperature = 0;
    std::uint32_t Ticks = 0;
};

// The 16-byte entries of the error pages (read one after the other into
// `pages`) up to the first entry whose byte 0, 7 or 8 is 0xAA, or the end.
std::vector<RdtErrorEntry> DecodeRdtErrorEntries(std::span<const std::uint8_t> pages);

// One marked block pair of the factory-bad bitmap.
struct RdtFactoryMark {
    int Bank = 0;
    int Channel = 0;
    std::uint16_t Unit = 0;
    std::uint8_t Planes = 0;  // 1 plane 0 (even block), 2 plane 1, 3 both
};

// Every non-zero bit pair of a piece of the bitmap, in byte and bit-pair
// order. The bitmap runs over the factory-bad pages one after the other;
// `bitmap` is the piece that starts at byte `firstOffset` of it.
std::vector<RdtFactoryMark> DecodeRdtFactoryBitmap(std::span<const std::uint8_t> bitmap,
                                                   std::size_t firstOffset = 0);

}  // namespace kv
