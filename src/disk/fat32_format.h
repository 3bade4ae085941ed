// Writing the FAT32 file system onto the partition at LBA 63 of a drive.
#pragma once

#include <string>

namespace kv::disk {

// Opens the disk exclusively (retrying each second, five times per present
// port), reads its geometry, partition information and layout, then clears
// and writes the reserved sectors, both FATs, the root cluster and the
// volume label entry through the device path. Only the system area is
// written. False on an open, query or write failure, and when the drive's
// capacity is 0 or too small to hold the file system.
bool FormatFat32(const std::string& path, const char* label, int port);

}  // namespace kv::disk
