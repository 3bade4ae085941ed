#include "run/error_files.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "support/temp_folder.h"

namespace kv {
namespace {

namespace fs = std::filesystem;

const platform::LocalTime kEnd{2013, 11, 12, 8, 15, 10};

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

FlashConfig Flash(int sectorsPerPage) {
    FlashConfig flash;
    flash.Channels = 4;
    flash.Banks = 2;
    flash.BlocksPerPlaneDie = 2048;
    flash.SectorsPerPage = static_cast<std::uint8_t>(sectorsPerPage);
    return flash;
}

std::vector<std::uint8_t> Slot() {
    std::vector<std::uint8_t> slot(kPortErrorSlotSize);
    for (std::size_t i = 0; i < slot.size(); ++i)
        slot[i] = static_cast<std::uint8_t>(i * 7 + 1);
    return slot;
}

std::size_t CountLines(const std::string& text) {
    std::size_t n = 0;
    for (std::size_t at = text.find("\r\n"); at != std::string::npos;
         at = text.find("\r\n", at + 2))
        ++n;
    return n;
}

TEST(ErrorFiles, FileNameCarriesTimePortAndASafeSerial) {
    PortRecord port;
    std::strcpy(port.SerialNumber, "AB/CD:0123456789012345678901234567890123456789");
    EXPECT_EQ(ErrorFilePath("log/", kEnd, 6, port),
              "log/Error_201311120815_07_AB_CD_0123456789012345678901234567890123.txt");
}

struct DumpCase {
    const char* name;
    std::uint8_t marker;
    int sectorsPerPage;
    const char* firstLine;  // "" when the dump starts at once
    std::size_t dumpLines;
    const char* lastDumpLine;
};

const DumpCase kDumpCases[] = {
    {"defect table, one sector page", 0xD0, 1, "ch 5 defect table compare fail\r\n", 64,
     "01F8 : D7, DE, E5, EC, F3, FA, 01, 08\r\n"},
    {"smart table", 0xD3, 1, "ch 5 smart table compare fail\r\n", 64,
     "01F8 : D7, DE, E5, EC, F3, FA, 01, 08\r\n"},
    {"page longer than the slot ends short", 0xD2, 8, "ch 5 remap table compare fail\r\n", 256,
     "07F8 : D7, DE, E5, EC, F3, FA\r\n"},
    {"no compare marker", 0x42, 1, "", 64, "01F8 : D7, DE, E5, EC, F3, FA, 01, 08\r\n"},
};

class DownloadDump : public ::testing::TestWithParam<DumpCase> {};

TEST_P(DownloadDump, CompareLineHexAndRawSector) {
    const DumpCase& c = GetParam();
    std::vector<std::uint8_t> slot = Slot();
    slot[0] = c.marker;
    slot[1] = 5;
    const std::string text = DownloadErrorText(slot, c.sectorsPerPage);

    const std::string raw(reinterpret_cast<const char*>(slot.data()), 512);
    ASSERT_GT(text.size(), raw.size());
    EXPECT_EQ(text.substr(text.size() - 512), raw);
    const std::string lines = text.substr(0, text.size() - 512);
    EXPECT_EQ(lines.rfind(c.firstLine, 0), 0u) << lines.substr(0, 80);
    const std::string dump = lines.substr(std::strlen(c.firstLine));
    EXPECT_EQ(CountLines(dump), c.dumpLines);
    // The dump starts at the slot's third byte, offsets counted from there.
    EXPECT_EQ(dump.rfind("0000 : 0F, 16, 1D, 24, 2B, 32, 39, 40\r\n", 0), 0u) << dump.substr(0, 60);
    const std::size_t last = dump.rfind("\r\n", dump.size() - 3);
    EXPECT_EQ(dump.substr(last + 2), c.lastDumpLine);
}

INSTANTIATE_TEST_SUITE_P(Markers, DownloadDump, ::testing::ValuesIn(kDumpCases),
                         [](const auto& paramInfo) {
                             std::string name = paramInfo.param.name;
                             for (char& ch : name)
                                 if (ch == ' ' || ch == ',')
                                     ch = '_';
                             return name;
                         });

class ErrorFileRun : public ::testing::Test {
  protected:
    void SetUp() override { logDir = folder.path() + "/"; }

    PortRecord& Failed(int index, int code, const char* serial) {
        PortRecord& p = ports[index];
        p.Present = 1;
        p.Result = -1;
        p.FailCode = p.ReportedFailCode = code;
        p.FailDetailKind = 5;  // stale detail of an earlier failure
        p.FailDetailNumber = 9;
        std::strcpy(p.SerialNumber, serial);
        return p;
    }

    test::TempFolder folder{"kv_error_files"};
    std::string logDir;
    PortRecord ports[kMaxPorts];
    std::unique_ptr<PortErrorBuffer> errors = std::make_unique<PortErrorBuffer>();
};

TEST_F(ErrorFileRun, CodesFourSevenAndEightGetFilesAndRefinedCodes) {
    Failed(0, 4, "IF");
    std::uint8_t* log = errors->Slot(0, 4);
    const std::uint8_t entries[] = {2, 1, 2, 0, 0xFF, 0xFF, 0xFF, 0};  // ch 2, bank 1, code 2
    std::memcpy(log + 4, entries, sizeof entries);

    Failed(1, 7, "PF");
    std::uint8_t* scan = errors->Slot(1, 7);
    scan[0] = 2;
    const std::uint8_t records[] = {3, 1, 0, 0, 45, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                    3, 3, 1, 0, 60, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    std::memcpy(scan + 1, records, sizeof records);

    Failed(2, 8, "DL");
    errors->Slot(2, 8)[0] = 0xD1;
    errors->Slot(2, 8)[1] = 3;

    Failed(3, 10, "RW");  // other failures leave no file
    PortRecord& absent = Failed(4, 7, "GONE");
    absent.Present = 0;

    WriteErrorFiles(std::span<PortRecord>(ports, kMaxPorts), *errors, Flash(1), logDir, kEnd);

    EXPECT_EQ(ReadFile(logDir + "Error_201311120815_01_IF.txt"),
              "Flash Interface Test Fail\r\nReadFlashID fail. Ch#02, Bank#01\r\n"
              "\r\nBad CH/CE:\r\nCH#2, BK#1\r\n");
    EXPECT_EQ(ports[0].ReportedFailCode, 55);
    EXPECT_EQ(ports[0].FailDetailKind, 1);
    EXPECT_EQ(ports[0].FailDetailNumber, 2 + 1 * 4);

    const std::string scanText = ReadFile(logDir + "Error_201311120815_02_PF.txt");
    EXPECT_NE(scanText.find("Ch#01, Bank#00, Die#00, BadBlockNum: 45, "
                            "BadBlockNumRatio(1/1000): 21\r\n"),
              std::string::npos)
        << scanText;
    EXPECT_EQ(ports[1].ReportedFailCode, 48);
    EXPECT_EQ(ports[1].FailDetailKind, 2);
    EXPECT_EQ(ports[1].FailDetailNumber, 3 + 1 * 4);

    const std::string download = ReadFile(logDir + "Error_201311120815_03_DL.txt");
    EXPECT_EQ(download.rfind("ch 3 early table compare fail\r\n0000 : ", 0), 0u);
    EXPECT_EQ(ports[2].ReportedFailCode, 8);
    EXPECT_EQ(ports[2].FailDetailKind, 0);
    EXPECT_EQ(ports[2].FailDetailNumber, 0);

    EXPECT_EQ(ports[3].FailDetailKind, 5);
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder.path()))
        ++files;
    EXPECT_EQ(files, 3u);
}

TEST_F(ErrorFileRun, AnEmptyReportKeepsTheItemCode) {
    Failed(0, 7, "PF");  // slot of zeros: no records
    WriteErrorFiles(std::span<PortRecord>(ports, kMaxPorts), *errors, Flash(1), logDir, kEnd);
    EXPECT_EQ(ReadFile(logDir + "Error_201311120815_01_PF.txt"), "");
    EXPECT_EQ(ports[0].ReportedFailCode, 7);
    EXPECT_EQ(ports[0].FailDetailKind, 0);
}

TEST_F(ErrorFileRun, AnUnwritableFolderStillRefinesTheCodes) {
    Failed(0, 4, "IF");
    const std::uint8_t entries[] = {1, 0, 9, 0, 0xFF, 0xFF, 0xFF, 0};
    std::memcpy(errors->Slot(0, 4) + 4, entries, sizeof entries);
    WriteErrorFiles(std::span<PortRecord>(ports, kMaxPorts), *errors, Flash(1), logDir + "missing/",
                    kEnd);
    EXPECT_EQ(ports[0].ReportedFailCode, 62);
    EXPECT_FALSE(fs::exists(logDir + "missing"));
}

}  // namespace
}  // namespace kv
