// The working flash configuration: the selected flash part, the channel and
// bank counts and the settings every flash procedure and every controller
// image reads. Built on the window's thread when a part is applied, never
// during a run.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "config/settings_block.h"
#include "flash/flash_parts_list.h"
#include "flash/operator_message.h"

namespace kv {

inline constexpr char kLoaderBlocksSignature[] = "LDBK BLOCKS V50";
inline constexpr char kLoaderConfigSignature[] = "LDBK CONFIG V50";

// Timing bytes the station uses unless "EnModifyTMCvalue" asks for the keys.
inline constexpr std::uint8_t kDefaultAsyncTiming[7] = {0x90, 0x90, 0x22, 0x04, 0x9B, 0xF9, 0x54};
inline constexpr std::uint8_t kDefaultToggleTiming[7] = {0x00, 0x00, 0x22, 0x04, 0xFF, 0xFF, 0x1F};
inline constexpr std::uint8_t kDefaultOnfiTiming[7] = {0x10, 0x10, 0x11, 0x00, 0x9B, 0xF9, 0x54};

// Indexes into `OptionFlags`.
inline constexpr int kOptionScramble = 4;
inline constexpr int kOptionRemap = 5;
inline constexpr int kOptionSpareAttr = 7;
inline constexpr int kOptionUsbLed = 9;
inline constexpr int kOptionSelected = 13;
inline constexpr int kOptionNoDeviceSleep = 14;

struct FlashConfig {
    // Copied from the part.
    char FlashName[32] = {};
    char PartNumber[32] = {};
    std::uint16_t TypeWord = 0;
    std::uint8_t CeCount = 0;
    std::uint8_t EccMode = 0;  // 1 BCH16, 2 BCH24, 3 BCH40
    std::uint8_t FlashId[5] = {};
    std::uint8_t SpareAttr = 0;
    std::uint8_t HalfPageBlock = 0;
    std::uint8_t AltFamily = 0;
    std::uint16_t ExtendBlocks = 0;  // 0 unless "EnExtendBlock" is on
    std::uint16_t DieOffset = 0;
    std::uint8_t PageMapType = 0;
    std::uint8_t FlashInterface = 0;
    std::uint8_t OnePlane = 0;

    // "Channel" and "Bank".
    std::uint8_t Channels = 0;
    std::uint8_t Banks = 0;

    // Derived from the type word.
    std::uint16_t BlocksPerCe = 0;
    std::uint16_t BlocksPerPlaneDie = 0;
    std::uint16_t PagesPerBlock = 0;      // halved for half-page-block parts
    std::uint16_t TypePagesPerBlock = 0;  // as the type word gives it
    std::uint8_t Dies = 0;
    std::uint8_t SectorsPerPage = 0;
    bool Mlc = false;
    std::uint8_t MakerClass = 0;
    std::uint8_t GeometryCode = 0;
    std::uint8_t GeometryCode2 = 0;

    std::uint8_t FwBankSet[8] = {};
    std::uint8_t AsyncTiming[7] = {};
    std::uint8_t SyncTiming[7] = {};
    std::uint8_t OptionFlags[16] = {};
    std::uint8_t FeatureFlags = 0;
    std::uint8_t FeatureFlags2 = 0;
    std::uint8_t FeatureFlags3 = 0;
    std::uint8_t SecurityByte = 0;

    // Thresholds and counters as the images carry them.
    std::uint8_t Bch16ReadErrorThreshold = 0;
    std::uint8_t Bch24ReadErrorThreshold = 0;
    std::uint8_t Bch40ReadErrorThreshold = 0;
    std::uint8_t Bch16EccErrorCopyThreshold = 0;
    std::uint8_t Bch24EccErrorCopyThreshold = 0;  // 15 for the "HDG08"/"PFG08" parts
    std::uint8_t Bch40EccErrorCopyThreshold = 0;
    std::uint8_t WearLevelFrequency = 0;
    std::uint8_t SecurityCounter = 0;
    std::uint8_t DefPercentage = 0;
    std::uint8_t DriverSetting = 0;
    std::uint8_t DrvCurrent = 0;
    std::uint16_t ResPercentage = 0;
    std::uint16_t DirtyDepth = 0;  // 10..40

    char BlocksSignature[16] = {};
    char ConfigSignature[16] = {};

    // Texts the identify-data patch and the key file use.
    char FirmwareVer[10] = {};
    char ModelNum[42] = {};
    char OUI[8] = {};
    char EncryptionString[24] = {};
    char SerialNumber[22] = {};  // "SerialNum" padded or cut to "SNMinLength"

    std::int64_t UserCapacity = 0;  // sectors
    bool LargeCapacity = false;

    // False for a part START must refuse; `Problem` says why.
    bool Valid = false;
    std::string Problem;
};

// Builds the configuration from one part and the settings.
FlashConfig SelectFlashPart(const FlashPart& part, const SettingsBlock& settings,
                            const ProcessSettings& process);

// "SerialNum" as the configuration holds it: padded on the left with "0" to
// `minLength` characters, or its last `minLength` characters when longer; at
// most 21 characters are kept.
std::string PadSerialNumber(const char* serial, int minLength);

// The text shown when a part cannot be used.
OperatorMessage InvalidFlashPartMessage(const FlashConfig& config);

// The result of applying the part the settings name.
struct FlashSelection {
    int PartIndex = -1;  // -1 when the list holds no part
    FlashConfig Config;
    std::vector<std::string> Memo;           // the flash detail memo
    std::optional<OperatorMessage> Message;  // set when the part is invalid
};

// `ChangeGlobalParameter`: finds the part whose name equals "FlashUniName"
// (exactly, case-sensitive), or the first part when none does, applies it and
// fills the memo. An empty list gives an invalid configuration.
FlashSelection ChangeGlobalParameter(const FlashPartsList& list, const SettingsBlock& settings,
                                     const ProcessSettings& process);

}  // namespace kv
