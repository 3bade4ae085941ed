// Every setting of the settings file as the station holds it after loading.
// `SettingsBlock` is copied into every worker at START; `ProcessSettings` are
// the process-wide flags beside it.
#pragma once

#include <cstdint>

#include "run/yield_counters.h"

namespace kv {

struct SettingsBlock {
    YieldCounters Yield;
    std::uint8_t ItemEnabled[39] = {};

    // [Setting]
    std::uint8_t ShowTitle = 0;
    std::uint8_t EnDumpFreeBlockInfo = 0;
    std::uint8_t EnUpdateFirmwareMode = 0;
    char ProductModel[80] = {};
    std::uint8_t MPVersion = 0;
    std::int32_t TimeOut = 0;  // held in milliseconds
    std::uint8_t ConnectDevNum = 0;
    std::uint8_t EnBarCode = 0;
    std::uint8_t EnKeepEraseCount = 0;
    std::uint8_t UpdateFirmwareA2B = 0;
    std::uint8_t EnBarCodeWWN = 0;
    std::uint8_t EnCustomizeIdentify = 0;
    std::uint8_t EnKeepSmartInfo = 0;
    std::uint8_t EnAutoExecuteAfterInputSn = 0;
    std::uint8_t BarCodeInputMode = 0;
    std::uint8_t BarCodeInputMaxCnt = 0;
    std::uint8_t EnHalvoroSnToWWN = 0;
    std::uint8_t EnHalvoroLogResult = 0;
    std::uint8_t HalvoroSnToWWNMode = 0;
    std::uint8_t EnCheckToolOnRemoteDisk = 0;
    std::uint8_t EnBuildModifiedGDP = 0;
    std::uint8_t SupportCustIniFilePath = 0;
    char CustIniFilePath[260] = {};
    std::uint8_t EnNoCheckRDTSn = 0;
    std::uint8_t EnOutputDbgMsg = 0;
    std::uint8_t EnPPID = 0;
    std::uint8_t EnCRCLabel = 0;

    // [TestItems] (the item enables live in ItemEnabled)
    std::uint8_t CheckFlashMask = 0;
    std::uint8_t DownloadType = 0;
    std::uint8_t EnCheckTablesErase = 0;
    std::uint64_t SetMaxLBAValue = 0;
    char DiskLabel[40] = {};
    std::uint8_t DiskFormat = 0;
    char CopyImagePath[260] = {};
    std::uint8_t EnGenImage = 0;
    std::uint8_t CheckMaxTemperatureValue = 0;
    std::uint8_t EnReadRDTLog = 0;
    std::uint8_t EnCheckRDT = 0;
    std::uint8_t CheckRDTMode = 0;
    std::uint8_t EnCheckSnLength = 0;
    std::uint8_t CheckSnLengthValue = 0;
    std::uint8_t CheckPPIDLengthValue = 0;
    std::uint8_t SataLBA48 = 0;

    // [DeviceSetting]
    char SerialNum[22] = {};
    char FirmwareVer[10] = {};
    char ModelNum[42] = {};
    std::uint8_t SNAutoInc = 0;
    std::uint8_t SNDecimal = 0;
    std::uint8_t SNMinLength = 0;
    std::uint8_t SNErrReuse = 0;
    std::uint8_t EncryptionEnable = 0;
    char EncryptionString[24] = {};
    std::uint8_t IDE_UDMA5 = 0;
    char OUI[8] = {};
    char UID[12] = {};
    std::uint8_t UIDAutoInc = 0;
    std::uint8_t UIDDecimal = 0;
    std::uint8_t LimitSATASpeed = 0;

    // [FlashSetting]
    char ExtFlashFile[260] = {};
    std::uint8_t Capacity = 0;
    char FlashUniName[32] = {};  // holds a whole FlashName (31 characters)
    std::uint8_t Channel = 0;
    std::uint8_t Bank = 0;
    std::uint8_t DrvCurrent = 0;
    std::uint8_t FwBankSet[8] = {};

    // [FwSetting]
    std::uint8_t DefPercentage = 0;
    std::uint16_t ResPercentage = 0;
    std::uint8_t Bch16ReadErrorThreshold = 0;
    std::uint8_t Bch24ReadErrorThreshold = 0;
    std::uint8_t Bch40ReadErrorThreshold = 0;
    std::uint8_t Bch16EccErrorCopyThreshold = 0;
    std::uint8_t Bch24EccErrorCopyThreshold = 0;
    std::uint8_t Bch40EccErrorCopyThreshold = 0;
    std::uint8_t WearLevelFrequency = 0;
    std::uint8_t ScrambleEnable = 0;
    std::uint8_t RemapEnable = 0;
    std::uint8_t NoDeviceSleep = 0;
    std::uint8_t SecurityCounter = 0;
    std::uint16_t DirtyDepth = 0;
    std::uint8_t InterleaveWay = 0;
    std::uint8_t LEDControl = 0;
    std::uint8_t EnSkipEraseGood = 0;
    std::uint8_t EnEarlyBad = 0;
    std::uint8_t EnEraseReBuildBad = 0;
    std::uint8_t EnTrimCmd = 0;
    std::uint8_t EnThermalSensor = 0;
    std::uint8_t EnNoSPI = 0;
    std::uint8_t EnSizeAlignment = 0;
    std::uint8_t EnLaterSkipEccOver = 0;
    std::uint8_t EnLaterSkipProgFail = 0;
    std::uint8_t EnLaterSkipEraseFail = 0;
    std::uint8_t EnLaterSkipEccFail = 0;
    std::uint8_t EnOneDram = 0;
    std::uint8_t EnExtendBlock = 0;
    std::uint8_t EnLowPage = 0;
    std::uint16_t ProhibitRemapOffset = 0;
    std::uint8_t EnModifyTMCvalue = 0;
    std::uint8_t ToggleTMC[7] = {};
    std::uint8_t ONFITMC[7] = {};
    std::uint8_t AsynTMC[7] = {};
    std::uint8_t DriverSetting = 0;
    std::uint8_t BelmarSSD = 0;
    std::uint8_t EnCodeBlockLowPage = 0;
    std::uint8_t EnRegMap = 0;
    std::uint8_t EnWriteProtect = 0;
    std::uint8_t EnSecurityErase = 0;
    std::uint8_t SEStartLatency = 0;

    // [RDSetting]
    std::uint8_t EnableGetPutTable = 0;
    char TableIn[260] = {};
    char TableOut[260] = {};
    char LaterTableIn[260] = {};
    char LaterTableOut[260] = {};

    // [ReMP]
    std::uint8_t EnReMPSN = 0;

    // [SMART], held at the end of the block
    std::int32_t SMARTPowerOnHoursCount = 0;
    std::int32_t SMARTDrivePowerCycleCount = 0;
    std::int32_t SMARTSSDProtectMode = 0;
    std::int32_t SMARTSATAPHYErrorCount = 0;
    std::int32_t SMARTBADBlockCount = 0;
    std::int32_t SMARTMaxBadBlockCount = 0;
    std::int32_t SMARTEraseCount = 0;
    std::int32_t SMARTUnexpectedPowerLossCount = 0;
    std::int32_t SMARTMinTemperature = 0;
    std::int32_t SMARTMaxTemperature = 0;
};

inline constexpr int kIdentifyEntryCount = 256;
inline constexpr int kReMPSerialCount = 50;

// The process-wide flags beside the block, and the tables too large to copy
// into every worker.
struct ProcessSettings {
    std::uint8_t EnableWorkOrder = 0;
    std::uint8_t EnSaveDefectTable = 0;
    std::uint8_t EnNoCheckBridge = 0;
    std::uint8_t SataBusMode = 0;
    std::uint8_t DumpDebugFile = 0;
    std::uint8_t EnBatchMode = 0;
    std::uint8_t EnGodMode = 0;
    // Copies taken at load.
    std::uint8_t CheckFlashMask = 0;
    std::uint8_t IDE_UDMA5 = 0;
    std::uint8_t UsbRemovable = 0;
    std::uint8_t UsbLedP14 = 0;
    std::uint16_t DirtyDepth = 0;
    std::uint8_t LedInterleave = 0;  // (LEDControl << 4) | InterleaveWay
    std::uint8_t SecurityFlags =
        0;  // (EnWriteProtect << 7) | (EnSecurityErase * 64) | SEStartLatency
    std::uint8_t OneDramFlag = 0;  // cleared when "EnLaterSkipEccFail" is read
    // "IdentiyData%3.3d": "Z" or "X" and four hexadecimal digits each.
    char IdentifyData[kIdentifyEntryCount][6] = {};
    // "SerialNum%2.2d" of [ReMP], positions 1..50 at indexes 0..49.
    char ReMPSerial[kReMPSerialCount][22] = {};
};

}  // namespace kv
