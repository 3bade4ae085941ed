// What the operating system tells about USB hubs, ports, disks and USB storage
// devices, and the calls that take a device off the bus: the services device
// discovery, port mapping and safe removal are built on.
#pragma once

namespace kv::platform {

class Discovery {
  public:
    virtual ~Discovery() = default;
};

}  // namespace kv::platform
