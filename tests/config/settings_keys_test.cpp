#include "config/settings_keys.h"

#include <gtest/gtest.h>

#include <string>

#include "run/test_item_catalogue.h"

namespace kv::config {
namespace {

Settings ReadFrom(const std::string& image) {
    SettingsText text;
    EXPECT_TRUE(text.SetImage(image));
    Settings settings;
    ReadSettingsKeys(text, settings);
    EXPECT_FALSE(text.error().failed) << text.error().reason;
    return settings;
}

// The image a save composes for `settings` on top of `image`.
std::string SaveOnto(const std::string& image, const Settings& settings,
                     bool machineFileReadable = false) {
    SettingsText text;
    EXPECT_TRUE(text.SetImage(image));
    EXPECT_TRUE(WriteSettingsKeys(text, settings, machineFileReadable));
    return text.image();
}

// The value a saved image holds for section/key; "<none>" when not written.
std::string SavedValue(const std::string& image, const char* section, const char* key) {
    SettingsText text;
    EXPECT_TRUE(text.SetImage(image));
    char value[400];
    text.ReadIniString(section, key, "<none>", sizeof value, value);
    return value;
}

TEST(SettingsKeys, EmptyFileGivesEveryDefault) {
    const Settings s = ReadFrom("");
    const SettingsBlock& b = s.block;
    EXPECT_EQ(b.TimeOut, 200 * 60000);
    EXPECT_STREQ(b.ProductModel, "KV");
    EXPECT_EQ(b.EnCheckToolOnRemoteDisk, 1);
    EXPECT_EQ(s.process.SataBusMode, 2);
    EXPECT_EQ(b.ItemEnabled[kFlashModuleTest], 1);
    EXPECT_EQ(b.CheckFlashMask, 31);
    EXPECT_EQ(s.process.CheckFlashMask, 31);
    EXPECT_EQ(b.DownloadType, 1);
    EXPECT_STREQ(b.DiskLabel, "SSD Disk");
    EXPECT_EQ(b.CheckSnLengthValue, 12);
    EXPECT_EQ(b.CheckPPIDLengthValue, 23);
    EXPECT_EQ(b.SataLBA48, 1);
    EXPECT_STREQ(b.SerialNum, "KV_0123456789");
    EXPECT_STREQ(b.FirmwareVer, "12345678");
    EXPECT_STREQ(b.ModelNum, "Korvane KVR5XX SSD");
    EXPECT_EQ(b.SNMinLength, 12);
    EXPECT_EQ(std::string(b.EncryptionString).size(), 7u);
    EXPECT_STREQ(b.OUI, "000000");
    EXPECT_STREQ(b.UID, "000000000");
    EXPECT_STREQ(s.process.IdentifyData[255], "XXXXX");
    EXPECT_STREQ(b.ExtFlashFile, "Flash.ini");
    EXPECT_STREQ(b.FlashUniName, "WBG");
    EXPECT_EQ(b.Channel, 8);
    EXPECT_EQ(b.Bank, 2);
    EXPECT_EQ(b.DrvCurrent, 1);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(b.FwBankSet[i], i);
    EXPECT_EQ(b.DefPercentage, 48);
    EXPECT_EQ(b.ResPercentage, 68);
    EXPECT_EQ(b.Bch40EccErrorCopyThreshold, 27);
    EXPECT_EQ(b.WearLevelFrequency, 128);
    EXPECT_EQ(b.DirtyDepth, 40);
    EXPECT_EQ(b.InterleaveWay, 4);
    EXPECT_EQ(s.process.LedInterleave, 4);
    const std::uint8_t toggle[7] = {0, 0, 34, 4, 255, 255, 31};
    const std::uint8_t onfi[7] = {16, 16, 17, 0, 155, 249, 84};
    const std::uint8_t asyn[7] = {144, 144, 34, 4, 155, 249, 84};
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(b.ToggleTMC[i], toggle[i]);
        EXPECT_EQ(b.ONFITMC[i], onfi[i]);
        EXPECT_EQ(b.AsynTMC[i], asyn[i]);
    }
    EXPECT_STREQ(s.process.ReMPSerial[49], "N/A");
    EXPECT_EQ(b.SMARTMaxTemperature, 99877);
}

struct FixUpCase {
    const char* image;
    std::int32_t timeOutMs;
    const char* savedTimeOut;
};

TEST(SettingsKeys, TimeOutIsHeldInMillisecondsAndSavedInMinutes) {
    const FixUpCase cases[] = {
        {"", 12000000, "200"},
        {"[Setting]\nTimeOut=0\n", 300000, "5"},
        {"[Setting]\nTimeOut=\n", 12000000, "200"},
        {"[Setting]\nTimeOut= 7\n", 300000, "5"},
        {"[Setting]\nTimeOut=15\n", 900000, "15"},
    };
    for (const FixUpCase& c : cases) {
        const Settings s = ReadFrom(c.image);
        EXPECT_EQ(s.block.TimeOut, c.timeOutMs) << c.image;
        EXPECT_EQ(SavedValue(SaveOnto(c.image, s), "Setting", "TimeOut"), c.savedTimeOut)
            << c.image;
    }
}

TEST(SettingsKeys, ByteKeysKeepTheLowEightBitsAndClampedKeysAreClamped) {
    const Settings s = ReadFrom(
        "[Setting]\nConnectDevNum=-1\nMPVersion=300\n"
        "[TestItems]\nCheckSnLengthValue=25\n"
        "[DeviceSetting]\nLimitSATASpeed=4\n"
        "[FwSetting]\nResPercentage=70000\n");
    EXPECT_EQ(s.block.ConnectDevNum, 255);
    EXPECT_EQ(s.block.MPVersion, 44);
    EXPECT_EQ(s.block.CheckSnLengthValue, 20);
    EXPECT_EQ(s.block.LimitSATASpeed, 0);
    EXPECT_EQ(s.block.ResPercentage, 70000 & 0xFFFF);
    const std::string saved = SaveOnto("", s);
    EXPECT_EQ(SavedValue(saved, "Setting", "ConnectDevNum"), "255");
}

TEST(SettingsKeys, DecimalCountingZeroesANumberWithOtherCharacters) {
    const Settings s =
        ReadFrom("[DeviceSetting]\nSerialNum=KV01\nSNDecimal=1\nUID=12A4\nUIDDecimal=1\n");
    EXPECT_STREQ(s.block.SerialNum, "0000");
    EXPECT_STREQ(s.block.UID, "0000");
    const Settings digits = ReadFrom("[DeviceSetting]\nSerialNum=0042\nSNDecimal=1\n");
    EXPECT_STREQ(digits.block.SerialNum, "0042");
    const Settings hex = ReadFrom("[DeviceSetting]\nSerialNum=KV01\nSNDecimal=0\n");
    EXPECT_STREQ(hex.block.SerialNum, "KV01");
}

TEST(SettingsKeys, DerivedFlagsAreComputedAtLoad) {
    const Settings s = ReadFrom(
        "[Setting]\nEnPPID=1\n"
        "[FwSetting]\nEnWriteProtect=1\nEnSecurityErase=1\nSEStartLatency=5\n"
        "LEDControl=3\nInterleaveWay=2\nEnOneDram=1\nUsbRemovable=1\n");
    EXPECT_EQ(s.block.ItemEnabled[kWritePpid], 1);
    EXPECT_EQ(s.process.SecurityFlags, 0x80 | 0x40 | 5);
    EXPECT_EQ(s.process.LedInterleave, 0x32);
    EXPECT_EQ(s.block.EnOneDram, 0);  // never read
    EXPECT_EQ(s.process.UsbRemovable, 1);
}

TEST(SettingsKeys, ConditionalTablesAreReadOnlyWhenSwitchedOn) {
    const std::string identify = "IdentiyData093=Z6001\n";
    const Settings off = ReadFrom("[Setting]\nEnCustomizeIdentify=0\n[DeviceSetting]\n" + identify +
                                  "[ReMP]\nEnReMPSN=0\nSerialNum07=SN7\n");
    EXPECT_STREQ(off.process.IdentifyData[93], "XXXXX");
    EXPECT_STREQ(off.process.ReMPSerial[6], "N/A");
    const Settings on = ReadFrom("[Setting]\nEnCustomizeIdentify=1\n[DeviceSetting]\n" + identify +
                                 "[ReMP]\nEnReMPSN=1\nSerialNum07=SN7\n");
    EXPECT_STREQ(on.process.IdentifyData[93], "Z6001");
    EXPECT_STREQ(on.process.ReMPSerial[6], "SN7");
}

TEST(SettingsKeys, AFileCreatedFromNothingHasItsSectionsInSaveOrder) {
    const Settings s = ReadFrom("");
    const std::string saved = SaveOnto("", s);
    std::string headers;
    std::size_t at = 0;
    while ((at = saved.find('[', at)) != std::string::npos) {
        const std::size_t end = saved.find(']', at);
        headers += saved.substr(at, end - at + 1);
        at = end;
    }
    EXPECT_EQ(headers, "[Setting][TestItems][DeviceSetting][FlashSetting][FwSetting]");
    const std::string setting =
        "[Setting]\nProductModel=KV\nMPVersion=0\nTimeOut=200\nConnectDevNum=0\nEnBarCode=0\n"
        "EnKeepEraseCount=0\nEnKeepSmartInfo=0\nEnBarCodeWWN=0\n\n[TestItems]\nCheckFlashMask=31\n";
    EXPECT_EQ(saved.substr(0, setting.size()), setting);
    EXPECT_NE(saved.find("\nSetMaxLBAValue=0\n"), std::string::npos);
    EXPECT_NE(saved.find("\nDriverSetting=0\n"), std::string::npos);
    // Keys a save never writes.
    for (const char* key : {"ShowTitle=", "EnFlashModule=", "WearLevelFrequency=", "EnUpload=",
                            "EncryptionEnable=", "DumpDebugFile="}) {
        EXPECT_EQ(saved.find(std::string("\n") + key), std::string::npos) << key;
    }
}

TEST(SettingsKeys, KeysSavedOnlyWhenSwitchedOnSurviveBeingSwitchedOff) {
    const std::string file =
        "[TestItems]\nEnCheckTemperature=1\nCheckMaxTemperatureValue=70\nEnReadRDTLog=1\n"
        "[DeviceSetting]\nIDE_UDMA5=1\n";
    Settings s = ReadFrom(file);
    s.block.ItemEnabled[kCheckTemperature] = 0;
    s.block.EnReadRDTLog = 0;
    s.block.IDE_UDMA5 = 0;
    const std::string saved = SaveOnto(file, s);
    EXPECT_EQ(SavedValue(saved, "TestItems", "EnCheckTemperature"), "1");
    EXPECT_EQ(SavedValue(saved, "TestItems", "EnReadRDTLog"), "1");
    EXPECT_EQ(SavedValue(saved, "DeviceSetting", "IDE_UDMA5"), "1");
}

TEST(SettingsKeys, SaveConditionsFollowTheirSwitches) {
    Settings s = ReadFrom("");
    std::string saved = SaveOnto("", s);
    EXPECT_EQ(SavedValue(saved, "Setting", "CustIniFilePath"), "<none>");
    EXPECT_EQ(SavedValue(saved, "TestItems", "CopyImagePath"), "<none>");
    EXPECT_EQ(SavedValue(saved, "RDSetting", "TableIn"), "<none>");
    EXPECT_EQ(SavedValue(saved, "DeviceSetting", "IdentiyData000"), "<none>");

    s.block.SupportCustIniFilePath = 1;
    std::snprintf(s.block.CustIniFilePath, sizeof s.block.CustIniFilePath, "/srv/line1.ini");
    s.block.ItemEnabled[kCopyImage] = 1;
    std::snprintf(s.block.CopyImagePath, sizeof s.block.CopyImagePath, "image.bin");
    s.block.EnableGetPutTable = 1;
    std::snprintf(s.block.TableIn, sizeof s.block.TableIn, "def.txt");
    s.block.EnCustomizeIdentify = 1;
    saved = SaveOnto("", s);
    EXPECT_EQ(SavedValue(saved, "Setting", "CustIniFilePath"), "/srv/line1.ini");
    EXPECT_EQ(SavedValue(saved, "TestItems", "CopyImagePath"), "image.bin");
    EXPECT_EQ(SavedValue(saved, "RDSetting", "TableIn"), "def.txt");
    EXPECT_EQ(SavedValue(saved, "DeviceSetting", "IdentiyData255"), "XXXXX");
}

TEST(SettingsKeys, EncryptionStringIsSavedOnlyWithoutAMachineFile) {
    Settings s = ReadFrom("[DeviceSetting]\nEncryptionEnable=1\nEncryptionString=Secret\n");
    EXPECT_EQ(SavedValue(SaveOnto("", s, false), "DeviceSetting", "EncryptionString"), "Secret");
    EXPECT_EQ(SavedValue(SaveOnto("", s, true), "DeviceSetting", "EncryptionString"), "<none>");
    s.block.EncryptionEnable = 0;
    EXPECT_EQ(SavedValue(SaveOnto("", s, false), "DeviceSetting", "EncryptionString"), "<none>");
}

TEST(SettingsKeys, LongFlashPartNamesAreKeptWhole) {
    const Settings s = ReadFrom("[FlashSetting]\nFlashUniName=MX29GB128B2ABCDEF\n");
    EXPECT_STREQ(s.block.FlashUniName, "MX29GB128B2ABCDEF");
}

TEST(SettingsKeys, ASaveThatOutgrowsTheImageFails) {
    // A file just under the limit that the save must grow.
    std::string image = "[Other]\n";
    while (image.size() < 16300)
        image += "Filler=0123456789012345678901234567890123456789\n";
    SettingsText text;
    ASSERT_TRUE(text.SetImage(image));
    Settings s;
    ReadSettingsKeys(text, s);
    EXPECT_FALSE(WriteSettingsKeys(text, s, false));
}

TEST(SettingsKeys, DescribeListsEverySettingOnce) {
    Settings s = ReadFrom("[Setting]\nTimeOut=0\n");
    const std::string listing = DescribeSettingsKeys(s);
    EXPECT_EQ(listing.rfind("[Setting]\nProductModel=KV\nMPVersion=0\nTimeOut=5\n", 0), 0u);
    for (const char* line :
         {"\nShowTitle=0\n", "\nEnFlashModule=1\n", "\nWearLevelFrequency=128\n", "\nEnGodMode=0\n",
          "\nSerialNum50=N/A\n", "\nSMARTMaxTemperature=99877\n", "\nIdentiyData000=XXXXX\n",
          "\n[SMART]\n"}) {
        EXPECT_NE(listing.find(line), std::string::npos) << line;
    }
    EXPECT_EQ(listing.find("\nTimeOut="), listing.rfind("\nTimeOut="));
}

}  // namespace
}  // namespace kv::config
