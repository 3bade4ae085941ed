// What a production worker shows on its port's panel and how it arms the
// port's watchdog. A front end delivers the calls of one port in order.
#pragma once

#include <cstdint>
#include <string>

#include "run/port_status.h"

namespace kv {

class WorkerHooks {
  public:
    virtual ~WorkerHooks() = default;
    virtual void SetCaption(int port, const std::string& caption) = 0;
    virtual void SetColour(int port, PanelColour colour) = 0;
    // PortCGuage, 0..100.
    virtual void SetGauge(int port, int value) = 0;
    // PortCGuageP, the second gauge of the panel.
    virtual void SetSecondGauge(int port, int value) = 0;
    // PortLEdit and PortLEditWWN.
    virtual void ShowSerial(int port, const std::string& serial, const std::string& wwn) = 0;
    // Stops the port's watchdog timer and starts it again with `intervalMs`.
    virtual void ArmWatchdog(int port, std::int64_t intervalMs) = 0;
    virtual void StopWatchdog(int port) = 0;
};

}  // namespace kv
