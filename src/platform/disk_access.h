// Disk-level services of the operating system: geometry, partition layout,
// volumes of a disk, their lock, and volume reads and writes.
#pragma once

namespace kv::platform {

class DiskAccess {
  public:
    virtual ~DiskAccess() = default;
};

}  // namespace kv::platform
