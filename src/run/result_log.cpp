#include "run/result_log.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

#include "run/file_name_text.h"
#include "run/test_item_catalogue.h"

namespace kv {
namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

template <std::size_t N>
std::string FieldText(const char (&field)[N]) {
    return std::string(field, strnlen(field, N));
}

bool Exists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(path, ec);
}

void Put(std::FILE* f, const std::string& text) {
    if (f != nullptr && !text.empty())
        std::fwrite(text.data(), 1, text.size(), f);
}

// Opens a log for appending; a file that did not exist gets the header first.
File OpenLog(const std::string& path, const std::string& header) {
    const bool existed = Exists(path);
    File f(std::fopen(path.c_str(), "ab"));
    if (f && !existed)
        Put(f.get(), header);
    return f;
}

long EndPosition(std::FILE* f) {
    if (std::fseek(f, 0, SEEK_END) != 0)
        return -1;
    return std::ftell(f);
}

std::string Format(const char* fmt, int value) {
    char text[32];
    std::snprintf(text, sizeof text, fmt, value);
    return text;
}

}  // namespace

std::string LogTimeText(const platform::LocalTime& t) {
    char text[48];
    std::snprintf(text, sizeof text, "%04d/%02d/%02d %02d:%02d:%02d\t", t.year, t.month, t.day,
                  t.hour, t.minute, t.second);
    return text;
}

std::string DailyLogPath(const std::string& logDir, const platform::LocalTime& date, int index) {
    char name[48];
    std::snprintf(name, sizeof name, "%04d%02d%02d_%03d.txt", date.year, date.month, date.day,
                  index);
    return logDir + name;
}

DailyLog ChooseDailyLog(const std::string& logDir, const platform::LocalTime& programStart) {
    DailyLog log{logDir, programStart, 0};
    int n = 0;
    while (n <= kDailyLogMaxIndex && Exists(DailyLogPath(logDir, programStart, n)))
        ++n;
    log.index = n > 0 ? n - 1 : 0;
    std::error_code ec;
    const auto size = std::filesystem::file_size(log.Path(), ec);
    if (!ec && size >= static_cast<std::uintmax_t>(kDailyLogSizeLimit))
        ++log.index;
    return log;
}

const char* StatusWord(int status) {
    switch (status) {
        case kItemFailed:
            return "Fail";
        case kItemNotSelected:
            return "----";
        case kItemPassed:
            return "Pass";
        default:
            return "";
    }
}

std::vector<int> LogItemColumns(const std::vector<CheckListLine>& checkList) {
    std::vector<int> columns;
    for (int id = 1; id < kItemCount; ++id) {
        const TestItemRecord& item = LookupTestItem(id);
        if (item.ItemName[0] == '\0')
            continue;
        for (const CheckListLine& line : checkList) {
            if (line.text == item.ItemName)
                columns.push_back(id);
        }
    }
    return columns;
}

RunLogInput MakeRunLogInput(const SettingsBlock& settings, const ProcessSettings& process,
                            const AP_GOLBAL& ap) {
    RunLogInput in;
    in.yieldBefore = settings.Yield;
    in.EnPPID = settings.EnPPID != 0;
    in.EnBatchMode = process.EnBatchMode != 0;
    in.EnDownload = settings.ItemEnabled[kDownload] != 0;
    in.EnDumpFreeBlockInfo = settings.EnDumpFreeBlockInfo != 0;
    in.EnHalvoroLogResult = settings.EnHalvoroLogResult != 0;
    in.SingleExecuteResult = ap.SingleExecuteResult;
    in.workOrder = FieldText(ap.WorkOrder);
    in.partNumber = FieldText(ap.PartNumber);
    in.weekCode = FieldText(ap.WeekCode);
    return in;
}

std::string LogHeaderLine(const std::vector<int>& columns, bool enPpid) {
    std::string line =
        "  No.\t Port.\t     StartTime \t     EndTime \t WorkOrder\t PartNumber\t WeekCode\t"
        " SerialNumber\t";
    if (enPpid)
        line += " PPID\t";
    line += " WWN\t";
    for (int id : columns)
        line += LookupTestItem(id).ShortName;
    line += "Result\t\r\n";
    return line;
}

std::string LogRow(const RunLogInput& in, int portIndex, int k, const std::vector<int>& columns,
                   const std::uint8_t* smart) {
    if (portIndex < 0 || static_cast<std::size_t>(portIndex) >= in.ports.size())
        return "";
    const PortRecord& port = in.ports[static_cast<std::size_t>(portIndex)];
    // Numbers continue from the counters, so they never repeat across runs.
    std::string row = Format("%06d\t", std::max(0, in.yieldBefore.TotalTestCount) + k);
    row += Format("%06d\t", portIndex + 1);
    row += LogTimeText(in.start);
    row += LogTimeText(in.end);
    row += in.workOrder + "\t" + in.partNumber + "\t" + in.weekCode + "\t";
    row += FieldText(port.SerialNumber) + "\t";
    if (in.EnPPID)
        row += FieldText(port.Ppid) + "\t";
    row += FieldText(port.Wwn) + "\t";
    for (int id : columns) {
        row += StatusWord(port.ItemStatus[id]);
        row += "\t";
    }
    if (port.Result == -1)
        row += LookupTestItem(port.ReportedFailCode).ErrorCode;
    else
        row += StatusWord(port.Result);
    row += "\t";
    if (in.EnBatchMode)
        row += Format("Batch Mode Round %d", in.batchRound);
    if (smart != nullptr) {
        for (int e = 0; e < 30; ++e) {
            const std::uint8_t* entry = smart + 2 + 12 * e;
            if (entry[0] == 0xEB)
                row += Format("\t%06d", entry[7] * 256 + entry[8]);
        }
    }
    row += "\r\n";
    return row;
}

std::string MarkerFilePath(const std::string& logDir, const PortRecord& port,
                           const platform::LocalTime& end) {
    char stamp[40];
    std::snprintf(stamp, sizeof stamp, "_%04d%02d%02d_%02d%02d%02d_%s.log", end.year, end.month,
                  end.day, end.hour, end.minute, end.second, port.Result == -1 ? "FAIL" : "PASS");
    return logDir + "MP_" + FileNameText(FieldText(port.SerialNumber)) + stamp;
}

std::string ScreenImagePath(const std::string& logDir, const platform::LocalTime& end) {
    char name[48];
    std::snprintf(name, sizeof name, "Image_%02d%02d%02d%02d%02d.jpg", end.month, end.day, end.hour,
                  end.minute, end.second);
    return logDir + name;
}

RunLogResult WriteRunLogs(const RunLogInput& in, DailyLog& log) {
    RunLogResult result;
    const std::vector<int> columns = LogItemColumns(in.checkList);
    const std::string header = LogHeaderLine(columns, in.EnPPID);
    const int portCount = static_cast<int>(std::min<std::size_t>(in.ports.size(), kMaxPorts));

    File single;
    if (in.SingleExecuteResult) {
        single.reset(std::fopen((log.logDir + kSingleExecuteResultFile).c_str(), "wb"));
        Put(single.get(), header);
    }

    const OperatorMessage failure{kLogFileFailText, kErrorCaption, OperatorIcon::Error};
    File daily = OpenLog(log.Path(), header);
    if (!daily) {
        result.message = failure;
        return result;
    }
    const long size = EndPosition(daily.get());
    if (size >= kDailyLogSizeLimit) {
        daily.reset();
        ++log.index;
        daily = OpenLog(log.Path(), header);
        if (!daily) {
            result.message = failure;
            return result;
        }
    }

    const bool wantSmart = in.EnDownload && in.EnDumpFreeBlockInfo && in.readSmart;
    int k = 0;
    for (int i = 0; i < portCount; ++i) {
        if (in.ports[static_cast<std::size_t>(i)].Present == 0)
            continue;
        ++k;
        std::uint8_t sector[512] = {};
        const std::uint8_t* smart = nullptr;
        if (wantSmart && in.sataPath[static_cast<std::size_t>(i)] && in.readSmart(i, sector))
            smart = sector;
        const std::string row = LogRow(in, i, k, columns, smart);
        Put(daily.get(), row);
        Put(single.get(), row);
    }

    if (in.EnHalvoroLogResult) {
        for (int i = 0; i < portCount; ++i) {
            const PortRecord& port = in.ports[static_cast<std::size_t>(i)];
            if (port.Present == 0)
                continue;
            File marker(std::fopen(MarkerFilePath(log.logDir, port, in.end).c_str(), "wb"));
        }
    }
    result.written = true;
    return result;
}

}  // namespace kv
