// The three levels of access above the operator's: the settings lock (opened
// by a password), special mode (a hidden gesture) and God mode (three hot keys
// in order). Neither mode has an exit; they last until the station closes.
#pragma once

namespace kv {

inline constexpr char kSettingsPassword[] = "tupelka";

// Hot-key ids of the God-mode sequence, in the order they must come.
inline constexpr int kGodModeKey1 = 4096;
inline constexpr int kGodModeKey2 = 4097;
inline constexpr int kGodModeKey3 = 4098;
// The God-mode state once the three keys came in order.
inline constexpr int kGodModeOn = 7;

// What the lock leaves usable in the window.
struct LockView {
    bool pagesEnabled = true;     // every page of the settings area
    bool saveIniEnabled = true;   // "Save INI"
    bool lockButtonDown = false;  // `SpeedButton8`
};

// The next God-mode state after hot key `id`; 7 is on and stays on.
int NextGodModeState(int state, int id);

}  // namespace kv
