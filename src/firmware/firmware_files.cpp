#include "firmware/firmware_files.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "firmware/firmware_messages.h"
#include "firmware/identify_patch.h"
#include "firmware/program_image.h"
#include "firmware/read_file_field.h"
#include "firmware/system_firmware_file.h"

namespace kv {
namespace {

std::string Field(const std::string& path, std::size_t offset, std::size_t length) {
    return ReadFileField(path, offset, length).value_or("");
}

OperatorMessage CorruptFileMessage(const std::string& path) {
    std::vector<char> text(path.size() + sizeof kCorruptFileFormat + 1);
    std::snprintf(text.data(), text.size(), kCorruptFileFormat, path.c_str());
    return {text.data(), kErrorCaption, OperatorIcon::Error};
}

// Reads the selected file and adds the corrupt-file message when it fails
// the check outside special mode.
SystemFirmwareInfo InspectFile(const std::string& path, bool specialMode,
                               std::vector<OperatorMessage>& messages) {
    SystemFirmwareInfo info = ReadSystemFirmwareInfo(path);
    if (info.Found && !specialMode && (info.Version.empty() || !info.Sound)) {
        messages.push_back(CorruptFileMessage(path));
    }
    return info;
}

}  // namespace

SystemFirmwareInfo ReadSystemFirmwareInfo(const std::string& path) {
    SystemFirmwareInfo info;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return info;
    }
    info.Found = true;
    info.BuildTag = Field(path, kSysBuildTagOffset, kSysBuildTagSize);
    info.Version = Field(path, kSysVersionOffset, kSysVersionSize);
    info.FormatCode = Field(path, kSysFormatCodeOffset, kSysFormatCodeSize);
    info.ModelCode = Field(path, kSysModelCodeOffset, 3);
    std::uint8_t revision[kIdentifyRevisionSize] = {};
    in.seekg(static_cast<std::streamoff>(kIdentifyRevisionOffset));
    if (in) {
        in.read(reinterpret_cast<char*>(revision), sizeof revision);
    }
    const std::size_t got = in.gcount() > 0 ? static_cast<std::size_t>(in.gcount()) : 0;
    info.Revision = AtaStringText(revision, got - got % 2);
    info.Sound = IsSoundSystemFirmwareFile(path);
    return info;
}

std::string GroupedVersion(const std::string& version) {
    auto part = [&version](std::size_t from, std::size_t count) {
        return from < version.size() ? version.substr(from, count) : std::string();
    };
    return part(0, 1) + "." + part(1, 2) + "." + part(3, 3);
}

FirmwareSelection SelectFirmwareFiles(const FirmwareSelectionInput& input) {
    FirmwareSelection out;
    const std::string name = kSataFirmwareFile;
    std::string status = name;
    bool showStatus = false;
    if (input.Sata) {
        out.SataBinName = name;
        out.Sata = InspectFile(input.ProgramFolder + name, input.SpecialMode, out.Messages);
        if (!out.Sata.Found || !out.Sata.Version.empty()) {
            showStatus = true;
        }
        if (!out.Sata.Version.empty()) {
            status += " (" + out.Sata.Revision + ")";
        }
    }
    if (input.Usb) {
        out.UsbBinName = UsbFirmwareFileName(name);
        out.Usb =
            InspectFile(input.ProgramFolder + out.UsbBinName, input.SpecialMode, out.Messages);
    }
    out.SerialLabel = input.Usb ? kSerialLabelUsb : kSerialLabelSata;
    out.SerialMinLength = input.Usb ? 12 : 1;
    out.StatusText = showStatus ? status : "";
    const SystemFirmwareInfo& shown = input.Sata || !input.Usb ? out.Sata : out.Usb;
    out.VersionLine = std::string(kDiagnosticProgramFile) + "(" +
                      GroupedVersion(input.ProgramVersion) + "), SYS(" +
                      GroupedVersion(shown.Version) + ") " + shown.BuildTag;
    return out;
}

std::vector<OperatorMessage> CheckProgramImageFiles(const std::string& diagnosticPath,
                                                    const std::string& testPath) {
    std::vector<OperatorMessage> messages;
    const std::string* paths[2] = {&diagnosticPath, &testPath};
    const char* corrupt[2] = {kCorruptDiagnosticProgramText, kCorruptTestProgramText};
    for (int i = 0; i < 2; ++i) {
        const std::optional<std::string> version =
            ReadFileField(*paths[i], kProgramVersionOffset, kProgramVersionSize);
        if (!version) {
            messages.push_back({std::string(kCantFindFilePrefix) + *paths[i], kErrorCaption,
                                OperatorIcon::Warning});
        } else if (version->empty()) {
            messages.push_back({corrupt[i], kErrorCaption, OperatorIcon::Error});
        }
    }
    return messages;
}

FirmwareFileList BuildDownloadFileList(const std::string& programFolder, bool sata, bool usb,
                                       const std::string& sataName, const std::string& usbName,
                                       int pagesPerBlock) {
    FirmwareFileList list;
    const int count = (sata ? 1 : 0) + (usb ? 1 : 0);
    if (count == 0) {
        list.Outcome = FirmwareListOutcome::StartEnds;
        list.Message = OperatorMessage{kNoBinFileText, kMessageCaption, OperatorIcon::Warning};
        return list;
    }
    std::vector<std::string> paths;
    if (sata) {
        paths.push_back(programFolder + sataName);
    }
    if (usb) {
        paths.push_back(programFolder + usbName);
    }
    if (count == 2 && pagesPerBlock <= 64) {
        list.Outcome = FirmwareListOutcome::StartEnds;
        list.Message =
            OperatorMessage{kBlockPageTooSmallText, kMessageCaption, OperatorIcon::Warning};
        return list;
    }
    for (const std::string& path : paths) {
        std::error_code ec;
        const bool isFile = std::filesystem::is_regular_file(path, ec);
        const std::uintmax_t size = isFile ? std::filesystem::file_size(path, ec) : 0;
        if (!isFile || ec) {
            list.Outcome = FirmwareListOutcome::RunEnds;
            list.Files.clear();
            list.Message = OperatorMessage{std::string(kCantOpenPrefix) + path, kMessageCaption,
                                           OperatorIcon::Warning};
            return list;
        }
        FirmwareFileEntry entry;
        entry.Path = path;
        const std::uintmax_t kib = (size + 1023) / 1024;
        entry.SizeKiB = static_cast<std::uint32_t>(kib > 0xFFFFFFFFu ? 0xFFFFFFFFu : kib);
        list.Files.push_back(entry);
    }
    return list;
}

}  // namespace kv
