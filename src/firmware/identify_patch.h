// Personalises the ATA IDENTIFY DEVICE template of the system firmware header
// page for one drive: serial number, firmware revision, model number, World
// Wide Name, operator-defined words, the UDMA-5 cable bit and the advertised
// SATA generations. Identify word w sits at header page bytes 0x04C + 2w.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "firmware/image_context.h"

namespace kv {

inline constexpr std::size_t kIdentifyTemplateOffset = 0x04C;
inline constexpr std::size_t kIdentifyTemplateSize = 512;
inline constexpr std::size_t kIdentifySerialOffset = 0x060;
inline constexpr std::size_t kIdentifySerialSize = 20;
inline constexpr std::size_t kIdentifyRevisionOffset = 0x07A;
inline constexpr std::size_t kIdentifyRevisionSize = 8;
inline constexpr std::size_t kIdentifyModelOffset = 0x082;
inline constexpr std::size_t kIdentifyModelSize = 40;
inline constexpr std::size_t kIdentifySataCapabilityOffset = 0x0E4;  // word 76, low byte
inline constexpr std::size_t kIdentifyUdmaOffset = 0x107;            // word 93, high byte
inline constexpr std::size_t kIdentifyWwnOffset = 0x124;             // words 108..111

inline constexpr char kNewSataSpeedFormat[] = "######### - New SATA speed - 0x%.2X\r\n";
inline constexpr char kOriginalSataSpeedFormat[] = "######### - Original SATA speed - 0x%.2X\r\n";

// Lays `text` into a field of `size` bytes in ATA string order (the two
// characters of every pair exchanged); the bytes it does not reach are blanks.
void PutAtaString(std::uint8_t* field, std::size_t size, std::string_view text);

// The text of an ATA string field with its pairs swapped back, up to the first
// zero byte.
std::string AtaStringText(const std::uint8_t* field, std::size_t size);

// The eight WWN bytes from the port's WWN text (a 9-character UID combined
// with the configured OUI, or a 16-digit WWN) and the OUI. Missing digits of a
// shorter text count as "0".
void BuildWwnBytes(std::string_view wwnText, std::string_view oui, std::uint8_t* bytes);

// The SATA capability byte: with `limit` 1..3 the speed's high nibble and
// bits 1..limit; with 0 the drive's own byte.
std::uint8_t SataCapabilityByte(std::uint8_t sataSpeed, std::uint8_t limit);

// `PatchIdentifyData`: edits the identify template of `headerPage` in place
// and logs the SATA capability byte it wrote. A page too short to hold the
// template is left alone.
void PatchIdentifyData(const ImageContext& ctx, std::span<std::uint8_t> headerPage,
                       std::string_view serialNumber, std::string_view wwnText,
                       std::uint8_t sataSpeed);

}  // namespace kv
