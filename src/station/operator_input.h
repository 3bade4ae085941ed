// Operator input of serial numbers, WWN/UID values and PPIDs: when the device
// refresh asks for them (per port, or scanned in advance for the next drive),
// the input box's layout per mode, and what its "OK" stores. The questions go
// to the front end through `StationUi::ShowInputBox`.
#pragma once

#include <cstddef>
#include <string>

#include "config/settings_block.h"
#include "run/global_state.h"
#include "station/field_filters.h"
#include "run/serial_increment.h"
#include "station/station_ui.h"

namespace kv {

enum InputMode : int {
    kInputSn = 1,
    kInputWwn = 2,
    kInputPpid = 3,
    kInputSnPpid = 4,
};

// What the fields accept: one character less than the entry that keeps the
// value, so every copy keeps its terminator.
inline constexpr std::size_t kInputSnMaxLength = 39;   // bar-code entries of 40 bytes
inline constexpr std::size_t kInputWwnMaxLength = 17;  // WWN entries of 18 bytes
inline constexpr std::size_t kInputPpidMaxLength = 23;

// The input state of the station beside the per-port bar-code tables of
// `AP_GOLBAL`.
struct OperatorInputState {
    char AdvanceSn[40] = {};    // scanned in advance for the next drive found
    char AdvancePpid[25] = {};  // likewise
    int InputMode = 0;
    int InputPort = 0;
    // Set while the prompt for that value is open.
    bool SnPending = false;
    bool WwnPending = false;
    bool PpidPending = false;
    // Set when a run starts in advance-scan mode, cleared by a refresh that
    // finds no drive.
    bool AdvanceScanSuppressed = false;
};

// The "Refresh" button clears the pending flags.
void ClearPendingInput(OperatorInputState& state);

// A run starting: in advance-scan mode ("BarCodeInputMode" 1) the scan prompt
// is held back until a refresh finds no drive.
void NoteRunStarted(const SettingsBlock& settings, OperatorInputState& state);

// The input box for `mode`: per port (`port` 0-based) or scanned in advance
// (`port` -1; mode 2 has no advance caption and takes the per-port one).
InputBoxRequest MakeInputBoxRequest(int mode, int port);

// "OK" of the input box: stores the texts (cut to what the fields accept) and
// writes "######### - SN is %s" and its siblings to the debug log.
void ApplyInputBoxAnswer(const InputBoxRequest& request, const InputBoxAnswer& answer,
                         OperatorInputState& state, AP_GOLBAL& ap, PortRecord (&ports)[kMaxPorts]);

// Opens the box through the front end and applies an "OK". False for "Cancel".
bool OpenInputBox(int mode, int port, StationUi& ui, OperatorInputState& state, AP_GOLBAL& ap,
                  PortRecord (&ports)[kMaxPorts]);

// The advance-scan mode for the settings: 1 with only "EnBarCode" = 1, 3 with
// only "EnPPID" = 1, 4 with both; 0 when neither asks.
int AdvanceScanMode(const SettingsBlock& settings);

// The questions of a device refresh, run after each enumeration over ports
// [0, portCount). True when the auto-test timer must be started
// ("EnAutoExecuteAfterInputSn"); `ap.AutoExecute` is then set.
bool AskRefreshInputs(PortRecord (&ports)[kMaxPorts], int portCount, const SettingsBlock& settings,
                      AP_GOLBAL& ap, OperatorInputState& state, StationUi& ui);

}  // namespace kv
