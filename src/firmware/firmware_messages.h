// Operator messages about the program image and the system firmware files.
#pragma once

namespace kv {

// A system firmware file whose version is empty or whose check fails; %s is
// its full path.
inline constexpr char kCorruptFileFormat[] = "The %s is a corrupt file, please check it.";
// The diagnostic program without a version, checked as itself and as the
// test program.
inline constexpr char kCorruptDiagnosticProgramText[] =
    "The GDP.bin is a corrupt file, please check it.";
inline constexpr char kCorruptTestProgramText[] =
    "The satatest.bin is a corrupt file, please check it.";
// A missing program image; the path follows.
inline constexpr char kCantFindFilePrefix[] = "<WARNING> Can't find file : ";

// START's checks of the firmware file list.
inline constexpr char kNoBinFileText[] = "At lease one bin file needed!";
inline constexpr char kBlockPageTooSmallText[] =
    "The Block Page number of flash is too small, then MP can't download SATA and USB codes "
    "simultaneously";
inline constexpr char kCantOpenPrefix[] = "Can't open: ";

// Serial-number field of "Device Setting".
inline constexpr char kSerialLabelSata[] = "Serial Number (20) ";
inline constexpr char kSerialLabelUsb[] = "Serial Number (12-20) ";

}  // namespace kv
