// What a front end shows of a production run and the controls it offers
// during one: the port panels as the workers change them, the wait, the
// elapsed time, the batch panel, START and the stop button.
#pragma once

#include <cstdint>
#include <string>

#include "run/port_status.h"
#include "run/run_checks.h"

namespace kv {

class RunView {
  public:
    virtual ~RunView() = default;
    // A worker's panel changes, in order per port (called from its thread).
    virtual void PortCaption(int /*port*/, const std::string& /*caption*/) {}
    virtual void PortColour(int /*port*/, PanelColour /*colour*/) {}
    virtual void PortGauge(int /*port*/, int /*value*/) {}
    virtual void PortSerial(int /*port*/, const std::string& /*serial*/,
                            const std::string& /*wwn*/) {}
    // The front end's own thread.
    virtual void Pump() {}
    virtual void WaitPanel(bool /*shown*/) {}
    virtual void ElapsedTime(const std::string& /*text*/) {}
    virtual void BatchRound(const std::string& /*text*/) {}
    virtual void BatchPanelColour(BatchPanel /*panel*/) {}
    virtual void RunControlsEnabled(bool /*enabled*/) {}
    virtual void StartEnabled(bool /*enabled*/) {}
    // True once after the stop button was pressed.
    virtual bool TakeStopRequest() { return false; }
    virtual void CloseApplication() {}
    virtual void CaptureScreen(const std::string& /*path*/) {}
    virtual void Terminate() {}
};

}  // namespace kv
