// The identify data a downloaded drive returns: IDENTIFY DEVICE of a port
// and its text form, 256 words of four hexadecimal digits, eight a line (the
// form identify-data decoders read from a file).
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

namespace kv {

inline constexpr std::size_t kIdentifyBytes = 512;
using IdentifyData = std::array<std::uint8_t, kIdentifyBytes>;

enum class IdentifyReadOutcome {
    Read,     // the drive answered
    NoDrive,  // nothing on the port (or a port index outside 0..49)
    UsbPath,  // the port takes vendor blocks itself: IDENTIFY is not sent
    Failed,   // the command failed
};

// IDENTIFY DEVICE of port index `port` (from 0) on a SataPath port.
IdentifyReadOutcome ReadPortIdentify(int port, IdentifyData& data);

// Word w is bytes 2w (low) and 2w + 1 (high); lower-case digits, words
// separated by one blank, lines ended by "\n".
std::string IdentifyWordsText(std::span<const std::uint8_t, kIdentifyBytes> data);

}  // namespace kv
