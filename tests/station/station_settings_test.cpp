#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

#include "platform/paths.h"
#include "run/test_item_catalogue.h"
#include "station/station.h"
#include "support/temp_folder.h"
#include "tools/sample_station.h"

namespace kv {
namespace {

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

// A station folder of its own, with the sample parts list and the given
// settings file; the machine file points into the folder and does not exist.
class StationSettings : public ::testing::Test {
  protected:
    void SetUp() override {
        platform::SetStationFolder(folder.path());
        platform::SetMachineFilePath(folder.File("pc.ini"));
        WriteBytes(folder.File("Flash.ini"), tools::SampleFlashList());
    }
    void TearDown() override { platform::SetMachineFilePath(""); }

    std::string SettingsPath() const { return folder.File("REVODEDE.ini"); }

    test::TempFolder folder{"kv_station"};
    test::ScopedLockFolder locks;
    SilentUi ui;
};

TEST_F(StationSettings, MissingFileIsAnnouncedAndCreatedAtClose) {
    Station station(ui);
    ASSERT_TRUE(station.Start());
    EXPECT_EQ(ui.lastText,
              "The " + SettingsPath() +
                  " file cann't be found, and the application will create the file!\n");
    EXPECT_EQ(ui.lastCaption, "Error");
    EXPECT_EQ(ui.lastIcon, MessageIcon::Error);
    EXPECT_EQ(station.crcLabel, "");
    EXPECT_EQ(station.settings.block.TimeOut, 12000000);
    station.Close();
    const std::string saved = ReadBytes(SettingsPath());
    EXPECT_EQ(saved.rfind("[Setting]\r\nProductModel=KV\r\nMPVersion=0\r\nTimeOut=200\r\n", 0), 0u);
    EXPECT_EQ(saved.find("\n\n"), std::string::npos) << "every line ends with CR LF";
    // Channel 8 is not in the window's channel list: its first entry is saved.
    EXPECT_NE(saved.find("\r\nChannel=1\r\n"), std::string::npos);
}

TEST_F(StationSettings, ASavedFileLoadsAndSavesBackByteForByte) {
    WriteBytes(SettingsPath(), tools::SampleSettings());
    {
        Station first(ui);
        ASSERT_TRUE(first.Start());
        first.Close();
    }
    const std::string once = ReadBytes(SettingsPath());
    {
        Station second(ui);
        ASSERT_TRUE(second.Start());
        second.Close();
    }
    EXPECT_EQ(ReadBytes(SettingsPath()), once);
    // Lines the save does not know stay where they were.
    EXPECT_NE(once.find("\r\nLogPath=log\r\n"), std::string::npos);
    EXPECT_NE(once.find("\r\nEnCheckToolOnRemoteDisk=0\r\n"), std::string::npos);
}

TEST_F(StationSettings, CrcLabelIsTheChecksumOfTheStoredBytes) {
    WriteBytes(SettingsPath(), "[Setting]\r\nMPVersion=0\r\n");
    const std::string bytes = ReadBytes(SettingsPath());
    const uLong crc = crc32(crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef*>(bytes.data()),
                            static_cast<uInt>(bytes.size()));
    char expected[32];
    std::snprintf(expected, sizeof expected, "CRC32: %lX", static_cast<unsigned long>(crc));
    Station station(ui);
    ASSERT_TRUE(station.Start());
    EXPECT_EQ(station.crcLabel, expected);
    WriteBytes(folder.File("nine.txt"), "123456789");
    EXPECT_EQ(SettingsCrcLabel(folder.File("nine.txt")), "CRC32: CBF43926");
}

TEST_F(StationSettings, RefusedFileEndsTheStartAndIsNeverOverwritten) {
    const std::string cases[] = {
        std::string("[Setting]\r\n") + std::string(16400, ';') + "\r\n",
        "[Setting]\r\nProductModel=" + std::string(340, 'x') + "\r\n",
        "[Setting]\r\nMPVersion=0\r\n" + std::string("\0\1\2junk", 7) + "\r\n",
    };
    for (const std::string& bytes : cases) {
        WriteBytes(SettingsPath(), bytes);
        SilentUi refusedUi;
        {
            Station station(refusedUi);
            EXPECT_FALSE(station.Start());
        }
        EXPECT_NE(refusedUi.lastText.find(SettingsPath()), std::string::npos) << refusedUi.lastText;
        EXPECT_EQ(refusedUi.lastCaption, "Error");
        EXPECT_EQ(ReadBytes(SettingsPath()), bytes);
    }
}

TEST_F(StationSettings, RefusedLineIsNamedInTheMessage) {
    WriteBytes(SettingsPath(),
               "[Setting]\r\nMPVersion=0\r\nProductModel=" + std::string(340, 'x') + "\r\n");
    Station station(ui);
    EXPECT_FALSE(station.Start());
    EXPECT_NE(ui.lastText.find("line 3"), std::string::npos) << ui.lastText;
}

TEST_F(StationSettings, AnUnusablePartsListEndsTheStart) {
    struct Case {
        const char* settings;
        const char* message;
    } cases[] = {
        {"[FlashSetting]\r\nExtFlashFile=\r\n", "Please make sure the flash file  exist!\n"},
        {"[FlashSetting]\r\nExtFlashFile=Missing.ini\r\n",
         "Please make sure the flash file %s format correct!\n"},
    };
    for (const Case& c : cases) {
        WriteBytes(SettingsPath(), c.settings);
        SilentUi partsUi;
        Station station(partsUi);
        EXPECT_FALSE(station.Start());
        std::string expected = c.message;
        const std::size_t mark = expected.find("%s");
        if (mark != std::string::npos)
            expected.replace(mark, 2, folder.File("Missing.ini"));
        EXPECT_EQ(partsUi.lastText, expected);
    }
}

TEST_F(StationSettings, MachineFileSuppliesTheEncryptionString) {
    WriteBytes(SettingsPath(), "[DeviceSetting]\r\nEncryptionString=Secret\r\n");
    WriteBytes(folder.File("pc.ini"), "abcdef\r\nsecond\r\n");
    {
        Station station(ui);
        ASSERT_TRUE(station.Start());
        EXPECT_STREQ(station.settings.block.EncryptionString, "abc");
        EXPECT_EQ(station.settings.block.EncryptionEnable, 1);
        station.Close();
    }
    // With the machine file readable the string is not saved over the old one.
    EXPECT_NE(ReadBytes(SettingsPath()).find("EncryptionString=Secret\r\n"), std::string::npos);

    WriteBytes(folder.File("pc.ini"), "a\r\nb");
    Station shortLine(ui);
    ASSERT_TRUE(shortLine.Start());
    EXPECT_STREQ(shortLine.settings.block.EncryptionString, "a\n");
}

TEST_F(StationSettings, LogPathNamesTheLogFolder) {
    {
        Station station(ui);
        ASSERT_TRUE(station.Start());
        EXPECT_EQ(station.logFolder, platform::WithTrailingSeparator(folder.path()) + "log/");
        EXPECT_TRUE(std::filesystem::is_directory(station.logFolder));
    }

    const std::string other = folder.File("results");
    WriteBytes(SettingsPath(), "[Setting]\r\nLogPath = " + other + "\r\n");
    Station custom(ui);
    ASSERT_TRUE(custom.Start());
    EXPECT_EQ(custom.logFolder, other + "/");
}

TEST_F(StationSettings, LogFolderThatCannotBeCreatedEndsTheStart) {
    WriteBytes(folder.File("blocker"), "a file where the folder should be");
    WriteBytes(SettingsPath(), "[Setting]\r\nLogPath=" + folder.File("blocker") + "/log/\r\n");
    Station station(ui);
    EXPECT_FALSE(station.Start());
    EXPECT_EQ(ui.lastText, "Cannot create log directory.");
}

TEST_F(StationSettings, YieldCountersAreReadAtLoadAndWrittenAtClose) {
    std::filesystem::create_directories(folder.File("log"));
    WriteBytes(folder.File("log/ZOVID.log"),
               "[TestRecord]\r\nTotalTestCount=12\r\nNumberOfPass=9\r\n");
    {
        Station station(ui);
        ASSERT_TRUE(station.Start());
        EXPECT_EQ(station.settings.block.Yield.TotalTestCount, 12);
        EXPECT_EQ(station.settings.block.Yield.NumberOfPass, 9);
        station.settings.block.Yield.TotalTestCount = 13;
        station.Close();
    }
    const std::string zovid = ReadBytes(folder.File("log/ZOVID.log"));
    EXPECT_NE(zovid.find("TotalTestCount=13\r\n"), std::string::npos) << zovid;
    EXPECT_NE(zovid.find("NumberOfPass=9\r\n"), std::string::npos) << zovid;
}

TEST_F(StationSettings, SettingsLockClosesAtALoadAndNeverReopens) {
    WriteBytes(SettingsPath(), "[Setting]\r\nMPVersion=1\r\n");
    Station station(ui);
    ASSERT_TRUE(station.Start());
    EXPECT_FALSE(station.settingsLockOpen);
    WriteBytes(folder.File("open.ini"), "[Setting]\r\nMPVersion=0\r\n");
    ASSERT_TRUE(station.LoadSettingsFile(folder.File("open.ini")));
    EXPECT_FALSE(station.settingsLockOpen);

    Station unlocked(ui);
    ASSERT_TRUE(unlocked.LoadSettingsFile(folder.File("open.ini")));
    EXPECT_TRUE(unlocked.settingsLockOpen);
}

TEST_F(StationSettings, ExitSavesAlsoWriteTheStationFileWhenAnotherIsCurrent) {
    Station station(ui);
    ASSERT_TRUE(station.Start());
    station.currentSettingsFile = folder.File("line2.ini");
    station.Close();
    EXPECT_TRUE(std::filesystem::exists(folder.File("line2.ini")));
    EXPECT_TRUE(std::filesystem::exists(SettingsPath()));
}

TEST_F(StationSettings, SaveThatWouldOutgrowTheImageLeavesTheFileAsItWas) {
    std::string bytes = "[Notes]\r\n";
    while (bytes.size() < 16300)
        bytes += "Line=0123456789012345678901234567890123456789\r\n";
    // Under the limit once CR LF is read as LF, over it once the save adds its keys.
    WriteBytes(SettingsPath(), bytes);
    Station station(ui);
    ASSERT_TRUE(station.Start());
    station.Close();
    EXPECT_NE(ui.lastText.find("was not saved"), std::string::npos) << ui.lastText;
    EXPECT_EQ(ReadBytes(SettingsPath()), bytes);
}

TEST_F(StationSettings, UnwritableSettingsFileIsReported) {
    Station station(ui);
    ASSERT_TRUE(station.Start());
    EXPECT_FALSE(station.SaveSettingsFile(folder.File("no/such/folder/x.ini")));
    EXPECT_NE(ui.lastText.find("cannot be written"), std::string::npos) << ui.lastText;
}

TEST_F(StationSettings, SecondStationOnTheMachineIsRefused) {
    Station first(ui);
    ASSERT_TRUE(first.Start());
    Station second(ui);
    EXPECT_FALSE(second.Start());
    EXPECT_TRUE(second.refusedAsSecondInstance());
}

}  // namespace
}  // namespace kv

namespace kv {
namespace {

// A front end whose file dialogs answer with a file named in advance.
class ChoosingUi : public SilentUi {
  public:
    std::optional<std::string> ChooseFile(const FileChoice& choice) override {
        lastChoice = choice;
        return answer;
    }
    std::optional<std::string> answer;
    FileChoice lastChoice;
};

class IniButtons : public ::testing::Test {
  protected:
    void SetUp() override {
        platform::SetStationFolder(folder.path());
        platform::SetMachineFilePath(folder.File("pc.ini"));
        WriteBytes(folder.File("Flash.ini"), tools::SampleFlashList());
        WriteBytes(folder.File("REVODEDE.ini"), "[Setting]\r\nProductModel=Main\r\n");
        WriteBytes(folder.File("other.ini"), "[Setting]\r\nProductModel=Other\r\n");
    }
    void TearDown() override { platform::SetMachineFilePath(""); }

    test::TempFolder folder{"kv_buttons"};
    test::ScopedLockFolder locks;
    ChoosingUi ui;
};

TEST_F(IniButtons, LoadIniKeepsTheCurrentFileSoValuesAreSavedIntoIt) {
    Station station(ui);
    ASSERT_TRUE(station.Start());
    ui.answer = folder.File("other.ini");
    station.LoadIniClick();
    EXPECT_EQ(ui.lastChoice.filter, "INI file(*.ini)|*.ini");
    EXPECT_STREQ(station.settings.block.ProductModel, "Other");
    station.Close();
    EXPECT_NE(ReadBytes(folder.File("REVODEDE.ini")).find("ProductModel=Other\r\n"),
              std::string::npos);
}

TEST_F(IniButtons, LoadIniRefusesThePartsList) {
    Station station(ui);
    ASSERT_TRUE(station.Start());
    ui.answer = folder.File("FLASH.INI");
    station.LoadIniClick();
    EXPECT_EQ(ui.lastText,
              "The file is a setting file for flash, please choose a correct setting file for MP "
              "tool");
    EXPECT_STREQ(station.settings.block.ProductModel, "Main");
}

TEST_F(IniButtons, CustomPathIsUsedWithoutADialog) {
    WriteBytes(folder.File("REVODEDE.ini"),
               "[Setting]\r\nSupportCustIniFilePath=1\r\nCustIniFilePath=" +
                   folder.File("missing.ini") + "\r\n");
    Station station(ui);
    ASSERT_TRUE(station.Start());
    station.LoadIniClick();
    EXPECT_EQ(ui.lastText, "File " + folder.File("missing.ini") + " does not exist.");
    EXPECT_EQ(ui.lastIcon, MessageIcon::Confirmation);

    std::snprintf(station.settings.block.CustIniFilePath,
                  sizeof station.settings.block.CustIniFilePath, "%s",
                  folder.File("other.ini").c_str());
    station.LoadIniClick();
    EXPECT_STREQ(station.settings.block.ProductModel, "Other");
    EXPECT_EQ(station.currentSettingsFile, folder.File("other.ini"));
}

TEST_F(IniButtons, SaveIniWritesTheChosenFileThenTheStationFileAgain) {
    Station station(ui);
    ASSERT_TRUE(station.Start());
    ui.answer = folder.File("copy.ini");
    station.SaveIniClick();
    EXPECT_EQ(ui.lastChoice.filter, "EEPROM INI file(*.ini)|*.ini");
    EXPECT_TRUE(ui.lastChoice.save);
    EXPECT_NE(ReadBytes(folder.File("copy.ini")).find("ProductModel=Main\r\n"), std::string::npos);
    EXPECT_EQ(station.currentSettingsFile, "REVODEDE.ini");
}

}  // namespace
}  // namespace kv
