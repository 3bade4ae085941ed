// The firmware files of a run: the selection of the system firmware file and
// the display of its version (the "Bin File" boxes), the check of the program
// image, and the file list the download writes. Messages come back as data so
// that both front ends show them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "flash/operator_message.h"

namespace kv {

// What the header page of a system firmware file says about it.
struct SystemFirmwareInfo {
    bool Found = false;      // the file exists and can be read
    bool Sound = false;      // it passes the file check
    std::string Version;     // 0x306, six digits
    std::string Revision;    // 0x07A, pairs swapped back
    std::string FormatCode;  // 0x329, two digits
    std::string BuildTag;    // 0x330
    std::string ModelCode;   // 0x324, three characters
};

SystemFirmwareInfo ReadSystemFirmwareInfo(const std::string& path);

// "102003" as "1.02.003": the first character, characters 2 and 3, then 4 to 6.
std::string GroupedVersion(const std::string& version);

struct FirmwareSelectionInput {
    std::string ProgramFolder;   // with its trailing separator
    bool Sata = true;            // the "SATA" box
    bool Usb = false;            // the "USB" box
    bool SpecialMode = false;    // skips the file check
    std::string ProgramVersion;  // version text of "GDP.bin"
};

struct FirmwareSelection {
    std::string SataBinName;  // the file names as `AP_GOLBAL` keeps them
    std::string UsbBinName;
    SystemFirmwareInfo Sata;
    SystemFirmwareInfo Usb;
    std::string StatusText;   // status bar panel 1; empty when it is cleared
    std::string VersionLine;  // status bar panel 2
    std::string SerialLabel;
    int SerialMinLength = 1;  // lowest value of the serial-number length
    std::vector<OperatorMessage> Messages;
};

// `BinFileChkClick` without its window: file names, what their header pages
// say, the messages about corrupt files and the two status texts, e.g.
// "GDP.bin(1.02.003), SYS(2.10.044) A1B2".
FirmwareSelection SelectFirmwareFiles(const FirmwareSelectionInput& input);

// The start-up check of the program images: a missing file gives
// "<WARNING> Can't find file : " and its path; a file without a version the
// corrupt message of the diagnostic program or of the test program.
std::vector<OperatorMessage> CheckProgramImageFiles(const std::string& diagnosticPath,
                                                    const std::string& testPath);

// The file list of a download.
struct FirmwareFileEntry {
    std::string Path;
    std::uint32_t SizeKiB = 0;  // rounded up
};

enum class FirmwareListOutcome {
    Ready,      // the list is complete
    StartEnds,  // no file chosen, or two files on too small a flash
    RunEnds,    // a listed file does not exist
};

struct FirmwareFileList {
    FirmwareListOutcome Outcome = FirmwareListOutcome::Ready;
    std::vector<FirmwareFileEntry> Files;  // SATA first, then USB
    std::optional<OperatorMessage> Message;
};

FirmwareFileList BuildDownloadFileList(const std::string& programFolder, bool sata, bool usb,
                                       const std::string& sataName, const std::string& usbName,
                                       int pagesPerBlock);

}  // namespace kv
