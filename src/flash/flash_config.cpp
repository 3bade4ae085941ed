#include "flash/flash_config.h"

#include <cstdio>
#include <cstring>
#include <string_view>

#include "flash/flash_capacity.h"
#include "flash/flash_geometry.h"
#include "flash/flash_texts.h"

namespace kv {
namespace {

// Copies at most N - 1 characters and always terminates.
template <std::size_t N>
void CopyField(char (&field)[N], std::string_view text) {
    const std::size_t n = text.size() < N - 1 ? text.size() : N - 1;
    std::memset(field, 0, N);
    std::memcpy(field, text.data(), n);
}

template <std::size_t M>
std::string_view FieldText(const char (&field)[M]) {
    return std::string_view(field, ::strnlen(field, M));
}

bool IsToggleInterface(std::uint8_t flashInterface) {
    return flashInterface == 1 || flashInterface == 3 || flashInterface == 5 ||
           flashInterface == 6 || flashInterface == 7;
}

std::uint8_t Bit(std::uint8_t setting, int bit) {
    return setting != 0 ? static_cast<std::uint8_t>(1u << bit) : 0;
}

// Maker class 1 parts with "HDG08" or "PFG08" as characters 3 to 7 of the
// part number take a fixed BCH-24 copy threshold.
bool IsFixedBch24CopyPart(const FlashConfig& c) {
    if (c.MakerClass != 1) {
        return false;
    }
    const std::string_view number = FieldText(c.PartNumber);
    if (number.size() < 7) {
        return false;
    }
    const std::string_view code = number.substr(2, 5);
    return code == "HDG08" || code == "PFG08";
}

std::string ProblemOf(const FlashConfig& c) {
    char text[160];
    if (c.BlocksPerCe == 0 || c.PagesPerBlock == 0 || c.Dies == 0 || c.SectorsPerPage == 0) {
        std::snprintf(text, sizeof text, "its type word 0x%04X gives no valid geometry",
                      static_cast<unsigned>(c.TypeWord));
        return text;
    }
    if (c.Channels < 1 || c.Channels > 8) {
        std::snprintf(text, sizeof text, "the channel count %u is outside 1 to 8",
                      static_cast<unsigned>(c.Channels));
        return text;
    }
    if (c.Banks < 1 || c.Banks > 8) {
        std::snprintf(text, sizeof text, "the bank count %u is outside 1 to 8",
                      static_cast<unsigned>(c.Banks));
        return text;
    }
    if (c.CeCount == 0) {
        return "its chip-enable count is 0";
    }
    return "";
}

}  // namespace

std::string PadSerialNumber(const char* serial, int minLength) {
    constexpr int kKept = 21;
    std::string text = serial == nullptr ? "" : std::string(serial, ::strnlen(serial, kKept));
    const int target = minLength < 0 ? 0 : (minLength > kKept ? kKept : minLength);
    const int length = static_cast<int>(text.size());
    if (length < target) {
        text.insert(0, static_cast<std::size_t>(target - length), '0');
    } else if (length > target) {
        text.erase(0, static_cast<std::size_t>(length - target));
    }
    return text;
}

FlashConfig SelectFlashPart(const FlashPart& part, const SettingsBlock& s,
                            const ProcessSettings& process) {
    FlashConfig c;
    // 1. The part itself and the channel and bank counts.
    CopyField(c.FlashName, FieldText(part.FlashName));
    CopyField(c.PartNumber, FieldText(part.PartNumber));
    c.TypeWord = part.TypeWord;
    c.CeCount = part.CeCount;
    c.EccMode = part.EccMode;
    std::memcpy(c.FlashId, part.FlashId, sizeof c.FlashId);
    c.SpareAttr = part.SpareAttr;
    c.HalfPageBlock = part.HalfPageBlock;
    c.AltFamily = part.AltFamily;
    c.ExtendBlocks = s.EnExtendBlock != 0 ? part.ExtendBlocks : 0;
    c.DieOffset = part.DieOffset;
    c.PageMapType = part.PageMapType;
    c.FlashInterface = part.FlashInterface;
    c.OnePlane = part.OnePlane;
    c.Channels = s.Channel;
    c.Banks = s.Bank;

    // 2. Feature bytes.
    c.FeatureFlags =
        static_cast<std::uint8_t>(Bit(s.EnTrimCmd, 0) | Bit(s.EnThermalSensor, 1) |
                                  Bit(s.EnSizeAlignment, 4) | 0x20 | Bit(s.SataLBA48, 6));
    c.FeatureFlags3 =
        static_cast<std::uint8_t>(Bit(s.EnLaterSkipEccOver, 0) | Bit(s.EnLaterSkipProgFail, 2) |
                                  Bit(s.EnLaterSkipEraseFail, 3) | Bit(s.EnLaterSkipEccFail, 4));
    c.FeatureFlags2 =
        static_cast<std::uint8_t>(Bit(process.OneDramFlag, 0) |
                                  Bit(c.FlashInterface == 3 || c.FlashInterface == 5 ? 1 : 0, 1) |
                                  Bit(c.OnePlane, 2) | Bit(s.EnNoSPI, 3));
    c.SecurityByte = process.SecurityFlags;

    // 3. Geometry and the codes built from it.
    const FlashGeometry g = DecodeTypeWord(c.TypeWord, c.HalfPageBlock != 0);
    c.BlocksPerCe = g.BlocksPerCe;
    c.BlocksPerPlaneDie = g.BlocksPerPlaneDie;
    c.PagesPerBlock = g.PagesPerBlock;
    c.TypePagesPerBlock = g.TypePagesPerBlock;
    c.Dies = g.Dies;
    c.SectorsPerPage = g.SectorsPerPage;
    c.Mlc = g.Mlc;
    c.MakerClass = g.MakerClass;
    GeometryCodeInput code;
    code.BlocksPerCe = c.BlocksPerCe;
    code.PagesPerBlock = c.PagesPerBlock;
    code.Dies = c.Dies;
    code.DieOffset = c.DieOffset;
    code.ExtendBlocks = c.ExtendBlocks;
    code.MakerClass = c.MakerClass;
    code.AltFamily = c.AltFamily;
    code.FlashInterface = c.FlashInterface;
    c.GeometryCode = GeometryCode(code);
    c.GeometryCode2 = GeometryCode2(code);

    // 4. Copies of the settings.
    c.DefPercentage = s.DefPercentage;
    c.ResPercentage = s.ResPercentage;
    c.Bch16ReadErrorThreshold = s.Bch16ReadErrorThreshold;
    c.Bch24ReadErrorThreshold = s.Bch24ReadErrorThreshold;
    c.Bch40ReadErrorThreshold = s.Bch40ReadErrorThreshold;
    c.Bch16EccErrorCopyThreshold = s.Bch16EccErrorCopyThreshold;
    c.Bch24EccErrorCopyThreshold = s.Bch24EccErrorCopyThreshold;
    c.Bch40EccErrorCopyThreshold = s.Bch40EccErrorCopyThreshold;
    c.WearLevelFrequency = s.WearLevelFrequency;
    c.SecurityCounter = s.SecurityCounter;
    c.DriverSetting = s.DriverSetting;
    c.DirtyDepth = s.DirtyDepth < 10 ? 10 : (s.DirtyDepth > 40 ? 40 : s.DirtyDepth);
    c.DrvCurrent = s.DrvCurrent;
    std::memcpy(c.FwBankSet, s.FwBankSet, sizeof c.FwBankSet);
    c.OptionFlags[kOptionScramble] = s.ScrambleEnable != 0 ? 1 : 0;
    c.OptionFlags[kOptionRemap] = s.RemapEnable != 0 ? 1 : 0;
    c.OptionFlags[kOptionSpareAttr] = c.SpareAttr;
    c.OptionFlags[kOptionUsbLed] = process.UsbLedP14;
    c.OptionFlags[kOptionSelected] = 1;
    c.OptionFlags[kOptionNoDeviceSleep] = s.NoDeviceSleep;
    CopyField(c.FirmwareVer, FieldText(s.FirmwareVer));
    CopyField(c.ModelNum, FieldText(s.ModelNum));
    CopyField(c.OUI, FieldText(s.OUI));
    CopyField(c.EncryptionString, FieldText(s.EncryptionString));
    CopyField(c.SerialNumber, PadSerialNumber(s.SerialNum, s.SNMinLength));

    // 5. Loader block signatures.
    CopyField(c.BlocksSignature, kLoaderBlocksSignature);
    CopyField(c.ConfigSignature, kLoaderConfigSignature);

    // 6. Timing.
    const bool toggle = IsToggleInterface(c.FlashInterface);
    if (s.EnModifyTMCvalue != 0) {
        std::memcpy(c.AsyncTiming, s.AsynTMC, 7);
        std::memcpy(c.SyncTiming, toggle ? s.ToggleTMC : s.ONFITMC, 7);
    } else {
        std::memcpy(c.AsyncTiming, kDefaultAsyncTiming, 7);
        std::memcpy(c.SyncTiming, toggle ? kDefaultToggleTiming : kDefaultOnfiTiming, 7);
    }

    // 8. The fixed copy threshold of some parts.
    if (IsFixedBch24CopyPart(c)) {
        c.Bch24EccErrorCopyThreshold = 15;
    }

    // User capacity and validity.
    CapacityInput capacity;
    capacity.BlocksPerCe = c.BlocksPerCe;
    capacity.Dies = c.Dies;
    capacity.PagesPerBlock = c.PagesPerBlock;
    capacity.SectorsPerPage = c.SectorsPerPage;
    capacity.Channels = c.Channels;
    capacity.Banks = c.Banks;
    capacity.ResPercentage = c.ResPercentage;
    c.Problem = ProblemOf(c);
    c.Valid = c.Problem.empty();
    c.UserCapacity = c.Valid ? UserCapacitySectors(capacity) : 0;
    c.LargeCapacity = MakeCapacityDisplay(c.UserCapacity, s.EnLowPage != 0).LargeCapacity;
    return c;
}

OperatorMessage InvalidFlashPartMessage(const FlashConfig& config) {
    OperatorMessage message;
    message.text = std::string("The flash part \"") + config.FlashName +
                   "\" cannot be used: " + config.Problem + ".";
    message.caption = kErrorCaption;
    message.icon = OperatorIcon::Error;
    return message;
}

FlashSelection ChangeGlobalParameter(const FlashPartsList& list, const SettingsBlock& settings,
                                     const ProcessSettings& process) {
    FlashSelection selection;
    if (list.Parts.empty()) {
        selection.Config.Problem = "the flash parts list holds no part";
        selection.Config.Valid = false;
        selection.Message = InvalidFlashPartMessage(selection.Config);
        return selection;
    }
    char name[sizeof settings.FlashUniName + 1] = {};
    std::memcpy(name, settings.FlashUniName, sizeof settings.FlashUniName);
    const int found = FindFlashPartByName(list, name);
    selection.PartIndex = found < 0 ? 0 : found;
    selection.Config = SelectFlashPart(list.Parts[static_cast<std::size_t>(selection.PartIndex)],
                                       settings, process);
    selection.Memo = FlashDetailMemo(selection.Config);
    if (!selection.Config.Valid) {
        selection.Message = InvalidFlashPartMessage(selection.Config);
    }
    return selection;
}

}  // namespace kv
