// What device discovery and safe removal ask of the main window: its buttons,
// port panels, input prompts and message loop. A front end implements it; the
// defaults suit a front end without those controls.
#pragma once

#include <string>

namespace kv {

// The font colour of the Safe Remove button: normal text while drives are
// found, green when none is, red while a removal runs.
enum class SafeRemoveColour { Normal, Green, Red };

class DiscoveryWindow {
  public:
    virtual ~DiscoveryWindow() = default;

    // True while an SN, WWN or PPID input box of the refresh is open.
    virtual bool InputPromptOpen() { return false; }
    // True while a production run is in progress.
    virtual bool RunInProgress() { return false; }
    // True while the flash "Auto Detect" button is enabled (it is disabled
    // while the flash auto-detection runs).
    virtual bool AutoDetectEnabled() { return true; }
    // True when the window is ready to start a run (START may be enabled).
    virtual bool ReadyToStart() { return true; }

    virtual void SetStartEnabled(bool /*enabled*/) {}
    // Gives START the focus when it is visible and enabled.
    virtual void FocusStart() {}
    virtual void SetSafeRemoveColour(SafeRemoveColour /*colour*/) {}
    // The bus name of the window caption ("SATA" or "USB") after a probe.
    virtual void ShowBusName(const char* /*name*/) {}

    // Blanks the panel caption, the two labelled edits and the gauge text of
    // a port whose drive is gone.
    virtual void BlankPortPanel(int /*port*/) {}
    // Redraws the port panels [0, portCount) from the port records (the
    // station's panel refresh, which takes "KVMPAcess" again).
    virtual void RedrawPanels(int /*portCount*/) {}
    // The operator input of a refresh over ports [0, portCount): the per-port
    // SN, PPID and WWN prompts, then the advance-scan prompts.
    virtual void AskRefreshInputs(int /*portCount*/) {}

    // A modal warning box.
    virtual void ShowWarning(const std::string& /*text*/, const std::string& /*caption*/) {}
    // Lets the window process its pending messages during a long wait.
    virtual void Pump() {}
};

}  // namespace kv
