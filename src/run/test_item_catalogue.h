// The test-item catalogue: one record per test item and per failure code, with
// the texts the station shows and logs for it. A failure code is the Id of a
// record; 0 means no failure.
#pragma once

#include <array>
#include <cstdint>

#include "run/global_state.h"

namespace kv {

// One catalogue record. ErrorCode is the three-character code shown on the port
// panel and logged; FailText is the error window's text; ItemName is the
// check-list line and the running caption; ShortName is the result-log column
// title. A non-empty ShortName ends with one tab, so the log header is the plain
// concatenation of the titles; an empty ShortName is stored as "" (only records
// that no check-list line can select have one, so it is never a column title).
struct TestItemRecord {
    std::uint16_t Id;
    char ErrorCode[4];
    char FailText[32];
    char ItemName[32];
    char ShortName[16];
};

inline constexpr int kTestItemRecordCount = 87;
static_assert(kTestItemRecordCount == kFailCodeCount);

// The test items 0..38 the station runs. Items 5, 6 and 17..38 exist in the
// catalogue for their texts only.
enum TestItemId : int {
    kFlashModuleTest = 1,
    kRebuildBadBlock = 2,
    kBusInterfaceTest = 3,
    kFlashInterfaceTest = 4,
    kPreformat = 7,
    kDownload = 8,
    kUpload = 9,
    kRWTest = 10,
    kCheckTables = 11,
    kWritePpid = 12,
    kSetMaxLba = 13,
    kDiskFormat = 14,
    kCopyImage = 15,
    kCheckTemperature = 16,
};

// Failure codes beyond the item ids. A failed item reports its own TestItemId.
enum FailCode : int {
    kFailNone = 0,
    kFailCheckLoaderBlock = 40,  // K00, the loader-block check before system-area items
    kFailTimeout = 41,           // T00, watchdog expiry
    kFailBadBlockOver = 43,      // J01, Check Tables found too many bad blocks
    // Refinements of a failed Preformat by the scan-result decoder.
    kFailPageNotExist = 46,         // C01
    kFailPageEcc = 47,              // C02
    kFailOverDefectRatio = 48,      // C03
    kFailFreeBlockTooLarge = 49,    // C04
    kFailBadBlockOverMaxFree = 50,  // C05
    kFailBuildTable = 51,           // C06
    kFailTryRemap = 52,             // C07
    // Refinements of a failed Flash Interface Test by the flash-interface decoder.
    kFailFlashReset = 54,         // B01
    kFailReadFlashId = 55,        // B02
    kFailSecondReadFlashId = 56,  // B03
    kFailFlashErase = 57,         // B04
    kFailFlashProgEccOn = 58,     // B05
    kFailFlashProgEccOff = 59,    // B06
    kFailFlashEcc = 60,           // B07
    kFailFlashSpareBytes = 61,    // B08
    kFailFlashSecondErase = 62,   // B09
    kFailSramTest = 63,           // B10
    kFailEccTest = 64,            // B11
    // Pre-checks and reliability-test checks.
    kFailCheckEraseCount = 69,     // P01
    kFailCheckRdtResult = 70,      // P03
    kFailCheckSnLength = 71,       // P04
    kFailBbPerPlaneOverSpec = 72,  // P05
    kFailUpperProgOverSpec = 73,   // P06
    kFailEccFailHappen = 74,       // P07
    kFailSetSerial = 75,           // P08
    kFailCheckRdtSerial = 76,      // P09
    kFailGetSmartInfo = 77,        // P10
    kFailRdtLogDump = 78,          // P11
    kFailRdtLogResult = 79,        // P12
    kFailRdtDramScreen = 80,       // P13
    kFailRdtGetDefect = 81,        // P17
    kFailCheckLtsResult = 82,      // P14
    kFailLtsDram = 83,             // P15
    kFailLtsNandScreen = 84,       // P16
    kFailJumpToLoader = 85,        // P18
    kFailCheckPpidLength = 86,     // P19
};

// The constant table; record i has Id i.
extern const std::array<TestItemRecord, kTestItemRecordCount> TestItemCatalogue;

// The record whose Id is `id`; an id outside 0..86 gives record 0 ("No Error").
const TestItemRecord& LookupTestItem(int id);

}  // namespace kv
