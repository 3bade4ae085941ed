// The result logs of a run: the daily log that rolls over by size, the
// single-run file for automation and the empty pass/fail marker files. The run
// controller fills a `RunLogInput` after all workers ended and calls
// `WriteRunLogs`; a message it returns is the front end's to show.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "config/settings_block.h"
#include "flash/operator_message.h"
#include "platform/platform.h"
#include "run/check_list.h"
#include "run/global_state.h"
#include "run/yield_counters.h"

namespace kv {

// A daily log at or over this size takes no more rows; the next index does.
inline constexpr long kDailyLogSizeLimit = 83000;
inline constexpr int kDailyLogMaxIndex = 99999;
inline constexpr char kSingleExecuteResultFile[] = "SingleExecuteResult.log";
inline constexpr char kLogFileFailText[] = "Fail to open/create log file!";

// "%04d/%02d/%02d %02d:%02d:%02d\t", the start and end columns of a row.
std::string LogTimeText(const platform::LocalTime& time);

// `logDir` + "%04d%02d%02d" + "_%03d.txt"; `logDir` ends with a separator.
std::string DailyLogPath(const std::string& logDir, const platform::LocalTime& date, int index);

// The daily log the station writes to: chosen at program start, its index only
// grows until the program ends.
struct DailyLog {
    std::string logDir;
    platform::LocalTime date;  // the day the program started
    int index = 0;
    std::string Path() const { return DailyLogPath(logDir, date, index); }
};

// The index choice at program start: the last existing index of the day (0
// when there is none), or the next one when that file already holds the size
// limit.
DailyLog ChooseDailyLog(const std::string& logDir, const platform::LocalTime& programStart);

// The word for an `ItemStatus` or a `Result`: "Fail" (-1), "----" (0),
// "Pass" (1), "" (2, an item cut off while it ran, and any other value).
const char* StatusWord(int status);

// The item columns of a run: for each test item 1..38 in id order, one column
// for every check-list line whose text equals the item's name.
std::vector<int> LogItemColumns(const std::vector<CheckListLine>& checkList);

// Reads the SMART sector of a port (vendor mode, then SMART READ DATA); false
// when the read did not answer 1, and then the row gets no SMART columns.
using SmartSectorReader = std::function<bool(int portIndex, std::uint8_t (&sector)[512])>;

// Everything a run's logs are made of, as plain data.
struct RunLogInput {
    std::span<const PortRecord> ports;     // the live records of the ports found
    std::vector<CheckListLine> checkList;  // the test-item list as it was at START
    YieldCounters yieldBefore;             // the counters before this run's results
    bool EnPPID = false;
    bool EnBatchMode = false;
    int batchRound = 1;  // repeat count - repetitions left + 1
    bool EnDownload = false;
    bool EnDumpFreeBlockInfo = false;
    bool EnHalvoroLogResult = false;
    bool SingleExecuteResult = false;
    platform::LocalTime start;
    platform::LocalTime end;
    std::string workOrder;
    std::string partNumber;
    std::string weekCode;
    std::array<bool, kMaxPorts> sataPath{};  // the port's drive is on the SATA path
    SmartSectorReader readSmart;             // may be empty: no SMART columns
};

// The settings-derived part of the input: counters, switches and work-order
// texts. The caller adds the ports, the list, the times, the round, the bus
// paths and the SMART reader.
RunLogInput MakeRunLogInput(const SettingsBlock& settings, const ProcessSettings& process,
                            const AP_GOLBAL& ap);

// The header line, ending with CR LF.
std::string LogHeaderLine(const std::vector<int>& columns, bool enPpid);

// One port's row, ending with CR LF. `k` counts the present ports from 1;
// `smart` is the port's SMART sector or nullptr.
std::string LogRow(const RunLogInput& in, int portIndex, int k, const std::vector<int>& columns,
                   const std::uint8_t* smart);

// "MP_%s_%04d%02d%02d_%02d%02d%02d_FAIL.log" (or "_PASS.log") in the log folder,
// with the serial number made safe for a file name.
std::string MarkerFilePath(const std::string& logDir, const PortRecord& port,
                           const platform::LocalTime& end);

// `logDir` + "Image_%02d%02d%02d%02d%02d" (end time's month, day, hour,
// minute, second) + ".jpg", the screen image of a run with "CaptureAppImage".
std::string ScreenImagePath(const std::string& logDir, const platform::LocalTime& end);

struct RunLogResult {
    // True when the rows went into the daily log. False ends the controller's
    // post-run work: no error files.
    bool written = false;
    std::optional<OperatorMessage> message;  // "Fail to open/create log file!"
};

// Writes the run: the single-run file when asked, the daily log (rolling over
// to the next index, appending to that file when it exists), the rows of every
// present port in index order, then the marker files when asked. `log.index`
// grows at a roll-over.
RunLogResult WriteRunLogs(const RunLogInput& in, DailyLog& log);

}  // namespace kv
