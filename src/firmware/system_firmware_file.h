// The system firmware file ("SYS_S.bin" for SATA products, "SYS_U.bin" for
// USB products): a sequence of pages written to the code blocks after the
// tables. Its first page, the header page, carries the identify template,
// the version texts and the fields the station rewrites for each drive:
//
//   0x04C 512  identify template (serial 0x060, revision 0x07A, model 0x082)
//   0x300   4  "DIZO"                0x324  4  controller model code
//   0x306   6  version, a.bc.def     0x329  2  table format code
//   0x30D   1  bus letter "S"        0x330  4  build tag
//   0x500  40  flash header          0x530 64  geometry record
//   0x520   5  header extras         0x5A0 256 page pair map
//   0x528   8  bank set              0x8A0  n  the port's bank map
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "firmware/image_context.h"

namespace kv {

inline constexpr char kSataFirmwareFile[] = "SYS_S.bin";

inline constexpr std::size_t kSysMagicOffset = 0x300;
inline constexpr char kSysMagic[] = "DIZO";
inline constexpr std::size_t kSysVersionOffset = 0x306;
inline constexpr std::size_t kSysVersionSize = 6;
inline constexpr std::size_t kSysBusLetterOffset = 0x30D;
inline constexpr char kSysSataBusLetter = 'S';
inline constexpr std::size_t kSysModelCodeOffset = 0x324;
inline constexpr std::size_t kSysModelCodeSize = 4;
inline constexpr std::size_t kSysFormatCodeOffset = 0x329;
inline constexpr std::size_t kSysFormatCodeSize = 2;
inline constexpr std::size_t kSysBuildTagOffset = 0x330;
inline constexpr std::size_t kSysBuildTagSize = 4;
inline constexpr std::size_t kSysExtrasOffset = 0x520;
inline constexpr std::size_t kSysBankSetOffset = 0x528;
inline constexpr std::size_t kSysBankMapOffset = 0x8A0;

// The last page of the last firmware file ends with these bytes (0x31ECAA55).
inline constexpr std::uint8_t kFirmwareTrailer[4] = {0x55, 0xAA, 0xEC, 0x31};
// A short last page is filled up with this byte.
inline constexpr std::uint8_t kFirmwarePageFill = 0x11;
// The second-to-last byte of a sound file.
inline constexpr std::uint8_t kSysCheckByte = 0xA5;

// The USB file name: the SATA name with its fifth character replaced by "U".
std::string UsbFirmwareFileName(std::string_view sataName);

// The file check: the 8-bit sum of all bytes but the second-to-last is 0 and
// the second-to-last byte is 0xA5.
bool IsSoundSystemFirmwareImage(std::span<const std::uint8_t> bytes);
// The same on a file; false when it cannot be read.
bool IsSoundSystemFirmwareFile(const std::string& path);

// A page is the header page when it carries "DIZO" at 0x300 and "S" at 0x30D.
bool IsSystemHeaderPage(std::span<const std::uint8_t> page);

// The bank map layout that the model and table format codes select: model
// "517" with a format code other than "42" has 16 x 1 x 12 entries (bank-map
// format 43); model "517" with "42", and model "511", have 8 x 1 x 6 (format
// 42). Other models carry no bank map.
struct BankMapLayout {
    int Format = 0;           // 42, 43, or 0 for none
    int EntriesPerCe = 0;     // 6 or 12
    std::size_t Entries = 0;  // 48 or 192
    std::size_t Bytes() const { return Entries * 2; }
};
BankMapLayout BankMapLayoutFor(std::string_view modelCode, std::string_view formatCode);

// Header page texts, each up to its first zero byte.
std::string SysVersionText(std::span<const std::uint8_t> page);
std::string SysModelCode(std::span<const std::uint8_t> page);  // three characters used
std::string SysFormatCode(std::span<const std::uint8_t> page);
std::string SysBuildTag(std::span<const std::uint8_t> page);

// Fills a page read short (`filled` bytes) with 0x11 up to its end.
void PadFirmwarePage(std::span<std::uint8_t> page, std::size_t filled);
// Puts the trailer into the last four bytes of the page.
void PutFirmwareTrailer(std::span<std::uint8_t> page);

// `PatchSystemHeaderPage`: stores the port's attribute byte, then rewrites the
// flash header (with `GeometryCode2`), the extras, the bank set, the geometry
// record, the page pair map, the port's bank map (only within the page) and
// the identify template. False, with the page unchanged, when it is not a
// header page or too short for the fixed fields.
bool PatchSystemHeaderPage(const ImageContext& ctx, PortImageState& port,
                           std::uint16_t firstFirmwarePage, std::span<std::uint8_t> page,
                           std::string_view serialNumber, std::string_view wwnText);

}  // namespace kv
