// Loading and saving the settings file, and the yield counters beside it.
#include <zlib.h>

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <system_error>

#include "device/debug_log.h"
#include "firmware/debug_dump.h"
#include "platform/ini_service.h"
#include "platform/paths.h"
#include "platform/platform.h"
#include "run/yield_file.h"
#include "station/station.h"

namespace kv {
namespace {

std::string FileNamePart(const std::string& path) {
    const std::size_t slash = path.find_last_of(platform::kPathSeparator);
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Format(const char* format, const std::string& value) {
    char buffer[1024];
    std::snprintf(buffer, sizeof buffer, format, value.c_str());
    return buffer;
}

// The machine file's first line, at most three characters of it; a line break
// within them stays part of the text.
bool ReadMachineFilePrefix(const std::string& path, std::string& prefix) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    prefix.clear();
    char c = 0;
    while (prefix.size() < 3 && in.get(c)) {
        if (c == '\r' && in.peek() == '\n')
            continue;  // a text-mode read gives LF alone
        prefix.push_back(c);
        if (c == '\n')
            break;
    }
    return true;
}

bool SameTextIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

bool MachineFileReadable() {
    std::ifstream in(platform::MachineFilePath(), std::ios::binary);
    return static_cast<bool>(in);
}

}  // namespace

std::string SettingsCrcLabel(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return "";
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    uLong crc = crc32(0L, Z_NULL, 0);
    crc = crc32(crc, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size()));
    char label[32];
    std::snprintf(label, sizeof label, "CRC32: %lX", static_cast<unsigned long>(crc));
    return label;
}

bool Station::LoadSettingsFile(const std::string& path) {
    ui_.ShowSettingsFileName(FileNamePart(path));

    std::error_code ec;
    if (std::filesystem::exists(path, ec)) {
        crcLabel = SettingsCrcLabel(path);
    } else {
        ui_.ShowMessage(
            Format("The %s file cann't be found, and the application will create the file!\n",
                   path),
            "Error", MessageIcon::Error);
        crcLabel.clear();
    }
    ui_.ShowCrcLabel(crcLabel);

    // The file is read into a fresh image, so a refused file changes nothing
    // that a later save could write back over it.
    config::SettingsText text;
    config::Settings loaded = settings;
    bool accepted = text.Load(path);
    if (accepted) {
        config::ReadSettingsKeys(text, loaded);
        accepted = !text.error().failed;
    }
    if (!accepted) {
        std::string where = path;
        if (text.error().line > 0)
            where += ", line " + std::to_string(text.error().line);
        ui_.ShowMessage("The settings file " + where + " cannot be used: " + text.error().reason +
                            ".\nThe file is left as it is.\n",
                        "Error", MessageIcon::Error);
        return false;
    }
    settingsText = std::move(text);
    loaded.block.Yield = settings.block.Yield;
    settings = loaded;
    SetDebugLogToFile(settings.block.EnOutputDbgMsg != 0);
    SetDumpDebugFile(settings.process.DumpDebugFile != 0);

    // The settings lock closes at a load with "MPVersion" set; a load never reopens it.
    if (settingsLockOpen)
        settingsLockOpen = settings.block.MPVersion == 0;

    // The log folder, read through the INI service; the exact text "log" means
    // the station folder's "log" folder.
    const platform::IniFile ini(path);
    std::string logPath = ini.ReadString("Setting", "LogPath", "log");
    if (logPath == "log")
        logPath = platform::StationFolder() + "log";
    logFolder = platform::WithTrailingSeparator(logPath);

    std::string prefix;
    if (ReadMachineFilePrefix(platform::MachineFilePath(), prefix)) {
        std::snprintf(settings.block.EncryptionString, sizeof settings.block.EncryptionString, "%s",
                      prefix.c_str());
        settings.block.EncryptionEnable = 1;
    }

    const std::string flashFile = settings.block.ExtFlashFile;
    if (flashFile.empty()) {
        ui_.ShowMessage(Format("Please make sure the flash file %s exist!\n", flashFile), "Error",
                        MessageIcon::Error);
        return false;
    }
    FlashPartsList parts;
    FlashListError listError;
    const std::string flashPath = platform::ResolveInFolder(platform::StationFolder(), flashFile);
    const bool listOk = LoadFlashList(flashPath, parts, &listError);
    flashParts = std::move(parts);
    if (!listOk) {
        ui_.ShowMessage(Format("Please make sure the flash file %s format correct!\n", flashPath),
                        "Error", MessageIcon::Error);
        return false;
    }

    SettingsToControls(settings, godModeState == kGodModeOn, controls);

    std::filesystem::create_directories(logFolder, ec);
    if (!std::filesystem::is_directory(logFolder)) {
        ui_.ShowMessage("Cannot create log directory.", "Error", MessageIcon::Error);
        return false;
    }
    LoadYieldCounters();

    if (settings.block.EnBarCode != 0 && platform::Current().IsCapsLockOn()) {
        platform::Current().ToggleCapsLock();
    }
    return true;
}

bool Station::SaveSettingsFile(const std::string& name) {
    const std::string path = platform::ResolveInFolder(platform::StationFolder(), name);
    // The keys are written into a copy: a save that would outgrow the image is
    // abandoned whole and the file on disk stays as it was.
    config::SettingsText edited = settingsText;
    if (!config::WriteSettingsKeys(edited, settings, MachineFileReadable())) {
        ui_.ShowMessage(
            "The settings file " + path + " was not saved: " + edited.error().reason + ".\n",
            "Error", MessageIcon::Error);
        return false;
    }
    if (!edited.Store(path)) {
        ui_.ShowMessage(
            "The settings file " + path + " cannot be written: " + edited.error().reason + ".\n",
            "Error", MessageIcon::Error);
        return false;
    }
    settingsText = std::move(edited);
    return true;
}

void Station::LoadIniClick() {
    if (settings.block.SupportCustIniFilePath != 0) {
        currentSettingsFile = settings.block.CustIniFilePath;
        std::error_code ec;
        if (!std::filesystem::exists(currentSettingsFile, ec)) {
            ui_.ShowMessage("File " + currentSettingsFile + " does not exist.", "Confirm",
                            MessageIcon::Confirmation);
            return;
        }
        const std::string path = currentSettingsFile;
        if (!LoadSettingsFile(path))
            return;
        settings.block.SupportCustIniFilePath = 1;
        std::snprintf(settings.block.CustIniFilePath, sizeof settings.block.CustIniFilePath, "%s",
                      path.c_str());
        return;
    }
    StationUi::FileChoice choice;
    choice.defaultExtension = ".ini";
    choice.filter = "INI file(*.ini)|*.ini";
    choice.initialFolder = platform::StationFolder();
    const std::optional<std::string> chosen = ui_.ChooseFile(choice);
    if (!chosen)
        return;
    const std::string partsList =
        platform::ResolveInFolder(platform::StationFolder(), settings.block.ExtFlashFile);
    if (SameTextIgnoringCase(*chosen, partsList)) {
        ui_.ShowMessage(
            "The file is a setting file for flash, please choose a correct setting file for MP "
            "tool",
            "Error", MessageIcon::Error);
        return;
    }
    // The current file stays: the loaded values are saved into it later.
    LoadSettingsFile(*chosen);
}

void Station::SaveIniClick() {
    ControlsToSettings(controls, settings);
    if (settings.block.SupportCustIniFilePath != 0) {
        currentSettingsFile = settings.block.CustIniFilePath;
        SaveSettingsFile(currentSettingsFile);
        return;
    }
    StationUi::FileChoice choice;
    choice.save = true;
    choice.defaultExtension = ".ini";
    choice.filter = "EEPROM INI file(*.ini)|*.ini";
    choice.initialFolder = platform::StationFolder();
    const std::optional<std::string> chosen = ui_.ChooseFile(choice);
    if (!chosen)
        return;
    currentSettingsFile = *chosen;
    SaveSettingsFile(currentSettingsFile);
    currentSettingsFile = kSettingsFileName;
}

void Station::LoadYieldCounters() {
    settings.block.Yield = ReadYieldFile(logFolder);
    ui_.ShowYieldText(ShowYield(settings.block.Yield));
}

bool Station::SaveYieldCounters() {
    return WriteYieldFile(logFolder, settings.block.Yield);
}

}  // namespace kv
