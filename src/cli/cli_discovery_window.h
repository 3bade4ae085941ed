// The main window's part in device discovery, for the command-line station:
// panels redrawn into the station's port views, operator input through the
// station's front end, warnings as its message boxes. START and the Safe
// Remove button exist only as the states kept here.
#pragma once

#include "device/discovery_window.h"
#include "station/operator_input.h"
#include "station/station.h"

namespace kv::cli {

class CliDiscoveryWindow final : public DiscoveryWindow {
  public:
    explicit CliDiscoveryWindow(Station& station) : station_(station) {}

    bool InputPromptOpen() override;
    void SetStartEnabled(bool enabled) override { startEnabled = enabled; }
    void SetSafeRemoveColour(SafeRemoveColour colour) override { safeRemoveColour = colour; }
    void BlankPortPanel(int port) override;
    void RedrawPanels(int portCount) override;
    void AskRefreshInputs(int portCount) override;
    void ShowWarning(const std::string& text, const std::string& caption) override;

    bool startEnabled = false;
    SafeRemoveColour safeRemoveColour = SafeRemoveColour::Normal;
    OperatorInputState input;

  private:
    Station& station_;
};

}  // namespace kv::cli
