// The settings lock, special mode and God mode of the station.
#include "station/access_levels.h"

#include <cstdio>

#include "device/debug_log.h"
#include "firmware/debug_dump.h"
#include "station/station.h"

namespace kv {

int NextGodModeState(int state, int id) {
    if (state == kGodModeOn)
        return state;
    switch (id) {
        case kGodModeKey1:
            return state == 0 ? 1 : 0;
        case kGodModeKey2:
            return state == 1 ? 3 : 0;
        case kGodModeKey3:
            return state == 3 ? kGodModeOn : 0;
        default:
            return 0;  // any key out of order starts the sequence again
    }
}

LockView Station::ApplySettingsLock() const {
    LockView view;
    view.pagesEnabled = settingsLockOpen;
    view.saveIniEnabled = settingsLockOpen;
    view.lockButtonDown = !settingsLockOpen;
    return view;
}

LockView Station::LockButtonClick() {
    if (settingsLockOpen) {
        settingsLockOpen = false;
    } else {
        const std::optional<std::string> password =
            ui_.AskText("Please Input the Password", "Password", "", true);
        // A wrong or empty password, or a cancelled prompt, changes nothing.
        if (password && *password == kSettingsPassword)
            settingsLockOpen = true;
    }
    return ApplySettingsLock();
}

void Station::EnterSpecialMode() {
    ui_.ShowMessage("Enter Special mode", "Information", MessageIcon::Information);
    const MessageAnswer answer = ui_.ShowMessage(
        "Are you change the file name of system firmware to default file name.(SYS_S.bin)",
        "Warning", MessageIcon::Warning, MessageButtons::OkCancel);
    if (answer == MessageAnswer::Ok)
        useDefaultSysName = true;
    firmwareOptionsEnabled = true;
    ap.SpecialMode = 1;
    settings.block.EnableGetPutTable = 1;
    settings.process.DumpDebugFile = 1;
    SetDumpDebugFile(true);
}

void Station::EnterSpecialModeGesture(bool modifierHeld) {
    // The gesture lies on a page the closed lock disables.
    if (!modifierHeld || !settingsLockOpen)
        return;
    EnterSpecialMode();
}

void Station::GodModeHotKey(int id) {
    if (godModeState == kGodModeOn)
        return;
    godModeState = NextGodModeState(godModeState, id);
    OutputDbgMsg("######### - %d", godModeState);
    if (godModeState != kGodModeOn)
        return;
    controls.productPanel = "God Mode";
    EnterSpecialMode();
    settings.process.EnGodMode = 1;
}

}  // namespace kv
