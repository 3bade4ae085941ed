// The port status model: what each port's panel shows after a refresh, derived
// from the port records, and the yield text. The front ends only paint it.
#pragma once

#include <string>

#include "run/global_state.h"
#include "run/yield_counters.h"

namespace kv {

enum class PanelColour { ButtonFace, Yellow, Green, Red };

// One port's panel and its companion components. A refresh writes only what
// the records call for; every other field keeps what the panel showed before
// (for instance the caption a worker left while it ran).
struct PortView {
    bool panelVisible = false;
    bool buttonVisible = false;
    PanelColour colour = PanelColour::ButtonFace;
    std::string caption;     // PortPanel
    std::string serialText;  // PortLEdit
    std::string wwnText;     // PortLEditWWN
    int gauge = 0;           // PortCGuage, 0..100
};

// "NumberOfPass / TotalTestCount", the text of the Pass/Total box.
std::string ShowYield(const YieldCounters& yield);

// Redraws the views of ports [0, portCount) from the records under the named
// mutex "KVMPAcess", which a device re-scan also holds. Each present port's
// YieldPending is added to the counters once and cleared. Returns the yield
// text. A portCount outside 0..50 is clamped.
std::string UpdateDrawPanel(PortRecord (&ports)[kMaxPorts], int portCount,
                            PortView (&views)[kMaxPorts], YieldCounters& yield);

}  // namespace kv
