// The volume label entry of a FAT root directory.
#pragma once

#include <cstdint>
#include <string>

namespace kv::disk {

// Reads the sector at `lba`, puts the label (its first 11 characters, padded
// with blanks) and the volume-label attribute 0x08 into the first directory
// entry, and writes the sector back. False when either command fails.
bool WriteVolumeLabelEntry(const std::string& path, const char* label, std::uint32_t lba);

}  // namespace kv::disk
