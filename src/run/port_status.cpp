#include "run/port_status.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "platform/named_mutex.h"
#include "run/test_item_catalogue.h"

namespace kv {

namespace {

// The record's text fields may have lost their terminator if the record was
// damaged, so they are read up to the field's size at most.
template <std::size_t N>
std::string FieldText(const char (&field)[N]) {
    return std::string(field, strnlen(field, N));
}

// The refresh and the device re-scan share this mutex; the handle is opened on
// first use and kept for the program's lifetime.
platform::NamedMutex& PanelMutex() {
    static platform::NamedMutex mutex("KVMPAcess");
    return mutex;
}

void ConsumeYield(PortRecord& port, YieldCounters& yield) {
    if (port.YieldPending == 1) {
        ++yield.TotalTestCount;
        ++yield.NumberOfPass;
    } else if (port.YieldPending == -1) {
        ++yield.TotalTestCount;
    }
    port.YieldPending = 0;
}

std::string FailCaption(const PortRecord& port) {
    const TestItemRecord& reported = LookupTestItem(port.ReportedFailCode);
    const std::string code = FieldText(reported.ErrorCode);
    char text[96];
    if (port.FailDetailKind >= 2) {
        std::snprintf(text, sizeof text, "Fail (%s)(- -)", code.c_str());
    } else if (port.FailDetailKind == 1) {
        std::snprintf(text, sizeof text, "Fail (%s)(%2.2d)", code.c_str(),
                      static_cast<int>(port.FailDetailNumber));
    } else if (port.ReportedFailCode == kCheckTemperature &&
               port.ItemStatus[kCheckTemperature] == kItemFailed) {
        // Only a temperature failure of this run shows the temperature; a
        // stale status of an earlier run must not decorate another failure.
        std::snprintf(text, sizeof text, "Fail (%s), Temperature:%d", code.c_str(),
                      static_cast<int>(port.Temperature));
    } else {
        std::snprintf(text, sizeof text, "(%s) %s Fail", code.c_str(),
                      FieldText(reported.ItemName).c_str());
    }
    return text;
}

void DrawPresentPort(PortRecord& port, PortView& view, YieldCounters& yield) {
    ConsumeYield(port, yield);
    view.colour = PanelColour::Yellow;
    view.panelVisible = true;
    view.buttonVisible = true;
    std::string caption;

    const std::string serial = FieldText(port.SerialNumber);
    if (!serial.empty()) {
        view.serialText = serial;
    } else {
        char text[32];
        std::snprintf(text, sizeof text, "%d MB", static_cast<int>(port.CapacityMb));
        caption = text;
        view.gauge = 0;
    }
    const std::string wwn = FieldText(port.Wwn);
    if (!wwn.empty()) {
        view.wwnText = wwn;
    }

    if (port.Result == 1) {
        caption = "Pass";
        view.colour = PanelColour::Green;
    } else if (port.Result == -1) {
        view.colour = PanelColour::Red;
        caption = FailCaption(port);
    }
    if (!caption.empty()) {
        view.caption = caption;
    }
}

}  // namespace

std::string ShowYield(const YieldCounters& yield) {
    char text[32];
    std::snprintf(text, sizeof text, "%d / %d", static_cast<int>(yield.NumberOfPass),
                  static_cast<int>(yield.TotalTestCount));
    return text;
}

std::string UpdateDrawPanel(PortRecord (&ports)[kMaxPorts], int portCount,
                            PortView (&views)[kMaxPorts], YieldCounters& yield) {
    std::lock_guard<platform::NamedMutex> hold(PanelMutex());
    const int count = std::clamp(portCount, 0, kMaxPorts);
    for (int i = 0; i < count; ++i) {
        PortRecord& port = ports[i];
        PortView& view = views[i];
        view.colour = PanelColour::ButtonFace;
        view.panelVisible = false;
        view.buttonVisible = false;
        if (port.Present != 0) {
            DrawPresentPort(port, view, yield);
        } else if (port.Attached != 0) {
            view.caption = "Not KV";
        }
    }
    return ShowYield(yield);
}

}  // namespace kv
