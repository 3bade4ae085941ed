#pragma once

#include "emulator/fixture.h"
#include "platform/discovery.h"

namespace kv::platform {

class SimPlatform;

// The discovery services of the sim backend, answered from the virtual fixture.
class SimDiscovery final : public Discovery {
  public:
    SimDiscovery(kv::emu::Fixture& fixture, SimPlatform& platform)
        : fixture_(fixture), platform_(platform) {}

  private:
    [[maybe_unused]] kv::emu::Fixture& fixture_;
    [[maybe_unused]] SimPlatform& platform_;
};

}  // namespace kv::platform
