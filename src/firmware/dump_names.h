// Names of the debug dumps the flash procedures write through
// `WriteDebugDump` while "DumpDebugFile" is on. Names with a format take the
// values noted beside them.
#pragma once

namespace kv {

// Code download.
inline constexpr char kDumpModifiedProgram[] = "M_GDP.raw";
inline constexpr char kDumpCodeWrite[] = "11_WCM.raw";
inline constexpr char kDumpCodeWritePieceFormat[] = "11_WCM_%2.2d.raw";  // piece

// Defect and later table transfer.
inline constexpr char kDumpDefectTableGet[] = "02_DTG.raw";
inline constexpr char kDumpDefectTablePut[] = "05_DTP.raw";
inline constexpr char kDumpLaterTableGetFormat[] = "03_%2.2d%2.2d%3.3d.raw";  // bank, die, page
inline constexpr char kDumpLaterTablePut1[] = "06_LTP.raw";
inline constexpr char kDumpLaterTablePut2[] = "07_LTP.raw";

// Download and upload of the system area.
inline constexpr char kDumpCollectedPageFormat[] = "buffer_CP_%d.raw";        // table page
inline constexpr char kDumpCollectedCodePageFormat[] = "codepage_CP_%d.raw";  // table page
inline constexpr char kDumpCollection[] = "test_CP.raw";
inline constexpr char kDumpWrittenTableFormat[] = "10_WT%2.2d.raw";  // page
inline constexpr char kDumpSystemHeader[] = "SysBinHead.raw";
inline constexpr char kDumpTableReadBackFormat[] = "10_TPR_%2.2d_%2.2d.raw";  // block, page
inline constexpr char kDumpUploadFormat[] = "UP%2.2X%2.2X%2.2X.raw";  // file, block, channel
inline constexpr char kDumpDownloadResultFormat[] = "16_%s.txt";      // serial number

// System area check.
inline constexpr char kDumpSystemRead[] = "sysread.raw";
inline constexpr char kDumpDefectTable[] = "DefectTable.raw";
inline constexpr char kDumpEarlyTable[] = "EarlyTable.raw";
inline constexpr char kDumpLaterBlockFormat[] = "LB_%2.2d%2.2d%3.3d.raw";  // bank, die, page
inline constexpr char kDumpSystemBlockFormat[] = "SB_%2.2d%2.2d.raw";
inline constexpr char kDumpBadUnit[] = "BadUnit.raw";
inline constexpr char kDumpDefect[] = "defect.raw";

}  // namespace kv
