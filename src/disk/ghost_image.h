// Disk images: copying an image file onto a drive and dumping a drive into an
// image file, 64 KiB (128 sectors) at a time through the drive's device path.
//
// Two formats: a plain image (the drive's sectors from LBA 0, no header) and a
// sparse image of 16,392-byte records, each 32 sectors of data followed by
// their first LBA (little-endian, at 16,384) and 'N' 'T' at 16,390. Several
// workers may copy the same image file at once: each opens it read-only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace kv::disk {

inline constexpr std::size_t kImagePieceBytes = 65536;
inline constexpr std::size_t kSparseRecordBytes = 16392;
inline constexpr std::size_t kSparseDataBytes = 16384;

// True when the first record of a file (its first 16,392 bytes, zero beyond
// a short file) carries the sparse mark.
bool IsSparseRecord(const std::uint8_t* firstRecord);

// Writes an image file to the drive: a sparse image through
// FlushGhostNTFSImg, a plain one in 64 KiB pieces from LBA 0 (the last piece
// zero-padded). False for a missing or empty file or a failed write.
bool FlushGhostImg(const std::string& path, const std::string& imageFile);

// Writes every whole record of a sparse image at its LBA. When the disk has a
// mounted volume it is opened and locked first (a refused lock writes
// nothing) and unlocked and closed afterwards. False at the first failed
// write (after the volume is unlocked and closed) or failed unlock or close.
bool FlushGhostNTFSImg(const std::string& path, const std::string& imageFile);

// Creates `imageFile` (replacing an old one) holding `sizeMb` MB of the drive
// from LBA 0, taken up to whole 64 KiB pieces. A failed read stops with
// false; the file keeps what was written.
bool ReadGhostImg(const std::string& path, const std::string& imageFile, std::uint64_t sizeMb);

}  // namespace kv::disk
