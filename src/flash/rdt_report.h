// Filing a drive's reliability-test (RDT) record set into the report tree
// "RDT_Log" under the station folder:
//
//   RDT_Log/RDT_OK/<serial>/            a record without error flags
//   RDT_Log/RDT_NG/P07|P05|P06/<serial>/  by the first flag of bit 0, 1, 2
//   <serial>/Factory/<serial>_Fab.ms0   factory bad blocks of group 4a + b
//   <serial>/RDT/<serial>_Fab.ms1       the full report of that group
//
// The diagnostic program is loaded, the record block searched from the top
// of chip enable 0 down to block 11, and the header, record, die
// information, factory-bad and error pages read from channel 0 with the RDT
// page read. The raw pages go to debug dumps while those are on.
#pragma once

#include <array>
#include <string>

#include "firmware/code_download.h"
#include "flash/rdt_record.h"
#include "flash/rdt_report_text.h"

namespace kv {

inline constexpr char kRdtLogFolder[] = "RDT_Log";
inline constexpr char kRdtOkFolder[] = "RDT_OK";
inline constexpr char kRdtNgFolder[] = "RDT_NG";
inline constexpr char kRdtFactoryFolder[] = "Factory";
inline constexpr char kRdtReportFolder[] = "RDT";

// The lowest block the record search reads is the one above this.
inline constexpr int kRdtLowestSearchedBlock = 10;

struct RdtReportOutcome {
    // The whole tree was written.
    bool Filed = false;
    // With display: the operator message of the step that stopped the report.
    std::string Message;
    int RecordBlock = -1;  // -1 when no record block was found
    RdtRecordData Record;
    std::string Verdict;       // "RDT_OK" or "RDT_NG"
    std::string Category;      // "[P07]", "[P05]", "[P06]" or empty
    std::string SerialFolder;  // the drive's folder, with its trailing separator
    std::array<bool, kRdtGroupCount> GroupPresent{};
    std::array<std::string, kRdtGroupCount> GroupReports;  // the ".ms1" texts
};

// Reads the record set of the drive on `port` and files it under
// `stationFolder` (with its trailing separator). `display` asks for the
// operator messages of failures; the report window shows the outcome.
RdtReportOutcome ShowRDTResult(int port, bool display, const ProcedureContext& ctx,
                               const std::string& stationFolder);

// The same under the station folder (the executable's folder unless the
// station was started on another).
RdtReportOutcome ShowRDTResult(int port, bool display, const ProcedureContext& ctx);

// The record block the last search on a port found (-1 none); the next
// search of that port reads it first. Ports outside 0..49 have none.
int RememberedRdtBlock(int port);
void ForgetRdtBlock(int port);

}  // namespace kv
