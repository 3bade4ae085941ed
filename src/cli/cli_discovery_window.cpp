#include "cli/cli_discovery_window.h"

#include "run/port_status.h"

namespace kv::cli {

bool CliDiscoveryWindow::InputPromptOpen() {
    return input.SnPending || input.WwnPending || input.PpidPending;
}

void CliDiscoveryWindow::BlankPortPanel(int port) {
    if (port < 0 || port >= kMaxPorts) {
        return;
    }
    PortView& view = station_.views[port];
    view.caption.clear();
    view.serialText.clear();
    view.wwnText.clear();
    view.gauge = 0;
}

void CliDiscoveryWindow::RedrawPanels(int portCount) {
    const std::string yield =
        UpdateDrawPanel(station_.ports, portCount, station_.views, station_.settings.block.Yield);
    station_.ui().ShowYieldText(yield);
}

void CliDiscoveryWindow::AskRefreshInputs(int portCount) {
    kv::AskRefreshInputs(station_.ports, portCount, station_.settings.block, station_.ap, input,
                         station_.ui());
}

void CliDiscoveryWindow::ShowWarning(const std::string& text, const std::string& caption) {
    station_.ui().ShowMessage(text, caption, MessageIcon::Warning);
}

}  // namespace kv::cli
