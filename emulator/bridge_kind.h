// What sits behind a USB port, told by the four-byte bridge code that the
// device answers at INQUIRY bytes 36..39.
//
// The drive side keeps its own copy of the bridge families: SAT bridges carry
// ATA PASS-THROUGH to a SATA controller (types 1 and 14 only PIO protocols,
// type 7 also takes the bridge block FF 04 32 xx); a direct device takes the
// controller's vendor blocks itself; anything else is a foreign bridge that
// only moves sectors.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace kv::emu {

using BridgeCode = std::array<std::uint8_t, 4>;

enum class BridgeFamily { Sat, Direct, Foreign };

struct BridgeKind {
    BridgeFamily family = BridgeFamily::Foreign;
    int type = 0;  // the bridge type number a station derives from the code (0 = unknown)
    bool pioOnly() const { return family == BridgeFamily::Sat && (type == 1 || type == 14); }
    bool takesBridgeState() const { return family == BridgeFamily::Sat && type == 7; }
};

BridgeKind ClassifyBridge(const BridgeCode& code);

// Parses a fixture value: four characters, or "0x" and eight hexadecimal digits.
bool ParseBridgeCode(const std::string& text, BridgeCode& out);

// The code as the fixture would write it (four characters when printable).
std::string BridgeCodeText(const BridgeCode& code);

}  // namespace kv::emu
