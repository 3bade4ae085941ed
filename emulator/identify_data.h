// IDENTIFY DEVICE and SMART data the emulated SATA controller answers.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace kv::emu {

using Sector = std::array<std::uint8_t, 512>;

// Puts an ATA string (every byte pair swapped, blank padded) into words
// [firstWord, firstWord + bytes / 2).
void PutAtaString(Sector& id, int firstWord, int bytes, const std::string& text);
std::string GetAtaString(const Sector& id, int firstWord, int bytes);

// Word 255: 0xA5 in its low byte, and a high byte that makes the 512 bytes
// sum to 0 modulo 256.
void SealIdentify(Sector& id);
bool IdentifySealed(const Sector& id);

// Sets words 60-61 (at most 0x0FFFFFFF) and 100-103 to `sectors`.
void PutCapacity(Sector& id, std::uint64_t sectors);

// A plain identify template: model, serial and firmware revision, LBA48, UDMA,
// word 76 low byte = `sataSpeed`, capacity 0 and no integrity word yet.
Sector BasicIdentify(const std::string& model, const std::string& serial,
                     const std::string& revision, std::uint8_t sataSpeed);

// The loader's identity: capacity 0, sealed.
Sector LoaderIdentify(const std::string& serial, std::uint8_t sataSpeed);
inline constexpr const char kSataLoaderModel[] = "Korvane KVR51X SATA SSD Loader Device";

// SMART READ DATA: revision 0x0010, attributes 0x09 (power-on hours),
// 0x0C (power cycles), 0xC2 (temperature in its lowest raw byte) and 0xEB
// (sectors written / 65,536); checksum in byte 511. A saved SMART sector
// gives the base, with the temperature and checksum brought up to date.
Sector SmartData(const std::vector<std::uint8_t>& saved, int temperature, std::uint32_t powerUps,
                 std::uint64_t sectorsWritten);

}  // namespace kv::emu
