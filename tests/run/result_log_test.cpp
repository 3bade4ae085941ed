#include "run/result_log.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "support/temp_folder.h"

namespace kv {
namespace {

namespace fs = std::filesystem;

const platform::LocalTime kStart{2013, 11, 12, 8, 5, 9};
const platform::LocalTime kEnd{2013, 11, 12, 8, 15, 10};
const char kTimes[] = "2013/11/12 08:05:09\t2013/11/12 08:15:10\t";
const char kHeaderStart[] =
    "  No.\t Port.\t     StartTime \t     EndTime \t WorkOrder\t PartNumber\t WeekCode\t"
    " SerialNumber\t";

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

void SetText(char* field, std::size_t size, const char* text) {
    std::memset(field, 0, size);
    std::strncpy(field, text, size - 1);
}

class ResultLog : public ::testing::Test {
  protected:
    void SetUp() override {
        logDir = folder.path() + "/";
        in.ports = std::span<const PortRecord>(ports, kMaxPorts);
        in.checkList = {{"Flash Module Test", true}, {"Preformat", true}};
        in.start = kStart;
        in.end = kEnd;
        in.workOrder = "WO1";
        in.partNumber = "PN1";
        in.weekCode = "WK1";
        log = DailyLog{logDir, kStart, 0};
    }

    PortRecord& Drive(int index, const char* serial, int result) {
        PortRecord& p = ports[index];
        p.Present = 1;
        p.Attached = 1;
        SetText(p.SerialNumber, sizeof p.SerialNumber, serial);
        p.Result = result;
        p.ItemStatus[1] = kItemPassed;
        p.ItemStatus[7] = result == -1 ? kItemFailed : kItemPassed;
        if (result == -1) {
            p.FailCode = 7;
            p.ReportedFailCode = 7;
        }
        return p;
    }

    std::string DailyName(int index) const { return DailyLogPath(logDir, kStart, index); }

    test::TempFolder folder{"kv_result_log"};
    std::string logDir;
    PortRecord ports[kMaxPorts];
    RunLogInput in;
    DailyLog log;
};

TEST_F(ResultLog, HeaderAndRowsByteForByte) {
    PortRecord& a = Drive(0, "SN0001", 1);
    SetText(a.Wwn, sizeof a.Wwn, "5000000000000001");
    Drive(2, "SN0003", -1);
    ports[1].Attached = 1;  // attached but not usable: never logged
    in.yieldBefore = {10, 9};

    const RunLogResult result = WriteRunLogs(in, log);
    EXPECT_TRUE(result.written);
    EXPECT_FALSE(result.message);
    EXPECT_EQ(log.Path(), logDir + "20131112_000.txt");
    EXPECT_EQ(ReadFile(log.Path()),
              std::string(kHeaderStart) + " WWN\tModule\tP_F\tResult\t\r\n" + "000011\t000001\t" +
                  kTimes + "WO1\tPN1\tWK1\tSN0001\t5000000000000001\tPass\tPass\tPass\t\r\n" +
                  "000012\t000003\t" + kTimes + "WO1\tPN1\tWK1\tSN0003\t\tPass\tFail\tC00\t\r\n");
}

TEST_F(ResultLog, PpidColumnBatchRoundAndACutOffItem) {
    PortRecord& p = Drive(4, "SN0005", -1);
    SetText(p.Ppid, sizeof p.Ppid, "PPID-5");
    p.ItemStatus[7] = kItemRunning;  // the watchdog cut Preformat off
    p.FailCode = p.ReportedFailCode = 41;
    in.EnPPID = true;
    in.EnBatchMode = true;
    in.batchRound = 2;
    in.checkList.push_back({"Download", false});  // listed unchecked: still a column

    ASSERT_TRUE(WriteRunLogs(in, log).written);
    EXPECT_EQ(ReadFile(log.Path()),
              std::string(kHeaderStart) + " PPID\t WWN\tModule\tP_F\tDown\tResult\t\r\n" +
                  "000001\t000005\t" + kTimes +
                  "WO1\tPN1\tWK1\tSN0005\tPPID-5\t\tPass\t\t----\tT00\tBatch Mode Round 2\r\n");
}

TEST_F(ResultLog, NumbersContinueAcrossRuns) {
    Drive(0, "A", 1);
    Drive(1, "B", 1);
    Drive(3, "C", -1);
    ASSERT_TRUE(WriteRunLogs(in, log).written);
    in.yieldBefore = {3, 2};  // the refresh counted the first run
    ASSERT_TRUE(WriteRunLogs(in, log).written);

    std::istringstream lines(ReadFile(log.Path()));
    std::string line;
    std::getline(lines, line);  // header
    std::string numbers;
    while (std::getline(lines, line))
        numbers += line.substr(0, 6) + " ";
    EXPECT_EQ(numbers, "000001 000002 000003 000004 000005 000006 ");
}

TEST_F(ResultLog, SmartColumnsOnlyWhenTheReadAnswered) {
    Drive(0, "SATA-OK", 1);
    Drive(1, "USB", 1);
    Drive(2, "SATA-FAILS", 1);
    in.checkList.clear();
    in.EnDownload = true;
    in.EnDumpFreeBlockInfo = true;
    in.sataPath[0] = true;
    in.sataPath[2] = true;
    int calls = 0;
    in.readSmart = [&calls](int port, std::uint8_t(&sector)[512]) {
        ++calls;
        if (port != 0)
            return false;
        std::uint8_t* e3 = sector + 2 + 12 * 3;
        e3[0] = 0xEB;
        e3[7] = 0x01;
        e3[8] = 0x02;
        std::uint8_t* e29 = sector + 2 + 12 * 29;
        e29[0] = 0xEB;
        e29[8] = 7;
        sector[2 + 12 * 5] = 0xEA;  // another attribute
        return true;
    };
    ASSERT_TRUE(WriteRunLogs(in, log).written);
    EXPECT_EQ(calls, 2);  // the USB port is never asked

    const std::string text = ReadFile(log.Path());
    EXPECT_NE(text.find("SATA-OK\t\tPass\t\t000258\t000007\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("USB\t\tPass\t\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("SATA-FAILS\t\tPass\t\r\n"), std::string::npos) << text;

    // Without "EnDumpFreeBlockInfo" nothing is read.
    in.EnDumpFreeBlockInfo = false;
    ASSERT_TRUE(WriteRunLogs(in, log).written);
    EXPECT_EQ(calls, 2);
}

struct RollCase {
    const char* name;
    std::size_t currentSize;
    const char* nextContent;  // nullptr: no file of the next index
    int index;                // index after the run
    bool headerInNext;
};

const RollCase kRollCases[] = {
    {"below the limit stays", 82999, nullptr, 0, false},
    {"at the limit starts the next file", 83000, nullptr, 1, true},
    {"an existing next file is appended to", 83000, "KEEP\r\n", 1, false},
};

class ResultLogRollOver : public ResultLog, public ::testing::WithParamInterface<RollCase> {};

TEST_P(ResultLogRollOver, ByteLimit) {
    const RollCase& c = GetParam();
    const std::string current(c.currentSize, 'x');
    WriteFile(DailyName(0), current);
    if (c.nextContent != nullptr)
        WriteFile(DailyName(1), c.nextContent);
    Drive(0, "SN1", 1);

    ASSERT_TRUE(WriteRunLogs(in, log).written);
    EXPECT_EQ(log.index, c.index);
    const std::string row =
        "000001\t000001\t" + std::string(kTimes) + "WO1\tPN1\tWK1\tSN1\t\tPass\tPass\tPass\t\r\n";
    if (c.index == 0) {
        EXPECT_EQ(ReadFile(DailyName(0)), current + row);
        EXPECT_FALSE(fs::exists(DailyName(1)));
        return;
    }
    EXPECT_EQ(ReadFile(DailyName(0)), current);
    const std::string header = std::string(kHeaderStart) + " WWN\tModule\tP_F\tResult\t\r\n";
    const std::string before = c.nextContent != nullptr ? c.nextContent : "";
    EXPECT_EQ(ReadFile(DailyName(1)), before + (c.headerInNext ? header : "") + row);
}

INSTANTIATE_TEST_SUITE_P(Sizes, ResultLogRollOver, ::testing::ValuesIn(kRollCases),
                         [](const auto& paramInfo) {
                             std::string name = paramInfo.param.name;
                             for (char& ch : name)
                                 if (ch == ' ')
                                     ch = '_';
                             return name;
                         });

struct IndexCase {
    const char* name;
    std::vector<std::pair<int, std::size_t>> files;  // index, size
    int chosen;
};

TEST(ResultLogIndex, ChoiceAtProgramStart) {
    const IndexCase cases[] = {
        {"no file", {}, 0},
        {"one small file", {{0, 10}}, 0},
        {"the last existing", {{0, 10}, {1, 10}, {2, 500}}, 2},
        {"a full last file", {{0, 83000}}, 1},
        {"stops at a gap", {{0, 10}, {2, 10}}, 0},
        {"a file of another day", {{-1, 10}}, 0},
    };
    for (const IndexCase& c : cases) {
        test::TempFolder folder("kv_log_index");
        const std::string dir = folder.path() + "/";
        for (const auto& [index, size] : c.files) {
            const std::string path = index >= 0
                                         ? DailyLogPath(dir, kStart, index)
                                         : DailyLogPath(dir, platform::LocalTime{2013, 11, 11}, 0);
            WriteFile(path, std::string(size, 'x'));
        }
        const DailyLog log = ChooseDailyLog(dir, kStart);
        EXPECT_EQ(log.index, c.chosen) << c.name;
        EXPECT_EQ(log.Path(), DailyLogPath(dir, kStart, c.chosen)) << c.name;
    }
}

TEST_F(ResultLog, AFolderThatCannotBeWrittenGivesTheMessage) {
    Drive(0, "SN1", 1);
    const OperatorMessage expected{"Fail to open/create log file!", "Error", OperatorIcon::Error};

    DailyLog missing{logDir + "no/such/folder/", kStart, 0};
    const RunLogResult gone = WriteRunLogs(in, missing);
    EXPECT_FALSE(gone.written);
    ASSERT_TRUE(gone.message);
    EXPECT_EQ(*gone.message, expected);

    // The roll-over target cannot be created either: same message, no rows.
    const std::string full(83000, 'x');
    WriteFile(DailyName(0), full);
    fs::create_directory(DailyName(1));
    const RunLogResult rolled = WriteRunLogs(in, log);
    EXPECT_FALSE(rolled.written);
    ASSERT_TRUE(rolled.message);
    EXPECT_EQ(*rolled.message, expected);
    EXPECT_EQ(ReadFile(DailyName(0)), full);
}

TEST_F(ResultLog, SingleRunFileHoldsTheLastRunOnly) {
    in.SingleExecuteResult = true;
    Drive(0, "FIRST", 1);
    ASSERT_TRUE(WriteRunLogs(in, log).written);
    ports[0] = PortRecord{};
    Drive(1, "SECOND", -1);
    in.yieldBefore = {1, 1};
    ASSERT_TRUE(WriteRunLogs(in, log).written);

    const std::string single = ReadFile(logDir + "SingleExecuteResult.log");
    EXPECT_EQ(single, std::string(kHeaderStart) + " WWN\tModule\tP_F\tResult\t\r\n" +
                          "000002\t000002\t" + kTimes +
                          "WO1\tPN1\tWK1\tSECOND\t\tPass\tFail\tC00\t\r\n");
    EXPECT_NE(ReadFile(log.Path()).find("FIRST"), std::string::npos);
}

TEST_F(ResultLog, MarkerFilesNamedBySafeSerialNumbers) {
    in.EnHalvoroLogResult = true;
    Drive(0, "AB/CD", 1);
    Drive(1, "..\\X", -1);
    ASSERT_TRUE(WriteRunLogs(in, log).written);
    EXPECT_TRUE(fs::exists(logDir + "MP_AB_CD_20131112_081510_PASS.log"));
    EXPECT_TRUE(fs::exists(logDir + "MP_.._X_20131112_081510_FAIL.log"));
    EXPECT_EQ(fs::file_size(logDir + "MP_AB_CD_20131112_081510_PASS.log"), 0u);
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry : fs::recursive_directory_iterator(folder.path()))
        ++files;
    EXPECT_EQ(files, 3u);  // the daily log and two markers, nothing in other folders
}

TEST(ResultLogNames, ScreenImageAndDailyLog) {
    EXPECT_EQ(ScreenImagePath("log/", kEnd), "log/Image_1112081510.jpg");
    EXPECT_EQ(DailyLogPath("log/", kStart, 12), "log/20131112_012.txt");
    EXPECT_EQ(DailyLogPath("log/", kStart, 1234), "log/20131112_1234.txt");
}

TEST(ResultLogInput, TakesSwitchesAndTextsFromTheSettings) {
    auto settings = std::make_unique<SettingsBlock>();
    ProcessSettings process;
    auto ap = std::make_unique<AP_GOLBAL>();
    settings->Yield = {7, 5};
    settings->EnPPID = 1;
    settings->ItemEnabled[8] = 1;
    settings->EnDumpFreeBlockInfo = 1;
    process.EnBatchMode = 1;
    ap->SingleExecuteResult = true;
    std::memset(ap->WorkOrder, 'W', sizeof ap->WorkOrder);  // no terminator: bounded read
    SetText(ap->WeekCode, sizeof ap->WeekCode, "1346");
    const RunLogInput in = MakeRunLogInput(*settings, process, *ap);
    EXPECT_EQ(in.yieldBefore.TotalTestCount, 7);
    EXPECT_TRUE(in.EnPPID && in.EnDownload && in.EnDumpFreeBlockInfo && in.EnBatchMode);
    EXPECT_FALSE(in.EnHalvoroLogResult);
    EXPECT_TRUE(in.SingleExecuteResult);
    EXPECT_EQ(in.workOrder, std::string(sizeof ap->WorkOrder, 'W'));
    EXPECT_EQ(in.weekCode, "1346");
}

}  // namespace
}  // namespace kv
