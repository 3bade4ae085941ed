// The reliability-test check before the test items: the record the drive's
// burn-in firmware left near the end of its flash is searched, judged and
// its serial number compared with the port's. The verdict is the port's
// FailCode when it is not 1.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "firmware/code_download.h"

namespace kv {

inline constexpr int kRdtPass = 1;
inline constexpr int kRdtNoRecord = 70;
inline constexpr int kLtsNoRecord = 82;
inline constexpr int kRdtFlagBit0 = 74;
inline constexpr int kRdtFlagBit1 = 72;
inline constexpr int kRdtFlagBit2 = 73;
inline constexpr int kRdtFlagBit5 = 80;
inline constexpr int kLtsNotRun = 83;
inline constexpr int kLtsNotPassed = 84;
inline constexpr int kRdtSerialMismatch = 76;

// The serial number text of a record page is cut to this many characters.
inline constexpr std::size_t kRdtSerialCapacity = 49;
inline constexpr char kRdtSerialLogFormat[] = "RDT Serial Number = %s\r\n";

// The judgement of a record header page (RDT mode) or progress page (LTS).
int RdtVerdictOfHeader(std::span<const std::uint8_t> page);
int LtsVerdictOfPage(std::span<const std::uint8_t> page);

// The lowest block the search looks at: 0.9 x blocks per chip enable,
// rounded up.
int RdtSearchFloor(int blocksPerCe);

// The serial text at byte 24 of a record page, up to its zero byte within
// 1,040 bytes, cut to `kRdtSerialCapacity`.
std::string RdtSerialText(std::span<const std::uint8_t> page);

struct RdtCheckResult {
    int Verdict = kRdtNoRecord;
    bool Passed = false;     // the port's RDT-passed flag
    std::string SerialText;  // the serial number of the record
};

// `CheckRdtResult`: with `ltsMode` ("CheckRDTMode") the LTS progress page,
// else the RDT record and its serial number ("EnNoCheckRDTSn" off: the
// expected serial must begin with it).
RdtCheckResult CheckRdtResult(int port, std::span<std::uint8_t> workBuffer,
                              const ProcedureContext& ctx, const std::string& expectedSerial,
                              bool ltsMode);

}  // namespace kv
