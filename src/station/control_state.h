// The main window's controls as the core holds them, so that the window and the
// command-line station fill, edit and save exactly the same settings. Each front
// end shows this state and writes its operator's changes into it; neither reads
// a control the other lacks.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "config/settings_keys.h"
#include "run/check_list.h"

namespace kv {

// The pre-format choices of the option page, a radio group.
enum class PreformatChoice { FactoryDefaultBB, FactoryNewBB, EraseSearch, InheritBBEC };
const char* PreformatChoiceText(PreformatChoice choice);

struct ControlState {
    // List boxes hold their entries' values; the selected index is what the
    // window shows. The channel list offers 1..4, the bank list 1..8, the
    // drive-current list the codes 0..7 (2 mA to 16 mA).
    std::vector<int> channelEntries{1, 2, 3, 4};
    std::vector<int> bankEntries{1, 2, 3, 4, 5, 6, 7, 8};
    std::vector<int> driveCurrentEntries{0, 1, 2, 3, 4, 5, 6, 7};
    int channelIndex = 0;
    int bankIndex = 0;
    int driveCurrentIndex = 0;

    PreformatChoice preformat = PreformatChoice::FactoryNewBB;
    bool skipEraseGoodBlock = false;      // "Skip Erase Good Block"
    bool keepPreviousEraseCount = false;  // "Keep Previous Erase Count"
    std::array<bool, 5> checkFlashId{};   // "Check Flash ID1".."Check Flash ID5"
    bool sataImage = false;               // "SATA" box of the image choice
    bool usbImage = false;                // "USB" box
    bool lba48 = true;                    // "LBA 48" (else "LBA 28")
    bool serialDecimal = false;           // "Decimal" (else "Hexadecimal")
    bool copyImage = false;               // "Copy Image"
    bool oneDram = false;                 // "One Dram"
    std::string productPanel;             // ProdModalPanel: "ProductModel" or "God Mode"
    std::string volumeLabel;              // "Volume Label " field

    // The test-item check list.
    std::vector<CheckListLine> checkList;
};
// Every other edit, box and list is bound to its key one to one: a front end
// shows the settings' value and writes the operator's change straight into it.

// Fills the controls from the settings, as the window does after every load.
void SettingsToControls(const config::Settings& settings, bool godMode, ControlState& controls);

// Writes the controls back into the settings, as the window does before every
// save. The item enables are written by the check list at every click; only the
// "Copy Image" box adds its item here.
void ControlsToSettings(const ControlState& controls, config::Settings& settings);

// A click on a check-list line: toggles it and copies the list to the enables.
void ClickCheckListLine(ControlState& controls, std::size_t line, config::Settings& settings);

}  // namespace kv
