// A drive's mounted volume by its letter: opening it and the space in use.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/disk_access.h"

namespace kv::disk {

// Opens "\\.\X:" shared: read and write for removable and fixed drives, read
// only for CD-ROMs; nullptr for any other kind or a failed open.
std::unique_ptr<platform::DiskHandle> OpenVolumeByLetter(char letter);

// MB in use on the volume, plus 1; 1 for letter 0 or when its space cannot be read.
std::uint32_t UsedSpaceMB(char letter);

}  // namespace kv::disk
