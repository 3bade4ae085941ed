// The station as the drive commands of the command-line station start it: the
// start-up of the window (single instance, settings, parts list) and the
// device re-scan that follows it.
#pragma once

#include "cli/cli_discovery_window.h"
#include "cli/cli_ui.h"
#include "device/discovery_session.h"
#include "station/station.h"

namespace kv::cli {

class CliStation {
  public:
    CliStation()
        : station_(ui_), window_(station_), session_(station_.ports, station_.settings, window_) {}

    // Starts the station and runs one device re-scan. False when the station
    // refused to start; a second instance is announced on standard error.
    bool Start();

    Station& station() { return station_; }
    DiscoverySession& session() { return session_; }

  private:
    CliUi ui_;
    Station station_;
    CliDiscoveryWindow window_;
    DiscoverySession session_;
};

}  // namespace kv::cli
