#include "config/settings_keys.h"

#include <cstdio>
#include <cstring>
#include <limits>

#include "run/test_item_catalogue.h"

namespace kv::config {
namespace {

// Reads the keys of one section with the kinds of the key tables.
class SectionReader {
  public:
    SectionReader(SettingsText& text, const char* section) : text_(text), section_(section) {}

    std::uint8_t Byte(const char* key, int def) {
        return static_cast<std::uint8_t>(text_.ReadIniInt(section_, key, def) & 0xFF);
    }
    std::uint16_t Word(const char* key, int def) {
        return static_cast<std::uint16_t>(text_.ReadIniInt(section_, key, def) & 0xFFFF);
    }
    std::int32_t Int(const char* key, std::int32_t def) {
        return text_.ReadIniInt(section_, key, def);
    }
    std::uint64_t UInt64(const char* key, std::uint64_t def) {
        return text_.ReadIniUInt64(section_, key, def);
    }
    template <std::size_t N>
    void Text(const char* key, const char* def, char (&dest)[N]) {
        text_.ReadIniString(section_, key, def, N, dest);
    }

  private:
    SettingsText& text_;
    const char* section_;
};

// Writes the keys of one section into the image, or, when describing, as
// "key=value" lines after a "[section]" line; remembers the first write that
// did not fit the image.
class SectionWriter {
  public:
    SectionWriter(SettingsText& text, const char* section, bool& ok)
        : text_(&text), section_(section), ok_(ok) {}
    SectionWriter(std::string& listing, const char* section, bool& ok)
        : listing_(&listing), section_(section), ok_(ok) {
        listing.append("[").append(section).append("]\n");
    }

    // Describing lists every key, whatever the conditions of a save.
    bool describing() const { return listing_ != nullptr; }

    void Unsigned(const char* key, unsigned value) { Put(key, std::to_string(value)); }
    void Int(const char* key, std::int32_t value) { Put(key, std::to_string(value)); }
    void UInt64(const char* key, std::uint64_t value) { Put(key, std::to_string(value)); }
    template <std::size_t N>
    void Text(const char* key, const char (&value)[N]) {
        Put(key, std::string_view(value, strnlen(value, N)));
    }

  private:
    void Put(const char* key, std::string_view value) {
        if (listing_ != nullptr) {
            listing_->append(key).append("=").append(value).append("\n");
        } else if (ok_ && !text_->WriteIniString(section_, key, value)) {
            ok_ = false;
        }
    }
    SettingsText* text_ = nullptr;
    std::string* listing_ = nullptr;
    const char* section_;
    bool& ok_;
};

// With decimal counting, a number holding anything but digits becomes zeros.
template <std::size_t N>
void ZeroUnlessDecimal(char (&text)[N]) {
    const std::size_t length = strnlen(text, N);
    bool digitsOnly = true;
    for (std::size_t i = 0; i < length; ++i) {
        if (text[i] < '0' || text[i] > '9')
            digitsOnly = false;
    }
    if (!digitsOnly)
        std::memset(text, '0', length);
}

void ReadSetting(SettingsText& text, Settings& s) {
    SettingsBlock& b = s.block;
    ProcessSettings& p = s.process;
    SectionReader r(text, "Setting");
    b.ShowTitle = r.Byte("ShowTitle", 0);
    b.EnDumpFreeBlockInfo = r.Byte("EnDumpFreeBlockInfo", 0);
    b.EnUpdateFirmwareMode = r.Byte("EnUpdateFirmwareMode", 0);
    r.Text("ProductModel", "KV", b.ProductModel);
    b.MPVersion = r.Byte("MPVersion", 0);
    b.TimeOut = TimeOutMinutesToMs(r.Int("TimeOut", 200));
    b.ConnectDevNum = r.Byte("ConnectDevNum", 0);
    b.EnBarCode = r.Byte("EnBarCode", 0);
    p.EnableWorkOrder = r.Byte("EnableWorkOrder", 0);
    p.EnSaveDefectTable = r.Byte("EnSaveDefectTable", 0);
    b.EnKeepEraseCount = r.Byte("EnKeepEraseCount", 0);
    b.UpdateFirmwareA2B = r.Byte("UpdateFirmwareA2B", 0);
    b.EnBarCodeWWN = r.Byte("EnBarCodeWWN", 0);
    b.EnCustomizeIdentify = r.Byte("EnCustomizeIdentify", 0);
    b.EnKeepSmartInfo = r.Byte("EnKeepSmartInfo", 0);
    p.EnNoCheckBridge = r.Byte("EnNoCheckBridge", 0);
    p.SataBusMode = r.Byte("SataBusMode", 2);
    b.EnAutoExecuteAfterInputSn = r.Byte("EnAutoExecuteAfterInputSn", 0);
    b.BarCodeInputMode = r.Byte("BarCodeInputMode", 0);
    b.BarCodeInputMaxCnt = r.Byte("BarCodeInputMaxCnt", 0);
    b.EnHalvoroSnToWWN = r.Byte("EnHalvoroSnToWWN", 0);
    b.EnHalvoroLogResult = r.Byte("EnHalvoroLogResult", 0);
    b.HalvoroSnToWWNMode = r.Byte("HalvoroSnToWWNMode", 0);
    b.EnCheckToolOnRemoteDisk = r.Byte("EnCheckToolOnRemoteDisk", 1);
    b.EnBuildModifiedGDP = r.Byte("EnBuildModifiedGDP", 0);
    b.SupportCustIniFilePath = r.Byte("SupportCustIniFilePath", 0);
    r.Text("CustIniFilePath", "", b.CustIniFilePath);
    b.EnNoCheckRDTSn = r.Byte("EnNoCheckRDTSn", 0);
    b.EnOutputDbgMsg = r.Byte("EnOutputDbgMsg", 0);
    b.EnPPID = r.Byte("EnPPID", 0);
    b.ItemEnabled[kWritePpid] = b.EnPPID;
    b.EnCRCLabel = r.Byte("EnCRCLabel", 1);
}

void ReadTestItems(SettingsText& text, Settings& s) {
    SettingsBlock& b = s.block;
    std::uint8_t* item = b.ItemEnabled;
    SectionReader r(text, "TestItems");
    item[kFlashModuleTest] = r.Byte("EnFlashModule", 1);
    b.CheckFlashMask = r.Byte("CheckFlashMask", 31);
    s.process.CheckFlashMask = b.CheckFlashMask;
    item[kBusInterfaceTest] = r.Byte("EnSataTest", 0);
    item[kFlashInterfaceTest] = r.Byte("EnFlashTest", 0);
    item[kPreformat] = r.Byte("EnPreFormat", 0);
    item[kDownload] = r.Byte("EnDownload", 0);
    item[kUpload] = r.Byte("EnUpload", 0);
    b.DownloadType = r.Byte("DownloadType", 1);
    item[kRWTest] = r.Byte("EnRWTest", 0);
    item[kCheckTables] = r.Byte("EnCheckTables", 0);
    b.EnCheckTablesErase = r.Byte("EnCheckTablesErase", 0);
    item[kSetMaxLba] = r.Byte("EnSetMaxLBA", 0);
    b.SetMaxLBAValue = r.UInt64("SetMaxLBAValue", 0);
    item[kDiskFormat] = r.Byte("EnFormat", 0);
    r.Text("DiskLabel", "SSD Disk", b.DiskLabel);
    b.DiskFormat = r.Byte("DiskFormat", 0);
    item[kCopyImage] = r.Byte("EnCopyImage", 0);
    r.Text("CopyImagePath", "", b.CopyImagePath);
    b.EnGenImage = r.Byte("EnGenImage", 0);
    item[kCheckTemperature] = r.Byte("EnCheckTemperature", 0);
    b.CheckMaxTemperatureValue = r.Byte("CheckMaxTemperatureValue", 0);
    b.EnReadRDTLog = r.Byte("EnReadRDTLog", 0);
    b.EnCheckRDT = r.Byte("EnCheckRDT", 0);
    b.CheckRDTMode = r.Byte("CheckRDTMode", 0);
    b.EnCheckSnLength = r.Byte("EnCheckSnLength", 0);
    b.CheckSnLengthValue = r.Byte("CheckSnLengthValue", 12);
    if (b.CheckSnLengthValue > 20)
        b.CheckSnLengthValue = 20;
    b.CheckPPIDLengthValue = r.Byte("CheckPPIDLengthValue", 23);
    b.SataLBA48 = r.Byte("SataLBA48", 1);
}

void ReadDeviceSetting(SettingsText& text, Settings& s) {
    SettingsBlock& b = s.block;
    ProcessSettings& p = s.process;
    SectionReader r(text, "DeviceSetting");
    r.Text("SerialNum", "KV_0123456789", b.SerialNum);
    r.Text("FirmwareVer", "12345678", b.FirmwareVer);
    r.Text("ModelNum", "Korvane KVR5XX SSD", b.ModelNum);
    b.SNAutoInc = r.Byte("SNAutoInc", 0);
    b.SNDecimal = r.Byte("SNDecimal", 0);
    if (b.SNDecimal != 0)
        ZeroUnlessDecimal(b.SerialNum);
    b.SNMinLength = r.Byte("SNMinLength", 12);
    b.SNErrReuse = r.Byte("SNErrReuse", 0);
    b.EncryptionEnable = r.Byte("EncryptionEnable", 0);
    r.Text("EncryptionString", kDefaultEncryptionString, b.EncryptionString);
    b.IDE_UDMA5 = r.Byte("IDE_UDMA5", 0);
    p.IDE_UDMA5 = b.IDE_UDMA5;
    r.Text("OUI", "000000", b.OUI);
    r.Text("UID", "000000000", b.UID);
    b.UIDAutoInc = r.Byte("UIDAutoInc", 0);
    b.UIDDecimal = r.Byte("UIDDecimal", 0);
    if (b.UIDDecimal != 0)
        ZeroUnlessDecimal(b.UID);
    for (auto& entry : p.IdentifyData)
        std::snprintf(entry, sizeof entry, "%s", "XXXXX");
    if (b.EnCustomizeIdentify != 0) {
        for (int i = 0; i < kIdentifyEntryCount; ++i) {
            char key[24];
            std::snprintf(key, sizeof key, "IdentiyData%3.3d", i);
            r.Text(key, "XXXXX", p.IdentifyData[i]);
        }
    }
    b.LimitSATASpeed = r.Byte("LimitSATASpeed", 0);
    if (b.LimitSATASpeed > 3)
        b.LimitSATASpeed = 0;
}

void ReadFlashSetting(SettingsText& text, Settings& s) {
    SettingsBlock& b = s.block;
    SectionReader r(text, "FlashSetting");
    r.Text("ExtFlashFile", "Flash.ini", b.ExtFlashFile);
    b.Capacity = r.Byte("Capacity", 0);
    r.Text("FlashUniName", "WBG", b.FlashUniName);
    b.Channel = r.Byte("Channel", 8);
    b.Bank = r.Byte("Bank", 2);
    b.DrvCurrent = r.Byte("DrvCurrent", 1);
    for (int i = 0; i < 8; ++i) {
        char key[16];
        std::snprintf(key, sizeof key, "FwBankSet%d", i);
        b.FwBankSet[i] = r.Byte(key, i);
    }
}

void ReadTimingBytes(SectionReader& r, const char* prefix, const int (&defaults)[7],
                     std::uint8_t (&dest)[7]) {
    for (int i = 0; i < 7; ++i) {
        char key[24];
        std::snprintf(key, sizeof key, "%s%d", prefix, i);
        dest[i] = r.Byte(key, defaults[i]);
    }
}

constexpr int kToggleDefaults[7] = {0, 0, 34, 4, 255, 255, 31};
constexpr int kOnfiDefaults[7] = {16, 16, 17, 0, 155, 249, 84};
constexpr int kAsynDefaults[7] = {144, 144, 34, 4, 155, 249, 84};

void ReadFwSetting(SettingsText& text, Settings& s) {
    SettingsBlock& b = s.block;
    ProcessSettings& p = s.process;
    SectionReader r(text, "FwSetting");
    b.DefPercentage = r.Byte("DefPercentage", 48);
    b.ResPercentage = r.Word("ResPercentage", 68);
    b.Bch16ReadErrorThreshold = r.Byte("Bch16ReadErrorThreshold", 13);
    b.Bch24ReadErrorThreshold = r.Byte("Bch24ReadErrorThreshold", 20);
    b.Bch40ReadErrorThreshold = r.Byte("Bch40ReadErrorThreshold", 34);
    b.Bch16EccErrorCopyThreshold = r.Byte("Bch16EccErrorCopyThreshold", 6);
    b.Bch24EccErrorCopyThreshold = r.Byte("Bch24EccErrorCopyThreshold", 15);
    b.Bch40EccErrorCopyThreshold = r.Byte("Bch40EccErrorCopyThreshold", 27);
    b.WearLevelFrequency = r.Byte("WearLevelFrequency", 128);
    b.ScrambleEnable = r.Byte("ScrambleEnable", 1);
    b.RemapEnable = r.Byte("RemapEnable", 1);
    b.NoDeviceSleep = r.Byte("NoDeviceSleep", 0);
    p.UsbRemovable = r.Byte("UsbRemovable", 0);
    p.UsbLedP14 = r.Byte("UsbLedP14", 0);
    b.SecurityCounter = r.Byte("SecurityCounter", 5);
    b.DirtyDepth = r.Word("DirtyDepth", 40);
    b.InterleaveWay = r.Byte("InterleaveWay", 4);
    b.LEDControl = r.Byte("LEDControl", 0);
    b.EnSkipEraseGood = r.Byte("EnSkipEraseGood", 0);
    b.EnEarlyBad = r.Byte("EnEarlyBad", 0);
    b.EnEraseReBuildBad = r.Byte("EnEraseReBuildBad", 0);
    b.EnTrimCmd = r.Byte("EnTrimCmd", 1);
    b.EnThermalSensor = r.Byte("EnThermalSensor", 0);
    b.EnNoSPI = r.Byte("EnNoSPI", 0);
    b.EnSizeAlignment = r.Byte("EnSizeAlignment", 0);
    b.EnLaterSkipEccOver = r.Byte("EnLaterSkipEccOver", 0);
    b.EnLaterSkipProgFail = r.Byte("EnLaterSkipProgFail", 0);
    b.EnLaterSkipEraseFail = r.Byte("EnLaterSkipEraseFail", 0);
    b.EnLaterSkipEccFail = r.Byte("EnLaterSkipEccFail", 0);
    p.OneDramFlag = 0;
    b.EnOneDram = 0;  // never read: the box starts off after every load
    b.EnExtendBlock = r.Byte("EnExtendBlock", 0);
    b.EnLowPage = r.Byte("EnLowPage", 0);
    b.ProhibitRemapOffset = r.Word("ProhibitRemapOffset", 0);
    b.EnModifyTMCvalue = r.Byte("EnModifyTMCvalue", 0);
    ReadTimingBytes(r, "ToggleTMC", kToggleDefaults, b.ToggleTMC);
    ReadTimingBytes(r, "ONFITMC", kOnfiDefaults, b.ONFITMC);
    ReadTimingBytes(r, "AsynTMC", kAsynDefaults, b.AsynTMC);
    b.DriverSetting = r.Byte("DriverSetting", 0);
    b.BelmarSSD = r.Byte("BelmarSSD", 0);
    b.EnCodeBlockLowPage = r.Byte("EnCodeBlockLowPage", 0);
    b.EnRegMap = r.Byte("EnRegMap", 0);
    b.EnWriteProtect = r.Byte("EnWriteProtect", 0);
    b.EnSecurityErase = r.Byte("EnSecurityErase", 0);
    b.SEStartLatency = r.Byte("SEStartLatency", 0);
    p.SecurityFlags = static_cast<std::uint8_t>(
        ((b.EnWriteProtect << 7) | (b.EnSecurityErase * 64) | b.SEStartLatency) & 0xFF);
    p.DirtyDepth = b.DirtyDepth;
    p.LedInterleave = static_cast<std::uint8_t>(((b.LEDControl * 16) | b.InterleaveWay) & 0xFF);
}

void ReadRdSetting(SettingsText& text, Settings& s) {
    SettingsBlock& b = s.block;
    ProcessSettings& p = s.process;
    SectionReader r(text, "RDSetting");
    b.EnableGetPutTable = r.Byte("EnableGetPutTable", 0);
    r.Text("TableIn", "", b.TableIn);
    r.Text("TableOut", "", b.TableOut);
    r.Text("LaterTableIn", "", b.LaterTableIn);
    r.Text("LaterTableOut", "", b.LaterTableOut);
    p.DumpDebugFile = r.Byte("DumpDebugFile", 0);
    p.EnBatchMode = r.Byte("EnBatchMode", 0);
    p.EnGodMode = r.Byte("EnGodMode", 0);
}

void ReadReMP(SettingsText& text, Settings& s) {
    SectionReader r(text, "ReMP");
    s.block.EnReMPSN = r.Byte("EnReMPSN", 0);
    for (auto& serial : s.process.ReMPSerial)
        std::snprintf(serial, sizeof serial, "%s", "N/A");
    if (s.block.EnReMPSN == 0)
        return;
    for (int i = 0; i < kReMPSerialCount; ++i) {
        char key[16];
        std::snprintf(key, sizeof key, "SerialNum%2.2d", i + 1);
        r.Text(key, "N/A", s.process.ReMPSerial[i]);
    }
}

void ReadSmart(SettingsText& text, Settings& s) {
    SettingsBlock& b = s.block;
    SectionReader r(text, "SMART");
    b.SMARTPowerOnHoursCount = r.Int("SMARTPowerOnHoursCount", 99877);
    b.SMARTDrivePowerCycleCount = r.Int("SMARTDrivePowerCycleCount", 99877);
    b.SMARTSSDProtectMode = r.Int("SMARTSSDProtectMode", 99877);
    b.SMARTSATAPHYErrorCount = r.Int("SMARTSATAPHYErrorCount", 99877);
    b.SMARTBADBlockCount = r.Int("SMARTBADBlockCount", 99877);
    b.SMARTMaxBadBlockCount = r.Int("SMARTMaxBadBlockCount", 99877);
    b.SMARTEraseCount = r.Int("SMARTEraseCount", 99877);
    b.SMARTUnexpectedPowerLossCount = r.Int("SMARTUnexpectedPowerLossCount", 99877);
    b.SMARTMinTemperature = r.Int("SMARTMinTemperature", 99877);
    b.SMARTMaxTemperature = r.Int("SMARTMaxTemperature", 99877);
}

void WriteSetting(SectionWriter& w, const Settings& s) {
    const SettingsBlock& b = s.block;
    w.Text("ProductModel", b.ProductModel);
    w.Unsigned("MPVersion", b.MPVersion);
    w.Int("TimeOut", TimeOutMsToMinutes(b.TimeOut));
    w.Unsigned("ConnectDevNum", b.ConnectDevNum);
    w.Unsigned("EnBarCode", b.EnBarCode);
    w.Unsigned("EnKeepEraseCount", b.EnKeepEraseCount);
    w.Unsigned("EnKeepSmartInfo", b.EnKeepSmartInfo);
    w.Unsigned("EnBarCodeWWN", b.EnBarCodeWWN);
    if (w.describing() || b.SupportCustIniFilePath != 0) {
        w.Unsigned("SupportCustIniFilePath", b.SupportCustIniFilePath);
        w.Text("CustIniFilePath", b.CustIniFilePath);
    }
    if (!w.describing())
        return;
    const ProcessSettings& p = s.process;
    w.Unsigned("ShowTitle", b.ShowTitle);
    w.Unsigned("EnDumpFreeBlockInfo", b.EnDumpFreeBlockInfo);
    w.Unsigned("EnUpdateFirmwareMode", b.EnUpdateFirmwareMode);
    w.Unsigned("EnableWorkOrder", p.EnableWorkOrder);
    w.Unsigned("EnSaveDefectTable", p.EnSaveDefectTable);
    w.Unsigned("UpdateFirmwareA2B", b.UpdateFirmwareA2B);
    w.Unsigned("EnCustomizeIdentify", b.EnCustomizeIdentify);
    w.Unsigned("EnNoCheckBridge", p.EnNoCheckBridge);
    w.Unsigned("SataBusMode", p.SataBusMode);
    w.Unsigned("EnAutoExecuteAfterInputSn", b.EnAutoExecuteAfterInputSn);
    w.Unsigned("BarCodeInputMode", b.BarCodeInputMode);
    w.Unsigned("BarCodeInputMaxCnt", b.BarCodeInputMaxCnt);
    w.Unsigned("EnHalvoroSnToWWN", b.EnHalvoroSnToWWN);
    w.Unsigned("EnHalvoroLogResult", b.EnHalvoroLogResult);
    w.Unsigned("HalvoroSnToWWNMode", b.HalvoroSnToWWNMode);
    w.Unsigned("EnCheckToolOnRemoteDisk", b.EnCheckToolOnRemoteDisk);
    w.Unsigned("EnBuildModifiedGDP", b.EnBuildModifiedGDP);
    w.Unsigned("EnNoCheckRDTSn", b.EnNoCheckRDTSn);
    w.Unsigned("EnOutputDbgMsg", b.EnOutputDbgMsg);
    w.Unsigned("EnPPID", b.EnPPID);
    w.Unsigned("EnCRCLabel", b.EnCRCLabel);
}

void WriteTestItems(SectionWriter& w, const Settings& s) {
    const SettingsBlock& b = s.block;
    const std::uint8_t* item = b.ItemEnabled;
    w.Unsigned("CheckFlashMask", b.CheckFlashMask);
    w.Unsigned("EnSataTest", item[kBusInterfaceTest]);
    w.Unsigned("EnFlashTest", item[kFlashInterfaceTest]);
    w.Unsigned("EnPreFormat", item[kPreformat]);
    w.Unsigned("EnDownload", item[kDownload]);
    w.Unsigned("DownloadType", b.DownloadType);
    w.Unsigned("EnRWTest", item[kRWTest]);
    w.Unsigned("EnCheckTables", item[kCheckTables]);
    w.Unsigned("EnSetMaxLBA", item[kSetMaxLba]);
    w.UInt64("SetMaxLBAValue", b.SetMaxLBAValue);
    w.Unsigned("EnFormat", item[kDiskFormat]);
    w.Unsigned("DiskFormat", b.DiskFormat);
    w.Text("DiskLabel", b.DiskLabel);
    const bool all = w.describing();
    if (all || item[kCopyImage] != 0)
        w.Text("CopyImagePath", b.CopyImagePath);
    if (all || item[kCheckTemperature] != 0) {
        w.Unsigned("EnCheckTemperature", item[kCheckTemperature]);
        w.Unsigned("CheckMaxTemperatureValue", b.CheckMaxTemperatureValue);
    }
    if (all || b.EnReadRDTLog != 0)
        w.Unsigned("EnReadRDTLog", b.EnReadRDTLog);
    w.Unsigned("EnCheckRDT", b.EnCheckRDT);
    w.Unsigned("CheckRDTMode", b.CheckRDTMode);
    w.Unsigned("SataLBA48", b.SataLBA48);
    if (!all)
        return;
    w.Unsigned("EnFlashModule", item[kFlashModuleTest]);
    w.Unsigned("EnUpload", item[kUpload]);
    w.Unsigned("EnCheckTablesErase", b.EnCheckTablesErase);
    w.Unsigned("EnCopyImage", item[kCopyImage]);
    w.Unsigned("EnGenImage", b.EnGenImage);
    w.Unsigned("EnCheckSnLength", b.EnCheckSnLength);
    w.Unsigned("CheckSnLengthValue", b.CheckSnLengthValue);
    w.Unsigned("CheckPPIDLengthValue", b.CheckPPIDLengthValue);
}

void WriteDeviceSetting(SectionWriter& w, const Settings& s, bool machineFileReadable) {
    const SettingsBlock& b = s.block;
    const bool all = w.describing();
    w.Text("ModelNum", b.ModelNum);
    w.Text("FirmwareVer", b.FirmwareVer);
    w.Text("SerialNum", b.SerialNum);
    w.Unsigned("SNAutoInc", b.SNAutoInc);
    w.Unsigned("SNDecimal", b.SNDecimal);
    w.Unsigned("SNMinLength", b.SNMinLength);
    w.Unsigned("SNErrReuse", b.SNErrReuse);
    if (all || b.IDE_UDMA5 != 0)
        w.Unsigned("IDE_UDMA5", b.IDE_UDMA5);
    if (all || (b.EncryptionEnable != 0 && !machineFileReadable)) {
        w.Text("EncryptionString", b.EncryptionString);
    }
    w.Text("OUI", b.OUI);
    w.Text("UID", b.UID);
    w.Unsigned("UIDAutoInc", b.UIDAutoInc);
    w.Unsigned("UIDDecimal", b.UIDDecimal);
    if (all || b.EnCustomizeIdentify != 0) {
        for (int i = 0; i < kIdentifyEntryCount; ++i) {
            char key[24];
            std::snprintf(key, sizeof key, "IdentiyData%3.3d", i);
            w.Text(key, s.process.IdentifyData[i]);
        }
    }
    if (!all)
        return;
    w.Unsigned("EncryptionEnable", b.EncryptionEnable);
    w.Unsigned("LimitSATASpeed", b.LimitSATASpeed);
}

void WriteFlashSetting(SectionWriter& w, const Settings& s) {
    const SettingsBlock& b = s.block;
    if (w.describing() || b.ExtFlashFile[0] != '\0')
        w.Text("ExtFlashFile", b.ExtFlashFile);
    w.Unsigned("Capacity", b.Capacity);
    w.Text("FlashUniName", b.FlashUniName);
    w.Unsigned("Channel", b.Channel);
    w.Unsigned("Bank", b.Bank);
    w.Unsigned("DrvCurrent", b.DrvCurrent);
    for (int i = 0; i < 8; ++i) {
        char key[16];
        std::snprintf(key, sizeof key, "FwBankSet%d", i);
        w.Unsigned(key, b.FwBankSet[i]);
    }
}

void WriteTimingBytes(SectionWriter& w, const char* prefix, const std::uint8_t (&values)[7]) {
    for (int i = 0; i < 7; ++i) {
        char key[24];
        std::snprintf(key, sizeof key, "%s%d", prefix, i);
        w.Unsigned(key, values[i]);
    }
}

void WriteFwSetting(SectionWriter& w, const Settings& s) {
    const SettingsBlock& b = s.block;
    w.Unsigned("DefPercentage", b.DefPercentage);
    w.Unsigned("ResPercentage", b.ResPercentage);
    w.Unsigned("Bch16ReadErrorThreshold", b.Bch16ReadErrorThreshold);
    w.Unsigned("Bch24ReadErrorThreshold", b.Bch24ReadErrorThreshold);
    w.Unsigned("Bch40ReadErrorThreshold", b.Bch40ReadErrorThreshold);
    w.Unsigned("Bch16EccErrorCopyThreshold", b.Bch16EccErrorCopyThreshold);
    w.Unsigned("Bch24EccErrorCopyThreshold", b.Bch24EccErrorCopyThreshold);
    w.Unsigned("Bch40EccErrorCopyThreshold", b.Bch40EccErrorCopyThreshold);
    w.Unsigned("ScrambleEnable", b.ScrambleEnable);
    w.Unsigned("RemapEnable", b.RemapEnable);
    w.Unsigned("NoDeviceSleep", b.NoDeviceSleep);
    w.Unsigned("SecurityCounter", b.SecurityCounter);
    w.Unsigned("DirtyDepth", b.DirtyDepth);
    w.Unsigned("EnTrimCmd", b.EnTrimCmd);
    w.Unsigned("EnThermalSensor", b.EnThermalSensor);
    w.Unsigned("EnNoSPI", b.EnNoSPI);
    w.Unsigned("EnLaterSkipEccOver", b.EnLaterSkipEccOver);
    w.Unsigned("EnLaterSkipProgFail", b.EnLaterSkipProgFail);
    w.Unsigned("EnLaterSkipEraseFail", b.EnLaterSkipEraseFail);
    w.Unsigned("EnLaterSkipEccFail", b.EnLaterSkipEccFail);
    w.Unsigned("EnOneDram", b.EnOneDram);
    w.Unsigned("ProhibitRemapOffset", b.ProhibitRemapOffset);
    w.Unsigned("EnModifyTMCvalue", b.EnModifyTMCvalue);
    WriteTimingBytes(w, "ToggleTMC", b.ToggleTMC);
    WriteTimingBytes(w, "ONFITMC", b.ONFITMC);
    WriteTimingBytes(w, "AsynTMC", b.AsynTMC);
    w.Unsigned("DriverSetting", b.DriverSetting);
    if (!w.describing())
        return;
    w.Unsigned("WearLevelFrequency", b.WearLevelFrequency);
    w.Unsigned("UsbRemovable", s.process.UsbRemovable);
    w.Unsigned("UsbLedP14", s.process.UsbLedP14);
    w.Unsigned("InterleaveWay", b.InterleaveWay);
    w.Unsigned("LEDControl", b.LEDControl);
    w.Unsigned("EnSkipEraseGood", b.EnSkipEraseGood);
    w.Unsigned("EnEarlyBad", b.EnEarlyBad);
    w.Unsigned("EnEraseReBuildBad", b.EnEraseReBuildBad);
    w.Unsigned("EnSizeAlignment", b.EnSizeAlignment);
    w.Unsigned("EnExtendBlock", b.EnExtendBlock);
    w.Unsigned("EnLowPage", b.EnLowPage);
    w.Unsigned("BelmarSSD", b.BelmarSSD);
    w.Unsigned("EnCodeBlockLowPage", b.EnCodeBlockLowPage);
    w.Unsigned("EnRegMap", b.EnRegMap);
    w.Unsigned("EnWriteProtect", b.EnWriteProtect);
    w.Unsigned("EnSecurityErase", b.EnSecurityErase);
    w.Unsigned("SEStartLatency", b.SEStartLatency);
}

// Only the table file names are ever saved, and only with the RD page shown.
bool SavesRdSetting(const Settings& s) {
    return s.block.EnableGetPutTable != 0;
}

void WriteRdSetting(SectionWriter& w, const Settings& s) {
    const SettingsBlock& b = s.block;
    w.Text("TableIn", b.TableIn);
    w.Text("TableOut", b.TableOut);
    w.Text("LaterTableIn", b.LaterTableIn);
    w.Text("LaterTableOut", b.LaterTableOut);
    if (!w.describing())
        return;
    w.Unsigned("EnableGetPutTable", b.EnableGetPutTable);
    w.Unsigned("DumpDebugFile", s.process.DumpDebugFile);
    w.Unsigned("EnBatchMode", s.process.EnBatchMode);
    w.Unsigned("EnGodMode", s.process.EnGodMode);
}

// Keys that are never saved: listed only when describing.
void DescribeReMP(SectionWriter& w, const Settings& s) {
    w.Unsigned("EnReMPSN", s.block.EnReMPSN);
    for (int i = 0; i < kReMPSerialCount; ++i) {
        char key[16];
        std::snprintf(key, sizeof key, "SerialNum%2.2d", i + 1);
        w.Text(key, s.process.ReMPSerial[i]);
    }
}

void DescribeSmart(SectionWriter& w, const Settings& s) {
    const SettingsBlock& b = s.block;
    w.Int("SMARTPowerOnHoursCount", b.SMARTPowerOnHoursCount);
    w.Int("SMARTDrivePowerCycleCount", b.SMARTDrivePowerCycleCount);
    w.Int("SMARTSSDProtectMode", b.SMARTSSDProtectMode);
    w.Int("SMARTSATAPHYErrorCount", b.SMARTSATAPHYErrorCount);
    w.Int("SMARTBADBlockCount", b.SMARTBADBlockCount);
    w.Int("SMARTMaxBadBlockCount", b.SMARTMaxBadBlockCount);
    w.Int("SMARTEraseCount", b.SMARTEraseCount);
    w.Int("SMARTUnexpectedPowerLossCount", b.SMARTUnexpectedPowerLossCount);
    w.Int("SMARTMinTemperature", b.SMARTMinTemperature);
    w.Int("SMARTMaxTemperature", b.SMARTMaxTemperature);
}

}  // namespace

std::int32_t TimeOutMinutesToMs(std::int32_t minutes) {
    if (minutes == 0)
        return 300000;
    // Held in 32 bits: a value too large for milliseconds is held at the limit.
    const std::int64_t ms = static_cast<std::int64_t>(minutes) * 60000;
    if (ms > std::numeric_limits<std::int32_t>::max())
        return std::numeric_limits<std::int32_t>::max();
    if (ms < std::numeric_limits<std::int32_t>::min())
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(ms);
}

std::int32_t TimeOutMsToMinutes(std::int32_t ms) {
    return ms / 60000;
}

void ReadSettingsKeys(SettingsText& text, Settings& settings) {
    ReadSetting(text, settings);
    ReadTestItems(text, settings);
    ReadDeviceSetting(text, settings);
    ReadFlashSetting(text, settings);
    ReadFwSetting(text, settings);
    ReadRdSetting(text, settings);
    ReadReMP(text, settings);
    ReadSmart(text, settings);
}

bool WriteSettingsKeys(SettingsText& text, const Settings& settings, bool machineFileReadable) {
    bool ok = true;
    SectionWriter setting(text, "Setting", ok);
    WriteSetting(setting, settings);
    SectionWriter testItems(text, "TestItems", ok);
    WriteTestItems(testItems, settings);
    SectionWriter device(text, "DeviceSetting", ok);
    WriteDeviceSetting(device, settings, machineFileReadable);
    SectionWriter flash(text, "FlashSetting", ok);
    WriteFlashSetting(flash, settings);
    SectionWriter fw(text, "FwSetting", ok);
    WriteFwSetting(fw, settings);
    if (SavesRdSetting(settings)) {
        SectionWriter rd(text, "RDSetting", ok);
        WriteRdSetting(rd, settings);
    }
    return ok;
}

std::string DescribeSettingsKeys(const Settings& settings) {
    std::string listing;
    bool ok = true;
    SectionWriter setting(listing, "Setting", ok);
    WriteSetting(setting, settings);
    SectionWriter testItems(listing, "TestItems", ok);
    WriteTestItems(testItems, settings);
    SectionWriter device(listing, "DeviceSetting", ok);
    WriteDeviceSetting(device, settings, false);
    SectionWriter flash(listing, "FlashSetting", ok);
    WriteFlashSetting(flash, settings);
    SectionWriter fw(listing, "FwSetting", ok);
    WriteFwSetting(fw, settings);
    SectionWriter rd(listing, "RDSetting", ok);
    WriteRdSetting(rd, settings);
    SectionWriter remp(listing, "ReMP", ok);
    DescribeReMP(remp, settings);
    SectionWriter smart(listing, "SMART", ok);
    DescribeSmart(smart, settings);
    return listing;
}

}  // namespace kv::config
