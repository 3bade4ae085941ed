// The mounted volume of a disk, found by the disks' device numbers.
#pragma once

#include <string>

namespace kv::disk {

// The first drive letter (A..Z, the system's own letter skipped) whose volume
// lies on the disk of `path`; false, `letter` 0, when there is none.
bool FindDriveLetter(const std::string& path, char& letter);

}  // namespace kv::disk
