// The station: everything both front ends drive. One instance per program run.
#pragma once

#include <memory>
#include <string>

#include "config/settings_keys.h"
#include "config/settings_text.h"
#include "flash/flash_parts_list.h"
#include "platform/instance_lock.h"
#include "run/global_state.h"
#include "run/port_status.h"
#include "station/access_levels.h"
#include "station/control_state.h"
#include "station/station_ui.h"

namespace kv {

inline constexpr char kSettingsFileName[] = "REVODEDE.ini";
inline constexpr char kInstanceLockName[] = "KVMP";

class Station {
  public:
    explicit Station(StationUi& ui);

    // Program start up to the loaded settings: the single-instance lock, then
    // the settings file. False when the station refuses to start (a message has
    // been shown unless a second instance was refused, which ends silently).
    bool Start();
    bool refusedAsSecondInstance() const { return secondInstance_; }

    // The load sequence of a settings file; false when the start must end.
    bool LoadSettingsFile(const std::string& path);
    // Resolves the name in the station folder and writes the saved keys; the
    // caller has run ControlsToSettings. False when nothing was written.
    bool SaveSettingsFile(const std::string& name);
    // The "Load INI" and "Save INI" buttons.
    void LoadIniClick();
    void SaveIniClick();
    bool saveIniEnabled() const { return settingsLockOpen; }

    // The settings lock and the two hidden modes.
    LockView ApplySettingsLock() const;
    LockView LockButtonClick();                       // `SpeedButton8`
    void EnterSpecialModeGesture(bool modifierHeld);  // the hidden shapes
    void GodModeHotKey(int id);

    // What the station does when it closes: controls to settings, the exit
    // saves of the settings file and the yield counters.
    void Close();

    // The yield counters in `LogDir` + "ZOVID.log".
    void LoadYieldCounters();
    bool SaveYieldCounters();

    // Every setting as held, "[section]" and "key=value" lines in save order.
    std::string DescribeSettings() const;

    StationUi& ui() { return ui_; }
    config::Settings settings;
    config::SettingsText settingsText;
    ControlState controls;
    FlashPartsList flashParts;
    AP_GOLBAL ap;
    PortRecord ports[kMaxPorts];
    PortView views[kMaxPorts];
    std::string currentSettingsFile;
    std::string logFolder;  // with a trailing separator
    std::string crcLabel;
    bool settingsLockOpen = true;
    int godModeState = 0;                 // kGodModeOn once the three hot keys came in order
    bool useDefaultSysName = false;       // "SYS_S.bin" confirmed on entering special mode
    bool firmwareOptionsEnabled = false;  // the "F/W Setting" options, editable in special mode

  private:
    void EnterSpecialMode();

    StationUi& ui_;
    std::unique_ptr<platform::InstanceLock> instanceLock_;
    bool secondInstance_ = false;
};

// "CRC32: %X" of the bytes of the file as stored; empty when it cannot be read.
std::string SettingsCrcLabel(const std::string& path);

}  // namespace kv
