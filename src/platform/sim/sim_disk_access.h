#pragma once

#include "emulator/fixture.h"
#include "platform/disk_access.h"

namespace kv::platform {

class SimPlatform;

// The disk_access services of the sim backend, answered from the virtual fixture.
class SimDiskAccess final : public DiskAccess {
  public:
    SimDiskAccess(kv::emu::Fixture& fixture, SimPlatform& platform)
        : fixture_(fixture), platform_(platform) {}

  private:
    [[maybe_unused]] kv::emu::Fixture& fixture_;
    [[maybe_unused]] SimPlatform& platform_;
};

}  // namespace kv::platform
